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
        FlushMouse();
    }

    static void pushButton(Uint32 type, Uint8 button) {
        SDL_Event e{};
        e.type = type;
        e.button.type = type;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.button = button;
        e.button.clicks = 1;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }

    static void pushWheel(int y, bool flipped = false) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.type = SDL_MOUSEWHEEL;
        e.wheel.y = y;
        e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
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
    testseam::PushKeyPress(Key::Escape);
    testseam::PushKeyPress(Key::Escape);
    testseam::PushKeyPress(Key::Comma);
    EXPECT_EQ(KeyHit(Key::Escape), 2);
    EXPECT_EQ(KeyHit(Key::Escape), 0);
    EXPECT_EQ(KeyDown(Key::Comma), 0); // pressed and released
    EXPECT_EQ(KeyHit(Key::Comma), 1);
    EXPECT_EQ(KeyHit(Key::Period), 0);
    testseam::PushKeyPress(Key::F1);
    Flip(0); // the flip pumps too
    EXPECT_EQ(KeyHit(Key::F1), 1);
    testseam::PushKeyPress(Key::A);
    FlushKeys();
    EXPECT_EQ(KeyHit(Key::A), 0);
}

TEST_F(InputTest, KeyboardEventsCountPressesButNotAutoRepeat) {
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_a, true);
    pushKey(SDL_KEYDOWN, SDLK_a, true);
    EXPECT_EQ(KeyDown(Key::A), 1);
    pushKey(SDL_KEYUP, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYUP, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_2);
    EXPECT_EQ(KeyDown(Key::A), 0);
    EXPECT_EQ(KeyHit(Key::A), 2);
    EXPECT_EQ(KeyHit(50), 1);
    EXPECT_EQ(KeyHit(Key::A), 0);
}

TEST_F(InputTest, MouseButtonsCountClicksAndHoldByTheirOwnNumbers) {
    // SDL numbers the middle button 2 and the right one 3; programs see right 2, middle 3.
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
    EXPECT_EQ(MouseDown(MouseButton::Right), 1);
    EXPECT_EQ(MouseDown(MouseButton::Middle), 0);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X2);
    EXPECT_EQ(MouseDown(MouseButton::Right), 0);
    EXPECT_EQ(MouseHit(MouseButton::Right), 1);
    EXPECT_EQ(MouseHit(MouseButton::Right), 0);
    EXPECT_EQ(MouseHit(MouseButton::Middle), 1);
    EXPECT_EQ(MouseDown(MouseButton::Middle), 1);
    EXPECT_EQ(MouseHit(MouseButton::Forward), 1);
    EXPECT_EQ(MouseHit(MouseButton::Left), 0);
    for (int outside : {0, -1, 6, 1000}) {
        EXPECT_EQ(MouseHit(outside), 0) << outside;
        EXPECT_EQ(MouseDown(outside), 0) << outside;
    }
    FlushMouse();
    EXPECT_EQ(MouseDown(MouseButton::Middle), 0);

    testseam::PushMouseClick(MouseButton::Left);
    testseam::PushMouseClick(MouseButton::Left);
    testseam::PushMouseClick(99); // no such button: ignored
    Flip(0);
    EXPECT_EQ(MouseHit(MouseButton::Left), 2);
    EXPECT_EQ(MouseDown(MouseButton::Left), 0);
}

TEST_F(InputTest, WheelKeepsAPositionAndCountsTurnsSinceTheLastAsk) {
    pushWheel(2);
    pushWheel(-1);
    pushWheel(1, true); // a flipped wheel reports turns the other way round
    EXPECT_EQ(MouseZ(), 0);
    EXPECT_EQ(MouseZSpeed(), 0);
    testseam::PushMouseWheel(3);
    EXPECT_EQ(MouseZSpeed(), 3);
    EXPECT_EQ(MouseZ(), 3);
    pushWheel(1);
    EXPECT_EQ(MouseZ(), 4);
    EXPECT_EQ(MouseZSpeed(), 1);
    EXPECT_EQ(MouseZSpeed(), 0);
    FlushMouse();
    EXPECT_EQ(MouseZ(), 0);
    EXPECT_EQ(MouseZSpeed(), 0);
}

TEST_F(InputTest, ClosingTheWindowCountsAsEscape) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    EXPECT_EQ(KeyHit(Key::Escape), 1);
    EXPECT_EQ(KeyHit(Key::Escape), 0);
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
    EXPECT_EQ(KeyHit(Key::Escape), 1);
    EXPECT_EQ(KeyHit(Key::Escape), 0);
    // A second interrupt would end the process; the termination signal is still caught once.
    EXPECT_EQ(SignalHandler(SIGINT), SIG_DFL);
    EXPECT_NE(SignalHandler(SIGTERM), SIG_DFL);
    std::raise(SIGTERM);
    EXPECT_EQ(KeyHit(Key::Escape), 1);
    EXPECT_EQ(SignalHandler(SIGTERM), SIG_DFL);
}

TEST_F(InputTest, AStopSignalBeforeTheDisplayOpensWaitsForIt) {
    stoptest::DefaultStopSignalsAfter restore;
    EndGraphics();
    CatchStopSignals();
    std::raise(SIGTERM);
    EXPECT_EQ(KeyHit(Key::Escape), 0) << "no display, no events";
    EnsureDisplay(); // opening starts the input state afresh
    EXPECT_EQ(KeyHit(Key::Escape), 1);
    EXPECT_EQ(KeyHit(Key::Escape), 0);
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
