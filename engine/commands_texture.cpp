#include "engine/commands_texture.h"

#include "engine/brush.h"
#include "engine/camera.h"
#include "engine/mesh.h"
#include "engine/texture.h"

TextureRef CreateTexture(int width, int height, int flags, int frames) {
    return TTexture::CreateTexture(width, height, flags, frames);
}

TextureRef LoadTexture(const std::string& file, int flags) {
    return TTexture::LoadTexture(file, flags);
}

PreparedTextureRef PrepareTexture(const std::string& file, int flags) {
    return TTexture::PrepareTexture(file, flags);
}

TextureRef LoadPreparedTexture(const PreparedTextureRef& prepared) {
    return TTexture::LoadPreparedTexture(prepared);
}

TextureRef LoadAnimTexture(const std::string& file, int flags, int frame_width, int frame_height,
                           int first_frame, int frame_count) {
    return TTexture::LoadAnimTexture(file, flags, frame_width, frame_height, first_frame,
                                     frame_count);
}

void FreeTexture(const TextureRef& texture) {
    if (texture) texture->FreeTexture();
}

void TextureBlend(const TextureRef& texture, int blend) {
    if (texture) texture->TextureBlend(blend);
}

void TextureCoords(const TextureRef& texture, int coord_set) {
    if (texture) texture->TextureCoords(coord_set);
}

void ScaleTexture(const TextureRef& texture, float u_scale, float v_scale) {
    if (texture) texture->ScaleTexture(u_scale, v_scale);
}

void PositionTexture(const TextureRef& texture, float u_position, float v_position) {
    if (texture) texture->PositionTexture(u_position, v_position);
}

void RotateTexture(const TextureRef& texture, float angle) {
    if (texture) texture->RotateTexture(angle);
}

int TextureWidth(const TextureRef& texture) {
    return texture ? texture->TextureWidth() : 0;
}

int TextureHeight(const TextureRef& texture) {
    return texture ? texture->TextureHeight() : 0;
}

std::string TextureName(const TextureRef& texture) {
    return texture ? texture->TextureName() : std::string();
}

TextureRef GetBrushTexture(const BrushRef& brush, int index) {
    return TTexture::GetBrushTexture(brush, index);
}

void TextureFilter(const std::string& match_text, int flags) {
    TTexture::TextureFilter(match_text, flags);
}

void ClearTextureFilters() {
    TTexture::ClearTextureFilters();
}

void SetCubeFace(const TextureRef& texture, int face) {
    if (texture) texture->SetCubeFace(face);
}

void SetCubeMode(const TextureRef& texture, int mode) {
    if (texture) texture->SetCubeMode(mode);
}

CubeFace GetCubeFace(int face) {
    return TTexture::GetCubeFace(face);
}

std::array<CubeFaceTexels, 6> CubeMapTexelsRead(const TextureRef& texture, const MeshRef& mesh,
                                                const CameraRef& camera) {
    if (!texture) return {};
    return texture->CubeMapTexelsRead(Live(mesh), Live(camera));
}

void BackBufferToTex(const TextureRef& texture) {
    if (texture) texture->BackBufferToTex(0, 0);
}

void DepthBufferToTex(const TextureRef& texture) {
    if (texture) texture->DepthBufferToTex(0, 0);
}

void BackBufferToCubeTex(const TextureRef& texture) {
    if (texture) texture->BackBufferToCubeTex(0);
}

BrushRef CreateBrush(float red, float green, float blue) {
    return TBrush::CreateBrush(red, green, blue);
}

BrushRef LoadBrush(const std::string& file, int flags, float u_scale, float v_scale) {
    return TBrush::LoadBrush(file, flags, u_scale, v_scale);
}

void FreeBrush(const BrushRef& brush) {
    if (brush) brush->FreeBrush();
}

void BrushColor(const BrushRef& brush, float red, float green, float blue) {
    if (brush) brush->BrushColor(red, green, blue);
}

void BrushAlpha(const BrushRef& brush, float alpha) {
    if (brush) brush->BrushAlpha(alpha);
}

void BrushShininess(const BrushRef& brush, float shininess) {
    if (brush) brush->BrushShininess(shininess);
}

void BrushTexture(const BrushRef& brush, const TextureRef& texture, int frame) {
    if (brush) brush->BrushTexture(texture, frame, 0);
}

void BrushBlend(const BrushRef& brush, int blend) {
    if (brush) brush->BrushBlend(blend);
}

void BrushFX(const BrushRef& brush, int fx) {
    if (brush) brush->BrushFX(fx);
}

BrushRef GetEntityBrush(const EntityRef& entity) {
    return TBrush::GetEntityBrush(Live(entity));
}

BrushRef GetSurfaceBrush(const SurfaceRef& surface) {
    return TBrush::GetSurfaceBrush(surface);
}
