// Opening phases 1 to 3, which share one scene: the background, the cover logo and the flying
// block pieces.
//
// Phase 1 zooms and fades the cover logo in over the background. Phase 2 keeps it bouncing on
// the beat while block pieces fly out of the distance at the viewer. Phase 3 adds the four title
// words one after another and ends on a held white flash.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/logo.h"
#include "demo/media.h"
#include "demo/phases_opening.h"
#include "demo/sequencer.h"
#include "demo/titulo.h"
#include "demo/tpieza.h"
#include "demo/tscroll.h"
#include "engine/commands.h"
#include "platform/random.h"

namespace {

// Ticks from which the title words are drawn, by index, in phase 3.
constexpr int kTituloDesde[4] = {476, 536, 586, 656};
// From this tick on, phase 3 holds the flash at full white until it ends.
constexpr int kFlashFinal = 710;

// The background of phases 1 to 3.
void Fondo() {
    pon_fondo(0.5f, 255, 255, 255);
}

// The closing 2D pass of phases 1 to 3: frame overlay, then the flash over everything.
void Marco() {
    pon_marco();
    if (flash) flash->actualiza();
    pon_fps();
}

// Steps 1 to 6 of a phase-2 frame, which phase 3 repeats: background, the logo bouncing on
// sincTuntaraTun, the flying pieces, RenderWorld.
void LogoYPiezas() {
    Begin2D();
    Fondo();
    if (logo) logo->rebota();
    // The beat kicks the logo up; rebota eases it back toward 1 in the following frames.
    if (BeatHit(sincTuntaraTun, sincTuntaraTun_pos) && logo) logo->escala = 1.1f;
    End2D();
    SpawnAndMoveFlyingPieces();
    RenderWorld();
}

} // namespace

std::optional<FlyingPieceSpawn> DrawFlyingPieceSpawn() {
    if (Rand(0, 99) >= 10) return std::nullopt;
    // The creation call's arguments are evaluated last to first.
    FlyingPieceSpawn s;
    s.roll = Rnd(0, 359);
    s.yaw = Rnd(0, 359);
    s.pitch = Rnd(0, 359);
    s.y = Rnd(-15, 20);
    s.x = Rnd(-15, 15);
    s.tipo = Rand(0, 6);
    return s;
}

void MoveFlyingPieces() {
    if (!tpieza::lista_piezas) return;
    for (const tpiezaRef& p : *tpieza::lista_piezas) {
        if (!p) continue;
        p->roll += 1.0f;
        p->yaw -= 1.0f;
        p->z -= kFlyingStep;
        if (p->z <= kFlyingEndZ) {
            p->destruye();
            ListRemove(tpieza::lista_piezas, p);
        } else {
            p->actualiza();
        }
    }
}

void SpawnAndMoveFlyingPieces() {
    if (auto s = DrawFlyingPieceSpawn()) {
        tpieza::crea(s->tipo, s->x, s->y, kFlyingStartZ, s->pitch, s->yaw, s->roll, 0, 1, nullptr);
    }
    MoveFlyingPieces();
}

void parte1() {
    Begin2D();
    Fondo();
    if (logo) logo->zoomin();
    End2D();
    RenderWorld();
    Begin2D();
    Marco();
    End2D();
}

void parte2() {
    LogoYPiezas();
    Begin2D();
    Marco();
    End2D();
}

void parte3() {
    LogoYPiezas();
    Begin2D();
    // Each word is tested on its own; once shown it is drawn every frame, over those before it.
    for (std::size_t i = 0; i < titulo.size(); ++i) {
        if (ticks > float(kTituloDesde[i]) && titulo[i]) titulo[i]->pinta();
    }
    if (ticks > float(kFlashFinal) && flash) flash->activa(1.0f, 0.5f, 0.15f);
    Marco();
    End2D();
}
