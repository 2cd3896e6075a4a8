// 2D text and pointer commands: each forwards to the TQuendor2D type function of the same name.
#pragma once

#include <string>

// Draws the text in white at window pixel (x, y) over the rendered frame (see
// TQuendor2D::Text for the GL state it leaves).
void Text(int x, int y, const std::string& text);
// Pointer movement along x (y) since the previous call of the same command; the first call
// returns the pointer's position.
int MouseXSpeed();
int MouseYSpeed();
