// Text drawn straight through OpenGL over the rendered 3D frame, and the GL state it leaves.
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/text2d.h"
#include "engine_fixture.h"
#include "text_fixture.h"

#include <array>

namespace {
using namespace gltest;

class TextDrawTest : public EngineSceneTest {
  protected:
    void TearDown() override {
        // The texture matrices that the tests disturb, back to identity on every unit.
        for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) {
            glActiveTexture(unit);
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
        }
        glMatrixMode(GL_MODELVIEW);
        EngineSceneTest::TearDown();
    }

    // A blue frame with a full-bright red square of 200 x 200 pixels in the middle.
    static testseam::FrameCapture renderScene() {
        CameraRef cam = CreateCamera(nullptr);
        CameraClsColor(cam, 0, 0, 96);
        MeshRef cube = CreateCube(nullptr);
        PositionEntity(cube, 0, 0, 4, 0);
        EntityFX(cube, FULLBRIGHTFX);
        EntityColor(cube, 255, 0, 0);
        RenderWorld();
        return testseam::CaptureFrame();
    }

    static GLint integer(GLenum what) {
        GLint v = 0;
        glGetIntegerv(what, &v);
        return v;
    }
};

TEST_F(TextDrawTest, TextShowsWhiteInkAtItsPlaceOverThe3DView) {
    const auto before = renderScene();
    ASSERT_EQ(At(before, 400, 300), Rgb(255, 0, 0));
    ASSERT_EQ(At(before, 20, 20), Rgb(0, 0, 96));

    Text(350, 292, "Hello, 3D!");     // over the square
    Text(10, 20, "top left");         // over the background
    Text(280, 380, "half over edge"); // across the square's lower edge (y 400)
    const auto after = testseam::CaptureFrame();
    EXPECT_TRUE(TextDrawnOver(before, after, "Hello, 3D!", 350, 292));
    EXPECT_TRUE(TextDrawnOver(before, after, "top left", 10, 20));
    EXPECT_TRUE(TextDrawnOver(before, after, "half over edge", 280, 380));
    // Nothing changed outside the ink.
    int changed = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) changed += At(before, x, y) != At(after, x, y);
    int ink = 0;
    for (const char* t : {"Hello, 3D!", "top left", "half over edge"})
        for (const char* c = t; *c; ++c)
            for (int py = 0; py < kGLTextCellHeight; ++py)
                for (int px = 0; px < kGLTextCellWidth; ++px) ink += GLTextGlyphInk(*c, px, py);
    EXPECT_EQ(changed, ink); // the frame held no white, so every ink pixel changed
}

TEST_F(TextDrawTest, LeavesLightingOnBlendingAndTexturingOffTextureMatrixModeUnit0) {
    struct Start {
        bool lighting, blend, texture;
    } starts[] = {{false, true, true}, {true, false, false}, {false, false, true}};
    for (const Start& s : starts) {
        s.lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
        s.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        glActiveTexture(GL_TEXTURE0);
        s.texture ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        // The texture matrix of the unit active on entry is reset; unit 1's here.
        glActiveTexture(GL_TEXTURE1);
        glClientActiveTexture(GL_TEXTURE1);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(2, 3, 4);
        glMatrixMode(GL_PROJECTION);
        InvalidateGLState(); // the calls above are the program's own

        TQuendor2D::Text(5, 5, "state");
        SCOPED_TRACE(std::to_string(s.lighting) + std::to_string(s.blend) +
                     std::to_string(s.texture));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_TEXTURE);
        EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
        EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        std::array<float, 16> m{};
        glActiveTexture(GL_TEXTURE1);
        glGetFloatv(GL_TEXTURE_MATRIX, m.data());
        glActiveTexture(GL_TEXTURE0);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(m[std::size_t(i)], i % 5 == 0 ? 1.0f : 0.0f) << i;
        std::array<float, 4> colour{};
        glGetFloatv(GL_CURRENT_COLOR, colour.data());
        EXPECT_EQ(colour, (std::array<float, 4>{1, 1, 1, 1}));
    }
}

} // namespace
