#include "platform/error.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {
struct Exited {
    int status;
    std::string message;
};
} // namespace

TEST(ErrorTest, EndAndRuntimeErrorReachTheHookWithTheirStatus) {
    testseam::SetExitHook([](int status, std::string_view message) {
        throw Exited{status, std::string(message)};
    });
    try {
        End();
        ADD_FAILURE() << "End returned";
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, 0);
        EXPECT_EQ(e.message, "");
    }
    try {
        RuntimeError("File not found");
        ADD_FAILURE() << "RuntimeError returned";
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, -1);
        EXPECT_EQ(e.message, "File not found");
    }
    testseam::SetExitHook(nullptr);
}

TEST(ErrorTest, RuntimeErrorPrintsAndExitsWithMinusOne) {
    EXPECT_EXIT(RuntimeError("Unable to calculate tex size"), testing::ExitedWithCode(255),
                "Unable to calculate tex size");
    EXPECT_EXIT(End(), testing::ExitedWithCode(0), "");
}

// FatalErrorNow is for failures after which closing down would hang: the message, status -1, and
// neither the exit handlers nor the test hook run.
TEST(ErrorTest, FatalErrorNowPrintsAndEndsAtOnce) {
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("an exit handler ran\n", stderr); });
            testseam::SetExitHook(
                [](int, std::string_view) { std::fputs("the hook ran\n", stderr); });
            FatalErrorNow("Lost the connection to the display :9");
        },
        testing::ExitedWithCode(255), "^Lost the connection to the display :9\n$");
}

namespace {
TEST(WarningTest, EachMessageIsWrittenOnceAsALine) {
    testseam::ForgetWarnings();
    ::testing::internal::CaptureStderr();
    Warning("Cannot find texture: a.png");
    Warning("Cannot find texture: b.png");
    Warning("Cannot find texture: a.png");
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] {
            for (int n = 0; n < 100; ++n) Warning("from a thread");
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Cannot find texture: a.png\nCannot find texture: b.png\n"
              "from a thread\n");
    testseam::ForgetWarnings();
    ::testing::internal::CaptureStderr();
    Warning("from a thread");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "from a thread\n");
}
} // namespace
