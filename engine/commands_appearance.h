// Entity appearance commands: the entity brush (colour, alpha, shininess, texture layers, blend
// mode, effect flags), distance fading, drawing order and the cull radius.
//
// Each forwards to the TEntity operation of the same name; a null entity makes it a no-op.
// EntityTexture and PaintEntity are commands for meshes and sprites: given any other kind of
// entity they do nothing.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

// 0-255 per channel.
void EntityColor(const EntityRef& entity, float red, float green, float blue);
// 0.0 (invisible) to 1.0 (opaque).
void EntityAlpha(const EntityRef& entity, float alpha);
void EntityShininess(const EntityRef& entity, float shininess);
// Puts the texture, showing animation frame frame, on layer index (0..7) of the entity's brush.
// A null texture (one that failed to load) changes nothing.
void EntityTexture(const EntityRef& entity, const TextureRef& texture, int frame, int index);
// 1 alpha, 2 multiply, 3 add; a mesh copies it into every surface's brush too.
void EntityBlend(const EntityRef& entity, int blend);
// 1 full-bright, 2 vertex colours, 4 flat shading, 8 no fog, 16 no back-face culling, 32 forced
// blending.
void EntityFX(const EntityRef& entity, int fx);
// Fades the entity out with camera distance: opaque up to near, invisible from far.
void EntityAutoFade(const EntityRef& entity, float near_distance, float far_distance);
// Copies the brush's settings into the entity's own brush (not the brush object itself).
void PaintEntity(const EntityRef& entity, const BrushRef& brush);
// Positive orders are drawn first, negative last, both without depth test; a camera takes its
// place in the camera list by it.
void EntityOrder(const EntityRef& entity, int order);
// Fixes the radius of the entity's bounding sphere for the frustum test.
void MeshCullRadius(const EntityRef& entity, float radius);
