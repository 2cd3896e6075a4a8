// A title word of phase 3: fades in and shrinks to its size while it shakes sideways.
#pragma once

#include "demo/globals.h"

class ttitulo {
  public:
    ImageRef imagen; // the word's image, its handle at its centre
    int x = 400;     // screen position of the handle; x is jittered on every draw
    int y = 300;
    float alfa = 0.0f;   // draw opacity
    float escala = 1.3f; // draw scale on both axes

    static ttituloRef crea(const ImageRef& imagen);
    // x = 400 + Rand(-2, 2); `alfa` up 0.01 while below 1; `escala` down 0.003 while above 1;
    // then draws.
    int pinta();
};
