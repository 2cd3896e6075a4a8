#include "platform/display_connection.h"

#include "platform/error.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstring>
#include <string>

namespace {

int onConnectionLost(::Display* x) {
    const char* name = x ? XDisplayString(x) : nullptr;
    FatalErrorNow(std::string("Lost the connection to the display") +
                  (name && *name ? std::string(" ") + name : std::string()));
}

bool xRequestFailed = false;

int noteXError(::Display*, XErrorEvent*) {
    xRequestFailed = true;
    return 0;
}

// The window that the window property `name` of `on` names, or None.
Window namedWindow(::Display* x, Window on, Atom name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(x, on, name, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1 && data)
        named = Window(*reinterpret_cast<const unsigned long*>(data));
    if (data) XFree(data);
    return named;
}

} // namespace

bool VideoOnX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

void EndProgramOnLostDisplay() {
    if (VideoOnX11()) XSetIOErrorHandler(onConnectionLost);
}

X11Window X11WindowOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !VideoOnX11() || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
        return {};
    return {info.info.x11.display, info.info.x11.window};
}

bool X11WithoutWindowManager(SDL_Window* window) {
    ::Display* x = X11WindowOf(window).display;
    if (!x) return false;
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return true;
    // A window manager names a window of its own on the root window, and that window names
    // itself; a name left behind by one that has ended names a window that is gone.
    XSync(x, False);
    xRequestFailed = false;
    const auto previous = XSetErrorHandler(noteXError);
    const Window wm = namedWindow(x, DefaultRootWindow(x), check);
    const bool runs = wm != None && namedWindow(x, wm, check) == wm;
    XSync(x, False);
    XSetErrorHandler(previous);
    return !runs || xRequestFailed;
}
