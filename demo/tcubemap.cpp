#include "demo/tcubemap.h"

#include "demo/float_math.h"
#include "engine/commands.h"
#include "platform/mathfn.h"
#include "platform/random.h"

#include <array>

void AbultaSuperficie(const SurfaceRef& superficie, float bulto) {
    for (int v = 0; v < CountVertices(superficie); ++v) {
        // The call's arguments are evaluated last to first.
        const float dz = Rnd(-bulto, bulto);
        const float dy = Rnd(-bulto, bulto);
        const float dx = Rnd(-bulto, bulto);
        VertexCoords(superficie, v, AddF(VertexX(superficie, v), dx),
                     AddF(VertexY(superficie, v), dy), AddF(VertexZ(superficie, v), dz));
    }
}

tcubemapRef tcubemap::crea() {
    auto c = std::make_shared<tcubemap>();
    c->pivote = CreatePivot(nullptr);
    c->camara = CreateCamera(nullptr);
    CameraFogMode(c->camara, LINEARFOG);
    CameraFogColor(c->camara, 155, 155, 155);
    CameraFogRange(c->camara, 0, 175);
    c->textura = CreateTexture(kTamanio, kTamanio, COLORTEXTURE | CUBEMAPTEXTURE, 1);
    c->modo = 1;
    c->esfera = CreateSphere(kSegmentos, c->pivote);
    c->brocha = CreateBrush(200, 200, 200);
    BrushTexture(c->brocha, c->textura, 0);
    BrushFX(c->brocha, kFxNormal);
    BrushShininess(c->brocha, 1.0f);
    PaintEntity(c->esfera, c->brocha);
    c->ambas_caras = (kFxNormal & NOCULLFX) != 0;
    AbultaSuperficie(GetSurface(c->esfera, 1), kBulto);
    CameraClsMode(c->camara, KEEPBUFFER, CLEARBUFFER);
    // The top-left corner of the screen, the size of a face: the rectangle that stands for the
    // face (RenderWorldToCubeTex).
    CameraViewport(c->camara, 0, 0, kTamanio, kTamanio);
    CameraRange(c->camara, 0.1f, 200);
    SetCubeMode(c->textura, c->modo);
    HideEntity(c->esfera);
    HideEntity(c->camara);
    c->ang1 = Rnd(0, 359);
    c->ang2 = Rnd(0, 359);
    c->ang3 = Rnd(0, 359);
    return c;
}

int tcubemap::destruye() {
    FreeEntity(camara);
    FreeEntity(esfera);
    FreeTexture(textura);
    return 0;
}

int tcubemap::cambia() {
    FreeEntity(esfera);
    esfera = CreateSphere(kSegmentos, pivote);
    BrushFX(brocha, kFxCambiada);
    PaintEntity(esfera, brocha);
    ambas_caras = (kFxCambiada & NOCULLFX) != 0;
    RotateEntity(pivote, 0, 0, 0, 0);
    TurnEntity(pivote, 90, 135, 45, 0);
    return 0;
}

int tcubemap::actualiza(int invertido, const CameraRef& vista) {
    ang1 = AddF(ang1, 3.0);
    ang2 = AddF(ang2, 3.1);
    ang3 = AddF(ang3, 3.3);
    ShowEntity(camara);
    // The sphere must not stand in its own views.
    HideEntity(esfera);
    PositionEntity(camara, EntityX(esfera, 0), EntityY(esfera, 0), EntityZ(esfera, 0), 0);
    const double sx = 4 + Cos(ang1);
    const double sy = 4 + Sin(ang2);
    const double sz = 4 + Cos(ang3);
    if (invertido != 0) {
        SetCubeMode(textura, 2);
        ScaleEntity(pivote, float(-sx), float(-sy), float(-sz), 0);
    } else {
        SetCubeMode(textura, 1);
        ScaleEntity(pivote, float(sx), float(sy), float(sz), 0);
        TurnEntity(pivote, 0.5f, 0.5f, 0.5f, 0);
        BrushFX(brocha, kFxNormal);
    }
    // A sphere drawn from both sides reads nearly every texel: its faces render whole, without
    // working out the bound each frame.
    const bool enPartes = vista && esfera && !ambas_caras;
    const std::array<CubeFaceTexels, 6> vistos =
        enPartes ? CubeMapTexelsRead(textura, esfera, vista) : std::array<CubeFaceTexels, 6>{};
    for (int cara = 0; cara < 6; ++cara) {
        const CubeFace g = GetCubeFace(cara);
        SetCubeFace(textura, cara);
        RotateEntity(camara, g.pitch, g.yaw, g.roll, 0);
        // Only the texels the sphere can show; the face's row 0 is the display row
        // kTamanio - 1 from the top.
        const CubeFaceTexels& r = vistos[std::size_t(cara)];
        if (enPartes) {
            // A face the sphere does not read keeps what it holds.
            if (r.x0 > r.x1 || r.y0 > r.y1) continue;
            CameraScissor(camara, r.x0, kTamanio - 1 - r.y1, r.x1 - r.x0 + 1, r.y1 - r.y0 + 1);
        }
        RenderWorldToCubeTex(textura);
    }
    CameraScissor(camara, 0, 0, -1, -1);
    ShowEntity(esfera);
    HideEntity(camara);
    return 0;
}
