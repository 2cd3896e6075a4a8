// TOctree: an optional spatial index over the triangles of one mesh.
//
// CreateOctree turns the mesh into tagged triangle polygons (engine/polygon.h) and builds a tree
// of axis-aligned boxes over the mesh's bounding box. A node that holds at least max_polys
// distinct source triangles is split at its centre into eight children, the polygons clipped to
// each octant; every other node is a leaf and keeps its pieces. Polygon picks (engine/pick.h)
// and sphere-to-mesh collisions against the mesh then test only the pieces of the leaves whose
// boxes the pick segment or the swept box meets, and report the source triangle of a hit piece.
//
// The tree is a snapshot: later edits of the mesh do not reach it until CreateOctree runs again.
// The mesh holds the root (TMesh::octree, shared with copies of the mesh); each node holds its
// children and its pieces. Everything is in the mesh's own coordinates, z as the commands give
// it.
//
// Child i of a split node covers the octant 4 x (above on x) + 2 x (above on y) + (above on z).
#pragma once

#include "engine/handles.h"
#include "engine/math/geometry.h"
#include "engine/math/vector.h"
#include "engine/polygon.h"

#include <array>
#include <functional>
#include <memory>

class TOctree;
using OctreeRef = std::shared_ptr<TOctree>;

class TOctree {
  public:
    // Bounds of a build without a level limit (max_levels 0). Small max_polys would otherwise
    // subdivide without end: around a point that max_polys or more triangles share (a fan, a
    // pole, a cone tip), along edges that enough triangles share, and everywhere for max_polys
    // 1. Such a build splits no more than kMaxLevels generations below the root (the deepest
    // nodes span 2^-16 of the mesh's extent) and makes no more than kMaxNodes nodes: once the
    // nodes are spent, the nodes still to be built become leaves.
    static constexpr int kMaxLevels = 16;
    static constexpr int kMaxNodes = 1 << 17;
    // Node allowance of a build with an explicit max_levels (about 400 MB of nodes). Such a build
    // is honoured exactly or not at all: one that would need more nodes is refused, and the mesh
    // keeps the octree it had.
    static constexpr int kMaxExplicitNodes = 1 << 21;

    // Centre of the node's box and its full extents (the box runs from x - w/2 to x + w/2, ...).
    // The centre is where a split node cuts its pieces.
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float w = 0.0f, h = 0.0f, d = 0.0f;
    // The box itself. A child's box runs exactly from its parent's bound to its parent's split
    // plane, so neighbouring boxes share their faces with no gap rounding could open.
    AABB bounds;
    // The eight children of a split node; all null for a leaf.
    std::array<OctreeRef, 8> child{};
    // A leaf's pieces (null entries allowed, see engine/polygon.h); empty for a split node and
    // for a leaf that received nothing.
    PolygonList polys;

    // Statistics the engine writes and never reads.
    // Triangle count of the mesh most recently given an octree.
    static int no_polys_mesh;
    // Sum over every octree built since start of the lengths of the leaves' lists.
    static int no_polys_octree;
    // Set to 0 by the collision pass before each octree walk; each leaf reached adds its length.
    static int no_polys_active;

    // Builds a new octree for mesh and makes it the mesh's `octree` (replacing any old one).
    // Negative limits count as 0; both 0 is a fatal error ("Octree cannot be created - max_polys
    // or max_levels must be greater than 0"). max_polys 0 splits regardless of the triangles.
    // max_levels 0 means no limit, within kMaxLevels and kMaxNodes. An explicit max_levels is
    // honoured as asked when the tree fits kMaxExplicitNodes; otherwise nothing is built, the
    // mesh keeps its previous octree and the debug log says so. Either way a node whose box is
    // too small to be cut on any axis (float resolution) stays a leaf. A null mesh is a no-op.
    // Returns 0.
    static int CreateOctree(const MeshRef& mesh, int max_polys, int max_levels);

    // 1 when the list names at least max_polys distinct triangle indices (always for 0), else 0.
    // Distinctness is by index alone, whatever the surface.
    int TestTris(const PolygonList& list, int max_polys) const;
    // The number of distinct triangle indices in the list, counting no further than limit.
    int CountTris(const PolygonList& list, int limit) const;
    // Builds this node (its box already set) and its subtree from list, one level below
    // `level`: a leaf unless TestTris asks for a split, the new level is within max_levels, the
    // box can be cut and the build's node allowance still holds eight more nodes. Returns 0.
    int Create(PolygonList list, int max_polys, int max_levels, int level);

    // The polygon pick of a mesh (a, b in the mesh's space; callers pass box_t = 1.0): leaves
    // whose boxes (see WalkBox) the segment enters no later than box_t and best_t are handed to
    // TPick::PickPolys with best_t; a leaf that gives a hit lowers box_t to the new best_t. A box
    // entered after the best hit so far cannot hold a nearer one. Children in index order.
    // Returns 0.
    int OctPick(const TVector& a, const TVector& b, const MeshRef& mesh, float& best_t,
                float& box_t) const;
    // The collision walk: every leaf whose box (see WalkBox) overlaps or touches box adds the
    // length of its list to no_polys_active and is handed to check (the narrow phase of the
    // collision pass, which keeps the nearest contact in its own packet). Children in index order.
    // Returns 0.
    int OctCollision(const AABB& box, const std::function<void(const PolygonList&)>& check) const;
    // Colours the three corners of the source triangle of each of this node's pieces red
    // (255, 0, 0, alpha 1.0) for inspection. Returns 0.
    int HighlightTris() const;

    // The node's box as min and max corners.
    AABB Box() const { return bounds; }
    // The box the walks test: the node's box widened by the distance by which a piece may stand
    // out of it (a corner within the split tolerance of a plane stays on the near side) and by
    // a few units of float resolution, so no leaf that holds part of a triangle near the query
    // is missed.
    AABB WalkBox() const;
    bool IsLeaf() const { return !child[0]; }

  private:
    // Nodes the build in progress may still make; CreateOctree sets it from the allowance.
    static int nodes_left;
    // Set when an explicit build ran out of nodes.
    static bool out_of_nodes;
    static bool explicit_build;
    // True when some axis of the box has room for a plane strictly between its bounds.
    bool CanSplit() const;
};
