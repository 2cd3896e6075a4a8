// Phase 5, the mirror-sphere room, and the hand-over into phase 6.
//
// The camera stands inside the slowly turning sky cube, looking at the chrome sphere at the
// origin; fifteen pieces orbit the sphere at radius 10 and the sphere reflects the room and the
// pieces. Beats kick the pieces' spin, change the zoom and reverse the cube's turning. The
// steps that phase 7 repeats (orbit, beat kick, cube, mirror) live here too.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tpieza.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "platform/random.h"

namespace {

// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 2150;
// Where the design credit stands.
constexpr int kDisenioX = 0;
constexpr int kDisenioY = 381;

} // namespace

void PateaPiezasOrbita() {
    if (!tpieza::lista_piezas) return;
    for (const tpiezaRef& p : *tpieza::lista_piezas) {
        if (!p) continue;
        p->velroll = float(double(p->velroll) + Rnd(-15, 15));
        p->velyaw = float(double(p->velyaw) + Rnd(-15, 15));
        p->velpitch = float(double(p->velpitch) + Rnd(-15, 15));
    }
}

void ColocaEnOrbita(tpieza& p, const float (&angulos)[3]) {
    PositionEntity(p.pivote, 0, 0, 0, 0);
    RotateEntity(p.pivote, angulos[0], angulos[1], angulos[2], 0);
    MoveEntity(p.pivote, 0, 0, kRadioOrbita);
    p.x = EntityX(p.pivote, 0);
    p.y = EntityY(p.pivote, 0);
    p.z = EntityZ(p.pivote, 0);
}

void OrbitaPiezas(float paso0, float paso1, float paso2, float giro) {
    if (!tpieza::lista_piezas) return;
    std::size_t i = 0;
    for (const tpiezaRef& p : *tpieza::lista_piezas) {
        // A piece beyond the table's rows has no orbit: it is left where it is.
        if (!p || i >= std::size(cubopiezasang)) break;
        float(&fila)[3] = cubopiezasang[i++];
        fila[0] = float(double(fila[0]) + paso0);
        fila[1] = float(double(fila[1]) + paso1);
        fila[2] = float(double(fila[2]) + paso2);
        ColocaEnOrbita(*p, fila);
        if (giro != 0) {
            p->pitch = float(double(p->pitch) + giro);
            p->yaw = float(double(p->yaw) + giro);
        }
        p->actualiza();
    }
}

void CentraCubo(float pitch, float yaw, float roll) {
    if (!cubo) return;
    RotateEntity(cubo->pivote, pitch, yaw, roll, 0);
    PositionEntity(cubo->pivote, EntityX(camara, 0), EntityY(camara, 0), EntityZ(camara, 0), 0);
}

void ActualizaEspejo(int invertido) {
    if (!cubemap) return;
    // The face renders must go through the sphere's own camera alone.
    HideEntity(camara);
    cubemap->actualiza(invertido);
    ShowEntity(camara);
}

void CierreFaseEspejo(int flashDesde, const ImageRef& disenio, int x, int y) {
    TGlobal::Begin2D();
    if (ticks > float(flashDesde) && flash) flash->activa(1.0f, 0.5f, 0.15f);
    pon_disenio(disenio, x, y);
    if (flash) flash->actualiza();
    pon_fps();
    TGlobal::End2D();
}

void parte5() {
    TGlobal::Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    TGlobal::End2D();

    if (BeatHit(sincCubeMapRiick, sincCubeMapRiick_pos)) PateaPiezasOrbita();
    if (BeatHit(sincCubeMapPow, sincCubeMapPow_pos)) {
        CameraZoom(camara, ReadDataFloat());
        cubovelx = -cubovelx;
        cubovely = -cubovely;
        if (flash) flash->activa(0.3f, 0.125f, 0.06125f);
    }
    if (BeatHit(sincCubeMapClap, sincCubeMapClap_pos) && flash)
        flash->activa(0.9f, 0.125f, 0.06125f);

    OrbitaPiezas(1, 1, 1, 0);

    CentraCubo(cuboangx, cuboangy, 0);
    cuboangx = float(double(cuboangx) + cubovelx);
    cuboangy = float(double(cuboangy) + cubovely);

    ActualizaEspejo(0);
    RenderWorld();

    CierreFaseEspejo(kFlashFinal, obel, kDisenioX, kDisenioY);
}

void entra_parte6() {
    // Room and sphere disappear; they stay built for phase 7.
    if (cubo) HideEntity(cubo->pivote);
    if (cubemap) HideEntity(cubemap->pivote);
    tpieza::destruyetodo();
    CameraZoom(camara, 1);
    PositionEntity(camara, 0, 0, 0, 0);
    RotateEntity(camara, 0, 0, 0, 0);
    dibujo = MustOpenFile("media/estela.lap");
    dibujo2 = MustOpenFile("media/estela2.lap");
    RotateEntity(luz, 0, 0, 0, 0);
}
