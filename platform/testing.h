// The test library (lapiz3d_testing): seams for tests and tools in the same process. The program
// links none of it: it only holds the state these set (platform/internal.h) at its start values,
// and takes no options and reads no environment to change them.
#pragma once

#include "platform/gl_state.h"
#include "platform/internal.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testseam {

// Clock: while on, Millisecs, Delay and the frame pacing of Flip use a virtual time that only
// the calls below (and the waits of Delay and Flip, which set it forward instead of sleeping)
// move. Switching it on sets the virtual time to startMs.
void UseVirtualClock(bool on, double startMs = 0.0);
void AdvanceVirtualClock(double ms);

// Display: while on, Flip never waits (no frame pacing, no vertical sync) whatever its argument.
void SetUnpacedFlip(bool on);
// Display: while on, Flip spoils the back buffer right after each swap (fills it with magenta),
// as systems may leave it undefined, to show that the frame is carried over by Flip itself.
void SetLoseBackBufferOnSwap(bool on);
// Display: while on, Flip keeps the frame by copying it aside and back even where the swap itself
// keeps it (SwapKeepsFrame), as it does on systems whose swap does not.
void SetFrameCopiesOnFlip(bool on);
// Display: while set, Flip calls the observer once the frame is shown and the events are
// pumped, just before it returns, so a test can act after a chosen frame of a program's own
// loop (capture the frame, queue input for the next one). Flip without an open display does
// not call it. The observer may set another observer or clear it; an empty function clears.
void SetFlipObserver(std::function<void()> observer);
// Display: the size GraphicsWidth and GraphicsHeight give while no display is open (0 x 0 at
// start), for tests of the engine's window arithmetic (viewports, picks) without a display.
void SetSizeWithoutDisplay(int width, int height);
// True when the open display's swap copies the back buffer to the screen and leaves it as it
// was, so that Flip needs no copies of its own.
bool SwapKeepsFrame();

// GL state record: while on, every draw of the 2D layer and of a surface compares the record
// with GL and ends the program naming the first entry that differs (on from the start in debug
// builds).
void SetGLStateChecks(bool on);
// GL capabilities: what glstate::Capabilities reports until a display opens (which finds its
// own), for tests of the engine's choices without a display.
void SetGLCapabilities(const GLCapabilities& capabilities);
// GL state record: the calls of each kind that reached GL through it (each a value the record
// did not hold) since the counts were last cleared, or since the start.
glstate::CallCounts GLCallsReached();
void ClearGLCallCounts();

// Warnings: forgets which messages Warning has written, so that the next of each is written
// again (each test that reads the error stream starts from none given).
void ForgetWarnings();

// Ending: while set, End and RuntimeError call the hook with the exit status and the message
// instead of ending the process. The hook must not return (a test throws from it); if it does,
// the process ends as usual. An empty hook removes it.
void SetExitHook(ExitHook hook);

// Audio: the virtual device. After AudioUseVirtualDevice the mixer runs only when
// AudioAdvanceFrames is called; after AudioUseOutputDevice (as at start) it opens the sound
// device on the next PlaySound. Both stop every channel and close the sound device if one is
// open.
void AudioUseVirtualDevice();
void AudioUseOutputDevice();
// Virtual device: mixes the next `frames` frames (as the device callback would) and returns
// them as interleaved 16-bit stereo. Empty when the virtual device is not in use or `frames` is
// not positive.
std::vector<std::int16_t> AudioAdvanceFrames(int frames);

// Random numbers: puts the generator back into the state every run starts from.
void ResetRandom();

// Input: queues a press (and release) of a key by its key code. The next event pump (KeyHit,
// KeyDown, the mouse queries and Flip pump events) delivers queued presses in order, as the
// keyboard would: each counts once for KeyHit.
void PushKeyPress(int keyCode);
// Input: queues a move of the pointer to window pixel (x, y), delivered with the queued presses
// (in the order of queuing) by the next event pump; MouseX and MouseY then read it.
void PushMouseMove(int x, int y);
// Input: queues a click (press and release) of a mouse button (see MouseHit), delivered in the
// order of queuing by the next event pump.
void PushMouseClick(int button);
// Input: queues a turn of the mouse wheel by that many notches (away from the user positive).
void PushMouseWheel(int notches);

// Frame capture: the current back buffer of the display, which right after Flip holds the frame
// just shown (Flip copies it back), and otherwise what has been drawn since. RGBA bytes, the
// top row first, width * 4 bytes per row. Empty when no display is open.
struct FrameCapture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    // 0xAARRGGBB of one pixel, (0, 0) at the top left; 0 outside the frame.
    std::uint32_t Pixel(int x, int y) const;
};
FrameCapture CaptureFrame();
// The same written as an RGBA PNG; false when there is no display or the file cannot be written.
bool CaptureFramePNG(const std::string& path);

} // namespace testseam
