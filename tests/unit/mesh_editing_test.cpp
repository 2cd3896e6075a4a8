// Whole-mesh editing: copying and merging surfaces, flipping, painting, fitting into a box and
// transforming the vertices.
#include "engine/brush.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "engine/texture.h"

#include "entity_fixture.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

class MeshEditingTest : public SceneTest {};

// Everything a vertex carries, in command coordinates.
struct VertexData {
    float x, y, z, nx, ny, nz, r, g, b, a, u0, v0, u1, v1;
};

VertexData vertexOf(const SurfaceRef& s, int v) {
    return {VertexX(s, v),    VertexY(s, v),     VertexZ(s, v),    s->VertexNX(v),
            s->VertexNY(v),   s->VertexNZ(v),    VertexRed(s, v),  VertexGreen(s, v),
            VertexBlue(s, v), VertexAlpha(s, v), VertexU(s, v, 0), VertexV(s, v, 0),
            VertexU(s, v, 1), VertexV(s, v, 1)};
}

void expectSameVertex(const VertexData& a, const VertexData& b, const std::string& what) {
    const float av[] = {a.x, a.y, a.z, a.nx, a.ny, a.nz, a.r,
                        a.g, a.b, a.a, a.u0, a.v0, a.u1, a.v1};
    const float bv[] = {b.x, b.y, b.z, b.nx, b.ny, b.nz, b.r,
                        b.g, b.b, b.a, b.u0, b.v0, b.u1, b.v1};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(av[i], bv[i]) << what << " attribute " << i;
}

// A surface of n vertices, each with its own position, normal, colour and both coordinate sets,
// and triangles (0, 1, 2), (1, 2, 3), ... over them.
SurfaceRef richSurface(const MeshRef& m, const BrushRef& brush, int n, float base) {
    SurfaceRef s = CreateSurface(m, brush);
    for (int i = 0; i < n; ++i) {
        const float f = base + float(i);
        const int v = AddVertex(s, f, 0.5f * f * f, float(i % 2) - f, 0, 0, 0);
        VertexNormal(s, v, 0.5f, f, -1);
        VertexColor(s, v, 10 * f, 20, 30, 0.25f);
        VertexTexCoords(s, v, f / 10, f / 20, 0, 0);
        VertexTexCoords(s, v, -f, 1 + f, 0, 1);
    }
    for (int i = 0; i + 2 < n; ++i) AddTriangle(s, i, i + 1, i + 2);
    return s;
}

std::vector<int> corners(const SurfaceRef& s) {
    std::vector<int> c;
    for (int t = 0; t < CountTriangles(s); ++t) {
        for (int k = 0; k < 3; ++k) c.push_back(TriangleVertex(s, t, k));
    }
    return c;
}

TEST_F(MeshEditingTest, CopyMeshGivesEverySurfaceItsOwnCopy) {
    PivotRef parent = CreatePivot(nullptr);
    MeshRef src = CreateMesh(nullptr);
    PositionEntity(src, 5, 6, 7, 0);
    EntityColor(src, 255, 0, 0);
    BrushRef brush = CreateBrush(0, 255, 0);
    SurfaceRef a = richSurface(src, brush, 4, 0);
    SurfaceRef b = richSurface(src, brush->Copy(), 3, 10); // an equal brush: not merged

    MeshRef copy = CopyMesh(src, parent);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GetParent(copy), parent);
    EXPECT_EQ(EntityX(copy, 0), 0.0f) << "a fresh entity, not a copy of the source's state";
    EXPECT_EQ(copy->brush->red, 1.0f);
    ASSERT_EQ(CountSurfaces(copy), 2);
    for (int n = 1; n <= 2; ++n) {
        SurfaceRef from = GetSurface(src, n), to = GetSurface(copy, n);
        ASSERT_EQ(CountVertices(to), CountVertices(from));
        for (int v = 0; v < CountVertices(from); ++v) {
            expectSameVertex(vertexOf(to, v), vertexOf(from, v), "surface " + std::to_string(n));
        }
        EXPECT_EQ(corners(to), corners(from));
        EXPECT_NE(to, from);
        ASSERT_NE(to->brush, nullptr);
        EXPECT_NE(to->brush, from->brush) << "its own copy of the surface brush";
        EXPECT_EQ(TBrush::CompareBrushes(to->brush, from->brush), 1);
    }
    // The arrays are the copy's own.
    VertexCoords(GetSurface(copy, 1), 0, 99, 99, 99);
    EXPECT_EQ(VertexX(a, 0), 0.0f);
    EXPECT_EQ(CountSurfaces(src), 2);

    EXPECT_EQ(CopyMesh(nullptr, parent), nullptr);
}

TEST_F(MeshEditingTest, AddMeshMergesIntoTheFirstEqualBrushAndShiftsIndices) {
    BrushRef blue = CreateBrush(0, 0, 255);
    BrushRef red = CreateBrush(255, 0, 0);
    MeshRef dest = CreateMesh(nullptr);
    SurfaceRef plain = CreateSurface(dest, nullptr);
    SurfaceRef target = richSurface(dest, blue, 10, 100);
    SurfaceRef later_blue = richSurface(dest, blue->Copy(), 2, 200);

    MeshRef src = CreateMesh(nullptr);
    SurfaceRef s1 = richSurface(src, blue->Copy(), 4, 0);
    SurfaceRef s2 = richSurface(src, red, 3, 0);
    SurfaceRef s3 = richSurface(src, blue->Copy(), 3, 50);
    SurfaceRef s4 = richSurface(src, nullptr, 3, 0);
    const std::vector<int> s1_corners = corners(s1);

    AddMesh(src, dest);
    // s1 and s3 both merge into the first blue surface; s4 into the one without a brush.
    EXPECT_EQ(CountVertices(target), 10 + 4 + 3);
    EXPECT_EQ(CountTriangles(target), 8 + 2 + 1);
    EXPECT_EQ(CountVertices(later_blue), 2);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(TriangleVertex(target, 8 + k / 3, k % 3), s1_corners[std::size_t(k)] + 10);
    }
    EXPECT_EQ(TriangleVertex(target, 10, 0), 14) << "s3's triangle after s1's 4 vertices";
    expectSameVertex(vertexOf(target, 10), vertexOf(s1, 0), "merged vertex");
    EXPECT_EQ(target->brush, blue) << "a merged surface keeps its own brush";
    EXPECT_EQ(CountVertices(plain), 3);
    EXPECT_EQ(plain->brush, nullptr);

    // The red surface had no partner: a new surface with a copy of its brush.
    ASSERT_EQ(CountSurfaces(dest), 4);
    SurfaceRef fresh = GetSurface(dest, 4);
    EXPECT_EQ(corners(fresh), corners(s2));
    EXPECT_NE(fresh->brush, red);
    EXPECT_EQ(TBrush::CompareBrushes(fresh->brush, red), 1);
    // The source is unchanged.
    EXPECT_EQ(CountSurfaces(src), 4);
    EXPECT_EQ(CountVertices(s1), 4);

    // Surfaces this call creates are never merged with each other.
    MeshRef empty = CreateMesh(nullptr);
    MeshRef twins = CreateMesh(nullptr);
    richSurface(twins, blue, 3, 0);
    richSurface(twins, blue->Copy(), 3, 0);
    AddMesh(twins, empty);
    EXPECT_EQ(CountSurfaces(empty), 2);

    // Into itself: each surface is appended to itself once.
    AddMesh(twins, twins);
    EXPECT_EQ(CountSurfaces(twins), 2);
    EXPECT_EQ(CountVertices(GetSurface(twins, 1)), 9) << "surface 2 merges into 1, the first equal";
    EXPECT_EQ(CountVertices(GetSurface(twins, 2)), 3);
    EXPECT_EQ(TriangleVertex(GetSurface(twins, 1), 1, 0), 3);
    EXPECT_EQ(TriangleVertex(GetSurface(twins, 1), 2, 0), 6);

    AddMesh(src, nullptr);
    AddMesh(nullptr, dest);
    EXPECT_EQ(CountSurfaces(dest), 4);
}

TEST_F(MeshEditingTest, AddMeshStopsAtTheVertexLimit) {
    MeshRef dest = CreateMesh(nullptr);
    SurfaceRef full = CreateSurface(dest, nullptr);
    for (int i = 0; i < TSurface::kMaxVertices - 1; ++i) AddVertex(full, 0, 0, 0, 0, 0, 0);
    MeshRef src = CreateMesh(nullptr);
    richSurface(src, nullptr, 3, 0);
    AddMesh(src, dest);
    EXPECT_EQ(CountVertices(full), TSurface::kMaxVertices);
    EXPECT_EQ(CountTriangles(full), 0) << "the triangle names vertices beyond the limit";
}

TEST_F(MeshEditingTest, FlipMeshReversesTheWindingAndTwiceRestoresIt) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef s = richSurface(m, nullptr, 5, 1);
    SurfaceRef t = richSurface(m, nullptr, 4, 7);
    MeshRef copy = std::static_pointer_cast<TMesh>(CopyEntity(m, nullptr));
    const std::vector<std::uint16_t> tris_s = s->tris, tris_t = t->tris;
    const float nx = TriangleNX(s, 1), ny = TriangleNY(s, 1), nz = TriangleNZ(s, 1);
    MeshWidth(m);
    s->changed = 0;
    const std::uint64_t revision = s->revision;

    FlipMesh(m);
    EXPECT_EQ(TriangleVertex(s, 1, 0), 3);
    EXPECT_EQ(TriangleVertex(s, 1, 1), 2);
    EXPECT_EQ(TriangleVertex(s, 1, 2), 1);
    EXPECT_FLOAT_EQ(TriangleNX(s, 1), -nx);
    EXPECT_FLOAT_EQ(TriangleNY(s, 1), -ny);
    EXPECT_FLOAT_EQ(TriangleNZ(s, 1), -nz);
    EXPECT_EQ(s->changed, 0);
    EXPECT_EQ(s->revision, revision);

    FlipMesh(copy); // the copy shares the surfaces
    EXPECT_EQ(s->tris, tris_s);
    EXPECT_EQ(t->tris, tris_t);
    FlipMesh(nullptr);
}

TEST_F(MeshEditingTest, PaintMeshCopiesTheSettingsIntoEverySurfaceBrush) {
    TextureRef tex = std::make_shared<TTexture>();
    tex->no_frames = 4;
    BrushRef paint = CreateBrush(255, 128, 0);
    BrushAlpha(paint, 0.5f);
    BrushShininess(paint, 0.25f);
    BrushBlend(paint, ADDBRUSHBLEND);
    BrushFX(paint, FULLBRIGHTFX | NOCULLFX);
    BrushTexture(paint, tex, 3);

    MeshRef m = CreateMesh(nullptr);
    SurfaceRef bare = CreateSurface(m, nullptr);
    BrushRef own = CreateBrush(1, 2, 3);
    own->tex_frame = 2;
    SurfaceRef painted = CreateSurface(m, own);
    PaintMesh(m, paint);

    ASSERT_NE(bare->brush, nullptr);
    for (const SurfaceRef& s : {bare, painted}) {
        EXPECT_NE(s->brush, paint) << "the brush itself is not attached";
        EXPECT_EQ(TBrush::CompareBrushes(s->brush, paint), 1);
    }
    EXPECT_EQ(painted->brush, own) << "the surface keeps its brush object";
    EXPECT_EQ(bare->brush->tex_frame, 0);
    EXPECT_EQ(own->tex_frame, 2) << "the frame is not painted";

    BrushColor(paint, 0, 0, 0);
    EXPECT_EQ(bare->brush->red, 1.0f);
    PaintMesh(m, nullptr);
    EXPECT_EQ(own->red, 1.0f);
}

TEST_F(MeshEditingTest, FitMeshFillsTheBoxOnEachAxis) {
    MeshRef cube = CreateCube(nullptr);
    SurfaceRef s = GetSurface(cube, 1);
    std::vector<VertexData> before;
    for (int v = 0; v < CountVertices(s); ++v) before.push_back(vertexOf(s, v));

    FitMesh(cube, 0, 0, 0, 2, 2, 2, 0);
    for (int v = 0; v < CountVertices(s); ++v) {
        const VertexData& b = before[std::size_t(v)];
        EXPECT_EQ(VertexX(s, v), b.x + 1);
        EXPECT_EQ(VertexY(s, v), b.y + 1);
        EXPECT_EQ(VertexZ(s, v), b.z + 1);
        EXPECT_EQ(s->VertexNX(v), b.nx) << "all ratios are 1";
        EXPECT_EQ(s->VertexNZ(v), b.nz);
    }
    EXPECT_EQ(MeshWidth(cube), 2.0f);

    // Each axis on its own: x -1..1 onto 10..14, y onto -1..0, z onto 3..9.
    FitMesh(cube, 10, -1, 3, 4, 1, 6, 0);
    EXPECT_EQ(MeshWidth(cube), 4.0f);
    EXPECT_EQ(MeshHeight(cube), 1.0f);
    EXPECT_EQ(MeshDepth(cube), 6.0f);
    EXPECT_EQ(cube->min_x, 10.0f);
    EXPECT_EQ(cube->min_y, -1.0f);
    EXPECT_EQ(cube->min_z, 3.0f);
}

TEST_F(MeshEditingTest, UniformFitScalesByTheDominantAxis) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef s = CreateSurface(m, nullptr);
    const float corners_xyz[4][3] = {{-2, -1, -1}, {2, 1, 1}, {0, -1, 1}, {1, 0, -1}};
    for (const auto& c : corners_xyz) {
        const int v = AddVertex(s, c[0], c[1], c[2], 0, 0, 0);
        VertexNormal(s, v, 1, 1, 1);
    }
    AddTriangle(s, 0, 1, 2);

    FitMesh(m, 0, 0, 0, 2, 2, 2, 1);
    // x is dominant (ratio 2): every axis is halved and placed from x's minimum.
    const float want[4][3] = {{0, 0.5f, 0.5f}, {2, 1.5f, 1.5f}, {1, 0.5f, 1.5f}, {1.5f, 1, 0.5f}};
    for (int v = 0; v < 4; ++v) {
        EXPECT_FLOAT_EQ(VertexX(s, v), want[v][0]) << v;
        EXPECT_FLOAT_EQ(VertexY(s, v), want[v][1]) << v;
        EXPECT_FLOAT_EQ(VertexZ(s, v), want[v][2]) << v;
        // Normals take the ratios (2, 1, 1) of the present to the wanted size.
        EXPECT_FLOAT_EQ(s->VertexNX(v), 2.0f);
        EXPECT_FLOAT_EQ(s->VertexNY(v), 1.0f);
        EXPECT_FLOAT_EQ(s->VertexNZ(v), 1.0f);
    }
}

TEST_F(MeshEditingTest, FitMeshOnDegenerateInputStaysFinite) {
    MeshRef empty = CreateMesh(nullptr);
    MeshWidth(empty);
    EXPECT_EQ(empty->bounds_dirty, 0);
    FitMesh(empty, 0, 0, 0, 1, 1, 1, 1);
    EXPECT_EQ(empty->bounds_dirty, 1) << "only the bounds are marked";

    // A flat quad (no depth) into a box of zero height, then into a box of no size at all.
    const auto flatQuad = [] {
        MeshRef flat = CreateMesh(nullptr);
        SurfaceRef s = CreateSurface(flat, nullptr);
        for (int i = 0; i < 4; ++i) {
            const int v = AddVertex(s, float(i % 2), float(i / 2), 5, 0, 0, 0);
            VertexNormal(s, v, 0, 0, -1);
        }
        return flat;
    };
    const auto expectFinite = [](const SurfaceRef& s, int v) {
        for (float c : {VertexX(s, v), VertexY(s, v), VertexZ(s, v), s->VertexNX(v), s->VertexNY(v),
                        s->VertexNZ(v)}) {
            EXPECT_TRUE(std::isfinite(c)) << "vertex " << v;
        }
    };
    MeshRef flat = flatQuad();
    SurfaceRef s = GetSurface(flat, 1);
    FitMesh(flat, 1, 2, 3, 4, 0, 6, 0);
    for (int v = 0; v < 4; ++v) {
        expectFinite(s, v);
        EXPECT_EQ(VertexX(s, v), v % 2 == 0 ? 1.0f : 5.0f);
        EXPECT_EQ(VertexY(s, v), 2.0f) << "a zero height collapses y onto the box's";
        EXPECT_EQ(VertexZ(s, v), 3.0f) << "no depth: the box's origin";
    }
    MeshRef point = flatQuad();
    s = GetSurface(point, 1);
    FitMesh(point, 1, 2, 3, 0, 0, 0, 1);
    for (int v = 0; v < 4; ++v) {
        expectFinite(s, v);
        EXPECT_EQ(VertexX(s, v), 1.0f);
        EXPECT_EQ(VertexY(s, v), 2.0f);
        EXPECT_EQ(VertexZ(s, v), 3.0f);
    }
}

TEST_F(MeshEditingTest, RotateMeshTurnsVerticesAndNormalsAsAnEntityTurns) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef s = richSurface(m, nullptr, 5, 1);
    UpdateNormals(m);
    std::vector<VertexData> before;
    for (int v = 0; v < 5; ++v) before.push_back(vertexOf(s, v));

    PivotRef turned = CreatePivot(nullptr);
    RotateEntity(turned, 10, 20, 30, 0);
    RotateMesh(m, 10, 20, 30);
    for (int v = 0; v < 5; ++v) {
        const VertexData& b = before[std::size_t(v)];
        TFormPoint(b.x, b.y, b.z, turned, nullptr);
        EXPECT_NEAR(VertexX(s, v), TFormedX(), 1e-5f);
        EXPECT_NEAR(VertexY(s, v), TFormedY(), 1e-5f);
        EXPECT_NEAR(VertexZ(s, v), TFormedZ(), 1e-5f);
        TFormVector(b.nx, b.ny, b.nz, turned, nullptr);
        EXPECT_NEAR(s->VertexNX(v), TFormedX(), 1e-5f);
        EXPECT_NEAR(s->VertexNY(v), TFormedY(), 1e-5f);
        EXPECT_NEAR(s->VertexNZ(v), TFormedZ(), 1e-5f);
    }

    // A quarter turn of yaw carries +x to +z, for the positions and the normals alike.
    MeshRef one = CreateMesh(nullptr);
    SurfaceRef o = CreateSurface(one, nullptr);
    AddVertex(o, 1, 0, 0, 0, 0, 0);
    VertexNormal(o, 0, 1, 0, 0);
    RotateMesh(one, 0, 90, 0);
    EXPECT_NEAR(VertexX(o, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(VertexZ(o, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(o->VertexNX(0), 0.0f, 1e-6f);
    EXPECT_NEAR(o->VertexNZ(0), 1.0f, 1e-6f);
    EXPECT_NEAR(MeshDepth(one), 0.0f, 1e-6f) << "the bounds follow";
}

TEST_F(MeshEditingTest, ScaleAndPositionMeshMoveTheVerticesAndKeepNormalsFacingTheFaces) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef s = CreateSurface(m, nullptr);
    AddVertex(s, 0, 0, 0, 0, 0, 0);
    AddVertex(s, 1, 0, 1, 0, 0, 0);
    AddVertex(s, 0, 1, 1, 0, 0, 0);
    AddTriangle(s, 0, 1, 2);
    UpdateNormals(m);
    EXPECT_FLOAT_EQ(MeshDepth(m), 1.0f);

    ScaleMesh(m, 2, 2, 2);
    EXPECT_EQ(VertexX(s, 1), 2.0f);
    EXPECT_EQ(VertexZ(s, 2), 2.0f);
    EXPECT_FLOAT_EQ(MeshDepth(m), 2.0f);

    // A non-uniform and a mirroring scale: each normal stays the unit face normal of the
    // scaled triangle, as UpdateNormals would give it.
    for (const Vec3 k : {Vec3{3, 1, 0.5f}, Vec3{-1, 1, 1}}) {
        ScaleMesh(m, k[0], k[1], k[2]);
        const float fx = TriangleNX(s, 0), fy = TriangleNY(s, 0), fz = TriangleNZ(s, 0);
        const float len = std::sqrt(fx * fx + fy * fy + fz * fz);
        for (int v = 0; v < 3; ++v) {
            EXPECT_NEAR(s->VertexNX(v), fx / len, 1e-5f);
            EXPECT_NEAR(s->VertexNY(v), fy / len, 1e-5f);
            EXPECT_NEAR(s->VertexNZ(v), fz / len, 1e-5f);
        }
    }

    const VertexData before = vertexOf(s, 1);
    PositionMesh(m, 0, 0, 5);
    const VertexData after = vertexOf(s, 1);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.z, before.z + 5) << "command z, not the stored one";
    EXPECT_EQ(after.nx, before.nx);
    EXPECT_EQ(after.nz, before.nz);

    // Only the first CountSurfaces() surfaces: one a copy added to the shared list is skipped.
    MeshRef copy = std::static_pointer_cast<TMesh>(CopyEntity(m, nullptr));
    SurfaceRef extra = CreateSurface(copy, nullptr);
    AddVertex(extra, 1, 1, 1, 0, 0, 0);
    ScaleMesh(m, 10, 10, 10);
    EXPECT_EQ(VertexX(extra, 0), 1.0f);
    ScaleMesh(copy, 2, 2, 2);
    EXPECT_EQ(VertexX(extra, 0), 2.0f);
}

TEST_F(MeshEditingTest, TransformMesh1WorksOnTheStoredPositionsOnly) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef s = richSurface(m, nullptr, 3, 1);
    const VertexData before = vertexOf(s, 2);
    s->changed = 0;
    TMatrix t;
    t.LoadIdentity();
    t.Translate(1, 2, 3); // internal form: +3 stored z is -3 command z
    t.Scale(2, 2, 2);
    m->TransformMesh1(t);
    const VertexData after = vertexOf(s, 2);
    EXPECT_EQ(after.x, 2 * before.x + 1);
    EXPECT_EQ(after.y, 2 * before.y + 2);
    EXPECT_EQ(after.z, 2 * before.z - 3);
    EXPECT_EQ(after.nx, before.nx);
    EXPECT_EQ(s->changed, 0);
}

} // namespace
