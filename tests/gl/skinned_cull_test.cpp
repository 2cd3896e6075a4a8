// Culling of skinned meshes: a mesh whose pose carries it into view from a bind pose outside it
// is drawn, whichever way it was posed.
//
// The camera sits at the origin looking along +z with zoom 1 on the whole 800x600 display: at
// distance 5 the view spans x -5..5, and x lands on pixel column 400 + 80 x.
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine_fixture.h"

#include "../unit/b3d_writer.h"
#include "../unit/temp_dir.h"

#include <string>

namespace {
using namespace gltest;

constexpr std::uint32_t kBlack = Rgb(0, 0, 0);
constexpr std::uint32_t kWhite = Rgb(255, 255, 255);

class SkinnedCullTest : public EngineSceneTest {
  protected:
    void SetUp() override {
        EngineSceneTest::SetUp();
        // A 2 x 2 quad at x -9..-7, y -1..1, z 5 facing the camera, every vertex on one bone
        // whose keys move it by 3 along x from frame 0 to frame 10: posed at frame 10 the quad
        // spans x -6..-4, its right fifth (columns 0..79) in view.
        B3DWriter w;
        w.Header().Node("body");
        w.Mesh(-1)
            .Vrts(0, 0, 0, {{-9, -1, 5}, {-9, 1, 5}, {-7, 1, 5}, {-7, -1, 5}})
            .Tris(-1, {{0, 1, 2}, {0, 2, 3}})
            .End();
        w.Anim(10);
        B3DKey k0, k10;
        k0.frame = 0;
        k10.frame = 10;
        k10.p[0] = 3;
        w.Node("bone").Bone({{0, 1.0f}, {1, 1.0f}, {2, 1.0f}, {3, 1.0f}}).Keys(1, {k0, k10});
        file_ = tmp_.write("quad.b3d", w.Finish());
    }

    // The skinned quad, lit by nothing but full brightness.
    MeshRef load() {
        MeshRef m = LoadAnimMesh(file_, nullptr);
        EXPECT_TRUE(m);
        if (m) EntityFX(m, FULLBRIGHTFX);
        return m;
    }

    static testseam::FrameCapture render() {
        RenderWorld();
        return testseam::CaptureFrame();
    }

    TempDir tmp_;
    std::string file_;
};

TEST_F(SkinnedCullTest, PosedIntoViewIsDrawnOnEveryPosingPath) {
    CameraRef cam = CreateCamera(nullptr);
    CameraClsColor(cam, 0, 0, 0);

    MeshRef quad = load();
    ASSERT_TRUE(quad);
    // In its bind pose the quad lies wholly left of the view.
    EXPECT_TRUE(RectIs(render(), 0, 220, 120, 160, kBlack)) << "bind pose";

    SetAnimTime(quad, 10, 0);
    EXPECT_TRUE(RectIs(render(), 0, 225, 75, 150, kWhite)) << "first render after SetAnimTime";
    EXPECT_TRUE(RectIs(render(), 0, 225, 75, 150, kWhite)) << "second render after SetAnimTime";
    EXPECT_TRUE(RectIs(render(), 85, 220, 40, 160, kBlack)) << "nothing right of x -4";

    // A copy of the posed quad draws the pose it was copied with.
    EntityRef copy = CopyEntity(quad, nullptr);
    HideEntity(quad);
    EXPECT_TRUE(RectIs(render(), 0, 225, 75, 150, kWhite)) << "copy of the posed quad";
    FreeEntity(copy);

    // Posed by the world step: Animate, then UpdateWorld poses frame 0 (bind), then onward.
    FreeEntity(quad);
    MeshRef walker = load();
    Animate(walker, 3, 1.0f, 0, 0);
    EXPECT_TRUE(RectIs(render(), 0, 220, 120, 160, kBlack)) << "before the first UpdateWorld";
    for (int step = 0; step <= 10; ++step) UpdateWorld(1.0f);
    EXPECT_TRUE(RectIs(render(), 0, 225, 75, 150, kWhite)) << "after Animate and UpdateWorld";
}

} // namespace
