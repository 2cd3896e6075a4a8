// Inside the platform layer: finding a window visual whose buffer swap keeps the back buffer.
#pragma once

#include <SDL.h>

// Buffer sizes in bits asked of a GL window visual.
struct VisualBuffers {
    int colour = 8; // per red, green and blue channel
    int alpha = 0;
    bool doubleBuffered = true;
    int depth = 0;
    int stencil = 0;
    int accum = 0; // per accumulation channel
};

// Under X11, the id of a visual with these buffers whose swap copies the back buffer to the
// screen and leaves the back buffer as it was; 0 when the system has none or is not X11.
unsigned long CopySwapVisual(const VisualBuffers& buffers);
// True when the window's visual and the current GL context both belong to configurations whose
// swap copies the back buffer, so that the back buffer holds the frame after each swap.
bool SwapCopiesBackBuffer(SDL_Window* window);
