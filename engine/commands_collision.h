// Collision commands: the collision rules, the collision settings of entities and the results
// of the last collision pass (run by UpdateWorld).
//
// Impact indices count from 1; an index outside 1 to CountCollisions gives 0, 0.0 or null. A
// null entity makes a command a no-op returning 0, 0.0 or null. Positions, radii and sizes are
// world units. Only the entity of the rule's source type moves, and impacts are recorded on it
// only.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

// ---- Rules ----

// Entities of collision type src_type collide with those of dest_type by method (1 ellipsoid
// against the target's ellipsoid: its radii times its global scale, along the world axes; 2
// ellipsoid against the target's triangles in world axes, 4 in the target's own axes; any other
// value tests nothing). The source sweeps its ellipsoid from where it stood at the last pass
// and slides along what it meets; response is stored and changes nothing, every collision
// slides. The same rule may be added twice.
void Collisions(int src_type, int dest_type, int method, int response);
// Removes every rule.
void ClearCollisions();

// ---- Settings ----

// Collision type (0, the start value, takes no part); recursive 1 gives the same type to all
// descendants.
void EntityType(const EntityRef& entity, int type, int recursive);
// The entity's collision type; 0 for none.
int GetEntityType(const EntityRef& entity);
// Radii of the collision ellipsoid along the world axes (0 at start); radius_y and radius_z
// given as 0 take radius_x. Sphere picks use radius_x. With a zero radius an entity takes no
// part in collisions as a rule's source; as a method 1 target it is a point on that axis.
void EntityRadius(const EntityRef& entity, float radius_x, float radius_y, float radius_z);
// The pick box (pick mode 3): corner (x, y, z) from the entity's world position, width w,
// height h, depth d, along the world axes. No collision method reads it.
void EntityBox(const EntityRef& entity, float x, float y, float z, float w, float h, float d);
// Forgets the last pass's impacts and takes the current world position as the start of the
// next move (use after placing an entity somewhere it should not sweep to).
void ResetEntity(const EntityRef& entity);

// ---- Results ----

// The entity of collision type type that this one hit in the last pass, or that hit it; null
// when none.
EntityRef EntityCollided(const EntityRef& entity, int type);
// The number of impacts the entity recorded in the last pass (as a rule's source).
int CountCollisions(const EntityRef& entity);
// World x of impact index: the contact point on a triangle, or for method 1 the point between
// the two centres where the ellipsoids met.
float CollisionX(const EntityRef& entity, int index);
// World y of impact index (see CollisionX).
float CollisionY(const EntityRef& entity, int index);
// World z of impact index (see CollisionX).
float CollisionZ(const EntityRef& entity, int index);
// x of the unit normal of impact index: the face normal of the triangle hit, or for method 1 the
// normal of the ellipsoid of summed radii around the other entity where this one's centre met
// it (for spheres, the direction from the other entity's centre to this one's).
float CollisionNX(const EntityRef& entity, int index);
// y of the unit normal of impact index (see CollisionNX).
float CollisionNY(const EntityRef& entity, int index);
// z of the unit normal of impact index (see CollisionNX).
float CollisionNZ(const EntityRef& entity, int index);
// 0.0 for mesh impacts; the fraction of the move (0..1) at which method 1 ellipsoids met.
float CollisionTime(const EntityRef& entity, int index);
// The entity hit by impact index (held weakly: null once nothing else holds it).
EntityRef CollisionEntity(const EntityRef& entity, int index);
// The surface holding the triangle of impact index; null for method 1 impacts.
SurfaceRef CollisionSurface(const EntityRef& entity, int index);
// The index (from 0) within its surface of the triangle of impact index; 0 for method 1
// impacts.
int CollisionTriangle(const EntityRef& entity, int index);
