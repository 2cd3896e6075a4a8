// Smoothing the vertex normals of one surface (what TMesh::UpdateNormals does surface by
// surface), for the engine's own callers that know which surfaces need it. Internal: not
// installed.
#pragma once

#include "engine/math/vector.h"

#include <cstdint>
#include <vector>

class TSurface;

// Gives every vertex of a surface the normalised sum of the face normals of the surface's
// triangles that have a corner at exactly its position (see TMesh::UpdateNormals). Positions
// are the same when their coordinates compare equal (-0 and 0 are one position); a coordinate
// that is NaN matches only a NaN of the same bits. Holds working tables that later calls reuse.
class NormalSmoother {
  public:
    void Smooth(TSurface& s);

  private:
    // Per vertex, the number of its position; per position, the sum and whether a corner
    // reached it.
    std::vector<std::uint32_t> position_of_;
    std::vector<TVector> sums_;
    std::vector<std::uint8_t> reached_;
    // Open-addressing table from a position's bits to its number (kEmpty for a free slot).
    struct Slot {
        std::uint32_t x, y, z, position;
    };
    std::vector<Slot> table_;
};
