// Texture and brush commands: each forwards to the TTexture or TBrush operation of the same
// name. A null texture or brush handle is a safe no-op (queries return 0, null or the empty
// string).
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <string>

TextureRef CreateTexture(int width, int height, int flags, int frames);
TextureRef LoadTexture(const std::string& file, int flags);
TextureRef LoadAnimTexture(const std::string& file, int flags, int frame_width, int frame_height,
                           int first_frame, int frame_count);
void FreeTexture(const TextureRef& texture);
void TextureBlend(const TextureRef& texture, int blend);
void TextureCoords(const TextureRef& texture, int coord_set);
void ScaleTexture(const TextureRef& texture, float u_scale, float v_scale);
void PositionTexture(const TextureRef& texture, float u_position, float v_position);
void RotateTexture(const TextureRef& texture, float angle);
int TextureWidth(const TextureRef& texture);
int TextureHeight(const TextureRef& texture);
std::string TextureName(const TextureRef& texture);
TextureRef GetBrushTexture(const BrushRef& brush, int index);
void TextureFilter(const std::string& match_text, int flags);
void ClearTextureFilters();
void SetCubeFace(const TextureRef& texture, int face);
void SetCubeMode(const TextureRef& texture, int mode);
// Mipmap level 0, frame 0.
void BackBufferToTex(const TextureRef& texture);
void DepthBufferToTex(const TextureRef& texture);
// Mipmap level 0, into the face chosen by SetCubeFace.
void BackBufferToCubeTex(const TextureRef& texture);

// A new brush of the colour (0-255 per channel), alpha 1, no texture.
BrushRef CreateBrush(float red, float green, float blue);
// A new brush whose layer 0 holds LoadTexture(file, flags) (null when the file is missing); the
// scales are accepted and not used.
BrushRef LoadBrush(const std::string& file, int flags, float u_scale, float v_scale);
// No effect: a brush lives as long as something refers to it.
void FreeBrush(const BrushRef& brush);
void BrushColor(const BrushRef& brush, float red, float green, float blue);
void BrushAlpha(const BrushRef& brush, float alpha);
void BrushShininess(const BrushRef& brush, float shininess);
// Puts the texture on layer 0 and selects its frame (clamped to the texture's frames).
void BrushTexture(const BrushRef& brush, const TextureRef& texture, int frame);
void BrushBlend(const BrushRef& brush, int blend);
void BrushFX(const BrushRef& brush, int fx);
// A new brush with the settings of the entity's brush (a copy: changing it leaves the entity
// as it is); null for a null or freed entity.
BrushRef GetEntityBrush(const EntityRef& entity);
// A new brush with the settings of the surface's brush; null when the surface has none.
BrushRef GetSurfaceBrush(const SurfaceRef& surface);
