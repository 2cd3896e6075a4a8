// 2D drawing under and over the 3D world. Each frame draws, in this order:
//   1. a background picture with the 2D layer (a sky made in memory, stretched over the window),
//   2. the 3D world: a turning cube, whose camera clears only the depth buffer so that the
//      background stays,
//   3. a HUD with the 2D layer: a see-through title bar, an energy bar with a heart icon (an
//      image made in memory from a pixmap), a crosshair that follows the pointer, and text.
// The mouse wheel zooms the camera; Escape quits.
//
// The 2D layer and the engine each set up OpenGL their own way, so 2D drawing in a 3D program
// goes between Begin2D() and End2D(), and RenderWorld() outside them.
#include "engine/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

// 0xAARRGGBB, opaque.
std::uint32_t rgb(int r, int g, int b) {
    return 0xff000000u | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

// An evening sky, 400x300: blue at the top turning orange towards the horizon, stars in its
// upper part and dark hills along the bottom.
PixmapRef sky() {
    const int w = 400, h = 300;
    PixmapRef p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y) {
        const float t = float(y) / float(h - 1); // 0 at the top, 1 at the bottom
        const int r = int(40 + 200 * t * t), g = int(60 + 80 * t), b = int(140 - 80 * t);
        for (int x = 0; x < w; ++x) p->WritePixel(x, y, rgb(r, g, b));
    }
    for (int i = 0; i < 120; ++i) {
        const int x = Rand(0, w - 1), y = Rand(0, h * 2 / 5);
        p->WritePixel(x, y, rgb(255, 255, 230));
    }
    for (int x = 0; x < w; ++x) {
        const double top = h * 0.8 + 18 * std::sin(x * 0.021) + 9 * std::sin(x * 0.057 + 1.0);
        for (int y = int(top); y < h; ++y) p->WritePixel(x, y, rgb(30, 25, 45));
    }
    return p;
}

// A red heart, 24x24, on black: loaded as a masked image, the black is left out.
PixmapRef heart() {
    PixmapRef p = CreatePixmap(24, 24, PF_RGBA8888);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            // The heart curve (x^2 + y^2 - 1)^3 - x^2 y^3 <= 0, y up.
            const double u = (x - 11.5) / 10.0, v = (12.0 - y) / 10.0 + 0.15;
            const double a = u * u + v * v - 1.0;
            p->WritePixel(x, y,
                          a * a * a - u * u * v * v * v <= 0 ? rgb(230, 30, 60) : rgb(0, 0, 0));
        }
    return p;
}

} // namespace

int main() {
    PlatformInit();
    Graphics3D(800, 600, 0, 2, 60); // mode 2: a window

    // Images can be made from pixmaps in memory as well as from files.
    ImageRef background = LoadImage(sky(), FILTEREDIMAGE);
    ImageRef heart_icon = LoadImage(heart(), MASKEDIMAGE);

    CameraRef camera = CreateCamera(nullptr);
    CameraClsMode(camera, KEEPBUFFER, CLEARBUFFER); // keep the colours drawn before, clear depth

    AmbientLight(80, 80, 90);
    LightRef light = CreateLight(1, nullptr);
    RotateEntity(light, 30, -40, 0, 0);

    MeshRef cube = CreateCube(nullptr);
    PositionEntity(cube, 0, 0, 5, 0);
    RotateEntity(cube, 25, 35, 0, 0);
    EntityColor(cube, 230, 90, 40);
    EntityShininess(cube, 0.5f);

    int frame = 0;
    while (!KeyHit(Key::Escape)) {
        // Each notch of the wheel zooms in or out by a tenth.
        CameraZoom(camera, std::clamp(1.0f + 0.1f * float(MouseZ()), 0.5f, 3.0f));
        TurnEntity(cube, 0.5f, 0.8f, 0.2f, 0);

        // 1. The background, stretched over the whole window.
        Begin2D();
        SetBlend(SOLIDBLEND);
        SetColor(255, 255, 255);
        DrawImageRect(background, 0, 0, float(GraphicsWidth()), float(GraphicsHeight()), 0);
        End2D();

        // 2. The world, drawn over the background.
        RenderWorld();

        // 3. The HUD over everything.
        Begin2D();
        // A title bar that lets the picture show through: black at 55% opacity.
        SetBlend(ALPHABLEND);
        SetAlpha(0.55f);
        SetColor(0, 0, 0);
        DrawRect(0, 0, float(GraphicsWidth()), 40);
        SetAlpha(1);

        // An energy bar that rises and falls, framed by four lines, with the heart beside it.
        const float energy = 0.5f + 0.4f * std::sin(float(frame) * 0.03f);
        SetBlend(SOLIDBLEND);
        SetColor(40, 220, 60);
        DrawRect(53, 551, 198 * energy, 19);
        SetColor(255, 255, 255);
        DrawLine(52, 550, 252, 550);
        DrawLine(52, 570, 252, 570);
        DrawLine(52, 550, 52, 570);
        DrawLine(252, 550, 252, 570);
        SetBlend(MASKBLEND); // the masked-out black of the icon is not drawn
        DrawImage(heart_icon, 20, 548, 0);

        // A crosshair around the pointer, its centre left open.
        const float mx = float(MouseX()), my = float(MouseY());
        SetBlend(SOLIDBLEND);
        SetColor(255, 230, 0);
        DrawLine(mx - 14, my, mx - 5, my);
        DrawLine(mx + 5, my, mx + 14, my);
        DrawLine(mx, my - 14, mx, my - 5);
        DrawLine(mx, my + 5, mx, my + 14);

        Text(12, 12, "2D under and over 3D   Wheel: zoom   Escape: quit");
        Text(270, 552, "Energy " + std::to_string(int(energy * 100)) + "%");
        Text(580, 12, "Pointer " + std::to_string(MouseX()) + ", " + std::to_string(MouseY()));
        End2D();

        Flip(-1);
        ++frame;
    }
    EndGraphics();
    return 0;
}
