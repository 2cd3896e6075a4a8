// Test seams of the engine. They are for tests and tools in the same process only: the program
// itself never calls them.
#pragma once

namespace testseam {

// Rendering: while on, RenderWorldToCubeTex renders into the back buffer and copies the face
// from it, as on a display without framebuffer objects.
void SetCubeFacesThroughBackBuffer(bool on);

} // namespace testseam
