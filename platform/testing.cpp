// The test library: the seams of platform/testing.h, over the state the platform's modules own
// and read (platform/internal.h). Linked by the tests and the tools, never by the program.
#include "platform/testing.h"

#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/pixmap.h"

#include <GL/glew.h>
#include <SDL.h>

#include <cstring>
#include <utility>

namespace testseam {
namespace {

// Fills the back buffer with magenta, as a swap that leaves it undefined may.
void spoilBackBuffer() {
    glstate::FramebufferCopy saved;
    glstate::BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glstate::DrawBuffer(GL_BACK);
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

// What the display seams ask of Flip's copies; a spoilt back buffer needs them too.
struct FrameCopies {
    bool loseBackBuffer = false;
    bool always = false;
};

FrameCopies& frameCopies() {
    static FrameCopies c;
    return c;
}

void applyFrameCopies() {
    const FrameCopies& c = frameCopies();
    FlipExtras& extras = DisplayFlipExtras();
    extras.copyFrame = c.always || c.loseBackBuffer;
    extras.afterSwap = c.loseBackBuffer ? spoilBackBuffer : std::function<void()>();
}

} // namespace

void UseVirtualClock(bool on, double startMs) {
    TheVirtualClock().on = on;
    TheVirtualClock().now = startMs;
}

void AdvanceVirtualClock(double ms) {
    TheVirtualClock().now += ms;
}

void SetUnpacedFlip(bool on) {
    DisplayFlipExtras().unpaced = on;
}

void SetLoseBackBufferOnSwap(bool on) {
    frameCopies().loseBackBuffer = on;
    applyFrameCopies();
}

void SetFrameCopiesOnFlip(bool on) {
    frameCopies().always = on;
    applyFrameCopies();
}

void SetSizeWithoutDisplay(int width, int height) {
    SizeWithoutDisplay() = {width, height};
}

void SetFlipObserver(std::function<void()> observer) {
    DisplayFlipExtras().afterFlip = std::move(observer);
}

bool SwapKeepsFrame() {
    return DisplaySwapKeepsFrame();
}

void SetGLStateChecks(bool on) {
    glstate::ChecksOn() = on;
}

void SetGLCapabilities(const GLCapabilities& capabilities) {
    glstate::CapabilitiesHeld() = capabilities;
}

glstate::CallCounts GLCallsReached() {
    return glstate::CallsReached();
}

void ClearGLCallCounts() {
    glstate::CallsReached() = {};
}

void ForgetWarnings() {
    WarningsGiven& w = GivenWarnings();
    const std::lock_guard<std::mutex> hold(w.lock);
    w.messages.clear();
}

void SetExitHook(ExitHook hook) {
    EndingHook() = std::move(hook);
}

void AudioUseVirtualDevice() {
    SetAudioOutputByHand(true);
}

void AudioUseOutputDevice() {
    SetAudioOutputByHand(false);
}

std::vector<std::int16_t> AudioAdvanceFrames(int frames) {
    return MixAudioFrames(frames);
}

void ResetRandom() {
    RandomGenerator() = Pcg32::Start();
}

void PushKeyPress(int keyCode) {
    if (keyCode != 0) QueuedInputEvents().push_back({QueuedInput::KeyPress, keyCode, 0, 0});
}

void PushMouseMove(int x, int y) {
    QueuedInputEvents().push_back({QueuedInput::PointerMove, 0, x, y});
}

void PushMouseClick(int button) {
    QueuedInputEvents().push_back({QueuedInput::ButtonClick, button, 0, 0});
}

void PushMouseWheel(int notches) {
    QueuedInputEvents().push_back({QueuedInput::WheelTurn, notches, 0, 0});
}

std::uint32_t FrameCapture::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const std::uint8_t* p = &rgba[(std::size_t(y) * width + x) * 4];
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

FrameCapture CaptureFrame() {
    FrameCapture frame;
    // The display's context is current on this thread while it is open.
    SDL_Window* window = GraphicsOpen() ? SDL_GL_GetCurrentWindow() : nullptr;
    if (!window) return frame;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    if (w <= 0 || h <= 0) return frame;
    std::vector<std::uint8_t> bottomUp(std::size_t(w) * h * 4);
    {
        glstate::FramebufferCopy saved;
        glstate::BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glstate::ReadBuffer(GL_BACK);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        GLint packBuffer = 0;
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        if (packBuffer) glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        if (packBuffer) glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffer);
        glPopClientAttrib();
    }
    frame.width = w;
    frame.height = h;
    frame.rgba.resize(bottomUp.size());
    const std::size_t row = std::size_t(w) * 4;
    for (int y = 0; y < h; ++y)
        std::memcpy(&frame.rgba[y * row], &bottomUp[(h - 1 - y) * row], row);
    return frame;
}

bool CaptureFramePNG(const std::string& path) {
    const FrameCapture frame = CaptureFrame();
    if (frame.rgba.empty()) return false;
    PixmapRef pixmap = CreatePixmap(frame.width, frame.height, PF_RGBA8888, 1);
    if (!pixmap) return false;
    const std::size_t row = std::size_t(frame.width) * 4;
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(pixmap->pixels + std::size_t(y) * pixmap->pitch, &frame.rgba[y * row], row);
    return SavePixmapPNG(pixmap, path);
}

} // namespace testseam
