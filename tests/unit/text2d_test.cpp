// Value easing, pointer speed from scripted pointer moves, and the number format of the
// on-screen texts.
#include "engine/commands.h"
#include "engine/text2d.h"
#include "platform/input.h"
#include "platform/strings.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(UpdateValue, MovesTheFractionRateOfTheWay) {
    struct Case {
        float current, target, rate, expected;
    } cases[] = {
        {10, 20, 0.25f, 12.5f}, {10, 20, 1, 20},        {10, 20, 0, 10}, {10, 20, 0.5f, 15},
        {20, 10, 0.25f, 17.5f}, {-4, 4, 0.5f, 0},       {7, 7, 0.3f, 7}, {10, 20, 2, 30},
        {10, 20, -1, 0},        {-8, -2, 0.75f, -3.5f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(TUtility::UpdateValue(c.current, c.target, c.rate), c.expected)
            << c.current << " -> " << c.target << " at " << c.rate;
}

TEST(UpdateValue, AppliedPerFrameEasesTowardTheTargetWithoutPassingIt) {
    float v = 0.0f;
    float last_gap = 1.0f;
    for (int frame = 1; frame <= 10; ++frame) {
        v = TUtility::UpdateValue(v, 1.0f, 0.5f);
        const float gap = 1.0f - v;
        EXPECT_GT(gap, 0.0f) << frame;
        EXPECT_FLOAT_EQ(gap, last_gap / 2) << frame;
        last_gap = gap;
    }
    EXPECT_FLOAT_EQ(v, 1.0f - std::ldexp(1.0f, -10));
}

// Each test starts with the pointer at the top left and the speeds' memory at program start.
class PointerSpeedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testseam::PushMouseMove(0, 0);
        FlushKeys();
        TQuendor2D::old_mouse_x = 0;
        TQuendor2D::old_mouse_y = 0;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(PointerSpeedTest, FirstCallGivesThePositionThenZeroAtRest) {
    testseam::PushMouseMove(30, 45);
    EXPECT_EQ(TQuendor2D::MouseXSpeed(), 30);
    EXPECT_EQ(TQuendor2D::MouseXSpeed(), 0);
    EXPECT_EQ(TQuendor2D::MouseYSpeed(), 45);
    EXPECT_EQ(TQuendor2D::MouseYSpeed(), 0);
    EXPECT_EQ(TQuendor2D::old_mouse_x, 30);
    EXPECT_EQ(TQuendor2D::old_mouse_y, 45);
}

TEST_F(PointerSpeedTest, EachAxisMeasuresFromItsOwnPreviousCall) {
    struct Step {
        int x, y;    // pointer moved to
        bool read_x; // MouseXSpeed called after the move
        bool read_y; // MouseYSpeed called after the move
        int speed_x, speed_y;
    } steps[] = {
        {100, 200, true, true, 100, 200}, {90, 230, true, true, -10, 30},
        {120, 230, true, false, 30, 0}, // y not read: its movement accumulates
        {60, 250, true, true, -60, 20},   {60, 250, true, true, 0, 0},
    };
    for (const Step& s : steps) {
        testseam::PushMouseMove(s.x, s.y);
        if (s.read_y) {
            EXPECT_EQ(TQuendor2D::MouseYSpeed(), s.speed_y) << s.x << "," << s.y;
        }
        if (s.read_x) {
            EXPECT_EQ(TQuendor2D::MouseXSpeed(), s.speed_x) << s.x << "," << s.y;
        }
    }
}

TEST_F(PointerSpeedTest, SeveralMovesBetweenCallsAddUpAndCommandsForward) {
    testseam::PushMouseMove(10, 10);
    EXPECT_EQ(MouseXSpeed(), 10);
    EXPECT_EQ(MouseYSpeed(), 10);
    testseam::PushMouseMove(50, 0);
    testseam::PushMouseMove(25, 40);
    testseam::PushKeyPress(Key::A);
    testseam::PushMouseMove(35, 70);
    EXPECT_EQ(MouseXSpeed(), 25);
    EXPECT_EQ(MouseYSpeed(), 60);
    EXPECT_EQ(KeyHit(Key::A), 1);
}

TEST(FloatToText, NineSignificantDigitsKeepingPointAndZeros) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {
        {2.0f, "2.00000000"},         {0.0f, "0.00000000"},
        {-1.5f, "-1.50000000"},       {12.5f, "12.5000000"},
        {24.0f, "24.0000000"},        {0.00005f, "4.99999987e-05"}, // the nearest Float
        {123456789.0f, "123456792."},                               // the nearest Float
        {1e12f, "9.99999996e+11"},    {0.1f, "0.100000001"},
    };
    for (const Case& c : cases) EXPECT_EQ(FloatToText(c.value), c.text) << c.value;
}

} // namespace
