// Entity commands: creation and hierarchy, transforms and conversions between spaces.
//
// Every command takes all its arguments (none is optional). A global argument selects world
// space in the setters only for the value 1, in the getters for any non-zero value (the scale
// queries are engine-internal and not commands); otherwise values are relative to the parent.
// Child numbers count from 1. Positions are in world units, angles in degrees (positive pitch
// turns the nose down, positive yaw turns left), z points into the screen. A null entity makes
// a command a no-op returning 0, 0.0, "" or null; so does an entity that has been freed, wherever
// it is given (a freed parent counts as none).
#pragma once

#include "engine/handles.h"

#include <string>

// ---- Creation and hierarchy ----

// A new pivot (an entity with no appearance) under parent (null: at the top level).
PivotRef CreatePivot(const EntityRef& parent);
// A copy of the entity (of its own kind) and its descendants under parent (null: at the top
// level); a mesh copy shares its source's surfaces. Null for a light once eight lights exist.
EntityRef CopyEntity(const EntityRef& entity, const EntityRef& parent);
// Removes the entity and its descendants from the scene for good: afterwards every command
// treats each of them as a null handle, so none can be copied or placed back in the scene.
void FreeEntity(const EntityRef& entity);
// Moves the entity under parent (null: to the top level); global 1 keeps its world position,
// rotation and scale, any other value makes them its local ones (it moves with the parent). A
// parent that is the entity itself or one of its descendants is refused.
void EntityParent(const EntityRef& entity, const EntityRef& parent, int global);
// The entity's parent; null at the top level.
EntityRef GetParent(const EntityRef& entity);
// The number of the entity's direct children.
int CountChildren(const EntityRef& entity);
// The child_no-th direct child (from 1); null when there is none.
EntityRef GetChild(const EntityRef& entity, int child_no);
// The first descendant named name (exact comparison, depth-first); null when none.
EntityRef FindChild(const EntityRef& entity, const std::string& name);
// Sets the entity's name.
void NameEntity(const EntityRef& entity, const std::string& name);
// The entity's name; "" until named (a loaded model's nodes carry their names from the file).
std::string EntityName(const EntityRef& entity);
// "Pivot", "Camera", "Light", "Mesh", "Sprite" or "Bone".
std::string EntityClass(const EntityRef& entity);
// Shows an entity hidden by HideEntity (one under a hidden parent stays hidden).
void ShowEntity(const EntityRef& entity);
// A hidden entity and its descendants are not drawn, picked or collided; a hidden camera does
// not render and a hidden light is switched off.
void HideEntity(const EntityRef& entity);

// ---- Transforms ----

// Places the entity at (x, y, z): in world space with global 1, else relative to its parent.
void PositionEntity(const EntityRef& entity, float x, float y, float z, int global);
// Moves the entity by (x, y, z) along its own rotated axes (its scale does not lengthen the
// move).
void MoveEntity(const EntityRef& entity, float x, float y, float z);
// Moves the entity by (x, y, z) along its parent's axes or, with global 1, the world axes.
void TranslateEntity(const EntityRef& entity, float x, float y, float z, int global);
// Sets the entity's scale factors; with global 1 they are its scale in the world (divided by
// its ancestors' scales).
void ScaleEntity(const EntityRef& entity, float x, float y, float z, int global);
// Sets the entity's orientation in degrees; with global 1 under a parent, its orientation in
// the world.
void RotateEntity(const EntityRef& entity, float pitch, float yaw, float roll, int global);
// Adds the angles in degrees to the entity's own (local) angles; global is not used.
void TurnEntity(const EntityRef& entity, float pitch, float yaw, float roll, int global);
// Turns the entity to face target's world position, with the given roll in degrees; a null
// target changes nothing.
void PointEntity(const EntityRef& entity, const EntityRef& target, float roll);

// The entity's x position: in the world for a non-zero global, else relative to its parent.
float EntityX(const EntityRef& entity, int global);
// The entity's y position (see EntityX).
float EntityY(const EntityRef& entity, int global);
// The entity's z position (see EntityX).
float EntityZ(const EntityRef& entity, int global);
// The entity's pitch in degrees: in the world (-90..90) for a non-zero global, else the local
// angle, not wrapped.
float EntityPitch(const EntityRef& entity, int global);
// The entity's yaw in degrees: in the world (-180..180) for a non-zero global, else the local
// angle, not wrapped.
float EntityYaw(const EntityRef& entity, int global);
// The entity's roll in degrees: in the world (-180..180) for a non-zero global, else the local
// angle, not wrapped.
float EntityRoll(const EntityRef& entity, int global);

// Distance between the two entities' world positions; 0 when either is null.
float EntityDistance(const EntityRef& entity, const EntityRef& entity2);
// The world yaw in degrees that would turn the entity to face entity2 (as PointEntity sets it);
// 0 when either is null.
float DeltaYaw(const EntityRef& entity, const EntityRef& entity2);
// The world pitch in degrees that would turn the entity to face entity2 (as PointEntity sets
// it); 0 when either is null.
float DeltaPitch(const EntityRef& entity, const EntityRef& entity2);
// Element (row, col) of the world matrix as stored (z negated): row picks the OpenGL column
// (3 = translation), col the component; 0 for indices outside 0..3.
float GetMatElement(const EntityRef& entity, int row, int col);

// Carries the point (x, y, z) from src_entity's space into dest_entity's (null: world space);
// the result is read with TFormedX/Y/Z.
void TFormPoint(float x, float y, float z, const EntityRef& src_entity,
                const EntityRef& dest_entity);
// Carries the direction (x, y, z) from src_entity's space into dest_entity's (null: world
// space), without translation; the result is read with TFormedX/Y/Z.
void TFormVector(float x, float y, float z, const EntityRef& src_entity,
                 const EntityRef& dest_entity);
// Carries the normal (x, y, z) from src_entity's space into dest_entity's (null: world space)
// and brings it to length 1 ((0, 0, 0) stays); the result is read with TFormedX/Y/Z.
void TFormNormal(float x, float y, float z, const EntityRef& src_entity,
                 const EntityRef& dest_entity);
// x of the result of the last TFormPoint, TFormVector or TFormNormal; 0 before the first.
float TFormedX();
// y of the result of the last TFormPoint, TFormVector or TFormNormal; 0 before the first.
float TFormedY();
// z of the result of the last TFormPoint, TFormVector or TFormNormal; 0 before the first.
float TFormedZ();

// Yaw in degrees (-180..180) of the direction (x, y, z): 0 along +z, 90 along -x.
float VectorYaw(float x, float y, float z);
// Pitch in degrees (-90..90) of the direction (x, y, z): 0 when horizontal, -90 along +y.
float VectorPitch(float x, float y, float z);
