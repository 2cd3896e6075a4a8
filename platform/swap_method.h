// Inside the platform layer: finding a window visual whose buffer swap keeps the back buffer.
#pragma once

#include <SDL.h>

struct _XDisplay; // Xlib's display connection

// Buffer sizes in bits asked of a GL window visual.
struct VisualBuffers {
    int colour = 8; // per red, green and blue channel
    int alpha = 0;
    bool doubleBuffered = true;
    int depth = 0;
    int stencil = 0;
    int accum = 0; // per accumulation channel
};

// Under X11, a search for window visuals whose swap copies the back buffer to the screen and
// leaves the back buffer as it was, over an X connection of its own. The search loads the GL
// driver for that connection; keeping the search (and so the driver) alive until the window's
// context is made spares the context loading the driver a second time.
class VisualSearch {
  public:
    VisualSearch(); // opens the connection (none when the video layer is not on X11)
    ~VisualSearch();
    VisualSearch(const VisualSearch&) = delete;
    VisualSearch& operator=(const VisualSearch&) = delete;

    // The id of such a visual with these buffers; 0 when the system has none or is not X11.
    unsigned long CopySwapVisual(const VisualBuffers& buffers);

  private:
    _XDisplay* x_ = nullptr;
};
// True when the window's visual and the current GL context both belong to configurations whose
// swap copies the back buffer, so that the back buffer holds the frame after each swap.
bool SwapCopiesBackBuffer(SDL_Window* window);
