#include "demo/demo.h"

#include "demo/flash.h"
#include "demo/globals.h"
#include "demo/heap_warmup.h"
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

#include <algorithm>
#include <cstdint>
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

// The images of start-up with their flags and cells, made (decoded, converted, masked and their
// transparent tiles found) on a thread of their own while the display opens; only their upload
// waits for the display.
struct StartupImage {
    const char* path;
    int flags;
    ImageCells cells = {}; // the whole image unless a strip's cells are given
};
const StartupImage kStartupImages[] = {
    {"media/portada.png", 7},
    {"media/fondo.png", 1},
    {"media/marco.png", 1},
    {"media/txt_is.png", 7},
    {"media/txt_theuniverse.png", 7},
    {"media/txt_fewunsorted.png", 7},
    {"media/txt_blocks.png", 7},
    {"media/lapiz.png", 1},
    {"media/flare.png", 1},
    {"media/kolumo.png", 1, {334, 229, 0, 3}},
    {"media/obel.png", 1},
    {"media/varnik.png", 1},
    {"media/ticker.png", 1},
    {"media/creditos.png", 1, {1, 36, 0, 2600}},
    {"media/scrollkolumo.png", 1, {1, 36, 0, 3600}},
    {"media/halvrenstudios.png", 1},
};

using PreparedImages = std::map<std::string, ImageRef>;

PreparedImages prepareStartupImages(std::uint32_t maskColour) {
    PreparedImages prepared;
    for (const StartupImage& i : kStartupImages)
        prepared[i.path] = PrepareImage(LoadPixmap(i.path), i.cells, i.flags, maskColour);
    return prepared;
}

// The image of the start-up table at path (taken out of the prepared ones), uploaded and checked,
// with its handle where one is given.
ImageRef image(PreparedImages& prepared, const std::string& path, float hx = 0, float hy = 0) {
    const auto spec = std::find_if(std::begin(kStartupImages), std::end(kStartupImages),
                                   [&](const StartupImage& i) { return i.path == path; });
    const auto it = prepared.find(path);
    ImageRef taken;
    if (it != prepared.end()) {
        taken = std::move(it->second);
        prepared.erase(it);
    }
    const bool strip = spec != std::end(kStartupImages) && spec->cells.width != 0;
    ImageRef loaded = MustUploadImage(taken, path, strip);
    if (hx != 0 || hy != 0) SetImageHandle(loaded, hx, hy);
    return loaded;
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
    // The textures and images made below take about 60 MB of fresh memory on this thread: warm
    // that much of the heap while the display opens (see HeapWarmup).
    HeapWarmup warm(std::size_t(64) << 20);
    CheckDemoMedia();
    done("CheckDemoMedia");

    // The two songs take longest to decode: they decode on threads of their own while the
    // display opens and the images load, and are taken (and checked) where they are needed.
    const char* const endSongPath = "media/kolumo.ogg";
    std::future<AudioSampleRef> song =
        std::async(std::launch::async, [] { return LoadAudioSample(kMainSongFile); });
    std::future<SoundRef> endSong =
        std::async(std::launch::async, [endSongPath] { return LoadSound(endSongPath, 1); });

    std::future<PreparedImages> images =
        std::async(std::launch::async, prepareStartupImages, MaskColor());
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
    warm.Release();
    HideMouse();
    done("HideMouse");

    musica = tmusic::loadMain(song.get(), kMainSongFile);
    PreparedImages prepared = images.get();
    portada = image(prepared, "media/portada.png", 400, 300);
    fondo = image(prepared, "media/fondo.png", 400, 300);
    marco = image(prepared, "media/marco.png", 400, 300);
    txt_theworld = image(prepared, "media/txt_theuniverse.png", 400, 300);
    txt_is = image(prepared, "media/txt_is.png", 400, 300);
    txt_fewordered = image(prepared, "media/txt_fewunsorted.png", 400, 300);
    txt_blocks = image(prepared, "media/txt_blocks.png", 400, 300);
    lapiz = image(prepared, "media/lapiz.png", 16, 16);
    flare = image(prepared, "media/flare.png", 32, 32);
    kolumoimage = image(prepared, "media/kolumo.png");
    kolumomusic = MustHaveLoadedSound(endSong.get(), endSongPath);
    obel = image(prepared, "media/obel.png");
    varnik = image(prepared, "media/varnik.png");
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

    ticker = image(prepared, "media/ticker.png");
    creditos = image(prepared, "media/creditos.png");
    SetImageHandle(creditos, 0, 23);
    done("creditos");
    constructorpivot = CreatePivot(nullptr);
    done("constructorpivot");
    scrollkolumo = image(prepared, "media/scrollkolumo.png");
    halvren = image(prepared, "media/halvrenstudios.png", 169, 38);
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
    while (KeyHit(Key::Escape) == 0) DemoFrame();
    End();
}
