// Keyboard and pointer input through the event pump.
#include "gl_fixture.h"

#include "platform/input.h"
#include "stop_requests.h"

#include <SDL.h>

#include <csignal>

namespace {
using namespace gltest;

class InputTest : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        FlushKeys();
    }

    static void pushKey(Uint32 type, SDL_Keycode key, bool repeat = false) {
        SDL_Event e{};
        e.type = type;
        e.key.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = key;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
};

TEST_F(InputTest, ScriptedPressesCountUntilQueriedThenReset) {
    testseam::PushKeyPress(KEY_ESCAPE);
    testseam::PushKeyPress(KEY_ESCAPE);
    testseam::PushKeyPress(KEY_COMMA);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 2);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 0);
    EXPECT_EQ(KeyDown(KEY_COMMA), 0); // pressed and released
    EXPECT_EQ(KeyHit(KEY_COMMA), 1);
    EXPECT_EQ(KeyHit(KEY_PERIOD), 0);
    testseam::PushKeyPress(KEY_F1);
    Flip(0); // the flip pumps too
    EXPECT_EQ(KeyHit(KEY_F1), 1);
    testseam::PushKeyPress(KEY_A);
    FlushKeys();
    EXPECT_EQ(KeyHit(KEY_A), 0);
}

TEST_F(InputTest, KeyboardEventsCountPressesButNotAutoRepeat) {
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_a, true);
    pushKey(SDL_KEYDOWN, SDLK_a, true);
    EXPECT_EQ(KeyDown(KEY_A), 1);
    pushKey(SDL_KEYUP, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYUP, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_2);
    EXPECT_EQ(KeyDown(KEY_A), 0);
    EXPECT_EQ(KeyHit(KEY_A), 2);
    EXPECT_EQ(KeyHit(50), 1);
    EXPECT_EQ(KeyHit(KEY_A), 0);
}

TEST_F(InputTest, ClosingTheWindowCountsAsEscape) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 1);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 0);
}

// The handler a signal finds now.
void (*SignalHandler(int signal))(int) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    return now.sa_handler;
}

TEST_F(InputTest, EachStopSignalCountsOnceAsEscapeThenFindsTheDefaultAction) {
    stoptest::DefaultStopSignalsAfter restore;
    // Ignored before, as a shell leaves it for a program it starts in the background: caught all
    // the same.
    std::signal(SIGINT, SIG_IGN);
    CatchStopSignals();
    std::raise(SIGINT);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 1);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 0);
    // A second interrupt would end the process; the termination signal is still caught once.
    EXPECT_EQ(SignalHandler(SIGINT), SIG_DFL);
    EXPECT_NE(SignalHandler(SIGTERM), SIG_DFL);
    std::raise(SIGTERM);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 1);
    EXPECT_EQ(SignalHandler(SIGTERM), SIG_DFL);
}

TEST_F(InputTest, AStopSignalBeforeTheDisplayOpensWaitsForIt) {
    stoptest::DefaultStopSignalsAfter restore;
    EndGraphics();
    CatchStopSignals();
    std::raise(SIGTERM);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 0) << "no display, no events";
    EnsureDisplay(); // opening starts the input state afresh
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 1);
    EXPECT_EQ(KeyHit(KEY_ESCAPE), 0);
}

TEST_F(InputTest, PointerPositionFollowsMotionInWindowPixels) {
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 123;
    motion.motion.y = 456;
    ASSERT_EQ(SDL_PushEvent(&motion), 1);
    EXPECT_EQ(MouseX(), 123);
    EXPECT_EQ(MouseY(), 456);
    HideMouse();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    ShowMouse();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}
} // namespace
