// Keyboard polling and the mouse pointer.
//
// Keys are named by the runtime's key codes, the virtual-key numbering of the desktop world:
// letters 'A'..'Z' are 65..90, digits '0'..'9' are 48..57, Escape 27, Enter 13, Space 32,
// arrows 37..40, F1..F12 112..123, comma 188, period 190 (see the KEY_ constants).
// Events are pumped by KeyHit, KeyDown, MouseX, MouseY and Flip; without an open display there
// are no events and every query reads 0.
#pragma once

enum KeyCodes : int {
    KEY_BACKSPACE = 8,
    KEY_TAB = 9,
    KEY_ENTER = 13,
    KEY_PAUSE = 19,
    KEY_CAPSLOCK = 20,
    KEY_ESCAPE = 27,
    KEY_SPACE = 32,
    KEY_PAGEUP = 33,
    KEY_PAGEDOWN = 34,
    KEY_END = 35,
    KEY_HOME = 36,
    KEY_LEFT = 37,
    KEY_UP = 38,
    KEY_RIGHT = 39,
    KEY_DOWN = 40,
    KEY_PRINTSCREEN = 44,
    KEY_INSERT = 45,
    KEY_DELETE = 46,
    KEY_0 = 48, // '1'..'9' follow
    KEY_A = 65, // 'B'..'Z' follow
    KEY_LSYS = 91,
    KEY_RSYS = 92,
    KEY_MENU = 93,
    KEY_NUM0 = 96, // keypad digits 96..105
    KEY_NUMMULTIPLY = 106,
    KEY_NUMADD = 107,
    KEY_NUMSUBTRACT = 109,
    KEY_NUMDECIMAL = 110,
    KEY_NUMDIVIDE = 111,
    KEY_F1 = 112, // F2..F24 follow
    KEY_NUMLOCK = 144,
    KEY_SCROLLLOCK = 145,
    KEY_LSHIFT = 160,
    KEY_RSHIFT = 161,
    KEY_LCONTROL = 162,
    KEY_RCONTROL = 163,
    KEY_LALT = 164,
    KEY_RALT = 165,
    KEY_SEMICOLON = 186,
    KEY_EQUALS = 187,
    KEY_COMMA = 188,
    KEY_MINUS = 189,
    KEY_PERIOD = 190,
    KEY_SLASH = 191,
    KEY_TILDE = 192,
    KEY_OPENBRACKET = 219,
    KEY_BACKSLASH = 220,
    KEY_CLOSEBRACKET = 221,
    KEY_QUOTES = 222,
};

// Number of presses of the key since the previous KeyHit of the same key (or since the display
// opened), then resets that count. Auto-repeat does not count. Closing the window counts as a
// press of Escape, and so do the signals caught by CatchStopSignals. Key codes outside 1..255
// read 0.
int KeyHit(int key);
// 1 while the key is held down, else 0.
int KeyDown(int key);
// Forgets all pending presses and held keys.
void FlushKeys();

// Stop requests: from this call on, an interrupt signal (SIGINT, Ctrl+C in a terminal) or a
// termination signal (SIGTERM) counts as one press of Escape, delivered by the next event pump
// of an open display (one pending before the display opens waits for it), as closing the
// window does; so the program ends where Escape ends it. Each kind of signal is taken this way
// once: a second one of the same kind ends the process as the system does by default, for a
// program that does not test Escape. It replaces whatever was set for these signals before,
// ignoring included. PlatformInit calls it; in-process tests do not.
void CatchStopSignals();

// Pointer position in window pixels, (0, 0) at the top left.
int MouseX();
int MouseY();

// Inside the platform layer: drains the system event queue into the key and pointer state.
void PumpInputEvents();
// Inside the platform layer: the display opened or closed; input state starts afresh.
void ResetInputState();
