// Firework sparks of the end screen: glowing 2D points that fly, flicker and tremble, and a
// rocket among them that bursts into 144 sparks of its colour at the end of its life.
//
// A list-kept element type (the conventions are in tpieza.h); both functions are type-level.
// All drawing goes through the 2D layer, so actualiza runs between Begin2D and End2D.
#pragma once

#include "platform/collections.h"

#include <cstdint>
#include <memory>

class tfuegoestela;
using tfuegoestelaRef = std::shared_ptr<tfuegoestela>;

class tfuegoestela {
  public:
    float x = 0.0f; // screen position, pixels from the top left
    float y = 0.0f;
    float vx = 0.0f; // speed in pixels per frame; negative vy moves up the screen
    float vy = 0.0f;
    int vida = 0;       // frames of life left
    std::uint8_t r = 0; // colour
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    int explota = 0; // non-zero: bursts when its life ends

    // A burst: rings at these offsets, each a spark every kPasoAnillo degrees.
    static constexpr int kAnillos = 4;
    static constexpr int kDesfaseAnillo = 5;
    static constexpr int kPasoAnillo = 10;
    static constexpr int kChispasPorEstallido = kAnillos * (360 / kPasoAnillo); // 144

    // Every live spark in creation order. Start-up replaces it with a new empty list.
    static std::shared_ptr<TList<tfuegoestelaRef>> lista_fuegoestela;

    // A new spark appended to lista_fuegoestela. vida is truncated toward zero (a value
    // outside the Int range, or not a number, counts as no life at all); r, g and b keep their
    // low 8 bits. Returns 0.
    static int crea(float x, float y, float vx, float vy, float vida, int r, int g, int b,
                    int explota);
    // Every spark in list order, those a burst appends included. A living spark (vida > 0)
    // loses a frame of life, moves, drifts up by 0.001 and is drawn: a 4 x 4 square in its
    // colour, blended additively, at a random alpha Rnd(0.5, 1) and Rnd(-1, 1) pixels to the
    // side (drawn in that order); the 2D state is left as the spark set it. A spark whose life
    // is over bursts if it is to (four rings at 0, 5, 10 and 15 degrees, a spark every 10
    // degrees, drawing per spark its speed Rnd(1, 3) and then its life Rand(30, 90)) and
    // leaves the list without being drawn. Returns 0.
    static int actualiza();
};
