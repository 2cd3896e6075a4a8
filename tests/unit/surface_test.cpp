// Surfaces: capacity growth, add results, stored (z-negated, reversed) form, per-vertex setters
// and getters, face normals, clearing, copies, and safe handling of out-of-range indices.
#include "engine/brush.h"
#include "engine/surface.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// n vertices at (i, 2i, 3i).
SurfaceRef surfaceWith(int n) {
    auto s = std::make_shared<TSurface>();
    for (int i = 0; i < n; ++i) s->AddVertex(float(i), float(2 * i), float(3 * i), 0, 0, 0);
    return s;
}

TEST(SurfaceTest, CapacityIsTheSmallestPowerOfTwoAboveTheCount) {
    struct Case {
        int added, capacity;
    };
    const Case cases[] = {{1, 2}, {2, 4}, {3, 4}, {4, 8}, {5, 8}, {7, 8}, {8, 16}, {16, 32}};
    for (const Case& c : cases) {
        SurfaceRef s = surfaceWith(c.added);
        EXPECT_EQ(s->vert_capacity, c.capacity) << c.added << " vertices";
        EXPECT_EQ(s->vert_coords.size(), std::size_t(c.capacity) * 3);
        EXPECT_EQ(s->vert_norm.size(), std::size_t(c.capacity) * 3);
        EXPECT_EQ(s->vert_tex_coords0.size(), std::size_t(c.capacity) * 2);
        EXPECT_EQ(s->vert_tex_coords1.size(), std::size_t(c.capacity) * 2);
        EXPECT_EQ(s->vert_col.size(), std::size_t(c.capacity) * 4);

        TSurface t;
        for (int i = 0; i < c.added; ++i) t.AddTriangle(0, 0, 0);
        EXPECT_EQ(t.tri_capacity, c.capacity) << c.added << " triangles";
        EXPECT_EQ(t.tris.size(), std::size_t(c.capacity) * 3);
    }
    // Spare slots stay 0; the contents survive growth.
    SurfaceRef s = surfaceWith(5);
    EXPECT_EQ(s->vert_col.size(), 32u);
    EXPECT_EQ(s->vert_coords[5 * 3], 0.0f);
    EXPECT_EQ(s->vert_col[5 * 4], 0.0f);
    EXPECT_EQ(s->VertexX(1), 1.0f);
    EXPECT_EQ(s->VertexZ(4), 12.0f);
}

TEST(SurfaceTest, AddResultsAndStoredForm) {
    TSurface s;
    EXPECT_EQ(s.CountVertices(), 0);
    EXPECT_EQ(s.CountTriangles(), 0);
    EXPECT_EQ(s.brush, nullptr);
    EXPECT_EQ(s.AddVertex(1, 2, 3, 0.25f, 0.5f, 9), 0);
    EXPECT_EQ(s.AddVertex(4, 5, 6, 0, 0, 0), 1);
    EXPECT_EQ(s.AddVertex(7, 8, 9, 0, 0, 0), 2);
    EXPECT_EQ(s.vert_coords[2], -3.0f) << "z stored negated";
    EXPECT_EQ(s.VertexX(0), 1.0f);
    EXPECT_EQ(s.VertexY(0), 2.0f);
    EXPECT_EQ(s.VertexZ(0), 3.0f);
    EXPECT_EQ(s.VertexU(0, 0), 0.25f);
    EXPECT_EQ(s.VertexV(0, 0), 0.5f);
    EXPECT_EQ(s.VertexU(0, 1), 0.0f);
    EXPECT_EQ(s.VertexV(0, 1), 0.0f);
    EXPECT_EQ(s.VertexW(0), 0.0f);
    EXPECT_EQ(s.VertexRed(0), 255.0f);
    EXPECT_EQ(s.VertexGreen(0), 255.0f);
    EXPECT_EQ(s.VertexBlue(0), 255.0f);
    EXPECT_EQ(s.VertexAlpha(0), 1.0f);
    EXPECT_EQ(s.VertexNX(0), 0.0f);
    EXPECT_EQ(s.VertexNZ(0), 0.0f);
    EXPECT_EQ(s.changed, 0) << "AddVertex does not mark the surface";

    EXPECT_EQ(s.AddTriangle(0, 1, 2), 1) << "the count, not the index";
    EXPECT_EQ(s.AddTriangle(2, 0, 1), 2);
    EXPECT_EQ(s.tris[0], 2);
    EXPECT_EQ(s.tris[1], 1);
    EXPECT_EQ(s.tris[2], 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.TriangleVertex(0, k), k);
    EXPECT_EQ(s.TriangleVertex(1, 0), 2);
    EXPECT_EQ(s.TriangleVertex(1, 1), 0);
    EXPECT_EQ(s.TriangleVertex(1, 2), 1);
    EXPECT_EQ(s.changed, 1);
}

TEST(SurfaceTest, SettersStoreTheInternalFormAndGettersGiveItBack) {
    SurfaceRef s = surfaceWith(3);
    s->changed = 0;
    s->VertexNormal(1, 0.25f, -0.5f, 0.75f);
    s->VertexColor(1, 255, 128, 0, 0.5f);
    s->VertexTexCoords(1, 0.1f, 0.2f, 7, 0);
    s->VertexTexCoords(1, 0.3f, 0.4f, 7, 1);
    EXPECT_EQ(s->changed, 0) << "normals, colours and coordinates do not mark the surface";

    EXPECT_EQ(s->vert_norm[5], -0.75f);
    EXPECT_EQ(s->VertexNX(1), 0.25f);
    EXPECT_EQ(s->VertexNY(1), -0.5f);
    EXPECT_EQ(s->VertexNZ(1), 0.75f);
    EXPECT_EQ(s->vert_col[4], 1.0f);
    EXPECT_EQ(s->vert_col[5], 128.0f / 255.0f);
    EXPECT_EQ(s->vert_col[6], 0.0f);
    EXPECT_EQ(s->vert_col[7], 0.5f) << "alpha stored unchanged";
    EXPECT_NEAR(s->VertexGreen(1), 128.0f, 1e-4f);
    EXPECT_EQ(s->VertexAlpha(1), 0.5f);
    EXPECT_EQ(s->VertexU(1, 0), 0.1f);
    EXPECT_EQ(s->VertexV(1, 0), 0.2f);
    EXPECT_EQ(s->VertexU(1, 1), 0.3f);
    EXPECT_EQ(s->VertexV(1, 1), 0.4f);
    EXPECT_EQ(s->VertexU(1, 2), 0.0f);

    // coord_set 2 writes nothing.
    s->VertexTexCoords(1, 9, 9, 0, 2);
    EXPECT_EQ(s->VertexU(1, 0), 0.1f);
    EXPECT_EQ(s->VertexU(1, 1), 0.3f);

    s->VertexCoords(2, -1, -2, -3);
    EXPECT_EQ(s->vert_coords[8], 3.0f);
    EXPECT_EQ(s->VertexZ(2), -3.0f);
    EXPECT_EQ(s->changed, 1) << "VertexCoords marks the surface";
}

TEST(SurfaceTest, FaceNormalIsTheUnnormalisedCrossProductInCallerCoordinates) {
    TSurface s;
    s.AddVertex(0, 0, 0, 0, 0, 0);
    s.AddVertex(0, 1, 0, 0, 0, 0);
    s.AddVertex(1, 0, 0, 0, 0, 0);
    s.AddTriangle(0, 1, 2);
    EXPECT_EQ(s.TriangleNX(0), 0.0f);
    EXPECT_EQ(s.TriangleNY(0), 0.0f);
    EXPECT_EQ(s.TriangleNZ(0), -1.0f);

    // A triangle of area 2 in the y-z plane, (p1 - p0) x (p2 - p1).
    s.AddVertex(0, 0, 2, 0, 0, 0);
    s.AddVertex(0, 2, 0, 0, 0, 0);
    s.AddTriangle(0, 3, 4);
    EXPECT_EQ(s.TriangleNX(1), -4.0f);
    EXPECT_EQ(s.TriangleNY(1), 0.0f);
    EXPECT_EQ(s.TriangleNZ(1), 0.0f);
}

TEST(SurfaceTest, ClearSurface) {
    SurfaceRef s = surfaceWith(5);
    s->AddTriangle(0, 1, 2);
    s->changed = 0;
    s->ClearSurface(1, 0);
    EXPECT_EQ(s->CountVertices(), 0);
    EXPECT_EQ(s->vert_capacity, 1);
    EXPECT_TRUE(s->vert_coords.empty());
    EXPECT_TRUE(s->vert_col.empty());
    EXPECT_EQ(s->CountTriangles(), 1) << "triangles remain";
    EXPECT_EQ(s->changed, 1);

    s->changed = 0;
    s->ClearSurface(0, 0);
    EXPECT_EQ(s->CountTriangles(), 1);
    EXPECT_EQ(s->changed, 1) << "marks the surface even when nothing is cleared";

    s->ClearSurface(0, 1);
    EXPECT_EQ(s->CountTriangles(), 0);
    EXPECT_EQ(s->tri_capacity, 1);
    EXPECT_TRUE(s->tris.empty());
    // Refilled from scratch.
    EXPECT_EQ(s->AddVertex(1, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(s->AddTriangle(0, 0, 0), 1);
}

TEST(SurfaceTest, CopyOwnsItsArraysAndBrushWhilePaintShares) {
    SurfaceRef s = surfaceWith(3);
    s->AddTriangle(0, 1, 2);
    s->vmin = 4;
    s->vmax = 9;
    BrushRef b = TBrush::CreateBrush(10, 20, 30);
    s->PaintSurface(b);
    EXPECT_EQ(s->brush, b) << "shared, not copied";

    SurfaceRef c = s->Copy();
    EXPECT_EQ(c->CountVertices(), 3);
    EXPECT_EQ(c->CountTriangles(), 1);
    EXPECT_EQ(c->vert_capacity, s->vert_capacity);
    EXPECT_EQ(c->tri_capacity, s->tri_capacity);
    EXPECT_EQ(c->vert_coords, s->vert_coords);
    EXPECT_EQ(c->tris, s->tris);
    EXPECT_EQ(c->vmin, 4);
    EXPECT_EQ(c->vmax, 9);
    EXPECT_EQ(c->changed, 0);
    ASSERT_NE(c->brush, nullptr);
    EXPECT_NE(c->brush, b);
    EXPECT_EQ(TBrush::CompareBrushes(c->brush, b), 1);
    c->VertexCoords(0, 5, 5, 5);
    EXPECT_EQ(s->VertexX(0), 0.0f) << "own arrays";

    auto other = std::make_shared<TSurface>();
    other->PaintSurface(b);
    b->BrushAlpha(0.5f);
    EXPECT_EQ(s->brush->alpha, 0.5f);
    EXPECT_EQ(other->brush->alpha, 0.5f);
    EXPECT_EQ(c->brush->alpha, 1.0f);

    EXPECT_EQ(std::make_shared<TSurface>()->Copy()->brush, nullptr);
}

TEST(SurfaceTest, BrushOfASurfaceIsCopiedOrNull) {
    auto s = std::make_shared<TSurface>();
    EXPECT_EQ(TBrush::GetSurfaceBrush(nullptr), nullptr);
    EXPECT_EQ(TBrush::GetSurfaceBrush(s), nullptr) << "nothing to copy";
    BrushRef b = TBrush::CreateBrush(1, 2, 3);
    b->BrushFX(FLATSHADEFX);
    s->PaintSurface(b);
    BrushRef c = TBrush::GetSurfaceBrush(s);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c, b);
    EXPECT_EQ(TBrush::CompareBrushes(c, b), 1);
    c->BrushFX(0);
    EXPECT_EQ(b->fx, 4);
}

TEST(SurfaceTest, OutOfRangeIndicesAreSafe) {
    SurfaceRef s = surfaceWith(2);
    s->AddTriangle(0, 1, 1);
    const std::vector<float> coords = s->vert_coords;
    const std::vector<float> cols = s->vert_col;
    s->changed = 0;
    // Beyond the count but inside the spare capacity, negative, and far outside.
    for (int vid : {2, 3, -1, 1000000}) {
        s->VertexCoords(vid, 9, 9, 9);
        s->VertexColor(vid, 9, 9, 9, 9);
        s->VertexNormal(vid, 9, 9, 9);
        s->VertexTexCoords(vid, 9, 9, 9, 0);
        EXPECT_EQ(s->VertexX(vid), 0.0f) << vid;
        EXPECT_EQ(s->VertexZ(vid), 0.0f) << vid;
        EXPECT_EQ(s->VertexRed(vid), 0.0f) << vid;
        EXPECT_EQ(s->VertexNZ(vid), 0.0f) << vid;
        EXPECT_EQ(s->VertexU(vid, 1), 0.0f) << vid;
    }
    EXPECT_EQ(s->vert_coords, coords);
    EXPECT_EQ(s->vert_col, cols);
    EXPECT_EQ(s->changed, 0);
    for (int tri : {1, -1, 99}) {
        EXPECT_EQ(s->TriangleVertex(tri, 0), 0) << tri;
        EXPECT_EQ(s->TriangleNX(tri), 0.0f) << tri;
    }
    EXPECT_EQ(s->TriangleVertex(0, 3), 0);
    EXPECT_EQ(s->TriangleVertex(0, -1), 0);

    // A loader may set the count above what its arrays hold: reads stop at the arrays.
    s->no_verts = 50;
    EXPECT_EQ(s->VertexX(40), 0.0f);
    s->VertexCoords(40, 1, 1, 1);
    EXPECT_EQ(s->vert_coords, coords);
}

TEST(SurfaceTest, SixteenBitIndexLimitIsARefusalNotAWrap) {
    TSurface s;
    for (int i = 0; i < TSurface::kMaxVertices; ++i) {
        ASSERT_EQ(s.AddVertex(float(i), 0, 0, 0, 0, 0), i);
    }
    EXPECT_EQ(s.AddVertex(1, 2, 3, 0, 0, 0), -1);
    EXPECT_EQ(s.CountVertices(), TSurface::kMaxVertices);
    EXPECT_EQ(s.VertexX(65535), 65535.0f);

    EXPECT_EQ(s.AddTriangle(65535, 0, 1), 1);
    EXPECT_EQ(s.TriangleVertex(0, 0), 65535);
    // 65536 would wrap to vertex 0; negative indices to 65535.
    EXPECT_EQ(s.AddTriangle(65536, 1, 2), 0);
    EXPECT_EQ(s.AddTriangle(0, -1, 2), 0);
    EXPECT_EQ(s.CountTriangles(), 1);
}

TEST(SurfaceTest, RevisionMovesWithEveryGeometryChange) {
    SurfaceRef s = surfaceWith(3);
    auto r = s->revision;
    s->AddVertex(0, 0, 0, 0, 0, 0);
    s->VertexNormal(0, 1, 0, 0);
    EXPECT_EQ(s->revision, r);
    s->AddTriangle(0, 1, 2);
    EXPECT_GT(s->revision, r);
    r = s->revision;
    s->VertexCoords(0, 1, 1, 1);
    EXPECT_GT(s->revision, r);
    r = s->revision;
    s->ClearSurface(0, 0);
    EXPECT_GT(s->revision, r);
}

} // namespace
