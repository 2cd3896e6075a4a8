// Shared set-up of the demo's tests without a display: the demo's globals at their start values,
// the random generator at its start, and End/RuntimeError caught as an exception.
#pragma once

#include "demo/globals.h"
#include "platform/error.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace demotest {

// What End or RuntimeError would have ended the program with.
struct Exited {
    int status;
    std::string message;
};

// Makes End and RuntimeError throw Exited instead of ending the process.
inline void CatchExits() {
    testseam::SetExitHook([](int status, std::string_view message) {
        throw Exited{status, std::string(message)};
    });
}

class DemoTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetDemoGlobals();
        testseam::ResetRandom();
        CatchExits();
    }
    void TearDown() override {
        testseam::SetExitHook(nullptr);
        ResetDemoGlobals();
    }
};

// The clock as the music reports it after `videoFrames` frames of 735 sample frames (60 frames
// per second): frames played plus one, over 44.1 and 33.333332, as tmusic::position forms it.
inline float ClockAtFrame(long videoFrames) {
    const double p = double(videoFrames) * 735.0 + 1.0;
    return float(p / kFramesPerMs / kMsPerTick);
}

} // namespace demotest
