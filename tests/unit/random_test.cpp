#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <set>

namespace {

// An independent model of the generator and of the two mappings, written from the algorithm's
// definition: PCG32 (XSH RR), seeded by the usual procedure.
struct ReferencePcg {
    std::uint64_t state = 0;
    std::uint64_t inc = 0;
    ReferencePcg(std::uint64_t seed, std::uint64_t seq) : inc(seq * 2 + 1) {
        next();
        state += seed;
        next();
    }
    std::uint32_t next() {
        const std::uint64_t old = state;
        state = old * 6364136223846793005ULL + inc;
        return std::rotr(std::uint32_t(((old >> 18) ^ old) >> 27), int(old >> 59));
    }
    float rnd(float a, float b) {
        const double u = std::ldexp(double(next() >> 8), -24);
        return float(a + (double(b) - a) * u);
    }
    int rand(int a, int b) { // a <= b, range below 2^32
        // Rejects the 2^32 mod range smallest raw values, as PCG's bounded draw does.
        const std::uint64_t range = std::uint64_t(std::int64_t(b) - a + 1);
        const std::uint64_t threshold = ((std::uint64_t(1) << 32) - range) % range;
        for (;;) {
            const std::uint64_t r = next();
            if (r >= threshold) return int(a + std::int64_t(r % range));
        }
    }
};

class RandomTest : public testing::Test {
  protected:
    void SetUp() override { testseam::ResetRandom(); }
    void TearDown() override { testseam::ResetRandom(); }
};

TEST_F(RandomTest, StartStateGivesThePublishedPcg32Sequence) {
    // The first outputs of PCG32 seeded with 42 and sequence 54, as published with the algorithm.
    const std::uint32_t published[] = {0xa15c02b7, 0x7b47f409, 0xba1d3330,
                                       0x83d2f293, 0xbfa4784b, 0xcbed606e};
    for (std::uint32_t v : published) EXPECT_EQ(RandomBits(), v);
    testseam::ResetRandom();
    EXPECT_EQ(RandomBits(), published[0]); // the reset goes back to the very start
}

TEST_F(RandomTest, RndAndRandFollowTheReferenceMapping) {
    ReferencePcg ref(kRandomSeed, kRandomSequence);
    // An interleaving like the demo's: colours, speeds, lives.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(Rand(0, 6), ref.rand(0, 6)) << i;
        ASSERT_EQ(Rnd(-15, 15), ref.rnd(-15, 15)) << i;
        ASSERT_EQ(Rand(90, 120), ref.rand(90, 120)) << i;
        ASSERT_EQ(Rnd(0.5f, 1.75f), ref.rnd(0.5f, 1.75f)) << i;
        ASSERT_EQ(Rnd(), ref.rnd(0, 1)) << i;
        ASSERT_EQ(Rnd(359), ref.rnd(0, 359)) << i;
        ASSERT_EQ(Rand(4), ref.rand(1, 4)) << i;
    }
}

TEST_F(RandomTest, RndStaysInsideItsHalfOpenRange) {
    // One float step wide: without the guard about half of the draws would round onto b.
    const float a = 1.0f, b = std::nextafter(1.0f, 2.0f);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(Rnd(a, b), a);
    const float lo = -3.0f, hi = 3.0f;
    float seenMin = hi, seenMax = lo;
    for (int i = 0; i < 20000; ++i) {
        const float v = Rnd(lo, hi);
        ASSERT_GE(v, lo);
        ASSERT_LT(v, hi);
        seenMin = std::min(seenMin, v);
        seenMax = std::max(seenMax, v);
    }
    EXPECT_LT(seenMin, -2.99f);
    EXPECT_GT(seenMax, 2.99f);
    // Reversed bounds: (b, a].
    for (int i = 0; i < 2000; ++i) {
        const float v = Rnd(5.0f, 2.0f);
        ASSERT_GT(v, 2.0f);
        ASSERT_LE(v, 5.0f);
    }
    EXPECT_EQ(Rnd(7.0f, 7.0f), 7.0f);
}

TEST_F(RandomTest, RandReachesBothEndsInEitherOrder) {
    for (auto [a, b] : {std::pair{0, 6}, std::pair{6, 0}, std::pair{-2, 2}}) {
        std::set<int> seen;
        for (int i = 0; i < 2000; ++i) {
            const int v = Rand(a, b);
            ASSERT_GE(v, std::min(a, b));
            ASSERT_LE(v, std::max(a, b));
            seen.insert(v);
        }
        EXPECT_EQ(int(seen.size()), std::abs(b - a) + 1);
    }
    EXPECT_EQ(Rand(5, 5), 5);
    for (int i = 0; i < 100; ++i) {
        const int v = Rand(3); // 1 .. 3
        ASSERT_TRUE(v >= 1 && v <= 3) << v;
    }
    Rand(INT_MIN, INT_MAX); // the full range draws raw bits
}

TEST_F(RandomTest, RandHasNoModuloBias) {
    // A range of 3 * 2^30 values: reducing 32 random bits modulo the range would make the
    // lowest 2^30 values twice as likely as the others (1/2 instead of 1/3).
    const int lo = INT_MIN, hi = int(std::int64_t(INT_MIN) + 3 * (std::int64_t(1) << 30) - 1);
    const int n = 30000;
    int low = 0;
    for (int i = 0; i < n; ++i) low += Rand(lo, hi) < INT_MIN + (1 << 30);
    EXPECT_NEAR(double(low) / n, 1.0 / 3.0, 0.02);
}

} // namespace
