// 2D text and pointer commands: each forwards to the TQuendor2D type function of the same name.
#pragma once

#include <string>

// Draws the text in white with the built-in 8x16 font, the top left of its first cell at
// window pixel (x, y) counted from the top left, over the rendered frame (see
// TQuendor2D::Text for the GL state it leaves). Without a display it does nothing.
void Text(int x, int y, const std::string& text);
// Pointer movement along x in pixels since the previous call of MouseXSpeed; the first call
// returns the pointer's x.
int MouseXSpeed();
// Pointer movement along y in pixels (downward positive) since the previous call of
// MouseYSpeed; the first call returns the pointer's y.
int MouseYSpeed();
