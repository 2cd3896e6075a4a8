// The display: its buffers, frame persistence across Flip, frame pacing and frame capture.
#include "gl_fixture.h"

#include "platform/clock.h"
#include "platform/display_connection.h"
#include "platform/error.h"
#include "platform/internal.h"
#include "platform/testing.h"
#include "x_window_probe.h"

#include <SDL.h>

#include <filesystem>

namespace {
using namespace gltest;
using testseam::CaptureFrame;

class DisplayTest : public GLTest {};

TEST_F(DisplayTest, OpensTheAskedSizeWithDepthAndAccumulationBuffers) {
    EXPECT_EQ(GraphicsWidth(), kWidth);
    EXPECT_EQ(GraphicsHeight(), kHeight);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kWidth);
    EXPECT_EQ(viewport[3], kHeight);
    GLint bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &bits);
    EXPECT_GE(bits, 24);
    for (GLenum channel : {GL_ACCUM_RED_BITS, GL_ACCUM_GREEN_BITS, GL_ACCUM_BLUE_BITS}) {
        glGetIntegerv(channel, &bits);
        EXPECT_GE(bits, 16);
    }
    GLint doubleBuffered = 0;
    glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_TRUE(doubleBuffered);
}

TEST_F(DisplayTest, AccumulationAveragesTwoFramesExactly) {
    // a and b differ in every channel; 0.5 a + 0.5 b must come back within 1/255.
    struct Pair {
        std::uint32_t a, b;
    };
    const Pair pairs[] = {{Rgb(255, 0, 100), Rgb(1, 255, 201)},
                          {Rgb(10, 20, 30), Rgb(250, 240, 230)},
                          {Rgb(128, 64, 3), Rgb(129, 66, 8)}};
    for (const Pair& p : pairs) {
        SetClsColor(p.a >> 16 & 255, p.a >> 8 & 255, p.a & 255);
        Cls();
        glAccum(GL_LOAD, 0.5f);
        SetClsColor(p.b >> 16 & 255, p.b >> 8 & 255, p.b & 255);
        Cls();
        glAccum(GL_ACCUM, 0.5f);
        glAccum(GL_RETURN, 1.0f);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        const auto f = CaptureFrame();
        for (int shift : {16, 8, 0}) {
            const double want = ((p.a >> shift & 255) + (p.b >> shift & 255)) / 2.0;
            const int got = int(At(f, 400, 300) >> shift & 255);
            EXPECT_NEAR(got, want, 1.0) << Hex(p.a) << " + " << Hex(p.b) << " shift " << shift;
        }
    }
}

// Whichever way the frame is kept: by a swap that copies where the display has one, by Flip's
// own copies, and whatever the swap leaves in the back buffer (Flip copies the frame back).
TEST_F(DisplayTest, FrameContentSurvivesFlipAndTheNextFrameDrawsOverIt) {
    struct Mode {
        const char* name;
        bool loseBackBuffer, forceCopies;
    };
    const Mode modes[] = {{"as the display keeps it", false, false},
                          {"by copies", false, true},
                          {"over a spoilt back buffer", true, false}};
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.name);
        ResetDrawing();
        Flip(0);
        testseam::SetLoseBackBufferOnSwap(m.loseBackBuffer);
        testseam::SetFrameCopiesOnFlip(m.forceCopies);
        SetColor(200, 40, 120);
        DrawRect(100, 100, 50, 30);
        SetColor(10, 220, 30);
        DrawRect(0, 590, 800, 10); // along the bottom edge
        Flip(0);
        Flip(0);
        auto f = CaptureFrame();
        EXPECT_TRUE(RectIs(f, 100, 100, 50, 30, Rgb(200, 40, 120)));
        EXPECT_TRUE(RectIs(f, 0, 590, 800, 10, Rgb(10, 220, 30)));
        EXPECT_EQ(At(f, 99, 100), Rgb(0, 0, 0));

        // A background drawn at half alpha over the last frame, as the demo does.
        SetBlend(ALPHABLEND);
        SetAlpha(0.5f);
        SetColor(0, 0, 255);
        DrawRect(0, 0, 800, 600);
        Flip(-1);
        f = CaptureFrame();
        EXPECT_TRUE(RectIs(f, 100, 100, 50, 30, Rgb(100, 20, 188), 1));
        EXPECT_TRUE(RectIs(f, 0, 0, 50, 50, Rgb(0, 0, 128), 1));
        testseam::SetLoseBackBufferOnSwap(false);
        testseam::SetFrameCopiesOnFlip(false);
    }
}

TEST_F(DisplayTest, FlipHoldsFramesToDeadlinesOnTheVirtualClock) {
    // Far beyond any deadline left from opening the display, so the first paced Flip re-bases.
    constexpr double kStart = 1.0e6;
    testseam::SetUnpacedFlip(false);
    testseam::UseVirtualClock(true, kStart);
    Flip(0); // no wait at all
    EXPECT_EQ(Millisecs(), 1000000);

    // Behind by more than a frame: the deadline is re-based on the present, no wait.
    Flip(-1);
    EXPECT_EQ(ClockNowMs(), kStart);
    // Then one frame period of 1000/60 ms after the previous deadline, however quick the frame.
    for (int frame = 1; frame <= 60; ++frame) {
        testseam::AdvanceVirtualClock(3.0);
        Flip(-1);
        EXPECT_NEAR(ClockNowMs(), kStart + frame * 1000.0 / 60, 1e-6) << "frame " << frame;
    }
    EXPECT_EQ(Millisecs(), 1001000);
    // A slow frame that still ends within its period keeps the rhythm.
    testseam::AdvanceVirtualClock(16.0);
    Flip(1); // a positive sync paces like -1
    EXPECT_NEAR(ClockNowMs(), kStart + 1000.0 + 1000.0 / 60, 1e-6);
    // A frame that ends late, but by less than a period, is shown at once; the next deadline
    // still counts from the missed one, so the rhythm catches up.
    testseam::AdvanceVirtualClock(16.6667 + 10.0);
    const double missed = kStart + 1000.0 + 2 * 1000.0 / 60;
    const double lateBy10 = ClockNowMs();
    Flip(-1);
    EXPECT_EQ(ClockNowMs(), lateBy10);
    Flip(-1);
    EXPECT_NEAR(ClockNowMs(), missed + 1000.0 / 60, 1e-6);
    // A frame late by more than a period re-bases: no wait, the next deadline counts from now.
    testseam::AdvanceVirtualClock(100.0);
    const double late = ClockNowMs();
    Flip(-1);
    EXPECT_EQ(ClockNowMs(), late);
    Flip(-1);
    EXPECT_NEAR(ClockNowMs(), late + 1000.0 / 60, 1e-6);
    // Delay moves the virtual time instead of sleeping.
    Delay(250);
    EXPECT_NEAR(ClockNowMs(), late + 1000.0 / 60 + 250, 1e-6);

    testseam::UseVirtualClock(false);
    testseam::SetUnpacedFlip(true);
}

TEST_F(DisplayTest, CaptureGivesTheTopRowFirstAndWritesAPng) {
    SetColor(255, 0, 0);
    DrawRect(0, 0, 1, 1);
    SetColor(0, 0, 255);
    DrawRect(799, 599, 1, 1);
    const auto f = CaptureFrame();
    ASSERT_EQ(f.width, kWidth);
    ASSERT_EQ(f.height, kHeight);
    ASSERT_EQ(f.rgba.size(), std::size_t(kWidth) * kHeight * 4);
    EXPECT_EQ(f.rgba[0], 255);
    EXPECT_EQ(f.rgba[2], 0);
    EXPECT_EQ(At(f, 799, 599), Rgb(0, 0, 255));

    const auto path = std::filesystem::temp_directory_path() / "display_test_capture.png";
    ASSERT_TRUE(testseam::CaptureFramePNG(path.string()));
    PixmapRef back = LoadPixmap(path.string());
    std::filesystem::remove(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, kWidth);
    EXPECT_EQ(back->height, kHeight);
    EXPECT_EQ(back->ReadPixel(0, 0) | 0xff000000u, Rgb(255, 0, 0));
    EXPECT_EQ(back->ReadPixel(799, 599) | 0xff000000u, Rgb(0, 0, 255));
    EXPECT_EQ(back->ReadPixel(400, 300) | 0xff000000u, Rgb(0, 0, 0));
}

TEST_F(DisplayTest, AnImpossibleDisplayIsAFatalErrorNamingTheCauseAndLeavesTheOpenOne) {
    struct Fatal {
        std::string message;
    };
    testseam::SetExitHook([](int, std::string_view message) { throw Fatal{std::string(message)}; });
    try {
        Graphics(0, 600, 0, 60, 2);
        ADD_FAILURE() << "Graphics returned";
    } catch (const Fatal& e) {
        EXPECT_EQ(e.message, "Unable to open the display: bad size 0x600");
    }
    testseam::SetExitHook(nullptr);
    EXPECT_TRUE(GraphicsOpen());
    EXPECT_EQ(GraphicsWidth(), kWidth);
}
TEST_F(DisplayTest, ADisplayTheSystemRefusesIsAFatalErrorWithTheSystemsReason) {
    struct Fatal {
        std::string message;
    };
    testseam::SetExitHook([](int, std::string_view message) { throw Fatal{std::string(message)}; });
    setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    try {
        Graphics(kWidth, kHeight, 0, 60, 2);
        ADD_FAILURE() << "Graphics returned";
    } catch (const Fatal& e) {
        EXPECT_EQ(e.message.rfind("Unable to open the display: ", 0), 0u) << e.message;
        EXPECT_GT(e.message.size(), std::string("Unable to open the display: ").size());
    }
    unsetenv("SDL_VIDEODRIVER");
    testseam::SetExitHook(nullptr);
    EXPECT_FALSE(GraphicsOpen());
    EXPECT_EQ(GraphicsWidth(), 0);
    // Drawing without a display does nothing, and a display opens again afterwards.
    DrawRect(0, 0, 10, 10);
    Cls();
    Flip(-1);
    EXPECT_TRUE(CaptureFrame().rgba.empty());
    EnsureDisplay();
    EXPECT_TRUE(GraphicsOpen());
}

// The video layer's drivers that draw off-screen are refused by name, so that the program never
// runs on with nothing on screen; the display opens again afterwards.
TEST_F(DisplayTest, AnOffScreenVideoDriverIsRefusedWithAMessage) {
    struct Fatal {
        std::string message;
    };
    for (const char* driver : {"offscreen", "dummy"}) {
        EndGraphics();
        testseam::SetExitHook(
            [](int, std::string_view message) { throw Fatal{std::string(message)}; });
        setenv("SDL_VIDEODRIVER", driver, 1);
        try {
            Graphics(kWidth, kHeight, 0, 60, 2);
            ADD_FAILURE() << driver << ": Graphics returned";
        } catch (const Fatal& e) {
            EXPECT_EQ(e.message, std::string("Unable to open the display: the '") + driver +
                                     "' video driver shows nothing on screen");
        }
        unsetenv("SDL_VIDEODRIVER");
        testseam::SetExitHook(nullptr);
        EXPECT_FALSE(GraphicsOpen()) << driver;
        EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO)) << driver << ": the video layer is left closed";
    }
    EnsureDisplay();
    EXPECT_TRUE(GraphicsOpen());
    EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
}

// The test screen is 800x600: that size has a full-screen mode, 640x480 has none and opens a
// window of its own size instead.
TEST_F(DisplayTest, NonZeroDepthOpensFullScreenWhenTheScreenHasThatSize) {
    struct Case {
        int width, height;
        bool fullScreen;
    };
    for (const Case c : {Case{800, 600, true}, Case{640, 480, false}}) {
        Graphics(c.width, c.height, 32, 60, 2 | 8);
        SDL_Window* window = SDL_GL_GetCurrentWindow();
        ASSERT_TRUE(window);
        // Full screen is the system's full-screen mode where a window manager runs, and a
        // window without borders over the whole screen where none does (as under Xvfb).
        const Uint32 flags = SDL_GetWindowFlags(window);
        SDL_Rect bounds{}, placed{};
        ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds), 0);
        SDL_GetWindowPosition(window, &placed.x, &placed.y);
        SDL_GetWindowSize(window, &placed.w, &placed.h);
        const bool coversScreen =
            (flags & SDL_WINDOW_BORDERLESS) && SDL_RectEquals(&placed, &bounds);
        EXPECT_EQ((flags & SDL_WINDOW_FULLSCREEN) != 0 || coversScreen, c.fullScreen);
        EXPECT_FALSE((flags & SDL_WINDOW_FULLSCREEN) && (flags & SDL_WINDOW_BORDERLESS));
        if (!c.fullScreen) {
            EXPECT_FALSE(flags & SDL_WINDOW_BORDERLESS) << "a window again has its borders";
        }
        EXPECT_EQ(GraphicsDepth(), c.fullScreen ? 32 : 0);
        EXPECT_EQ(GraphicsWidth(), c.width);
        SetColor(0, 255, 0);
        DrawRect(float(c.width - 2), float(c.height - 2), 2, 2);
        const auto f = CaptureFrame();
        EXPECT_EQ(f.width, c.width);
        EXPECT_EQ(f.height, c.height);
        EXPECT_EQ(At(f, c.width - 1, c.height - 1), Rgb(0, 255, 0));
        EXPECT_EQ(At(f, 0, 0), Rgb(0, 0, 0));
    }
    EndGraphics();
    EnsureDisplay();
}

// A window manager is found by the mark it leaves on the root window; a mark naming a window
// that is gone counts as none.
TEST_F(DisplayTest, FindsWhetherAWindowManagerRuns) {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    ASSERT_TRUE(window);
    const char* name = std::getenv("DISPLAY");
    if (!name || !VideoOnX11()) GTEST_SKIP() << "not on an X server";
    const struct {
        const char* what;
        WindowManagerMark mark;
        bool without;
    } cases[] = {
        {"no mark", WindowManagerMark::Absent, true},
        {"a live mark", WindowManagerMark::Live, false},
        {"a stale mark", WindowManagerMark::Stale, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeWindowManager wm(name, c.mark);
        if (!wm.placed()) GTEST_SKIP() << "a window manager runs on this server";
        EXPECT_EQ(X11WithoutWindowManager(window), c.without);
    }
    EXPECT_FALSE(X11WithoutWindowManager(nullptr));
}

TEST(PlatformStartTest, ChangeToExecutableDirEntersTheProgramsFolder) {
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    ASSERT_TRUE(ChangeToExecutableDir());
    EXPECT_EQ(std::filesystem::current_path(),
              std::filesystem::canonical("/proc/self/exe").parent_path());
    std::filesystem::current_path(before);
}
} // namespace
