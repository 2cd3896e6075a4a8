#include "platform/mathfn.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <type_traits>

namespace {

TEST(MathFnTest, TrigonometryWorksInDegrees) {
    EXPECT_NEAR(Sin(90), 1.0, 1e-12);
    EXPECT_NEAR(Sin(-30), -0.5, 1e-12);
    EXPECT_NEAR(Cos(180), -1.0, 1e-12);
    EXPECT_NEAR(Cos(60), 0.5, 1e-12);
    EXPECT_NEAR(Tan(45), 1.0, 1e-12);
    EXPECT_NEAR(ASin(0.5), 30.0, 1e-9);
    EXPECT_NEAR(ACos(-1), 180.0, 1e-9);
    EXPECT_NEAR(ATan(1), 45.0, 1e-9);
    EXPECT_NEAR(ATan2(1, -1), 135.0, 1e-9); // y first
    EXPECT_NEAR(ATan2(-1, 0), -90.0, 1e-9);
}

TEST(MathFnTest, SqrIsTheSquareRootAndAbsKeepsItsType) {
    EXPECT_EQ(Sqr(16.0), 4.0);
    EXPECT_EQ(Sqr(2.25), 1.5);
    EXPECT_EQ(Abs(-3), 3);
    EXPECT_EQ(Abs(INT_MIN), INT_MIN);
    EXPECT_EQ(Abs(-2.5f), 2.5f);
    EXPECT_EQ(Abs(-0.125), 0.125);
    static_assert(std::is_same_v<decltype(Abs(-2.5f)), float>);
    static_assert(std::is_same_v<decltype(Abs(std::int64_t(-1))), std::int64_t>);
    EXPECT_EQ(Abs(std::int64_t(-5000000000)), 5000000000);
}

} // namespace
