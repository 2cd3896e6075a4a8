// Copying one surface's geometry onto the end of another's, shared by the mesh editing
// commands and the collapse of a hierarchy. Internal: not installed.
#pragma once

class TSurface;

// Appends copies of src's vertices to dst in source order: position, colour, alpha, normal and
// both texture-coordinate sets. src may be dst itself: the count is read once. Stops when dst
// is full.
void CopySurfaceVertices(const TSurface& src, TSurface& dst);
// Appends src's triangles to dst, every corner index raised by offset, corner order kept.
void CopySurfaceTriangles(const TSurface& src, TSurface& dst, int offset);
