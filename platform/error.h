// Program end, fatal errors and the debug hooks.
#pragma once

#include <functional>
#include <string_view>

// Ends the program with exit status 0.
[[noreturn]] void End();

// Writes the message to standard error and ends the program with exit status -1.
[[noreturn]] void RuntimeError(std::string_view message);

// Writes the message to standard error and ends the process at once with exit status -1,
// running no exit handlers and not the test seam's hook: for failures after which closing down
// would call into what has failed (the display's connection gone, for one).
[[noreturn]] void FatalErrorNow(std::string_view message);

// Debug-log channel: a line on standard error in debug builds, silent in release builds.
void DebugLog(std::string_view message);

// Debug break: raises SIGTRAP under a debugger in debug builds, does nothing in release builds.
void DebugStop();

// Test seam: when set, End and RuntimeError call the hook with the exit status and the
// message instead of ending the process. The hook must not return (a test throws from it);
// if it does, the process ends as usual.
using ExitHook = std::function<void(int status, std::string_view message)>;
void SetExitHook(ExitHook hook);
