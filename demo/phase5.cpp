// Phase 5, the mirror-sphere room, with its hand-over from phase 4.
//
// The hand-over clears the dots, the row and the scroller, shows the sky cube and sets fifteen
// pieces orbiting. The camera stands inside the slowly turning sky cube, looking at the chrome
// sphere at the origin; the pieces orbit the sphere at radius 10 and the sphere reflects the
// room and the pieces. Beats kick the pieces' spin, change the zoom and reverse the cube's
// turning. The steps phase 7 repeats are in mirror_room.cpp.
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
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "demo/tscroll.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "platform/random.h"

namespace {

// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 2150;
// Where the design credit stands.
constexpr int kDisenioX = 0;
constexpr int kDisenioY = 381;

} // namespace

void parte5() {
    if (BeatHit(sincCubeMapRiick, sincCubeMapRiick_pos)) PateaPiezasOrbita();
    if (BeatHit(sincCubeMapPow, sincCubeMapPow_pos)) {
        CameraZoom(camara, ReadDataFloat());
        cubovelx = -cubovelx;
        cubovely = -cubovely;
        if (flash) flash->activa(0.3f, 0.125f, 0.06125f);
    }
    if (BeatHit(sincCubeMapClap, sincCubeMapClap_pos) && flash)
        flash->activa(0.9f, 0.125f, 0.06125f);

    OrbitaPiezas(1, 1, 1, 0);

    CentraCubo(cuboangx, cuboangy, 0);
    cuboangx = AddF(cuboangx, cubovelx);
    cuboangy = AddF(cuboangy, cubovely);

    FondoEspejo();
    ActualizaEspejo(0);
    RenderWorld();

    CierreFaseEspejo(kFlashFinal, obel, kDisenioX, kDisenioY);
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
