#include "engine/polygon.h"

#include "engine/mesh.h"
#include "engine/surface.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace {

// Puts piece into list at index n, lengthening the list to 1 entry when it is empty and to
// twice n entries when it is full (the new entries null); n then counts the piece.
void appendPiece(PolygonList& list, std::size_t& n, PolygonRef piece) {
    if (!piece) return;
    if (n >= list.size()) list.resize(n == 0 ? 1 : 2 * n);
    list[n++] = std::move(piece);
}

// The piece made from points, tagged with the source polygon's surface and triangle.
PolygonRef taggedPiece(const std::vector<TVector>& points, const TPolygon& source) {
    PolygonRef piece = TPolygon::CreateFromPoints(points);
    if (piece) source.CopyTagsTo(*piece);
    return piece;
}

} // namespace

int TPolygon::AddVertex(const TVector& v) {
    // Fields edited from outside must not send the write past the array.
    no_verts = std::max(no_verts, 0);
    if (verts.size() <= std::size_t(no_verts)) {
        vert_capacity = std::max(vert_capacity, no_verts + 1);
        verts.resize(std::size_t(vert_capacity));
    }
    verts[std::size_t(no_verts)] = v;
    ++no_verts;
    if (no_verts >= vert_capacity) {
        vert_capacity *= 2;
        verts.resize(std::size_t(vert_capacity));
    }
    return 0;
}

void TPolygon::CopyTagsTo(TPolygon& piece) const {
    piece.surf = surf;
    piece.tri = tri;
    piece.source = source;
}

const TVector& TPolygon::GetVertex(int i) const {
    static const TVector kNone{};
    if (i < 0 || i >= no_verts || std::size_t(i) >= verts.size()) return kNone;
    return verts[std::size_t(i)];
}

PolygonRef TPolygon::CreateFromPoints(const std::vector<TVector>& points) {
    if (points.empty()) return nullptr;
    auto poly = std::make_shared<TPolygon>();
    for (const TVector& p : points) poly->AddVertex(p);
    return poly;
}

PolygonList TPolygon::MeshToPolygons(const MeshRef& mesh) {
    PolygonList polys;
    if (!mesh) return polys;
    const int no_surfs = mesh->CountSurfaces();
    std::size_t n = 0;
    for (int s = 1; s <= no_surfs; ++s) {
        if (SurfaceRef surf = mesh->GetSurface(s)) n += std::size_t(surf->CountTriangles());
    }
    polys.reserve(n);
    for (int s = 1; s <= no_surfs; ++s) {
        SurfaceRef surf = mesh->GetSurface(s);
        if (!surf) continue;
        const int no_tris = surf->CountTriangles();
        for (int t = 0; t < no_tris; ++t) {
            auto poly = std::make_shared<TPolygon>();
            for (int corner = 0; corner < 3; ++corner) {
                const int v = surf->TriangleVertex(t, corner);
                poly->AddVertex(TVector{surf->VertexX(v), surf->VertexY(v), surf->VertexZ(v)});
            }
            poly->surf = surf;
            poly->tri = t;
            for (int corner = 0; corner < 3; ++corner)
                poly->source[std::size_t(corner)] = poly->verts[std::size_t(corner)];
            polys.push_back(std::move(poly));
        }
    }
    return polys;
}

void TPolygon::SplitPolygon(const TPolygon& poly, const TPlane& plane, PolygonRef& front,
                            PolygonRef& back) {
    front = nullptr;
    back = nullptr;
    if (poly.no_verts <= 0) return;

    std::vector<TVector> f;
    std::vector<TVector> b;
    // Appends the crossing of the edge from its front vertex to its back one to both sides.
    auto addCrossing = [&](const TVector& in_front, const TVector& behind) {
        if (std::optional<TVector> i = TPlane::IntersectEdgeAgainstPlane(in_front, behind, plane)) {
            f.push_back(*i);
            b.push_back(*i);
        }
    };

    TVector a = poly.GetVertex(poly.no_verts - 1);
    int sa = plane.ClassifyPointToPlane(a);
    for (int k = 0; k < poly.no_verts; ++k) {
        const TVector& v = poly.GetVertex(k);
        const int sv = plane.ClassifyPointToPlane(v);
        if (sv == TPlane::kInFront) {
            if (sa == TPlane::kBehind) addCrossing(v, a);
            f.push_back(v);
        } else if (sv == TPlane::kBehind) {
            if (sa == TPlane::kInFront) {
                addCrossing(a, v);
            } else if (sa == TPlane::kOnPlane) {
                b.push_back(a);
            }
            b.push_back(v);
        } else {
            f.push_back(v);
            if (sa == TPlane::kBehind) b.push_back(v);
        }
        a = v;
        sa = sv;
    }
    front = taggedPiece(f, poly);
    back = taggedPiece(b, poly);
}

PolygonList& TPolygon::QuadToTris(PolygonList& polys) {
    const std::size_t n = polys.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!polys[i]) break;
        TPolygon& quad = *polys[i];
        if (quad.no_verts != 4) continue;
        auto second = std::make_shared<TPolygon>();
        second->AddVertex(quad.GetVertex(0));
        second->AddVertex(quad.GetVertex(2));
        second->AddVertex(quad.GetVertex(3));
        quad.CopyTagsTo(*second);
        quad.no_verts = 3;
        if (quad.verts.size() > 3) quad.verts[3] = TVector{};
        polys.push_back(std::move(second));
    }
    return polys;
}

void TPolygon::SplitPolygons(const PolygonList& polys, const TPlane& plane, PolygonList& front,
                             PolygonList& back) {
    std::size_t nf = 0;
    std::size_t nb = 0;
    for (const PolygonRef& p : polys) {
        if (!p) continue;
        PolygonRef f;
        PolygonRef b;
        SplitPolygon(*p, plane, f, b);
        appendPiece(front, nf, std::move(f));
        appendPiece(back, nb, std::move(b));
    }
    QuadToTris(front);
    QuadToTris(back);
}
