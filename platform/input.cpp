#include "platform/input.h"
#include "platform/input_keymap.h"

#include "platform/internal.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <csignal>
#include <deque>

namespace {
constexpr int kKeyCount = 256;
constexpr int kButtonCount = 6; // buttons 1..5

// Keys or buttons numbered 1..N-1: presses not yet taken, and which are held down. Numbers
// outside that range are ignored and read 0.
template <int N> struct Switches {
    std::array<int, N> hits{};
    std::array<bool, N> down{};

    static bool Valid(int i) { return i > 0 && i < N; }
    void Press(int i) {
        if (!Valid(i)) return;
        hits[std::size_t(i)]++;
        down[std::size_t(i)] = true;
    }
    void Release(int i) {
        if (Valid(i)) down[std::size_t(i)] = false;
    }
    // The presses since the last take, then none.
    int Take(int i) {
        if (!Valid(i)) return 0;
        const int n = hits[std::size_t(i)];
        hits[std::size_t(i)] = 0;
        return n;
    }
    int Held(int i) const { return Valid(i) && down[std::size_t(i)] ? 1 : 0; }
    void Clear() {
        hits.fill(0);
        down.fill(false);
    }
};

struct InputState {
    Switches<kKeyCount> keys;
    Switches<kButtonCount> buttons;
    int mouseX = 0;
    int mouseY = 0;
    int wheel = 0;      // MouseZ
    int wheelTurns = 0; // not yet read by MouseZSpeed
};

InputState& input() {
    static InputState state;
    return state;
}

// Interrupt, termination and hang-up signals caught and not yet delivered as Escape presses.
// Written by the signal handler, which may run on any thread, so a lock-free atomic.
std::atomic<int> stopRequests{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int) {
    stopRequests.fetch_add(1, std::memory_order_relaxed);
}

// The button number of MouseHit and MouseDown for an SDL button, 0 for one that has none.
int buttonFromSDL(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return MouseButton::Left;
    case SDL_BUTTON_RIGHT:
        return MouseButton::Right;
    case SDL_BUTTON_MIDDLE:
        return MouseButton::Middle;
    case SDL_BUTTON_X1:
        return MouseButton::Back;
    case SDL_BUTTON_X2:
        return MouseButton::Forward;
    default:
        return 0;
    }
}

void turnWheel(int notches) {
    input().wheel += notches;
    input().wheelTurns += notches;
}

void handleEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
        if (!e.key.repeat) input().keys.Press(KeyCodeFromSDL(e.key.keysym.sym));
        break;
    case SDL_KEYUP:
        input().keys.Release(KeyCodeFromSDL(e.key.keysym.sym));
        break;
    case SDL_QUIT:
        input().keys.hits[Key::Escape]++;
        break;
    case SDL_WINDOWEVENT:
        // SDL also posts SDL_QUIT when the last window closes; a close request of any
        // window is counted there, not here, so that one click counts once.
        break;
    case SDL_MOUSEMOTION:
        input().mouseX = e.motion.x;
        input().mouseY = e.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
        input().buttons.Press(buttonFromSDL(e.button.button));
        break;
    case SDL_MOUSEBUTTONUP:
        input().buttons.Release(buttonFromSDL(e.button.button));
        break;
    case SDL_MOUSEWHEEL:
        turnWheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
        break;
    default:
        break;
    }
}
} // namespace

std::deque<QueuedInput>& QueuedInputEvents() {
    static std::deque<QueuedInput> events;
    return events;
}

int KeyCodeFromSDL(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return Key::A + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return Key::Digit0 + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return Key::F1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return Key::F1 + 12 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return Key::Keypad0 + 1 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_BACKSPACE:
        return Key::Backspace;
    case SDLK_TAB:
        return Key::Tab;
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER:
        return Key::Enter;
    case SDLK_PAUSE:
        return Key::Pause;
    case SDLK_CAPSLOCK:
        return Key::CapsLock;
    case SDLK_ESCAPE:
        return Key::Escape;
    case SDLK_SPACE:
        return Key::Space;
    case SDLK_PAGEUP:
        return Key::PageUp;
    case SDLK_PAGEDOWN:
        return Key::PageDown;
    case SDLK_END:
        return Key::End;
    case SDLK_HOME:
        return Key::Home;
    case SDLK_LEFT:
        return Key::Left;
    case SDLK_UP:
        return Key::Up;
    case SDLK_RIGHT:
        return Key::Right;
    case SDLK_DOWN:
        return Key::Down;
    case SDLK_PRINTSCREEN:
        return Key::PrintScreen;
    case SDLK_INSERT:
        return Key::Insert;
    case SDLK_DELETE:
        return Key::Delete;
    case SDLK_LGUI:
        return Key::LeftSystem;
    case SDLK_RGUI:
        return Key::RightSystem;
    case SDLK_APPLICATION:
        return Key::Menu;
    case SDLK_KP_0:
        return Key::Keypad0;
    case SDLK_KP_MULTIPLY:
        return Key::KeypadMultiply;
    case SDLK_KP_PLUS:
        return Key::KeypadAdd;
    case SDLK_KP_MINUS:
        return Key::KeypadSubtract;
    case SDLK_KP_PERIOD:
        return Key::KeypadDecimal;
    case SDLK_KP_DIVIDE:
        return Key::KeypadDivide;
    case SDLK_NUMLOCKCLEAR:
        return Key::NumLock;
    case SDLK_SCROLLLOCK:
        return Key::ScrollLock;
    case SDLK_LSHIFT:
        return Key::LeftShift;
    case SDLK_RSHIFT:
        return Key::RightShift;
    case SDLK_LCTRL:
        return Key::LeftControl;
    case SDLK_RCTRL:
        return Key::RightControl;
    case SDLK_LALT:
        return Key::LeftAlt;
    case SDLK_RALT:
        return Key::RightAlt;
    case SDLK_SEMICOLON:
        return Key::Semicolon;
    case SDLK_EQUALS:
        return Key::Equals;
    case SDLK_COMMA:
        return Key::Comma;
    case SDLK_MINUS:
        return Key::Minus;
    case SDLK_PERIOD:
        return Key::Period;
    case SDLK_SLASH:
        return Key::Slash;
    case SDLK_BACKQUOTE:
        return Key::Tilde;
    case SDLK_LEFTBRACKET:
        return Key::OpenBracket;
    case SDLK_BACKSLASH:
        return Key::Backslash;
    case SDLK_RIGHTBRACKET:
        return Key::CloseBracket;
    case SDLK_QUOTE:
        return Key::Quotes;
    default:
        return 0;
    }
}

void PumpInputEvents() {
    InputState& in = input();
    // Queued presses and clicks arrive as a press and a release, queued moves as the pointer's
    // new position, in the order they were queued.
    std::deque<QueuedInput>& queued = QueuedInputEvents();
    while (!queued.empty()) {
        const QueuedInput e = queued.front();
        queued.pop_front();
        switch (e.kind) {
        case QueuedInput::KeyPress:
            in.keys.Press(e.code);
            in.keys.Release(e.code);
            break;
        case QueuedInput::PointerMove:
            in.mouseX = e.x;
            in.mouseY = e.y;
            break;
        case QueuedInput::ButtonClick:
            in.buttons.Press(e.code);
            in.buttons.Release(e.code);
            break;
        case QueuedInput::WheelTurn:
            turnWheel(e.code);
            break;
        }
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    in.keys.hits[Key::Escape] += stopRequests.exchange(0, std::memory_order_relaxed);
    SDL_Event e;
    while (SDL_PollEvent(&e)) handleEvent(e);
}

void ResetInputState() {
    InputState& in = input();
    in.keys.Clear();
    in.buttons.Clear();
    in.wheel = 0;
    in.wheelTurns = 0;
    in.mouseX = 0;
    in.mouseY = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_GetMouseState(&in.mouseX, &in.mouseY);
}

void CatchStopSignals() {
    // The video layer would otherwise put handlers of its own on these signals when its event
    // loop starts, which turn them into quit events only while events are pumped.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the second signal of a kind finds the default action again.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) sigaction(stop, &action, nullptr);
}

bool StopSignalWaiting() {
    return stopRequests.load(std::memory_order_relaxed) > 0;
}

int KeyHit(int key) {
    PumpInputEvents();
    return input().keys.Take(key);
}

int KeyDown(int key) {
    PumpInputEvents();
    return input().keys.Held(key);
}

void FlushKeys() {
    PumpInputEvents();
    input().keys.Clear();
}

int MouseX() {
    PumpInputEvents();
    return input().mouseX;
}

int MouseY() {
    PumpInputEvents();
    return input().mouseY;
}

int MouseHit(int button) {
    PumpInputEvents();
    return input().buttons.Take(button);
}

int MouseDown(int button) {
    PumpInputEvents();
    return input().buttons.Held(button);
}

int MouseZ() {
    PumpInputEvents();
    return input().wheel;
}

int MouseZSpeed() {
    PumpInputEvents();
    const int n = input().wheelTurns;
    input().wheelTurns = 0;
    return n;
}

void FlushMouse() {
    PumpInputEvents();
    input().buttons.Clear();
    input().wheel = 0;
    input().wheelTurns = 0;
}
