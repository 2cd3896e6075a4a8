// Sprite commands: camera-facing textured quads (a kind of mesh). Each forwards to the TSprite
// operation of the same name; a null sprite makes it a no-op.
//
// The sprite's own rotation, scale and handle (RotateSprite, ScaleSprite, HandleSprite) take
// effect at the next render; view mode 2 draws with the entity's matrix and ignores all three.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <string>

// A new sprite under parent (null: at the top level): a 2x2 quad facing the camera,
// full-bright, untextured.
SpriteRef CreateSprite(const EntityRef& parent);
// A new sprite textured with the image file loaded with texture flags; without flag 2 (alpha)
// it is drawn additively. A sprite is made (untextured) also when the file cannot be loaded.
SpriteRef LoadSprite(const std::string& file, int flags, const EntityRef& parent);
// Rotation in degrees about the viewing axis.
void RotateSprite(const SpriteRef& sprite, float angle);
// Width and height factors of the quad (1, 1 at start: 2 units each way).
void ScaleSprite(const SpriteRef& sprite, float x_scale, float y_scale);
// The point of the quad (in quad units, -1..1 spans it; 0, 0 at start, the centre) that sits
// at the sprite's position.
void HandleSprite(const SpriteRef& sprite, float handle_x, float handle_y);
// 1 faces the camera (its pitch and yaw; the start value), 2 keeps its own orientation, 3
// follows the camera's pitch, yaw and roll, 4 its yaw and roll; other values take the angles of
// the sprite drawn before in the same pass.
void SpriteViewMode(const SpriteRef& sprite, int mode);
