// Phase 8, the greetings, and the hand-over into phase 9.
//
// A field of 116 pieces in three layers drifts as one body through a deep blue fog, each piece
// turning; a piece that drifts out over its layer's edge comes back in at the opposite edge.
// On one beat the drift takes a new direction; on the other the screen flashes, the pieces get
// new spins, the greeting on screen bursts and the next one comes up whole, a drawing of white
// glow dots. The hand-over clears everything for the builder of phase 9.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "platform/random.h"

namespace {

// Greeting beats after this tick flash at full strength, the earlier ones at half.
constexpr int kFlashFuerte = 3240;
// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 3470;

} // namespace

float BordeSaludos(float z) {
    return float((2.0 + double(z) / 15.0) * 11.0);
}

void MuevePiezaSaludos(tpieza& p) {
    p.roll = float(double(p.roll) + 1.0);
    p.yaw = float(double(p.yaw) - 1.0);
    p.pitch = float(double(p.pitch) - 0.5);
    p.x = float(double(p.x) + double(saludosvelx));
    p.y = float(double(p.y) + double(saludosvely));
    const float borde = BordeSaludos(p.z);
    if (p.x < -borde || p.x > borde) p.x = -p.x;
    if (p.y < -borde || p.y > borde) p.y = -p.y;
}

void parte8() {
    TGlobal::Begin2D();
    pon_fondo(0.5f, 0, 48, 96);
    TGlobal::End2D();

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

    TGlobal::Begin2D();
    lee_saludo();
    if (ticks > float(kFlashFinal) && flash) flash->activa(1.0f, 0.5f, 0.15f);
    if (flash) flash->actualiza();
    pon_fps();
    TGlobal::End2D();
}

void entra_parte9() {
    tpieza::destruyetodo();
    CameraZoom(camara, 1.0f);
    escenario = MustOpenFile("media/escenario1.esc");
    CameraFogMode(camara, LINEARFOG);
    CameraFogColor(camara, 245, 245, 245);
    CameraFogRange(camara, 10, 80);
    // The last greeting's stream is released here, which closes its file.
    dibujo = MustOpenFile("media/estela.lap");
    dibujo2 = MustOpenFile("media/estela2.lap");
    tlapiz::destruyetodo();
}
