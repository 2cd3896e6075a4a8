// Text drawn straight through OpenGL with a built-in fixed 8x16 bitmap font.
#pragma once

#include <string_view>

// Font cell size in pixels.
constexpr int kGLTextCellWidth = 8;
constexpr int kGLTextCellHeight = 16;

// Draws the text in the 2D layer's colour (SetColor; opaque) with the blending in force, the top
// left of its first cell at window pixel (x, y), one cell per byte from left to right; only the
// glyphs' ink is drawn. Bytes outside printable ASCII (32 to 126) leave their cell empty. It sets
// up its own viewport over the whole window and its own projection, and restores the matrices,
// viewport, enables, texture and transform state and the GL colour that it changes. Nothing
// happens without a display.
void GLDrawText(std::string_view text, int x, int y);

// True when pixel (px, py) of the glyph for character c is ink ((0, 0) at the top left of the
// cell); false outside the cell and for characters without a glyph.
bool GLTextGlyphInk(char c, int px, int py);
