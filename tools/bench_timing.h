// Timing helpers shared by the benchmarks: wall-clock milliseconds and percentiles of samples.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace benchtime {

using Clock = std::chrono::steady_clock;

// Milliseconds from t0 until now.
inline double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The value at fraction q (0..1) of the sorted samples, the nearest index; 0 for none.
inline double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::size_t(q * double(v.size() - 1) + 0.5)];
}

} // namespace benchtime
