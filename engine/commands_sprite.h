// Sprite commands: camera-facing textured quads (a kind of mesh). Each forwards to the TSprite
// operation of the same name; a null sprite makes it a no-op.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <string>

// A new sprite under parent: a 2x2 quad facing the camera, full-bright.
SpriteRef CreateSprite(const EntityRef& parent);
// A new sprite textured with the image file loaded with flags; without texture flag 2 (alpha)
// it is drawn additively.
SpriteRef LoadSprite(const std::string& file, int flags, const EntityRef& parent);
// Rotation in degrees about the viewing axis.
void RotateSprite(const SpriteRef& sprite, float angle);
void ScaleSprite(const SpriteRef& sprite, float x_scale, float y_scale);
// The point of the quad (in quad units) that sits at the sprite's position.
void HandleSprite(const SpriteRef& sprite, float handle_x, float handle_y);
// 1 faces the camera (its pitch and yaw), 2 keeps its own orientation, 3 follows the camera's
// pitch, yaw and roll, 4 its yaw and roll.
void SpriteViewMode(const SpriteRef& sprite, int mode);
