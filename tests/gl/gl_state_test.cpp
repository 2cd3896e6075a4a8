// The GL state record (platform/gl_state.h): what reaches GL through it, what its check reports,
// and the framebuffer copies that go through it.
#include "gl_fixture.h"

#include <string>
#include <string_view>

namespace {
using namespace gltest;

class GLStateTest : public GLTest {
  protected:
    void TearDown() override {
        testseam::SetExitHook(nullptr);
        InvalidateGLState();
    }
};

// A draw costs GL only what differs from the draw before it: a hundred draws of one image bind
// its texture once and, after the first, set nothing at all; images drawn in turn bind each
// time.
TEST_F(GLStateTest, ManyDrawsOfOneImageBindItsTextureOnce) {
    ImageRef one = LoadImage(SolidPixmap(4, 4, Rgb(255, 0, 0)), 0);
    ImageRef other = LoadImage(SolidPixmap(4, 4, Rgb(0, 0, 255)), 0);
    InvalidateGLState(); // nothing known: the first draw sets everything
    testseam::ClearGLCallCounts();
    DrawImage(one, 0, 0, 0);
    const glstate::CallCounts first = testseam::GLCallsReached();
    EXPECT_EQ(first.textureBinds, 1);
    EXPECT_GT(first.capabilities, 0);
    for (int i = 1; i < 100; ++i) DrawImage(one, float(i % 40) * 5, 20, 0);
    const glstate::CallCounts hundred = testseam::GLCallsReached();
    EXPECT_EQ(hundred.textureBinds, 1);
    EXPECT_EQ(hundred.total, first.total) << "draws after the first set nothing";

    testseam::ClearGLCallCounts();
    for (int i = 0; i < 100; ++i) DrawImage(i % 2 ? one : other, float(i % 40) * 5, 40, 0);
    EXPECT_EQ(testseam::GLCallsReached().textureBinds, 100);
    EXPECT_EQ(testseam::GLCallsReached().total, 100) << "nothing but the binds";
    const auto f = testseam::CaptureFrame();
    EXPECT_EQ(At(f, 0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(At(f, 195, 40), Rgb(255, 0, 0));
    EXPECT_EQ(At(f, 190, 40), Rgb(0, 0, 255));
}

// The check names what differs the way GL's headers write it.
TEST_F(GLStateTest, TheCheckNamesADifferingValueInHexadecimal) {
    struct Fatal {
        std::string message;
    };
    SetBlend(SOLIDBLEND);
    DrawRect(0, 0, 1, 1); // the record knows blending is off
    glEnable(GL_BLEND);   // behind its back
    testseam::SetExitHook([](int, std::string_view message) { throw Fatal{std::string(message)}; });
    try {
        DrawRect(0, 0, 1, 1);
        ADD_FAILURE() << "the check passed";
    } catch (const Fatal& e) {
        EXPECT_EQ(e.message, "GL state record differs from GL: capability 0x0BE2");
    }
    glDisable(GL_BLEND);
}

// Copies between the back buffer and other buffers (a frame capture here, Flip's frame copies
// alike) put back the bindings, buffers and scissor test they change, through the record: a
// second copy reaches GL only to switch the scissor test off and on again.
TEST_F(GLStateTest, FramebufferCopiesPutBackWhatTheyChangeThroughTheRecord) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    InvalidateGLState();
    testseam::CaptureFrame();
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    testseam::ClearGLCallCounts();
    const auto f = testseam::CaptureFrame();
    EXPECT_EQ(f.width, kWidth) << "the whole frame, scissor box or not";
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(testseam::GLCallsReached().framebuffers, 0);
    EXPECT_EQ(testseam::GLCallsReached().capabilities, 2);
    EXPECT_EQ(testseam::GLCallsReached().total, 2);
    DrawRect(0, 0, 1, 1); // the record's check passes; the draw switches the scissor test off
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

} // namespace
