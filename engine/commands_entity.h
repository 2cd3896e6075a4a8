// Entity commands: creation and hierarchy, transforms and conversions between spaces.
//
// Every command takes all its arguments (none is optional). A global argument selects world
// space in the setters only for the value 1, in the getters for any non-zero value (the scale
// queries are engine-internal and not commands). Child numbers count from 1.
#pragma once

#include "engine/handles.h"

#include <string>

// ---- Creation and hierarchy ----

// A new pivot under parent (null: at the top level).
PivotRef CreatePivot(const EntityRef& parent);
// A copy of the entity (of its own kind) and its descendants under parent.
EntityRef CopyEntity(const EntityRef& entity, const EntityRef& parent);
// Removes the entity and its descendants from the scene.
void FreeEntity(const EntityRef& entity);
// Moves the entity under parent; global 1 keeps its world position, rotation and scale.
void EntityParent(const EntityRef& entity, const EntityRef& parent, int global);
EntityRef GetParent(const EntityRef& entity);
int CountChildren(const EntityRef& entity);
// The child_no-th direct child (from 1); null when there is none.
EntityRef GetChild(const EntityRef& entity, int child_no);
// The first descendant named name; null when none.
EntityRef FindChild(const EntityRef& entity, const std::string& name);
void NameEntity(const EntityRef& entity, const std::string& name);
std::string EntityName(const EntityRef& entity);
// "Pivot", "Camera", "Light", "Mesh", "Sprite" or "Bone".
std::string EntityClass(const EntityRef& entity);
void ShowEntity(const EntityRef& entity);
// A hidden entity and its descendants are not drawn, picked or collided.
void HideEntity(const EntityRef& entity);

// ---- Transforms ----

void PositionEntity(const EntityRef& entity, float x, float y, float z, int global);
void MoveEntity(const EntityRef& entity, float x, float y, float z);
void TranslateEntity(const EntityRef& entity, float x, float y, float z, int global);
void ScaleEntity(const EntityRef& entity, float x, float y, float z, int global);
void RotateEntity(const EntityRef& entity, float pitch, float yaw, float roll, int global);
void TurnEntity(const EntityRef& entity, float pitch, float yaw, float roll, int global);
void PointEntity(const EntityRef& entity, const EntityRef& target, float roll);

float EntityX(const EntityRef& entity, int global);
float EntityY(const EntityRef& entity, int global);
float EntityZ(const EntityRef& entity, int global);
float EntityPitch(const EntityRef& entity, int global);
float EntityYaw(const EntityRef& entity, int global);
float EntityRoll(const EntityRef& entity, int global);

float EntityDistance(const EntityRef& entity, const EntityRef& entity2);
float DeltaYaw(const EntityRef& entity, const EntityRef& entity2);
float DeltaPitch(const EntityRef& entity, const EntityRef& entity2);
// Element (row, col) of the world matrix as stored (z negated): row picks the OpenGL column
// (3 = translation), col the component.
float GetMatElement(const EntityRef& entity, int row, int col);

// Carry a point, a direction or a unit normal from src_entity's space into dest_entity's (null:
// world space); the result is read with TFormedX/Y/Z.
void TFormPoint(float x, float y, float z, const EntityRef& src_entity,
                const EntityRef& dest_entity);
void TFormVector(float x, float y, float z, const EntityRef& src_entity,
                 const EntityRef& dest_entity);
void TFormNormal(float x, float y, float z, const EntityRef& src_entity,
                 const EntityRef& dest_entity);
float TFormedX();
float TFormedY();
float TFormedZ();

// Yaw and pitch in degrees of the direction (x, y, z).
float VectorYaw(float x, float y, float z);
float VectorPitch(float x, float y, float z);
