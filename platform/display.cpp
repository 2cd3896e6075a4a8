#include "platform/display.h"

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/image2d.h"
#include "platform/input.h"

#include "platform/display_connection.h"
#include "platform/gl_state.h"
#include "platform/internal.h"
#include "platform/saved_framebuffer.h"
#include "platform/swap_method.h"

#include <GL/glew.h>
#include <SDL.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// A copy of the colour buffer that outlives the buffer swap.
struct FrameKeeper {
    GLuint fbo = 0;
    GLuint colour = 0;
    int width = 0;
    int height = 0;
    bool made = false; // creation was tried (it may have failed)
};

struct Display {
    GraphicsDriver driver = GraphicsDriver::GL2D;
    int defaultFlags = GRAPHICS_BACKBUFFER;
    int flags = 0; // buffer flags of the open display

    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    unsigned contextId = 0;
    unsigned lastContextId = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int hertz = 0;
    bool vsyncConfirmed = false;
    int swapInterval = -1;   // as last set, -1 unknown
    double paceBase = 0.0;   // time of the last re-base of the frame deadlines
    long long paceFrame = 0; // deadlines since then
    bool cursorHidden = false;
    bool swapKeepsFrame = false; // the swap copies the back buffer and leaves it as it was
    bool exitHookSet = false;
    bool heapPolicy = true;      // GraphicsHeapPolicy
    bool heapPolicyDone = false; // the first Graphics has opened a display
    XServerHold xServer;         // connected while the video layer is up on X11
    FrameKeeper keeper;
    FlipExtras extras;
};

Display& display() {
    static Display d;
    return d;
}

[[noreturn]] void failOpen(const std::string& cause) {
    RuntimeError("Unable to open the display: " + cause);
}

struct Attempt {
    bool accum;
    bool stencil;
};

void setAttributes(VisualSearch& search, int flags, const Attempt& a) {
    SDL_GL_ResetAttributes();
    // With a window visual of our choosing, X11 makes the context from that visual when no
    // profile is named (that context has the compatibility profile); elsewhere it is named.
    const unsigned long visual = search.CopySwapVisual(
        {8, (flags & GRAPHICS_ALPHABUFFER) ? 8 : 0, (flags & GRAPHICS_BACKBUFFER) != 0,
         (flags & GRAPHICS_DEPTHBUFFER) ? 24 : 0, a.stencil ? 8 : 0, a.accum ? 16 : 0});
    SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, visual ? std::to_string(visual).c_str() : "");
    if (!visual)
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GRAPHICS_ALPHABUFFER) ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (flags & GRAPHICS_BACKBUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GRAPHICS_DEPTHBUFFER) ? 24 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, a.stencil ? 8 : 0);
    const int accumBits = a.accum ? 16 : 0;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accumBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accumBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accumBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, accumBits);
}

// Switches the window to a full-screen mode of exactly its size, at the asked refresh rate when
// there is one; false (and still a window) when there is no such mode.
bool goFullScreen(Display& d) {
    SDL_DisplayMode want{};
    want.w = d.width;
    want.h = d.height;
    want.refresh_rate = d.hertz > 0 ? d.hertz : 0;
    SDL_DisplayMode mode{};
    const int index = std::max(0, SDL_GetWindowDisplayIndex(d.window));
    if (!SDL_GetClosestDisplayMode(index, &want, &mode) || mode.w != d.width || mode.h != d.height)
        return false;
    if (SDL_SetWindowDisplayMode(d.window, &mode) != 0) return false;
    // For an X server without a window manager whose screen already has exactly the mode's
    // size, and for no other: in practice the virtual X servers the tests, framegrab and the
    // benchmarks run on (Xvfb -screen 0 800x600x24), where it saves each start-up the tenth of
    // a second SDL would wait for an answer from no one to its full-screen request. There a
    // window without borders placed over the whole screen is full screen. Any other screen
    // (another size, or a window manager to answer) takes the request below.
    SDL_DisplayMode desktop{};
    SDL_Rect bounds{};
    if (X11WithoutWindowManager(d.window) && SDL_GetDesktopDisplayMode(index, &desktop) == 0 &&
        desktop.w == d.width && desktop.h == d.height &&
        SDL_GetDisplayBounds(index, &bounds) == 0) {
        SDL_SetWindowBordered(d.window, SDL_FALSE);
        SDL_SetWindowPosition(d.window, bounds.x, bounds.y);
        return true;
    }
    if (SDL_SetWindowFullscreen(d.window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    // The X server resizes the window asynchronously: give it up to a second to report the
    // mode's size before deciding that the switch did not take.
    int w = 0, h = 0;
    for (int waited = 0; waited <= 1000; waited += 5) {
        SDL_PumpEvents();
        SDL_GetWindowSize(d.window, &w, &h);
        if (w == d.width && h == d.height) return true;
        SDL_Delay(5);
    }
    SDL_SetWindowFullscreen(d.window, 0);
    SDL_SetWindowSize(d.window, d.width, d.height);
    return false;
}

// Opens the window and its context with the first set of buffers that the system grants.
bool openWindow(Display& d, int flags, std::string& cause) {
    std::vector<Attempt> attempts;
    const bool accum = flags & GRAPHICS_ACCUMBUFFER;
    const bool stencil = flags & GRAPHICS_STENCILBUFFER;
    attempts.push_back({accum, stencil});
    if (accum) attempts.push_back({false, stencil});

    VisualSearch search; // open until the context is made, so that the GL driver stays loaded
    for (const Attempt& a : attempts) {
        setAttributes(search, flags, a);
        d.window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, d.width,
                                    d.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!d.window) {
            cause = SDL_GetError();
            continue;
        }
        if (d.depth != 0 && !goFullScreen(d)) {
            // Without a display mode of exactly the asked size the frame would not fill the
            // screen as the program expects: a window of that size instead.
            DebugLog("Display: no " + std::to_string(d.width) + "x" + std::to_string(d.height) +
                     " full-screen mode; opening a window");
            d.depth = 0;
        }
        d.context = SDL_GL_CreateContext(d.window);
        if (!d.context) {
            cause = SDL_GetError();
            SDL_DestroyWindow(d.window);
            d.window = nullptr;
            continue;
        }
        return true;
    }
    return false;
}

bool vsyncAtRefreshRate(Display& d) {
    if (d.hertz <= 0 || SDL_GL_SetSwapInterval(1) != 0) return false;
    d.swapInterval = 1;
    SDL_DisplayMode mode{};
    if (SDL_GetWindowDisplayMode(d.window, &mode) != 0) return false;
    if (d.depth == 0) {
        const int index = SDL_GetWindowDisplayIndex(d.window);
        if (SDL_GetCurrentDisplayMode(index < 0 ? 0 : index, &mode) != 0) return false;
    }
    return mode.refresh_rate == d.hertz;
}

void setSwapInterval(Display& d, int interval) {
    if (d.swapInterval == interval) return;
    SDL_GL_SetSwapInterval(interval);
    d.swapInterval = interval;
}

void createKeeper(Display& d) {
    FrameKeeper& k = d.keeper;
    k.made = true;
    if (!glGenFramebuffers || !glBlitFramebuffer) {
        DebugLog("Display: no framebuffer blits; frames are not kept across Flip");
        return;
    }
    SDL_GL_GetDrawableSize(d.window, &k.width, &k.height);
    GLint previous = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &previous);
    glGenRenderbuffers(1, &k.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, k.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, k.width, k.height);
    glBindRenderbuffer(GL_RENDERBUFFER, previous);

    SavedFramebufferState saved;
    glGenFramebuffers(1, &k.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, k.fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, k.colour);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        DebugLog("Display: frame keeper incomplete; frames are not kept across Flip");
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &k.fbo);
        glDeleteRenderbuffers(1, &k.colour);
        k = FrameKeeper{};
        k.made = true;
    }
}

void destroyKeeper(Display& d) {
    FrameKeeper& k = d.keeper;
    if (k.fbo) glDeleteFramebuffers(1, &k.fbo);
    if (k.colour) glDeleteRenderbuffers(1, &k.colour);
    k = FrameKeeper{};
}

enum class Copy { BackToKeeper, KeeperToBack };

void copyFrame(const FrameKeeper& k, Copy direction) {
    if (!k.fbo) return;
    SavedFramebufferState saved;
    if (direction == Copy::BackToKeeper) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, k.fbo);
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, k.fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDrawBuffer(GL_BACK);
    }
    glBlitFramebuffer(0, 0, k.width, k.height, 0, 0, k.width, k.height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
}

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Why the video driver in use cannot show anything ("" when it can): the video layer falls back
// to drivers that draw off-screen when it finds no display.
std::string invisibleDriverCause() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver ? driver : "";
    if (name != "offscreen" && name != "dummy" && name != "evdev") return "";
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY"))
        return "no display to show it on; set DISPLAY to an X server";
    return "the '" + name + "' video driver shows nothing on screen";
}

// Starts the video layer on a driver that shows something; why it cannot ("" when it did).
// When only an X display is named and no driver is forced, its server is reached first
// (XServerHold): a display that cannot be reached is named as the cause at once, before the
// video layer tries its other drivers (each of which has something of its own to print), and
// the connection held meanwhile keeps a virtual X server from resetting while the video layer
// connects. Otherwise an X server may accept no connections for a moment while it resets after
// its last client has gone (as a virtual X server does by default between test programs), and
// the video layer then falls back to drawing off-screen; so while a display is named and no
// driver is forced, the display is asked for again for up to a second before giving up. Once
// the video layer is up on X11 the connection stays held (for what it tells of a crash) until
// the video layer stops.
std::string startVideo(XServerHold& x) {
    const char* forced = SDL_GetHint(SDL_HINT_VIDEODRIVER); // the variable of that name too
    const bool unforced = !(forced && *forced);
    const bool onlyX = unforced && isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY");
    if (onlyX) {
        if (std::string cause = x.Reach(); !cause.empty()) return cause;
    }
    const bool mayRetry = unforced && !onlyX && (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"));
    constexpr int kAttempts = 50;
    for (int attempt = 1;; ++attempt) {
        std::string cause;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            cause = SDL_GetError();
        } else {
            cause = invisibleDriverCause();
            if (cause.empty()) {
                if (VideoOnX11())
                    x.Reach(); // the server is there (the video layer has just reached it)
                else
                    x.Release();
                return "";
            }
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
        if (!mayRetry || attempt == kAttempts) return cause;
        SDL_Delay(20);
    }
}

// The heap settings of GraphicsHeapPolicy, once, when the first display has opened.
void applyHeapPolicy(Display& d) {
    if (d.heapPolicyDone) return;
    d.heapPolicyDone = true;
    if (!d.heapPolicy) return;
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

void closeAtExit() {
    EndGraphics();
}

// Holds the frame to its deadline: the previous deadline plus one frame period, re-based on the
// present when the program has fallen more than a frame behind it. Deadlines count whole frames
// from the last re-base, so they do not drift with rounding.
void paceFrame(Display& d) {
    const double hz = d.hertz > 0 ? d.hertz : 60;
    const double now = ClockNowMs();
    auto deadlineOf = [&](long long frame) { return d.paceBase + frame * 1000.0 / hz; };
    if (now - deadlineOf(d.paceFrame + 1) > 1000.0 / hz) {
        d.paceBase = now;
        d.paceFrame = 0;
    } else {
        ++d.paceFrame;
        ClockWaitUntil(deadlineOf(d.paceFrame));
    }
}
} // namespace

void PlatformInit() {
    ClockNowMs(); // the clock counts from here at the latest
    CatchStopSignals();
    std::signal(SIGPIPE, SIG_IGN);
}

bool ChangeToExecutableDir() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return false;
    return chdir(exe.parent_path().c_str()) == 0;
}

GraphicsDriver GL2DDriver() {
    return GraphicsDriver::GL2D;
}

void SetGraphicsDriver(GraphicsDriver driver, int defaultFlags) {
    display().driver = driver;
    display().defaultFlags = defaultFlags;
}

void GraphicsHeapPolicy(bool set) {
    display().heapPolicy = set;
}

bool Graphics(int width, int height, int depth, int hertz, int flags) {
    Display& d = display();
    if (width <= 0 || height <= 0)
        failOpen("bad size " + std::to_string(width) + "x" + std::to_string(height));
    if (flags == -1) flags = d.defaultFlags;
    // A display asked for again with the same buffers keeps its window and context: a new
    // window made right after another was destroyed can, on some X servers, get a drawable
    // without the buffers asked for.
    const bool reuse = d.window && d.context && flags == d.flags;
    if (d.window && !reuse) EndGraphics();

    // Mesa's software accumulation buffer goes wrong on sRGB-capable visuals; keep those
    // extensions out unless the user has chosen an override of their own.
    setenv("MESA_EXTENSION_OVERRIDE", "-GL_EXT_framebuffer_sRGB -GL_ARB_framebuffer_sRGB", 0);

    EndProgramOnLostDisplay();
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (const std::string cause = startVideo(d.xServer); !cause.empty()) {
            d.xServer.Release();
            failOpen(cause);
        }
    }

    d.width = width;
    d.height = height;
    d.depth = depth;
    d.hertz = hertz;
    d.flags = flags;
    if (reuse) {
        destroyKeeper(d);
        const Uint32 shown = SDL_GetWindowFlags(d.window);
        if (shown & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(d.window, 0);
        if (shown & SDL_WINDOW_BORDERLESS) SDL_SetWindowBordered(d.window, SDL_TRUE);
        SDL_SetWindowSize(d.window, width, height);
        if (d.depth != 0 && !goFullScreen(d)) d.depth = 0;
    } else {
        std::string cause;
        if (!openWindow(d, flags, cause)) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            d.xServer.Release();
            failOpen(cause);
        }
    }
    applyHeapPolicy(d);
    if (!d.exitHookSet) {
        std::atexit(closeAtExit);
        d.exitHookSet = true;
    }
    SDL_GL_MakeCurrent(d.window, d.context);
    if (!reuse) {
        d.contextId = ++d.lastContextId;
        const std::string loader = glstate::BringUp();
        if (!loader.empty()) failOpen("GL extension loader: " + loader);
        d.swapKeepsFrame = SwapCopiesBackBuffer(d.window);
    }

    d.swapInterval = -1;
    d.vsyncConfirmed = vsyncAtRefreshRate(d);
    if (!d.vsyncConfirmed) setSwapInterval(d, 0);

    SDL_ShowWindow(d.window);
    SDL_ShowCursor(d.cursorHidden ? SDL_DISABLE : SDL_ENABLE);
    ResetInputState();

    Init2DState(width, height);
    glstate::Invalidate(); // a context reused, or the 2D state just set directly
    // Start from black in both buffers. The frame keeper is made when a flip first needs it (a
    // swap that keeps the frame never does), and each flip fills it before it is read.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    SDL_GL_SwapWindow(d.window);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    d.paceBase = ClockNowMs();
    d.paceFrame = 0;
    return true;
}

void EndGraphics() {
    glstate::Invalidate();
    Display& d = display();
    if (!d.window) return;
    if (d.context) {
        SDL_GL_MakeCurrent(d.window, d.context);
        destroyKeeper(d);
        SDL_GL_DeleteContext(d.context);
    }
    SDL_DestroyWindow(d.window);
    d.window = nullptr;
    d.context = nullptr;
    d.contextId = 0;
    d.vsyncConfirmed = false;
    d.swapKeepsFrame = false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    d.xServer.Release();
    ResetInputState();
}

bool GraphicsOpen() {
    return display().window != nullptr;
}
int GraphicsWidth() {
    return display().window ? display().width : 0;
}
int GraphicsHeight() {
    return display().window ? display().height : 0;
}
int GraphicsDepth() {
    return display().window ? display().depth : 0;
}
void InvalidateGLState() {
    glstate::Invalidate();
}

unsigned GraphicsContextId() {
    return display().contextId;
}

bool DisplaySwapKeepsFrame() {
    return display().swapKeepsFrame;
}

FlipExtras& DisplayFlipExtras() {
    return display().extras;
}

void Flip(int sync) {
    Display& d = display();
    PumpInputEvents();
    if (!d.window) return;
    const bool paced = sync != 0 && !d.extras.unpaced;
    setSwapInterval(d, paced && d.vsyncConfirmed ? 1 : 0);
    if (paced) paceFrame(d);
    // A swap that copies keeps the frame by itself; otherwise it goes aside and comes back.
    const bool copies = !d.swapKeepsFrame || d.extras.copyFrame;
    if (copies) {
        if (!d.keeper.made) createKeeper(d);
        copyFrame(d.keeper, Copy::BackToKeeper);
    }
    SDL_GL_SwapWindow(d.window);
    if (d.extras.afterSwap) d.extras.afterSwap();
    if (copies) copyFrame(d.keeper, Copy::KeeperToBack);
    PumpInputEvents();
    if (d.extras.afterFlip) {
        const std::function<void()> after = d.extras.afterFlip; // it may replace itself
        after();
    }
}

void HideMouse() {
    display().cursorHidden = true;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_DISABLE);
}

void ShowMouse() {
    display().cursorHidden = false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_ENABLE);
}
