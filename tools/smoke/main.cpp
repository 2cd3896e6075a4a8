// Platform smoke program: opens an 800x600 window, draws images made in memory with the 2D layer
// and a line of GL text each frame, flips, and ends when Escape is pressed (or the window is
// closed). Each frame draws its backdrop at half alpha over the last one, so moving things leave
// fading trails: the frame kept across Flip is what they fade into.
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/gltext.h"
#include "platform/image2d.h"
#include "platform/input.h"
#include "platform/pixmap.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

namespace {
std::uint32_t argb(int a, int r, int g, int b) {
    return std::uint32_t(a) << 24 | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 |
           std::uint32_t(b);
}

// A vertical gradient from deep blue to purple with a faint grid.
PixmapRef backdrop() {
    PixmapRef p = CreatePixmap(800, 600, PF_RGBA8888);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int t = y * 255 / 599;
            const bool grid = x % 40 == 0 || y % 40 == 0;
            p->WritePixel(x, y,
                          argb(255, t / 3 + (grid ? 30 : 0), 20 + (grid ? 30 : 0), 90 + t / 2));
        }
    return p;
}

// A ring on black: black is the mask colour, so only the ring shows.
PixmapRef ring() {
    PixmapRef p = CreatePixmap(64, 64, PF_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x - 31.5, y - 31.5);
            const bool on = d > 20 && d < 30;
            p->WritePixel(x, y, on ? argb(255, 255, 200 - int(d * 4), 40) : argb(255, 0, 0, 0));
        }
    return p;
}

// A strip of eight 8x8 cells, each a coloured square with a different corner notch.
PixmapRef cells() {
    PixmapRef p = CreatePixmap(64, 8, PF_RGBA8888);
    for (int cell = 0; cell < 8; ++cell)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool notch = (x < 3) == bool(cell & 1) && (y < 3) == bool(cell & 2);
                p->WritePixel(cell * 8 + x, y,
                              notch ? argb(255, 0, 0, 0)
                                    : argb(255, 60 + cell * 24, 255 - cell * 24, 120));
            }
    return p;
}
} // namespace

int main() {
    PlatformInit();
    Graphics(800, 600, 0, 60, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER | GRAPHICS_ACCUMBUFFER);

    ImageRef back = LoadImage(backdrop(), 0);
    ImageRef sprite = LoadImage(ring(), MASKEDIMAGE | FILTEREDIMAGE);
    ImageRef anim = LoadAnimImage(cells(), 8, 8, 0, 8, MASKEDIMAGE);
    MidHandleImage(back);
    MidHandleImage(sprite);
    MidHandleImage(anim);

    int frame = 0;
    int lastSecond = Millisecs();
    int framesThisSecond = 0, fps = 0;
    char line[128];
    while (!KeyHit(Key::Escape)) {
        const double t = frame / 60.0;

        SetBlend(ALPHABLEND);
        SetRotation(0);
        SetScale(1, 1);
        SetColor(255, 255, 255);
        SetAlpha(0.5f);
        DrawImage(back, 400, 300, 0);

        SetAlpha(1);
        for (int i = 0; i < 6; ++i) {
            const double a = t * 1.3 + i * std::numbers::pi / 3;
            SetRotation(float(frame * 3 + i * 60));
            const float s = float(1.0 + 0.4 * std::sin(t * 2 + i));
            SetScale(s, s);
            DrawImage(sprite, float(400 + 220 * std::cos(a)), float(300 + 160 * std::sin(a)), 0);
        }

        SetRotation(0);
        SetScale(4, 4);
        for (int i = 0; i < 8; ++i) DrawImage(anim, 120 + i * 80.0f, 520, (frame / 8 + i) % 8);

        SetScale(1, 1);
        SetBlend(LIGHTBLEND);
        SetAlpha(0.6f);
        SetColor(40, 160, 255);
        DrawRect(float(frame * 4 % 900) - 100, 60, 100, 12);

        SetBlend(ALPHABLEND);
        SetAlpha(1);
        SetColor(255, 255, 255);
        glColor4f(1, 1, 1, 1);
        std::snprintf(line, sizeof line, "Platform smoke test - %d fps - Escape quits", fps);
        GLDrawText(line, 16, 16);

        Flip(-1);
        ++frame;
        ++framesThisSecond;
        if (Millisecs() - lastSecond >= 1000) {
            fps = framesThisSecond;
            framesThisSecond = 0;
            lastSecond += 1000;
        }
    }
    EndGraphics();
    return 0;
}
