// Phase 7, the mirror-sphere room again, with its hand-over from phase 6.
//
// The hand-over brings back the room with its orbit pieces. The sphere is now turned inside
// out, a zoom swells and settles on the beats, the fifteen orbit pieces spin on their own axes
// and a ring of glowing particles is left behind by a point circling the room.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "demo/tpiezagigante.h"
#include "demo/tpluma.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/light.h"
#include "engine/pivot.h"
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

} // namespace

void parte7() {
    zoomcamara = EaseF(zoomcamara, zoomcamaradest, kAcercaZoom);
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
    emisor = AddF(emisor, 1);
    tparticula::crea(float(kEmisorX * Cos(emisor)), 0, float(kEmisorZ * Sin(emisor)));
    tparticula::actualiza();

    CentraCubo(45, cuboangy, 45);
    cuboangy = AddF(cuboangy, cubovely);

    FondoEspejo();
    ActualizaEspejo(1);
    RenderWorld();

    CierreFaseEspejo(kFlashFinal, varnik, kDisenioX, kDisenioY);
}

void entra_parte7() {
    if (piezagigante) piezagigante->destruye();
    RotateEntity(luz, 45, -45, 0, 0);
    PositionEntity(camara, 0, 0, -20, 0);
    RotateEntity(camara, 0, 0, 0, 0);
    CameraViewport(camara, 0, 0, 800, 600);
    CameraZoom(camara, 0.75f);
    if (cubemap) {
        ShowEntity(cubemap->pivote);
        cubemap->cambia();
    }
    if (cubo) ShowEntity(cubo->pivote);
    // The dots of the trails stay listed: phase 8 takes them up again.
    CloseFile(dibujo);
    CloseFile(dibujo2);
    CreaPiezasOrbita();
    cubopiezasang[30][0] = Rnd(0, 360);
    cubovelx = 2.0f;
    RestoreData(DataLabel::Phase7Zoom);
}
