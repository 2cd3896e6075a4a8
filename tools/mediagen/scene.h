// The scene that phase 9 builds piece by piece: a stepped pyramid with a little tower.
#pragma once

#include <array>
#include <vector>

namespace mediagen {

// The seven block-piece shapes of the demo: block offsets in whole blocks (x right, y up);
// the pieces place blocks two units apart.
inline constexpr int kShapeBlocks[7][4][2] = {
    {{0, 0}, {-1, 0}, {1, 0}, {2, 0}}, {{0, 0}, {0, 1}, {1, 0}, {1, 1}},
    {{0, 0}, {-1, 0}, {0, 1}, {0, 2}}, {{0, 0}, {1, 0}, {0, 1}, {0, 2}},
    {{0, 0}, {-1, 0}, {0, 1}, {1, 1}}, {{0, 0}, {1, 0}, {0, 1}, {-1, 1}},
    {{0, 0}, {-1, 0}, {1, 0}, {0, 1}},
};

// One record of the scene file.
struct ScenePiece {
    int tipo = 0;
    float x = 0, y = 0, z = 0;
    float pitch = 0, yaw = 0, roll = 0;
};

// World centres of the four blocks of a piece placed as the demo places it: the pivot at
// (x, y, z) in world terms, turned by pitch, yaw and roll, each block at twice its shape
// offset in the pivot's frame. Computed in the engine's frame (z and pitch negated, rotation
// yaw then pitch then roll) and rounded to whole units.
std::array<std::array<int, 3>, 4> BlockCentres(const ScenePiece& p);

// The sixteen pieces in building order (bottom layer first).
std::vector<ScenePiece> BuildScene();

} // namespace mediagen
