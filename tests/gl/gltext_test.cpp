// GL text: the built-in font drawn straight through OpenGL.
#include "gl_fixture.h"

#include "platform/gltext.h"
#include "platform/internal.h"

#include <set>
#include <string>
#include <vector>

namespace {
using namespace gltest;
using testseam::CaptureFrame;

class GLTextTest : public GLTest {};

std::string printableAscii() {
    std::string s;
    for (int c = 32; c <= 126; ++c) s += char(c);
    return s;
}

// Expects the cells of the text at (x, y) to show exactly the glyphs' ink in the colour over the
// background, and the ring of pixels around the text box to be untouched background.
void expectText(const testseam::FrameCapture& f, const std::string& text, int x, int y,
                std::uint32_t ink, std::uint32_t background) {
    int wrong = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        for (int py = 0; py < kGLTextCellHeight; ++py)
            for (int px = 0; px < kGLTextCellWidth; ++px) {
                const int sx = x + int(i) * kGLTextCellWidth + px, sy = y + py;
                const std::uint32_t want = GLTextGlyphInk(text[i], px, py) ? ink : background;
                if (At(f, sx, sy) != want && wrong++ < 5)
                    ADD_FAILURE() << "'" << text[i] << "' pixel (" << px << ", " << py << ") is "
                                  << Hex(At(f, sx, sy)) << ", expected " << Hex(want);
            }
    const int w = int(text.size()) * kGLTextCellWidth;
    for (int sx = x - 1; sx <= x + w; ++sx) {
        EXPECT_EQ(At(f, sx, y - 1), background) << sx;
        EXPECT_EQ(At(f, sx, y + kGLTextCellHeight), background) << sx;
    }
    for (int sy = y; sy < y + kGLTextCellHeight; ++sy) {
        EXPECT_EQ(At(f, x - 1, sy), background) << sy;
        EXPECT_EQ(At(f, x + w, sy), background) << sy;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(GLTextTest, EveryGlyphHasInkOfItsOwnExceptSpace) {
    std::set<std::vector<bool>> shapes;
    for (char c : printableAscii()) {
        std::vector<bool> bits;
        int ink = 0;
        for (int py = 0; py < kGLTextCellHeight; ++py)
            for (int px = 0; px < kGLTextCellWidth; ++px) {
                bits.push_back(GLTextGlyphInk(c, px, py));
                ink += bits.back();
            }
        if (c == ' ')
            EXPECT_EQ(ink, 0);
        else
            EXPECT_GE(ink, 2) << "'" << c << "'";
        EXPECT_TRUE(shapes.insert(bits).second) << "'" << c << "' repeats another glyph";
    }
    EXPECT_FALSE(GLTextGlyphInk('\n', 3, 8));
    EXPECT_FALSE(GLTextGlyphInk(char(200), 3, 8));
    EXPECT_FALSE(GLTextGlyphInk('A', 8, 0));
    EXPECT_FALSE(GLTextGlyphInk('A', 0, -1));
}

TEST_F(GLTextTest, DrawsExactlyTheGlyphsInkInTheColourOfSetColor) {
    ResetDrawing(20, 40, 60);
    const std::string all = printableAscii();
    SetColor(250, 200, 0);
    GLDrawText(all.substr(0, 48), 10, 100);
    GLDrawText(all.substr(48), 13, 201); // odd position
    const auto f = CaptureFrame();
    expectText(f, all.substr(0, 48), 10, 100, Rgb(250, 200, 0), Rgb(20, 40, 60));
    expectText(f, all.substr(48), 13, 201, Rgb(250, 200, 0), Rgb(20, 40, 60));
}

TEST_F(GLTextTest, BytesWithoutAGlyphLeaveTheirCellEmpty) {
    glColor3ub(255, 255, 255);
    GLDrawText(std::string("a\tb\xC3\xA9!"), 50, 50);
    const auto f = CaptureFrame();
    expectText(f, std::string("a b  !"), 50, 50, Rgb(255, 255, 255), Rgb(0, 0, 0));
}

// The engine draws text in its 3D state: a camera's viewport and projection, lighting, depth
// test, fog, scissor and texture layers on. The text still lands at window pixels, and what
// GLDrawText changed comes back.
TEST_F(GLTextTest, DrawsAtWindowPixelsInA3DStateAndRestoresIt) {
    glViewport(400, 0, 100, 100);
    glEnable(GL_SCISSOR_TEST);
    glScissor(400, 0, 100, 100);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_NEVER);
    glEnable(GL_FOG);
    glEnable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(70, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, -3);
    // As the engine's text command: texture unit 0, blending on, lighting off, white.
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_TEXTURE);

    GLfloat projection[16], modelview[16], projectionAfter[16], modelviewAfter[16];
    GLint viewport[4], viewportAfter[4], mode = 0, texture = 0, textureAfter = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLDrawText("Hello", 20, 30);
    glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
    glGetIntegerv(GL_VIEWPORT, viewportAfter);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &textureAfter);
    EXPECT_EQ(std::vector<GLfloat>(projection, projection + 16),
              std::vector<GLfloat>(projectionAfter, projectionAfter + 16));
    EXPECT_EQ(std::vector<GLfloat>(modelview, modelview + 16),
              std::vector<GLfloat>(modelviewAfter, modelviewAfter + 16));
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4),
              std::vector<GLint>(viewportAfter, viewportAfter + 4));
    EXPECT_EQ(mode, GL_TEXTURE);
    EXPECT_EQ(textureAfter, texture);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    glDisable(GL_SCISSOR_TEST);
    const auto f = CaptureFrame();
    expectText(f, "Hello", 20, 30, Rgb(255, 255, 255), Rgb(0, 0, 0));
    // Back to the 2D layer's own state for the tests after this one.
    glDisable(GL_TEXTURE_2D);
    Init2DState(kWidth, kHeight);
}
} // namespace
