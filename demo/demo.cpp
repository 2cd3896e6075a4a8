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
#include "engine/texture_prefetch.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/input.h"

#include <future>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

StartupObserver& observer() {
    static StartupObserver o;
    return o;
}

void done(std::string_view step) {
    if (observer()) observer()(step);
}

// The images of the start-up table, decoded on a thread of their own while the display opens;
// only their upload waits for the display.
const char* const kStartupImages[] = {"media/portada.png",
                                      "media/fondo.png",
                                      "media/marco.png",
                                      "media/txt_is.png",
                                      "media/txt_theuniverse.png",
                                      "media/txt_fewunsorted.png",
                                      "media/txt_blocks.png",
                                      "media/lapiz.png",
                                      "media/flare.png",
                                      "media/kolumo.png",
                                      "media/obel.png",
                                      "media/varnik.png",
                                      "media/ticker.png",
                                      "media/creditos.png",
                                      "media/scrollkolumo.png",
                                      "media/halvrenstudios.png"};

using DecodedImages = std::map<std::string, PixmapRef>;

DecodedImages decodeStartupImages() {
    DecodedImages decoded;
    for (const char* path : kStartupImages) decoded[path] = LoadPixmap(path);
    return decoded;
}

// The decoded pixmap of path (taken out of the table), or path decoded now when it is not there.
PixmapRef decodedImage(DecodedImages& decoded, const std::string& path) {
    const auto it = decoded.find(path);
    if (it == decoded.end()) return LoadPixmap(path);
    PixmapRef p = std::move(it->second);
    decoded.erase(it);
    return p;
}

// An image of the start-up table, with its handle where the table gives one.
ImageRef image(DecodedImages& decoded, const std::string& path, int flags, float hx = 0,
               float hy = 0) {
    ImageRef loaded = MustLoadImage(decodedImage(decoded, path), path, flags);
    if (hx != 0 || hy != 0) SetImageHandle(loaded, hx, hy);
    return loaded;
}

ImageRef strip(DecodedImages& decoded, const std::string& path, int cellWidth, int cellHeight,
               int count) {
    return MustLoadAnimImage(decodedImage(decoded, path), path, cellWidth, cellHeight, 0, count, 1);
}

// The brush textures of start-up, in load order, with their flags.
std::vector<std::pair<std::string, int>> brushTextures() {
    std::vector<std::pair<std::string, int>> files;
    for (int i = 0; i < tscroll::kQuads; ++i)
        files.emplace_back(tscroll::archivo(i), tscroll::kTextureFlags);
    for (int i = 0; i < tcubo::kCaras; ++i)
        files.emplace_back(tcubo::archivo(i), tcubo::kTextureFlags);
    return files;
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

    std::future<DecodedImages> images = std::async(std::launch::async, decodeStartupImages);
    // The brushes of the scroller and the sky cube, decoded with their mipmap levels on a thread
    // of their own; tscroll::crea and tcubo::crea take them from there.
    PrefetchTextures(brushTextures());

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
    DecodedImages decoded = images.get();
    portada = image(decoded, "media/portada.png", 7, 400, 300);
    fondo = image(decoded, "media/fondo.png", 1, 400, 300);
    marco = image(decoded, "media/marco.png", 1, 400, 300);
    txt_theworld = image(decoded, "media/txt_theuniverse.png", 7, 400, 300);
    txt_is = image(decoded, "media/txt_is.png", 7, 400, 300);
    txt_fewordered = image(decoded, "media/txt_fewunsorted.png", 7, 400, 300);
    txt_blocks = image(decoded, "media/txt_blocks.png", 7, 400, 300);
    lapiz = image(decoded, "media/lapiz.png", 1, 16, 16);
    flare = image(decoded, "media/flare.png", 1, 32, 32);
    kolumoimage = strip(decoded, "media/kolumo.png", 334, 229, 3);
    kolumomusic = MustHaveLoadedSound(endSong.get(), endSongPath);
    obel = image(decoded, "media/obel.png", 1);
    varnik = image(decoded, "media/varnik.png", 1);
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

    ticker = image(decoded, "media/ticker.png", 1);
    creditos = strip(decoded, "media/creditos.png", 1, 36, 2600);
    SetImageHandle(creditos, 0, 23);
    done("creditos");
    constructorpivot = CreatePivot(nullptr);
    done("constructorpivot");
    scrollkolumo = strip(decoded, "media/scrollkolumo.png", 1, 36, 3600);
    halvren = image(decoded, "media/halvrenstudios.png", 1, 169, 38);
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
