// What the platform layer shares between its own modules and with the engine, and does not
// offer programs: this header is not installed, and no installed header includes it.
#pragma once

#include "platform/random.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Some of what follows is state that only code outside the program sets (the test library,
// platform/testing.h); the program reads it at its start values.

// ---- Clock ----

// The virtual clock: while on, the clock reads `now` and a wait sets `now` forward to its end
// instead of sleeping. Off at start.
struct VirtualClock {
    bool on = false;
    double now = 0.0; // ms
};
VirtualClock& TheVirtualClock();

// Frame pacing: the clock in fractional milliseconds, and a wait
// until the clock reads the given time (under the virtual clock, the virtual time is set to it;
// a time already past returns at once either way).
double ClockNowMs();
void ClockWaitUntil(double ms);

// ---- Display ----

// A number that changes each time a display (and with it a GL
// context) opens; 0 while none is open. GL objects are valid only with the number they were
// made under.
unsigned GraphicsContextId();
// True when the open display's swap copies the back buffer to the screen and leaves it as it
// was, so that Flip needs no copies of its own; false while no display is open.
bool DisplaySwapKeepsFrame();

// What Flip does besides what the display and its argument ask; nothing at start.
struct FlipExtras {
    bool unpaced = false;            // no frame pacing and no vertical sync, whatever the argument
    bool copyFrame = false;          // the frame kept by copies even where the swap keeps it
    std::function<void()> afterSwap; // right after the swap, before the frame is copied back
    std::function<void()> afterFlip; // last, once events are pumped (it may replace itself)
};
FlipExtras& DisplayFlipExtras();

// The size GraphicsWidth and GraphicsHeight give while no display is open: 0 x 0 at start.
struct DisplaySize {
    int width = 0;
    int height = 0;
};
DisplaySize& SizeWithoutDisplay();

// ---- 2D layer ----

// A new GL 2D texture of 8-bit RGBA pixels (rowPixels pixels from the
// start of one row to the next), clamped at its edges, sampled linearly when filtered else
// nearest, with mipmaps when asked. Texture bindings and pixel-store state are kept as they were.
// Returns the GL texture name.
unsigned CreateTextureRGBA(const std::uint8_t* rgba, int width, int height, int rowPixels,
                           bool filtered, bool mipmapped);
// Called by Graphics with the new display's size, to set the layer's
// GL state.
void Init2DState(int width, int height);
// What the 2D layer's draws rely on and do not set themselves, set again: the view Init2DState
// set (viewport, projection, model-view and texture matrices) and all colour channels written.
void Reapply2DStandingState();
// GLDrawText in the current GL colour instead of the 2D layer's (the engine's Text draws white).
void GLDrawTextInCurrentColour(std::string_view text, int x, int y);

// ---- Input ----

// Input events queued from inside the process, which the next event pump delivers in order
// before the system's: presses and clicks as a press and a release, moves as the pointer's new
// position, wheel turns by `code` notches.
struct QueuedInput {
    enum Kind { KeyPress, PointerMove, ButtonClick, WheelTurn } kind = KeyPress;
    int code = 0; // the key, the button or the notches
    int x = 0;
    int y = 0;
};
std::deque<QueuedInput>& QueuedInputEvents();

// Drains the system event queue into the key and pointer state.
void PumpInputEvents();
// The display opened or closed; input state starts afresh.
void ResetInputState();

// ---- Audio ----

// Where the mixer's output goes: to the sound device, which the next PlaySound opens (at
// start), or, by hand, to no device at all, the mixer running only when MixAudioFrames asks
// (AudioDriverName then reads "virtual"). Either way stops every channel and closes the sound
// device if one is open.
void SetAudioOutputByHand(bool byHand);
// By hand: mixes the next `frames` frames (as the device callback would) and returns them as
// interleaved 16-bit stereo. Empty when the output is not by hand or `frames` is not positive.
std::vector<std::int16_t> MixAudioFrames(int frames);

// ---- Errors ----

// The messages Warning has written, each once.
struct WarningsGiven {
    std::mutex lock;
    std::set<std::string, std::less<>> messages;
};
WarningsGiven& GivenWarnings();

// When set, End and RuntimeError call it with the exit status and the message instead of
// ending the process (if it returns, the process ends as usual). Empty at start.
using ExitHook = std::function<void(int status, std::string_view message)>;
ExitHook& EndingHook();

// ---- Random numbers ----

// The generator behind RandomBits (PCG32: 64-bit linear congruential state, XSH RR output).
struct Pcg32 {
    static constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
    std::uint64_t state = 0;
    std::uint64_t inc = 0;

    std::uint32_t Next() {
        const std::uint64_t old = state;
        state = old * kMultiplier + inc;
        const auto xorshifted = std::uint32_t(((old >> 18u) ^ old) >> 27u);
        const auto rot = std::uint32_t(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }
    // The state every run starts from (kRandomSeed, kRandomSequence).
    static Pcg32 Start() {
        Pcg32 g;
        g.inc = (kRandomSequence << 1u) | 1u;
        g.Next();
        g.state += kRandomSeed;
        g.Next();
        return g;
    }
};
Pcg32& RandomGenerator();
