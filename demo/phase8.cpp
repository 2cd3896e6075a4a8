// Phase 8, the greetings, with its hand-over from phase 7.
//
// The hand-over clears the room, the sphere, the pieces and the particles and lays out the
// greetings field (greetings_field.cpp) in its deep blue fog. The field of 116 pieces in three
// layers drifts as one body, each piece turning; a piece that drifts out over its layer's edge
// comes back in at the opposite edge. On one beat the drift takes a new direction; on the other
// the screen flashes, the pieces get new spins, the greeting on screen bursts and the next one
// comes up whole, a drawing of white glow dots.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/light.h"
#include "platform/random.h"

namespace {

// Greeting beats after this tick flash at full strength, the earlier ones at half.
constexpr int kFlashFuerte = 3240;
// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 3470;

} // namespace

void parte8() {
    Begin2D();
    pon_fondo(0.5f, 0, 48, 96);
    End2D();

    if (BeatHit(sincSaludosPow, sincSaludosPow_pos)) {
        saludosvelx = Rnd(-0.5f, 0.5f);
        saludosvely = Rnd(-0.5f, 0.5f);
    }
    if (BeatHit(sincSaludosClap, sincSaludosClap_pos)) {
        if (flash) {
            if (ticks > float(kFlashFuerte))
                flash->activa(0.9f, 0.125f, 0.06125f);
            else
                flash->activa(0.45f, 0.125f, 0.06125f);
        }
        if (tpieza::lista_piezas) {
            for (const tpiezaRef& p : *tpieza::lista_piezas) {
                if (!p) continue;
                p->velpitch = Rnd(-25, 25);
                p->velyaw = Rnd(-25, 25);
            }
        }
        cambia_saludo();
    }

    if (tpieza::lista_piezas) {
        for (const tpiezaRef& p : *tpieza::lista_piezas) {
            if (!p) continue;
            MuevePiezaSaludos(*p);
            p->actualiza();
        }
    }

    RenderWorld();

    Begin2D();
    lee_saludo();
    if (ticks > float(kFlashFinal) && flash) flash->activa(1.0f, 0.5f, 0.15f);
    if (flash) flash->actualiza();
    pon_fps();
    End2D();
}

void entra_parte8() {
    if (cubo) cubo->destruye();
    if (cubemap) cubemap->destruye();
    tpieza::destruyetodo();
    CameraZoom(camara, 1.0f);
    PositionEntity(camara, 0, 0, -10, 0);
    RotateEntity(camara, 0, 0, 0, 0);
    tparticula::destruye();
    CreaCampoSaludos();
    saludosvelx = Rnd(-0.5f, 0.5f);
    saludosvely = Rnd(-0.5f, 0.5f);
    CameraFogMode(camara, LINEARFOG);
    CameraFogColor(camara, 0, 48, 96);
    CameraFogRange(camara, 25, 80);
    AmbientLight(64, 128, 128);
    RotateEntity(luz, 30, -30, 0, 0);
    dibujo = MustOpenFile("media/saludo0.lap");
}
