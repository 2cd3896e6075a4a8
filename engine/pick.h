// TPick: finding the nearest pickable entity along a straight segment.
//
// A pick runs from a to b in world space (command coordinates, z into the screen) over every
// entity of TEntity::entity_list that has a pick mode and is not hidden (nor below a hidden
// ancestor):
// - mode 1, sphere: radius `radius_x` about the entity's world position;
// - mode 2, polygons (meshes and sprites only): the mesh's triangles, front faces only, through
//   its octree when it has one, else after a world bounding-sphere pre-test;
// - mode 3, box: `box_w` x `box_h` x `box_d` from the world position plus (box_x, box_y, box_z),
//   aligned with the world axes whatever the entity's rotation and scale.
// A hit at t (0 at a, 1 at b) is accepted when t <= the best so far, so the nearest hit wins and
// among equal ones the last examined (later in entity_list; within a mesh the later surface and
// triangle). `obscurer` is stored by EntityPickMode and read by no pick.
//
// The result of the last pick lives in the type-level variables below. A pick clears
// `picked_ent` and sets `picked_time` to 1.0; a miss leaves the other results as they were.
// EntityVisible puts all of them back. TPick has only type functions; it is never instantiated.
//
// A segment of zero length hits nothing.
#pragma once

#include "engine/handles.h"
#include "engine/math/vector.h"
#include "engine/polygon.h"

#include <memory>

class TPick {
  public:
    TPick() = delete;

    // Hit position and unit normal in world space, position along the segment, what was hit.
    static float picked_x, picked_y, picked_z;
    static float picked_nx, picked_ny, picked_nz;
    static float picked_time;
    // Held weakly, as collision impacts hold what they hit: the last pick keeps no freed entity
    // alive, and PickedEntity gives null once the entity is gone.
    static std::weak_ptr<TEntity> picked_ent;
    static SurfaceRef picked_surface;
    static int picked_triangle;

    // Picks along the camera's ray through the display pixel (x, y), counted from the top left
    // of the display, from its near to its far plane as last rendered (the matrices and viewport
    // its last Update read back). A camera whose matrices cannot be inverted (one never
    // rendered) picks nothing: the result is that of a pick that hits nothing.
    static EntityRef CameraPick(const CameraRef& camera, float x, float y);
    // From the entity's origin along its local +z axis for range (its scale stretches it).
    static EntityRef EntityPick(const EntityRef& entity, float range);
    // From (x, y, z) to (x + dx, y + dy, z + dz); radius has no effect.
    static EntityRef LinePick(float x, float y, float z, float dx, float dy, float dz,
                              float radius);
    // 1 when no pickable entity lies on the segment between the two world positions (src and
    // dest included: a pickable dest always blocks), else 0; the pick results are restored.
    // 0 for a null entity.
    static int EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity);

    static float PickedX() { return picked_x; }
    static float PickedY() { return picked_y; }
    static float PickedZ() { return picked_z; }
    static float PickedNX() { return picked_nx; }
    static float PickedNY() { return picked_ny; }
    static float PickedNZ() { return picked_nz; }
    static float PickedTime() { return picked_time; }
    static EntityRef PickedEntity() { return picked_ent.lock(); }
    static SurfaceRef PickedSurface() { return picked_surface; }
    static int PickedTriangle() { return picked_triangle; }

    // The core pick from a to b in world space; returns the entity picked. radius is not used.
    static EntityRef Pick(float ax, float ay, float az, float bx, float by, float bz, float radius);
    // For each non-null 3-vertex polygon of the list, tests the whole source triangle it was cut
    // from (a, b and the polygons in mesh's space), so the pick meets the mesh exactly as it
    // would without the octree; records each hit at t <= best: best = t, the results from the
    // hit, the source triangle's normal carried to world space, mesh and the polygon's surface
    // and triangle. 1 when any hit was accepted, else 0.
    static int PickPolys(const TVector& a, const TVector& b, const PolygonList& polys,
                         const MeshRef& mesh, float& best);

    // Segment a -> b against the sphere: 1 on a hit, with t the fraction (0 when a is inside)
    // and hit the first point on the sphere (a itself when inside); else 0.
    static int IntersectSegmentSphere(const TVector& a, const TVector& b, const TVector& centre,
                                      float radius, float& t, TVector& hit);
    // One-sided segment p -> q against the triangle a, b, c: only a segment running against the
    // normal (b - a) x (c - a) can hit. On a hit returns 1 with t the fraction along the
    // segment and (u, v, w) the barycentric weights of a, b, c of the hit point.
    static int IntersectSegmentTriangle(const TVector& p, const TVector& q, const TVector& a,
                                        const TVector& b, const TVector& c, float& u, float& v,
                                        float& w, float& t);
    // Segment a -> b against the box from (x, y, z) of size width x height x depth (slab test,
    // faces included): 1 on a hit with t the entry fraction and hit the entry point (0 and a
    // when a lies inside); else 0.
    static int IntersectSegmentAABB(const TVector& a, const TVector& b, float x, float y, float z,
                                    float width, float height, float depth, float& t, TVector& hit);

  private:
    // Sets the position, normal, time and entity of the results.
    static void RecordHit(const EntityRef& ent, const TVector& hit, const TVector& normal, float t);
    // Segment a -> b against the triangle t0, t1, t2 of mesh (all in its space): a hit at
    // t <= best becomes the best and the result, with the point and the face normal of
    // triangle tri of surf carried to world space. True when the hit was accepted.
    static bool PickTriangle(const TVector& a, const TVector& b, const TVector& t0,
                             const TVector& t1, const TVector& t2, const MeshRef& mesh,
                             const SurfaceRef& surf, int tri, float& best);
};
