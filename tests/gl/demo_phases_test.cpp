// The opening phases rendered through the frame-capture path (capture.h: the virtual clock,
// 735 sample frames per video frame): one frame of each of phases 1 to 3 against a stored
// reference, and for each a property reasoned out from the phase's rules.
//
// The references in tests/fixtures/demo/ are framegrab's output for ticks 100, 300 and 600;
// renderer.txt beside them names the GL renderer they were made on. The comparison allows a
// difference of a few levels per channel and a few stray pixels, for other rasterisers.
#include "demo/demo.h"
#include "demo/flash.h"
#include "demo/logo.h"
#include "demo/titulo.h"
#include "demo/tpieza.h"
#include "platform/pixmap.h"
#include "platform/testing.h"

#include "demo_fixture_gl.h"
#include "frame_reference.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#ifndef TEST_FIXTURE_DIR
#error "the build passes the fixture folder as TEST_FIXTURE_DIR"
#endif

namespace {

using demogl::DemoRunTest;
using framereference::ExpectMatchesReference;
using framereference::MaxChannelDiff;

// The music clock in the n-th frame of the run (from 1), as tmusic::position forms it from the
// frames the virtual device has played.
float ClockOfFrame(long n) {
    const double p = double(n - 1) * 735.0 + 1.0;
    return float(p / kFramesPerMs / kMsPerTick);
}

// Frames 1..last whose clock is above `tick`.
int FramesAbove(float tick, long last) {
    int n = 0;
    for (long f = 1; f <= last; ++f) n += ClockOfFrame(f) > tick;
    return n;
}

struct Box {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1; // inclusive
    void add(int x, int y) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
};

// The box of the image's pixels with at least `alpha`, drawn at scale s with its handle
// (400, 300) on the screen's centre.
Box ScaledAlphaBox(const TPixmap& image, int alpha, double s) {
    Box b;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (int(image.ReadPixel(x, y) >> 24) >= alpha) b.add(x, y);
    Box out;
    out.x0 = int(std::floor(400 + (b.x0 - 400) * s));
    out.y0 = int(std::floor(300 + (b.y0 - 300) * s));
    out.x1 = int(std::ceil(400 + (b.x1 + 1 - 400) * s)) - 1;
    out.y1 = int(std::ceil(300 + (b.y1 + 1 - 300) * s)) - 1;
    return out;
}

TEST_F(DemoRunTest, OpeningPhasesMatchTheirReferencesAndReasonedProperties) {
    DemoStartup();
    RecordProperty("GL_RENDERER", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    RecordProperty("GL_VERSION", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    std::printf("GL_RENDERER: %s\nGL_VERSION: %s\n", glGetString(GL_RENDERER),
                glGetString(GL_VERSION));
    PixmapRef fondoPixels = LoadPixmap("media/fondo.png");
    PixmapRef logoPixels = LoadPixmap("media/portada.png");
    ASSERT_NE(fondoPixels, nullptr);
    ASSERT_NE(logoPixels, nullptr);

    std::map<int, long> frameOf;
    const auto check = [&](int tick, long frame) {
        frameOf[tick] = frame;
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        char name[32];
        std::snprintf(name, sizeof name, "tick-%05d.png", tick);
        SCOPED_TRACE(name);
        ExpectMatchesReference(shot, name);

        if (tick == 100) {
            // Phase 1: the logo has zoomed in for `frame` frames, 0.011 of the way each.
            EXPECT_EQ(parte, 1);
            const double s = 1 - std::pow(0.989, double(frame));
            EXPECT_NEAR(logo->escala, s, 1e-4);
            EXPECT_NEAR(logo->alfa, s, 1e-4);
            EXPECT_EQ(flash->estado, 0) << "the opening flash is over after 113 frames";
            // Where the frame differs from the background, which 200 frames of half-opacity
            // backgrounds have settled to: the logo at scale s, between the box of its solid
            // pixels and the box of all its visible ones.
            Box drawn;
            for (int y = 45; y < 555; ++y)
                for (int x = 10; x < 790; ++x)
                    if (MaxChannelDiff(shot.Pixel(x, y), fondoPixels->ReadPixel(x, y)) > 40)
                        drawn.add(x, y);
            const Box solid = ScaledAlphaBox(*logoPixels, 250, s);
            const Box visible = ScaledAlphaBox(*logoPixels, 1, s);
            EXPECT_LE(drawn.x0, solid.x0 + 1);
            EXPECT_GE(drawn.x0, visible.x0 - 1);
            EXPECT_GE(drawn.x1, solid.x1 - 1);
            EXPECT_LE(drawn.x1, visible.x1 + 1);
            EXPECT_LE(drawn.y0, solid.y0 + 1);
            EXPECT_GE(drawn.y0, visible.y0 - 1);
            EXPECT_GE(drawn.y1, solid.y1 - 1);
            EXPECT_LE(drawn.y1, visible.y1 + 1);
            const Box unscaled = ScaledAlphaBox(*logoPixels, 250, 1.0);
            EXPECT_LT(drawn.x1 - drawn.x0, unscaled.x1 - unscaled.x0 - 20) << "drawn smaller";
        } else if (tick == 300) {
            // Phase 2: the logo bounced on the beat at tick 278 (first table entry) and has
            // eased back since; rebota draws it fully opaque, so its solid pixels show as they
            // are in the image, except where a piece flies in front.
            EXPECT_EQ(parte, 2);
            EXPECT_EQ(sincTuntaraTun_pos, 1);
            long beat = 1;
            while (ClockOfFrame(beat) < 278.0f) ++beat;
            EXPECT_NEAR(logo->escala, 1 + 0.1 * std::pow(0.9, double(frame - beat)), 1e-5);
            int solid = 0, same = 0;
            for (int y = 2; y < logoPixels->height - 2; y += 5)
                for (int x = 2; x < logoPixels->width - 2; x += 5) {
                    const std::uint32_t c = logoPixels->ReadPixel(x, y);
                    bool flat = true;
                    for (int dy = -2; dy <= 2; ++dy)
                        for (int dx = -2; dx <= 2; ++dx) {
                            const std::uint32_t n = logoPixels->ReadPixel(x + dx, y + dy);
                            flat = flat && (n >> 24) == 255 && MaxChannelDiff(n, c) <= 6;
                        }
                    if (!flat) continue;
                    ++solid;
                    same += MaxChannelDiff(shot.Pixel(x, y), c) <= 8;
                }
            ASSERT_GT(solid, 200);
            EXPECT_GE(same, solid * 95 / 100) << same << " of " << solid;
            // The flying pieces: spawned at z 130, 0.5 nearer per frame, gone at -20.
            ASSERT_FALSE(tpieza::lista_piezas->IsEmpty());
            for (const tpiezaRef& p : *tpieza::lista_piezas) {
                EXPECT_GT(p->z, -20.0f);
                EXPECT_LT(p->z, 130.0f);
                EXPECT_EQ(std::fmod(130.0f - p->z, 0.5f), 0.0f);
                // Roll up and yaw down by one degree a frame from draws in [0, 359): what is
                // left of roll - yaw after the frames flown, (130 - z) / 0.5, is a difference
                // of two draws.
                const double drawn = double(p->roll - p->yaw) - (130.0 - p->z) * 4;
                EXPECT_GT(drawn, -359.0);
                EXPECT_LT(drawn, 359.0);
                EXPECT_GE(p->x, -15.0f);
                EXPECT_LT(p->x, 15.0f);
                EXPECT_GE(p->y, -15.0f);
                EXPECT_LT(p->y, 20.0f);
            }
        } else {
            // Phase 3: each word fades in by 0.01 and shrinks by 0.003 per frame from the first
            // frame past its tick; the fourth (after 656) is not drawn yet.
            EXPECT_EQ(parte, 3);
            const float from[4] = {476, 536, 586, 656};
            for (int i = 0; i < 4; ++i) {
                SCOPED_TRACE(i);
                const int n = FramesAbove(from[i], frame);
                const ttitulo& t = *titulo[std::size_t(i)];
                // Fading stops once at 1 or above (after 101 steps of a float 0.01), shrinking
                // once at 1 or below (after 100 steps of 0.003).
                EXPECT_NEAR(t.alfa, 0.01 * std::min(n, 101), 1e-4);
                EXPECT_NEAR(t.escala, 1.3 - 0.003 * std::min(n, 100), 1e-4);
                if (n > 0) {
                    EXPECT_GE(t.x, 398);
                    EXPECT_LE(t.x, 402);
                } else {
                    EXPECT_EQ(t.x, 400) << "never drawn";
                }
            }
        }
    };
    const std::string error = RunFramesToTicks({100, 300, 600}, [&](int tick, long frame) {
        check(tick, frame);
        return !HasFatalFailure();
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(frameOf[100], 201);
    EXPECT_EQ(frameOf[300], 601);
    EXPECT_EQ(frameOf[600], 1201);
}

} // namespace
