#include "platform/gltext.h"

#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"
#include "platform/internal.h"

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {
#include "platform/gltext_font.inc"

constexpr int kFirstChar = 32;
constexpr int kLastChar = 126;
constexpr int kGlyphCount = kLastChar - kFirstChar + 1;
constexpr int kGlyphsPerBand = 8;
constexpr int kSheetRows = (kGlyphCount + kGlyphsPerBand - 1) / kGlyphsPerBand * kGLTextCellHeight;
static_assert(sizeof(kGlyphSheet) / sizeof(kGlyphSheet[0]) == kSheetRows,
              "the glyph sheet has a band of 16 rows for every 8 glyphs");

// The font texture: glyphs in a grid of 16 x 6 cells, white, alpha 255 on ink and 0 elsewhere.
constexpr int kAtlasColumns = 16;
constexpr int kAtlasRows = (kGlyphCount + kAtlasColumns - 1) / kAtlasColumns;
constexpr int kAtlasWidth = kAtlasColumns * kGLTextCellWidth;
constexpr int kAtlasHeight = kAtlasRows * kGLTextCellHeight;

void drawText(std::string_view text, int x, int y, bool colourOf2D);

bool sheetInk(int glyph, int px, int py) {
    const char* row = kGlyphSheet[glyph / kGlyphsPerBand * kGLTextCellHeight + py];
    return row[(glyph % kGlyphsPerBand) * (kGLTextCellWidth + 1) + px] == '#';
}

struct FontTexture {
    GLuint id = 0;
    unsigned context = 0;
};

GLuint fontTexture() {
    static FontTexture font;
    const unsigned context = GraphicsContextId();
    if (font.id && font.context == context) return font.id;

    std::vector<std::uint8_t> rgba(std::size_t(kAtlasWidth) * kAtlasHeight * 4, 255);
    for (int glyph = 0; glyph < kGlyphCount; ++glyph) {
        const int ox = glyph % kAtlasColumns * kGLTextCellWidth;
        const int oy = glyph / kAtlasColumns * kGLTextCellHeight;
        for (int py = 0; py < kGLTextCellHeight; ++py)
            for (int px = 0; px < kGLTextCellWidth; ++px)
                rgba[(std::size_t(oy + py) * kAtlasWidth + ox + px) * 4 + 3] =
                    sheetInk(glyph, px, py) ? 255 : 0;
    }
    font.id = CreateTextureRGBA(rgba.data(), kAtlasWidth, kAtlasHeight, kAtlasWidth, false, false);
    font.context = context;
    return font.id;
}
} // namespace

bool GLTextGlyphInk(char c, int px, int py) {
    const int code = static_cast<unsigned char>(c);
    if (code < kFirstChar || code > kLastChar) return false;
    if (px < 0 || py < 0 || px >= kGLTextCellWidth || py >= kGLTextCellHeight) return false;
    return sheetInk(code - kFirstChar, px, py);
}

void GLDrawText(std::string_view text, int x, int y) {
    drawText(text, x, y, true);
}

void GLDrawTextInCurrentColour(std::string_view text, int x, int y) {
    drawText(text, x, y, false);
}

namespace {
void drawText(std::string_view text, int x, int y, bool colourOf2D) {
    if (!GraphicsContextId() || text.empty()) return;
    const GLuint font = fontTexture();
    const int width = GraphicsWidth();
    const int height = GraphicsHeight();

    // Everything set here directly is put back by the pops at the end, so the GL state record
    // stays right (nothing between goes through it).
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT | GL_VIEWPORT_BIT |
                 GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
    if (colourOf2D) {
        int r = 255, g = 255, b = 255;
        GetColor(r, g, b);
        glColor3ub(GLubyte(r), GLubyte(g), GLubyte(b));
    }
    const int units = glstate::Capabilities().textureUnits;
    for (int unit = units - 1; unit >= 1; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, width, height);

    for (GLenum cap : {GL_LIGHTING, GL_FOG, GL_DEPTH_TEST, GL_STENCIL_TEST, GL_SCISSOR_TEST,
                       GL_CULL_FACE, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                       GL_TEXTURE_GEN_Q, GL_TEXTURE_CUBE_MAP})
        glDisable(cap);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_ALPHA_TEST); // only ink reaches the frame, whatever the blending
    glAlphaFunc(GL_GREATER, 0.5f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    const float du = float(kGLTextCellWidth) / kAtlasWidth;
    const float dv = float(kGLTextCellHeight) / kAtlasHeight;
    glBegin(GL_QUADS);
    float cx = float(x);
    const float top = float(y), bottom = float(y + kGLTextCellHeight);
    for (const char c : text) {
        const int code = static_cast<unsigned char>(c);
        if (code > kFirstChar && code <= kLastChar) {
            const int glyph = code - kFirstChar;
            const float u = float(glyph % kAtlasColumns) * du;
            const float v = float(glyph / kAtlasColumns) * dv;
            const float right = cx + kGLTextCellWidth;
            glTexCoord2f(u, v);
            glVertex2f(cx, top);
            glTexCoord2f(u + du, v);
            glVertex2f(right, top);
            glTexCoord2f(u + du, v + dv);
            glVertex2f(right, bottom);
            glTexCoord2f(u, v + dv);
            glVertex2f(cx, bottom);
        }
        cx += kGLTextCellWidth;
    }
    glEnd();

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopAttrib();
}
} // namespace
