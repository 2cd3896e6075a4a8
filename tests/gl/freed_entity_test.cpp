// A freed entity as a program sees it through the commands: no command brings it, or anything
// below it, back into the scene (the command layer's table in the unit tests holds every command
// given a freed entity against the same command given a null handle).
//
// The camera sits at the origin looking along +z on the whole display, cleared to blue; the
// meshes are full-bright squares, so a square at distance 5 and half-size 1 fills the pixels
// 320..480 x 220..380.
#include "engine/commands.h"
#include "engine_fixture.h"

namespace {
using namespace gltest;

constexpr std::uint32_t kBlue = Rgb(0, 0, 255);
constexpr std::uint32_t kRed = Rgb(255, 0, 0);
constexpr std::uint32_t kGreen = Rgb(0, 255, 0);

class FreedEntityTest : public EngineSceneTest {
  protected:
    void SetUp() override {
        EngineSceneTest::SetUp();
        camera_ = CreateCamera(nullptr);
        CameraClsColor(camera_, 0, 0, 255);
    }

    // A full-bright square of half-size 1 in the colour, at (x, y, z) under parent.
    static MeshRef square(int r, int g, int b, float x, float y, float z, const EntityRef& parent) {
        MeshRef m = CreateMesh(parent);
        SurfaceRef s = CreateSurface(m, nullptr);
        AddVertex(s, -1, -1, 0, 0, 1, 0);
        AddVertex(s, -1, 1, 0, 0, 0, 0);
        AddVertex(s, 1, 1, 0, 1, 0, 0);
        AddVertex(s, 1, -1, 0, 1, 1, 0);
        AddTriangle(s, 0, 1, 2);
        AddTriangle(s, 0, 2, 3);
        EntityFX(m, 1);
        EntityColor(m, float(r), float(g), float(b));
        PositionEntity(m, x, y, z, 1);
        return m;
    }

    static testseam::FrameCapture render() {
        RenderWorld();
        return testseam::CaptureFrame();
    }

    CameraRef camera_;
};

// Every way a program might put a freed entity back, tried on a freed square that sat in the
// middle of the view and on a square that was freed with its parent.
TEST_F(FreedEntityTest, NoCommandPutsAFreedEntityBackInTheScene) {
    PivotRef holder = CreatePivot(nullptr);
    MeshRef left = square(0, 255, 0, -2, 0, 5, holder); // stays: the scene still draws
    MeshRef middle = square(255, 0, 0, 0, 0, 5, nullptr);
    PivotRef group = CreatePivot(nullptr);
    MeshRef below = square(255, 0, 0, 0, 1, 5, group); // freed with its parent
    testseam::FrameCapture f = render();
    ASSERT_EQ(Hex(At(f, 400, 300)), Hex(kRed));
    ASSERT_EQ(Hex(At(f, 240, 300)), Hex(kGreen));
    EXPECT_EQ(CountChildren(holder), 1);

    FreeEntity(middle);
    FreeEntity(group);
    for (const MeshRef& gone : {middle, below}) {
        EntityParent(gone, holder, 1);
        EntityParent(gone, holder, 0);
        EntityParent(gone, nullptr, 1);
        EntityParent(gone, camera_, 0);
        ShowEntity(gone);
        PositionEntity(gone, 0, 0, 5, 1);
        EntityColor(gone, 255, 0, 0);
        EXPECT_EQ(CopyEntity(gone, nullptr), nullptr);
        EXPECT_EQ(CopyEntity(gone, holder), nullptr);
        EXPECT_EQ(CopyMesh(gone, holder), nullptr);
        AddMesh(gone, left); // adds nothing to a live mesh
        EXPECT_EQ(GetParent(gone), nullptr);
    }
    // A freed entity takes no children either: what is given it as parent counts as none.
    EntityParent(left, group, 1);
    EXPECT_EQ(GetParent(left), nullptr);
    EntityParent(left, holder, 1);
    MeshRef late = square(0, 255, 0, 2, 0, 5, middle);
    EXPECT_EQ(GetParent(late), nullptr);
    EXPECT_EQ(CountChildren(middle), 0);
    EXPECT_EQ(CountChildren(group), 0);

    EXPECT_EQ(CountChildren(holder), 1) << "only the live square is under the holder";
    EXPECT_EQ(GetChild(holder, 1), EntityRef(left));
    EXPECT_EQ(CountSurfaces(left), 1);
    f = render();
    EXPECT_TRUE(RectIs(f, 330, 230, 140, 140, kBlue)) << "the freed squares stay gone";
    EXPECT_EQ(Hex(At(f, 240, 300)), Hex(kGreen));
    EXPECT_EQ(Hex(At(f, 560, 300)), Hex(kGreen)) << "made under a freed parent: at the top level";
}

} // namespace
