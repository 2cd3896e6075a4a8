// The engine's GL state as a program sees it at the edges of its contract, through the one
// public header and pixels read back: its own GL calls followed by InvalidateGLState, text
// after SetColor, a scene made before the display opens.
#include "engine/commands.h"
#include "engine_fixture.h"
#include "text_fixture.h"

#include <GL/gl.h>

#include <functional>
#include <string>

namespace {
using namespace gltest;

// A scene whose picture depends on each piece of the engine's standing 3D state: a camera
// whose viewport leaves a border that a camera before it clears to another colour (the scissor
// test keeps the second clear inside its viewport), a light, a grey
// cube scaled down (normalisation), a shiny sphere (the light model's local viewer), a cube in
// vertex colours (the colour array), and a near cube drawn before the far one it partly hides
// (the depth function; opaque meshes draw newest first).
void buildLitScene() {
    CameraRef border = CreateCamera(nullptr);
    CameraClsColor(border, 90, 20, 20);
    TurnEntity(border, 0, 180, 0, 0); // sees nothing of the scene
    EntityOrder(border, 1);           // drawn first
    CameraRef cam = CreateCamera(nullptr);
    CameraViewport(cam, 40, 30, 720, 540);
    CameraClsColor(cam, 0, 0, 96);
    LightRef light = CreateLight(1, nullptr);
    TurnEntity(light, 35, -30, 0, 0);
    AmbientLight(60, 60, 60);

    MeshRef grey = CreateCube(nullptr);
    PositionEntity(grey, -2.2f, 1.2f, 8, 0);
    ScaleEntity(grey, 0.6f, 0.6f, 0.6f, 0);
    TurnEntity(grey, 25, 40, 0, 0);
    EntityColor(grey, 150, 150, 150);

    MeshRef shiny = CreateSphere(24, nullptr);
    PositionEntity(shiny, -2, -1.5f, 7, 0);
    EntityColor(shiny, 60, 60, 200);
    EntityShininess(shiny, 1);

    MeshRef painted = CreateCube(nullptr);
    PositionEntity(painted, 2.5f, 1.8f, 9, 0);
    TurnEntity(painted, 30, 30, 0, 0);
    EntityFX(painted, VERTEXCOLORFX);
    const SurfaceRef s = GetSurface(painted, 1);
    for (int v = 0; v < CountVertices(s); ++v)
        VertexColor(s, v, float(v * 37 % 256), float(v * 91 % 256), 200, 1);

    MeshRef far = CreateCube(nullptr);
    PositionEntity(far, 2.2f, -1, 12, 0);
    EntityColor(far, 0, 200, 0);
    MeshRef near = CreateCube(nullptr); // made last: drawn first
    PositionEntity(near, 1.6f, -1, 7, 0);
    TurnEntity(near, 0, 45, 0, 0);
    EntityColor(near, 200, 0, 0);
}

// One frame of the world alone: no Begin2D and End2D, whose hand-over applies the engine's
// state afresh.
testseam::FrameCapture drawFrame() {
    RenderWorld();
    return testseam::CaptureFrame();
}

int differingPixels(const testseam::FrameCapture& a, const testseam::FrameCapture& b) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) n += At(a, x, y) != At(b, x, y);
    return n;
}

class ForeignGLCallsTest : public EngineSceneTest {};

// After a program's own GL calls and InvalidateGLState the next frame is the one it would have
// been without them, whatever of the engine's standing state the calls changed. Each change is
// first shown to matter: drawn with the state it leaves (and the record's checks off, since the
// record is wrong until InvalidateGLState), the frame differs. The frames are drawn without
// Begin2D and End2D, whose hand-over applies the engine's state afresh.
TEST_F(ForeignGLCallsTest, InvalidateGLStateLeavesTheNextFrameAsIfNoCallHadBeenMade) {
    buildLitScene();
    const auto reference = drawFrame();

    const struct {
        const char* what;
        std::function<void()> call;
    } calls[] = {
        {"lighting off", [] { glDisable(GL_LIGHTING); }},
        {"normalisation off", [] { glDisable(GL_NORMALIZE); }},
        {"scissor test off", [] { glDisable(GL_SCISSOR_TEST); }},
        {"colour array off", [] { glDisableClientState(GL_COLOR_ARRAY); }},
        {"normal array off", [] { glDisableClientState(GL_NORMAL_ARRAY); }},
        {"depth function", [] { glDepthFunc(GL_ALWAYS); }},
        {"depth cleared to 0", [] { glClearDepth(0.0); }},
        {"no local viewer", [] { glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0); }},
        {"blending on",
         [] {
             glEnable(GL_BLEND);
             glBlendFunc(GL_ONE, GL_ONE);
         }},
        {"depth test off", [] { glDisable(GL_DEPTH_TEST); }},
        {"front faces culled", [] { glCullFace(GL_FRONT); }},
        {"clockwise front faces", [] { glFrontFace(GL_CW); }},
        {"colour material on emission", [] { glColorMaterial(GL_FRONT_AND_BACK, GL_EMISSION); }},
        {"depth range", [] { glDepthRange(1, 1); }},
    };
    for (const auto& c : calls) {
        c.call();
        testseam::SetGLStateChecks(false);
        const auto spoilt = drawFrame();
        testseam::SetGLStateChecks(true);
        EXPECT_GT(differingPixels(reference, spoilt), 0) << c.what << " does not show";

        c.call();
        InvalidateGLState();
        const auto frame = drawFrame();
        EXPECT_EQ(differingPixels(reference, frame), 0) << c.what;
        // Whatever the outcome, the next case starts from the engine's state, drawn once so
        // that the record holds what the frame set.
        Begin2D();
        End2D();
        drawFrame();
    }
}

// Between Begin2D and End2D the 2D layer's draws rely on its view of the display: after a
// program's own viewport and matrices and InvalidateGLState they land where they would have,
// in that bracket and in the next.
TEST_F(ForeignGLCallsTest, InvalidateGLStateBetweenBegin2DAndEnd2DPutsBackThe2DView) {
    Begin2D();
    SetClsColor(0, 0, 0);
    Cls();
    glViewport(0, 0, 100, 100);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0.5f, 0.5f, 0);
    glMatrixMode(GL_TEXTURE);
    glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE);
    InvalidateGLState();
    SetColor(255, 0, 0);
    DrawRect(700, 500, 4, 4);
    End2D();
    RenderWorld(); // no camera: nothing
    Begin2D();
    SetColor(0, 255, 0);
    DrawRect(10, 10, 4, 4);
    End2D();
    const auto f = testseam::CaptureFrame();
    EXPECT_TRUE(RectIs(f, 700, 500, 4, 4, Rgb(255, 0, 0)));
    EXPECT_TRUE(RectIs(f, 10, 10, 4, 4, Rgb(0, 255, 0)));
    int lit = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) lit += At(f, x, y) != Rgb(0, 0, 0);
    EXPECT_EQ(lit, 32) << "the two squares and nothing else";
}

class TextColourTest : public EngineSceneTest {};

// GLDrawText takes the colour SetColor gave last, as the 2D layer's other draws do, whatever
// the draw before it left; Text stays white.
TEST_F(TextColourTest, GLDrawTextTakesTheColourOfSetColorAndTextStaysWhite) {
    Begin2D();
    SetClsColor(0, 0, 0);
    Cls();
    SetColor(40, 40, 40);
    DrawRect(0, 0, 10, 10);
    SetColor(255, 220, 60);
    GLDrawText("HUD", 100, 100);
    SetColor(0, 200, 255);
    GLDrawText("HUD", 100, 140);
    End2D();
    Text(100, 180, "HUD"); // after SetColor(0, 200, 255) too
    const auto f = testseam::CaptureFrame();
    EXPECT_TRUE(TextDrawnOver(f, f, "HUD", 100, 100, Rgb(255, 220, 60)));
    EXPECT_TRUE(TextDrawnOver(f, f, "HUD", 100, 140, Rgb(0, 200, 255)));
    EXPECT_TRUE(TextDrawnOver(f, f, "HUD", 100, 180, Rgb(255, 255, 255)));
}

// A camera, light and cube made before Graphics3D draw once the display is open: the camera
// made with the whole display as its viewport takes the display's size; one whose viewport the
// program set keeps it, counted from the display's top-left corner.
TEST(SceneBeforeDisplay, ACameraMadeBeforeGraphics3DTakesTheDisplaysSizeUnlessItsViewportWasSet) {
    testseam::SetGLStateChecks(true);
    testseam::SetUnpacedFlip(true);
    if (GraphicsOpen()) EndGraphics(); // this process drew before: start as a program does

    CameraRef whole = CreateCamera(nullptr);
    CameraClsColor(whole, 0, 0, 96);
    CameraRef corner = CreateCamera(nullptr);
    CameraViewport(corner, 600, 0, 200, 150); // the top right corner
    CameraClsColor(corner, 0, 120, 0);
    EntityOrder(corner, -1); // after the whole view
    CreateLight(1, nullptr);
    MeshRef cube = CreateCube(nullptr);
    PositionEntity(cube, 0, 0, 4, 0);
    EntityFX(cube, FULLBRIGHTFX);
    EntityColor(cube, 255, 0, 0);

    Graphics3D(kWidth, kHeight, 0, 2, 60);
    RenderWorld();
    const auto f = testseam::CaptureFrame();
    EXPECT_EQ(Hex(At(f, 400, 300)), Hex(Rgb(255, 0, 0))) << "the cube in the middle";
    EXPECT_EQ(Hex(At(f, 5, 595)), Hex(Rgb(0, 0, 96))) << "the whole view's clear colour";
    EXPECT_EQ(Hex(At(f, 790, 10)), Hex(Rgb(0, 120, 0))) << "the corner view, at the top";
    EXPECT_EQ(Hex(At(f, 790, 590)), Hex(Rgb(0, 0, 96))) << "no corner view at the bottom";
    EXPECT_EQ(Hex(At(f, 595, 10)), Hex(Rgb(0, 0, 96))) << "left of the corner view";

    FreeEntity(whole);
    FreeEntity(corner);
    FreeEntity(cube);
    Begin2D(); // the process rests in the 2D state, as the other GL tests expect
}

} // namespace
