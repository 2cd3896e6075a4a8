// Ready-made meshes: cube, sphere, cylinder and cone.
//
// Every shape is built in command coordinates (x right, y up, z into the screen) through the
// surface operations, which store z negated and the corners reversed. Vertex and triangle order
// and counts are fixed: programs that draw random numbers per vertex depend on them. Angles are
// in degrees; Sin and Cos are taken in double precision and stored as float, while headings,
// texture coordinates and ring angles advance by repeated float addition.
//
// The ring closes exactly: the last column of a sphere, cylinder or cone lies on its first
// column (the texture seam), so its points are computed from the start angle (90) rather than
// from the accumulated one (about 450), which the trigonometry and the float additions leave a
// few units in the last place away. Vertices on the seam are then at exactly the same
// positions, and UpdateNormals smooths across it.
#include "engine/commands_mesh.h"
#include "engine/mesh.h"
#include "platform/mathfn.h"

#include <vector>

namespace {

struct Point {
    float x, y, z;
};

// The point at angle a on the unit circle around the y axis, at height y: (-Cos a, y, Sin a).
Point ring(float a, float y) {
    return Point{float(-Cos(double(a))), y, float(Sin(double(a)))};
}

// The point at heading h and polar angle p (0 at the top) on the unit sphere.
Point onSphere(float h, float p) {
    const double sp = Sin(double(p));
    return Point{float(-Cos(double(h)) * sp), float(Cos(double(p))), float(Sin(double(h)) * sp)};
}

int vertex(const SurfaceRef& s, const Point& p, float u, float v) {
    return AddVertex(s, p.x, p.y, p.z, u, v, 0.0f);
}

// Planar texture coordinates of the cylinder caps and the cone base: (x/2 + 0.5, z/2 + 0.5).
int capVertex(const SurfaceRef& s, const Point& p) {
    return AddVertex(s, p.x, p.y, p.z, p.x / 2.0f + 0.5f, p.z / 2.0f + 0.5f, 0.0f);
}

constexpr float kStartAngle = 90.0f;

// a0 = 90 and a(i + 1) = a(i) + 360 / segments, for i = 0 .. segments; a(segments) closes the
// ring on a0.
std::vector<float> ringAngles(int segments) {
    const float div = 360.0f / float(segments);
    std::vector<float> a(std::size_t(segments) + 1);
    a[0] = kStartAngle;
    for (std::size_t i = 1; i < a.size(); ++i) a[i] = a[i - 1] + div;
    a.back() = kStartAngle;
    return a;
}

// The heading of the column after step `step` of `steps`: the closing column is the first.
float nextHeading(float h, int step, int steps) {
    return step == steps - 1 ? kStartAngle : h;
}

// The common start of the cylinder and the cone: the mesh under parent, its side surface and,
// for solid 1 only, its end surface (caps or base), the ring angles and the u step.
struct RingShape {
    MeshRef mesh;
    SurfaceRef side, end;
    std::vector<float> angles;
    float udiv;
};

RingShape ringShape(int segments, int solid, const EntityRef& parent) {
    RingShape r;
    r.mesh = TMesh::CreateMesh(parent);
    r.side = r.mesh->CreateSurface(nullptr);
    r.end = solid == 1 ? r.mesh->CreateSurface(nullptr) : nullptr;
    r.angles = ringAngles(segments);
    r.udiv = 1.0f / float(segments);
    return r;
}

struct CubeVertex {
    float x, y, z, nx, ny, nz, u, v;
};

// Three groups of the eight corners, each group with the normals of the faces that use it.
constexpr CubeVertex kCube[24] = {
    {-1, -1, -1, 0, 0, -1, 0, 1}, {-1, 1, -1, 0, 0, -1, 0, 0}, {1, 1, -1, 0, 0, -1, 1, 0},
    {1, -1, -1, 0, 0, -1, 1, 1},  {-1, -1, 1, 0, 0, 1, 1, 1},  {-1, 1, 1, 0, 0, 1, 1, 0},
    {1, 1, 1, 0, 0, 1, 0, 0},     {1, -1, 1, 0, 0, 1, 0, 1},   {-1, -1, 1, 0, -1, 0, 0, 1},
    {-1, 1, 1, 0, 1, 0, 0, 0},    {1, 1, 1, 0, 1, 0, 1, 0},    {1, -1, 1, 0, -1, 0, 1, 1},
    {-1, -1, -1, 0, -1, 0, 0, 0}, {-1, 1, -1, 0, 1, 0, 0, 1},  {1, 1, -1, 0, 1, 0, 1, 1},
    {1, -1, -1, 0, -1, 0, 1, 0},  {-1, -1, 1, -1, 0, 0, 0, 1}, {-1, 1, 1, -1, 0, 0, 0, 0},
    {1, 1, 1, 1, 0, 0, 1, 0},     {1, -1, 1, 1, 0, 0, 1, 1},   {-1, -1, -1, -1, 0, 0, 1, 1},
    {-1, 1, -1, -1, 0, 0, 1, 0},  {1, 1, -1, 1, 0, 0, 0, 0},   {1, -1, -1, 1, 0, 0, 0, 1},
};

// Front, back, top, bottom, right, left; two triangles each.
constexpr int kCubeTris[12][3] = {
    {0, 1, 2},   {0, 2, 3},   {6, 5, 4},    {7, 6, 4},    {14, 13, 9},  {10, 14, 9},
    {8, 12, 15}, {8, 15, 11}, {22, 18, 19}, {23, 22, 19}, {16, 17, 21}, {16, 21, 20},
};

void sphereOctahedron(const SurfaceRef& s, float div, float udiv) {
    float h = kStartAngle;
    float u = 1.0f;
    for (int step = 0; step < 4; ++step) {
        const int q1 = vertex(s, Point{0, 1, 0}, u - udiv / 2.0f, 0.0f);
        const int q2 = vertex(s, Point{0, -1, 0}, u - udiv / 2.0f, 1.0f);
        const int q3 = vertex(s, ring(h, 0.0f), u, 0.5f);
        h += div;
        u -= udiv;
        const int q4 = vertex(s, ring(nextHeading(h, step, 4), 0.0f), u, 0.5f);
        AddTriangle(s, q1, q3, q4);
        AddTriangle(s, q4, q3, q2);
    }
}

void sphereCaps(const SurfaceRef& s, int segments, float div, float udiv, float vdiv) {
    float h = kStartAngle;
    float u = 1.0f;
    const int steps = 2 * segments;
    for (int step = 0; step < steps; ++step) {
        const int q1 = vertex(s, Point{0, 1, 0}, u - udiv / 2.0f, 0.0f);
        const int q2 = vertex(s, Point{0, -1, 0}, u - udiv / 2.0f, 1.0f);
        Point p = onSphere(h, div);
        const int q3 = vertex(s, p, u, vdiv);
        const int q4 = vertex(s, Point{p.x, -p.y, p.z}, u, 1.0f - vdiv);
        h += div;
        u -= udiv;
        p = onSphere(nextHeading(h, step, steps), div);
        const int q5 = vertex(s, p, u, vdiv);
        const int q6 = vertex(s, Point{p.x, -p.y, p.z}, u, 1.0f - vdiv);
        AddTriangle(s, q1, q3, q5);
        AddTriangle(s, q6, q4, q2);
    }
}

void sphereBands(const SurfaceRef& s, int segments, float div, float udiv, float vdiv) {
    float h = kStartAngle;
    float u = 1.0f;
    const int steps = 2 * segments;
    for (int step = 0; step < steps; ++step) {
        float k = 1.0f;
        float v_upper = vdiv;
        for (int band = 1; band <= segments - 2; ++band) {
            const float p_upper = k * div;
            const float p_lower = (k + 1.0f) * div;
            const float v_lower = v_upper + vdiv;
            const float h_next = nextHeading(h + div, step, steps);
            const int q7 = vertex(s, onSphere(h, p_upper), u, v_upper);
            const int q8 = vertex(s, onSphere(h, p_lower), u, v_lower);
            const int q9 = vertex(s, onSphere(h_next, p_upper), u - udiv, v_upper);
            const int q10 = vertex(s, onSphere(h_next, p_lower), u - udiv, v_lower);
            AddTriangle(s, q9, q7, q8);
            AddTriangle(s, q10, q9, q8);
            k += 1.0f;
            v_upper += vdiv;
        }
        u -= udiv;
        h += div;
    }
}

} // namespace

MeshRef TMesh::CreateCube(const EntityRef& parent) {
    MeshRef m = CreateMesh(parent);
    SurfaceRef s = m->CreateSurface(nullptr);
    for (const CubeVertex& c : kCube) s->AddVertex(c.x, c.y, c.z, 0.0f, 0.0f, 0.0f);
    for (int i = 0; i < 24; ++i) s->VertexNormal(i, kCube[i].nx, kCube[i].ny, kCube[i].nz);
    for (int i = 0; i < 24; ++i) s->VertexTexCoords(i, kCube[i].u, kCube[i].v, 0.0f, 0);
    for (const auto& t : kCubeTris) s->AddTriangle(t[0], t[1], t[2]);
    return m;
}

MeshRef TMesh::CreateSphere(int segments, const EntityRef& parent) {
    if (segments < 2 || segments > 100) return nullptr;
    MeshRef m = CreateMesh(parent);
    SurfaceRef s = m->CreateSurface(nullptr);
    const float div = 360.0f / float(2 * segments);
    const float udiv = 1.0f / float(2 * segments);
    const float vdiv = 1.0f / float(segments);
    if (segments == 2) {
        sphereOctahedron(s, div, udiv);
    } else {
        sphereCaps(s, segments, div, udiv, vdiv);
        sphereBands(s, segments, div, udiv, vdiv);
    }
    m->UpdateNormals();
    return m;
}

MeshRef TMesh::CreateCylinder(int segments, int solid, const EntityRef& parent) {
    if (segments < 3 || segments > 100) return nullptr;
    const RingShape shape = ringShape(segments, solid, parent);
    const SurfaceRef& side = shape.side;
    const SurfaceRef& cap = shape.end;
    const std::vector<float>& a = shape.angles;
    const float udiv = shape.udiv;

    if (cap) {
        const int t0 = capVertex(cap, ring(a[0], 1.0f));
        const int b0 = capVertex(cap, ring(a[0], -1.0f));
        int t_prev = capVertex(cap, ring(a[1], 1.0f));
        int b_prev = capVertex(cap, ring(a[1], -1.0f));
        for (int i = 2; i <= segments - 1; ++i) {
            const int ti = capVertex(cap, ring(a[std::size_t(i)], 1.0f));
            const int bi = capVertex(cap, ring(a[std::size_t(i)], -1.0f));
            AddTriangle(cap, t0, t_prev, ti);
            AddTriangle(cap, bi, b_prev, b0);
            t_prev = ti;
            b_prev = bi;
        }
    }

    std::vector<int> top(std::size_t(segments) + 1), bot(std::size_t(segments) + 1);
    float u = 1.0f;
    for (std::size_t i = 0; i < top.size(); ++i) {
        top[i] = vertex(side, ring(a[i], 1.0f), u, 0.0f);
        u -= udiv;
    }
    u = 1.0f;
    for (std::size_t i = 0; i < bot.size(); ++i) {
        bot[i] = vertex(side, ring(a[i], -1.0f), u, 1.0f);
        u -= udiv;
    }
    for (std::size_t i = 1; i < top.size(); ++i) {
        AddTriangle(side, top[i], top[i - 1], bot[i - 1]);
        AddTriangle(side, bot[i], top[i], bot[i - 1]);
    }
    shape.mesh->UpdateNormals();
    return shape.mesh;
}

MeshRef TMesh::CreateCone(int segments, int solid, const EntityRef& parent) {
    if (segments < 3 || segments > 100) return nullptr;
    const RingShape shape = ringShape(segments, solid, parent);
    const SurfaceRef& side = shape.side;
    const SurfaceRef& base = shape.end;
    const std::vector<float>& a = shape.angles;
    const float udiv = shape.udiv;
    const Point apex{0.0f, 1.0f, 0.0f};

    float u = 1.0f;
    const int apex1 = vertex(side, apex, 1.0f - udiv / 2.0f, 0.0f);
    int base_prev = vertex(side, ring(a[0], -1.0f), 1.0f, 1.0f);
    const int cap0 = base ? capVertex(base, ring(a[0], -1.0f)) : 0;
    const int base1 = vertex(side, ring(a[1], -1.0f), 1.0f - udiv, 1.0f);
    int cap_prev = base ? capVertex(base, ring(a[1], -1.0f)) : 0;
    AddTriangle(side, base1, apex1, base_prev);
    base_prev = base1;
    for (int i = 2; i <= segments; ++i) {
        u -= udiv;
        const Point rim = ring(a[std::size_t(i)], -1.0f);
        const int apex_i = vertex(side, apex, u - udiv / 2.0f, 0.0f);
        const int base_i = vertex(side, rim, u - udiv, 1.0f);
        AddTriangle(side, base_i, apex_i, base_prev);
        base_prev = base_i;
        if (base) {
            const int cap_i = capVertex(base, rim);
            AddTriangle(base, cap_i, cap_prev, cap0);
            cap_prev = cap_i;
        }
    }
    shape.mesh->UpdateNormals();
    return shape.mesh;
}
