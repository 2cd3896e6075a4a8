#include "demo/demo.h"

#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/logo.h"
#include "demo/media.h"
#include "demo/sequencer.h"
#include "demo/startup_work.h"
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
#include "engine/light.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/input.h"

#include <array>
#include <string>

void DemoStartup(const StartupObserver& observer) {
    const auto done = [&observer](std::string_view step) {
        if (observer) observer(step);
    };
    CheckDemoMedia();
    done("CheckDemoMedia");

    // Songs, images and textures decoded and the heap warmed on threads of their own while the
    // display opens; taken (and checked) where they are needed.
    StartupWork work;
    // A start-up image taken from the work, uploaded and checked, with its handle where one is
    // given.
    const auto image = [&work](const char* file, float hx = 0, float hy = 0) {
        ImageRef loaded = work.TakeImage(file);
        if (hx != 0 || hy != 0) SetImageHandle(loaded, hx, hy);
        return loaded;
    };

    // The element types' collections, before the display opens.
    tpieza::lista_piezas = CreateList<tpiezaRef>();
    tscroll::textura.fill(nullptr);
    tlapiz::lista_lapiz = CreateList<tlapizRef>();
    tcubo::textura.fill(nullptr);
    tparticula::lista_particulas = CreateList<tparticulaRef>();
    tfuegoestela::lista_fuegoestela = CreateList<tfuegoestelaRef>();
    done("collections");

    GraphicsHeapPolicy(false); // the heap's settings are the warm-up's
    Graphics3D(800, 600, 32, 1, 60);
    done("Graphics3D");
    work.ReleaseWarmHeap();
    HideMouse();
    done("HideMouse");
    // Every image file of the show decoded by now: one that does not is refused here, before
    // anything of the show is made.
    RefuseMediaProblems(work.DecodeProblems());
    done("DecodeProblems");

    musica = tmusic::loadMain(work.TakeMainSong(), kMainSongFile);
    portada = image("media/portada.png", 400, 300);
    fondo = image("media/fondo.png", 400, 300);
    marco = image("media/marco.png", 400, 300);
    txt_theworld = image("media/txt_theuniverse.png", 400, 300);
    txt_is = image("media/txt_is.png", 400, 300);
    txt_fewordered = image("media/txt_fewunsorted.png", 400, 300);
    txt_blocks = image("media/txt_blocks.png", 400, 300);
    lapiz = image("media/lapiz.png", 16, 16);
    flare = image("media/flare.png", 32, 32);
    kolumoimage = image("media/kolumo.png");
    kolumomusic = MustHaveLoadedSound(work.TakeEndSong(), StartupWork::kEndSongFile);
    obel = image("media/obel.png");
    varnik = image("media/varnik.png");
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

    std::array<PreparedTextureRef, tscroll::kQuads> scrollTextures;
    for (int i = 0; i < tscroll::kQuads; ++i)
        scrollTextures[std::size_t(i)] = work.TakeTexture(tscroll::archivo(i));
    scroll = tscroll::crea(0, 0, 0, scrollTextures);
    done("scroll");
    std::array<PreparedTextureRef, tcubo::kCaras> cuboTextures;
    for (int i = 0; i < tcubo::kCaras; ++i)
        cuboTextures[std::size_t(i)] = work.TakeTexture(tcubo::archivo(i));
    cubo = tcubo::crea(camara, cuboTextures);
    done("cubo");
    cubemap = tcubemap::crea();
    done("cubemap");
    for (auto& row : cubopiezasang)
        for (float& angle : row) angle = 0.0f;
    done("cubopiezasang");
    piezagigante =
        tpiezagigante::crea(20, 0, 60, 0, 0, 0, work.TakeTexture(tpiezagigante::kArchivo));
    done("piezagigante");

    ticker = image("media/ticker.png");
    creditos = image("media/creditos.png");
    SetImageHandle(creditos, 0, 23);
    done("creditos");
    constructorpivot = CreatePivot(nullptr);
    done("constructorpivot");
    scrollkolumo = image("media/scrollkolumo.png");
    halvren = image("media/halvrenstudios.png", 169, 38);
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

void DemoMain(const StartupObserver& observer) {
    DemoStartup(observer);
    while (KeyHit(Key::Escape) == 0) DemoFrame();
    End();
}
