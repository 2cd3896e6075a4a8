// Phase 10, the fly-out: the camera backs away from the finished construction into the white
// fog. It has no hand-over of its own: phase 9 leaves its state.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/phase9.h"
#include "engine/commands.h"

namespace {

// The camera backs away by this much per frame.
constexpr float kAlejamiento = 0.2f;

} // namespace

void parte10() {
    Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    End2D();

    // The angles no longer change: the camera backs straight away along its line of sight.
    OrbitaCamara(camaraangy);
    camaradist += kAlejamiento;
    ActualizaConstruccion();
    // Through phase 9's main viewport, which stays in force.
    RenderWorld();

    Begin2D();
    pon_marco();
    if (flash) flash->actualiza();
    pon_fps();
    End2D();
}
