// bench_engine_program: the scene of scene_args.h written as a program that knows nothing but
// the engine's public header: no test library, no allocator settings, Flip(0). bench_engine
// runs it as a process of its own per configuration and round.
#include "engine/commands.h"
#include "tools/bench_engine/scene_args.h"
#include "tools/bench_engine/scene_camera.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The cubes' texture, loaded from a PNG file as a program would load its own.
TextureRef checkerTexture() {
    PixmapRef p = CreatePixmap(256, 256, PF_RGBA8888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) p->WritePixel(x, y, benchscene::CheckerPixel(x, y));
    const std::string path = "/tmp/bench_engine_program_" + std::to_string(::getpid()) + ".png";
    if (!SavePixmapPNG(p, path)) return nullptr;
    TextureRef texture = LoadTexture(path, COLORTEXTURE | MIPMAPPEDTEXTURE);
    std::remove(path.c_str());
    return texture;
}

} // namespace

int main(int argc, char** argv) {
    benchscene::Scene scene;
    if (!benchscene::ParseScene(argc, argv, scene)) {
        std::fprintf(
            stderr, "usage: bench_engine_program cubes|crowd N WxH FRAMES [MODEL] [--keep-heap]\n");
        return 2;
    }
    PlatformInit();
    if (scene.keepHeap) GraphicsHeapPolicy(false);
    Graphics3D(800, 600, 0, 2, 60);
    const float extent = scene.Extent();
    CameraRef camera = benchscene::CreateSceneCamera(scene.width, scene.height, extent);
    AmbientLight(60, 60, 60);
    LightRef light = CreateLight(1, nullptr);
    RotateEntity(light, 35, -30, 0, 0);

    std::vector<MeshRef> entities;
    MeshRef model;
    TextureRef texture;
    if (scene.crowd) {
        model = LoadAnimMesh(scene.model, nullptr);
        if (!model) {
            std::fprintf(stderr, "bench_engine_program: %s cannot be read\n", scene.model.c_str());
            return 1;
        }
        HideEntity(model);
    } else {
        texture = checkerTexture();
        if (!texture) return 1;
    }
    for (int n = 0; n < scene.count; ++n) {
        MeshRef e;
        if (scene.crowd) {
            e = std::static_pointer_cast<TMesh>(CopyEntity(model, nullptr));
            ShowEntity(e);
            Animate(e, 1, 0.5f * benchscene::Scene::Pace(n), 0, 0);
        } else {
            e = CreateCube(nullptr);
            EntityTexture(e, texture, 0, 0);
        }
        float at[3];
        scene.Place(n, at);
        PositionEntity(e, at[0], at[1], at[2], 0);
        entities.push_back(e);
    }

    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    long faults = 0;
    for (int frame = 0; frame < scene.WarmUp() + scene.frames; ++frame) {
        const long faultsBefore = minorFaults();
        const auto start = Clock::now();
        if (scene.crowd)
            UpdateWorld(1);
        else
            for (const MeshRef& e : entities) TurnEntity(e, 1, 1, 0, 0);
        RenderWorld();
        Flip(0);
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (frame >= scene.WarmUp()) {
            times.push_back(took.count());
            faults += minorFaults() - faultsBefore;
        }
    }
    benchscene::PrintTimes(times, faults);
    EndGraphics();
    return 0;
}
