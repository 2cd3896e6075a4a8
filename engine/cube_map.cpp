// TTexture::CubeMapTexelsRead and TTexture::GetCubeFace: what a mesh reads of a cube map, from
// the face table (engine/cube_face_table.h) and the coordinates mesh drawing generates.
//
// Mesh drawing has GL generate a cube map's coordinates in eye space (the reflection of the
// view direction on the unit normal, or the normal itself) and turns them back into world
// directions with the texture matrix; both are found here in world space, where they are the
// same. Inside a triangle the coordinates are weighted means of its corners', so a face reads
// only directions within the cone of the three: each face's rectangle takes in that cone's part
// inside the face's pyramid of directions.
#include "engine/brush.h"
#include "engine/camera.h"
#include "engine/cube_face_table.h"
#include "engine/flags.h"
#include "engine/mesh.h"
#include "engine/sprite.h"
#include "engine/surface.h"
#include "engine/texture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Dir = std::array<double, 3>;
using Faces = std::array<CubeFaceTexels, 6>;

Dir minus(const Dir& a, const Dir& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const Dir& a, const Dir& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Dir cross(const Dir& a, const Dir& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Dir unit(const Dir& a) {
    const double l = std::sqrt(dot(a, a));
    return l > 0 ? Dir{a[0] / l, a[1] / l, a[2] / l} : a;
}

// The part of a convex polygon of directions on the side of the plane through the origin with
// normal n (a direction d is kept when n . d >= 0).
std::vector<Dir> clip(const std::vector<Dir>& polygon, const Dir& n) {
    std::vector<Dir> kept;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Dir& a = polygon[i];
        const Dir& b = polygon[(i + 1) % polygon.size()];
        const double da = dot(n, a), db = dot(n, b);
        if (da >= 0) kept.push_back(a);
        if ((da < 0) != (db < 0)) {
            const double k = da / (da - db);
            kept.push_back(
                {a[0] + (b[0] - a[0]) * k, a[1] + (b[1] - a[1]) * k, a[2] + (b[2] - a[2]) * k});
        }
    }
    return kept;
}

// A pyramid a little wider than a face's own, so that rounding cannot leave out a direction the
// face reads.
constexpr double kSlack = 1.001;

// The face whose pyramid, narrowed as much as the others are widened, holds the direction; -1
// for one near an edge.
int clearFace(const Dir& p) {
    for (int f = 0; f < 6; ++f) {
        const cubeface::Reading& l = cubeface::ReadingOf(f);
        const double ma = l.sign * p[std::size_t(l.axis)];
        if (ma > 0 && std::fabs(p[std::size_t(l.axis_s)]) * kSlack < ma &&
            std::fabs(p[std::size_t(l.axis_t)]) * kSlack < ma)
            return f;
    }
    return -1;
}

// Widens the rectangle of face f to take in the texel that the direction reads there, and one
// more on every side for the single-precision rounding of the coordinates GL reads. A direction
// behind the face leaves it alone.
void mark(CubeFaceTexels& r, int f, const Dir& p, int size) {
    const cubeface::Reading& l = cubeface::ReadingOf(f);
    const double ma = l.sign * p[std::size_t(l.axis)];
    if (!(ma > 0)) return;
    const double s = (l.sign_s * p[std::size_t(l.axis_s)] / ma + 1) / 2;
    const double t = (l.sign_t * p[std::size_t(l.axis_t)] / ma + 1) / 2;
    const int x = int(std::floor(s * size)), y = int(std::floor(t * size));
    r.x0 = std::min(r.x0, x - 1);
    r.x1 = std::max(r.x1, x + 1);
    r.y0 = std::min(r.y0, y - 1);
    r.y1 = std::max(r.y1, y + 1);
}

// Widens each face's rectangle to take in every direction between the three of a triangle.
void coverTriangle(const std::array<Dir, 3>& d, Faces& faces, int size) {
    // A triangle whose three directions lie in one face's narrowed pyramid lies beyond a side of
    // every other face's wider pyramid, and the face itself keeps it whole: only that face reads
    // it, at its three corners (a face maps great circles to lines).
    const int clear = clearFace(d[0]);
    if (clear >= 0 && clearFace(d[1]) == clear && clearFace(d[2]) == clear) {
        for (const Dir& p : d) mark(faces[std::size_t(clear)], clear, p, size);
        return;
    }
    for (int f = 0; f < 6; ++f) {
        const cubeface::Reading& l = cubeface::ReadingOf(f);
        std::vector<Dir> polygon(d.begin(), d.end());
        for (int other : {l.axis_s, l.axis_t})
            for (int side : {-1, 1}) {
                Dir n{0, 0, 0};
                n[std::size_t(l.axis)] = l.sign * kSlack;
                n[std::size_t(other)] = side;
                polygon = clip(polygon, n);
            }
        for (const Dir& p : polygon) mark(faces[std::size_t(f)], f, p, size);
    }
}

// Whether one of the layers that the surface is drawn with holds the texture (the entity's
// brush first, then the surface's, as mesh drawing takes them).
bool carries(const TBrush& entity, const TBrush* surface, const TTexture& t) {
    const int layers = std::max(entity.no_texs, surface ? surface->no_texs : 0);
    for (int i = 0; i < std::min(layers, TBrush::kMaxLayers); ++i) {
        const TTexture* here = entity.tex[std::size_t(i)].get();
        if (!here && surface) here = surface->tex[std::size_t(i)].get();
        if (here == &t) return true;
    }
    return false;
}

Faces wholeFaces(int size) {
    Faces all;
    all.fill({0, 0, size - 1, size - 1});
    return all;
}

// The 3x3 matrix that carries normals as GL does under the mesh's matrix (the inverse transpose
// of its upper part, in the engine's GL space); false for a singular one.
bool normalMatrix(const TMatrix& m, double (&n)[3][3]) {
    // a[r][c]: row r, column c of the upper part.
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a[r][c] = m.grid[c][r];
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (!std::isfinite(det) || det == 0) return false;
    // The inverse transpose is the cofactor matrix over the determinant.
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            n[r][c] = (a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1]) / det;
        }
    return true;
}

} // namespace

CubeFace TTexture::GetCubeFace(int face) {
    return cubeface::Face(face);
}

std::array<CubeFaceTexels, 6> TTexture::CubeMapTexelsRead(const MeshRef& mesh,
                                                          const CameraRef& camera) const {
    const int size = width;
    if (!cube_map || size <= 0 || !mesh || !mesh->brush || !camera) return {};
    // A sprite is drawn turned to the camera, a mode other than 1 or 2 keeps the generation of
    // the surface drawn before: either can read anything.
    if (dynamic_cast<const TSprite*>(mesh.get()) || (cube_mode != 1 && cube_mode != 2))
        return wholeFaces(size);
    const TMatrix& m = mesh->mat;
    double normals[3][3];
    if (!normalMatrix(m, normals)) return wholeFaces(size);
    // Everything below is in the engine's GL space (z negated).
    const Dir eye{camera->mat.grid[3][0], camera->mat.grid[3][1], camera->mat.grid[3][2]};
    // The texture's own placement on top of the turn, where there is one.
    const bool placed = u_pos != 0 || v_pos != 0 || angle != 0 ||
                        ((u_scale != 0 || v_scale != 0) && (u_scale != 1 || v_scale != 1));
    const double turn = angle * 3.14159265358979323846 / 180;
    const auto place = [&](Dir c) {
        if (u_scale != 0 || v_scale != 0) c = {c[0] * u_scale, c[1] * v_scale, c[2]};
        c = {c[0] * std::cos(turn) - c[1] * std::sin(turn),
             c[0] * std::sin(turn) + c[1] * std::cos(turn), c[2]};
        return Dir{c[0] + u_pos, c[1] + v_pos, c[2]};
    };
    // Each face's rectangle grows from nothing.
    Faces faces;
    faces.fill({size, size, -1, -1});
    std::vector<Dir> pos, dir;
    mesh->ForEachSurfaceWithAnimated([&](const SurfaceRef& surf, const TSurface* anim_surf) {
        if (!surf || !carries(*mesh->brush, surf->brush.get(), *this)) return;
        const TSurface& s = *surf;
        const TSurface* posed = mesh->anim != 0 ? anim_surf : nullptr;
        const std::vector<float>& drawn =
            (mesh->anim_render != 0 && posed) ? posed->vert_coords : s.vert_coords;
        const std::size_t nv = std::min(
            {std::size_t(std::max(s.no_verts, 0)), drawn.size() / 3, s.vert_norm.size() / 3});
        pos.assign(nv, Dir{});
        dir.assign(nv, Dir{});
        for (std::size_t v = 0; v < nv; ++v) {
            const double x = drawn[3 * v], y = drawn[3 * v + 1], z = drawn[3 * v + 2];
            Dir p;
            for (std::size_t j = 0; j < 3; ++j)
                p[j] = m.grid[0][j] * x + m.grid[1][j] * y + m.grid[2][j] * z + m.grid[3][j];
            const Dir n0{s.vert_norm[3 * v], s.vert_norm[3 * v + 1], s.vert_norm[3 * v + 2]};
            const Dir n = unit({dot({normals[0][0], normals[0][1], normals[0][2]}, n0),
                                dot({normals[1][0], normals[1][1], normals[1][2]}, n0),
                                dot({normals[2][0], normals[2][1], normals[2][2]}, n0)});
            Dir g = n; // normal map
            if (cube_mode == 1) {
                // Reflection map: the view direction reflected on the normal.
                const Dir u = unit(minus(p, eye));
                const double k = 2 * dot(n, u);
                g = {u[0] - k * n[0], u[1] - k * n[1], u[2] - k * n[2]};
            }
            pos[v] = p;
            // The texture matrix's scale by (1, -1, -1).
            dir[v] = Dir{g[0], -g[1], -g[2]};
            if (placed) dir[v] = place(dir[v]);
        }
        const bool culled = ((mesh->brush->fx | (s.brush ? s.brush->fx : 0)) & NOCULLFX) == 0;
        const std::size_t nt = std::min(std::size_t(std::max(s.no_tris, 0)), s.tris.size() / 3);
        for (std::size_t t = 0; t < nt; ++t) {
            const std::size_t a = s.tris[3 * t], b = s.tris[3 * t + 1], c = s.tris[3 * t + 2];
            if (a >= nv || b >= nv || c >= nv) continue;
            if (culled) {
                // Culled when it faces away from the eye: GL's front faces turn counter-clockwise
                // seen from the eye, in the order the triangle array holds (the reverse of
                // TriangleVertex's). One edge-on within rounding is kept.
                const Dir normal = cross(minus(pos[b], pos[a]), minus(pos[c], pos[a]));
                const Dir toEye = minus(eye, pos[a]);
                const double side = dot(normal, toEye);
                if (side < -1e-3 * std::sqrt(dot(normal, normal) * dot(toEye, toEye))) continue;
            }
            coverTriangle({dir[a], dir[b], dir[c]}, faces, size);
        }
    });
    for (CubeFaceTexels& r : faces) {
        r.x0 = std::max(r.x0, 0);
        r.y0 = std::max(r.y0, 0);
        r.x1 = std::min(r.x1, size - 1);
        r.y1 = std::min(r.y1, size - 1);
    }
    return faces;
}
