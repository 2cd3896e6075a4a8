// The parts of the opening phases that the frame functions of phases.h share and that can run
// without drawing: the flying pieces of phases 2 and 3 (spawn rule and motion) and the row of
// pieces that the hand-over into phase 4 builds.
#pragma once

#include <optional>

// A flying piece starts at this depth, beyond the start-up fog, and moves toward the viewer by
// kFlyingStep per frame, turning +1 degree in roll and -1 in yaw; it goes once its z is at or
// below kFlyingEndZ (in its 300th frame, after being drawn in 299).
inline constexpr float kFlyingStartZ = 130.0f;
inline constexpr float kFlyingStep = 0.5f;
inline constexpr float kFlyingEndZ = -20.0f;

// What one spawn of a flying piece drew.
struct FlyingPieceSpawn {
    int tipo = 0;
    float x = 0.0f;
    float y = 0.0f;
    float pitch = 0.0f;
    float yaw = 0.0f;
    float roll = 0.0f;
};

// The spawn test of one frame: Rand(0, 99) below 10 spawns. Only a frame that spawns draws the
// piece, in this order: roll, yaw, pitch (each Rnd(0, 359)), y = Rnd(-15, 20),
// x = Rnd(-15, 15), tipo = Rand(0, 6).
std::optional<FlyingPieceSpawn> DrawFlyingPieceSpawn();

// Steps 4 and 5 of a phase-2 or phase-3 frame: the spawn test (creating the piece at
// kFlyingStartZ, blocks gliding apart, outlines on, no parent), then every listed piece in list
// order, the new one included, moves one step and is either destroyed and unlisted (z at or
// below kFlyingEndZ) or updated.
void SpawnAndMoveFlyingPieces();
void MoveFlyingPieces();
