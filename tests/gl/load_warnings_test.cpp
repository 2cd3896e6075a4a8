// What a program hears of files that fail it, as the program sees it through the commands: each
// failure is named once on the error stream with the name the program gave, none that lets the
// program go on is labelled an error, and a model cut short says so and draws what is whole.
#include "engine/commands.h"
#include "engine_fixture.h"

#include "../unit/b3d_writer.h"
#include "../unit/temp_dir.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {
using namespace gltest;

class LoadWarningsTest : public EngineSceneTest {
  protected:
    void SetUp() override {
        EngineSceneTest::SetUp();
        in_ = std::make_unique<ScopedWorkingDir>(tmp_.dir());
    }
    void TearDown() override {
        in_.reset();
        EngineSceneTest::TearDown();
    }

    // What the error stream receives while `load` runs, with every message new again.
    template <class Load> static std::string said(Load load) {
        testseam::ForgetWarnings();
        ::testing::internal::CaptureStderr();
        load();
        return ::testing::internal::GetCapturedStderr();
    }

    static bool has(const std::string& log, const std::string& text) {
        return log.find(text) != std::string::npos;
    }
    static int lines(const std::string& log) {
        return int(std::count(log.begin(), log.end(), '\n'));
    }

    TempDir tmp_;
    std::unique_ptr<ScopedWorkingDir> in_;
};

TEST_F(LoadWarningsTest, AMissingTextureIsNamedAsAskedForWithWhereItWasLookedFor) {
    std::string log = said([] { EXPECT_FALSE(LoadTexture("textures/wall.png", 0)); });
    EXPECT_EQ(log, "Cannot find texture: textures/wall.png (looked for textures/wall.png, then "
                   "wall.png)\n");

    // Found only by its bare name but not an image: the name asked for, and the file found.
    tmp_.write("wall.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    log = said([] { EXPECT_FALSE(LoadTexture("textures/wall.png", 0)); });
    EXPECT_EQ(log, "Cannot load texture: textures/wall.png (found as wall.png)\n");
}

TEST_F(LoadWarningsTest, AnImageThatDoesNotLoadIsNamedOnce) {
    tmp_.write("noise.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 1, 2, 3});
    const std::string log = said([] {
        for (int i = 0; i < 3; ++i) { // asked for every frame: said once
            EXPECT_FALSE(LoadImage("gone.png", 0));
            EXPECT_FALSE(LoadImage("noise.png", 0));
            EXPECT_FALSE(LoadAnimImage("strip/gone.png", 8, 8, 0, 2, 0));
        }
    });
    EXPECT_EQ(lines(log), 3) << log;
    EXPECT_TRUE(has(log, "Image gone.png cannot be read: not loaded\n")) << log;
    EXPECT_TRUE(has(log, "Image noise.png is cut short: not loaded\n")) << log;
    EXPECT_TRUE(has(log, "Image strip/gone.png cannot be read: not loaded\n")) << log;
    // A good one says nothing.
    const PixmapRef red = SolidPixmap(4, 4, Rgb(255, 0, 0));
    ASSERT_TRUE(SavePixmapPNG(red, tmp_.path("red.png")));
    EXPECT_EQ(said([] { EXPECT_TRUE(LoadImage("red.png", 0)); }), "");
}

// A square board of two triangles, (-1, -1) to (1, 1), five units in front of the camera.
std::vector<std::uint8_t> board() {
    B3DWriter w;
    w.Header().Node("board", {0, 0, 5}).Mesh(-1);
    w.Vrts(0, 0, 0, {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}});
    w.Tris(-1, {{0, 1, 2}, {0, 2, 3}});
    return w.Finish();
}

TEST_F(LoadWarningsTest, AModelCutShortSaysSoAndDrawsWhatIsWhole) {
    const std::vector<std::uint8_t> whole = board();
    tmp_.write("board.b3d", whole);
    // The last triangle cut in its middle.
    tmp_.write("cut.b3d", std::vector<std::uint8_t>(whole.begin(), whole.end() - 6));
    CameraRef cam = CreateCamera(nullptr);
    CameraClsColor(cam, 0, 0, 255);
    const auto draw = [](const MeshRef& m) {
        EntityFX(m, FULLBRIGHTFX | NOCULLFX);
        EntityColor(m, 255, 255, 0);
        RenderWorld();
        const testseam::FrameCapture f = testseam::CaptureFrame();
        FreeEntity(m);
        return f;
    };

    MeshRef m;
    EXPECT_EQ(said([&] { m = LoadAnimMesh("board.b3d", nullptr); }), "");
    ASSERT_TRUE(m);
    testseam::FrameCapture f = draw(m);
    EXPECT_EQ(Hex(At(f, 360, 300)), Hex(Rgb(255, 255, 0)));
    EXPECT_EQ(Hex(At(f, 440, 300)), Hex(Rgb(255, 255, 0)));

    const std::string log = said([&] { m = LoadAnimMesh("cut.b3d", nullptr); });
    EXPECT_TRUE(has(log, "cut.b3d")) << log;
    EXPECT_TRUE(has(log, "cut short")) << log;
    EXPECT_FALSE(has(log, "ERROR")) << log;
    ASSERT_TRUE(m);
    ASSERT_EQ(CountSurfaces(m), 1);
    EXPECT_EQ(CountTriangles(GetSurface(m, 1)), 1) << "only the whole triangle";
    f = draw(m);
    // One triangle of the board drawn, the half the other would have covered left clear.
    EXPECT_NE(Hex(At(f, 360, 300)), Hex(At(f, 440, 300)));
    EXPECT_TRUE(At(f, 360, 300) == Rgb(255, 255, 0) || At(f, 440, 300) == Rgb(255, 255, 0));
    EXPECT_TRUE(At(f, 360, 300) == Rgb(0, 0, 255) || At(f, 440, 300) == Rgb(0, 0, 255));
}

// Cut anywhere, a model is never taken in silence: it is refused, or loads saying it was cut
// short, and neither way is labelled an error (the program goes on).
TEST_F(LoadWarningsTest, AModelCutAnywhereIsNeverTakenInSilence) {
    const std::vector<std::uint8_t> whole = board();
    for (std::size_t n = 1; n < whole.size(); ++n) {
        tmp_.write("cut.b3d", std::vector<std::uint8_t>(whole.begin(), whole.begin() + long(n)));
        MeshRef m;
        const std::string log = said([&] { m = LoadMesh("cut.b3d", nullptr); });
        EXPECT_TRUE(has(log, "cut.b3d")) << "cut at " << n << ": " << log;
        EXPECT_FALSE(has(log, "ERROR")) << "cut at " << n << ": " << log;
        if (m) {
            EXPECT_TRUE(has(log, "cut short")) << "cut at " << n << ": " << log;
            FreeEntity(m);
        }
    }
}

} // namespace
