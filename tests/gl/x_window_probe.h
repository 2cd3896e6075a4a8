// Looking at an X server from outside the program that draws on it (kept apart from the test
// sources: the X headers define macros that clash with the test framework's names).
#pragma once

#include <optional>
#include <string>

// The colour (0xRRGGBB) of the middle pixel of the first window shown on the X server named;
// nothing while no window is shown or the server cannot be reached.
std::optional<unsigned long> ShownWindowPixel(const std::string& displayName);
