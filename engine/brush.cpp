#include "engine/brush.h"

#include "engine/entity.h"
#include "engine/surface.h"
#include "engine/texture.h"

#include <memory>

BrushRef TBrush::Copy() const {
    auto b = std::make_shared<TBrush>();
    b->no_texs = no_texs;
    b->name = name;
    b->red = red;
    b->green = green;
    b->blue = blue;
    b->alpha = alpha;
    b->shine = shine;
    b->blend = blend;
    b->fx = fx;
    b->tex_frame = tex_frame;
    b->tex = tex;
    return b;
}

BrushRef TBrush::CreateBrush(float red, float green, float blue) {
    auto b = std::make_shared<TBrush>();
    b->BrushColor(red, green, blue);
    return b;
}

int TBrush::BrushColor(float r, float g, float b) {
    red = r / 255.0f;
    green = g / 255.0f;
    blue = b / 255.0f;
    return 0;
}

int TBrush::BrushAlpha(float a) {
    alpha = a;
    return 0;
}

int TBrush::BrushShininess(float s) {
    shine = s;
    return 0;
}

int TBrush::BrushBlend(int b) {
    blend = b;
    return 0;
}

int TBrush::BrushFX(int f) {
    fx = f;
    return 0;
}

BrushRef TBrush::GetEntityBrush(const EntityRef& entity) {
    if (!entity || !entity->brush) return nullptr;
    return entity->brush->Copy();
}

BrushRef TBrush::GetSurfaceBrush(const SurfaceRef& surface) {
    if (!surface || !surface->brush) return nullptr;
    return surface->brush->Copy();
}

int TBrush::BrushTexture(const TextureRef& texture, int frame, int index) {
    if (index < 0 || index >= kMaxLayers) return 0;
    tex[std::size_t(index)] = texture;
    if (index + 1 > no_texs) no_texs = index + 1;
    if (frame < 0) frame = 0;
    if (texture && frame > texture->no_frames - 1) frame = texture->no_frames - 1;
    // A texture without frames (a freed one) must not leave a negative frame behind.
    tex_frame = frame < 0 ? 0 : frame;
    return 0;
}

BrushRef TBrush::LoadBrush(const std::string& file, int flags, float /*u_scale*/,
                           float /*v_scale*/) {
    auto b = std::make_shared<TBrush>();
    b->tex[0] = TTexture::LoadTexture(file, flags);
    b->no_texs = 1;
    return b;
}

int TBrush::CompareBrushes(const BrushRef& brush1, const BrushRef& brush2) {
    if (!brush1 || !brush2) return (!brush1 && !brush2) ? 1 : 0;
    const TBrush& a = *brush1;
    const TBrush& b = *brush2;
    if (a.no_texs != b.no_texs) return 0;
    if (a.red != b.red || a.green != b.green || a.blue != b.blue) return 0;
    if (a.alpha != b.alpha || a.shine != b.shine) return 0;
    if (a.blend != b.blend || a.fx != b.fx) return 0;
    for (int i = 0; i < kMaxLayers; ++i) {
        const TextureRef& ta = a.tex[std::size_t(i)];
        const TextureRef& tb = b.tex[std::size_t(i)];
        if (!ta && !tb) continue;
        if (!ta || !tb) return 0;
        // Every texture owns its frame-name array, so the same array means the same texture.
        if (&ta->gltex != &tb->gltex) return 0;
        if (ta->blend != tb->blend || ta->coords != tb->coords) return 0;
    }
    return 1;
}

void TBrush::PaintFrom(const TBrush& src) {
    no_texs = src.no_texs;
    name = src.name;
    red = src.red;
    green = src.green;
    blue = src.blue;
    alpha = src.alpha;
    shine = src.shine;
    blend = src.blend;
    fx = src.fx;
    tex = src.tex;
}
