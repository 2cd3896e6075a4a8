// Smooth vertex normals: per surface, the face normals of its triangles are summed per exact
// vertex position (an ordered map keyed by the position, compared component by component
// without tolerance), normalised, and written to every vertex at that position. Vertices split
// only for their texture coordinates or colours are smoothed as one; different surfaces never
// influence each other.
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "platform/collections.h"
#include "platform/mathfn.h"

#include <cstddef>

namespace {

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

// Each sum scaled by 1 / its length, the factor rounded once to float. A zero sum stays zero.
NormalMap normalised(const NormalMap& sums) {
    NormalMap out;
    for (const auto& [key, n] : sums) {
        const double len = Sqr(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        const float f = len > 0.0 ? float(1.0 / len) : 0.0f;
        out.Insert(key, n.Multiply(f));
    }
    return out;
}

TVector storedPosition(const TSurface& s, int v) {
    const std::size_t i = std::size_t(v) * 3;
    return TVector{s.vert_coords[i], s.vert_coords[i + 1], s.vert_coords[i + 2]};
}

} // namespace

int TMesh::UpdateNormals() {
    const int count = CountSurfaces();
    for (int si = 1; si <= count; ++si) {
        SurfaceRef sp = GetSurface(si);
        if (!sp) continue;
        TSurface& s = *sp;
        NormalMap sums;
        const int no_tris_now = s.no_tris;
        for (int t = 0; t < no_tris_now; ++t) {
            if (!s.HasTriangle(t)) break;
            const std::size_t base = std::size_t(t) * 3;
            const int ia = s.tris[base], ib = s.tris[base + 1], ic = s.tris[base + 2];
            // Corners naming vertices that do not exist add nothing.
            if (!s.HasVertex(ia) || !s.HasVertex(ib) || !s.HasVertex(ic)) continue;
            const TVector pa = storedPosition(s, ia);
            const TVector pb = storedPosition(s, ib);
            const TVector pc = storedPosition(s, ic);
            const TVector f = pb.Subtract(pa).Cross(pc.Subtract(pb));
            for (int k = 0; k < 3; ++k) {
                accumulate(sums, storedPosition(s, s.TriangleVertex(t, k)), f);
            }
        }
        const NormalMap normals = normalised(sums);
        const int no_verts_now = s.no_verts;
        for (int v = 0; v < no_verts_now; ++v) {
            if (!s.HasVertex(v) || 3 * std::size_t(v) + 3 > s.vert_norm.size()) break;
            const TVector key = storedPosition(s, v);
            if (!normals.Contains(key)) continue;
            const TVector n = normals.ValueForKey(key);
            const std::size_t i = std::size_t(v) * 3;
            s.vert_norm[i] = n.x;
            s.vert_norm[i + 1] = n.y;
            s.vert_norm[i + 2] = n.z;
        }
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
