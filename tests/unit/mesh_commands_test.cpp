// Mesh and surface commands: forwarding to the operations and safe null handles.
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/surface.h"

#include "entity_fixture.h"

#include <memory>

namespace {

class MeshCommandsTest : public SceneTest {};

TEST_F(MeshCommandsTest, CommandsForwardToTheOperations) {
    MeshRef m = CreateMesh(nullptr);
    EXPECT_EQ(CountSurfaces(m), 0);
    BrushRef b = CreateBrush(0, 255, 0);
    SurfaceRef s = CreateSurface(m, b);
    EXPECT_EQ(CountSurfaces(m), 1);
    EXPECT_EQ(GetSurface(m, 1), s);
    EXPECT_EQ(FindSurface(m, CreateBrush(0, 255, 0)), s);

    EXPECT_EQ(AddVertex(s, 0, 0, 0, 0.5f, 0.25f, 7), 0);
    EXPECT_EQ(AddVertex(s, 2, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(AddVertex(s, 0, 4, 6, 0, 0, 0), 2);
    EXPECT_EQ(AddTriangle(s, 0, 1, 2), 1);
    EXPECT_EQ(AddTriangle(s, 2, 1, 0), 2);
    EXPECT_EQ(CountVertices(s), 3);
    EXPECT_EQ(CountTriangles(s), 2);
    EXPECT_EQ(TriangleVertex(s, 0, 0), 0);
    EXPECT_EQ(TriangleVertex(s, 1, 0), 2);
    EXPECT_EQ(VertexZ(s, 2), 6.0f);
    EXPECT_EQ(VertexU(s, 0, 0), 0.5f);
    EXPECT_EQ(VertexV(s, 0, 0), 0.25f);
    EXPECT_EQ(VertexW(s, 0), 0.0f);

    VertexCoords(s, 1, 3, 0, -2);
    VertexColor(s, 1, 255, 0, 51, 0.5f);
    VertexNormal(s, 1, 0, 0, -1);
    VertexTexCoords(s, 1, 0.75f, 1, 0, 1);
    EXPECT_EQ(VertexX(s, 1), 3.0f);
    EXPECT_EQ(VertexY(s, 1), 0.0f);
    EXPECT_EQ(VertexZ(s, 1), -2.0f);
    EXPECT_EQ(VertexRed(s, 1), 255.0f);
    EXPECT_EQ(VertexGreen(s, 1), 0.0f);
    EXPECT_NEAR(VertexBlue(s, 1), 51.0f, 1e-4f);
    EXPECT_EQ(VertexAlpha(s, 1), 0.5f);
    EXPECT_EQ(VertexNX(s, 1), 0.0f);
    EXPECT_EQ(VertexNY(s, 1), 0.0f);
    EXPECT_EQ(VertexNZ(s, 1), -1.0f);
    EXPECT_EQ(VertexU(s, 1, 1), 0.75f);
    EXPECT_EQ(VertexV(s, 1, 1), 1.0f);
    EXPECT_EQ(TriangleNZ(s, 0), s->TriangleNZ(0));
    EXPECT_EQ(TriangleNX(s, 0), s->TriangleNX(0));
    EXPECT_EQ(TriangleNY(s, 0), s->TriangleNY(0));

    EXPECT_FLOAT_EQ(MeshWidth(m), 3.0f);
    EXPECT_FLOAT_EQ(MeshHeight(m), 4.0f);
    EXPECT_FLOAT_EQ(MeshDepth(m), 8.0f);

    UpdateNormals(m);
    EXPECT_NEAR(VertexNX(s, 0), 0.0f, 1e-6f) << "two opposite faces cancel to zero";

    BrushRef copy = GetSurfaceBrush(s);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, b);
    EXPECT_EQ(copy->green, 1.0f);
    BrushRef other = CreateBrush(1, 1, 1);
    PaintSurface(s, other);
    EXPECT_EQ(s->brush, other);
    ClearSurface(s, 0, 1);
    EXPECT_EQ(CountTriangles(s), 0);
    EXPECT_EQ(CountVertices(s), 3);
    ClearSurface(s, 1, 0);
    EXPECT_EQ(CountVertices(s), 0);

    EXPECT_EQ(CountVertices(GetSurface(CreateCube(nullptr), 1)), 24);
    EXPECT_EQ(CountVertices(GetSurface(CreateSphere(24, nullptr), 1)), 4512);
    EXPECT_EQ(CountSurfaces(CreateCylinder(8, 1, nullptr)), 2);
    EXPECT_EQ(CountSurfaces(CreateCone(8, 0, nullptr)), 1);
    EXPECT_EQ(CreateSphere(101, nullptr), nullptr);
}

TEST_F(MeshCommandsTest, NullHandlesAreSafeNoOps) {
    const MeshRef m;
    const SurfaceRef s;
    UpdateNormals(m);
    EXPECT_EQ(MeshWidth(m), 0.0f);
    EXPECT_EQ(MeshHeight(m), 0.0f);
    EXPECT_EQ(MeshDepth(m), 0.0f);
    EXPECT_EQ(CountSurfaces(m), 0);
    EXPECT_EQ(GetSurface(m, 1), nullptr);
    EXPECT_EQ(FindSurface(m, nullptr), nullptr);
    EXPECT_EQ(CreateSurface(m, nullptr), nullptr);

    PaintSurface(s, CreateBrush(1, 2, 3));
    ClearSurface(s, 1, 1);
    EXPECT_EQ(AddVertex(s, 1, 2, 3, 0, 0, 0), 0);
    EXPECT_EQ(AddTriangle(s, 0, 1, 2), 0);
    EXPECT_EQ(CountVertices(s), 0);
    EXPECT_EQ(CountTriangles(s), 0);
    VertexCoords(s, 0, 1, 2, 3);
    VertexColor(s, 0, 1, 2, 3, 1);
    VertexNormal(s, 0, 1, 2, 3);
    VertexTexCoords(s, 0, 1, 2, 3, 0);
    EXPECT_EQ(VertexX(s, 0), 0.0f);
    EXPECT_EQ(VertexRed(s, 0), 0.0f);
    EXPECT_EQ(VertexNZ(s, 0), 0.0f);
    EXPECT_EQ(VertexU(s, 0, 0), 0.0f);
    EXPECT_EQ(VertexW(s, 0), 0.0f);
    EXPECT_EQ(TriangleVertex(s, 0, 0), 0);
    EXPECT_EQ(TriangleNX(s, 0), 0.0f);
    EXPECT_EQ(GetSurfaceBrush(s), nullptr);

    // A null parent is the top level.
    MeshRef top = CreateMesh(nullptr);
    EXPECT_EQ(top->GetParent(), nullptr);
    EXPECT_TRUE(inList(top));
}

} // namespace
