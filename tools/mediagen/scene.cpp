#include "tools/mediagen/scene.h"

#include "tools/mediagen/canvas.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <stdexcept>

namespace mediagen {

std::array<std::array<int, 3>, 4> BlockCentres(const ScenePiece& p) {
    auto cs = [](float deg, double* c, double* s) {
        const double a = double(deg) * 3.14159265358979323846 / 180.0;
        *c = std::cos(a), *s = std::sin(a);
    };
    double cy, sy, cx, sx, cz, sz;
    cs(p.yaw, &cy, &sy);
    cs(-p.pitch, &cx, &sx); // the engine keeps pitch negated
    cs(p.roll, &cz, &sz);
    std::array<std::array<int, 3>, 4> out{};
    for (int b = 0; b < 4; ++b) {
        double v[3] = {2.0 * kShapeBlocks[p.tipo][b][0], 2.0 * kShapeBlocks[p.tipo][b][1], 0.0};
        // Roll, then pitch, then yaw: the matrix T x Ry x Rx x Rz applied to the offset.
        double r[3] = {cz * v[0] - sz * v[1], sz * v[0] + cz * v[1], v[2]};
        double q[3] = {r[0], cx * r[1] - sx * r[2], sx * r[1] + cx * r[2]};
        double w[3] = {cy * q[0] + sy * q[2], q[1], -sy * q[0] + cy * q[2]};
        // Back from the engine's frame: z negated.
        out[b] = {int(std::lround(p.x + w[0])), int(std::lround(p.y + w[1])),
                  int(std::lround(p.z - w[2]))};
    }
    return out;
}

std::vector<ScenePiece> BuildScene() {
    using Cell = std::array<int, 3>; // x, y, z world centres (odd numbers)
    // Cells in building order: layer by layer from the bottom, then by z and x.
    std::vector<Cell> target;
    auto layer = [&](int y, int half) {
        for (int z = -half; z <= half; z += 2)
            for (int x = -half; x <= half; x += 2) target.push_back({x, y, z});
    };
    layer(-4, 5); // 6 x 6
    layer(-2, 3); // 4 x 4
    layer(0, 1);  // 2 x 2, the tower from here up
    layer(2, 1);
    layer(4, 1);
    auto order = [](const Cell& a, const Cell& b) {
        return std::tie(a[1], a[2], a[0]) < std::tie(b[1], b[2], b[0]);
    };
    std::sort(target.begin(), target.end(), order);
    const std::set<Cell> wanted(target.begin(), target.end());
    if (wanted.size() != 64) throw std::runtime_error("the scene needs 64 cells");

    const int ground = target.front()[1];
    std::set<Cell> filled;
    std::vector<ScenePiece> placed;
    int used[7] = {};
    Rng rng(1991);
    // Pieces lie flat, pitched 90 degrees one way or the other (each the mirror of the other)
    // and not turned otherwise: under the builder's pivot the demo turns a piece in world terms
    // by way of its world angles, and at a pitch of 90 degrees those keep no yaw or roll. The
    // mirrored shapes (2 and 3, 4 and 5) give the turned footprints. A placement must also rest
    // on the ground or on blocks placed before it, so the scene builds from the bottom.
    std::function<bool()> solve = [&]() -> bool {
        auto next = std::find_if(target.begin(), target.end(),
                                 [&](const Cell& c) { return !filled.count(c); });
        if (next == target.end()) return true;
        const Cell cell = *next;
        // Prefer the shapes used least so far, ties broken by a fixed random draw.
        int pref[7] = {0, 1, 2, 3, 4, 5, 6};
        unsigned tie[7];
        for (unsigned& t : tie) t = rng.next();
        std::sort(pref, pref + 7, [&](int a, int b) {
            return std::tie(used[a], tie[a]) < std::tie(used[b], tie[b]);
        });
        for (int tipo : pref)
            for (float pitch : {90.0f, -90.0f})
                for (int anchor = 0; anchor < 4; ++anchor) {
                    ScenePiece p{tipo, 0, 0, 0, pitch, 0, 0};
                    // Place the pivot so that block `anchor` covers the cell.
                    const auto rel = BlockCentres(p);
                    p.x = float(cell[0] - rel[anchor][0]);
                    p.y = float(cell[1] - rel[anchor][1]);
                    p.z = float(cell[2] - rel[anchor][2]);
                    const auto cells = BlockCentres(p);
                    bool fits = true;
                    for (const Cell& c : cells) {
                        if (!wanted.count(c) || filled.count(c)) fits = false;
                        const Cell below = {c[0], c[1] - 2, c[2]};
                        const bool own =
                            std::find(cells.begin(), cells.end(), below) != cells.end();
                        if (c[1] > ground && !own && !filled.count(below)) fits = false;
                    }
                    if (!fits) continue;
                    for (const Cell& c : cells) filled.insert(c);
                    placed.push_back(p);
                    ++used[tipo];
                    if (solve()) return true;
                    --used[tipo];
                    placed.pop_back();
                    for (const Cell& c : cells) filled.erase(c);
                }
        return false;
    };
    if (!solve() || placed.size() != 16) throw std::runtime_error("the scene cannot be tiled");
    return placed;
}

} // namespace mediagen
