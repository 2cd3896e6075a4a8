#include "platform/display_connection.h"

#include "platform/error.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include <cstring>
#include <string>

namespace {

int onConnectionLost(::Display* x) {
    const char* name = x ? XDisplayString(x) : nullptr;
    FatalErrorNow(std::string("Lost the connection to the display") +
                  (name && *name ? std::string(" ") + name : std::string()));
}

} // namespace

bool VideoOnX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

void EndProgramOnLostDisplay() {
    if (VideoOnX11()) XSetIOErrorHandler(onConnectionLost);
}
