// Phase 4, the pen-drawn scroller, and the hand-over into phase 5.
//
// Four line drawings grow dot by dot over the background while the camera pans along the 3D
// scroller strip in front of them, jerked forward and zoomed on the beats; a row of eleven
// pieces spins before the strip. The hand-over clears the dots, the row and the scroller and
// sets up the mirror-sphere room: the sky cube shown and fifteen orbit pieces.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubo.h"
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "demo/tscroll.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "platform/random.h"

namespace {

// The pan's floor and how much a raised step drains per frame.
constexpr float kPasoMinimo = 0.02f;
constexpr float kFrenado = 0.2f;
// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 1670;

} // namespace

void PasoCamaraScroll() {
    if (scrollcamvel > kPasoMinimo) {
        scrollcamvel = float(double(scrollcamvel) - double(kFrenado));
        if (scrollcamvel < kPasoMinimo) scrollcamvel = kPasoMinimo;
    }
    scrollcampos = float(double(scrollcampos) + double(scrollcamvel));
}

void CreaPiezasOrbita() {
    for (int i = 0; i <= 14; ++i) {
        const float a = float(double(i) * 22.5);
        tpieza::crea(Rand(0, 6), float(i * 2 + 5), 0, 0, a, a, a, 0, 1, nullptr);
        cubopiezasang[i][0] = float(double(i) * 45.5);
        cubopiezasang[i][1] = a;
        cubopiezasang[i][2] = 0.0f;
    }
}

void parte4() {
    TGlobal::Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    lee_dibujo_scroll();
    // The dots are drawn here, under the 3D scene.
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    TGlobal::End2D();

    if (BeatHit(sincScrollPow, sincScrollPow_pos)) {
        scrollcamvel = float(double(scrollcamvel) + 1.5);
        scrollcamposz = ReadDataFloat();
    }
    if (BeatHit(sincScrollflash, sincScrollflash_pos) && flash)
        flash->activa(0.75f, 0.0625f, 0.03125f);
    if (BeatHit(sincScrollclap, sincScrollclap_pos)) {
        if (flash) flash->activa(0.3f, 0.125f, 0.06125f);
        if (tpieza::lista_piezas) {
            for (const tpiezaRef& p : *tpieza::lista_piezas) {
                if (!p) continue;
                p->velpitch = Rnd(-15, 15);
                p->velyaw = Rnd(-15, 15);
            }
        }
    }

    PasoCamaraScroll();
    PositionEntity(camara, scrollcampos, 0, -45, 0);
    CameraZoom(camara, scrollcamposz);

    if (tpieza::lista_piezas) {
        for (const tpiezaRef& p : *tpieza::lista_piezas) {
            if (!p) continue;
            p->roll = float(double(p->roll) + 1.0);
            p->yaw = float(double(p->yaw) - 1.0);
            p->pitch = float(double(p->pitch) - 0.5);
            p->actualiza();
        }
    }

    RenderWorld();

    TGlobal::Begin2D();
    pon_marco();
    // A fall step of 0.625: the held flash drops away within two frames once released.
    if (ticks >= float(kFlashFinal) && flash) flash->activa(1.0f, 0.125f, 0.625f);
    if (flash) flash->actualiza();
    pon_fps();
    TGlobal::End2D();
}

void entra_parte5() {
    if (cubo) cubo->activa();
    ClearList(tlapiz::lista_lapiz);
    CameraZoom(camara, 0.5f);
    PositionEntity(camara, 0, 0, -20, 0);
    RotateEntity(camara, 0, 0, 0, 0);
    tpieza::destruyetodo();
    if (scroll) scroll->destruye();
    CreaPiezasOrbita();
    RestoreData(DataLabel::Phase5Zoom);
}
