// Looking at an X server from outside the program that draws on it (kept apart from the test
// sources: the X headers define macros that clash with the test framework's names).
#pragma once

#include <optional>
#include <string>

// The colour (0xRRGGBB) of the middle pixel of the first window shown on the X server named;
// nothing while no window is shown or the server cannot be reached.
std::optional<unsigned long> ShownWindowPixel(const std::string& displayName);

// How many windows, shown or not, the clients of the X server named have made on its screen
// (the root window's children); nothing when the server cannot be reached.
std::optional<unsigned> WindowsMade(const std::string& displayName);

// The mark a window manager leaves on the root window of an X server: the check property naming
// a window of its own, which names itself.
enum class WindowManagerMark {
    Absent, // no mark: no window manager runs
    Live,   // the mark of one that runs
    Stale,  // a mark naming a window that is gone, as one that ended may leave
};

// Puts that mark on the server named for as long as the object lives, then takes it away again.
// Nothing is done when the server cannot be reached or already bears a mark (a real window
// manager runs there): `placed()` says whether it was.
class FakeWindowManager {
  public:
    FakeWindowManager(const std::string& displayName, WindowManagerMark mark);
    ~FakeWindowManager();
    FakeWindowManager(const FakeWindowManager&) = delete;
    FakeWindowManager& operator=(const FakeWindowManager&) = delete;
    bool placed() const { return placed_; }

  private:
    struct _XDisplay* x_ = nullptr;
    unsigned long window_ = 0;
    bool placed_ = false;
};
