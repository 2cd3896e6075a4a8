// Phase 10, the fly-out: the camera backs away from the finished construction into the white
// fog. Its hand-over only closes the files phase 9 read; the rest of phase 9's state stays.
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

void entra_parte10() {
    // Nothing reads the scene file or the trails again.
    CloseFile(escenario);
    CloseFile(dibujo);
    CloseFile(dibujo2);
}

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
