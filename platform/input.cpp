#include "platform/input.h"
#include "platform/input_keymap.h"

#include "platform/testing.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <csignal>
#include <deque>

namespace {
constexpr int kKeyCount = 256;

// A key press (key > 0) or a pointer move to (x, y) (key 0) queued by the test seam.
struct ScriptedEvent {
    int key = 0;
    int x = 0;
    int y = 0;
};

struct InputState {
    std::array<int, kKeyCount> hits{};
    std::array<bool, kKeyCount> down{};
    std::deque<ScriptedEvent> scripted; // key presses and pointer moves queued by the test seam
    int mouseX = 0;
    int mouseY = 0;
};

InputState& input() {
    static InputState state;
    return state;
}

// Interrupt and termination signals caught and not yet delivered as Escape presses. Written by
// the signal handler, which may run on any thread, so a lock-free atomic.
std::atomic<int> stopRequests{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int) {
    stopRequests.fetch_add(1, std::memory_order_relaxed);
}

bool validKey(int key) {
    return key > 0 && key < kKeyCount;
}

void press(int code) {
    if (!validKey(code)) return;
    input().hits[code]++;
    input().down[code] = true;
}

void release(int code) {
    if (validKey(code)) input().down[code] = false;
}

void handleEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
        if (!e.key.repeat) press(KeyCodeFromSDL(e.key.keysym.sym));
        break;
    case SDL_KEYUP:
        release(KeyCodeFromSDL(e.key.keysym.sym));
        break;
    case SDL_QUIT:
        input().hits[KEY_ESCAPE]++;
        break;
    case SDL_WINDOWEVENT:
        // SDL also posts SDL_QUIT when the last window closes; a close request of any
        // window is counted there, not here, so that one click counts once.
        break;
    case SDL_MOUSEMOTION:
        input().mouseX = e.motion.x;
        input().mouseY = e.motion.y;
        break;
    default:
        break;
    }
}
} // namespace

int KeyCodeFromSDL(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return KEY_A + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return KEY_0 + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return KEY_F1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return KEY_F1 + 12 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return KEY_NUM0 + 1 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_BACKSPACE:
        return KEY_BACKSPACE;
    case SDLK_TAB:
        return KEY_TAB;
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER:
        return KEY_ENTER;
    case SDLK_PAUSE:
        return KEY_PAUSE;
    case SDLK_CAPSLOCK:
        return KEY_CAPSLOCK;
    case SDLK_ESCAPE:
        return KEY_ESCAPE;
    case SDLK_SPACE:
        return KEY_SPACE;
    case SDLK_PAGEUP:
        return KEY_PAGEUP;
    case SDLK_PAGEDOWN:
        return KEY_PAGEDOWN;
    case SDLK_END:
        return KEY_END;
    case SDLK_HOME:
        return KEY_HOME;
    case SDLK_LEFT:
        return KEY_LEFT;
    case SDLK_UP:
        return KEY_UP;
    case SDLK_RIGHT:
        return KEY_RIGHT;
    case SDLK_DOWN:
        return KEY_DOWN;
    case SDLK_PRINTSCREEN:
        return KEY_PRINTSCREEN;
    case SDLK_INSERT:
        return KEY_INSERT;
    case SDLK_DELETE:
        return KEY_DELETE;
    case SDLK_LGUI:
        return KEY_LSYS;
    case SDLK_RGUI:
        return KEY_RSYS;
    case SDLK_APPLICATION:
        return KEY_MENU;
    case SDLK_KP_0:
        return KEY_NUM0;
    case SDLK_KP_MULTIPLY:
        return KEY_NUMMULTIPLY;
    case SDLK_KP_PLUS:
        return KEY_NUMADD;
    case SDLK_KP_MINUS:
        return KEY_NUMSUBTRACT;
    case SDLK_KP_PERIOD:
        return KEY_NUMDECIMAL;
    case SDLK_KP_DIVIDE:
        return KEY_NUMDIVIDE;
    case SDLK_NUMLOCKCLEAR:
        return KEY_NUMLOCK;
    case SDLK_SCROLLLOCK:
        return KEY_SCROLLLOCK;
    case SDLK_LSHIFT:
        return KEY_LSHIFT;
    case SDLK_RSHIFT:
        return KEY_RSHIFT;
    case SDLK_LCTRL:
        return KEY_LCONTROL;
    case SDLK_RCTRL:
        return KEY_RCONTROL;
    case SDLK_LALT:
        return KEY_LALT;
    case SDLK_RALT:
        return KEY_RALT;
    case SDLK_SEMICOLON:
        return KEY_SEMICOLON;
    case SDLK_EQUALS:
        return KEY_EQUALS;
    case SDLK_COMMA:
        return KEY_COMMA;
    case SDLK_MINUS:
        return KEY_MINUS;
    case SDLK_PERIOD:
        return KEY_PERIOD;
    case SDLK_SLASH:
        return KEY_SLASH;
    case SDLK_BACKQUOTE:
        return KEY_TILDE;
    case SDLK_LEFTBRACKET:
        return KEY_OPENBRACKET;
    case SDLK_BACKSLASH:
        return KEY_BACKSLASH;
    case SDLK_RIGHTBRACKET:
        return KEY_CLOSEBRACKET;
    case SDLK_QUOTE:
        return KEY_QUOTES;
    default:
        return 0;
    }
}

void PumpInputEvents() {
    InputState& in = input();
    // Scripted presses arrive as a press and a release, and scripted moves as the pointer's new
    // position, in the order they were queued.
    while (!in.scripted.empty()) {
        const ScriptedEvent e = in.scripted.front();
        in.scripted.pop_front();
        if (e.key == 0) {
            in.mouseX = e.x;
            in.mouseY = e.y;
            continue;
        }
        press(e.key);
        release(e.key);
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    in.hits[KEY_ESCAPE] += stopRequests.exchange(0, std::memory_order_relaxed);
    SDL_Event e;
    while (SDL_PollEvent(&e)) handleEvent(e);
}

void ResetInputState() {
    InputState& in = input();
    in.hits.fill(0);
    in.down.fill(false);
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
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int KeyHit(int key) {
    PumpInputEvents();
    if (!validKey(key)) return 0;
    const int n = input().hits[key];
    input().hits[key] = 0;
    return n;
}

int KeyDown(int key) {
    PumpInputEvents();
    return validKey(key) && input().down[key] ? 1 : 0;
}

void FlushKeys() {
    PumpInputEvents();
    input().hits.fill(0);
    input().down.fill(false);
}

int MouseX() {
    PumpInputEvents();
    return input().mouseX;
}

int MouseY() {
    PumpInputEvents();
    return input().mouseY;
}

namespace testseam {
void PushKeyPress(int keyCode) {
    if (keyCode != 0) input().scripted.push_back({keyCode, 0, 0});
}

void PushMouseMove(int x, int y) {
    input().scripted.push_back({0, x, y});
}
} // namespace testseam
