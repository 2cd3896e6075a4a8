// Engine benchmark: 1,000 textured, lit cubes (one 256x256 mipmapped texture, one directional
// light plus ambient light, linear fog) in a 10x10x10 grid 3 units apart, seen by an 800x600
// camera at (0, 0, -45). Every frame turns each cube by (1, 1, 0), renders the world and flips
// without waiting for the display. After 30 warm-up frames it times 300 frames and prints
//     frames N, ms/frame median X p95 Y
// Run it under an X display (xvfb-run for a headless machine).
#include "engine/commands.h"
#include "engine/global.h"
#include "platform/display.h"
#include "platform/pixmap.h"
#include "platform/testing.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUpFrames = 30;
constexpr int kTimedFrames = 300;

// A 256x256 texture image: an 8x8 checkerboard of two warm tones with a darker border per
// square, written as a PNG so that the engine loads (and mipmaps) it as it would any file.
std::string writeTextureImage() {
    PixmapRef p = CreatePixmap(256, 256, PF_RGBA8888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool odd = ((x / 32) + (y / 32)) % 2 == 1;
            const bool border = x % 32 < 2 || y % 32 < 2;
            std::uint32_t rgb = odd ? 0xd08040u : 0xf0d0a0u;
            if (border) rgb = 0x603020u;
            p->WritePixel(x, y, 0xff000000u | rgb);
        }
    const auto path = std::filesystem::temp_directory_path() /
                      ("bench_engine_" + std::to_string(::getpid()) + ".png");
    if (!SavePixmapPNG(p, path.string())) return "";
    return path.string();
}

double percentile(std::vector<double> sorted, double q) {
    std::sort(sorted.begin(), sorted.end());
    const std::size_t i = std::size_t(q * double(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

} // namespace

int main() {
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
        return 1;
    }

    CameraRef camera = CreateCamera(nullptr);
    PositionEntity(camera, 0, 0, -45, 0);
    CameraClsColor(camera, 40, 50, 70);
    CameraFogMode(camera, LINEARFOG);
    CameraFogColor(camera, 40, 50, 70);
    CameraFogRange(camera, 30, 75);

    AmbientLight(60, 60, 60);
    LightRef light = CreateLight(1, nullptr);
    RotateEntity(light, 35, -30, 0, 0);

    std::vector<MeshRef> cubes;
    cubes.reserve(1000);
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            for (int k = 0; k < 10; ++k) {
                MeshRef cube = CreateCube(nullptr);
                EntityTexture(cube, texture, 0, 0);
                PositionEntity(cube, (float(i) - 4.5f) * 3, (float(j) - 4.5f) * 3,
                               (float(k) - 4.5f) * 3, 0);
                cubes.push_back(cube);
            }

    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    times.reserve(kTimedFrames);
    for (int frame = 0; frame < kWarmUpFrames + kTimedFrames; ++frame) {
        const auto start = Clock::now();
        for (const MeshRef& cube : cubes) TurnEntity(cube, 1, 1, 0, 0);
        RenderWorld();
        Flip(-1);
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (frame >= kWarmUpFrames) times.push_back(took.count());
    }

    std::printf("frames %d, ms/frame median %.2f p95 %.2f\n", int(times.size()),
                percentile(times, 0.5), percentile(times, 0.95));
    EndGraphics();
    return 0;
}
