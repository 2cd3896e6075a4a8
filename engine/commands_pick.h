// Pick and octree commands: making entities pickable, casting pick lines into the scene and
// reading the result of the last pick, and building a mesh's triangle octree.
//
// One result is kept for the whole engine (engine/pick.h): every pick replaces it, except
// EntityVisible, which puts the previous values back. A null receiver makes a command a no-op
// returning 0, 0.0 or null.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

// ---- Picking ----

// How the entity can be picked: 0 not at all, 1 as a sphere (its radius_x), 2 by its polygons
// (meshes), 3 as a box (its EntityBox); obscurer is stored with it.
void EntityPickMode(const EntityRef& entity, int mode, int obscurer);
// Picks along the camera's line of sight through the display pixel (x, y) counted from the top
// left; the entity hit first or null.
EntityRef CameraPick(const CameraRef& camera, float x, float y);
// Picks along the entity's own z axis from its position to distance range.
EntityRef EntityPick(const EntityRef& entity, float range);
// Picks from (x, y, z) to (x + dx, y + dy, z + dz); radius is not used.
EntityRef LinePick(float x, float y, float z, float dx, float dy, float dz, float radius);
// 1 when the line between the two entities' world positions hits no pickable entity, else 0;
// the results of the previous pick stay as they were.
int EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity);

// The last pick's hit point and normal in world space, its position along the line (0 at the
// start, 1 at the end), and the entity, surface and triangle hit.
float PickedX();
float PickedY();
float PickedZ();
float PickedNX();
float PickedNY();
float PickedNZ();
float PickedTime();
EntityRef PickedEntity();
SurfaceRef PickedSurface();
int PickedTriangle();

// ---- Octree ----

// Builds the mesh's triangle octree for picking and collisions: nodes holding max_polys or more
// distinct triangles split (0: always), at most max_levels generations deep. Both limits 0 is a
// fatal error. An explicit max_levels is honoured exactly when the tree fits 2,097,152 nodes
// (about 400 MB); a request that needs more is refused: nothing is built, the mesh keeps its
// previous octree and the debug log says so. max_levels 0 (no limit) stops at 16 levels and
// 131,072 nodes, the remaining nodes becoming leaves. A node whose box float resolution can no
// longer cut stays a leaf either way.
void CreateOctree(const MeshRef& mesh, int max_polys, int max_levels);
