// Program end, fatal errors and the debug hooks.
#pragma once

#include <functional>
#include <string_view>

// Ends the program with exit status 0.
[[noreturn]] void End();

// Writes the message to standard error and ends the program with exit status -1.
[[noreturn]] void RuntimeError(std::string_view message);

// Work that must be over before the process ends, such as threads still using what ending it
// tears down (the exit handlers and static destructors run while other threads go on): while
// a guard lives, End and RuntimeError run its action on the thread that ends the program
// before anything else (newest guard first). FatalErrorNow runs none. The action may run more
// than once if the program goes on after it (a test's exit hook), so it must allow that.
class BeforeExit {
  public:
    explicit BeforeExit(std::function<void()> action);
    ~BeforeExit();
    BeforeExit(const BeforeExit&) = delete;
    BeforeExit& operator=(const BeforeExit&) = delete;

  private:
    std::function<void()> action_;
    friend void RunBeforeExitActions();
};

// Writes the message to standard error and ends the process at once with exit status -1,
// running no exit handlers and no exit hook a test has set: for failures after which closing
// down would call into what has failed (the display's connection gone, for one).
[[noreturn]] void FatalErrorNow(std::string_view message);

// Warning channel, for what a program should hear of although it goes on: a texture or model
// file that cannot be found or read, a load that needs a display before one is open. The
// message goes to standard error as one line, in every build, the first time it is given; the
// same message again is not repeated, so a file asked for every frame is named once. Safe to
// call from any thread.
void Warning(std::string_view message);

// Debug-log channel: a line on standard error in debug builds, silent in release builds.
void DebugLog(std::string_view message);

// Debug break: raises SIGTRAP under a debugger in debug builds, does nothing in release builds.
void DebugStop();
