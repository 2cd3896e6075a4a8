// Smooth normals: exact-position matching within one surface, area weighting, the accessor
// variant, and the normals of a cube and a sphere.
#include "engine/mesh.h"

#include "entity_fixture.h"

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

namespace {

class NormalsTest : public SceneTest {};

Vec3 normalOf(const SurfaceRef& s, int v) {
    return {s->VertexNX(v), s->VertexNY(v), s->VertexNZ(v)};
}

void expectNormal(const SurfaceRef& s, int v, Vec3 n, const char* what) {
    const Vec3 got = normalOf(s, v);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], n[i], 1e-6f) << what << " vertex " << v;
}

// A surface of m with the given vertices and triangles, every normal preset to (9, 9, 9).
SurfaceRef build(const MeshRef& m, const std::vector<Vec3>& verts,
                 const std::vector<std::array<int, 3>>& tris) {
    SurfaceRef s = m->CreateSurface(nullptr);
    for (const Vec3& v : verts) {
        const int i = s->AddVertex(v[0], v[1], v[2], 0, 0, 0);
        s->VertexNormal(i, 9, 9, 9);
    }
    for (const auto& t : tris) s->AddTriangle(t[0], t[1], t[2]);
    return s;
}

TEST_F(NormalsTest, FlatShapesGetTheirPlaneNormal) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    SurfaceRef tri = build(m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    SurfaceRef quad =
        build(m, {{0, 0, 0}, {0, 0, 3}, {2, 0, 3}, {2, 0, 0}}, {{0, 1, 2}, {0, 2, 3}});
    m->GetBounds();
    EXPECT_EQ(m->UpdateNormals(), 0);
    for (int v = 0; v < 3; ++v) expectNormal(tri, v, {0, 0, 1}, "triangle");
    for (int v = 0; v < 4; ++v) expectNormal(quad, v, {0, 1, 0}, "quad");
    EXPECT_EQ(tri->changed, 0) << "normals do not touch the bounds bookkeeping";
    EXPECT_EQ(m->bounds_dirty, 0);
}

TEST_F(NormalsTest, EdgeVerticesSumAreaWeightedFacesOfTheirSurfaceOnly) {
    // Face A in the plane z = 0 (area 0.5, normal +z) and face B in the plane x = 0 (area 1,
    // normal +x) share the edge from (0, 0, 0) to (0, 1, 0); B has its own copies of the edge
    // vertices.
    const std::vector<Vec3> verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0},
                                     {0, 0, 0}, {0, 1, 0}, {0, 0, 2}};
    MeshRef one = TMesh::CreateMesh(nullptr);
    SurfaceRef s = build(one, verts, {{0, 1, 2}, {3, 4, 5}});
    one->UpdateNormals();
    const float k = 1.0f / std::sqrt(5.0f);
    for (int v : {0, 2, 3, 4}) expectNormal(s, v, {2 * k, 0, k}, "shared edge");
    expectNormal(s, 1, {0, 0, 1}, "face A");
    expectNormal(s, 5, {1, 0, 0}, "face B");

    // In two surfaces the faces do not influence each other.
    MeshRef two = TMesh::CreateMesh(nullptr);
    SurfaceRef a = build(two, {verts[0], verts[1], verts[2]}, {{0, 1, 2}});
    SurfaceRef b = build(two, {verts[3], verts[4], verts[5]}, {{0, 1, 2}});
    two->UpdateNormals();
    for (int v = 0; v < 3; ++v) {
        expectNormal(a, v, {0, 0, 1}, "surface A");
        expectNormal(b, v, {1, 0, 0}, "surface B");
    }
}

TEST_F(NormalsTest, OnlyExactPositionsMatch) {
    const float nudged = std::nextafter(0.0f, 1.0f);
    MeshRef m = TMesh::CreateMesh(nullptr);
    // Vertex 3 lies one bit off vertex 0; vertex 4 on vertex 1 but in no triangle; vertex 5 on a
    // position of its own and in no triangle; vertex 6 starts a second face meeting at 0.
    SurfaceRef s = build(m,
                         {{0, 0, 0},
                          {1, 0, 0},
                          {0, 1, 0},
                          {nudged, 0, 0},
                          {1, 0, 0},
                          {5, 5, 5},
                          {0, 0, 1},
                          {0, 1, 0}},
                         {{0, 1, 2}, {3, 7, 6}});
    m->UpdateNormals();
    expectNormal(s, 1, {0, 0, 1}, "own face");
    expectNormal(s, 4, {0, 0, 1}, "unused vertex at a used position");
    expectNormal(s, 5, {9, 9, 9}, "unused vertex elsewhere keeps its normal");
    expectNormal(s, 0, {0, 0, 1}, "not merged with the nudged vertex");
    expectNormal(s, 3, {1, 0, 0}, "the nudged vertex has its own face");
    expectNormal(s, 6, {1, 0, 0}, "second face");
    // Vertex 2 and 7 share (0, 1, 0): the sum of both faces.
    const float k = 1.0f / std::sqrt(2.0f);
    expectNormal(s, 2, {k, 0, k}, "shared corner");
    expectNormal(s, 7, {k, 0, k}, "shared corner");
}

TEST_F(NormalsTest, DegenerateFacesGiveAZeroNormalNotNaN) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    SurfaceRef s = build(m, {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2}});
    m->UpdateNormals();
    m->UpdateNormals0();
    for (int v = 0; v < 3; ++v) expectNormal(s, v, {0, 0, 0}, "degenerate");
}

TEST_F(NormalsTest, OnlyTheMeshsOwnSurfacesAreProcessed) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    SurfaceRef first = build(m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    auto c = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
    SurfaceRef later = build(m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    c->UpdateNormals();
    expectNormal(first, 0, {0, 0, 1}, "copy's surface");
    expectNormal(later, 0, {9, 9, 9}, "surface added after the copy");
    c->UpdateNormals0();
    expectNormal(later, 0, {9, 9, 9}, "surface added after the copy");
}

TEST_F(NormalsTest, CubeCornersShareOneOutwardNormal) {
    MeshRef m = TMesh::CreateCube(nullptr);
    SurfaceRef s = m->GetSurface(1);
    // Expected per corner, from the face normals as the accessors give them.
    std::map<std::tuple<float, float, float>, std::array<double, 3>> sums;
    for (int t = 0; t < s->CountTriangles(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const int v = s->TriangleVertex(t, k);
            auto& sum = sums[{s->VertexX(v), s->VertexY(v), s->VertexZ(v)}];
            sum[0] += s->TriangleNX(t);
            sum[1] += s->TriangleNY(t);
            sum[2] += s->TriangleNZ(t);
        }
    }
    ASSERT_EQ(sums.size(), 8u);
    m->UpdateNormals();
    for (int v = 0; v < 24; ++v) {
        const float x = s->VertexX(v), y = s->VertexY(v), z = s->VertexZ(v);
        const auto& sum = sums[{x, y, z}];
        const double len = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        const Vec3 n = normalOf(s, v);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(n[i], sum[i] / len, 1e-6) << "vertex " << v;
        EXPECT_GT(n[0] * x, 0.0f) << "vertex " << v;
        EXPECT_GT(n[1] * y, 0.0f) << "vertex " << v;
        EXPECT_GT(n[2] * z, 0.0f) << "vertex " << v;
    }
}

TEST_F(NormalsTest, BothVariantsAgreeOnASphere) {
    MeshRef m = TMesh::CreateSphere(12, nullptr);
    SurfaceRef s = m->GetSurface(1);
    const std::vector<float> stored = s->vert_norm;
    for (int v = 0; v < s->CountVertices(); ++v) s->VertexNormal(v, 0, 0, 0);
    m->UpdateNormals0();
    ASSERT_EQ(s->vert_norm.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        ASSERT_NEAR(s->vert_norm[i], stored[i], 1e-6f) << "element " << i;
    }
    // Poles: every per-step pole vertex ends with one normal, straight up or down.
    expectNormal(s, 0, {0, 1, 0}, "north pole");
    expectNormal(s, 1, {0, -1, 0}, "south pole");
    expectNormal(s, 6, {0, 1, 0}, "north pole of the second step");
}

} // namespace
