// TSurface: one drawable piece of a mesh.
//
// A surface holds a growable set of vertices (position, normal, colour and two sets of texture
// coordinates), a list of triangles over those vertices and an optional brush. The arrays have
// exactly the layout OpenGL's vertex, normal, colour, texture-coordinate and 16-bit index arrays
// take, so the drawing code hands them over unchanged.
//
// Coordinates
// - The surface stores the engine's internal right-handed form: the z of every position and
//   normal is stored negated, and each triangle's corners are stored in reverse order (corner 2,
//   corner 1, corner 0). The operations convert at the boundary: callers always give and get
//   left-handed values (z into the screen) and corners in the order they gave them.
//
// Storage
// - Vertex i lives at 3i..3i+2 of `vert_coords` and `vert_norm`, 2i..2i+1 of each texture-
//   coordinate array and 4i..4i+3 of `vert_col`; triangle t at 3t..3t+2 of `tris`.
// - The arrays are empty until the first vertex (triangle) is added; from then on each vertex
//   array holds `vert_capacity` vertices' worth of elements and `tris` 3 x `tri_capacity`
//   entries. Capacities are powers of two that AddVertex/AddTriangle keep greater than the
//   counts (doubling), so there is always a spare slot; spare slots hold 0.
// - Triangle indices are 16-bit: a surface addresses at most kMaxVertices (65,536) vertices.
//   AddVertex refuses a vertex beyond that (returns -1, nothing stored) and AddTriangle refuses
//   a corner index outside 0..65535 (returns 0, nothing stored) instead of wrapping the index
//   to its low 16 bits. Corner indices inside that range are not checked against the vertex
//   count (a triangle may be added before its vertices).
//
// Out-of-range indices
// - A vertex index outside 0..CountVertices()-1, a triangle index outside 0..CountTriangles()-1,
//   a corner outside 0..2 or a coordinate set other than 0 and 1 makes a setter a no-op and a
//   getter return 0. No operation reads or writes outside the arrays, also when a loader has set
//   `no_verts` or replaced an array directly.
//
// Bounds bookkeeping
// - `changed` is set by AddTriangle, VertexCoords and ClearSurface (not by AddVertex or the
//   normal, colour and texture-coordinate setters); TMesh::GetBounds consumes it.
// - `revision` is a process-wide stamp taken at construction and at each of those changes. A
//   mesh remembers the newest stamp it has computed its bounds from, so every mesh that shares a
//   surface (mesh copies share their surface list) sees a change, not only the first one to
//   consume `changed`. Code that writes `vert_coords` or `tris` directly calls MarkChanged().
#pragma once

#include "engine/handles.h"

#include <cstdint>
#include <vector>

class TSurface {
  public:
    static constexpr int kMaxVertices = 65536;

    // ---- Data ----

    int no_verts = 0;
    int no_tris = 0;
    // Three vertex indices per triangle, stored corner 2, corner 1, corner 0.
    std::vector<std::uint16_t> tris;
    // x, y, z per vertex; z stored negated.
    std::vector<float> vert_coords;
    // u, v per vertex of texture-coordinate sets 0 and 1.
    std::vector<float> vert_tex_coords0;
    std::vector<float> vert_tex_coords1;
    // nx, ny, nz per vertex; nz stored negated.
    std::vector<float> vert_norm;
    // red, green, blue, alpha per vertex, each 0.0-1.0.
    std::vector<float> vert_col;
    // The surface's material, shared with whoever else holds it; null for none.
    BrushRef brush;
    int vert_capacity = 1;
    int tri_capacity = 1;
    // Lowest and highest vertex id, in the numbering of the model file the surface was loaded
    // from, that its triangles use; set by the model loader. (1000000, 0) is the empty range.
    int vmin = 1000000;
    int vmax = 0;
    // 1 = the geometry changed since the mesh's bounds were last computed.
    int changed = 0;
    // Stamp of the last geometry change (see the header comment).
    std::uint64_t revision = 0;

    TSurface();

    // A new surface with the same counts, capacities, vmin/vmax and copies of all arrays; its own
    // copy of the brush (null when this one has none); `changed` 0.
    SurfaceRef Copy() const;
    // Stores the brush itself (shared, not copied); null removes it. Returns 0.
    int PaintSurface(const BrushRef& brush);
    // Non-zero clear_verts: no vertices, empty vertex arrays, vertex capacity 1. Non-zero
    // clear_tris: likewise for the triangles. Always marks the surface changed. Returns 0.
    int ClearSurface(int clear_verts, int clear_tris);
    // Appends a vertex at (x, y, z) with (u, v) in set 0, colour white and opaque; the normal and
    // set 1 stay 0 and w is ignored. Returns its index, or -1 when the surface already holds
    // kMaxVertices vertices. Does not mark the surface changed.
    int AddVertex(float x, float y, float z, float u, float v, float w);
    // Appends the triangle (a, b, c) and marks the surface changed. Returns the triangle count
    // after the addition (the new index plus one), or 0 when an index lies outside 0..65535.
    int AddTriangle(int a, int b, int c);
    int CountVertices() const { return no_verts; }
    int CountTriangles() const { return no_tris; }

    // Setters: position (marks the surface changed), colour (0-255 per channel, stored divided
    // by 255; alpha 0.0-1.0 stored unchanged), normal, texture coordinates of set 0 or 1 (any
    // other coord_set writes nothing; w is ignored). Return 0.
    int VertexCoords(int vid, float x, float y, float z);
    int VertexColor(int vid, float red, float green, float blue, float alpha);
    int VertexNormal(int vid, float nx, float ny, float nz);
    int VertexTexCoords(int vid, float u, float v, float w, int coord_set);

    // Getters, in the caller's coordinates: z and nz negated back, colour channels x 255 (not
    // rounded), u and v of set 0 or 1 (0 for any other set); VertexW is always 0.
    float VertexX(int vid) const;
    float VertexY(int vid) const;
    float VertexZ(int vid) const;
    float VertexRed(int vid) const;
    float VertexGreen(int vid) const;
    float VertexBlue(int vid) const;
    float VertexAlpha(int vid) const;
    float VertexNX(int vid) const;
    float VertexNY(int vid) const;
    float VertexNZ(int vid) const;
    float VertexU(int vid, int coord_set) const;
    float VertexV(int vid, int coord_set) const;
    float VertexW(int vid) const;

    // Vertex index (0-65535) of corner 0, 1 or 2 of the triangle, in the order given to
    // AddTriangle.
    int TriangleVertex(int tri, int corner) const;
    // Components of the face normal (p1 - p0) x (p2 - p1) in the caller's coordinates, not
    // normalised (its length is twice the triangle's area).
    float TriangleNX(int tri) const;
    float TriangleNY(int tri) const;
    float TriangleNZ(int tri) const;

    // Sets `changed` and takes a new revision stamp.
    void MarkChanged();

    // ---- Range checks used by code that reads the arrays directly ----

    // True when vid lies in 0..no_verts-1 and its position lies inside `vert_coords` (each
    // getter and setter also checks the array it touches).
    bool HasVertex(int vid) const;
    // True when tri names a triangle whose three entries lie inside `tris`.
    bool HasTriangle(int tri) const;

  private:
    static std::uint64_t NextRevision();
};
