// examples/overlay.cpp run for some frames: the HUD drawn after RenderWorld lies over the 3D
// cube, the cube shows where the HUD leaves it open, and the 2D background drawn before
// RenderWorld survives around the cube.
#include "example_run.h"

int RunOverlayExample();

namespace {
using namespace exampletest;

// As examples/overlay.cpp draws them: the energy bar's fill (its left end at x 53, rows 551 to
// 569), the crosshair's colour and its arms from 5 to 14 pixels off the pointer, and the see-
// through title bar over rows 0 to 39.
constexpr std::uint32_t kEnergy = 0xff000000u | 40u << 16 | 220u << 8 | 60u;
constexpr std::uint32_t kCrosshair = 0xff000000u | 255u << 16 | 230u << 8 | 0u;

// True when a pixel of the column x, rows y - 1 to y + 1, has the colour (a one-pixel line
// drawn along a row lands on one of them).
bool lineAt(const testseam::FrameCapture& f, int x, int y, std::uint32_t colour) {
    for (int dy = -1; dy <= 1; ++dy)
        if (Near(f.Pixel(x, y + dy), colour, 2)) return true;
    return false;
}

bool cubeColoured(std::uint32_t argb) {
    const Rgb c = Channels(argb);
    return c.r > 90 && c.r > c.g + 30 && c.r > c.b + 30;
}

TEST(OverlayExample, HudLiesOverTheWorldAndTheBackgroundUnderIt) {
    testseam::FrameCapture frame;
    const int status = RunExample(&RunOverlayExample, 12, [&](int n) {
        if (n == 2) testseam::PushMouseMove(400, 300); // the pointer over the cube's middle
        if (n == 12) {
            frame = testseam::CaptureFrame();
            MaybeSaveFrame("overlay");
        }
    });
    ASSERT_EQ(status, 0);
    ASSERT_FALSE(frame.rgba.empty());

    // The crosshair's arms lie over the cube; its open centre and the gaps beside the arms
    // show the cube.
    for (const Pixel& arm : {Pixel{391, 300}, Pixel{409, 300}})
        EXPECT_TRUE(lineAt(frame, arm.x, arm.y, kCrosshair))
            << "no crosshair at (" << arm.x << ", " << arm.y << ")";
    for (const Pixel& arm : {Pixel{400, 291}, Pixel{400, 309}}) {
        bool found = false;
        for (int dx = -1; dx <= 1; ++dx)
            found = found || Near(frame.Pixel(arm.x + dx, arm.y), kCrosshair, 2);
        EXPECT_TRUE(found) << "no crosshair at (" << arm.x << ", " << arm.y << ")";
    }
    for (const Pixel& open : {Pixel{400, 300}, Pixel{398, 302}, Pixel{391, 306}, Pixel{409, 294}})
        EXPECT_TRUE(cubeColoured(frame.Pixel(open.x, open.y)))
            << "(" << open.x << ", " << open.y << ") is " << Describe(frame.Pixel(open.x, open.y));

    // The energy bar: solid fill at its left end (never less than a tenth full).
    for (int y = 553; y <= 567; y += 7)
        for (int x = 55; x <= 70; x += 5)
            EXPECT_TRUE(Near(frame.Pixel(x, y), kEnergy, 1))
                << "(" << x << ", " << y << ") is " << Describe(frame.Pixel(x, y));

    // The background beside the cube, which the camera did not clear: the sky's colour, the
    // same on both sides (it only changes from top to bottom) and not the camera's black.
    const std::uint32_t left = frame.Pixel(60, 300), right = frame.Pixel(740, 300);
    const Rgb sky = Channels(left);
    EXPECT_GT(sky.r + sky.g + sky.b, 150) << Describe(left);
    EXPECT_TRUE(Near(left, right, 2)) << Describe(left) << " and " << Describe(right);
    EXPECT_FALSE(cubeColoured(left));

    // The title bar lets the sky show through, darkened: 45% of the sky just below the bar.
    for (int x : {480, 760}) {
        const Rgb under = Channels(frame.Pixel(x, 25)), open = Channels(frame.Pixel(x, 45));
        for (auto [bar, sky_below] :
             {std::pair{under.r, open.r}, std::pair{under.g, open.g}, std::pair{under.b, open.b}})
            EXPECT_NEAR(bar, 0.45 * sky_below, 6) << "at x " << x;
    }
}

} // namespace
