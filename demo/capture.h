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

// After DemoStartup: runs frames (DemoFrame, then the clock one video frame on) until every
// tick of `wanted` has been reached. For each tick, in ascending order, `reached(tick, frame)`
// runs right after the flip of the first frame whose clock has reached it (frame counts from
// 1); it returns false to stop the run. Returns "" when every tick was reached, else why not
// (the music ended first, or `reached` stopped the run).
std::string RunFramesToTicks(std::vector<int> wanted,
                             const std::function<bool(int tick, long frame)>& reached);
