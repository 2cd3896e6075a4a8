// framegrab OUTDIR TICK...
//
// Runs the demo's own start-up and frames on the virtual clock (capture.h): the music advances
// exactly 735 sample frames per video frame and Flip does not wait, so every run renders the
// same frames. For each TICK it writes OUTDIR/tick-NNNNN.png (the tick zero-padded to five
// digits), a screenshot of the first frame whose clock has reached the tick, and exits 0 once
// all are written. The media are found beside the executable, as the demo finds them.
#include "demo/capture.h"
#include "demo/demo.h"
#include "demo/globals.h"
#include "platform/display.h"
#include "platform/testing.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kMaxTick = 99999; // five digits in the file name

int usage(const std::string& message) {
    std::fprintf(stderr, "framegrab: %s\nusage: framegrab OUTDIR TICK...\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage("an output folder and at least one tick are needed");

    std::vector<int> wanted;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        int tick = -1;
        const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), tick);
        if (ec != std::errc() || end != arg.data() + arg.size() || tick < 0 || tick > kMaxTick)
            return usage("not a tick from 0 to 99999: " + arg);
        wanted.push_back(tick);
    }

    // The output folder is taken relative to where framegrab was started, before the working
    // directory moves beside the executable.
    std::error_code ec;
    const std::filesystem::path outdir = std::filesystem::absolute(argv[1], ec);
    if (!ec) std::filesystem::create_directories(outdir, ec);
    if (ec) {
        std::fprintf(stderr, "framegrab: cannot make the folder %s\n", argv[1]);
        return 1;
    }

    PlatformInit();
    UseVirtualClockRun();
    const auto started = std::chrono::steady_clock::now();
    DemoStartup();
    // Real time, for information only; the screenshots do not depend on it.
    const auto elapsedMs = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    };
    std::printf("framegrab: start-up took %.0f ms\n", elapsedMs());

    const std::string error = RunFramesToTicks(wanted, [&](int tick, long frame) {
        if (frame == 1) std::printf("framegrab: first frame shown at %.0f ms\n", elapsedMs());
        char name[32];
        std::snprintf(name, sizeof name, "tick-%05d.png", tick);
        const std::filesystem::path path = outdir / name;
        if (!testseam::CaptureFramePNG(path.string())) {
            std::fprintf(stderr, "framegrab: cannot write %s\n", path.c_str());
            return false;
        }
        std::printf("framegrab: frame %ld, clock %.4f -> %s\n", frame, double(ticks), path.c_str());
        return true;
    });
    if (!error.empty()) {
        std::fprintf(stderr, "framegrab: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
