#include "x_window_probe.h"

#include <X11/Xatom.h>
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

std::optional<unsigned> WindowsMade(const std::string& displayName) {
    ::Display* x = XOpenDisplay(displayName.c_str());
    if (!x) return std::nullopt;
    std::optional<unsigned> made;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) made = count;
    if (children) XFree(children);
    XCloseDisplay(x);
    return made;
}

namespace {
Atom checkAtom(::Display* x) {
    return XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False);
}

void nameWindow(::Display* x, Window on, Window named) {
    XChangeProperty(x, on, checkAtom(x), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&named), 1);
}
} // namespace

FakeWindowManager::FakeWindowManager(const std::string& displayName, WindowManagerMark mark) {
    x_ = XOpenDisplay(displayName.c_str());
    if (!x_) return;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(x_, DefaultRootWindow(x_), checkAtom(x_), 0, 1, False, AnyPropertyType,
                       &type, &format, &count, &after, &data);
    if (data) XFree(data);
    if (type != None) return; // a window manager's own mark: left alone
    placed_ = true;
    if (mark == WindowManagerMark::Absent) return;
    const Window own = XCreateSimpleWindow(x_, DefaultRootWindow(x_), -10, -10, 1, 1, 0, 0, 0);
    if (mark == WindowManagerMark::Live) {
        nameWindow(x_, own, own);
        window_ = own;
    } else {
        XDestroyWindow(x_, own);
    }
    nameWindow(x_, DefaultRootWindow(x_), own);
    XSync(x_, False);
}

FakeWindowManager::~FakeWindowManager() {
    if (!x_) return;
    if (placed_) XDeleteProperty(x_, DefaultRootWindow(x_), checkAtom(x_));
    if (window_) XDestroyWindow(x_, window_);
    XCloseDisplay(x_);
}
