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

void EndProgramOnLostDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(onConnectionLost);
}
