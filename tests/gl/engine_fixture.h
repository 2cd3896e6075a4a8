// Shared set-up of the tests that use the engine's 3D display.
//
// The engine opens the display once per test process with Graphics3D (which reopens the one the
// 2D tests may have opened: the size and buffers are the same). Between tests the GL state is
// the 2D layer's (after Begin2D), so the 2D tests that run afterwards in the same process find
// what they expect; EngineTest enters the engine's state for each test and leaves it after.
#pragma once

#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/light.h"
#include "gl_fixture.h"

#include <string>

namespace gltest {

// Draws a fixed 2D picture (an image scaled, turned and blended, a rectangle and a line) over
// a cleared frame with the 2D layer alone.
inline void DrawReference2D() {
    ResetDrawing(20, 40, 60);
    ImageRef img = LoadImage(
        PixmapOf({{Rgb(255, 0, 0), Rgb(0, 255, 0)}, {Rgb(0, 0, 255), 0x80ffffffu}}), FILTEREDIMAGE);
    SetBlend(ALPHABLEND);
    SetAlpha(0.75f);
    SetRotation(30);
    SetScale(20, 15);
    DrawImage(img, 200, 150, 0);
    SetRotation(0);
    SetScale(1, 1);
    SetBlend(SOLIDBLEND);
    SetColor(250, 200, 0);
    DrawRect(500, 400, 60, 30);
    SetColor(0, 255, 255);
    DrawLine(10, 590, 790, 300);
}

// What the one start of the engine left for the tests to look at.
struct EngineStart {
    testseam::FrameCapture reference2D; // DrawReference2D on the 2D layer before Graphics3D
    GLenum errorAfterGraphics3D = GL_NO_ERROR;
};

// Opens the engine's display once: InitEngineModule, then Graphics3D(800, 600, 32, 2, 60) (mode 2:
// a window, the depth passed on as 0), then Begin2D, so the process rests in the 2D state.
inline const EngineStart& EnsureEngine() {
    static const EngineStart start = [] {
        EngineStart s;
        EnsureDisplay();
        DrawReference2D();
        s.reference2D = testseam::CaptureFrame();
        while (glGetError() != GL_NO_ERROR) {
        }
        InitEngineModule();
        TGlobal::Graphics3D(kWidth, kHeight, 32, 2, 60);
        s.errorAfterGraphics3D = glGetError();
        TGlobal::Begin2D();
        return s;
    }();
    testseam::SetUnpacedFlip(true);
    return start;
}

// The first GL error raised since the last call, as a readable string ("" for none); drains the
// error flags.
inline std::string GLErrors() {
    std::string out;
    for (GLenum e; (e = glGetError()) != GL_NO_ERROR;) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%04X ", e);
        out += buf;
    }
    return out;
}

// Each test starts in the engine's 3D state and ends back in the 2D layer's.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureEngine();
        GLErrors();
        TGlobal::End2D();
    }
    void TearDown() override {
        if (TGlobal::StateSaved()) TGlobal::Begin2D();
        EXPECT_EQ(GLErrors(), "");
    }
};

// EngineTest with an empty scene: the engine reset before and after each test, every GL light
// off before and after.
class EngineSceneTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ResetEngine();
        for (GLenum id = GL_LIGHT0; id <= GL_LIGHT7; ++id) glDisable(id);
        InvalidateGLState();
    }
    void TearDown() override {
        for (GLenum id = GL_LIGHT0; id <= GL_LIGHT7; ++id) glDisable(id);
        InvalidateGLState();
        ResetEngine();
        EngineTest::TearDown();
    }
};

} // namespace gltest
