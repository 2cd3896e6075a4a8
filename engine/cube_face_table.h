// Inside the engine: the one table of a cube map's faces. The engine numbers the faces 0 -x,
// 1 +z, 2 +x, 3 -z, 4 +y, 5 -y (SetCubeFace); GL numbers them by target,
// GL_TEXTURE_CUBE_MAP_POSITIVE_X + i for +x, -x, +y, -y, +z, -z of the texture coordinates
// (s, t, r). Mesh drawing generates a cube map's coordinates as world directions (x, -y, z)
// (the texture matrix's turn and its scale by (1, -1, -1)), so the engine's up face is GL's -y.
#pragma once

#include "engine/cube_map.h"

#include <array>

namespace cubeface {

// How GL reads a direction (s, t, r) on one of its faces: the major axis and its sign, and the
// components that give the column and the row, each with its sign (column = (sign_s * c[axis_s]
// / |c[axis]| + 1) / 2 of the face's width, row likewise).
struct Reading {
    int axis, sign, axis_s, sign_s, axis_t, sign_t;
};
// By GL face (+x, -x, +y, -y, +z, -z).
inline constexpr std::array<Reading, 6> kGLReading = {{
    {0, 1, 2, -1, 1, -1},  // +x
    {0, -1, 2, 1, 1, -1},  // -x
    {1, 1, 0, 1, 2, 1},    // +y
    {1, -1, 0, 1, 2, -1},  // -y
    {2, 1, 0, 1, 1, -1},   // +z
    {2, -1, 0, -1, 1, -1}, // -z
}};

// The GL face that engine face i is: the one that copies and renders into face i write, and
// the one a direction along face i's CubeFace reads.
inline constexpr std::array<int, 6> kGLFace = {1, 4, 0, 5, 3, 2};
// The GL face that the i-th image of a cube map's strip goes to when it is loaded or made (the
// same as kGLFace but for the up and down faces, which the strip holds the other way round).
inline constexpr std::array<int, 6> kStripGLFace = {1, 4, 0, 5, 2, 3};

// How GL reads directions on engine face i.
constexpr const Reading& ReadingOf(int face) {
    return kGLReading[std::size_t(kGLFace[std::size_t(face)])];
}

// Engine face i: its direction follows from its GL face, its turn is the camera's.
inline constexpr std::array<float[3], 6> kTurn = {{
    {0, 90, 0},  // -x
    {0, 0, 0},   // +z
    {0, -90, 0}, // +x
    {0, 180, 0}, // -z
    {-90, 0, 0}, // +y
    {90, 0, 0},  // -y
}};

constexpr CubeFace Face(int face) {
    CubeFace f;
    if (face < 0 || face > 5) return f;
    const Reading& r = ReadingOf(face);
    float dir[3] = {0, 0, 0};
    dir[r.axis] = float(r.axis == 1 ? -r.sign : r.sign); // y of the coordinates is -y
    f.x = dir[0];
    f.y = dir[1];
    f.z = dir[2];
    f.pitch = kTurn[std::size_t(face)][0];
    f.yaw = kTurn[std::size_t(face)][1];
    f.roll = kTurn[std::size_t(face)][2];
    return f;
}

} // namespace cubeface
