// Inside the platform layer (and its tests): the mapping from the video layer's key symbols to
// the key codes of input.h.
#pragma once

#include <SDL_keycode.h>

// The key code of an SDL key, 0 for a key that has none.
int KeyCodeFromSDL(SDL_Keycode key);
