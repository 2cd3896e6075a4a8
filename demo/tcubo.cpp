#include "demo/tcubo.h"

#include "demo/media.h"
#include "demo/tscroll.h"
#include "engine/brush.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine/texture.h"
#include "platform/display.h"
#include "platform/pixmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

std::array<BrushRef, tcubo::kCaras> tcubo::textura{};
bool tcubo::opaca = false;

namespace {

// Whether the brush's first texture holds only fully opaque texels.
bool TexturaOpaca(const BrushRef& brocha) {
    const TextureRef t = brocha ? brocha->tex[0] : nullptr;
    const PixmapRef p = t ? t->pixmap : nullptr;
    if (!p || p->format != PF_RGBA8888) return false;
    for (int y = 0; y < p->height; ++y) {
        const std::uint8_t* fila = p->PixelPtr(0, y);
        for (int x = 0; x < p->width; ++x)
            if (fila[4 * x + 3] != 255) return false;
    }
    return true;
}

} // namespace

std::string tcubo::archivo(int i) {
    return "media/cubo000" + std::to_string(i) + "b.png";
}

tcuboRef tcubo::crea(const CameraRef& /*camara*/,
                     const std::array<PreparedTextureRef, kCaras>& texturas) {
    auto c = std::make_shared<tcubo>();
    c->pivote = CreatePivot(nullptr);
    for (int i = 0; i < kCaras; ++i) {
        textura[std::size_t(i)] =
            MustLoadPreparedBrush(texturas[std::size_t(i)], archivo(i), kTextureFlags);
    }
    opaca = std::all_of(textura.begin(), textura.end(), TexturaOpaca);
    for (std::size_t i = 0; i < kCaras; ++i) {
        c->caras[i] = CreateMesh(c->pivote);
        c->superficies[i] = CreateSurface(c->caras[i], nullptr);
        AddQuad(c->superficies[i]);
        PaintMesh(c->caras[i], textura[i]);
        EntityBlend(c->caras[i], ALPHABRUSHBLEND);
        EntityFX(c->caras[i], FULLBRIGHTFX);
    }
    for (std::size_t i = 0; i < kCaras; ++i) {
        const CubeFace f = GetCubeFace(kCaraCubo[i]);
        PositionEntity(c->caras[i], f.x, f.y, f.z, 0);
    }
    for (std::size_t i = 0; i < kCaras; ++i) {
        const CubeFace f = GetCubeFace(kCaraCubo[i]);
        RotateEntity(c->caras[i], f.pitch, f.yaw, f.roll, 0);
    }
    ScaleEntity(c->pivote, kRadio, kRadio, kRadio, 0);
    HideEntity(c->pivote);
    return c;
}

int tcubo::destruye() {
    FreeEntity(pivote);
    return 0;
}

int tcubo::activa() {
    ShowEntity(pivote);
    return 0;
}

bool tcubo::TapaLaVista(const CameraRef& vista) const {
    if (!opaca || !vista || !pivote || pivote->EntityHidden()) return false;
    for (const MeshRef& cara : caras)
        if (!cara || cara->EntityHidden()) return false;
    if (EntityX(pivote, 1) != EntityX(vista, 1) || EntityY(pivote, 1) != EntityY(vista, 1) ||
        EntityZ(pivote, 1) != EntityZ(vista, 1))
        return false;
    if (vista->vx != 0 || vista->vy != 0 || vista->vwidth != GraphicsWidth() ||
        vista->vheight != GraphicsHeight() || !(vista->zoom > 0))
        return false;
    // Every point of the cube lies from kRadio to kRadio * sqrt(3) from its centre; seen
    // within the view, at a depth of at least kRadio over the view's widest slope.
    const double tanX = 1.0 / vista->zoom, tanY = tanX / vista->AspectRatio();
    const double menorProfundidad = kRadio / std::sqrt(1 + tanX * tanX + tanY * tanY);
    return pivote->sx == kRadio && pivote->sy == kRadio && pivote->sz == kRadio &&
           vista->range_near < menorProfundidad && vista->range_far > kRadio * std::sqrt(3.0);
}
