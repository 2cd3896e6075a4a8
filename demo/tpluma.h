// Pen dots: the stamps of the demo's 2D line drawings, and the glow at a pen's tip.
//
// A reader (dibujo.h) stamps one dot per point of a drawing. A stamped dot trembles and
// flickers in place every frame until the drawing is wiped (borratodo); then it takes off,
// either hopping up and falling away or bursting outward, fades as it flies and leaves the list
// once its opacity is below zero. Everything is drawn through the 2D image layer, so the
// passes run between Begin2D and End2D.
//
// The type is list-kept and follows the element conventions of tpieza.h; its elements are
// reached only through the list, so crea returns 0. Every random number comes from the demo's
// one generator in a fixed order (per dot: its state's draws, then the two jitter draws of
// pinta), which makes the picture repeat from run to run.
#pragma once

#include "platform/collections.h"
#include "platform/image2d.h"

#include <cstdint>
#include <memory>

class tlapiz;
using tlapizRef = std::shared_ptr<tlapiz>;

class tlapiz {
  public:
    // States of a dot.
    static constexpr std::uint8_t kEstampado = 1; // trembling in place
    static constexpr std::uint8_t kSalto = 2;     // wiped: hops up and falls away
    static constexpr std::uint8_t kEstallido = 3; // wiped: bursts outward
    static constexpr std::uint8_t kVuelo = 10;    // flying and fading

    ImageRef imagen;         // the stamped image (pen dot or glow)
    int x = 0;               // screen position, window pixels, y downward
    int y = 0;               //
    float alfa = 0.0f;       // opacity of the stamp
    float escala = 0.0f;     // scale of the stamp, before the caller's factor
    std::uint8_t estado = 0; // 1, 2, 3 or 10 (above); any other value: inert, never drawn
    float vely = 0.0f;       // pixels per frame, positive downward
    float velx = 0.0f;       // pixels per frame
    std::uint8_t r = 0;      // colour of the stamp
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    // Every dot in stamping order. Start-up replaces it with a new empty list.
    static std::shared_ptr<TList<tlapizRef>> lista_lapiz;

    // Appends a stamped dot at (x, y); the colour keeps the low 8 bits of each argument. Its
    // opacity and scale stay 0 until the first actualiza.
    static int crea(int x, int y, const ImageRef& imagen, int r, int g, int b);
    // One frame of every dot in list order:
    //   stamped: new opacity Rnd(0.75, 1) and scale Rnd(0.12, 0.6), drawn;
    //   hop:     vely = Rnd(-3, -2), velx = Rnd(-1, 1), flying from now on, drawn as it was;
    //   burst:   vely = Rnd(-6, 6), velx = Rnd(-6, 6), flying from now on, drawn as it was;
    //   flying:  opacity -0.005, vely +0.2, y and x moved by their speed with the result
    //            truncated toward zero, new scale Rnd(0.12, 0.6); drawn while the opacity is
    //            at or above 0, else removed from the list undrawn.
    static int actualiza(int blend, float factor);
    // Every stamped dot takes state `modo` (2 hop, 3 burst); dots in other states keep theirs.
    static int borratodo(int modo);
    // Removes every dot from the list, in order.
    static int destruyetodo();
    // Draws the dot: colour, blend, rotation 0, its opacity, scale escala * factor, then jitter
    // dy = Rnd(-3, 3) and dx = Rnd(-3, 3) (drawn in that order) around its point. The state set
    // stays in force.
    int pinta(int blend, float factor);
    // The glow at a pen's tip: additive, scale 1, rotation 0, opaque white, at the exact point.
    static int pintaflare(const ImageRef& imagen, int x, int y);
};
