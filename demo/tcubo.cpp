#include "demo/tcubo.h"

#include "demo/media.h"
#include "demo/tscroll.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/pivot.h"

#include <string>

std::array<BrushRef, tcubo::kCaras> tcubo::textura{};

std::string tcubo::archivo(int i) {
    return "media/cubo000" + std::to_string(i) + "b.png";
}

tcuboRef tcubo::crea(const CameraRef& /*camara*/) {
    auto c = std::make_shared<tcubo>();
    c->pivote = CreatePivot(nullptr);
    for (int i = 0; i < kCaras; ++i) {
        textura[std::size_t(i)] = MustLoadBrush(archivo(i), kTextureFlags, 1.0f, 1.0f);
    }
    for (std::size_t i = 0; i < kCaras; ++i) {
        c->caras[i] = CreateMesh(c->pivote);
        c->superficies[i] = CreateSurface(c->caras[i], nullptr);
        AddQuad(c->superficies[i]);
        PaintMesh(c->caras[i], textura[i]);
        EntityBlend(c->caras[i], ALPHABRUSHBLEND);
        EntityFX(c->caras[i], FULLBRIGHTFX);
    }
    for (std::size_t i = 0; i < kCaras; ++i) {
        PositionEntity(c->caras[i], kColocacion[i].x, kColocacion[i].y, kColocacion[i].z, 0);
    }
    for (std::size_t i = 0; i < kCaras; ++i) {
        RotateEntity(c->caras[i], kColocacion[i].pitch, kColocacion[i].yaw, kColocacion[i].roll, 0);
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
