#include "platform/clock.h"

#include "platform/internal.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace {
using SteadyClock = std::chrono::steady_clock;

SteadyClock::time_point epoch() {
    static const SteadyClock::time_point start = SteadyClock::now();
    return start;
}

// Forces the epoch at static initialisation, so "since the program started" holds even when
// the first query comes late.
[[maybe_unused]] const SteadyClock::time_point epochAtStart = epoch();
} // namespace

VirtualClock& TheVirtualClock() {
    static VirtualClock clock;
    return clock;
}

double ClockNowMs() {
    if (TheVirtualClock().on) return TheVirtualClock().now;
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - epoch()).count();
}

void ClockWaitUntil(double ms) {
    VirtualClock& vc = TheVirtualClock();
    if (vc.on) {
        if (ms > vc.now) vc.now = ms;
        return;
    }
    if (!(ms > ClockNowMs())) return;
    std::this_thread::sleep_until(epoch() + std::chrono::duration_cast<SteadyClock::duration>(
                                                std::chrono::duration<double, std::milli>(ms)));
}

int Millisecs() {
    return static_cast<int>(std::floor(ClockNowMs()));
}

void Delay(int ms) {
    if (ms <= 0) return;
    ClockWaitUntil(ClockNowMs() + ms);
}
