// Inside the platform layer: what happens when the display's server goes away.
#pragma once

#include <string>

// From now on a lost connection to the X server (the server ended or unreachable) ends the
// program at once with "Lost the connection to the display <name>" on standard error and exit
// status -1, instead of Xlib's default, which writes a message of its own and runs the exit
// handlers: those close the display and could wait forever on the dead connection, or crash in
// the GL driver. Called before anything touches X (Xlib's handler is the process's, whatever
// the connection), so that a loss while the video layer starts is met the same way; while an
// XServerHold is connected, a crash that comes of the loss is too (see XServerHold).
void EndProgramOnLostDisplay();
// Whether SDL's video runs on X11.
bool VideoOnX11();

struct SDL_Window;
struct _XDisplay; // Xlib's display connection

// A connection of the platform's own to the X server that DISPLAY names, made before the video
// layer starts and held while the video layer is up: a virtual X server resets when its last
// client goes, and holding a connection keeps it from resetting in between.
//
// It also tells a lost display from a fault of the program. Parts of the GL driver talk to the
// server without going through Xlib's error handling and crash on a connection that has died
// under them (a server killed while a context or window is made). While the hold is connected,
// a segmentation fault or bus error looks at it (nothing is ever sent or read on it, so it has
// something to read only once the server has closed it): when the server is gone, the program
// ends as on any lost connection (message and status -1); otherwise the crash goes on as it
// would have. Closed when the object goes.
class XServerHold {
  public:
    XServerHold() = default;
    ~XServerHold();
    XServerHold(const XServerHold&) = delete;
    XServerHold& operator=(const XServerHold&) = delete;

    // Connects to the X server DISPLAY names. Where nothing listens at that address (no server
    // there, or one that has ended) it says so at once; where something listens but refuses
    // the connection (a server resetting after its last client went) it asks again for up to
    // a second. Why it cannot connect, naming the display; "" once connected.
    std::string Reach();
    // Closes the connection (the crash check with it); Reach may connect again.
    void Release();

  private:
    _XDisplay* display_ = nullptr;
};

// The X connection and window id of an SDL window; both null where the window is not on X11.
struct X11Window {
    _XDisplay* display = nullptr;
    unsigned long window = 0;
};
X11Window X11WindowOf(SDL_Window* window);

// Whether the window is on an X server where no window manager (one that follows the extended
// window-manager hints) runs. There a full-screen request goes to no one; the window placed
// over the whole screen is full screen. False elsewhere than X11.
bool X11WithoutWindowManager(SDL_Window* window);
