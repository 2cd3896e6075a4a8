#include "platform/random.h"

#include <cmath>

namespace {
constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;

struct Pcg32 {
    std::uint64_t state = 0;
    std::uint64_t inc = 0;

    std::uint32_t next() {
        const std::uint64_t old = state;
        state = old * kMultiplier + inc;
        const auto xorshifted = std::uint32_t(((old >> 18u) ^ old) >> 27u);
        const auto rot = std::uint32_t(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }

    void seed(std::uint64_t initState, std::uint64_t sequence) {
        state = 0;
        inc = (sequence << 1u) | 1u;
        next();
        state += initState;
        next();
    }
};

Pcg32 makeStart() {
    Pcg32 g;
    g.seed(kRandomSeed, kRandomSequence);
    return g;
}

Pcg32& generator() {
    static Pcg32 g = makeStart();
    return g;
}
} // namespace

std::uint32_t RandomBits() {
    return generator().next();
}

float Rnd(float a, float b) {
    const double u = double(RandomBits() >> 8) * (1.0 / 16777216.0);
    float f = float(double(a) + (double(b) - double(a)) * u);
    if (f == b && a != b) f = std::nextafter(f, a);
    return f;
}

float Rnd(float b) {
    return Rnd(0.0f, b);
}
float Rnd() {
    return Rnd(0.0f, 1.0f);
}

int Rand(int a, int b) {
    if (a > b) {
        const int t = a;
        a = b;
        b = t;
    }
    const std::uint64_t range = std::uint64_t(std::int64_t(b) - std::int64_t(a)) + 1;
    if (range > 0xFFFFFFFFull) return int(RandomBits()); // the whole 32-bit range
    const auto r32 = std::uint32_t(range);
    // Values below the threshold would favour the low residues; draw again for them.
    const std::uint32_t threshold = std::uint32_t(0u - r32) % r32;
    for (;;) {
        const std::uint32_t r = RandomBits();
        if (r >= threshold) return int(std::int64_t(a) + std::int64_t(r % r32));
    }
}

int Rand(int b) {
    return Rand(1, b);
}

void ResetRandomForTesting() {
    generator() = makeStart();
}
