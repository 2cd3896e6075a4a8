// The giant piece of the credits phase: one block piece of four white cubes, ten times the
// size of an ordinary piece, that turns slowly and changes its shape every 61 frames, its
// blocks gliding from one shape to the next (the shapes of tpieza::formas). Built hidden at
// start-up; phase 6 updates it every frame, tips it on the beats through `destpitch` and
// destroys it when it ends. Not list-kept: the main body holds its one instance.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <array>
#include <memory>

class tpiezagigante;
using tpiezagiganteRef = std::shared_ptr<tpiezagigante>;

class tpiezagigante {
  public:
    static constexpr float kEscala = 10.0f;    // scale of the pivot on every axis
    static constexpr int kFramesPorForma = 60; // count that runs down between shape changes
    static constexpr float kSuavizado = 0.05f; // easing rate of pitch and roll per frame
    static constexpr int kTextureFlags = COLORTEXTURE | ALPHATEXTURE | MASKEDTEXTURE;

    int tipo = 0;                   // current shape 0..6
    PivotRef pivote;                // root pivot (no parent), scaled by kEscala
    std::array<MeshRef, 4> cubos{}; // the four block cubes, children of the pivot
    BrushRef brocha;                // all four blocks: white, the texture, shininess 10
    std::array<float, 4> actx{};    // current offsets of the blocks, in the pivot's units
    std::array<float, 4> acty{};
    std::array<float, 4> destx{}; // target offsets, from the shape table
    std::array<float, 4> desty{};
    float x = 0.0f; // world position
    float y = 0.0f;
    float z = 0.0f;
    float pitch = 0.0f; // rotation in degrees
    float yaw = 0.0f;
    float roll = 0.0f;
    float destroll = 0.0f;   // the roll that `roll` eases toward
    float destpitch = 0.0f;  // the pitch that `pitch` eases toward; raised by the beats
    int cuenta = 0;          // frames left until the next change of shape
    float velocidad = 0.05f; // fraction of the remaining distance a block covers per frame

    // The blocks' texture file.
    static constexpr const char* kArchivo = "media/piezalinea.png";
    // kArchivo with flags 7, loaded again by every crea.
    static TextureRef textura;

    // The new piece, hidden. Draws the start shape with Rand(0, 6) and moves on to the shape
    // after it at once. The texture is made from `preparada`, PrepareTexture(kArchivo,
    // kTextureFlags) made ahead, or loaded here where that is null; one that cannot be loaded
    // ends the program with an error naming the file.
    static tpiezagiganteRef crea(float x, float y, float z, float pitch, float yaw, float roll,
                                 const PreparedTextureRef& preparada = nullptr);
    // crea with the blocks' texture given instead of loaded from the media folder (null: the
    // blocks are untextured); textura is left as it is.
    static tpiezagiganteRef creaConTextura(const TextureRef& tex, float x, float y, float z,
                                           float pitch, float yaw, float roll);
    // One frame: shows the piece, eases pitch and roll, turns the yaw by half a degree, places
    // the pivot, glides the blocks, and counts down to the next change of shape (the first call
    // changes it).
    int actualiza();
    // The next shape (6, or any number outside 0..6, goes to 0): new targets for the blocks;
    // the colour stays white.
    int cambiatipo();
    // Frees the pivot with its blocks, and the brush.
    int destruye();
};
