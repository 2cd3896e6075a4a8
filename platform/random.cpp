#include "platform/random.h"

#include "platform/internal.h"

#include <cmath>

Pcg32& RandomGenerator() {
    static Pcg32 g = Pcg32::Start();
    return g;
}

std::uint32_t RandomBits() {
    return RandomGenerator().Next();
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
