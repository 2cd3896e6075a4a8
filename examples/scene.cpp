// A small scene built through the engine's commands: a textured cube, a shiny sphere, a cylinder
// and a cone on a floor, a glowing sprite, one directional light plus ambient light, and linear
// fog that fades the far floor into the sky colour. The scene turns until Escape is pressed.
//
// The two textures are drawn in memory and handed to the engine as PNG files in the temporary
// directory, which are removed again once loaded.
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "engine/sprite.h"
#include "platform/display.h"
#include "platform/input.h"
#include "platform/pixmap.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

namespace {

// Writes the pixmap as a PNG in the temporary directory; the path, or "" on failure.
std::string temporaryPNG(const PixmapRef& p, const std::string& name) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("scene_" + std::to_string(::getpid()) + "_" + name + ".png");
    return SavePixmapPNG(p, path.string()) ? path.string() : "";
}

void removeFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Red bricks with light mortar, 128x128.
PixmapRef bricks() {
    PixmapRef p = CreatePixmap(128, 128, PF_RGBA8888);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int row = y / 16;
            const int shifted = x + (row % 2) * 16;
            const bool mortar = y % 16 < 2 || shifted % 32 < 2;
            const int shade = ((x * 7 + y * 13) % 23) - 11; // a little grain
            const std::uint32_t r = std::uint32_t(mortar ? 200 : 170 + shade);
            const std::uint32_t g = std::uint32_t(mortar ? 195 : 70 + shade / 2);
            const std::uint32_t b = std::uint32_t(mortar ? 185 : 50);
            p->WritePixel(x, y, 0xff000000u | r << 16 | g << 8 | b);
        }
    return p;
}

// A soft round glow: white, its alpha falling from the centre to the edge, 64x64.
PixmapRef glow() {
    PixmapRef p = CreatePixmap(64, 64, PF_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x - 31.5, y - 31.5) / 32.0;
            const double a = d >= 1.0 ? 0.0 : (1.0 - d) * (1.0 - d);
            p->WritePixel(x, y, std::uint32_t(a * 255.0) << 24 | 0xfff0c0u);
        }
    return p;
}

} // namespace

int main() {
    PlatformInit();
    Graphics3D(800, 600, 0, 2, 60); // mode 2: a window

    CameraRef camera = CreateCamera(nullptr);
    PositionEntity(camera, 0, 2.5f, -6.5f, 0);
    RotateEntity(camera, 15, 0, 0, 0);
    CameraClsColor(camera, 150, 180, 210);
    CameraFogMode(camera, LINEARFOG);
    CameraFogColor(camera, 150, 180, 210);
    CameraFogRange(camera, 8, 30);

    AmbientLight(70, 70, 80);
    LightRef sun = CreateLight(1, nullptr);
    RotateEntity(sun, 40, -30, 0, 0);

    MeshRef floor = CreateCube(nullptr);
    ScaleEntity(floor, 30, 0.1f, 30, 0);
    PositionEntity(floor, 0, -1.1f, 10, 0);
    EntityColor(floor, 110, 140, 90);

    MeshRef cube = CreateCube(nullptr);
    const std::string bricks_png = temporaryPNG(bricks(), "bricks");
    EntityTexture(cube, LoadTexture(bricks_png, COLORTEXTURE | MIPMAPPEDTEXTURE), 0, 0);
    removeFile(bricks_png);
    PositionEntity(cube, -2.5f, 0, 0, 0);

    MeshRef sphere = CreateSphere(16, nullptr);
    EntityColor(sphere, 220, 40, 40);
    EntityShininess(sphere, 0.8f);
    PositionEntity(sphere, 0.5f, 0, 1, 0);

    MeshRef cylinder = CreateCylinder(16, 1, nullptr);
    EntityColor(cylinder, 60, 90, 220);
    PositionEntity(cylinder, 3, 0, 2, 0);

    MeshRef cone = CreateCone(16, 1, nullptr);
    EntityColor(cone, 240, 200, 40);
    PositionEntity(cone, -1, 0, 6, 0);

    // ALPHATEXTURE keeps the sprite's alpha blending.
    const std::string glow_png = temporaryPNG(glow(), "glow");
    SpriteRef spark = LoadSprite(glow_png, COLORTEXTURE | ALPHATEXTURE, nullptr);
    removeFile(glow_png);
    ScaleSprite(spark, 1.2f, 1.2f);

    float t = 0;
    while (!KeyHit(Key::Escape)) {
        TurnEntity(cube, 0.4f, 0.9f, 0, 0);
        TurnEntity(cylinder, 0, 0, 0.7f, 0);
        PositionEntity(sphere, 0.5f, std::fabs(std::sin(t * 2.0f)) * 1.5f, 1, 0);
        PositionEntity(spark, std::sin(t) * 3.5f, 2.2f, 2 + std::cos(t) * 3.5f, 0);
        RenderWorld();
        Flip(-1);
        t += 1.0f / 60.0f;
    }
    EndGraphics();
    return 0;
}
