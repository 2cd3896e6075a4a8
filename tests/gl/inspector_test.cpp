// The entity inspector drawn over a rendered frame: its heading and page text, the red
// selection and the translucent overlay sphere, read back as pixels.
//
// The camera sits at the origin looking along +z on the whole 800x600 display; the car's body,
// a full-bright cube of half-size 1 at distance 10, covers pixels 360..439 x 260..339.
#include "../unit/inspector_fixture.h"
#include "engine/commands.h"
#include "engine/inspector.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine_fixture.h"
#include "platform/input.h"
#include "text_fixture.h"

#include <string>

namespace {
using namespace gltest;

constexpr std::uint32_t kBackground = Rgb(0, 0, 96);

class InspectorDrawTest : public EngineSceneTest {
  protected:
    void SetUp() override {
        EngineSceneTest::SetUp();
        ResetInspector();
        cam = CreateCamera(nullptr);
        CameraClsColor(cam, 0, 0, 96);
        car = CreatePivot(nullptr);
        NameEntity(car, "Car");
        PositionEntity(car, 0, 0, 10, 0);
        body = CreateCube(car);
        NameEntity(body, "Body");
        EntityFX(body, FULLBRIGHTFX);
        behind = CreatePivot(car);
        NameEntity(behind, "Behind");
        PositionEntity(behind, 0, 0, -30, 0);
    }
    void TearDown() override {
        ResetInspector();
        EngineSceneTest::TearDown();
    }

    // One frame as a program runs it: render, then the inspector over the frame (after the
    // keys were pressed). Returns the frame before and after the inspector drew.
    struct Frames {
        testseam::FrameCapture rendered, shown;
    };
    Frames frame(std::initializer_list<int> keys = {}) {
        RenderWorld();
        Frames f;
        f.rendered = testseam::CaptureFrame();
        for (int k : keys) testseam::PushKeyPress(k);
        TDebug::DebugEntity(car, cam);
        f.shown = testseam::CaptureFrame();
        return f;
    }

    // Every printed line shows exactly its text's ink over the rendered frame.
    static void expectPrintedLinesDrawn(const Frames& f) {
        ASSERT_FALSE(TDebug::printed.empty());
        for (const TDebugLine& l : TDebug::printed)
            EXPECT_TRUE(TextDrawnOver(f.rendered, f.shown, l.text, l.x, l.y));
    }

    CameraRef cam;
    EntityRef car, body, behind;
};

TEST_F(InspectorDrawTest, HeadingAndPageDrawnOverTheFrameAndSelectionPaintedRed) {
    frame({Key::Period}); // selects the body; its new colour shows from the next render
    const Frames f = frame();
    EXPECT_EQ(TDebug::printed.front(), (TDebugLine{0, 80, "1. Body (Mesh)"}));
    EXPECT_EQ(TDebug::printed.size(), 1u + 12u + 16u);
    expectPrintedLinesDrawn(f);
    EXPECT_TRUE(RectIs(f.shown, 362, 262, 76, 76, Rgb(255, 0, 0)));
    EXPECT_EQ(At(f.shown, 400, 250), kBackground);

    // Back to the root: the body turns white again.
    frame({Key::Comma});
    const Frames g = frame({Key::Digit2});
    EXPECT_EQ(TDebug::printed.front().text, "0. Car (Pivot)");
    EXPECT_EQ(TDebug::printed.back(), (TDebugLine{0, 120, "Entity is not a mesh!"}));
    expectPrintedLinesDrawn(g);
    EXPECT_TRUE(RectIs(g.shown, 362, 262, 76, 76, Rgb(255, 255, 255)));
}

TEST_F(InspectorDrawTest, ViewPageTellsWhetherTheCameraSeesTheSelection) {
    frame({Key::Period, Key::Digit3});
    ASSERT_EQ(TDebug::printed.size(), 2u);
    const std::string seen = TDebug::printed[1].text;
    ASSERT_EQ(seen.rfind("EntityInView: ", 0), 0u) << seen;
    EXPECT_GT(std::stof(seen.substr(14)), 0.0f) << seen;

    frame({Key::Period}); // the pivot behind the camera
    EXPECT_EQ(TDebug::printed.back(), (TDebugLine{0, 120, "EntityInView: 0.00000000"}));

    RenderWorld();
    const auto rendered = testseam::CaptureFrame();
    TDebug::DebugEntity(car, nullptr);
    EXPECT_EQ(TDebug::printed.back(), (TDebugLine{0, 120, "Camera entity not specified!"}));
    EXPECT_TRUE(
        TextDrawnOver(rendered, testseam::CaptureFrame(), "Camera entity not specified!", 0, 120));
}

TEST_F(InspectorDrawTest, F1OverlaysATranslucentYellowSphereAroundTheSelection) {
    frame({Key::Period});
    const auto plain = frame().rendered;
    // Inside the cube's bounding sphere (radius sqrt 3, about 69 pixels) but beside the cube.
    const int sx = 400 + 55, sy = 300;
    ASSERT_EQ(At(plain, sx, sy), kBackground);

    frame({Key::F1});
    const auto overlaid = frame().rendered;
    const std::uint32_t c = At(overlaid, sx, sy);
    const int r = int(c >> 16 & 255), g = int(c >> 8 & 255), b = int(c & 255);
    EXPECT_GT(r, 40) << Hex(c);
    EXPECT_NEAR(r, g, 2) << Hex(c);
    EXPECT_LT(b, 96) << Hex(c); // a quarter of the background shows through
    EXPECT_GT(b, 0) << Hex(c);
    // Well outside the sphere the frame is untouched.
    EXPECT_EQ(At(overlaid, 400 + 90, 300), kBackground);
    EXPECT_EQ(At(overlaid, 400, 300 - 90), kBackground);

    frame({Key::F1});
    EXPECT_EQ(At(frame().rendered, sx, sy), kBackground);
}

} // namespace
