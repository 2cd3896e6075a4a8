// Running an example program inside the test process: its main, compiled under another name
// (main=Run<Name>Example), runs its own loop on the virtual clock with unpaced flips, and the
// test acts after chosen frames through the flip observer: looks at the engine's objects,
// captures the frame, queues input for the frames that follow. After the last frame the run
// presses Escape, which every example ends on.
#pragma once

#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "platform/testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace exampletest {

// Runs program (an example's renamed main) and calls step(n) once frame n (from 1) is shown,
// for n up to last_frame; then presses Escape. Returns the program's exit status. The engine
// is reset afterwards, so examples can follow each other in one process. A program still
// running 120 frames after the Escape press ends the run with an exception.
inline int RunExample(int (*program)(), int last_frame, const std::function<void(int)>& step) {
    testseam::UseVirtualClock(true);
    testseam::SetUnpacedFlip(true);
    int frame = 0;
    testseam::SetFlipObserver([&] {
        ++frame;
        testseam::AdvanceVirtualClock(1000.0 / 60.0);
        if (frame <= last_frame) step(frame);
        if (frame >= last_frame) testseam::PushKeyPress(Key::Escape);
        if (frame > last_frame + 120) throw std::runtime_error("the example did not end on Escape");
    });
    int status = -1;
    try {
        status = program();
    } catch (...) {
        testseam::SetFlipObserver(nullptr);
        throw;
    }
    testseam::SetFlipObserver(nullptr);
    testseam::UseVirtualClock(false);
    FlushKeys();
    FlushMouse();
    ResetEngine();
    return status;
}

// Holds a key down (down true) or lets it go, as the keyboard does: the press counts for
// KeyHit and KeyDown reads 1 until the release. Delivered by the next event pump.
inline void HoldKey(SDL_Keycode key, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.type = e.type;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

// The first entity of that name in the scene; null when there is none.
inline EntityRef FindEntity(const std::string& name) {
    for (const EntityRef& e : *TEntity::entity_list)
        if (e && e->name == name) return e;
    return nullptr;
}

// The scene's first camera (the example's only one).
inline CameraRef FirstCamera() {
    for (const EntityRef& e : *TCamera::cam_list)
        if (auto camera = std::dynamic_pointer_cast<TCamera>(e)) return camera;
    return nullptr;
}

// A window pixel, (0, 0) at the top left.
struct Pixel {
    int x = 0, y = 0;
};

// Where the world point lies in the window as the camera last rendered it (CameraProject counts
// y from the bottom of the display; window pixels count it from the top).
inline Pixel Project(const CameraRef& camera, float x, float y, float z) {
    CameraProject(camera, x, y, z);
    return {int(ProjectedX()), GraphicsHeight() - 1 - int(ProjectedY())};
}

// The channels of 0xAARRGGBB.
struct Rgb {
    int r, g, b;
};
inline Rgb Channels(std::uint32_t argb) {
    return {int(argb >> 16 & 255), int(argb >> 8 & 255), int(argb & 255)};
}

inline std::string Describe(std::uint32_t argb) {
    const Rgb c = Channels(argb);
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

// True when every channel of a and b differs by at most tolerance.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    const Rgb p = Channels(a), q = Channels(b);
    return std::abs(p.r - q.r) <= tolerance && std::abs(p.g - q.g) <= tolerance &&
           std::abs(p.b - q.b) <= tolerance;
}

// The number of pixels of the rectangle (x0, y0)-(x1, y1), ends included, that differ between
// the two frames by more than tolerance in some channel.
inline int CountChanged(const testseam::FrameCapture& a, const testseam::FrameCapture& b, int x0,
                        int y0, int x1, int y1, int tolerance) {
    int changed = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (!Near(a.Pixel(x, y), b.Pixel(x, y), tolerance)) ++changed;
    return changed;
}

// Saves the frame as a PNG when the environment names a folder in EXAMPLE_FRAMES_DIR, to look
// at what a test saw.
inline void MaybeSaveFrame(const std::string& name) {
    if (const char* dir = std::getenv("EXAMPLE_FRAMES_DIR"))
        testseam::CaptureFramePNG(std::string(dir) + "/" + name + ".png");
}

} // namespace exampletest
