// Keyboard, mouse buttons, the wheel and the pointer, polled.
//
// Keys are named by the runtime's key codes, the virtual-key numbering of the desktop world:
// letters 'A'..'Z' are 65..90, digits '0'..'9' are 48..57, Escape 27, Enter 13, Space 32,
// arrows 37..40, F1..F24 112..135, comma 188, period 190. The Key:: constants name them; they
// live in a namespace of their own so that system headers that define KEY_ macros (such as
// <linux/input.h>) can be included beside this one.
// Events are pumped by KeyHit, KeyDown, the mouse queries and Flip; without an open display
// there are no events and every query reads 0.
#pragma once

namespace Key {
// Key codes of KeyHit and KeyDown.
enum Code : int {
    Backspace = 8,
    Tab = 9,
    Enter = 13,
    Pause = 19,
    CapsLock = 20,
    Escape = 27,
    Space = 32,
    PageUp = 33,
    PageDown = 34,
    End = 35,
    Home = 36,
    Left = 37,
    Up = 38,
    Right = 39,
    Down = 40,
    PrintScreen = 44,
    Insert = 45,
    Delete = 46,
    Digit0 = 48,
    Digit1 = 49,
    Digit2 = 50,
    Digit3 = 51,
    Digit4 = 52,
    Digit5 = 53,
    Digit6 = 54,
    Digit7 = 55,
    Digit8 = 56,
    Digit9 = 57,
    A = 65,
    B = 66,
    C = 67,
    D = 68,
    E = 69,
    F = 70,
    G = 71,
    H = 72,
    I = 73,
    J = 74,
    K = 75,
    L = 76,
    M = 77,
    N = 78,
    O = 79,
    P = 80,
    Q = 81,
    R = 82,
    S = 83,
    T = 84,
    U = 85,
    V = 86,
    W = 87,
    X = 88,
    Y = 89,
    Z = 90,
    LeftSystem = 91,
    RightSystem = 92,
    Menu = 93,
    Keypad0 = 96,
    Keypad1 = 97,
    Keypad2 = 98,
    Keypad3 = 99,
    Keypad4 = 100,
    Keypad5 = 101,
    Keypad6 = 102,
    Keypad7 = 103,
    Keypad8 = 104,
    Keypad9 = 105,
    KeypadMultiply = 106,
    KeypadAdd = 107,
    KeypadSubtract = 109,
    KeypadDecimal = 110,
    KeypadDivide = 111,
    F1 = 112,
    F2 = 113,
    F3 = 114,
    F4 = 115,
    F5 = 116,
    F6 = 117,
    F7 = 118,
    F8 = 119,
    F9 = 120,
    F10 = 121,
    F11 = 122,
    F12 = 123,
    F13 = 124,
    F14 = 125,
    F15 = 126,
    F16 = 127,
    F17 = 128,
    F18 = 129,
    F19 = 130,
    F20 = 131,
    F21 = 132,
    F22 = 133,
    F23 = 134,
    F24 = 135,
    NumLock = 144,
    ScrollLock = 145,
    LeftShift = 160,
    RightShift = 161,
    LeftControl = 162,
    RightControl = 163,
    LeftAlt = 164,
    RightAlt = 165,
    Semicolon = 186,
    Equals = 187,
    Comma = 188,
    Minus = 189,
    Period = 190,
    Slash = 191,
    Tilde = 192,
    OpenBracket = 219,
    Backslash = 220,
    CloseBracket = 221,
    Quotes = 222,
};
} // namespace Key

// Mouse buttons as MouseHit and MouseDown number them.
namespace MouseButton {
// Button numbers of MouseHit and MouseDown.
enum Code : int {
    Left = 1,
    Right = 2,
    Middle = 3,
    Back = 4,    // the first side button
    Forward = 5, // the second side button
};
} // namespace MouseButton

// Number of presses of the key since the previous KeyHit of the same key (or since the display
// opened), then resets that count. Auto-repeat does not count. Closing the window counts as a
// press of Escape, and so do the signals caught by CatchStopSignals. Key codes outside 1..255
// read 0.
int KeyHit(int key);
// 1 while the key is held down, else 0.
int KeyDown(int key);
// Forgets all pending presses and held keys.
void FlushKeys();

// Stop requests: from this call on, an interrupt signal (SIGINT, Ctrl+C in a terminal), a
// termination signal (SIGTERM) or a hang-up (SIGHUP, its terminal closed) counts as one press
// of Escape, delivered by the next event pump of an open display (one pending before the
// display opens waits for it), as closing the window does; so the program ends where Escape
// ends it. Each kind of signal is taken this way once: a second one of the same kind ends the
// process as the system does by default, for a program that does not test Escape. It replaces
// whatever was set for these signals before, ignoring included. PlatformInit calls it;
// in-process tests do not.
void CatchStopSignals();
// Whether a stop signal caught as above waits for an event pump to deliver it. It reads one
// atomic value, so any thread may ask, as often as it likes: long work (a start-up's) asks it
// to stop at once instead of at the program's next look at Escape.
bool StopSignalWaiting();

// Pointer position across the window in pixels, 0 at the left edge.
int MouseX();
// Pointer position down the window in pixels, 0 at the top edge.
int MouseY();

// Number of clicks of the mouse button (MouseButton::Left, Right, Middle, Back, Forward) since
// the previous MouseHit of the same button (or since the display opened), then resets that
// count. Buttons outside 1..5 read 0.
int MouseHit(int button);
// 1 while the mouse button is held down, else 0 (0 for buttons outside 1..5).
int MouseDown(int button);
// The wheel's position in notches: each notch turned away from the user adds 1, each notch
// turned towards the user takes 1 away. Starts at 0 when the display opens.
int MouseZ();
// Notches the wheel has turned since the previous MouseZSpeed (or since the display opened),
// away from the user positive; then resets that count.
int MouseZSpeed();
// Forgets all pending clicks, held buttons and wheel turns (MouseZ reads 0 again).
void FlushMouse();
