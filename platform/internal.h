// What the platform layer shares between its own modules and with the engine, and does not
// offer programs: this header is not installed, and no installed header includes it.
#pragma once

#include <cstdint>

// ---- Clock ----

// Frame pacing: the clock in fractional milliseconds, and a wait
// until the clock reads the given time (under the virtual clock, the virtual time is set to it;
// a time already past returns at once either way).
double ClockNowMs();
void ClockWaitUntil(double ms);

// ---- Display ----

// A number that changes each time a display (and with it a GL
// context) opens; 0 while none is open. GL objects are valid only with the number they were
// made under.
unsigned GraphicsContextId();

// ---- 2D layer ----

// A new GL 2D texture of 8-bit RGBA pixels (rowPixels pixels from the
// start of one row to the next), clamped at its edges, sampled linearly when filtered else
// nearest, with mipmaps when asked. Texture bindings and pixel-store state are kept as they were.
// Returns the GL texture name.
unsigned CreateTextureRGBA(const std::uint8_t* rgba, int width, int height, int rowPixels,
                           bool filtered, bool mipmapped);
// Called by Graphics with the new display's size, to set the layer's
// GL state.
void Init2DState(int width, int height);

// ---- Input ----

// Drains the system event queue into the key and pointer state.
void PumpInputEvents();
// The display opened or closed; input state starts afresh.
void ResetInputState();
