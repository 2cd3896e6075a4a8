// The 3D scroller: six flat square quads side by side, each showing one image of the scroll
// text, forming one straight strip that the camera pans along. Built hidden at start-up, shown
// by activa and freed by destruye. Not list-kept: the main body holds its one instance.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <array>
#include <memory>
#include <string>

class tscroll;
using tscrollRef = std::shared_ptr<tscroll>;

class tscroll {
  public:
    static constexpr int kQuads = 6;
    // Width of one quad in world units (a 2 x 2 quad scaled by 20).
    static constexpr float kQuadSize = 40.0f;
    // Texture flags of the scroll images.
    static constexpr int kTextureFlags =
        COLORTEXTURE | ALPHATEXTURE | MIPMAPPEDTEXTURE | CLAMPUTEXTURE | CLAMPVTEXTURE;

    std::array<MeshRef, kQuads> mallas{};         // the six quads
    std::array<SurfaceRef, kQuads> superficies{}; // the one surface of each quad
    float x = 0.0f;                               // world centre of the first quad
    float y = 0.0f;
    float z = 0.0f;

    // Brush i paints quad i, from archivo(i): "media/scroll<i>.png". Filled by crea, never
    // freed.
    static std::array<BrushRef, kQuads> textura;
    static std::string archivo(int i);

    // Loads the six brushes and builds the six quads, hidden, their centres at x + 40 i, y, z.
    // Brush i is made from texturas[i], PrepareTexture(archivo(i), kTextureFlags) made ahead,
    // or loaded here where that is null. An image that cannot be loaded ends the program with
    // an error naming the file.
    static tscrollRef crea(float x, float y, float z,
                           const std::array<PreparedTextureRef, kQuads>& texturas = {});
    // Shows the six quads.
    int activa();
    // Frees the six quads; the brushes stay.
    int destruye();
};

// One 2 x 2 quad in the xy plane facing -z, the image upright on it, added to surface as two
// triangles of three vertices each (no vertex shared). The sky cube's faces use it too.
void AddQuad(const SurfaceRef& surface);
