// Shared set-up of the tests that draw: one display per test process, opened on first use.
#pragma once

#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"
#include "platform/pixmap.h"
#include "platform/testing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

namespace gltest {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// The display every GL test draws on: 800x600 window, back, depth and accumulation buffers.
// Flip does not wait (tests that check the pacing switch it back on). The GL state record is
// checked against GL at every draw, so a path that changes GL behind it fails the test.
inline void EnsureDisplay() {
    testseam::SetUnpacedFlip(true);
    testseam::SetGLStateChecks(true);
    if (!GraphicsOpen()) Graphics(kWidth, kHeight, 0, 60, 2 | 8 | 32);
}

// The 2D drawing state at its start values, SOLIDBLEND, and a frame cleared to the colour.
inline void ResetDrawing(int r = 0, int g = 0, int b = 0) {
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetBlend(SOLIDBLEND);
    SetRotation(0);
    SetScale(1, 1);
    SetMaskColor(0, 0, 0);
    SetClsColor(r, g, b);
    Cls();
}

// 0xAARRGGBB with alpha 255.
constexpr std::uint32_t Rgb(int r, int g, int b) {
    return 0xff000000u | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

// A pixmap filled with one 0xAARRGGBB colour.
inline PixmapRef SolidPixmap(int w, int h, std::uint32_t argb) {
    PixmapRef p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p->WritePixel(x, y, argb);
    return p;
}

// A pixmap from rows of 0xAARRGGBB colours, top row first.
inline PixmapRef PixmapOf(std::initializer_list<std::initializer_list<std::uint32_t>> rows) {
    const int h = int(rows.size());
    const int w = int(rows.begin()->size());
    PixmapRef p = CreatePixmap(w, h, PF_RGBA8888);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (std::uint32_t c : row) p->WritePixel(x++, y, c);
        ++y;
    }
    return p;
}

// Colour of a captured pixel without its alpha (the window has no alpha channel).
inline std::uint32_t At(const testseam::FrameCapture& f, int x, int y) {
    return f.Pixel(x, y) | 0xff000000u;
}

inline std::string Hex(std::uint32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", c);
    return buf;
}

// True when each channel of a and b differs by at most tolerance.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = int(a >> shift & 255), cb = int(b >> shift & 255);
        if (ca - cb > tolerance || cb - ca > tolerance) return false;
    }
    return true;
}

// Expects every pixel of the rectangle to hold the colour (within tolerance per channel).
inline ::testing::AssertionResult RectIs(const testseam::FrameCapture& f, int x0, int y0, int w,
                                         int h, std::uint32_t colour, int tolerance = 0) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (!Near(At(f, x, y), colour, tolerance))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << Hex(At(f, x, y))
                       << ", expected " << Hex(colour);
    return ::testing::AssertionSuccess();
}

class GLTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureDisplay();
        ResetDrawing();
    }
};

} // namespace gltest
