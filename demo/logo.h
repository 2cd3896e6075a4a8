// The cover logo of the opening phases, drawn centred and scaled about its centre.
#pragma once

#include "demo/globals.h"

class tlogo {
  public:
    ImageRef imagen; // the logo image, its handle at its centre
    int x = 400;     // screen position of the handle
    int y = 300;
    float escala = 0.0f; // draw scale on both axes
    float alfa = 0.0f;   // draw opacity (zoomin and zoomout)

    static tlogoRef crea(const ImageRef& imagen);
    // `escala` and `alfa` each move 0.011 of the way to 1; draws at both.
    int zoomin();
    // `escala` and `alfa` each move 0.009 of the way to 0; draws at both.
    int zoomout();
    // `escala` moves 0.1 of the way to 1; draws at it, fully opaque.
    int rebota();
    // Draws at scale 1, fully opaque.
    int pinta();

  private:
    void dibuja(float s, float a) const;
};
