#include "engine/commands_pick.h"
#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/mesh.h"
#include "engine/octree.h"
#include "engine/pick.h"

void EntityPickMode(const EntityRef& entity, int mode, int obscurer) {
    if (Live(entity)) entity->EntityPickMode(mode, obscurer);
}

EntityRef CameraPick(const CameraRef& camera, float x, float y) {
    return Live(camera) ? camera->CameraPick(x, y) : nullptr;
}

EntityRef EntityPick(const EntityRef& entity, float range) {
    return TPick::EntityPick(Live(entity), range);
}

EntityRef LinePick(float x, float y, float z, float dx, float dy, float dz, float radius) {
    return TPick::LinePick(x, y, z, dx, dy, dz, radius);
}

int EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity) {
    return TPick::EntityVisible(Live(src_entity), Live(dest_entity));
}

float PickedX() {
    return TPick::PickedX();
}
float PickedY() {
    return TPick::PickedY();
}
float PickedZ() {
    return TPick::PickedZ();
}
float PickedNX() {
    return TPick::PickedNX();
}
float PickedNY() {
    return TPick::PickedNY();
}
float PickedNZ() {
    return TPick::PickedNZ();
}
float PickedTime() {
    return TPick::PickedTime();
}
EntityRef PickedEntity() {
    return TPick::PickedEntity();
}
SurfaceRef PickedSurface() {
    return TPick::PickedSurface();
}
int PickedTriangle() {
    return TPick::PickedTriangle();
}

void CreateOctree(const MeshRef& mesh, int max_polys, int max_levels) {
    TOctree::CreateOctree(Live(mesh), max_polys, max_levels);
}
