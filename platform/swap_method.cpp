#include "platform/swap_method.h"

#include "platform/display_connection.h"

#include <GL/glew.h>
#include <GL/glx.h>

#include <cstring>
#include <vector>

namespace {

bool hasSwapMethods(::Display* x) {
    const char* extensions = glXQueryExtensionsString(x, DefaultScreen(x));
    return extensions && std::strstr(extensions, "GLX_OML_swap_method");
}

int attribute(::Display* x, GLXFBConfig config, int name) {
    int value = -1;
    return glXGetFBConfigAttrib(x, config, name, &value) == Success ? value : -1;
}

bool exactSizes(::Display* x, GLXFBConfig c, const VisualBuffers& b) {
    return attribute(x, c, GLX_RED_SIZE) == b.colour &&
           attribute(x, c, GLX_ALPHA_SIZE) == b.alpha &&
           attribute(x, c, GLX_DEPTH_SIZE) == b.depth &&
           attribute(x, c, GLX_STENCIL_SIZE) == b.stencil &&
           attribute(x, c, GLX_ACCUM_RED_SIZE) == b.accum;
}

} // namespace

VisualSearch::VisualSearch() {
    if (VideoOnX11()) x_ = XOpenDisplay(nullptr);
}

VisualSearch::~VisualSearch() {
    if (x_) XCloseDisplay(x_);
}

unsigned long VisualSearch::CopySwapVisual(const VisualBuffers& b) {
    ::Display* x = x_;
    if (!x) return 0;
    unsigned long visual = 0;
    if (hasSwapMethods(x)) {
        const int attributes[] = {GLX_X_RENDERABLE,
                                  True,
                                  GLX_DRAWABLE_TYPE,
                                  GLX_WINDOW_BIT,
                                  GLX_RENDER_TYPE,
                                  GLX_RGBA_BIT,
                                  GLX_X_VISUAL_TYPE,
                                  GLX_TRUE_COLOR,
                                  GLX_RED_SIZE,
                                  b.colour,
                                  GLX_GREEN_SIZE,
                                  b.colour,
                                  GLX_BLUE_SIZE,
                                  b.colour,
                                  GLX_ALPHA_SIZE,
                                  b.alpha,
                                  GLX_DOUBLEBUFFER,
                                  b.doubleBuffered ? True : False,
                                  GLX_DEPTH_SIZE,
                                  b.depth,
                                  GLX_STENCIL_SIZE,
                                  b.stencil,
                                  GLX_ACCUM_RED_SIZE,
                                  b.accum,
                                  GLX_ACCUM_GREEN_SIZE,
                                  b.accum,
                                  GLX_ACCUM_BLUE_SIZE,
                                  b.accum,
                                  GLX_ACCUM_ALPHA_SIZE,
                                  b.accum,
                                  GLX_SWAP_METHOD_OML,
                                  GLX_SWAP_COPY_OML,
                                  None};
        int count = 0;
        GLXFBConfig* configs = glXChooseFBConfig(x, DefaultScreen(x), attributes, &count);
        // The first of exactly the sizes asked for, so that the frames come out as with the
        // visual the system would pick itself; else the first it offers.
        for (int pass = 0; pass < 2 && !visual; ++pass)
            for (int i = 0; i < count && !visual; ++i) {
                if (pass == 0 && !exactSizes(x, configs[i], b)) continue;
                int id = 0;
                if (glXGetFBConfigAttrib(x, configs[i], GLX_VISUAL_ID, &id) == Success) visual = id;
            }
        if (configs) XFree(configs);
    }
    return visual;
}

bool SwapCopiesBackBuffer(SDL_Window* window) {
    const X11Window on = X11WindowOf(window);
    ::Display* x = on.display;
    const GLXContext context = glXGetCurrentContext();
    XWindowAttributes window_attributes;
    if (!x || !context || !hasSwapMethods(x) ||
        !XGetWindowAttributes(x, on.window, &window_attributes))
        return false;
    const int windowVisual = int(XVisualIDFromVisual(window_attributes.visual));
    // A context made from a visual reports the visual; one made from a configuration may
    // report only the configuration.
    int contextVisual = 0, contextConfig = 0;
    if (glXQueryContext(x, context, GLX_VISUAL_ID_EXT, &contextVisual) != Success)
        contextVisual = 0;
    if (glXQueryContext(x, context, GLX_FBCONFIG_ID, &contextConfig) != Success) contextConfig = 0;

    // Every configuration of the window's visual must copy, and so must the context's.
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(x, DefaultScreen(x), &count);
    bool windowCopies = false, windowOther = false, contextCopies = false;
    for (int i = 0; i < count; ++i) {
        const int id = attribute(x, configs[i], GLX_FBCONFIG_ID);
        const int visual = attribute(x, configs[i], GLX_VISUAL_ID);
        const bool copies = attribute(x, configs[i], GLX_SWAP_METHOD_OML) == GLX_SWAP_COPY_OML;
        if (visual == windowVisual) (copies ? windowCopies : windowOther) = true;
        if (copies && (id == contextConfig || (visual != 0 && visual == contextVisual)))
            contextCopies = true;
    }
    if (configs) XFree(configs);
    return windowCopies && !windowOther && contextCopies;
}
