// TBrush: the engine's material record.
//
// Every entity owns one brush (TEntity::brush) and a surface may carry one. A brush holds its
// colour, alpha, shininess, blend mode, effect bits, one texture frame number shared by all its
// layers and eight texture layers. Textures are shared by reference, never copied. Brushes are
// plain reference-counted records: the engine keeps no list of them, and a brush lives as long
// as something holds it. Making a brush never touches OpenGL.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <array>
#include <string>

class TBrush {
  public:
    static constexpr int kMaxLayers = 8;

    // Number of layers in use: one more than the highest layer index ever set.
    int no_texs = 0;
    // Carried along by Copy and the painting operations; nothing compares it.
    std::string name;
    // Colour 0.0-1.0 (the commands take 0-255 and divide by 255).
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    // Opacity 0.0-1.0, stored unchanged.
    float alpha = 1.0f;
    float shine = 0.0f;
    // A brush blend mode (engine/flags.h); 0 is unset (an entity brush then takes its surface
    // brush's mode, and 0 draws like ALPHABRUSHBLEND).
    int blend = 0;
    // Effect bits (engine/flags.h: FULLBRIGHTFX ... FORCEALPHAFX).
    int fx = 0;
    // Animation frame of the layer textures to draw.
    int tex_frame = 0;
    // Texture layers 0..7; empty handles where no texture is set.
    std::array<TextureRef, kMaxLayers> tex{};

    // A new brush with every field at its default.
    TBrush() = default;

    // A new brush with the same settings and its own layer array holding the same textures.
    BrushRef Copy() const;
    // Takes every setting of src but the animation frame, which stays as it was (painting an
    // entity or a mesh's surfaces).
    void PaintFrom(const TBrush& src);
    // Does nothing: a brush goes away when its last reference is dropped. Returns 0.
    int FreeBrush() { return 0; }

    // A brush with the colour red/255, green/255, blue/255 and every other field at its default.
    static BrushRef CreateBrush(float red, float green, float blue);

    // Colour from 0-255 channels, stored divided by 255 and unclamped. Returns 0.
    int BrushColor(float red, float green, float blue);
    // Stored unchanged, unclamped. Return 0.
    int BrushAlpha(float alpha);
    int BrushShininess(float shine);
    int BrushBlend(int blend);
    // Replaces all effect bits. Returns 0.
    int BrushFX(int fx);
    // Puts texture on layer index (0..7), raises no_texs to index + 1 if it is lower (it is
    // never lowered) and sets tex_frame to frame clamped to 0..texture's frame count - 1 (one
    // frame number for all layers: the last call sets it). A null texture empties the layer
    // and only the lower clamp applies. An index outside 0..7 changes nothing. Returns 0.
    int BrushTexture(const TextureRef& texture, int frame, int index);

    // A brush whose layer 0 is TTexture::LoadTexture(file, flags), kept even when that is null
    // (a file that cannot be found), with no_texs 1. The scale arguments are not used.
    static BrushRef LoadBrush(const std::string& file, int flags, float u_scale, float v_scale);

    // A copy of the entity's brush; null for a null entity or one that has been freed.
    static BrushRef GetEntityBrush(const EntityRef& entity);
    // A copy of the surface's brush; null for a null surface or one without a brush (there is
    // nothing to copy, and FindSurface(mesh, null) finds such a surface again).
    static BrushRef GetSurfaceBrush(const SurfaceRef& surface);
    // 1 when the two brushes draw identically, else 0: both null, or both set with equal
    // no_texs, colour, alpha, shininess, blend and fx and, on each of the eight layers, either
    // no texture on both or the same texture object on both (same frame names, blend mode and
    // coordinate set). name and tex_frame take no part. One null and one set: 0.
    static int CompareBrushes(const BrushRef& brush1, const BrushRef& brush2);
};
