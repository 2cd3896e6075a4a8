#include "engine/commands_collision.h"
#include "engine/entity.h"
#include "engine/global.h"

void Collisions(int src_type, int dest_type, int method, int response) {
    TGlobal::Collisions(src_type, dest_type, method, response);
}

void ClearCollisions() {
    TGlobal::ClearCollisions();
}

void EntityType(const EntityRef& entity, int type, int recursive) {
    if (Live(entity)) entity->EntityType(type, recursive);
}

int GetEntityType(const EntityRef& entity) {
    return Live(entity) ? entity->GetEntityType() : 0;
}

void EntityRadius(const EntityRef& entity, float radius_x, float radius_y, float radius_z) {
    if (Live(entity)) entity->EntityRadius(radius_x, radius_y, radius_z);
}

void EntityBox(const EntityRef& entity, float x, float y, float z, float w, float h, float d) {
    if (Live(entity)) entity->EntityBox(x, y, z, w, h, d);
}

void ResetEntity(const EntityRef& entity) {
    if (Live(entity)) entity->ResetEntity();
}

EntityRef EntityCollided(const EntityRef& entity, int type) {
    return Live(entity) ? entity->EntityCollided(type) : nullptr;
}

int CountCollisions(const EntityRef& entity) {
    return Live(entity) ? entity->CountCollisions() : 0;
}

float CollisionX(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionX(index) : 0.0f;
}

float CollisionY(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionY(index) : 0.0f;
}

float CollisionZ(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionZ(index) : 0.0f;
}

float CollisionNX(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionNX(index) : 0.0f;
}

float CollisionNY(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionNY(index) : 0.0f;
}

float CollisionNZ(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionNZ(index) : 0.0f;
}

float CollisionTime(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionTime(index) : 0.0f;
}

EntityRef CollisionEntity(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionEntity(index) : nullptr;
}

SurfaceRef CollisionSurface(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionSurface(index) : nullptr;
}

int CollisionTriangle(const EntityRef& entity, int index) {
    return Live(entity) ? entity->CollisionTriangle(index) : 0;
}
