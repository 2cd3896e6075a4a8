// Primitives: segment limits, vertex and triangle counts per surface, exact vertex positions,
// texture coordinates and triangle corners, outward winding and the normals of each shape.
#include "engine/mesh.h"

#include "entity_fixture.h"

#include <cmath>
#include <functional>
#include <memory>

namespace {

class PrimitivesTest : public SceneTest {};

const double kPi = 3.14159265358979323846;
double sind(double a) {
    return std::sin(a * kPi / 180.0);
}
double cosd(double a) {
    return std::cos(a * kPi / 180.0);
}

struct Expected {
    int vid;
    double x, y, z, u, v;
};

void expectVertices(const SurfaceRef& s, const std::vector<Expected>& table, const char* what) {
    for (const Expected& e : table) {
        EXPECT_NEAR(s->VertexX(e.vid), e.x, 1e-6) << what << " vertex " << e.vid;
        EXPECT_NEAR(s->VertexY(e.vid), e.y, 1e-6) << what << " vertex " << e.vid;
        EXPECT_NEAR(s->VertexZ(e.vid), e.z, 1e-6) << what << " vertex " << e.vid;
        EXPECT_NEAR(s->VertexU(e.vid, 0), e.u, 1e-6) << what << " vertex " << e.vid;
        EXPECT_NEAR(s->VertexV(e.vid, 0), e.v, 1e-6) << what << " vertex " << e.vid;
        EXPECT_EQ(s->VertexU(e.vid, 1), 0.0f);
        EXPECT_EQ(s->VertexRed(e.vid), 255.0f);
        EXPECT_EQ(s->VertexAlpha(e.vid), 1.0f);
    }
}

void expectTriangle(const SurfaceRef& s, int tri, int a, int b, int c, const char* what) {
    EXPECT_EQ(s->TriangleVertex(tri, 0), a) << what << " triangle " << tri;
    EXPECT_EQ(s->TriangleVertex(tri, 1), b) << what << " triangle " << tri;
    EXPECT_EQ(s->TriangleVertex(tri, 2), c) << what << " triangle " << tri;
}

// Every triangle that is not degenerate faces away from `inside(centroid)`: its face normal
// points the way of centroid - inside point.
void expectOutward(const SurfaceRef& s, const std::function<Vec3(const Vec3&)>& inside,
                   const char* what) {
    for (int t = 0; t < s->CountTriangles(); ++t) {
        Vec3 c{0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            const int v = s->TriangleVertex(t, k);
            c[0] += s->VertexX(v) / 3;
            c[1] += s->VertexY(v) / 3;
            c[2] += s->VertexZ(v) / 3;
        }
        const Vec3 in = inside(c);
        const float nx = s->TriangleNX(t), ny = s->TriangleNY(t), nz = s->TriangleNZ(t);
        if (std::sqrt(nx * nx + ny * ny + nz * nz) < 1e-6f) continue;
        EXPECT_GT(nx * (c[0] - in[0]) + ny * (c[1] - in[1]) + nz * (c[2] - in[2]), 0.0f)
            << what << " triangle " << t;
    }
}

Vec3 origin(const Vec3&) {
    return {0, 0, 0};
}
Vec3 axisPoint(const Vec3& c) {
    return {0, c[1], 0};
}

TEST_F(PrimitivesTest, SegmentLimitsCreateNothing) {
    EXPECT_EQ(TMesh::CreateSphere(1, nullptr), nullptr);
    EXPECT_EQ(TMesh::CreateSphere(101, nullptr), nullptr);
    EXPECT_EQ(TMesh::CreateCylinder(2, 1, nullptr), nullptr);
    EXPECT_EQ(TMesh::CreateCylinder(101, 1, nullptr), nullptr);
    EXPECT_EQ(TMesh::CreateCone(2, 0, nullptr), nullptr);
    EXPECT_EQ(TMesh::CreateCone(101, 0, nullptr), nullptr);
    EXPECT_TRUE(listed().empty());
}

TEST_F(PrimitivesTest, CountsPerSurface) {
    struct Case {
        const char* what;
        std::function<MeshRef()> make;
        std::vector<std::pair<int, int>> surfaces; // vertices, triangles
    };
    const Case cases[] = {
        {"cube", [] { return TMesh::CreateCube(nullptr); }, {{24, 12}}},
        {"sphere 2", [] { return TMesh::CreateSphere(2, nullptr); }, {{16, 8}}},
        {"sphere 3", [] { return TMesh::CreateSphere(3, nullptr); }, {{60, 24}}},
        {"sphere 8", [] { return TMesh::CreateSphere(8, nullptr); }, {{480, 224}}},
        {"sphere 24", [] { return TMesh::CreateSphere(24, nullptr); }, {{4512, 2208}}},
        {"sphere 90", [] { return TMesh::CreateSphere(90, nullptr); }, {{64440, 32040}}},
        {"cylinder 8 solid",
         [] { return TMesh::CreateCylinder(8, 1, nullptr); },
         {{18, 16}, {16, 12}}},
        {"cylinder 8 open", [] { return TMesh::CreateCylinder(8, 0, nullptr); }, {{18, 16}}},
        {"cylinder 8 solid 2", [] { return TMesh::CreateCylinder(8, 2, nullptr); }, {{18, 16}}},
        {"cylinder 3 solid", [] { return TMesh::CreateCylinder(3, 1, nullptr); }, {{8, 6}, {6, 2}}},
        {"cone 3 solid", [] { return TMesh::CreateCone(3, 1, nullptr); }, {{7, 3}, {4, 2}}},
        {"cone 8 open", [] { return TMesh::CreateCone(8, -1, nullptr); }, {{17, 8}}},
        {"cone 100 solid",
         [] { return TMesh::CreateCone(100, 1, nullptr); },
         {{201, 100}, {101, 99}}},
    };
    for (const Case& c : cases) {
        MeshRef m = c.make();
        ASSERT_TRUE(m) << c.what;
        EXPECT_EQ(m->EntityClass(), "Mesh");
        ASSERT_EQ(m->CountSurfaces(), int(c.surfaces.size())) << c.what;
        for (std::size_t i = 0; i < c.surfaces.size(); ++i) {
            SurfaceRef s = m->GetSurface(int(i) + 1);
            EXPECT_EQ(s->CountVertices(), c.surfaces[i].first) << c.what << " surface " << i;
            EXPECT_EQ(s->CountTriangles(), c.surfaces[i].second) << c.what << " surface " << i;
            EXPECT_EQ(s->brush, nullptr);
        }
    }
}

// Above 90 segments a sphere needs more vertices than 16-bit indices address: the surplus is
// left out rather than wrapped onto the first vertices.
TEST_F(PrimitivesTest, LargestSphereStaysWithinSixteenBitIndices) {
    MeshRef m = TMesh::CreateSphere(100, nullptr);
    ASSERT_TRUE(m);
    SurfaceRef s = m->GetSurface(1);
    EXPECT_EQ(s->CountVertices(), TSurface::kMaxVertices);
    EXPECT_LT(s->CountTriangles(), 4 * 100 * 99);
    EXPECT_GT(s->CountTriangles(), 30000);
    for (int t = 0; t < s->CountTriangles(); ++t) {
        for (int k = 0; k < 3; ++k) ASSERT_LT(s->TriangleVertex(t, k), s->CountVertices());
    }
    expectOutward(s, origin, "sphere 100");
}

TEST_F(PrimitivesTest, PrimitivesArePlacedUnderTheirParent) {
    PivotRef p = TPivot::CreatePivot(nullptr);
    p->PositionEntity(0, 5, 0, 0);
    const MeshRef made[] = {TMesh::CreateCube(p), TMesh::CreateSphere(4, p),
                            TMesh::CreateCylinder(5, 1, p), TMesh::CreateCone(6, 1, p)};
    for (const MeshRef& m : made) {
        EXPECT_EQ(m->GetParent(), p);
        EXPECT_TRUE(inList(m));
        EXPECT_FLOAT_EQ(m->EntityY(1), 5.0f);
    }
    EXPECT_EQ(p->CountChildren(), 4);
}

TEST_F(PrimitivesTest, Cube) {
    MeshRef m = TMesh::CreateCube(nullptr);
    SurfaceRef s = m->GetSurface(1);
    expectVertices(s,
                   {{0, -1, -1, -1, 0, 1},
                    {4, -1, -1, 1, 1, 1},
                    {9, -1, 1, 1, 0, 0},
                    {15, 1, -1, -1, 1, 0},
                    {18, 1, 1, 1, 1, 0},
                    {20, -1, -1, -1, 1, 1}},
                   "cube");
    EXPECT_EQ(s->VertexNX(0), 0.0f);
    EXPECT_EQ(s->VertexNY(0), 0.0f);
    EXPECT_EQ(s->VertexNZ(0), -1.0f);
    expectTriangle(s, 0, 0, 1, 2, "cube");
    expectTriangle(s, 3, 7, 6, 4, "cube");
    expectTriangle(s, 11, 16, 21, 20, "cube");
    expectOutward(s, origin, "cube");

    // Every corner of a face carries the face's unit normal, and the four corners of a face
    // take the four corners of the texture.
    for (int t = 0; t < 12; ++t) {
        const float nx = s->TriangleNX(t), ny = s->TriangleNY(t), nz = s->TriangleNZ(t);
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        for (int k = 0; k < 3; ++k) {
            const int v = s->TriangleVertex(t, k);
            EXPECT_FLOAT_EQ(s->VertexNX(v), nx / len) << "triangle " << t;
            EXPECT_FLOAT_EQ(s->VertexNY(v), ny / len) << "triangle " << t;
            EXPECT_FLOAT_EQ(s->VertexNZ(v), nz / len) << "triangle " << t;
        }
    }
    for (int face = 0; face < 6; ++face) {
        int seen = 0;
        for (int t = 2 * face; t < 2 * face + 2; ++t) {
            for (int k = 0; k < 3; ++k) {
                const int v = s->TriangleVertex(t, k);
                seen |= 1 << (int(s->VertexU(v, 0)) * 2 + int(s->VertexV(v, 0)));
            }
        }
        EXPECT_EQ(seen, 15) << "face " << face;
    }
}

TEST_F(PrimitivesTest, SphereOfTwoSegmentsIsAnOctahedron) {
    MeshRef m = TMesh::CreateSphere(2, nullptr);
    SurfaceRef s = m->GetSurface(1);
    for (int v = 0; v < s->CountVertices(); ++v) {
        const float x = s->VertexX(v), y = s->VertexY(v), z = s->VertexZ(v);
        int axes = 0;
        for (float c : {x, y, z}) {
            if (std::fabs(std::fabs(c) - 1.0f) < 1e-6f) {
                ++axes;
            } else {
                EXPECT_NEAR(c, 0.0f, 1e-6f) << "vertex " << v;
            }
        }
        EXPECT_EQ(axes, 1) << "vertex " << v;
    }
    expectVertices(s,
                   {{0, 0, 1, 0, 0.875, 0},
                    {1, 0, -1, 0, 0.875, 1},
                    {2, 0, 0, 1, 1, 0.5},
                    {3, 1, 0, 0, 0.75, 0.5},
                    {7, 0, 0, -1, 0.5, 0.5}},
                   "sphere 2");
    expectTriangle(s, 0, 0, 2, 3, "sphere 2");
    expectTriangle(s, 1, 3, 2, 1, "sphere 2");
    expectOutward(s, origin, "sphere 2");
}

TEST_F(PrimitivesTest, SphereLayout) {
    MeshRef m = TMesh::CreateSphere(8, nullptr);
    SurfaceRef s = m->GetSurface(1);
    const auto S = [](double h, double p) {
        return std::array<double, 3>{-cosd(h) * sind(p), cosd(p), sind(h) * sind(p)};
    };
    const auto a = S(90, 22.5), b = S(112.5, 22.5), c = S(90, 45), d = S(112.5, 45);
    expectVertices(s,
                   {// Caps pass, first step: poles, then the first ring on both sides.
                    {0, 0, 1, 0, 0.96875, 0},
                    {1, 0, -1, 0, 0.96875, 1},
                    {2, a[0], a[1], a[2], 1, 0.125},
                    {3, a[0], -a[1], a[2], 1, 0.875},
                    {4, b[0], b[1], b[2], 0.9375, 0.125},
                    {5, b[0], -b[1], b[2], 0.9375, 0.875},
                    // Bands pass, first step, first band.
                    {96, a[0], a[1], a[2], 1, 0.125},
                    {97, c[0], c[1], c[2], 1, 0.25},
                    {98, b[0], b[1], b[2], 0.9375, 0.125},
                    {99, d[0], d[1], d[2], 0.9375, 0.25}},
                   "sphere 8");
    EXPECT_GT(s->VertexZ(2), 0.0f) << "heading 90 lies on the +z side";
    EXPECT_GT(s->VertexX(4), 0.0f) << "headings grow toward +x";
    expectTriangle(s, 0, 0, 2, 4, "sphere 8");
    expectTriangle(s, 1, 5, 3, 1, "sphere 8");
    expectTriangle(s, 32, 98, 96, 97, "sphere 8");
    expectTriangle(s, 33, 99, 98, 97, "sphere 8");
    for (int v = 0; v < s->CountVertices(); ++v) {
        const float x = s->VertexX(v), y = s->VertexY(v), z = s->VertexZ(v);
        ASSERT_NEAR(x * x + y * y + z * z, 1.0f, 1e-5f) << "vertex " << v;
    }
    expectOutward(s, origin, "sphere 8");
}

TEST_F(PrimitivesTest, CylinderLayout) {
    MeshRef m = TMesh::CreateCylinder(8, 1, nullptr);
    SurfaceRef side = m->GetSurface(1);
    SurfaceRef cap = m->GetSurface(2);
    const double r = std::sqrt(0.5);
    expectVertices(side,
                   {{0, 0, 1, 1, 1, 0},
                    {2, 1, 1, 0, 0.75, 0},
                    {8, 0, 1, 1, 0, 0},
                    {9, 0, -1, 1, 1, 1},
                    {11, 1, -1, 0, 0.75, 1}},
                   "cylinder side");
    expectTriangle(side, 0, 1, 0, 9, "cylinder side");
    expectTriangle(side, 1, 10, 1, 9, "cylinder side");
    expectVertices(cap,
                   {{0, 0, 1, 1, 0.5, 1},
                    {1, 0, -1, 1, 0.5, 1},
                    {2, r, 1, r, 0.5 + r / 2, 0.5 + r / 2},
                    {4, 1, 1, 0, 1, 0.5}},
                   "cylinder cap");
    expectTriangle(cap, 0, 0, 2, 4, "cylinder cap");
    expectTriangle(cap, 1, 5, 3, 1, "cylinder cap");
    expectOutward(side, axisPoint, "cylinder side");
    expectOutward(cap, origin, "cylinder cap");
}

TEST_F(PrimitivesTest, ConeLayout) {
    MeshRef m = TMesh::CreateCone(3, 1, nullptr);
    SurfaceRef side = m->GetSurface(1);
    SurfaceRef base = m->GetSurface(2);
    const double c30 = cosd(30);
    expectVertices(side,
                   {{0, 0, 1, 0, 1 - 1.0 / 6, 0},
                    {1, 0, -1, 1, 1, 1},
                    {2, c30, -1, -0.5, 2.0 / 3, 1},
                    {3, 0, 1, 0, 0.5, 0},
                    {4, -c30, -1, -0.5, 1.0 / 3, 1},
                    {5, 0, 1, 0, 1.0 / 6, 0},
                    {6, 0, -1, 1, 0, 1}},
                   "cone side");
    expectTriangle(side, 0, 2, 0, 1, "cone side");
    expectTriangle(side, 1, 4, 3, 2, "cone side");
    expectTriangle(side, 2, 6, 5, 4, "cone side");
    expectVertices(base, {{0, 0, -1, 1, 0.5, 1}, {1, c30, -1, -0.5, 0.5 + c30 / 2, 0.25}},
                   "cone base");
    expectTriangle(base, 0, 2, 1, 0, "cone base");
    expectTriangle(base, 1, 3, 2, 0, "cone base");
    expectOutward(
        side,
        [](const Vec3& c) {
            return Vec3{0, c[1] - 1.0f, 0};
        },
        "cone side");
    expectOutward(base, origin, "cone base");
}

// The last column of each shape lies exactly on its first (the texture seam), also for segment
// counts whose angle step is not exact in float, so the seam is smoothed like any other column.
TEST_F(PrimitivesTest, SeamsCloseExactly) {
    struct Case {
        const char* what;
        MeshRef mesh;
        int surface, first, last;
        bool own_u = true; // false for planar texture coordinates
    };
    const Case cases[] = {
        {"sphere 7 ring", TMesh::CreateSphere(7, nullptr), 1, 2, 13 * 6 + 4},
        {"cylinder 7 top", TMesh::CreateCylinder(7, 1, nullptr), 1, 0, 7},
        {"cylinder 7 bottom", TMesh::CreateCylinder(7, 1, nullptr), 1, 8, 15},
        {"cone 7 rim", TMesh::CreateCone(7, 1, nullptr), 1, 1, 14},
        {"cone 7 base", TMesh::CreateCone(7, 1, nullptr), 2, 0, 7, false},
    };
    for (const Case& c : cases) {
        SurfaceRef s = c.mesh->GetSurface(c.surface);
        EXPECT_EQ(s->VertexX(c.first), s->VertexX(c.last)) << c.what;
        EXPECT_EQ(s->VertexY(c.first), s->VertexY(c.last)) << c.what;
        EXPECT_EQ(s->VertexZ(c.first), s->VertexZ(c.last)) << c.what;
        EXPECT_EQ(s->VertexNX(c.first), s->VertexNX(c.last)) << c.what;
        EXPECT_EQ(s->VertexNZ(c.first), s->VertexNZ(c.last)) << c.what;
        if (c.own_u) {
            EXPECT_NE(s->VertexU(c.first, 0), s->VertexU(c.last, 0)) << c.what;
        }
    }
}

// Normals of each shape after its smoothing pass (the cube keeps its face normals). Each vertex
// sums its triangles, not its quads, so a ring vertex leans slightly toward the side where it
// has two triangles; a seam that was not smoothed across would lean by half a segment.
TEST_F(PrimitivesTest, NormalsPerShape) {
    struct Case {
        const char* what;
        std::function<MeshRef()> make;
        // The expected unit normal direction at a vertex position, surface index.
        std::function<Vec3(const Vec3&, int)> expected;
        float min_dot;
    };
    const auto radial = [](const Vec3& p, int) {
        const float l = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        return Vec3{p[0] / l, p[1] / l, p[2] / l};
    };
    const Case cases[] = {
        {"sphere 24", [] { return TMesh::CreateSphere(24, nullptr); }, radial, 0.999f},
        {"sphere 2", [] { return TMesh::CreateSphere(2, nullptr); }, radial, 0.999f},
        {"cylinder 16", [] { return TMesh::CreateCylinder(16, 1, nullptr); },
         [](const Vec3& p, int surf) {
             if (surf == 2) return Vec3{0, p[1] > 0 ? 1.0f : -1.0f, 0};
             const float l = std::sqrt(p[0] * p[0] + p[2] * p[2]);
             return Vec3{p[0] / l, 0, p[2] / l};
         },
         0.995f},
        {"cone 32", [] { return TMesh::CreateCone(32, 1, nullptr); },
         [](const Vec3& p, int surf) {
             if (surf == 2) return Vec3{0, -1, 0};
             if (p[1] > 0) return Vec3{0, 1, 0}; // the tip: all sides summed
             const float k = 1.0f / std::sqrt(5.0f);
             return Vec3{2 * k * p[0], k, 2 * k * p[2]};
         },
         0.995f},
    };
    for (const Case& c : cases) {
        MeshRef m = c.make();
        for (int si = 1; si <= m->CountSurfaces(); ++si) {
            SurfaceRef s = m->GetSurface(si);
            for (int v = 0; v < s->CountVertices(); ++v) {
                const Vec3 n{s->VertexNX(v), s->VertexNY(v), s->VertexNZ(v)};
                const Vec3 e = c.expected({s->VertexX(v), s->VertexY(v), s->VertexZ(v)}, si);
                ASSERT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f)
                    << c.what << " vertex " << v;
                ASSERT_GT(n[0] * e[0] + n[1] * e[1] + n[2] * e[2], c.min_dot)
                    << c.what << " surface " << si << " vertex " << v;
            }
        }
    }
    // Caps are flat: exactly up and down.
    SurfaceRef cap = TMesh::CreateCylinder(5, 1, nullptr)->GetSurface(2);
    for (int v = 0; v < cap->CountVertices(); ++v) {
        EXPECT_EQ(cap->VertexNX(v), 0.0f);
        EXPECT_FLOAT_EQ(std::fabs(cap->VertexNY(v)), 1.0f);
        EXPECT_EQ(cap->VertexNZ(v), 0.0f);
    }
}

} // namespace
