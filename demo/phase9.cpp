// Phase 9, the constructor, with its hand-over from phase 8 (the pieces go, the scene file and
// the trail files are opened, white fog). On the beats of the music the scene file is built piece
// by piece, each new piece bursting into particles, while the camera circles the construction and
// the screen shows it five times at once, under the tickers and the two trail pens of phase 6.
#include "demo/phase9.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/escena.h"
#include "demo/flash.h"
#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/phases.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/pivot.h"
#include "platform/image2d.h"
#include "platform/mathfn.h"
#include "platform/random.h"

namespace {

// The jolt of a sincConstructorPow beat, and the share of it that eases away per frame.
constexpr float kSacudida = -24.0f;
constexpr float kAmortiguaSacudida = 0.05f;
// Particles that burst at a new piece.
constexpr int kParticulasPorPieza = 5;
// From this tick on, the flash restarts every frame until the phase ends.
constexpr int kFlashFinal = 3955;

} // namespace

void ConstruyeSiguientePieza() {
    if (flash) flash->activa(0.9f, 0.125f, 0.06125f);
    const RegistroEscena r = LeeRegistroEscena(escenario);
    const tpiezaRef p =
        tpieza::crea(r.tipo, r.x, r.y, r.z, r.pitch, r.yaw, r.roll, 0, 1, constructorpivot);
    p->velocidad = 0.025f;
    camaraangx = Rnd(15.0f, 30.0f);
    camaraangyvel = Rnd(-3.0f, 3.0f);
    camaradist = Rnd(15.0f, 30.0f);
    for (int i = 0; i < kParticulasPorPieza; ++i) tparticula::crea(r.x, r.y, r.z);
}

void ActualizaConstruccion() {
    if (tpieza::lista_piezas) {
        for (const tpiezaRef& p : *tpieza::lista_piezas) {
            if (p) p->actualiza();
        }
    }
    tparticula::actualiza();
}

void OrbitaCamara(float yaw) {
    PositionEntity(camara, 0, 0, 0, 0);
    RotateEntity(camara, camaraangx, yaw, 0, 0);
    MoveEntity(camara, 0, 0, -camaradist);
}

int ArribaVistaConstructor(const VistaConstructor& v) {
    return TruncToInt(double(v.y) - double(tamcreditos), v.y);
}

void VistasConstructor() {
    for (const VistaConstructor& v : kVistasConstructor) {
        OrbitaCamara(AddF(camaraangy, v.desfase));
        CameraViewport(camara, v.x, ArribaVistaConstructor(v), v.w, v.h);
        RenderWorld();
    }
}

void parte9() {
    Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    End2D();

    // The ease runs before the beat, so a jolt shows at its full 24 pixels in its own frame.
    tamcreditos = EaseF(tamcreditos, 0.0, kAmortiguaSacudida);
    if (BeatHit(sincConstructorPow, sincConstructorPow_pos)) tamcreditos = kSacudida;
    if (BeatHit(sincConstructorClap, sincConstructorClap_pos)) ConstruyeSiguientePieza();
    camaraangy += camaraangyvel;

    ActualizaConstruccion();
    VistasConstructor();

    Begin2D();
    SetBlend(ALPHABLEND);
    SetRotation(0);
    SetAlpha(1.0f);
    SetColor(255, 255, 255);
    PintaTickers();
    AvanzaTickers();
    paso_estelas();
    if (ticks > float(kFlashFinal) && flash) flash->activa(0.6f, 0.125f, 0.125f);
    if (flash) flash->actualiza();
    pon_fps();
    End2D();
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
