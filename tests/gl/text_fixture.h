// Checks of text drawn over a frame: which pixels the built-in font's glyphs changed.
#pragma once

#include "gl_fixture.h"
#include "platform/gltext.h"

#include <string>

namespace gltest {

// Expects after to differ from before exactly on the ink of text drawn at (x, y): every ink
// pixel of its cells is the ink colour, every other pixel of the cells and of a one-pixel ring
// around them is as it was.
inline ::testing::AssertionResult TextDrawnOver(const testseam::FrameCapture& before,
                                                const testseam::FrameCapture& after,
                                                const std::string& text, int x, int y,
                                                std::uint32_t ink = Rgb(255, 255, 255)) {
    const int w = int(text.size()) * kGLTextCellWidth;
    int ink_pixels = 0;
    for (int sy = y - 1; sy <= y + kGLTextCellHeight; ++sy)
        for (int sx = x - 1; sx <= x + w; ++sx) {
            const int cell = sx >= x ? (sx - x) / kGLTextCellWidth : -1;
            const bool on =
                cell >= 0 && cell < int(text.size()) &&
                GLTextGlyphInk(text[std::size_t(cell)], (sx - x) % kGLTextCellWidth, sy - y);
            const std::uint32_t want = on ? ink : At(before, sx, sy);
            ink_pixels += on;
            if (At(after, sx, sy) != want)
                return ::testing::AssertionFailure()
                       << "\"" << text << "\" at (" << x << ", " << y << "): pixel (" << sx << ", "
                       << sy << ") is " << Hex(At(after, sx, sy)) << ", expected " << Hex(want)
                       << (on ? " (ink)" : " (as before)");
        }
    if (ink_pixels == 0) return ::testing::AssertionFailure() << "\"" << text << "\" has no ink";
    return ::testing::AssertionSuccess();
}

} // namespace gltest
