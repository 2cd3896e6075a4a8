#include "engine/commands_entity.h"

#include "engine/entity.h"
#include "engine/math/vector.h"
#include "engine/pivot.h"

PivotRef CreatePivot(const EntityRef& parent) {
    return TPivot::CreatePivot(Live(parent));
}

EntityRef CopyEntity(const EntityRef& entity, const EntityRef& parent) {
    return Live(entity) ? entity->CopyEntity(Live(parent)) : nullptr;
}

void FreeEntity(const EntityRef& entity) {
    if (Live(entity)) entity->FreeEntity();
}

void EntityParent(const EntityRef& entity, const EntityRef& parent, int global) {
    if (Live(entity)) entity->EntityParent(Live(parent), global);
}

EntityRef GetParent(const EntityRef& entity) {
    return Live(entity) ? entity->GetParent() : nullptr;
}

int CountChildren(const EntityRef& entity) {
    return Live(entity) ? entity->CountChildren() : 0;
}

EntityRef GetChild(const EntityRef& entity, int child_no) {
    return Live(entity) ? entity->GetChild(child_no) : nullptr;
}

EntityRef FindChild(const EntityRef& entity, const std::string& name) {
    return Live(entity) ? entity->FindChild(name) : nullptr;
}

void NameEntity(const EntityRef& entity, const std::string& name) {
    if (Live(entity)) entity->NameEntity(name);
}

std::string EntityName(const EntityRef& entity) {
    return Live(entity) ? entity->EntityName() : std::string();
}

std::string EntityClass(const EntityRef& entity) {
    return Live(entity) ? entity->EntityClass() : std::string();
}

void ShowEntity(const EntityRef& entity) {
    if (Live(entity)) entity->ShowEntity();
}

void HideEntity(const EntityRef& entity) {
    if (Live(entity)) entity->HideEntity();
}

void PositionEntity(const EntityRef& entity, float x, float y, float z, int global) {
    if (Live(entity)) entity->PositionEntity(x, y, z, global);
}

void MoveEntity(const EntityRef& entity, float x, float y, float z) {
    if (Live(entity)) entity->MoveEntity(x, y, z);
}

void TranslateEntity(const EntityRef& entity, float x, float y, float z, int global) {
    if (Live(entity)) entity->TranslateEntity(x, y, z, global);
}

void ScaleEntity(const EntityRef& entity, float x, float y, float z, int global) {
    if (Live(entity)) entity->ScaleEntity(x, y, z, global);
}

void RotateEntity(const EntityRef& entity, float pitch, float yaw, float roll, int global) {
    if (Live(entity)) entity->RotateEntity(pitch, yaw, roll, global);
}

void TurnEntity(const EntityRef& entity, float pitch, float yaw, float roll, int global) {
    if (Live(entity)) entity->TurnEntity(pitch, yaw, roll, global);
}

void PointEntity(const EntityRef& entity, const EntityRef& target, float roll) {
    if (Live(entity)) entity->PointEntity(Live(target), roll);
}

float EntityX(const EntityRef& entity, int global) {
    return Live(entity) ? entity->EntityX(global) : 0.0f;
}

float EntityY(const EntityRef& entity, int global) {
    return Live(entity) ? entity->EntityY(global) : 0.0f;
}

float EntityZ(const EntityRef& entity, int global) {
    return Live(entity) ? entity->EntityZ(global) : 0.0f;
}

float EntityPitch(const EntityRef& entity, int global) {
    return Live(entity) ? entity->EntityPitch(global) : 0.0f;
}

float EntityYaw(const EntityRef& entity, int global) {
    return Live(entity) ? entity->EntityYaw(global) : 0.0f;
}

float EntityRoll(const EntityRef& entity, int global) {
    return Live(entity) ? entity->EntityRoll(global) : 0.0f;
}

float EntityDistance(const EntityRef& entity, const EntityRef& entity2) {
    return Live(entity) ? entity->EntityDistance(Live(entity2)) : 0.0f;
}

float DeltaYaw(const EntityRef& entity, const EntityRef& entity2) {
    return Live(entity) ? entity->DeltaYaw(Live(entity2)) : 0.0f;
}

float DeltaPitch(const EntityRef& entity, const EntityRef& entity2) {
    return Live(entity) ? entity->DeltaPitch(Live(entity2)) : 0.0f;
}

float GetMatElement(const EntityRef& entity, int row, int col) {
    return Live(entity) ? entity->GetMatElement(row, col) : 0.0f;
}

void TFormPoint(float x, float y, float z, const EntityRef& src_entity,
                const EntityRef& dest_entity) {
    TEntity::TFormPoint(x, y, z, Live(src_entity), Live(dest_entity));
}

void TFormVector(float x, float y, float z, const EntityRef& src_entity,
                 const EntityRef& dest_entity) {
    TEntity::TFormVector(x, y, z, Live(src_entity), Live(dest_entity));
}

void TFormNormal(float x, float y, float z, const EntityRef& src_entity,
                 const EntityRef& dest_entity) {
    TEntity::TFormNormal(x, y, z, Live(src_entity), Live(dest_entity));
}

float TFormedX() {
    return TEntity::TFormedX();
}

float TFormedY() {
    return TEntity::TFormedY();
}

float TFormedZ() {
    return TEntity::TFormedZ();
}

float VectorYaw(float x, float y, float z) {
    return TVector::VectorYaw(x, y, z);
}

float VectorPitch(float x, float y, float z) {
    return TVector::VectorPitch(x, y, z);
}
