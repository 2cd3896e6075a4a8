#include "engine/surface.h"

#include "engine/brush.h"

#include <cstddef>
#include <memory>

namespace {

// True when element `base + count - 1` of v exists for a non-negative base.
bool inside(const std::vector<float>& v, long long base, int count) {
    return base >= 0 && base + count <= static_cast<long long>(v.size());
}

} // namespace

std::uint64_t TSurface::NextRevision() {
    static std::uint64_t counter = 0;
    return ++counter;
}

TSurface::TSurface() : revision(NextRevision()) {}

void TSurface::MarkChanged() {
    changed = 1;
    revision = NextRevision();
}

bool TSurface::HasVertex(int vid) const {
    return vid >= 0 && vid < no_verts && inside(vert_coords, 3LL * vid, 3);
}

bool TSurface::HasTriangle(int tri) const {
    return tri >= 0 && tri < no_tris && 3LL * tri + 3 <= static_cast<long long>(tris.size());
}

SurfaceRef TSurface::Copy() const {
    auto s = std::make_shared<TSurface>();
    s->no_verts = no_verts;
    s->no_tris = no_tris;
    s->tris = tris;
    s->vert_coords = vert_coords;
    s->vert_tex_coords0 = vert_tex_coords0;
    s->vert_tex_coords1 = vert_tex_coords1;
    s->vert_norm = vert_norm;
    s->vert_col = vert_col;
    s->brush = brush ? brush->Copy() : nullptr;
    s->vert_capacity = vert_capacity;
    s->tri_capacity = tri_capacity;
    s->vmin = vmin;
    s->vmax = vmax;
    s->changed = 0;
    return s;
}

int TSurface::PaintSurface(const BrushRef& b) {
    brush = b;
    return 0;
}

int TSurface::ClearSurface(int clear_verts, int clear_tris) {
    if (clear_verts != 0) {
        no_verts = 0;
        vert_coords.clear();
        vert_tex_coords0.clear();
        vert_tex_coords1.clear();
        vert_norm.clear();
        vert_col.clear();
        vert_capacity = 1;
    }
    if (clear_tris != 0) {
        no_tris = 0;
        tris.clear();
        tri_capacity = 1;
    }
    MarkChanged();
    return 0;
}

int TSurface::AddVertex(float x, float y, float z, float u, float v, float /*w*/) {
    if (no_verts >= kMaxVertices || no_verts < 0) return -1;
    no_verts += 1;
    if (no_verts >= vert_capacity) {
        while (vert_capacity <= no_verts) vert_capacity *= 2;
    }
    // Grow the arrays to the capacity also when a loader replaced them with shorter ones.
    const std::size_t cap = std::size_t(vert_capacity);
    if (vert_coords.size() < cap * 3) vert_coords.resize(cap * 3, 0.0f);
    if (vert_norm.size() < cap * 3) vert_norm.resize(cap * 3, 0.0f);
    if (vert_tex_coords0.size() < cap * 2) vert_tex_coords0.resize(cap * 2, 0.0f);
    if (vert_tex_coords1.size() < cap * 2) vert_tex_coords1.resize(cap * 2, 0.0f);
    if (vert_col.size() < cap * 4) vert_col.resize(cap * 4, 0.0f);

    const std::size_t i = std::size_t(no_verts - 1);
    vert_coords[i * 3 + 0] = x;
    vert_coords[i * 3 + 1] = y;
    vert_coords[i * 3 + 2] = -z;
    vert_tex_coords0[i * 2 + 0] = u;
    vert_tex_coords0[i * 2 + 1] = v;
    vert_col[i * 4 + 0] = 1.0f;
    vert_col[i * 4 + 1] = 1.0f;
    vert_col[i * 4 + 2] = 1.0f;
    vert_col[i * 4 + 3] = 1.0f;
    return int(i);
}

int TSurface::AddTriangle(int a, int b, int c) {
    const auto fits = [](int v) { return v >= 0 && v < kMaxVertices; };
    if (!fits(a) || !fits(b) || !fits(c) || no_tris < 0) return 0;
    no_tris += 1;
    if (no_tris >= tri_capacity) {
        while (tri_capacity <= no_tris) tri_capacity *= 2;
    }
    const std::size_t cap = std::size_t(tri_capacity) * 3;
    if (tris.size() < cap) tris.resize(cap, 0);

    const std::size_t t = std::size_t(no_tris - 1);
    tris[t * 3 + 0] = std::uint16_t(c);
    tris[t * 3 + 1] = std::uint16_t(b);
    tris[t * 3 + 2] = std::uint16_t(a);
    MarkChanged();
    return no_tris;
}

int TSurface::VertexCoords(int vid, float x, float y, float z) {
    if (!HasVertex(vid)) return 0;
    const std::size_t i = std::size_t(vid) * 3;
    vert_coords[i + 0] = x;
    vert_coords[i + 1] = y;
    vert_coords[i + 2] = -z;
    MarkChanged();
    return 0;
}

int TSurface::VertexColor(int vid, float red, float green, float blue, float alpha) {
    if (vid < 0 || vid >= no_verts || !inside(vert_col, 4LL * vid, 4)) return 0;
    const std::size_t i = std::size_t(vid) * 4;
    vert_col[i + 0] = red / 255.0f;
    vert_col[i + 1] = green / 255.0f;
    vert_col[i + 2] = blue / 255.0f;
    vert_col[i + 3] = alpha;
    return 0;
}

int TSurface::VertexNormal(int vid, float nx, float ny, float nz) {
    if (vid < 0 || vid >= no_verts || !inside(vert_norm, 3LL * vid, 3)) return 0;
    const std::size_t i = std::size_t(vid) * 3;
    vert_norm[i + 0] = nx;
    vert_norm[i + 1] = ny;
    vert_norm[i + 2] = -nz;
    return 0;
}

int TSurface::VertexTexCoords(int vid, float u, float v, float /*w*/, int coord_set) {
    std::vector<float>* set = coord_set == 0   ? &vert_tex_coords0
                              : coord_set == 1 ? &vert_tex_coords1
                                               : nullptr;
    if (!set || vid < 0 || vid >= no_verts || !inside(*set, 2LL * vid, 2)) return 0;
    const std::size_t i = std::size_t(vid) * 2;
    (*set)[i + 0] = u;
    (*set)[i + 1] = v;
    return 0;
}

namespace {

// Element k of vertex vid in an array of `per` elements per vertex; 0 outside it.
float element(const std::vector<float>& v, int no_verts, int vid, int per, int k) {
    if (vid < 0 || vid >= no_verts || !inside(v, 1LL * per * vid, per)) return 0.0f;
    return v[std::size_t(vid) * std::size_t(per) + std::size_t(k)];
}

} // namespace

float TSurface::VertexX(int vid) const {
    return element(vert_coords, no_verts, vid, 3, 0);
}

float TSurface::VertexY(int vid) const {
    return element(vert_coords, no_verts, vid, 3, 1);
}

float TSurface::VertexZ(int vid) const {
    return -element(vert_coords, no_verts, vid, 3, 2);
}

float TSurface::VertexRed(int vid) const {
    return element(vert_col, no_verts, vid, 4, 0) * 255.0f;
}

float TSurface::VertexGreen(int vid) const {
    return element(vert_col, no_verts, vid, 4, 1) * 255.0f;
}

float TSurface::VertexBlue(int vid) const {
    return element(vert_col, no_verts, vid, 4, 2) * 255.0f;
}

float TSurface::VertexAlpha(int vid) const {
    return element(vert_col, no_verts, vid, 4, 3);
}

float TSurface::VertexNX(int vid) const {
    return element(vert_norm, no_verts, vid, 3, 0);
}

float TSurface::VertexNY(int vid) const {
    return element(vert_norm, no_verts, vid, 3, 1);
}

float TSurface::VertexNZ(int vid) const {
    return -element(vert_norm, no_verts, vid, 3, 2);
}

float TSurface::VertexU(int vid, int coord_set) const {
    if (coord_set == 0) return element(vert_tex_coords0, no_verts, vid, 2, 0);
    if (coord_set == 1) return element(vert_tex_coords1, no_verts, vid, 2, 0);
    return 0.0f;
}

float TSurface::VertexV(int vid, int coord_set) const {
    if (coord_set == 0) return element(vert_tex_coords0, no_verts, vid, 2, 1);
    if (coord_set == 1) return element(vert_tex_coords1, no_verts, vid, 2, 1);
    return 0.0f;
}

float TSurface::VertexW(int /*vid*/) const {
    return 0.0f;
}

int TSurface::TriangleVertex(int tri, int corner) const {
    if (!HasTriangle(tri) || corner < 0 || corner > 2) return 0;
    // Stored c, b, a: corner k sits at entry 2 - k.
    return int(tris[std::size_t(tri) * 3 + std::size_t(2 - corner)]);
}

namespace {

struct Edges {
    float ax, ay, az, bx, by, bz;
};

// a = p1 - p0 and b = p2 - p1 of the triangle's corners in the caller's coordinates.
Edges edgesOf(const TSurface& s, int tri) {
    const int v0 = s.TriangleVertex(tri, 0);
    const int v1 = s.TriangleVertex(tri, 1);
    const int v2 = s.TriangleVertex(tri, 2);
    const float x0 = s.VertexX(v0), y0 = s.VertexY(v0), z0 = s.VertexZ(v0);
    const float x1 = s.VertexX(v1), y1 = s.VertexY(v1), z1 = s.VertexZ(v1);
    const float x2 = s.VertexX(v2), y2 = s.VertexY(v2), z2 = s.VertexZ(v2);
    return Edges{x1 - x0, y1 - y0, z1 - z0, x2 - x1, y2 - y1, z2 - z1};
}

} // namespace

float TSurface::TriangleNX(int tri) const {
    const Edges e = edgesOf(*this, tri);
    return e.ay * e.bz - e.az * e.by;
}

float TSurface::TriangleNY(int tri) const {
    const Edges e = edgesOf(*this, tri);
    return e.az * e.bx - e.ax * e.bz;
}

float TSurface::TriangleNZ(int tri) const {
    const Edges e = edgesOf(*this, tri);
    return e.ax * e.by - e.ay * e.bx;
}
