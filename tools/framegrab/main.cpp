// framegrab OUTDIR [--from PHASE] TICK...
// framegrab OUTDIR [--from PHASE] --phases [--size WxH]
//
// Runs the demo's own start-up and frames on the virtual clock (capture.h): the music advances
// exactly 735 sample frames per video frame and Flip does not wait, so every run renders the
// same frames. The media are found beside the executable, as the demo finds them.
//
// With TICKs it writes OUTDIR/tick-NNNNN.png for each (the tick zero-padded to five digits), a
// screenshot of the first frame whose clock has reached the tick, and exits 0 once all are
// written. Past the main song's end the clock goes on with the end screen's song (CaptureClock),
// so any tick of the end screen can be taken.
//
// With --phases it runs the whole demo from tick 0 and writes OUTDIR/phase-NN.png for each of
// the eleven phases, one frame that shows the phase (see kPhaseShots): phases 1 to 10 at a tick
// inside their range, phase 11, which runs on after the music has stopped, at a count of its
// own frames. --size WxH writes the screenshots resampled to that size (an area average when
// shrinking), opaque.
//
// --from PHASE (2 to 11) starts the run at the beginning of that phase instead of tick 0, as
// bench_demo --from does (see StartRunAtPhase: what earlier phases leave behind is missing, so
// the frames differ from a whole run's). TICKs must then lie from that phase's start on;
// --phases takes the phases from PHASE on.
#include "demo/beat_tables.h"
#include "demo/capture.h"
#include "demo/demo.h"
#include "demo/globals.h"
#include "demo/sequencer.h"
#include "platform/display.h"
#include "platform/pixmap.h"
#include "platform/testing.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kMaxTick = 99999; // five digits in the file name
constexpr int kMaxShotSide = 4096;

// One screenshot of the --phases run: the first frame of `phase` whose clock has reached
// `tick`, or for the end screen (tick -1) the `frame`-th frame the phase draws.
struct PhaseShot {
    int phase;
    int tick;
    int frame;
};

// Phases 1 to 10 are taken about the middle of their tick range (from PhaseEndTick of the
// phase before to its own), except where another frame shows the phase better: phase 4 while
// the scroller is at its widest, phase 7 with the sphere in full view, phase 10 before the fog
// has swallowed the construction. The end screen is taken once its first rocket has burst.
constexpr std::array<PhaseShot, kPhaseCount> kPhaseShots = {{
    {1, 117, 0},
    {2, 355, 0},
    {3, 595, 0},
    {4, 900, 0},
    {5, 1915, 0},
    {6, 2395, 0},
    {7, 2770, 0},
    {8, 3235, 0},
    {9, 3717, 0},
    {10, 3990, 0},
    {11, -1, 240},
}};

// Frames after which a --phases run gives up: well past the end of the music (two frames per
// tick) and the end screen's shot.
constexpr long kMaxPhaseRunFrames = 2L * beat_tables::kLastTick + 2000;

struct Options {
    std::string outdir;
    std::vector<int> ticks; // the TICK form
    bool phases = false;    // the --phases form
    int from = 1;           // --from: the phase the run starts at
    int width = 0;          // --size, 0 for the frame's own size
    int height = 0;
};

int usage(const std::string& message) {
    std::fprintf(stderr,
                 "framegrab: %s\nusage: framegrab OUTDIR [--from PHASE] TICK...\n"
                 "       framegrab OUTDIR [--from PHASE] --phases [--size WxH]\n",
                 message.c_str());
    return 2;
}

bool parseInt(const std::string& text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// WxH with both sides from 1 to kMaxShotSide.
bool parseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find('x');
    if (x == std::string::npos) return false;
    return parseInt(text.substr(0, x), width) && parseInt(text.substr(x + 1), height) &&
           width >= 1 && width <= kMaxShotSide && height >= 1 && height <= kMaxShotSide;
}

// "" when the arguments make one of the two forms, else what is wrong with them.
std::string parseArgs(int argc, char** argv, Options& options) {
    const std::string needed = "an output folder and at least one tick, or --phases, are needed";
    if (argc < 3) return needed;
    options.outdir = argv[1];
    int first = 2;
    if (std::strcmp(argv[first], "--from") == 0) {
        if (first + 1 >= argc || !parseInt(argv[first + 1], options.from) || options.from < 2 ||
            options.from > kPhaseCount)
            return "--from takes a phase from 2 to " + std::to_string(kPhaseCount);
        first += 2;
        if (first >= argc) return needed;
    }
    if (std::strcmp(argv[first], "--phases") == 0) {
        options.phases = true;
        if (argc == first + 1) return "";
        if (argc == first + 3 && std::strcmp(argv[first + 1], "--size") == 0) {
            if (parseSize(argv[first + 2], options.width, options.height)) return "";
            return "not a size WxH with sides from 1 to " + std::to_string(kMaxShotSide) + ": " +
                   argv[first + 2];
        }
        return "--phases takes nothing but --size WxH after it";
    }
    const int start = options.from > 1 ? PhaseEndTick(options.from - 1) : 0;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        int tick = -1;
        if (!parseInt(arg, tick) || tick < 0 || tick > kMaxTick)
            return "not a tick from 0 to 99999: " + arg;
        if (tick < start)
            return "tick " + arg + " lies before phase " + std::to_string(options.from) +
                   ", which starts at tick " + std::to_string(start);
        options.ticks.push_back(tick);
    }
    return "";
}

// The frame on screen as a PNG at `path`, resampled to width x height unless those are 0.
bool writeShot(const std::filesystem::path& path, int width, int height) {
    if (width == 0) return testseam::CaptureFramePNG(path.string());
    const testseam::FrameCapture frame = testseam::CaptureFrame();
    if (frame.rgba.empty()) return false;
    PixmapRef full = CreatePixmap(frame.width, frame.height, PF_RGBA8888, 1);
    if (!full) return false;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            full->WritePixel(x, y, frame.Pixel(x, y) | 0xFF000000u);
    return SavePixmapPNG(ResizePixmap(full, width, height), path.string());
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::string wrong = parseArgs(argc, argv, options); !wrong.empty())
        return usage(wrong);

    // The output folder is taken relative to where framegrab was started, before the working
    // directory moves beside the executable.
    std::error_code ec;
    const std::filesystem::path outdir = std::filesystem::absolute(options.outdir, ec);
    if (!ec) std::filesystem::create_directories(outdir, ec);
    if (ec) {
        std::fprintf(stderr, "framegrab: cannot make the folder %s\n", options.outdir.c_str());
        return 1;
    }

    PlatformInit();
    ChangeToExecutableDir(); // the demo's media folder lies beside the tools
    UseVirtualClockRun();
    const auto started = std::chrono::steady_clock::now();
    DemoStartup();
    // Real time, for information only; the screenshots do not depend on it.
    const auto elapsedMs = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    };
    std::printf("framegrab: start-up took %.0f ms\n", elapsedMs());
    if (options.from > 1 && !StartRunAtPhase(options.from)) {
        std::fprintf(stderr, "framegrab: cannot start at phase %d\n", options.from);
        return 1;
    }

    // Writes one screenshot and reports it with the music clock of its frame (0 on the end
    // screen, where the music has stopped); false when the file cannot be written.
    const auto shoot = [&](const char* name, long frame) {
        const std::filesystem::path path = outdir / name;
        if (!writeShot(path, options.width, options.height)) {
            std::fprintf(stderr, "framegrab: cannot write %s\n", path.c_str());
            return false;
        }
        std::printf("framegrab: frame %ld, music clock %.4f%s -> %s\n", frame, double(ticks),
                    parte == kPhaseCount ? " (end screen)" : "", path.c_str());
        return true;
    };

    if (!options.phases) {
        const std::string error = RunFramesToTicks(options.ticks, [&](int tick, long frame) {
            if (frame == 1) std::printf("framegrab: first frame shown at %.0f ms\n", elapsedMs());
            char name[32];
            std::snprintf(name, sizeof name, "tick-%05d.png", tick);
            return shoot(name, frame);
        });
        if (!error.empty()) {
            std::fprintf(stderr, "framegrab: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    // The sequencer moves `parte` on at the end of a phase's last frame, so the phase a frame
    // drew is the one `parte` named before it.
    std::size_t next = 0;
    while (kPhaseShots[next].phase < options.from) ++next;
    int drawnNext = parte;
    long framesOfPhase = 0;
    bool failed = false;
    RunFrames(kMaxPhaseRunFrames, [&](long frame) {
        const int drawn = drawnNext;
        drawnNext = parte;
        framesOfPhase = drawn == kPhaseShots[next].phase ? framesOfPhase + 1 : 0;
        const PhaseShot& shot = kPhaseShots[next];
        if (drawn > shot.phase) {
            std::fprintf(stderr, "framegrab: phase %d ended before its screenshot\n", shot.phase);
            failed = true;
            return false;
        }
        const bool due = drawn == shot.phase &&
                         (shot.tick >= 0 ? ticks >= float(shot.tick) : framesOfPhase >= shot.frame);
        if (!due) return true;
        char name[32];
        std::snprintf(name, sizeof name, "phase-%02d.png", shot.phase);
        if (!shoot(name, frame)) {
            failed = true;
            return false;
        }
        return ++next < kPhaseShots.size();
    });
    if (failed) return 1;
    if (next < kPhaseShots.size()) {
        std::fprintf(stderr, "framegrab: the run ended before the screenshot of phase %d\n",
                     kPhaseShots[next].phase);
        return 1;
    }
    return 0;
}
