// Phase 4, the pen-drawn scroller, with its hand-over from phase 3.
//
// The hand-over clears the flying pieces, lays out a row of eleven pieces and shows the 3D
// scroller strip. Four line drawings then grow dot by dot over the background while the camera
// pans along the strip, jerked forward and zoomed on the beats; the row of pieces spins before
// the strip.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubo.h"
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "demo/tscroll.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/pivot.h"
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
        scrollcamvel = SubF(scrollcamvel, kFrenado);
        if (scrollcamvel < kPasoMinimo) scrollcamvel = kPasoMinimo;
    }
    scrollcampos = AddF(scrollcampos, scrollcamvel);
}

void parte4() {
    Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    lee_dibujo_scroll();
    // The dots are drawn here, under the 3D scene.
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    End2D();

    if (BeatHit(sincScrollPow, sincScrollPow_pos)) {
        scrollcamvel = AddF(scrollcamvel, 1.5);
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
            p->roll = AddF(p->roll, 1.0);
            p->yaw = SubF(p->yaw, 1.0);
            p->pitch = SubF(p->pitch, 0.5);
            p->actualiza();
        }
    }

    RenderWorld();

    Begin2D();
    pon_marco();
    // A fall step of 0.625: the held flash drops away within two frames once released.
    if (ticks >= float(kFlashFinal) && flash) flash->activa(1.0f, 0.125f, 0.625f);
    if (flash) flash->actualiza();
    pon_fps();
    End2D();
}

void BuildScrollerRow() {
    int t = 0;
    for (int i = 0; i <= 10; ++i) {
        const float roll = Rnd(0, 359);
        const float yaw = Rnd(0, 359);
        const float pitch = Rnd(0, 359);
        tpieza::crea(t, float(i * 20) - 2.5f, 0, -8, pitch, yaw, roll, 1, 1, nullptr);
        t = t == 6 ? 0 : t + 1;
    }
}

void entra_parte4() {
    tpieza::destruyetodo();
    BuildScrollerRow();
    if (tpieza::lista_piezas) {
        for (const tpiezaRef& p : *tpieza::lista_piezas) {
            if (p) ScaleEntity(p->pivote, 1.5f, 1.5f, 1.5f, 0);
        }
    }
    if (scroll) scroll->activa();
    // The camera faces the start of the scroller strip; its rotation stays as it was.
    PositionEntity(camara, scrollcampos, 0, -45, 0);
    // The fog no longer reaches the scene.
    CameraFogRange(camara, 999, 1000);
    dibujo = MustOpenFile("media/verde.lap");
    RestoreData(DataLabel::Phase4Zoom);
}
