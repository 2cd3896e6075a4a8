#include "demo/tcubemap.h"

#include "demo/float_math.h"
#include "engine/brush.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/entity.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "platform/mathfn.h"
#include "platform/random.h"

#include <algorithm>
#include <cmath>
#include <vector>

void AbultaSuperficie(const SurfaceRef& superficie, float bulto) {
    for (int v = 0; v < CountVertices(superficie); ++v) {
        // The call's arguments are evaluated last to first.
        const float dz = Rnd(-bulto, bulto);
        const float dy = Rnd(-bulto, bulto);
        const float dx = Rnd(-bulto, bulto);
        VertexCoords(superficie, v, AddF(VertexX(superficie, v), dx),
                     AddF(VertexY(superficie, v), dy), AddF(VertexZ(superficie, v), dz));
    }
}

namespace {

using Dir = std::array<double, 3>;

Dir Resta(const Dir& a, const Dir& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double Punto(const Dir& a, const Dir& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Dir Cruz(const Dir& a, const Dir& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Dir Unidad(const Dir& a) {
    const double l = std::sqrt(Punto(a, a));
    return l > 0 ? Dir{a[0] / l, a[1] / l, a[2] / l} : a;
}
Dir Formado() {
    return {TFormedX(), TFormedY(), TFormedZ()};
}

// How a cube-map face reads a direction (s, t, r) (the GL face table): the major axis `eje`
// with its sign, and the components that give the texel column and row, each with its sign.
struct LecturaCara {
    int eje, signo, ejeS, signoS, ejeT, signoT;
};
// By the engine's face number (-X, +Z, +X, -Z, -Y, +Y).
constexpr std::array<LecturaCara, 6> kLectura = {{
    {0, -1, 2, 1, 1, -1},  // -X
    {2, 1, 0, 1, 1, -1},   // +Z
    {0, 1, 2, -1, 1, -1},  // +X
    {2, -1, 0, -1, 1, -1}, // -Z
    {1, -1, 0, 1, 2, -1},  // -Y
    {1, 1, 0, 1, 2, 1},    // +Y
}};

// The part of a convex polygon of directions on the side of the plane through the origin with
// normal n (a direction d is kept when n . d >= 0).
std::vector<Dir> Recorta(const std::vector<Dir>& poli, const Dir& n) {
    std::vector<Dir> fuera;
    for (std::size_t i = 0; i < poli.size(); ++i) {
        const Dir& a = poli[i];
        const Dir& b = poli[(i + 1) % poli.size()];
        const double da = Punto(n, a), db = Punto(n, b);
        if (da >= 0) fuera.push_back(a);
        if ((da < 0) != (db < 0)) {
            const double k = da / (da - db);
            fuera.push_back(
                {a[0] + (b[0] - a[0]) * k, a[1] + (b[1] - a[1]) * k, a[2] + (b[2] - a[2]) * k});
        }
    }
    return fuera;
}

// Widens each face's texel rectangle to take in every direction between the three of a
// triangle: inside the triangle the texture coordinates are weighted means of its corners',
// so the face reads them within the cone of the three.
void CubreTriangulo(const std::array<Dir, 3>& d, std::array<tcubemap::Texeles, 6>& caras) {
    // A pyramid a little wider than the face's own, so that rounding cannot leave out a
    // direction the face reads.
    constexpr double kHolgura = 1.001;
    // The face whose pyramid, narrowed as much as the others are widened, holds the direction;
    // -1 for one near an edge. A triangle whose three directions lie in one such face lies
    // beyond a side of every other face's wider pyramid, and the face itself keeps it whole:
    // only that face reads it, at its three corners (the face maps great circles to lines).
    const auto caraClara = [](const Dir& p) {
        for (std::size_t c = 0; c < 6; ++c) {
            const LecturaCara& l = kLectura[c];
            const double ma = l.signo * p[std::size_t(l.eje)];
            if (ma > 0 && std::fabs(p[std::size_t(l.ejeS)]) * kHolgura < ma &&
                std::fabs(p[std::size_t(l.ejeT)]) * kHolgura < ma)
                return int(c);
        }
        return -1;
    };
    const auto marca = [](tcubemap::Texeles& r, const LecturaCara& l, const Dir& p) {
        const double ma = l.signo * p[std::size_t(l.eje)];
        if (!(ma > 0)) return;
        const double s = (l.signoS * p[std::size_t(l.ejeS)] / ma + 1) / 2;
        const double t = (l.signoT * p[std::size_t(l.ejeT)] / ma + 1) / 2;
        // One texel more on every side, for the single-precision rounding of the coordinates
        // the face reads.
        const int x = int(std::floor(s * tcubemap::kTamanio)),
                  y = int(std::floor(t * tcubemap::kTamanio));
        r.x0 = std::min(r.x0, x - 1);
        r.x1 = std::max(r.x1, x + 1);
        r.y0 = std::min(r.y0, y - 1);
        r.y1 = std::max(r.y1, y + 1);
    };
    const int clara = caraClara(d[0]);
    if (clara >= 0 && caraClara(d[1]) == clara && caraClara(d[2]) == clara) {
        for (const Dir& p : d) marca(caras[std::size_t(clara)], kLectura[std::size_t(clara)], p);
        return;
    }
    for (std::size_t c = 0; c < 6; ++c) {
        const LecturaCara& l = kLectura[c];
        std::vector<Dir> poli(d.begin(), d.end());
        for (int otro : {l.ejeS, l.ejeT})
            for (int lado : {-1, 1}) {
                Dir n{0, 0, 0};
                n[std::size_t(l.eje)] = l.signo * kHolgura;
                n[std::size_t(otro)] = lado;
                poli = Recorta(poli, n);
            }
        for (const Dir& p : poli) marca(caras[c], l, p);
    }
}

} // namespace

std::array<tcubemap::Texeles, 6> tcubemap::TexelesVistos(const CameraRef& vista) const {
    std::array<Texeles, 6> caras;
    const SurfaceRef sup = GetSurface(esfera, 1);
    const int nv = CountVertices(sup);
    if (!vista || !esfera || !esfera->brush || !pivote || nv <= 0) return caras;
    const bool culled = (esfera->brush->fx & NOCULLFX) == 0;
    const Dir ojo{EntityX(vista, 1), EntityY(vista, 1), EntityZ(vista, 1)};
    // The sphere's matrix is the pivot's: turn x scale. Normals go through its inverse
    // transpose, the turn x 1 / scale, which is the matrix applied to the normal / scale^2.
    const double ex = pivote->sx, ey = pivote->sy, ez = pivote->sz;
    std::vector<Dir> pos(static_cast<std::size_t>(nv));
    std::vector<Dir> dir(static_cast<std::size_t>(nv));
    for (int v = 0; v < nv; ++v) {
        TFormPoint(VertexX(sup, v), VertexY(sup, v), VertexZ(sup, v), esfera, nullptr);
        const Dir p = Formado();
        TFormVector(float(VertexNX(sup, v) / (ex * ex)), float(VertexNY(sup, v) / (ey * ey)),
                    float(VertexNZ(sup, v) / (ez * ez)), esfera, nullptr);
        const Dir n = Unidad(Formado());
        Dir g = n; // normal map
        if (modo_activo == 1) {
            // Reflection map: the view direction reflected on the normal.
            const Dir u = Unidad(Resta(p, ojo));
            const double k = 2 * Punto(n, u);
            g = {u[0] - k * n[0], u[1] - k * n[1], u[2] - k * n[2]};
        }
        pos[std::size_t(v)] = p;
        // The texture matrix reads world directions with y and z turned ((x, y, z) in the
        // engine's GL space, which is these coordinates with z negated, scaled by (1, -1, -1)).
        dir[std::size_t(v)] = {g[0], -g[1], g[2]};
    }
    for (int t = 0; t < CountTriangles(sup); ++t) {
        const int a = TriangleVertex(sup, t, 0), b = TriangleVertex(sup, t, 1),
                  c = TriangleVertex(sup, t, 2);
        if (a >= nv || b >= nv || c >= nv) continue;
        const Dir& pa = pos[std::size_t(a)];
        if (culled) {
            // Culled when it faces away from the eye; one edge-on within rounding is kept.
            const Dir normal = Cruz(Resta(pos[std::size_t(b)], pa), Resta(pos[std::size_t(c)], pa));
            const Dir alOjo = Resta(ojo, pa);
            const double lado = Punto(normal, alOjo);
            if (lado < -1e-3 * std::sqrt(Punto(normal, normal) * Punto(alOjo, alOjo))) continue;
        }
        CubreTriangulo({dir[std::size_t(a)], dir[std::size_t(b)], dir[std::size_t(c)]}, caras);
    }
    for (Texeles& r : caras) {
        r.x0 = std::max(r.x0, 0);
        r.y0 = std::max(r.y0, 0);
        r.x1 = std::min(r.x1, kTamanio - 1);
        r.y1 = std::min(r.y1, kTamanio - 1);
    }
    return caras;
}

tcubemapRef tcubemap::crea() {
    auto c = std::make_shared<tcubemap>();
    c->pivote = CreatePivot(nullptr);
    c->camara = CreateCamera(nullptr);
    CameraFogMode(c->camara, LINEARFOG);
    CameraFogColor(c->camara, 155, 155, 155);
    CameraFogRange(c->camara, 0, 175);
    c->textura = CreateTexture(kTamanio, kTamanio, COLORTEXTURE | CUBEMAPTEXTURE, 1);
    c->modo = 1;
    c->esfera = CreateSphere(kSegmentos, c->pivote);
    c->brocha = CreateBrush(200, 200, 200);
    BrushTexture(c->brocha, c->textura, 0);
    BrushFX(c->brocha, kFxNormal);
    BrushShininess(c->brocha, 1.0f);
    PaintEntity(c->esfera, c->brocha);
    AbultaSuperficie(GetSurface(c->esfera, 1), kBulto);
    CameraClsMode(c->camara, KEEPBUFFER, CLEARBUFFER);
    // The top-left corner of the screen, the size of a face: the rectangle that stands for the
    // face (RenderWorldToCubeTex).
    CameraViewport(c->camara, 0, 0, kTamanio, kTamanio);
    CameraRange(c->camara, 0.1f, 200);
    SetCubeMode(c->textura, c->modo);
    HideEntity(c->esfera);
    HideEntity(c->camara);
    c->ang1 = Rnd(0, 359);
    c->ang2 = Rnd(0, 359);
    c->ang3 = Rnd(0, 359);
    return c;
}

int tcubemap::destruye() {
    FreeEntity(camara);
    FreeEntity(esfera);
    FreeTexture(textura);
    return 0;
}

int tcubemap::cambia() {
    FreeEntity(esfera);
    esfera = CreateSphere(kSegmentos, pivote);
    BrushFX(brocha, kFxCambiada);
    PaintEntity(esfera, brocha);
    RotateEntity(pivote, 0, 0, 0, 0);
    TurnEntity(pivote, 90, 135, 45, 0);
    return 0;
}

int tcubemap::actualiza(int invertido, const CameraRef& vista) {
    ang1 = AddF(ang1, 3.0);
    ang2 = AddF(ang2, 3.1);
    ang3 = AddF(ang3, 3.3);
    ShowEntity(camara);
    // The sphere must not stand in its own views.
    HideEntity(esfera);
    PositionEntity(camara, EntityX(esfera, 0), EntityY(esfera, 0), EntityZ(esfera, 0), 0);
    const double sx = 4 + Cos(ang1);
    const double sy = 4 + Sin(ang2);
    const double sz = 4 + Cos(ang3);
    if (invertido != 0) {
        SetCubeMode(textura, 2);
        ScaleEntity(pivote, float(-sx), float(-sy), float(-sz), 0);
    } else {
        SetCubeMode(textura, 1);
        ScaleEntity(pivote, float(sx), float(sy), float(sz), 0);
        TurnEntity(pivote, 0.5f, 0.5f, 0.5f, 0);
        BrushFX(brocha, kFxNormal);
    }
    modo_activo = invertido != 0 ? 2 : 1;
    // A sphere drawn from both sides reads nearly every texel: its faces render whole, without
    // working out the bound each frame.
    const bool enPartes = vista && esfera && esfera->brush && (esfera->brush->fx & NOCULLFX) == 0;
    const std::array<Texeles, 6> vistos =
        enPartes ? TexelesVistos(vista) : std::array<Texeles, 6>{};
    for (int cara = 0; cara < 6; ++cara) {
        const Giro& g = kGiroCara[std::size_t(cara)];
        SetCubeFace(textura, cara);
        RotateEntity(camara, g.pitch, g.yaw, g.roll, 0);
        // Only the texels the sphere can show; the face's row 0 is the display row
        // kTamanio - 1 from the top.
        const Texeles& r = vistos[std::size_t(cara)];
        if (enPartes)
            CameraScissor(camara, r.x0, kTamanio - 1 - r.y1, std::max(r.x1 - r.x0 + 1, 0),
                          std::max(r.y1 - r.y0 + 1, 0));
        RenderWorldToCubeTex(textura);
    }
    CameraScissor(camara, 0, 0, -1, -1);
    ShowEntity(esfera);
    HideEntity(camara);
    return 0;
}
