// Text over the rendered 3D frame, pointer movement between calls, and value easing.
#pragma once

#include <string>

// Type functions only; never instantiated.
class TQuendor2D {
  public:
    // Pointer x and y read at the end of the previous MouseXSpeed / MouseYSpeed; 0 at start.
    static int old_mouse_x;
    static int old_mouse_y;

    TQuendor2D() = delete;

    // Draws text in white with the built-in 8x16 font, the top left of its first cell at window
    // pixel (x, y), straight through OpenGL over whatever the frame holds (no switch to the 2D
    // layer). The texture matrix of the unit active on entry is reset; afterwards the matrix
    // mode is GL_TEXTURE, texture unit 0 is active (server and client side), blending and 2D
    // texturing are off and lighting is on, whatever they were before. The blend function in
    // force is used as it stands. Without a display it does nothing.
    static void Text(int x, int y, const std::string& text);
    // Pointer movement along x since the previous call: MouseX - old_mouse_x, after which
    // old_mouse_x takes the pointer x read again. The first call returns the absolute x.
    static int MouseXSpeed();
    // The same along y.
    static int MouseYSpeed();
};

// Type functions only; never instantiated.
class TUtility {
  public:
    TUtility() = delete;

    // current moved the fraction rate of the way toward target: current + (target - current)
    // x rate. Rate 0 keeps current, 1 reaches target; applied once per frame with a rate
    // between, the value eases toward the target.
    static float UpdateValue(float current, float target, float rate);
};
