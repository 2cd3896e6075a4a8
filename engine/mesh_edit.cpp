// Whole-mesh editing: copying and merging surfaces into another mesh, flipping the winding,
// fitting into a box and transforming every vertex by a matrix.
#include "engine/brush.h"
#include "engine/math/matrix.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "engine/surface_copy.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

namespace {

// a / b with a zero b taken as its limit: an infinity of a's sign, or 0 when a is 0 too.
float limitRatio(float a, float b) {
    if (b != 0.0f) return a / b;
    if (a == 0.0f) return 0.0f;
    return a > 0.0f ? INFINITY : -INFINITY;
}

// Where a coordinate lies within [lo, hi], 0 at lo and 1 at hi; 0 for an empty span.
float spanFraction(float v, float lo, float hi) {
    const float span = hi - lo;
    return span != 0.0f ? (v - lo) / span : 0.0f;
}

// A normal component scaled by a fitting ratio; a ratio that is not finite leaves it as it is.
float scaleNormal(float n, float ratio) {
    return std::isfinite(ratio) ? n * ratio : n;
}

TMatrix identity() {
    TMatrix m;
    m.LoadIdentity();
    return m;
}

// TransformMesh, then the bounds marked for recomputing. Returns 0.
int transformAndMark(TMesh& mesh, const TMatrix& m) {
    mesh.TransformMesh(m);
    mesh.bounds_dirty = 1;
    return 0;
}

struct Axis {
    float lo = 1410065408.0f;
    float hi = -1410065408.0f;
    void Take(float v) {
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
};

} // namespace

// Appends copies of src's vertices to dst in source order: position, colour, alpha, normal and
// both texture-coordinate sets. src may be dst itself: the count is read once. Stops when dst
// is full.
void CopySurfaceVertices(const TSurface& src, TSurface& dst) {
    const int n = src.CountVertices();
    for (int v = 0; v < n; ++v) {
        const int i = dst.AddVertex(src.VertexX(v), src.VertexY(v), src.VertexZ(v), 0, 0, 0);
        if (i < 0) return;
        dst.VertexColor(i, src.VertexRed(v), src.VertexGreen(v), src.VertexBlue(v),
                        src.VertexAlpha(v));
        dst.VertexNormal(i, src.VertexNX(v), src.VertexNY(v), src.VertexNZ(v));
        dst.VertexTexCoords(i, src.VertexU(v, 0), src.VertexV(v, 0), 0, 0);
        dst.VertexTexCoords(i, src.VertexU(v, 1), src.VertexV(v, 1), 0, 1);
    }
}

// Appends src's triangles to dst, every corner index raised by offset, corner order kept.
void CopySurfaceTriangles(const TSurface& src, TSurface& dst, int offset) {
    const int n = src.CountTriangles();
    for (int t = 0; t < n; ++t) {
        dst.AddTriangle(src.TriangleVertex(t, 0) + offset, src.TriangleVertex(t, 1) + offset,
                        src.TriangleVertex(t, 2) + offset);
    }
}

MeshRef TMesh::CopyMesh(const EntityRef& new_parent) {
    MeshRef copy = CreateMesh(new_parent);
    AddMesh(copy);
    return copy;
}

int TMesh::AddMesh(const MeshRef& dest) {
    if (!dest) return 0;
    // Surfaces that this call adds to dest are never merge partners.
    const int n_dest = dest->CountSurfaces();
    const int n_src = CountSurfaces();
    for (int s = 1; s <= n_src; ++s) {
        const SurfaceRef src = GetSurface(s);
        if (!src) continue;
        bool merged = false;
        for (int d = 1; d <= n_dest && !merged; ++d) {
            const SurfaceRef target = dest->GetSurface(d);
            if (!target || TBrush::CompareBrushes(src->brush, target->brush) != 1) continue;
            const int offset = target->CountVertices();
            CopySurfaceVertices(*src, *target);
            CopySurfaceTriangles(*src, *target, offset);
            merged = true;
        }
        if (merged) continue;
        const SurfaceRef fresh = dest->CreateSurface(nullptr);
        CopySurfaceVertices(*src, *fresh);
        CopySurfaceTriangles(*src, *fresh, 0);
        if (src->brush) fresh->brush = src->brush->Copy();
    }
    return 0;
}

int TMesh::FlipMesh() {
    for (const SurfaceRef& s : *surf_list) {
        if (!s) continue;
        for (int t = 0; s->HasTriangle(t); ++t) {
            const std::size_t i = std::size_t(t) * 3;
            std::swap(s->tris[i], s->tris[i + 2]);
        }
    }
    return 0;
}

int TMesh::FitMesh(float x, float y, float z, float width, float height, float depth, int uniform) {
    // Present size over wanted size per axis (these refresh the bounds).
    const float rw = limitRatio(MeshWidth(), width);
    const float rh = limitRatio(MeshHeight(), height);
    const float rd = limitRatio(MeshDepth(), depth);

    const int n_surfs = CountSurfaces();
    Axis ax, ay, az;
    for (int i = 1; i <= n_surfs; ++i) {
        const SurfaceRef s = GetSurface(i);
        if (!s) continue;
        const int n = s->CountVertices();
        for (int v = 0; v < n; ++v) {
            ax.Take(s->VertexX(v));
            ay.Take(s->VertexY(v));
            az.Take(s->VertexZ(v));
        }
    }

    if (uniform == 1) {
        // The dominant axis lends its extremes and wanted size to the other two.
        if (rw >= rh && rw >= rd) {
            ay = az = ax;
            height = depth = width;
        } else if (rh >= rd) {
            ax = az = ay;
            width = depth = height;
        } else {
            ax = ay = az;
            width = height = depth;
        }
    }

    for (int i = 1; i <= n_surfs; ++i) {
        const SurfaceRef s = GetSurface(i);
        if (!s) continue;
        const int n = s->CountVertices();
        for (int v = 0; v < n; ++v) {
            const float vx = x + spanFraction(s->VertexX(v), ax.lo, ax.hi) * width;
            const float vy = y + spanFraction(s->VertexY(v), ay.lo, ay.hi) * height;
            const float vz = z + spanFraction(s->VertexZ(v), az.lo, az.hi) * depth;
            s->VertexCoords(v, vx, vy, vz);
            s->VertexNormal(v, scaleNormal(s->VertexNX(v), rw), scaleNormal(s->VertexNY(v), rh),
                            scaleNormal(s->VertexNZ(v), rd));
        }
    }
    bounds_dirty = 1;
    return 0;
}

int TMesh::ScaleMesh(float x_scale, float y_scale, float z_scale) {
    TMatrix m = identity();
    m.Scale(x_scale, y_scale, z_scale);
    return transformAndMark(*this, m);
}

int TMesh::RotateMesh(float pitch, float yaw, float roll) {
    TMatrix m = identity();
    m.Rotate(-pitch, yaw, roll); // pitch negated, as the engine stores it
    return transformAndMark(*this, m);
}

int TMesh::PositionMesh(float x, float y, float z) {
    TMatrix m = identity();
    m.Translate(x, y, -z);
    return transformAndMark(*this, m);
}

int TMesh::TransformMesh(const TMatrix& transform) {
    // Columns a, b, c of the 3x3 part; its cofactor matrix has the columns b x c, c x a, a x b.
    const auto column = [&transform](int i) {
        return std::array<double, 3>{transform.grid[i][0], transform.grid[i][1],
                                     transform.grid[i][2]};
    };
    const auto cross = [](const std::array<double, 3>& p, const std::array<double, 3>& q) {
        return std::array<double, 3>{p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2],
                                     p[0] * q[1] - p[1] * q[0]};
    };
    const auto a = column(0), b = column(1), c = column(2);
    const std::array<std::array<double, 3>, 3> cof{cross(b, c), cross(c, a), cross(a, b)};

    const int n_surfs = CountSurfaces();
    for (int i = 1; i <= n_surfs; ++i) {
        const SurfaceRef s = GetSurface(i);
        if (!s) continue;
        const int n = s->CountVertices();
        for (int v = 0; v < n; ++v) {
            // The point through the transform: a copy translated by it holds the image as its
            // translation.
            TMatrix p = transform;
            p.Translate(s->VertexX(v), s->VertexY(v), -s->VertexZ(v));
            s->VertexCoords(v, p.grid[3][0], p.grid[3][1], -p.grid[3][2]);

            const double n_in[3] = {s->VertexNX(v), s->VertexNY(v), -double(s->VertexNZ(v))};
            double n_out[3] = {0.0, 0.0, 0.0};
            for (int k = 0; k < 3; ++k) {
                const auto& col = cof[std::size_t(k)];
                for (int j = 0; j < 3; ++j) n_out[j] += col[std::size_t(j)] * n_in[k];
            }
            const double len_in =
                std::sqrt(n_in[0] * n_in[0] + n_in[1] * n_in[1] + n_in[2] * n_in[2]);
            const double len_out =
                std::sqrt(n_out[0] * n_out[0] + n_out[1] * n_out[1] + n_out[2] * n_out[2]);
            const double f = len_out > 0.0 ? len_in / len_out : 0.0;
            s->VertexNormal(v, float(n_out[0] * f), float(n_out[1] * f), float(-n_out[2] * f));
        }
    }
    return 0;
}

int TMesh::TransformMesh1(const TMatrix& transform) {
    const auto& g = transform.grid;
    for (int i = 1; i <= no_surfs; ++i) {
        const SurfaceRef s = GetSurface(i);
        if (!s) continue;
        for (int v = 0; s->HasVertex(v); ++v) {
            float* p = &s->vert_coords[std::size_t(v) * 3];
            const float x = p[0], y = p[1], z = p[2];
            p[0] = g[0][0] * x + g[1][0] * y + g[2][0] * z + g[3][0];
            p[1] = g[0][1] * x + g[1][1] * y + g[2][1] * z + g[3][1];
            p[2] = g[0][2] * x + g[1][2] * y + g[2][2] * z + g[3][2];
        }
    }
    return 0;
}
