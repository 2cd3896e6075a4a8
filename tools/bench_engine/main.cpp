// Engine benchmark, in two parts.
//
// In one process: N textured, lit cubes (one 256x256 mipmapped texture, one directional light
// plus ambient light, linear fog) in a cubic grid 3 units apart, seen by a camera whose
// viewport is W x H pixels at the top left of an 800x600 display. Every frame turns each cube by
// (1, 1, 0), renders the world and flips without waiting for the display. A small viewport
// makes filling pixels cost next to nothing, so the frame is the engine's own per-entity work.
// Beside it runs a plain fixed-function GL loop drawing the same scene: the camera's projection
// and view, the same light, fog, material and texture set once per frame, then one glDrawElements
// per cube from the cube's own arrays under its matrix, in the order the cubes were made: the
// floor the engine is measured against. Frames of the two alternate so that both see the same
// load of the machine. After warm-up frames of each it times a number of each (fewer for more
// cubes) and prints, per configuration,
//     cubes N viewport WxH
//       engine: frames F, ms/frame median X p99 Y
//       plain GL: frames F, ms/frame median X p99 Y
//       engine / plain GL: median R p99 S
//
// As processes of their own (tools/bench_engine/processes.h): the same cube scenes, and a crowd
// of animated models, each drawn by bench_engine_program (a program that uses only the engine's
// public header) and, when it was built, by bench_engine_peer (another engine), alternating, a
// process per scene, program and round: the allocator's state is each program's own.
//
//     bench_engine                          in one process the four standard configurations
//                                           (1,000, 4,000 and 16,000 cubes in 32x32, 1,000 in
//                                           800x600); as processes 1,000, 4,000, 16,000 and
//                                           64,000 cubes and 1,000 animated models in 32x32
//     bench_engine CUBES WxH [CUBES WxH]... the cube configurations given, in both parts
//     --frames N                            timed frames of each loop per configuration
//     --rounds R                            rounds of the processes (default 5)
//     --crowd N                             animated models of the crowd (0: none)
//     --only loops|processes                one part alone
// Run it under an X display (xvfb-run for a headless machine). Under the other configuration
// the processes inherit it (taskset, LP_NUM_THREADS).
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "engine/texture.h"
#include "platform/display.h"
#include "platform/pixmap.h"
#include "platform/testing.h"
#include "tools/bench_engine/processes.h"
#include "tools/bench_engine/scene_args.h"
#include "tools/bench_engine/scene_camera.h"
#include "tools/bench_timing.h"

#include <GL/glew.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// The cubes' 256x256 texture image (benchscene::CheckerPixel), written as a PNG so that the engine
// loads (and mipmaps) it as it would any file.
std::string writeTextureImage() {
    PixmapRef p = CreatePixmap(256, 256, PF_RGBA8888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) p->WritePixel(x, y, benchscene::CheckerPixel(x, y));
    const auto path = std::filesystem::temp_directory_path() /
                      ("bench_engine_" + std::to_string(::getpid()) + ".png");
    if (!SavePixmapPNG(p, path.string())) return "";
    return path.string();
}

struct Timing {
    double median = 0, p99 = 0;
};

Timing timing(const std::vector<double>& times) {
    return {benchtime::percentile(times, 0.5), benchtime::percentile(times, 0.99)};
}

struct Config {
    int cubes = 1000;
    int width = 800, height = 600; // the camera's viewport
};

// The GL state of the engine's camera pass over the cubes, taken once after a RenderWorld (the
// camera's matrices) and set again at the start of each plain frame.
struct PlainScene {
    float projection[16];
    float view[16];
    GLuint texture = 0;
    float clear[3];
};

// One frame of the plain loop: clear, the state the engine's pass sets, then each cube.
void drawPlainFrame(const PlainScene& scene, const Config& config,
                    const std::vector<MeshRef>& cubes) {
    const int bottom = 600 - config.height; // the viewport lies at the top left
    glViewport(0, bottom, config.width, config.height);
    glScissor(0, bottom, config.width, config.height);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(scene.clear[0], scene.clear[1], scene.clear[2], 1.0f);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(scene.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(scene.view);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_FOG);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    const float ambient[4] = {TGlobal::ambient_red, TGlobal::ambient_green, TGlobal::ambient_blue,
                              1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 100.0f);
    glActiveTexture(GL_TEXTURE0);
    glClientActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene.texture);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, float(GL_MODULATE));
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (const MeshRef& cube : cubes) {
        const TSurface& s = *cube->surf_list->First();
        glVertexPointer(3, GL_FLOAT, 0, s.vert_coords.data());
        glNormalPointer(GL_FLOAT, 0, s.vert_norm.data());
        glColorPointer(4, GL_FLOAT, 0, s.vert_col.data());
        glTexCoordPointer(2, GL_FLOAT, 0, s.vert_tex_coords0.data());
        glPushMatrix();
        glMultMatrixf(cube->mat.data());
        glDrawElements(GL_TRIANGLES, GLsizei(s.no_tris) * 3, GL_UNSIGNED_SHORT, s.tris.data());
        glPopMatrix();
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

// Times the engine and the plain loop on one configuration and prints the result.
void run(const Config& config, const TextureRef& texture, int timedFrames) {
    const int warmUp = std::max(5, timedFrames / 10);
    benchscene::Scene grid;
    grid.count = config.cubes;
    const float extent = grid.Extent();
    CameraRef camera = benchscene::CreateSceneCamera(config.width, config.height, extent);

    std::vector<MeshRef> cubes;
    cubes.reserve(std::size_t(config.cubes));
    for (int n = 0; n < config.cubes; ++n) {
        MeshRef cube = CreateCube(nullptr);
        EntityTexture(cube, texture, 0, 0);
        float at[3];
        grid.Place(n, at);
        PositionEntity(cube, at[0], at[1], at[2], 0);
        cubes.push_back(cube);
    }

    // The camera pass's matrices, as the engine sets them.
    RenderWorld();
    PlainScene scene{};
    glGetFloatv(GL_PROJECTION_MATRIX, scene.projection);
    TMatrix view = camera->mat.Inverse();
    std::copy(view.data(), view.data() + 16, scene.view);
    scene.texture = texture->gltex.front();
    scene.clear[0] = 40 / 255.0f;
    scene.clear[1] = 50 / 255.0f;
    scene.clear[2] = 70 / 255.0f;

    using Clock = std::chrono::steady_clock;
    std::vector<double> engineTimes, plainTimes;
    engineTimes.reserve(std::size_t(timedFrames));
    plainTimes.reserve(std::size_t(timedFrames));
    for (int frame = 0; frame < 2 * (warmUp + timedFrames); ++frame) {
        const bool plain = frame % 2 == 1;
        const auto start = Clock::now();
        for (const MeshRef& cube : cubes) TurnEntity(cube, 1, 1, 0, 0);
        if (plain)
            drawPlainFrame(scene, config, cubes);
        else
            RenderWorld();
        Flip(-1);
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (frame >= 2 * warmUp) (plain ? plainTimes : engineTimes).push_back(took.count());
    }

    const Timing engine = timing(engineTimes), plainGL = timing(plainTimes);
    std::printf("cubes %d viewport %dx%d\n", config.cubes, config.width, config.height);
    std::printf("  engine: frames %d, ms/frame median %.2f p99 %.2f\n", int(engineTimes.size()),
                engine.median, engine.p99);
    std::printf("  plain GL: frames %d, ms/frame median %.2f p99 %.2f\n", int(plainTimes.size()),
                plainGL.median, plainGL.p99);
    std::printf("  engine / plain GL: median %.2f p99 %.2f\n", engine.median / plainGL.median,
                engine.p99 / plainGL.p99);
    std::fflush(stdout);
    for (const MeshRef& cube : cubes) FreeEntity(cube);
    FreeEntity(camera);
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "bench_engine: %s\nusage: bench_engine [--frames N] [--rounds R] [--crowd N] "
                 "[--only loops|processes] [CUBES WxH]...\n",
                 why);
    return 2;
}

bool runLoops(const std::vector<Config>& configs, const std::function<int(int)>& framesFor);

} // namespace

int main(int argc, char** argv) {
    std::vector<Config> configs;
    int frames = 0; // 0: by the cube count
    int rounds = 5, crowd = 1000;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto count = [&](int& value, int least) {
            return i + 1 < argc && std::sscanf(argv[++i], "%d", &value) == 1 && value >= least;
        };
        if (arg == "--frames") {
            if (!count(frames, 1)) return usage("bad value for --frames");
            continue;
        }
        if (arg == "--rounds") {
            if (!count(rounds, 1)) return usage("bad value for --rounds");
            continue;
        }
        if (arg == "--crowd") {
            if (!count(crowd, 0)) return usage("bad value for --crowd");
            continue;
        }
        if (arg == "--only") {
            only = i + 1 < argc ? argv[++i] : "";
            if (only != "loops" && only != "processes") return usage("bad value for --only");
            continue;
        }
        Config c;
        char x = 0;
        if (i + 1 >= argc || std::sscanf(argv[i], "%d", &c.cubes) != 1 || c.cubes < 1 ||
            std::sscanf(argv[i + 1], "%d%c%d", &c.width, &x, &c.height) != 3 || x != 'x' ||
            c.width < 1 || c.height < 1 || c.width > 800 || c.height > 600)
            return usage("expected CUBES WxH (at most 800x600)");
        ++i;
        configs.push_back(c);
    }
    const bool given = !configs.empty();
    if (!given) configs = {{1000, 32, 32}, {4000, 32, 32}, {16000, 32, 32}, {1000, 800, 600}};
    // Timed frames: fewer for more entities.
    const auto framesFor = [frames](int entities, int least, int most) {
        return frames > 0 ? frames : std::clamp(most * 1000 / entities, least, most);
    };
    if (only != "processes" && !runLoops(configs, [&](int n) { return framesFor(n, 20, 300); }))
        return 1;
    if (only == "loops") return 0;

    std::vector<benchscene::Scene> scenes;
    std::vector<Config> processConfigs = configs;
    if (!given) processConfigs = {{1000, 32, 32}, {4000, 32, 32}, {16000, 32, 32}, {64000, 32, 32}};
    for (const Config& c : processConfigs) {
        benchscene::Scene s;
        s.count = c.cubes;
        s.width = c.width;
        s.height = c.height;
        s.frames = framesFor(c.cubes, 10, 100);
        scenes.push_back(s);
    }
    if (crowd > 0) {
        benchscene::Scene s;
        s.crowd = true;
        s.count = crowd;
        s.frames = framesFor(crowd, 10, 100);
        std::error_code error;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
        s.model = (self.parent_path() / "examples" / "character.b3d").string();
        scenes.push_back(s);
    }
    benchprocs::RunScenes(scenes, rounds);
    return 0;
}

namespace {

// The first part: the engine and the plain loop in this process.
bool runLoops(const std::vector<Config>& configs, const std::function<int(int)>& framesFor) {

    PlatformInit();
    InitEngineModule();
    testseam::SetUnpacedFlip(true);
    Graphics3D(800, 600, 0, 2, 60);

    const std::string image = writeTextureImage();
    TextureRef texture = LoadTexture(image, COLORTEXTURE | MIPMAPPEDTEXTURE);
    std::error_code ignored;
    std::filesystem::remove(image, ignored);
    if (!texture) {
        std::fprintf(stderr, "bench_engine: the texture could not be made\n");
        return false;
    }
    AmbientLight(60, 60, 60);
    LightRef light = CreateLight(1, nullptr);
    RotateEntity(light, 35, -30, 0, 0);

    for (const Config& c : configs) run(c, texture, framesFor(c.cubes));
    std::printf("frame kept across Flip by %s\n",
                testseam::SwapKeepsFrame() ? "the swap" : "copies");
    FreeTexture(texture);
    FreeEntity(light);
    EndGraphics();
    return true;
}

} // namespace
