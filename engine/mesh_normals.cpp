// Smooth vertex normals: per surface, the face normals of its triangles are summed per exact
// vertex position (positions numbered through a hash table of their bits, each sum kept in the
// order of the triangles), normalised, and written to every vertex at that position. Vertices
// split only for their texture coordinates or colours are smoothed as one; different surfaces
// never influence each other.
#include "engine/mesh_normals.h"

#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "platform/collections.h"
#include "platform/mathfn.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::uint32_t kEmpty = 0xffffffffu;

// The bits of a coordinate as positions compare it: -0 is 0.
std::uint32_t keyBits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b == 0x80000000u ? 0u : b;
}

std::size_t hashKey(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    std::uint64_t h = x * 0x9e3779b97f4a7c15ull;
    h ^= (h >> 29) ^ (std::uint64_t(y) * 0xbf58476d1ce4e5b9ull);
    h ^= (h >> 31) ^ (std::uint64_t(z) * 0x94d049bb133111ebull);
    return std::size_t(h ^ (h >> 32));
}

// Each sum scaled by 1 / its length, the factor rounded once to float. A zero sum stays zero.
TVector normalised(const TVector& n) {
    const double len = Sqr(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
    const float f = len > 0.0 ? float(1.0 / len) : 0.0f;
    return n.Multiply(f);
}

struct ByPosition {
    bool operator()(const TVector& a, const TVector& b) const { return a.Compare(b) < 0; }
};

using NormalMap = TMap<TVector, TVector, ByPosition>;

// Adds f to the sum kept under key, or starts one.
void accumulate(NormalMap& map, const TVector& key, const TVector& f) {
    if (map.Contains(key)) {
        map.Insert(key, map.ValueForKey(key).Add(f));
    } else {
        map.Insert(key, f);
    }
}

} // namespace

void NormalSmoother::Smooth(TSurface& s) {
    // The vertices whose positions the arrays hold: HasVertex is true exactly below this.
    const std::size_t n_verts =
        std::min(std::size_t(std::max(s.no_verts, 0)), s.vert_coords.size() / 3);
    std::size_t size = 16;
    while (size < 2 * n_verts) size *= 2;
    table_.assign(size, Slot{0, 0, 0, kEmpty});
    position_of_.resize(n_verts);
    std::uint32_t positions = 0;
    for (std::size_t v = 0; v < n_verts; ++v) {
        const float* p = &s.vert_coords[3 * v];
        const std::uint32_t x = keyBits(p[0]), y = keyBits(p[1]), z = keyBits(p[2]);
        std::size_t at = hashKey(x, y, z) & (size - 1);
        while (table_[at].position != kEmpty &&
               (table_[at].x != x || table_[at].y != y || table_[at].z != z)) {
            at = (at + 1) & (size - 1);
        }
        if (table_[at].position == kEmpty) table_[at] = Slot{x, y, z, positions++};
        position_of_[v] = table_[at].position;
    }
    sums_.resize(positions);
    reached_.assign(positions, 0);

    for (int t = 0; t < s.no_tris && s.HasTriangle(t); ++t) {
        const std::uint16_t* c = &s.tris[std::size_t(t) * 3];
        // Corners naming vertices that do not exist add nothing.
        if (c[0] >= n_verts || c[1] >= n_verts || c[2] >= n_verts) continue;
        const float* pa = &s.vert_coords[3 * std::size_t(c[0])];
        const float* pb = &s.vert_coords[3 * std::size_t(c[1])];
        const float* pc = &s.vert_coords[3 * std::size_t(c[2])];
        const TVector a{pa[0], pa[1], pa[2]}, b{pb[0], pb[1], pb[2]}, cc{pc[0], pc[1], pc[2]};
        const TVector f = b.Subtract(a).Cross(cc.Subtract(b));
        // Corner 0 first: stored at entry 2.
        for (int k = 2; k >= 0; --k) {
            const std::uint32_t at = position_of_[c[k]];
            if (reached_[at]) {
                sums_[at] = sums_[at].Add(f);
            } else {
                sums_[at] = f;
                reached_[at] = 1;
            }
        }
    }
    for (std::uint32_t i = 0; i < positions; ++i) {
        if (reached_[i]) sums_[i] = normalised(sums_[i]);
    }
    const std::size_t n_norm = std::min(n_verts, s.vert_norm.size() / 3);
    for (std::size_t v = 0; v < n_norm; ++v) {
        const std::uint32_t at = position_of_[v];
        if (!reached_[at]) continue;
        float* n = &s.vert_norm[3 * v];
        n[0] = sums_[at].x;
        n[1] = sums_[at].y;
        n[2] = sums_[at].z;
    }
}

int TMesh::UpdateNormals() {
    NormalSmoother smoother;
    int left = CountSurfaces();
    for (const SurfaceRef& s : *surf_list) {
        if (left-- <= 0) break;
        if (s) smoother.Smooth(*s);
    }
    return 0;
}

int TMesh::UpdateNormals0() {
    const int count = CountSurfaces();
    for (int si = 1; si <= count; ++si) {
        SurfaceRef s = GetSurface(si);
        if (!s) continue;
        NormalMap sums;
        const int no_tris_now = s->CountTriangles();
        for (int t = 0; t < no_tris_now; ++t) {
            const TVector f{s->TriangleNX(t), s->TriangleNY(t), s->TriangleNZ(t)};
            for (int k = 0; k < 3; ++k) {
                const int i = s->TriangleVertex(t, k);
                if (!s->HasVertex(i)) continue;
                accumulate(sums, TVector::Create(s->VertexX(i), s->VertexY(i), s->VertexZ(i)), f);
            }
        }
        const int no_verts_now = s->CountVertices();
        for (int v = 0; v < no_verts_now; ++v) {
            const TVector key = TVector::Create(s->VertexX(v), s->VertexY(v), s->VertexZ(v));
            if (!sums.Contains(key)) continue;
            TVector n = sums.ValueForKey(key);
            n.Normalize();
            s->VertexNormal(v, n.x, n.y, n.z);
        }
    }
    return 0;
}
