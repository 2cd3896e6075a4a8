// Entity appearance commands: the entity brush (colour, alpha, shininess, texture layers, blend
// mode, effect flags), distance fading, drawing order and the cull radius.
//
// Each forwards to the TEntity operation of the same name; a null entity makes it a no-op.
// EntityTexture and PaintEntity are commands for meshes and sprites: given any other kind of
// entity they do nothing. The entity brush is drawn combined with each surface's own brush
// (colours and alphas multiplied). On a freed entity the brush commands do nothing.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

// Colour of the entity brush, 0-255 per channel (stored divided by 255, not clamped); white at
// start.
void EntityColor(const EntityRef& entity, float red, float green, float blue);
// 0.0 (invisible) to 1.0 (opaque, the start value), stored unclamped; below 1 the entity is
// drawn blended.
void EntityAlpha(const EntityRef& entity, float alpha);
// Strength of the specular highlight, 0.0 (none, the start value) to 1.0.
void EntityShininess(const EntityRef& entity, float shininess);
// Puts the texture, showing animation frame frame (clamped to its frames), on layer index
// (0..7) of the entity's brush. A null texture (one that failed to load) or another index
// changes nothing.
void EntityTexture(const EntityRef& entity, const TextureRef& texture, int frame, int index);
// 1 alpha, 2 multiply, 3 add (flags.h: ALPHABRUSHBLEND ...); 0, the start value, takes each
// surface's mode. A mesh copies it into every surface's brush too.
void EntityBlend(const EntityRef& entity, int blend);
// Replaces the effect bits: 1 full-bright, 2 vertex colours, 4 flat shading, 8 no fog, 16 no
// back-face culling, 32 forced blending (flags.h: FULLBRIGHTFX ...).
void EntityFX(const EntityRef& entity, int fx);
// Fades the entity out with camera distance in world units: opaque up to near, invisible from
// far. Stays on once set.
void EntityAutoFade(const EntityRef& entity, float near_distance, float far_distance);
// Copies the brush's settings, not its animation frame, into the entity's own brush (not the
// brush object itself). A null brush changes nothing.
void PaintEntity(const EntityRef& entity, const BrushRef& brush);
// Positive orders are drawn first, negative last, both without depth test; 0 (the start value)
// is drawn normally. A camera takes its place in the camera list by it.
void EntityOrder(const EntityRef& entity, int order);
// Fixes the radius of the entity's bounding sphere for the frustum test, in the entity's own
// units (a mesh's is multiplied by its largest global scale); 0 lets a mesh compute it again.
void MeshCullRadius(const EntityRef& entity, float radius);
