#include "demo/demo.h"

#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/logo.h"
#include "demo/media.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tfuegoestela.h"
#include "demo/titulo.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "demo/tpiezagigante.h"
#include "demo/tpluma.h"
#include "demo/tscroll.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "engine/light.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/input.h"

#include <future>
#include <utility>

namespace {

StartupObserver& observer() {
    static StartupObserver o;
    return o;
}

void done(std::string_view step) {
    if (observer()) observer()(step);
}

// An image of the start-up table, with its handle where the table gives one.
ImageRef image(const std::string& path, int flags, float hx = 0, float hy = 0) {
    ImageRef loaded = MustLoadImage(path, flags);
    if (hx != 0 || hy != 0) SetImageHandle(loaded, hx, hy);
    return loaded;
}

} // namespace

void SetStartupObserver(StartupObserver o) {
    observer() = std::move(o);
}

void DemoStartup() {
    CheckDemoMedia();
    done("CheckDemoMedia");

    // The two songs take longest to decode: they decode on threads of their own while the
    // display opens and the images load, and are taken (and checked) where they are needed.
    const char* const endSongPath = "media/kolumo.ogg";
    std::future<AudioSampleRef> song =
        std::async(std::launch::async, [] { return LoadAudioSample(kMainSongFile); });
    std::future<SoundRef> endSong =
        std::async(std::launch::async, [endSongPath] { return LoadSound(endSongPath, 1); });

    InitEngineModule();
    done("InitEngineModule");

    // The element types' collections, before the display opens.
    tpieza::lista_piezas = CreateList<tpiezaRef>();
    tscroll::textura.fill(nullptr);
    tlapiz::lista_lapiz = CreateList<tlapizRef>();
    tcubo::textura.fill(nullptr);
    tparticula::lista_particulas = CreateList<tparticulaRef>();
    tfuegoestela::lista_fuegoestela = CreateList<tfuegoestelaRef>();
    done("collections");

    Graphics3D(800, 600, 32, 1, 60);
    done("Graphics3D");
    HideMouse();
    done("HideMouse");

    musica = tmusic::loadMain(song.get(), kMainSongFile);
    portada = image("media/portada.png", 7, 400, 300);
    fondo = image("media/fondo.png", 1, 400, 300);
    marco = image("media/marco.png", 1, 400, 300);
    txt_theworld = image("media/txt_theuniverse.png", 7, 400, 300);
    txt_is = image("media/txt_is.png", 7, 400, 300);
    txt_fewordered = image("media/txt_fewunsorted.png", 7, 400, 300);
    txt_blocks = image("media/txt_blocks.png", 7, 400, 300);
    lapiz = image("media/lapiz.png", 1, 16, 16);
    flare = image("media/flare.png", 1, 32, 32);
    kolumoimage = MustLoadAnimImage("media/kolumo.png", 334, 229, 0, 3, 1);
    kolumomusic = MustHaveLoadedSound(endSong.get(), endSongPath);
    obel = image("media/obel.png", 1);
    varnik = image("media/varnik.png", 1);
    done("media");

    FillBeatTables();
    done("FillBeatTables");

    flash = tflash::crea();
    done("flash");
    logo = tlogo::crea(portada);
    done("logo");
    const ImageRef words[4] = {txt_theworld, txt_is, txt_fewordered, txt_blocks};
    titulo.fill(nullptr);
    for (int i = 0; i < 4; ++i) titulo[std::size_t(i)] = ttitulo::crea(words[i]);
    done("titulo");

    camara = CreateCamera(nullptr);
    CameraClsMode(camara, KEEPBUFFER, CLEARBUFFER);
    CameraClsColor(camara, 200, 200, 200);
    CameraFogMode(camara, LINEARFOG);
    CameraFogColor(camara, 165, 0, 210);
    CameraFogRange(camara, 125, 130);
    CameraRange(camara, 0.1f, 500);
    PositionEntity(camara, -15, -10, -15, 0);
    RotateEntity(camara, 5, -8, 0, 0);
    done("camara");

    AmbientLight(100, 100, 100);
    done("AmbientLight");
    luz = CreateLight(1, nullptr);
    RotateEntity(luz, 45, -45, 0, 0);
    done("luz");

    scroll = tscroll::crea(0, 0, 0);
    done("scroll");
    cubo = tcubo::crea(camara);
    done("cubo");
    cubemap = tcubemap::crea();
    done("cubemap");
    for (auto& row : cubopiezasang)
        for (float& angle : row) angle = 0.0f;
    done("cubopiezasang");
    piezagigante = tpiezagigante::crea(20, 0, 60, 0, 0, 0);
    done("piezagigante");

    ticker = image("media/ticker.png", 1);
    creditos = MustLoadAnimImage("media/creditos.png", 1, 36, 0, 2600, 1);
    SetImageHandle(creditos, 0, 23);
    done("creditos");
    constructorpivot = CreatePivot(nullptr);
    done("constructorpivot");
    scrollkolumo = MustLoadAnimImage("media/scrollkolumo.png", 1, 36, 0, 3600, 1);
    halvren = image("media/halvrenstudios.png", 1, 169, 38);
    done("halvren");

    flash->activa(1.0f, 0.1f, 0.01f);
    done("flash.activa");
    parte = 1;
    musica->Play(0, 0);
    done("musica.Play");
}

void DemoFrame() {
    ticks = musica ? musica->position() : 0.0f;
    RunPhaseFrame(DemoPhases());
    Flip(-1);
}

void DemoMain() {
    DemoStartup();
    while (KeyHit(KEY_ESCAPE) == 0) DemoFrame();
    End();
}
