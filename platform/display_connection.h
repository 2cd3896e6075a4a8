// Inside the platform layer: what happens when the display's server goes away.
#pragma once

#include <string>

// Under X11, from now on a lost connection to the X server (the server ended or unreachable)
// ends the program at once with "Lost the connection to the display <name>" on standard error
// and exit status -1, instead of the system's default, which runs the exit handlers: those close
// the display and would wait forever on the dead connection. Elsewhere nothing happens.
void EndProgramOnLostDisplay();
// Whether SDL's video runs on X11.
bool VideoOnX11();

struct SDL_Window;
struct _XDisplay; // Xlib's display connection

// A connection of the platform's own to the X server that DISPLAY names, made before the video
// layer starts and held while it does: a virtual X server resets when its last client goes, and
// holding a connection keeps it from resetting in between. Closed when the object goes.
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
