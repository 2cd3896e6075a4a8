// Running the demo on the virtual clock: the audio device driven by hand, exactly 735 sample
// frames (1/60 s at 44,100 Hz) per video frame, Flip unpaced, so every run renders the same
// frames whatever the machine's speed. The frame-capture tool and the rendered tests use it.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Sample frames the virtual audio device plays per video frame.
constexpr int kSampleFramesPerVideoFrame = 735;

// Switches the audio layer to its virtual device, Flip to unpaced and the millisecond clock to
// virtual time. Call before DemoStartup, so that the music plays on the virtual device.
void UseVirtualClockRun();

// The clock a capture follows, read once after each frame: the music's ticks while the main
// song plays; once the end screen has stopped it, the end-screen song's play time, which goes
// on from the last tick at half a tick (735 sample frames) per video frame. -1 when the main
// song ended before the end screen.
class CaptureClock {
  public:
    // `start`: the tick the run starts from (the music's start position).
    explicit CaptureClock(double start) : now_(start) {}
    double afterFrame();

  private:
    double now_;
};

// After DemoStartup: runs frames (DemoFrame, then the clock one video frame on) until every
// tick of `wanted` has been reached on the CaptureClock, so ticks past the main song's end
// fall on the end screen. For each tick, in ascending order, `reached(tick, frame)` runs right
// after the flip of the first frame whose clock has reached it (frame counts from 1); it
// returns false to stop the run. Returns "" when every tick was reached, else why not (the
// music ended before the end screen, or `reached` stopped the run).
std::string RunFramesToTicks(std::vector<int> wanted,
                             const std::function<bool(int tick, long frame)>& reached);

// After DemoStartup: runs `count` frames as RunFramesToTicks does, whether the music plays or
// not (the end screen runs on after it has stopped). `each(frame)` runs right after each flip
// (frame counts from 1 in this call) and returns false to stop. Returns the frames run.
long RunFrames(long count, const std::function<bool(long frame)>& each);

// After DemoStartup, before the first frame: starts the run at the beginning of `phase` (2 to
// 11) instead of phase 1, as the sequencer enters it at the end of the phase before: the music
// plays again from that phase's end tick, `parte` is set and the phase's set-up runs. What the
// earlier phases would have left behind (their elements, positions, beat-table indices and
// random draws) is not there, so the frames differ from those of a run from tick 0. False (and
// nothing changed) for a phase outside 2 to 11 or before start-up.
bool StartRunAtPhase(int phase);
