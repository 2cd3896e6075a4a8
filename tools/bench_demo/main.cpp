// bench_demo [--from PHASE] [--phase11-frames N] [--frames N] [--compare WHAT]
//
// Runs the demo's own start-up and frames on the virtual clock (capture.h): the music advances
// exactly 735 sample frames per video frame and Flip does not wait, so every run draws the same
// frames however fast the machine is. By default it runs from tick 0 through phase 10 and then
// 600 frames of phase 11, timing each frame (DemoFrame, flip included) on a steady clock and
// counting it in the phase that drew it. It prints
//     phase N: frames F, ms/frame p50 X p99 Y max Z     (one line per phase that ran)
//     startup ms S
//     startup minor faults F main thread M   (page faults during the start-up: of the whole
//                                             process, and of the thread that runs it)
// and then the peak and current resident memory, with malloc's bytes in use and held, at the
// start of phase 11 and after its frames (under AddressSanitizer the malloc figures are not
// meaningful: its allocator is not malloc's).
//
//   --from PHASE        start at the beginning of PHASE (2 to 11) instead of tick 0; the frames
//                       differ from those of a full run (see StartRunAtPhase), which is fine for
//                       profiling one phase
//   --phase11-frames N  frames of phase 11 to run (default 600)
//   --frames N          stop after N frames in all, wherever the run is (for short profiles)
//   --compare WHAT      A/B in one run: every other frame runs with a faster path switched off
//                       (B), the others as usual (A); the frames drawn are the same. Prints per
//                       phase the p50 and p99 of A and of B and the ratios A/B. WHAT names the
//                       path: "flip-copies" (B: Flip copies the frame aside and back even where
//                       the swap keeps it, as on systems whose swap does not; the switch is the
//                       test library's)
//
// Exits 1 with a message if the music ends before phase 11. Run it under an X display
// (xvfb-run on a headless machine); the media are found beside the executable.
#include "demo/capture.h"
#include "demo/demo.h"
#include "demo/globals.h"
#include "demo/phases.h"
#include "demo/sequencer.h"
#include "platform/audio.h"
#include "platform/display.h"
#include "platform/testing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <system_error>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int usage(const std::string& message) {
    std::fprintf(stderr,
                 "bench_demo: %s\nusage: bench_demo [--from PHASE] [--phase11-frames N] "
                 "[--frames N] [--compare flip-copies]\n",
                 message.c_str());
    return 2;
}

bool parseNumber(std::string_view text, long low, long high, long& out) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

// Minor page faults so far of the whole process (every thread's) or of the calling thread.
long minorFaults(int who) {
    rusage usage{};
    return getrusage(who, &usage) == 0 ? usage.ru_minflt : 0;
}

// Nearest-rank percentile of the values (q in 0..1); 0 for none.
double percentile(std::vector<double> values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(q * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// The process's peak (VmHWM) and current (VmRSS) resident memory in kB (-1 where unreadable),
// and the bytes malloc has handed out and not had back: RSS that grows while this stays level
// is the allocator's or the driver's, not a leak in the program.
struct Memory {
    long peakKb = -1;
    long residentKb = -1;
    std::size_t heapInUse = 0;
    std::size_t heapHeld = 0; // in use plus free chunks malloc keeps
};

Memory readMemory() {
    Memory m;
    std::ifstream status("/proc/self/status");
    std::string line;
    const auto field = [&](std::string_view name, long& out) {
        if (line.compare(0, name.size(), name) != 0) return;
        out = std::strtol(line.c_str() + name.size(), nullptr, 10);
    };
    while (std::getline(status, line)) {
        field("VmHWM:", m.peakKb);
        field("VmRSS:", m.residentKb);
    }
    const struct mallinfo2 heap = mallinfo2();
    m.heapInUse = heap.uordblks + heap.hblkhd;
    m.heapHeld = heap.arena + heap.hblkhd;
    return m;
}

void printMemory(const char* when, const Memory& m) {
    std::printf("memory %s: VmHWM %.1f MB, VmRSS %.1f MB, heap in use %.1f MB (held %.1f MB)\n",
                when, double(m.peakKb) / 1024.0, double(m.residentKb) / 1024.0,
                double(m.heapInUse) / (1024.0 * 1024.0), double(m.heapHeld) / (1024.0 * 1024.0));
}

// The faster paths that --compare can switch off, by name.
using PathSwitch = void (*)(bool slowPath);
PathSwitch pathSwitch(std::string_view name) {
    if (name == "flip-copies") return [](bool slow) { testseam::SetFrameCopiesOnFlip(slow); };
    return nullptr;
}

void printTimes(int phase, const std::vector<double>& t) {
    std::printf("phase %d: frames %zu, ms/frame p50 %.1f p99 %.1f max %.1f\n", phase, t.size(),
                percentile(t, 0.50), percentile(t, 0.99), *std::max_element(t.begin(), t.end()));
}

void printComparison(int phase, const std::vector<double>& a, const std::vector<double>& b) {
    const double a50 = percentile(a, 0.50), a99 = percentile(a, 0.99);
    const double b50 = percentile(b, 0.50), b99 = percentile(b, 0.99);
    std::printf("phase %d: frames %zu+%zu, A p50 %.1f p99 %.1f, B p50 %.1f p99 %.1f, A/B p50 "
                "%.2f p99 %.2f\n",
                phase, a.size(), b.size(), a50, a99, b50, b99, b50 > 0 ? a50 / b50 : 0.0,
                b99 > 0 ? a99 / b99 : 0.0);
}

bool musicPlaying() {
    return musica && ChannelPlaying(musica->channel) != 0;
}

} // namespace

int main(int argc, char** argv) {
    long fromPhase = 1;
    long phase11Frames = 600;
    long frameLimit = -1;
    PathSwitch compare = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc) return usage("a value is needed after " + std::string(arg));
        const std::string_view value = argv[++i];
        bool ok = false;
        if (arg == "--from")
            ok = parseNumber(value, 2, kPhaseCount, fromPhase);
        else if (arg == "--phase11-frames")
            ok = parseNumber(value, 0, 1000000, phase11Frames);
        else if (arg == "--frames")
            ok = parseNumber(value, 1, 1000000, frameLimit);
        else if (arg == "--compare")
            ok = (compare = pathSwitch(value)) != nullptr;
        else
            return usage("unknown option " + std::string(arg));
        if (!ok) return usage("bad value for " + std::string(arg) + ": " + std::string(value));
    }

    PlatformInit();
    ChangeToExecutableDir(); // the demo's media folder lies beside the tools
    UseVirtualClockRun();
    const long faultsBefore = minorFaults(RUSAGE_SELF);
    const long threadFaultsBefore = minorFaults(RUSAGE_THREAD);
    const auto started = Clock::now();
    std::vector<std::pair<std::string, double>> steps;
    DemoStartup([&](std::string_view step) { steps.emplace_back(step, msSince(started)); });
    const double startupMs = msSince(started);
    const long startupFaults = minorFaults(RUSAGE_SELF) - faultsBefore;
    const long startupThreadFaults = minorFaults(RUSAGE_THREAD) - threadFaultsBefore;
    if (fromPhase > 1 && !StartRunAtPhase(int(fromPhase))) {
        std::fprintf(stderr, "bench_demo: cannot start at phase %ld\n", fromPhase);
        return 1;
    }

    std::array<std::vector<double>, kPhaseCount + 1> times, slowTimes;
    Memory atPhase11;
    bool inPhase11 = false;
    long phase11Run = 0;
    long total = 0;
    std::string error;
    while (frameLimit < 0 || total < frameLimit) {
        const int phase = parte;
        if (phase < 1 || phase > kPhaseCount) {
            error = "the demo is in no phase (" + std::to_string(phase) + ")";
            break;
        }
        if (phase == kPhaseCount) {
            if (!inPhase11) atPhase11 = readMemory();
            inPhase11 = true;
            if (phase11Run >= phase11Frames) break;
            ++phase11Run;
        }
        // One frame through the capture path: RunFrames calls `each` right after the flip, then
        // moves the audio device and the clock on, so only DemoFrame lies inside the timing.
        const bool slow = compare && total % 2 == 1;
        if (compare) compare(slow);
        double took = 0.0;
        const auto start = Clock::now();
        RunFrames(1, [&](long) {
            took = msSince(start);
            return true;
        });
        (slow ? slowTimes : times)[std::size_t(phase)].push_back(took);
        ++total;
        if (parte < kPhaseCount && !musicPlaying()) {
            error = "the music ended in phase " + std::to_string(parte) + ", before phase " +
                    std::to_string(kPhaseCount);
            break;
        }
    }

    for (int phase = 1; phase <= kPhaseCount; ++phase) {
        const std::vector<double>& t = times[std::size_t(phase)];
        const std::vector<double>& slowT = slowTimes[std::size_t(phase)];
        if (compare && !t.empty() && !slowT.empty())
            printComparison(phase, t, slowT);
        else if (!t.empty())
            printTimes(phase, t);
    }
    std::printf("startup ms %.1f\n", startupMs);
    std::printf("startup minor faults %ld main thread %ld\n", startupFaults, startupThreadFaults);
    double before = 0.0;
    for (const auto& [step, at] : steps) {
        std::printf("  startup step %s: %.1f ms\n", step.c_str(), at - before);
        before = at;
    }
    if (inPhase11) {
        printMemory("at the start of phase 11", atPhase11);
        const Memory after = readMemory();
        char when[64];
        std::snprintf(when, sizeof when, "after %ld frames of phase 11", phase11Run);
        printMemory(when, after);
        std::printf("VmHWM growth during phase 11: %.1f MB\n",
                    double(after.peakKb - atPhase11.peakKb) / 1024.0);
    }
    std::fflush(stdout);
    if (!error.empty()) {
        std::fprintf(stderr, "bench_demo: %s\n", error.c_str());
        return 1;
    }
    EndGraphics();
    return 0;
}
