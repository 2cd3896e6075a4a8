// Phases 4, 6 and 8 rendered through the frame-capture path (capture.h: the virtual clock, 735
// sample frames per video frame): one frame of each against a stored reference, and for each a
// property reasoned out from the phase's rules.
//
// Each run starts at its phase (StartRunAtPhase): the music plays from the end tick of the
// phase before and the phase's set-up runs as the sequencer runs it, so nothing of the earlier
// phases is in the picture. The references in tests/fixtures/demo/ are these tests' own frames
// (see renderer.txt).
#include "demo/demo.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tpluma.h"
#include "engine/commands.h"
#include "platform/pixmap.h"
#include "platform/testing.h"

#include "demo_fixture_gl.h"
#include "frame_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using demogl::DemoRunTest;
using framereference::ExpectMatchesReference;
using framereference::MaxChannelDiff;

// What the flash, drawn last at opacity `a` in white, makes of colour c.
std::uint32_t UnderFlash(std::uint32_t c, float a) {
    std::uint32_t out = 0xff000000u;
    for (int s : {0, 8, 16}) {
        const double v = double(c >> s & 0xff);
        out |= std::uint32_t(std::lround(v + (255.0 - v) * a)) << s;
    }
    return out;
}

float FlashAlpha() {
    return flash && flash->estado != 0 ? flash->alfa : 0.0f;
}

// Records of a ".lap" file, a short last one included.
long Records(const std::string& path, long recordSize) {
    const auto size = long(std::filesystem::file_size(path));
    return (size + recordSize - 1) / recordSize;
}

// Runs the demo from the start of `phase` to `tick`; `check` looks at that frame. Returns the
// frames run.
long RunPhaseTo(int phase, int tick, const std::function<void(long frame)>& check) {
    DemoStartup();
    EXPECT_TRUE(StartRunAtPhase(phase));
    long frames = 0;
    const std::string error = RunFramesToTicks({tick}, [&](int, long frame) {
        frames = frame;
        check(frame);
        return true;
    });
    EXPECT_EQ(error, "");
    return frames;
}

TEST_F(DemoRunTest, PhaseFourMatchesItsReferenceWithTheDrawingsReadSoFar) {
    PixmapRef marcoPixels = LoadPixmap("media/marco.png");
    ASSERT_NE(marcoPixels, nullptr);
    RunPhaseTo(4, 1200, [&](long frame) {
        EXPECT_EQ(parte, 4);
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        ExpectMatchesReference(shot, "jump4-tick-01200.png");

        // The reader's schedule from the files' sizes: a pause, one dot per frame, a frame for
        // the switch; 60 frames before each drawing, 350 after the last. No dot has been wiped
        // yet, so every stamped one is still listed, in its drawing's colour.
        std::vector<std::array<int, 3>> want;
        long left = frame;
        left -= 60;
        for (const DibujoScroll& d : kDibujosScroll) {
            if (left <= 0) break;
            const long n = Records(d.archivo, 16);
            for (long k = 0; k < n && left > 0; ++k, --left) want.push_back({d.r, d.g, d.b});
            left -= 1 + 60;
        }
        ASSERT_GT(want.size(), 100u) << "the tick lies well into the drawings";
        const std::vector<tlapizRef> dots = tlapiz::lista_lapiz->ToVector();
        ASSERT_EQ(dots.size(), want.size());
        for (std::size_t i = 0; i < dots.size(); ++i) {
            EXPECT_EQ(dots[i]->estado, tlapiz::kEstampado);
            EXPECT_EQ((std::array<int, 3>{dots[i]->r, dots[i]->g, dots[i]->b}), want[i]) << i;
        }

        // The camera stands where the pan has brought it, at the zoom of the last ScrollPow.
        EXPECT_EQ(EntityX(camara, 1), scrollcampos);
        EXPECT_EQ(EntityZ(camara, 1), -45.0f);
        EXPECT_GT(scrollcampos, 0.02f * float(frame));

        // The frame overlay is drawn over the scene and the dots, opaque, with only the flash
        // above it: wherever the overlay is opaque the frame shows it (flashed as much).
        const float a = FlashAlpha();
        long opaque = 0, shown = 0;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x) {
                const std::uint32_t c = marcoPixels->ReadPixel(x, y);
                if ((c >> 24) != 255 || (c & 0xffffff) == 0) continue; // black is masked out
                ++opaque;
                shown += MaxChannelDiff(shot.Pixel(x, y), UnderFlash(c, a)) <= 3;
            }
        ASSERT_GT(opaque, 20000);
        EXPECT_GE(shown, opaque * 99 / 100) << shown << " of " << opaque;
    });
}

TEST_F(DemoRunTest, PhaseSixMatchesItsReferenceWithTheTickersOverTheViews) {
    PixmapRef tickerPixels = LoadPixmap("media/ticker.png");
    ASSERT_NE(tickerPixels, nullptr);
    const TPixmap& t = *tickerPixels;
    RunPhaseTo(6, 2260, [&](long frame) {
        EXPECT_EQ(parte, 6);
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        ExpectMatchesReference(shot, "jump6-tick-02260.png");

        // One step per frame from their start values (the frame is inside the first pass of
        // the side views and of the tickers).
        ASSERT_LT(frame, 240);
        EXPECT_EQ(rendersscroll, 120.0f - float(frame));
        EXPECT_EQ(tickerx1, -frame);
        EXPECT_EQ(tickerx2, frame);
        EXPECT_NEAR(poscreditos, 2.1 * double(frame), 0.01);

        // The tickers are drawn over every 3D view, with only the trail dots and the flash
        // above them: where the image is opaque and flat, the frame shows it. This frame drew
        // them at the offsets before its step, lowered by the jolt.
        const double x1 = tickerx1 + 1, x2 = tickerx2 - 1;
        const double top = 133.0 - double(tamcreditos), bottom = 467.0 - double(tamcreditos);
        const float a = FlashAlpha();
        long counted = 0, same = 0;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x) {
                const double cx = x + 0.5, cy = y + 0.5;
                int sx, sy;
                if (cy < top && cy >= top - t.height) { // mirrored, hanging above y = 133
                    sy = int(std::floor(top - cy));
                    sx = int(std::floor(cx - x1));
                    if (sx >= 800) sx -= 800; // the copy 800 pixels on
                } else if (cy >= bottom && cy < bottom + t.height) {
                    sy = int(std::floor(cy - bottom));
                    sx = int(std::floor(cx - x2));
                    if (sx < 0) sx += 800; // the copy 800 pixels back
                } else {
                    continue;
                }
                if (sx < 1 || sy < 1 || sx >= t.width - 1 || sy >= t.height - 1) continue;
                const std::uint32_t c = t.ReadPixel(sx, sy);
                if ((c >> 24) != 255 || (c & 0xffffff) == 0) continue;
                bool flat = true;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        flat = flat && t.ReadPixel(sx + dx, sy + dy) == c;
                if (!flat) continue;
                ++counted;
                same += MaxChannelDiff(shot.Pixel(x, y), UnderFlash(c, a)) <= 3;
            }
        ASSERT_GT(counted, 1000);
        EXPECT_GE(same, counted * 9 / 10) << same << " of " << counted;
    });
}

TEST_F(DemoRunTest, PhaseEightMatchesItsReferenceWithTheGreetingGlowingOverTheField) {
    RunPhaseTo(8, 3300, [&](long) {
        EXPECT_EQ(parte, 8);
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        ExpectMatchesReference(shot, "jump8-tick-03300.png");

        // Each greeting event opened the next file; the greeting on screen is the last one
        // opened, all of it stamped, and the earlier ones have burst.
        const int events = sincSaludosClap_pos;
        ASSERT_GT(events, 1);
        ASSERT_LT(events, 16);
        EXPECT_EQ(saludosnumero, events + 1);
        std::vector<tlapizRef> stamped;
        for (const tlapizRef& d : *tlapiz::lista_lapiz)
            if (d->estado == tlapiz::kEstampado) stamped.push_back(d);
        EXPECT_EQ(long(stamped.size()), Records(ArchivoSaludo(events), 8));

        // The dots are added to the frame at opacity 0.75 or more, white: near each point
        // (the jitter is under 3 pixels) the frame is bright in every channel, whatever the
        // dark field under it.
        long bright = 0;
        for (const tlapizRef& d : stamped) {
            int best = 0;
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx) {
                    const int x = d->x + dx, y = d->y + dy;
                    if (x < 0 || y < 0 || x >= shot.width || y >= shot.height) continue;
                    const std::uint32_t c = shot.Pixel(x, y);
                    int lo = 255;
                    for (int s : {0, 8, 16}) lo = std::min(lo, framereference::Channel(c, s));
                    best = std::max(best, lo);
                }
            bright += best >= 180;
        }
        EXPECT_EQ(bright, long(stamped.size()));
    });
}

} // namespace
