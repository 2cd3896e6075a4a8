#include "platform/input.h"
#include "platform/input_keymap.h"

#include <gtest/gtest.h>

#include <set>

namespace {
struct KeyCase {
    SDL_Keycode sdl;
    int code;
};

TEST(InputKeymapTest, SdlKeysMapToRuntimeKeyCodes) {
    const KeyCase cases[] = {
        {SDLK_ESCAPE, 27},
        {SDLK_RETURN, 13},
        {SDLK_KP_ENTER, 13},
        {SDLK_SPACE, 32},
        {SDLK_BACKSPACE, 8},
        {SDLK_TAB, 9},
        {SDLK_0, 48},
        {SDLK_1, 49},
        {SDLK_3, 51},
        {SDLK_9, 57},
        {SDLK_a, 65},
        {SDLK_m, 77},
        {SDLK_z, 90},
        {SDLK_F1, 112},
        {SDLK_F12, 123},
        {SDLK_F13, 124},
        {SDLK_LEFT, 37},
        {SDLK_UP, 38},
        {SDLK_RIGHT, 39},
        {SDLK_DOWN, 40},
        {SDLK_COMMA, 188},
        {SDLK_PERIOD, 190},
        {SDLK_MINUS, 189},
        {SDLK_EQUALS, 187},
        {SDLK_SLASH, 191},
        {SDLK_SEMICOLON, 186},
        {SDLK_QUOTE, 222},
        {SDLK_BACKQUOTE, 192},
        {SDLK_LEFTBRACKET, 219},
        {SDLK_BACKSLASH, 220},
        {SDLK_RIGHTBRACKET, 221},
        {SDLK_KP_0, 96},
        {SDLK_KP_1, 97},
        {SDLK_KP_9, 105},
        {SDLK_KP_PLUS, 107},
        {SDLK_KP_MINUS, 109},
        {SDLK_KP_MULTIPLY, 106},
        {SDLK_KP_DIVIDE, 111},
        {SDLK_KP_PERIOD, 110},
        {SDLK_LSHIFT, 160},
        {SDLK_RSHIFT, 161},
        {SDLK_LCTRL, 162},
        {SDLK_RCTRL, 163},
        {SDLK_LALT, 164},
        {SDLK_RALT, 165},
        {SDLK_HOME, 36},
        {SDLK_END, 35},
        {SDLK_PAGEUP, 33},
        {SDLK_PAGEDOWN, 34},
        {SDLK_INSERT, 45},
        {SDLK_DELETE, 46},
    };
    for (const KeyCase& c : cases) EXPECT_EQ(KeyCodeFromSDL(c.sdl), c.code) << "SDL key " << c.sdl;
}

TEST(InputKeymapTest, EveryLetterAndDigitAndFunctionKeyIsDistinct) {
    std::set<int> codes;
    for (SDL_Keycode k = SDLK_a; k <= SDLK_z; ++k) codes.insert(KeyCodeFromSDL(k));
    for (SDL_Keycode k = SDLK_0; k <= SDLK_9; ++k) codes.insert(KeyCodeFromSDL(k));
    for (SDL_Keycode k = SDLK_F1; k <= SDLK_F12; ++k) codes.insert(KeyCodeFromSDL(k));
    EXPECT_EQ(codes.size(), 26u + 10u + 12u);
    EXPECT_EQ(*codes.begin(), 48);
    EXPECT_EQ(*codes.rbegin(), 123);
}

TEST(InputKeymapTest, KeysWithoutACodeMapToZero) {
    for (SDL_Keycode k : {SDLK_UNKNOWN, SDLK_AUDIOPLAY, SDLK_BRIGHTNESSUP, SDLK_MODE})
        EXPECT_EQ(KeyCodeFromSDL(k), 0) << k;
}

TEST(InputKeymapTest, QueriesWithoutADisplayReadZero) {
    EXPECT_EQ(KeyHit(Key::Escape), 0);
    EXPECT_EQ(KeyHit(0), 0);
    EXPECT_EQ(KeyHit(-5), 0);
    EXPECT_EQ(KeyHit(4096), 0);
    EXPECT_EQ(KeyDown(Key::Space), 0);
    EXPECT_EQ(MouseX(), 0);
    EXPECT_EQ(MouseY(), 0);
}
} // namespace
