// Phases 9 to 11 rendered through the frame-capture path (capture.h: the virtual clock, 735
// sample frames per video frame): one frame of each against a stored reference, and for each a
// property reasoned out from the phase's rules.
//
// The run starts at phase 9 (StartRunAtPhase): the music plays from phase 8's end tick and the
// hand-over into phase 9 runs as the sequencer runs it, so nothing of phases 1 to 8 is in the
// picture. The references in tests/fixtures/demo/ are this test's own frames (see renderer.txt).
#include "demo/demo.h"
#include "demo/flash.h"
#include "demo/sequencer.h"
#include "demo/tfuegoestela.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "platform/pixmap.h"
#include "platform/testing.h"

#include "demo_fixture_gl.h"
#include "frame_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using demogl::DemoRunTest;
using framereference::ExpectMatchesReference;
using framereference::MaxChannelDiff;

constexpr float kStart = 3475.0f; // phase 8's end tick, where the run starts

// The music clock in the n-th frame of the run (from 1).
float ClockOfFrame(long n) {
    const double p = double(n - 1) * 735.0 + 1.0;
    return float(p / kFramesPerMs / kMsPerTick + kStart);
}

// Share of the screen pixels at which `source` is opaque that show the source's colour within 3
// levels. `texel(x, y, sx, sy)` maps a screen pixel to the source pixel drawn there, false where
// the source is not drawn. Where the mapping is not exact (a stretched image), `flatOnly` keeps
// the source pixels whose 3x3 neighbourhood is of one colour, so that nearest sampling cannot
// pick another texel. `counted` receives the number of pixels compared.
double OpaqueShareShown(const testseam::FrameCapture& shot, const TPixmap& source,
                        const std::function<bool(int x, int y, int& sx, int& sy)>& texel,
                        bool flatOnly, long& counted) {
    long same = 0;
    counted = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            int sx = 0, sy = 0;
            if (!texel(x, y, sx, sy)) continue;
            if (sx < 1 || sy < 1 || sx >= source.width - 1 || sy >= source.height - 1) continue;
            const std::uint32_t c = source.ReadPixel(sx, sy);
            if ((c >> 24) != 255 || (c & 0xffffff) == 0) continue; // black is the mask colour
            bool flat = true;
            if (flatOnly)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        flat = flat && source.ReadPixel(sx + dx, sy + dy) == c;
            if (!flat) continue;
            ++counted;
            same += MaxChannelDiff(shot.Pixel(x, y), c) <= 3;
        }
    return counted ? double(same) / double(counted) : 0.0;
}

// The files of the media folder this process holds open, by name ("estela.lap"), sorted.
std::vector<std::string> OpenMediaFiles() {
    std::vector<std::string> open;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::read_symlink(fd.path(), ec);
        if (!ec && target.parent_path().filename() == "media")
            open.push_back(target.filename().string());
    }
    std::sort(open.begin(), open.end());
    return open;
}

TEST_F(DemoRunTest, LatePhasesMatchTheirReferencesAndReasonedProperties) {
    DemoStartup();
    ASSERT_TRUE(StartRunAtPhase(9));
    ASSERT_EQ(parte, 9);
    PixmapRef tickerPixels = LoadPixmap("media/ticker.png");
    PixmapRef marcoPixels = LoadPixmap("media/marco.png");
    PixmapRef kolumoPixels = LoadPixmap("media/kolumo.png");
    ASSERT_NE(tickerPixels, nullptr);
    ASSERT_NE(marcoPixels, nullptr);
    ASSERT_NE(kolumoPixels, nullptr);

    bool seen9 = false, seen10 = false, seen11 = false;
    long phase10Frames = 0, phase11Frames = 0;
    float lastPhase9Dist = 0;

    const auto check9 = [&](long frame, float clock) {
        SCOPED_TRACE("phase 9");
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        ExpectMatchesReference(shot, "jump9-tick-03700.png");
        // A piece for every sincConstructorClap entry reached, and five particles for each
        // built in the last 100 frames.
        long built = 0, recent = 0;
        for (std::size_t i = 0; i + 1 < sincConstructorClap.size(); ++i) {
            const float due = float(sincConstructorClap[i]);
            if (due > clock) break;
            long at = 1;
            while (ClockOfFrame(at) < due) ++at;
            // The entries lie far enough apart to fire in the first frame that reaches them.
            ++built;
            recent += frame - at < 100;
        }
        EXPECT_EQ(built, 8);
        EXPECT_EQ(tpieza::lista_piezas->Count(), built);
        EXPECT_EQ(tparticula::lista_particulas->Count(), 5 * recent);
        EXPECT_EQ(sincConstructorClap_pos, built);
        // Phase 9 reads the scene file and the two trails.
        EXPECT_EQ(OpenMediaFiles(),
                  (std::vector<std::string>{"escenario1.esc", "estela.lap", "estela2.lap"}));
        // The main view is the last viewport set, lowered by the jolt.
        TCamera& cam = *camara;
        EXPECT_EQ(cam.vwidth, 800);
        EXPECT_EQ(cam.vheight, 536);
        EXPECT_EQ(600 - cam.vy - 536, int(32 - tamcreditos));
        // The lower ticker lies over every view, under the pens only (the flash is idle):
        // drawn at tickerx2 - 1 and 800 to the left, its top at 467 - tamcreditos.
        ASSERT_EQ(flash->estado, 0);
        const int x2 = tickerx2 == 0 ? 800 : tickerx2 - 1;
        const double top = 467.0 - double(tamcreditos);
        long counted = 0;
        const double shown = OpaqueShareShown(
            shot, *tickerPixels,
            [&](int x, int y, int& sx, int& sy) {
                sy = int(std::floor(y + 0.5 - top));
                sx = x - x2 >= 0 ? x - x2 : x - x2 + 800;
                return sy >= 0 && sy < 100 && y > 470 && sx >= 0 && sx < 800;
            },
            false, counted);
        EXPECT_GT(counted, 5000);
        EXPECT_GE(shown, 0.9) << counted << " ticker pixels";
    };
    const auto check10 = [&]() {
        SCOPED_TRACE("phase 10");
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        ExpectMatchesReference(shot, "jump9-tick-04100.png");
        // Backed away by a fifth of a unit per frame from phase 9's last distance.
        const long n = phase10Frames - 1;
        EXPECT_NEAR(camaradist, lastPhase9Dist + 0.2 * double(n), 1e-3 * double(n));
        const double d = std::sqrt(double(EntityX(camara, 1)) * EntityX(camara, 1) +
                                   double(EntityY(camara, 1)) * EntityY(camara, 1) +
                                   double(EntityZ(camara, 1)) * EntityZ(camara, 1));
        EXPECT_NEAR(d, camaradist - 0.2, 1e-2);
        // The frame overlay is drawn last but for the idle flash: its opaque pixels
        // show as they are.
        ASSERT_EQ(flash->estado, 0);
        long counted = 0;
        const double shown = OpaqueShareShown(
            shot, *marcoPixels,
            [](int x, int y, int& sx, int& sy) {
                sx = x, sy = y;
                return true;
            },
            false, counted);
        EXPECT_GT(counted, 20000);
        EXPECT_GE(shown, 0.999) << counted << " overlay pixels";
    };
    const auto check11 = [&]() {
        SCOPED_TRACE("phase 11");
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        ExpectMatchesReference(shot, "jump9-end-0120.png");
        // 120 frames of the end screen: the music is stopped, the scroller moved 240 columns, and
        // the first rocket (frame 61, a life of 90 or more) is still in flight.
        EXPECT_EQ(ChannelPlaying(musica->channel), 0);
        // The clock reads the music's start position once stopped: 0 in a run from tick 0,
        // phase 8's end tick in this one.
        EXPECT_EQ(ticks, kStart);
        EXPECT_EQ(poscreditos, 240.0f);
        EXPECT_EQ(OpenMediaFiles(), std::vector<std::string>{});
        EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
        const auto sparks = tfuegoestela::lista_fuegoestela->ToVector();
        ASSERT_FALSE(sparks.empty());
        EXPECT_EQ(sparks.front()->explota, 1);
        EXPECT_GT(sparks.front()->vida, 0);
        // The top layer, frame 1 of the strip stretched over the screen, is drawn last:
        // its opaque pixels show as they are.
        long counted = 0;
        const double shown = OpaqueShareShown(
            shot, *kolumoPixels,
            [](int x, int y, int& sx, int& sy) {
                sx = 334 + int((x + 0.5) * 334.0 / 800.0);
                sy = int((y + 0.5) * 229.0 / 600.0);
                return true;
            },
            true, counted);
        EXPECT_GT(counted, 400);
        EXPECT_GE(shown, 0.995) << counted << " top-layer pixels";
    };

    // `parte` already names the next phase in the frame of a hand-over.
    const auto each = [&](long frame) -> bool {
        const float clock = ClockOfFrame(frame);
        if (parte == 9 && !seen9 && clock >= 3700.0f) {
            seen9 = true;
            check9(frame, clock);
        }
        if (parte == 9) lastPhase9Dist = camaradist;
        if (parte == 10) {
            ++phase10Frames;
            if (phase10Frames == 1) {
                lastPhase9Dist = camaradist; // the frame of the hand-over drew phase 9
                // ... and closed every file it read.
                EXPECT_EQ(OpenMediaFiles(), std::vector<std::string>{});
            } else if (phase10Frames == 2) {
                // The first frame of phase 10 starts from phase 9's last values.
                EXPECT_NEAR(camaradist, lastPhase9Dist + 0.2f, 1e-4);
            }
            if (!seen10 && clock >= 4100.0f) {
                seen10 = true;
                check10();
            }
        }
        if (parte == 11 && ++phase11Frames == 121) { // the first is the hand-over frame
            seen11 = true;
            check11();
            return false;
        }
        return !HasFatalFailure();
    };
    RunFrames(1800, each);
    EXPECT_TRUE(seen9);
    EXPECT_TRUE(seen10);
    EXPECT_TRUE(seen11);
}

} // namespace

// The capture clock runs on through the hand-over into the end screen: past the main song's
// end it counts the end-screen song's time, half a tick per video frame, from where the music
// clock stopped.
TEST_F(DemoRunTest, CaptureClockCarriesOnIntoTheEndScreen) {
    DemoStartup();
    ASSERT_TRUE(StartRunAtPhase(10));
    const float start = float(PhaseEndTick(9));
    std::vector<std::pair<long, int>> reached; // frame and phase
    const std::string error = RunFramesToTicks({4100, 4300}, [&](int, long frame) {
        reached.push_back({frame, parte});
        return true;
    });
    ASSERT_EQ(error, "");
    ASSERT_EQ(reached.size(), 2u);
    // 4100 on the music clock, in phase 10.
    long expected = 1;
    while (float(((expected - 1) * 735.0 + 1.0) / kFramesPerMs / kMsPerTick + start) < 4100.0f)
        ++expected;
    EXPECT_EQ(reached[0], (std::pair<long, int>{expected, 10}));
    // 4300 on the end screen, 200 ticks (400 frames) later, within a frame of the hand-over.
    EXPECT_EQ(reached[1].second, 11);
    EXPECT_NEAR(double(reached[1].first - reached[0].first), 400.0, 1.0);
}
