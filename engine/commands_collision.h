// Collision commands: the collision rules, the collision settings of entities and the results
// of the last collision pass (run by UpdateWorld).
//
// Impact indices count from 1; an index outside 1 to CountCollisions gives 0, 0.0 or null. A
// null entity makes a command a no-op returning 0, 0.0 or null.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

// ---- Rules ----

// Entities of collision type src_type collide with those of dest_type by method (1 sphere to
// sphere, 2 ellipsoid against the target's triangles in world axes, 4 in the target's own
// axes); response is stored. The same rule may be added twice.
void Collisions(int src_type, int dest_type, int method, int response);
// Removes every rule.
void ClearCollisions();

// ---- Settings ----

// Collision type (0 takes no part); recursive 1 gives the same type to all descendants.
void EntityType(const EntityRef& entity, int type, int recursive);
int GetEntityType(const EntityRef& entity);
// Radii of the collision ellipsoid; radius_y and radius_z given as 0 take radius_x.
void EntityRadius(const EntityRef& entity, float radius_x, float radius_y, float radius_z);
// Collision and pick box: corner (x, y, z), width w, height h, depth d.
void EntityBox(const EntityRef& entity, float x, float y, float z, float w, float h, float d);
// Forgets the last pass's impacts and takes the current world position as the start of the
// next move (use after placing an entity somewhere it should not sweep to).
void ResetEntity(const EntityRef& entity);

// ---- Results ----

// The entity of collision type type that this one hit in the last pass, or that hit it; null
// when none.
EntityRef EntityCollided(const EntityRef& entity, int type);
int CountCollisions(const EntityRef& entity);
// World position and unit normal of impact index.
float CollisionX(const EntityRef& entity, int index);
float CollisionY(const EntityRef& entity, int index);
float CollisionZ(const EntityRef& entity, int index);
float CollisionNX(const EntityRef& entity, int index);
float CollisionNY(const EntityRef& entity, int index);
float CollisionNZ(const EntityRef& entity, int index);
// 0.0 for mesh impacts; the fraction of the move for sphere-to-sphere impacts.
float CollisionTime(const EntityRef& entity, int index);
EntityRef CollisionEntity(const EntityRef& entity, int index);
SurfaceRef CollisionSurface(const EntityRef& entity, int index);
int CollisionTriangle(const EntityRef& entity, int index);
