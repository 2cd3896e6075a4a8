// Collision rules, the collision pass and the ellipsoid collide-and-slide.
//
// A rule (TCollision) says that entities of collision type src_type collide with entities of
// type des_type by a method: 1 the source's ellipsoid against the target's ellipsoid, 2 the
// source's ellipsoid against the target's triangles carried into world space, 4 the ellipsoid
// against the target's triangles in the target's own space. UpdateCollisions runs the whole pass
// once per world update: every moving entity of a rule's source type sweeps its ellipsoid from
// where it stood at the previous pass to where it stands now, slides along what it meets, ends
// where the slide ends and keeps what it hit as impacts (TCollisionImpact) until its turn in the
// next pass. Only the source moves. The rule's response is stored and not read: every collision
// slides.
//
// Ellipsoid space: coordinates divided per axis by the moving ellipsoid's radii, so that the
// ellipsoid is the unit sphere there. Methods 1 and 2 use world axes and the source's radii;
// method 4 the target's axes and the source's radii divided by the target's global scale.
//
// Method 1 takes the target as an ellipsoid along the world axes, its radii scaled by the
// absolute value of its global scale (as the mesh methods scale its triangles). The two
// ellipsoids are taken to touch where the source's centre reaches the ellipsoid whose radii are
// the sums of theirs: exact for spheres and along the axes; between the axes ellipsoids of
// unlike shape may overlap a little. The unit sphere of ellipsoid space slides against that
// ellipsoid. The sweep runs relative to the target, which may have moved since the last pass
// too, and ends placed against where the target stands now.
//
// Everything here runs on the main thread; the slide keeps one recursion counter for the whole
// program, so it is not re-entrant.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"
#include "engine/math/geometry.h"
#include "engine/math/vector.h"
#include "engine/polygon.h"
#include "platform/collections.h"

#include <memory>
#include <vector>

class TCollision;
using CollisionRef = std::shared_ptr<TCollision>;

// One recorded hit of a moving entity. Positions and normals are world values in the commands'
// handedness.
class TCollisionImpact {
  public:
    float x = 0.0f, y = 0.0f, z = 0.0f;
    // Unit face normal of the triangle hit, in world space (also for corner and edge hits); for
    // method 1 the normal of the summed ellipsoid where the centre met it (for spheres, the
    // direction from the target's centre to the source's).
    float nx = 0.0f, ny = 0.0f, nz = 0.0f;
    // The mesh methods record no time (0); a method 1 hit records the fraction of the move at
    // which the ellipsoids met.
    float time = 0.0f;
    // The entity hit. Held weakly: two entities that hit each other would otherwise keep each
    // other alive through their impacts once freed.
    std::weak_ptr<TEntity> ent;
    // The surface hit and the triangle's index within it (null and 0 for a sphere hit).
    SurfaceRef surf;
    int tri = 0;
};
using CollisionImpactRef = std::shared_ptr<TCollisionImpact>;

// One move of a source ellipsoid against one target, carried through the narrow phase.
struct TCollisionPacket {
    // SPHERECOLLISION, WORLDMESHCOLLISION or LOCALMESHCOLLISION: what the target offers (its
    // ellipsoid or its triangles) and which ellipsoid space.
    int method = 0;
    EntityRef source;
    EntityRef target;
    // The box swept by the move in the target's own space; the octree walk tests its node
    // boxes against it. Each pass of the slide replaces it with the box its own sweep can reach
    // (the slide leaves the box of the whole move).
    AABB box;
    // Triangle and surface of the nearest contact found so far (kept across passes).
    int tri = 0;
    SurfaceRef surf;
    // The current pass in ellipsoid space: its motion, that motion at unit length, its start.
    TVector velocity;
    TVector normalized_velocity;
    TVector base_point;
    // 1 once the current pass found a contact.
    int found = 0;
    // Distance along the motion to the nearest contact of the current pass, ellipsoid units.
    float nearest_distance = 0.0f;
    // The nearest contact point of the current pass, ellipsoid space.
    TVector intersection_point;
    // Unit normal of the plane of the triangle that gave the nearest contact; for method 1 the
    // normal of the target's ellipsoid at the point the centre meets (or, starting inside it,
    // the direction it is pushed out along).
    TVector contact_normal;
    // Distance the slide keeps from a contact, ellipsoid units: veryCloseDistance, or more
    // where float resolution at the move's coordinates is coarser (see StandOff).
    float stand_off = 0.005f;
    // The per-axis divisors that take the target's triangle corners into ellipsoid space
    // (methods 1 and 2: the source's radii; method 4: those radii over the target's global
    // scale).
    TVector radii;
    // Method 1: the target's centre where it stands now and the ellipsoid the source's centre
    // meets (the summed radii), both in ellipsoid space, and the target's world motion since the
    // last pass (the sweep runs in the target's frame).
    TVector target_centre;
    TVector target_radii;
    TVector target_motion;
    // Passes of this move that found a contact.
    int contacts = 0;
};

// One collision rule.
class TCollision {
  public:
    int src_type = 0;
    int des_type = 0;
    // A collision method (engine/flags.h); any other value tests nothing.
    int method = 0;
    // Stored unchanged; the pass does not read it: every collision slides.
    int response = 0;

    // The rules in the order they were added; exists from static start-up, never replaced.
    static std::shared_ptr<TList<CollisionRef>> list;

    // Distance kept from a contact after a slide, ellipsoid units.
    static constexpr float veryCloseDistance = 0.005f;
    // Largest stand-off a move may need; a move whose coordinates (in radii) are too large for
    // float resolution to keep a smaller one is refused (see SphereToMesh2).
    static constexpr float kMaxStandOff = 0.25f;
    // A move makes at most kMaxSlideDepth + 1 passes.
    static constexpr int kMaxSlideDepth = 10;
    // The slide's recursion counter: reset by a call with first = 1, raised by each recursion.
    static int slide_depth;

    // ---- The pass ----

    // Every entity of the entity list in turn: empties its impacts; when it has a collision
    // type and is not hidden, runs every rule whose source type is its type against every
    // other visible entity of the rule's destination type (list order); then stores its global
    // position as the start of its next move. Returns 0.
    static int UpdateCollisions();
    // 1 when the pair needs the narrow phase: ent moved since the last pass and its swept box
    // (GetBB) touches e2's world bounding sphere.
    static int QuickCheck(const EntityRef& ent, const EntityRef& e2);
    // One method 2 or method 4 move of ent against the mesh e2; ent ends where the slide
    // ends. A source without a positive finite radius on every axis, a target that is not a
    // mesh and (method 4) a target with a zero global scale take no part. A move that float
    // arithmetic cannot resolve (non-finite, or so long or so far out, counted in radii, that
    // the stand-off would exceed kMaxStandOff: a huge move, a far-away wall, a tiny radius) is
    // refused: ent goes back to where the move started and the debug log says why. Return 0.
    static int SphereToMesh2(const EntityRef& ent, const EntityRef& e2);
    static int SphereToMesh4(const EntityRef& ent, const EntityRef& e2);
    // One method 1 move of ent against e2's ellipsoid, run when ent
    // moved since the last pass and its sweep relative to e2 comes within reach of it; ent
    // ends where the slide ends. Sources take part as for SphereToMesh2; a target whose radii
    // or global scale are not finite takes none (a zero radius makes it a point). Refusals as
    // for SphereToMesh2. Returns 0.
    static int SphereToEllipsoid(const EntityRef& ent, const EntityRef& e2);
    // ent's swept box in world space: old and current global position, padded by its radii.
    static AABB GetBB(const EntityRef& ent);
    // The swept box in the target's space for method 2 (one pad: the largest radius over the
    // smallest global scale of the target) and method 4 (per axis: radius over scale).
    static AABB GetBB2(const TCollisionPacket& packet);
    static AABB GetBB4(const TCollisionPacket& packet);

    // The stand-off for a move whose coordinates (ellipsoid space) reach magnitude: at least
    // veryCloseDistance and at least a few units of float resolution there, so that a sphere
    // held off a wall stays in front of it after rounding.
    static float StandOff(float magnitude);

    // ---- Collide-and-slide (collision_slide.cpp) ----

    // Moves the unit sphere at pos by vel (ellipsoid space) through the packet's target (its
    // triangles, or for method 1 its ellipsoid), sliding along what it meets, and returns where
    // it ends. On the first pass of a move that hits something, one impact is recorded on the
    // packet's source. A pass that starts touching or overlapping what it moves into (a
    // triangle from its front, the target's ellipsoid) does not move: the motion into it is
    // dropped and a push back out to the stand-off is added for the next pass, so the sphere is
    // pushed out, or held where it is once the passes run out.
    static TVector SlideSphere(const TVector& pos, const TVector& vel, TCollisionPacket& packet,
                               int first);
    // One pass against the target's ellipsoid (method 1): the packet's nearest contact when
    // the centre meets the summed ellipsoid, moving into it, within the pass. Returns 0.
    static int EllipsoidCheckCollision(TCollisionPacket& packet);
    // One pass against every candidate triangle of the target (through its octree when it has
    // one). Return 0.
    static int MeshCheckCollision(TCollisionPacket& packet);
    static int MeshCheckCollision2(TCollisionPacket& packet);
    static int MeshCheckCollision4(TCollisionPacket& packet);
    // One octree leaf's polygons (null entries and pieces that are not triangles skipped); a
    // nearer contact takes the polygon's source surface and triangle. Return 0.
    static int PolysCheckCollision(TCollisionPacket& packet, const PolygonList& polys);
    static int PolysCheckCollision2(TCollisionPacket& packet, const PolygonList& polys);
    static int PolysCheckCollision4(TCollisionPacket& packet, const PolygonList& polys);
    // The swept unit sphere against one triangle (ellipsoid space): 1 when the triangle's
    // contact became the packet's nearest, else 0. Triangles seen from behind (the motion runs
    // along the normal, or the centre starts behind the plane) and degenerate (zero-area)
    // triangles are passed through. A sphere that starts touching or overlapping the face, or
    // an edge or corner it moves toward, meets it at distance 0, the contact being the point
    // of the triangle nearest the centre.
    static int CheckTriangle(TCollisionPacket& packet, const TVector& p1, const TVector& p2,
                             const TVector& p3);
    // 1 when point (on the triangle's plane) lies inside triangle a, b, c or on its border.
    static int CheckPointInTriangle(const TVector& point, const TVector& a, const TVector& b,
                                    const TVector& c);
    // Barycentric coordinates of p in triangle a, b, c; a degenerate triangle gives u = 1,
    // v = w = -1 (outside). Returns 0.
    static int Barycentric(const TVector& a, const TVector& b, const TVector& c, const TVector& p,
                           float& u, float& v, float& w);
    // 1 when a*r^2 + b*r + c = 0 has a root with 0 < r < maxR, the smallest such in root.
    // a = 0 has none.
    static int getLowestRoot(float a, float b, float c, float maxR, float& root);

    // Appends an impact to source's collision array and counts it. Returns 0.
    static int AddImpact(TEntity& source, const TVector& point, const TVector& normal, float time,
                         const EntityRef& hit, const SurfaceRef& surf, int tri);

    // ---- Spheres ----

    // 1 when two unit spheres at ent's and e2's old positions, moving to their current ones,
    // meet during the move (t is the caller's time variable, taken by value).
    static int SphereToSphere(const EntityRef& ent, const EntityRef& e2, float t);
    // The same question answered with a segment-sphere test.
    static int SphereToSphere1(const EntityRef& ent, const EntityRef& e2, float t);
    // Two spheres of radius r0 and r1 at c0 and c1 moving by d0 and d1: 1 when they meet during
    // the move, with the time (0..1) in t; overlapping spheres meet at t = 0.
    static int SweptSpheres(const TVector& c0, const TVector& d0, float r0, const TVector& c1,
                            const TVector& d1, float r1, float& t);
};
