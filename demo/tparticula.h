// 3D particles: glowing flares in the scene, thrown off with a small random velocity, rising
// and falling under a gravity of their own, fading out over 100 frames and then freeing
// themselves.
//
// A list-kept element type (the conventions are in tpieza.h); all three functions are
// type-level, and the one that frees every particle at once is `destruye`.
#pragma once

#include "engine/handles.h"
#include "platform/collections.h"

#include <memory>

class tparticula;
using tparticulaRef = std::shared_ptr<tparticula>;

class tparticula {
  public:
    float x = 0.0f; // world position
    float y = 0.0f;
    float z = 0.0f;
    float vx = 0.0f; // velocity, units per frame
    float vy = 0.0f;
    float vz = 0.0f;
    float gravedad = 0.0f; // taken off vy every frame
    float alfa = 0.0f;     // alpha of the sprite, 1 at birth
    SpriteRef sprite;      // the flare, camera-facing, without a parent

    // Alpha lost per update: a particle is drawn in 100 updates and freed in the 101st.
    static constexpr float kDesvanece = 0.01f;

    // Every live particle in creation order. Start-up replaces it with a new empty list.
    static std::shared_ptr<TList<tparticulaRef>> lista_particulas;

    // A new particle at (x, y, z), appended to lista_particulas: a flare sprite of
    // "media/flare.png" with texture flags 11 (one texture shared by all particles), full-bright
    // and additive, at a random scale. Random draws, in this order: vx = Rnd(-0.125, 0.125),
    // vy = Rnd(0.05, 0.25), vz = Rnd(-0.125, 0.125), gravedad = Rnd(0.001, 0.01), then the
    // scale Rnd(0.5, 1.75). The sprite stays at the world origin until the next actualiza.
    // A flare texture that cannot be loaded ends the program with an error naming the file.
    // Returns 0.
    static int crea(float x, float y, float z);
    // Every particle in list order: moves by its velocity, then gravity slows vy; alfa drops by
    // kDesvanece. While alfa is not below 0 the sprite takes it and the new position; once
    // below, the sprite is freed and the particle leaves the list. Returns 0.
    static int actualiza();
    // Frees every particle's sprite in list order, then empties the list. Returns 0.
    static int destruye();
};
