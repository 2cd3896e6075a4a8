// Shared pieces of the block-piece tests: the seven shapes as the tests expect them, a fresh
// piece list per test and a piece built by tpieza's own code without its texture, so that the
// motion can be tested without a display.
#pragma once

#include "demo/phases_opening.h"
#include "demo/tpieza.h"
#include "engine/commands.h"
#include "engine/pivot.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

namespace piecetest {

struct Shape {
    std::array<std::array<float, 2>, 4> blocks; // (x, y) of blocks 0 to 3
    std::array<float, 3> colour;                // 0-255
};

// Block offsets and colours of shapes 0 to 6.
inline const std::array<Shape, 7> kShapes = {{
    {{{{0, 0}, {-2, 0}, {2, 0}, {4, 0}}}, {200, 0, 0}},
    {{{{0, 0}, {0, 2}, {2, 0}, {2, 2}}}, {0, 0, 200}},
    {{{{0, 0}, {-2, 0}, {0, 2}, {0, 4}}}, {200, 200, 0}},
    {{{{0, 0}, {2, 0}, {0, 2}, {0, 4}}}, {200, 0, 200}},
    {{{{0, 0}, {-2, 0}, {0, 2}, {2, 2}}}, {0, 200, 200}},
    {{{{0, 0}, {2, 0}, {0, 2}, {-2, 2}}}, {200, 100, 0}},
    {{{{0, 0}, {-2, 0}, {2, 0}, {0, 2}}}, {0, 200, 0}},
}};

// Each test starts with an empty piece list and the generator at its start state; the list of
// the previous test is put back afterwards.
class PieceListGuard {
  public:
    PieceListGuard() : saved_(tpieza::lista_piezas) {
        tpieza::lista_piezas = CreateList<tpiezaRef>();
        testseam::ResetRandom();
    }
    ~PieceListGuard() { tpieza::lista_piezas = saved_; }
    PieceListGuard(const PieceListGuard&) = delete;
    PieceListGuard& operator=(const PieceListGuard&) = delete;

  private:
    std::shared_ptr<TList<tpiezaRef>> saved_;
};

// A listed piece of the shape at the origin, without outlines, its pivot under parent: what
// tpieza::crea builds, with untextured blocks.
inline tpiezaRef UntexturedPiece(int tipo, int modo, const EntityRef& parent = nullptr) {
    return tpieza::creaConTextura(nullptr, tipo, 0, 0, 0, 0, 0, 0, modo, 0, parent);
}

// The flying-piece draws of `frames` frames from the generator's start state: the spawn test
// draws Rand(0, 99) every frame; only a frame that spawns draws the piece: roll, yaw, pitch, y,
// x, tipo.
inline std::vector<std::optional<FlyingPieceSpawn>> ReferenceSpawns(int frames) {
    testseam::ResetRandom();
    std::vector<std::optional<FlyingPieceSpawn>> out;
    for (int f = 0; f < frames; ++f) {
        if (Rand(0, 99) >= 10) {
            out.emplace_back();
            continue;
        }
        FlyingPieceSpawn s;
        s.roll = Rnd(0, 359);
        s.yaw = Rnd(0, 359);
        s.pitch = Rnd(0, 359);
        s.y = Rnd(-15, 20);
        s.x = Rnd(-15, 15);
        s.tipo = Rand(0, 6);
        out.push_back(s);
    }
    return out;
}

} // namespace piecetest
