// Block pieces: four cubes set out as one of seven four-block shapes, each shape in a colour of
// its own, with an optional black outline around every cube.
//
// Conventions every element type of the demo follows (this is the first of them):
// - A type is a class with public fields that the phases read and write directly. Its
//   constructor only gives the fields their start values; the type-level function `crea`
//   makes one element, fills its fields and builds its engine objects through the command
//   layer.
// - Per-frame work is `actualiza`. List-kept types run it over their whole list; the piece is
//   the exception: its `actualiza` is a per-piece method, since the phases move each piece
//   before updating it.
// - List-kept types hold their elements in one type-level list, created empty at start-up;
//   `crea` appends at the end, and every pass runs in insertion order over an enumeration that
//   steps past an element before it is used, so the current element may be removed.
// - `destruye` frees the engine objects an element built and nothing else: it does not unlink
//   the element, and the fields still refer to the freed objects, so an element is neither
//   updated nor destroyed again after it. `destruyetodo` destroys every element of the list in
//   order and then empties the list.
// - Every element function returns a value (the new element from `crea`, 0 otherwise).
#pragma once

#include "engine/handles.h"
#include "platform/collections.h"

#include <array>
#include <memory>

class tpieza;
using tpiezaRef = std::shared_ptr<tpieza>;

class tpieza {
  public:
    // Block offsets (x, y) of the four blocks of each shape, and the shape's colour (0-255).
    struct Forma {
        std::array<float, 4> x;
        std::array<float, 4> y;
        float red, green, blue;
    };
    static constexpr int kFormas = 7;
    static const std::array<Forma, kFormas> formas;

    int tipo = 0;                       // shape number 0..6
    PivotRef pivote;                    // parent of the four blocks; position and rotation
    std::array<MeshRef, 4> cubos{};     // the four block cubes, children of the pivot
    std::array<MeshRef, 4> contornos{}; // outline cubes, one child per block; null without
    BrushRef brocha;                    // the blocks: shape colour, piece texture, shine 2
    BrushRef brochacontorno;            // the outlines: black
    std::array<float, 4> actx{};        // current offsets of the blocks (gliding)
    std::array<float, 4> acty{};
    std::array<float, 4> destx{}; // target offsets, from the shape table
    std::array<float, 4> desty{};
    float x = 0.0f; // world position of the piece
    float y = 0.0f;
    float z = 0.0f;
    float pitch = 0.0f; // world rotation in degrees
    float yaw = 0.0f;
    float roll = 0.0f;
    float velpitch = 0.0f; // spin in degrees per frame, damped by friccion each frame
    float velyaw = 0.0f;
    // Roll spin written by beat events; it takes no part in the motion (roll changes only where
    // a phase writes `roll` itself).
    float velroll = 0.0f;
    int modo = 0;              // 0: blocks glide to their targets; 1: they stand there at once
    float velocidad = 0.0125f; // fraction of the remaining distance a gliding block covers
    float friccion = 0.9f;     // damping of velpitch and velyaw per frame

    // Every live piece in creation order. Start-up replaces it with a new empty list before
    // any piece exists.
    static std::shared_ptr<TList<tpiezaRef>> lista_piezas;
    // The pieces' texture, "media/pieza.png" with flags 1; every crea loads it again (the
    // engine hands back the one already loaded).
    static TextureRef textura;

    // A new piece appended to lista_piezas. Its pivot goes under padre (null: top level) and
    // stays at the parent's origin until the first actualiza. A non-zero contorno builds the
    // outlines. A tipo outside 0..6 makes a bare pivot without blocks or brushes. A texture
    // that cannot be loaded ends the program with an error naming the file.
    static tpiezaRef crea(int tipo, float x, float y, float z, float pitch, float yaw, float roll,
                          int modo, int contorno, const EntityRef& padre);
    // crea with the blocks' texture given instead of loaded from the media folder (null: the
    // blocks are untextured); textura is left as it is.
    static tpiezaRef creaConTextura(const TextureRef& tex, int tipo, float x, float y, float z,
                                    float pitch, float yaw, float roll, int modo, int contorno,
                                    const EntityRef& padre);
    // One frame: turns by the spin and damps it, places the pivot at the world position and
    // rotation, then glides (modo 0) or snaps (modo 1) the blocks. Any other modo does nothing.
    int actualiza();
    // Frees the pivot with its blocks and outlines, and the brushes. The piece stays listed.
    int destruye();
    // destruye on every listed piece in order, then empties the list.
    static int destruyetodo();
};
