// Phase 7, the mirror-sphere room again, and the hand-over into phase 8.
//
// The sphere now turned inside out, a zoom that swells and settles on the beats, the fifteen
// orbit pieces spinning on their own axes and a ring of glowing particles left behind by a
// point circling the room. The hand-over clears the room, the sphere, the pieces and the
// particles and lays out the greetings field of phase 8 in its deep blue fog.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "platform/mathfn.h"
#include "platform/random.h"

namespace {

// Share of the gap to zoomcamaradest that the zoom closes per frame.
constexpr double kAcercaZoom = 0.02;
// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 2990;
// Where the design credit stands.
constexpr int kDisenioX = 234;
constexpr int kDisenioY = 0;
// The particle emitter: half-axes of its ellipse in x and z, and its angle's row in
// cubopiezasang.
constexpr double kEmisorX = 8.0;
constexpr double kEmisorZ = 10.0;
constexpr std::size_t kFilaEmisor = 30;
// The greetings field: layers, spacing of the pieces and depth of each layer.
constexpr int kCapas = 3;
constexpr int kSeparacion = 11;
constexpr int kFondoCapa = 15;

} // namespace

void CreaCampoSaludos() {
    for (int k = 0; k < kCapas; ++k) {
        for (int i = -1 - k; i <= k + 2; ++i) {
            for (int j = -1 - k; j <= k + 2; ++j) {
                // The creation call's arguments are evaluated last to first.
                const float roll = Rnd(0, 359);
                const float yaw = Rnd(0, 359);
                const float pitch = Rnd(0, 359);
                const int tipo = Rand(0, 6);
                tpieza::crea(tipo, float(j * kSeparacion), float(i * kSeparacion),
                             float(k * kFondoCapa), pitch, yaw, roll, 1, 0, nullptr);
            }
        }
    }
}

void parte7() {
    TGlobal::Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    TGlobal::End2D();

    zoomcamara = float(double(zoomcamara) + (double(zoomcamaradest) - zoomcamara) * kAcercaZoom);
    CameraZoom(camara, zoomcamara);

    if (BeatHit(sincbolazoom, sincbolazoom_pos)) {
        zoomcamaradest = ReadDataFloat();
        cubovely = -cubovely;
        // A fall step of 0.6125: this flash drops away within two frames.
        if (flash) flash->activa(0.5f, 0.125f, 0.6125f);
        PateaPiezasOrbita();
    }
    if (BeatHit(sincbolaflash, sincbolaflash_pos) && flash) flash->activa(0.9f, 0.125f, 0.06125f);

    OrbitaPiezas(0.5f, 1.0f, 0.75f, 1);

    float& emisor = cubopiezasang[kFilaEmisor][0];
    emisor = float(double(emisor) + 1);
    tparticula::crea(float(kEmisorX * Cos(emisor)), 0, float(kEmisorZ * Sin(emisor)));
    tparticula::actualiza();

    CentraCubo(45, cuboangy, 45);
    cuboangy = float(double(cuboangy) + cubovely);

    ActualizaEspejo(1);
    RenderWorld();

    CierreFaseEspejo(kFlashFinal, varnik, kDisenioX, kDisenioY);
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
