#include "platform/error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {
struct Exited {
    int status;
    std::string message;
};
} // namespace

TEST(ErrorTest, EndAndRuntimeErrorReachTheHookWithTheirStatus) {
    SetExitHook([](int status, std::string_view message) {
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
    SetExitHook(nullptr);
}

TEST(ErrorTest, RuntimeErrorPrintsAndExitsWithMinusOne) {
    EXPECT_EXIT(RuntimeError("Unable to calculate tex size"), testing::ExitedWithCode(255),
                "Unable to calculate tex size");
    EXPECT_EXIT(End(), testing::ExitedWithCode(0), "");
}
