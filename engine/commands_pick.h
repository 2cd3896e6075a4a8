// Pick and octree commands: making entities pickable, casting pick lines into the scene and
// reading the result of the last pick, and building a mesh's triangle octree.
//
// One result is kept for the whole engine (engine/pick.h): every pick replaces it, except
// EntityVisible, which puts the previous values back. A pick that hits nothing sets the picked
// entity to null and the time to 1.0 and leaves the other results as they were. A null receiver
// makes a command a no-op returning 0, 0.0 or null. Hidden entities, and those under a hidden
// parent, are not picked. Positions are world units.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

// ---- Picking ----

// How the entity can be picked: 0 not at all (the start value), 1 as a sphere (its radius_x),
// 2 by its polygons (meshes and sprites), 3 as a box (its EntityBox); any other value not at
// all. obscurer is stored with it and read by no pick.
void EntityPickMode(const EntityRef& entity, int mode, int obscurer);
// Picks along the camera's line of sight through the display pixel (x, y) counted from the top
// left, from its near to its far plane as last rendered; the entity hit first or null (also for
// a camera never rendered).
EntityRef CameraPick(const CameraRef& camera, float x, float y);
// Picks along the entity's own z axis from its position to distance range (in its own units:
// its scale stretches the line); the entity hit first or null.
EntityRef EntityPick(const EntityRef& entity, float range);
// Picks from (x, y, z) to (x + dx, y + dy, z + dz); radius is not used. The entity hit first
// or null.
EntityRef LinePick(float x, float y, float z, float dx, float dy, float dz, float radius);
// 1 when the line between the two entities' world positions hits no pickable entity, else 0
// (either entity, when pickable, counts too); the results of the previous pick stay as they
// were. 0 when either entity is null.
int EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity);

// World x of the last pick's hit point.
float PickedX();
// World y of the last pick's hit point.
float PickedY();
// World z of the last pick's hit point.
float PickedZ();
// x of the unit normal at the last pick's hit point (a triangle's face, a box's face, or
// outward from a sphere's centre).
float PickedNX();
// y of the unit normal at the last pick's hit point (see PickedNX).
float PickedNY();
// z of the unit normal at the last pick's hit point (see PickedNX).
float PickedNZ();
// Where along the last pick's line the hit lies: 0.0 at the start to 1.0 at the end (1.0 after
// a miss).
float PickedTime();
// The entity the last pick hit; null after a miss and once nothing else holds that entity.
EntityRef PickedEntity();
// The surface of the triangle that the last polygon hit met (sphere and box hits leave it as
// it was).
SurfaceRef PickedSurface();
// The index (from 0) within its surface of the triangle that the last polygon hit met (sphere
// and box hits leave it as it was).
int PickedTriangle();

// ---- Octree ----

// Builds the mesh's triangle octree for picking and collisions: nodes holding max_polys or more
// distinct triangles split (0: always), at most max_levels generations deep. Both limits 0 is a
// fatal error. An explicit max_levels is honoured exactly when the tree fits 2,097,152 nodes
// (about 400 MB); a request that needs more is refused: nothing is built, the mesh keeps its
// previous octree and the debug log says so. max_levels 0 (no limit) stops at 16 levels and
// 131,072 nodes, the remaining nodes becoming leaves. A node whose box float resolution can no
// longer cut stays a leaf either way. Later edits of the mesh do not reach the octree until it
// is built again.
void CreateOctree(const MeshRef& mesh, int max_polys, int max_levels);
