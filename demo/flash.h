// The screen flash: a white rectangle over the whole screen that rises to a peak opacity and
// fades out again. It marks beats and phase changes; one exists, made at start-up.
#pragma once

#include "demo/globals.h"

#include <cstdint>

class tflash {
  public:
    float alfa = 0.0f;       // current opacity of the rectangle
    float subida = 0.0f;     // opacity added per frame while rising
    float bajada = 0.0f;     // opacity taken away per frame while falling
    std::uint8_t estado = 0; // 0 idle (nothing drawn), 1 rising, 2 falling
    float maximo = 0.0f;     // opacity at which rising turns into falling

    static tflashRef crea();
    // Starts rising toward `maximo` from the current opacity, whatever the state.
    int activa(float maximo, float subida, float bajada);
    // One step of the state machine, then draws unless idle. Rising: at or above `maximo` it
    // turns to falling without a step, else steps up (never past 1). Falling: at or below 0 it
    // turns idle without a step, else steps down (never below 0).
    int actualiza();
    // Draws the white rectangle at `alfa`, alpha-blended.
    int pinta();
};
