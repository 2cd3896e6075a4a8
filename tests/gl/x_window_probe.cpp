#include "x_window_probe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
// A window that goes while it is looked at makes requests about it fail: no answer, not the end
// of the process.
int ignoreError(::Display*, XErrorEvent*) {
    return 0;
}
} // namespace

std::optional<unsigned long> ShownWindowPixel(const std::string& displayName) {
    ::Display* x = XOpenDisplay(displayName.c_str());
    if (!x) return std::nullopt;
    const auto previous = XSetErrorHandler(ignoreError);
    std::optional<unsigned long> pixel;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !pixel; ++i) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(x, children[i], &a) || a.map_state != IsViewable) continue;
            if (XImage* image = XGetImage(x, children[i], a.width / 2, a.height / 2, 1, 1,
                                          AllPlanes, ZPixmap)) {
                pixel = XGetPixel(image, 0, 0) & 0xffffff;
                XDestroyImage(image);
            }
        }
        if (children) XFree(children);
    }
    XSync(x, False);
    XSetErrorHandler(previous);
    XCloseDisplay(x);
    return pixel;
}
