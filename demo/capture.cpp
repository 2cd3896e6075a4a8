#include "demo/capture.h"

#include "demo/beat_tables.h"
#include "demo/demo.h"
#include "demo/globals.h"
#include "demo/sequencer.h"
#include "platform/audio.h"
#include "platform/testing.h"

#include <algorithm>

void UseVirtualClockRun() {
    testseam::AudioUseVirtualDevice();
    testseam::SetUnpacedFlip(true);
    testseam::UseVirtualClock(true, 0.0);
}

namespace {

// The music and the clock one video frame on.
void AdvanceOneVideoFrame() {
    testseam::AudioAdvanceFrames(kSampleFramesPerVideoFrame);
    testseam::AdvanceVirtualClock(1000.0 / 60.0);
}

} // namespace

double CaptureClock::afterFrame() {
    if (musica && ChannelPlaying(musica->channel) != 0) {
        now_ = ticks;
    } else if (parte == kPhaseCount) {
        // The end-screen song plays on the virtual device, a video frame's samples a frame.
        now_ += double(kSampleFramesPerVideoFrame) / beat_tables::kFramesPerTick;
    } else {
        return -1;
    }
    return now_;
}

std::string RunFramesToTicks(std::vector<int> wanted,
                             const std::function<bool(int tick, long frame)>& reached) {
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    CaptureClock clock(musica ? musica->startpos : 0.0f);
    std::size_t next = 0;
    for (long frame = 1; next < wanted.size(); ++frame) {
        DemoFrame();
        const double now = clock.afterFrame();
        if (now < 0) return "the music ended before tick " + std::to_string(wanted[next]);
        for (; next < wanted.size() && now >= double(wanted[next]); ++next)
            if (!reached(wanted[next], frame))
                return "stopped at tick " + std::to_string(wanted[next]);
        if (next == wanted.size()) break;
        AdvanceOneVideoFrame();
    }
    return "";
}

long RunFrames(long count, const std::function<bool(long frame)>& each) {
    long frame = 0;
    while (frame < count) {
        DemoFrame();
        ++frame;
        if (!each(frame)) break;
        AdvanceOneVideoFrame();
    }
    return frame;
}

bool StartRunAtPhase(int phase) {
    if (phase < 2 || phase > kPhaseCount || !musica) return false;
    musica->stop();
    musica->Play(float(PhaseEndTick(phase - 1)), 0);
    parte = phase;
    const PhaseEntry& entry = DemoPhases()[std::size_t(phase)];
    if (entry.entra) entry.entra();
    return true;
}
