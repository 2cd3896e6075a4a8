// TPolygon: a convex polygon cut from a mesh triangle, and polygon lists.
//
// A mesh becomes one triangle polygon per triangle (MeshToPolygons); the octree cuts those by
// axis-aligned planes (SplitPolygons). Every piece keeps the surface, triangle index and corners
// of the triangle it came from: picks and collisions that reach a piece test that whole triangle,
// so cutting never changes what they find (a sliver's rounded corners could face the other way).
//
// Polygon lists
// - A PolygonList may hold null entries: spare entries at the end left by doubling growth, and
//   entries left null before the triangles that QuadToTris appends. Every operation here and
//   every consumer skips null entries; "list order" is the order of the non-null entries. The
//   list's length, null entries included, is what the octree statistics count.
//
// Coordinates are the mesh's own, as the commands give them (z not negated).
#pragma once

#include "engine/handles.h"
#include "engine/math/geometry.h"
#include "engine/math/vector.h"

#include <array>
#include <memory>
#include <vector>

class TPolygon;
using PolygonRef = std::shared_ptr<TPolygon>;
using PolygonList = std::vector<PolygonRef>;

class TPolygon {
  public:
    // Number of vertices held.
    int no_verts = 0;
    // Length of `verts`; kept greater than no_verts (1, 2, 4, 8, ...).
    int vert_capacity = 1;
    // Vertex i is entry i; entries from no_verts on are unused (zero).
    std::vector<TVector> verts = std::vector<TVector>(1);
    // Surface of the source triangle (null for a polygon not made from a mesh).
    SurfaceRef surf;
    // Index (from 0) of the source triangle within `surf`.
    int tri = 0;
    // Corners of the source triangle, as they stood when the mesh was turned into polygons.
    std::array<TVector, 3> source{};

    // One 3-vertex polygon per triangle of surfaces 1 .. CountSurfaces() in order, corners in
    // the order given when the triangle was added, tagged with its surface and index. Empty for
    // a null mesh or a mesh without triangles. Animated positions are not used.
    static PolygonList MeshToPolygons(const MeshRef& mesh);
    // Splits each non-null polygon of polys by the plane and appends its pieces to front (the
    // side the normal points to, and pieces within the plane's tolerance) and back. front and
    // back grow by doubling (1, 2, 4, ... entries, the spares null); at the end every 4-vertex
    // piece is turned into two triangles (QuadToTris), so each list holds the pieces in the
    // order of their polygons, then the second triangles of the quads in the same order.
    // front and back are expected empty on entry.
    static void SplitPolygons(const PolygonList& polys, const TPlane& plane, PolygonList& front,
                              PolygonList& back);
    // Clips one polygon against the plane: front gets the part on the normal's side (with the
    // points on the plane), back the part behind, each null when empty. A polygon wholly in
    // front or wholly within the plane goes to front alone; one wholly behind to back alone. A
    // vertex on the plane after one behind goes to both sides. An edge's crossing point is
    // always computed from its front vertex toward its back one, so neighbours agree on it.
    // Pieces carry poly's tags (`surf`, `tri`, `source`). A polygon without vertices gives two
    // nulls.
    static void SplitPolygon(const TPolygon& poly, const TPlane& plane, PolygonRef& front,
                             PolygonRef& back);
    // A new polygon of copies of the points in order; null when there are none.
    static PolygonRef CreateFromPoints(const std::vector<TVector>& points);
    // Up to the first null entry, every 4-vertex polygon P, Q, R, S becomes P, Q, R in place
    // and a new polygon P, R, S (same tags) appended to the end of the list; appended entries
    // are not examined again. Other polygons stay as they are. Returns polys.
    static PolygonList& QuadToTris(PolygonList& polys);

    // Appends a copy of v, doubling the capacity when the array is full. Returns 0.
    int AddVertex(const TVector& v);
    // The stored vertex i itself; a zero vector for i outside 0 .. no_verts - 1.
    const TVector& GetVertex(int i) const;
    // Gives piece this polygon's source tags: surface, triangle index and corners.
    void CopyTagsTo(TPolygon& piece) const;
};
