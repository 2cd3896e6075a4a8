// The 2D image layer, read back pixel by pixel.
#include "gl_fixture.h"
#include "platform/gltext.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <future>
#include <tuple>

namespace {
using namespace gltest;
using testseam::CaptureFrame;

constexpr std::uint32_t kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255),
                        kWhite = Rgb(255, 255, 255), kBlack = Rgb(0, 0, 0),
                        kYellow = Rgb(255, 255, 0);

class Image2DTest : public GLTest {};

// One expected outcome per blend mode, for an opaque and a transparent source pixel over a
// known background, drawn at alpha 0.5.
struct BlendCase {
    int mode;
    std::uint32_t opaque;      // where the source pixel has alpha 255
    std::uint32_t transparent; // where it has alpha 0
};

TEST_F(Image2DTest, EachBlendModeCombinesSourceAndBackgroundAsItSays) {
    // Background (200, 100, 40); source (100, 200, 255).
    const BlendCase cases[] = {
        {MASKBLEND, Rgb(100, 200, 255), Rgb(200, 100, 40)},   // alpha test only
        {SOLIDBLEND, Rgb(100, 200, 255), Rgb(100, 200, 255)}, // alpha ignored
        {ALPHABLEND, Rgb(150, 150, 148), Rgb(200, 100, 40)},  // s*0.5 + d*0.5
        {LIGHTBLEND, Rgb(250, 200, 168), Rgb(200, 100, 40)},  // d + s*0.5
        {SHADEBLEND, Rgb(78, 78, 40), Rgb(78, 78, 40)},       // s*d, alpha ignored
    };
    ImageRef img = LoadImage(PixmapOf({{0xff64c8ffu, 0x0064c8ffu}}), 0);
    ASSERT_TRUE(img);
    for (const BlendCase& c : cases) {
        ResetDrawing(200, 100, 40);
        SetBlend(c.mode);
        SetAlpha(c.mode == MASKBLEND ? 1.0f : 0.5f);
        DrawImage(img, 10, 10, 0);
        const auto f = CaptureFrame();
        EXPECT_TRUE(Near(At(f, 10, 10), c.opaque, 1))
            << "mode " << c.mode << ": " << Hex(At(f, 10, 10)) << " vs " << Hex(c.opaque);
        EXPECT_TRUE(Near(At(f, 11, 10), c.transparent, 1))
            << "mode " << c.mode << ": " << Hex(At(f, 11, 10)) << " vs " << Hex(c.transparent);
        EXPECT_EQ(At(f, 12, 10), Rgb(200, 100, 40)) << "mode " << c.mode;
    }
}

TEST_F(Image2DTest, ColourAndAlphaTintImagesAndRectangles) {
    ImageRef img = LoadImage(SolidPixmap(2, 2, kWhite), 0);
    ResetDrawing(0, 0, 200);
    SetColor(255, 128, 0);
    DrawImage(img, 5, 5, 0);
    SetBlend(ALPHABLEND);
    SetAlpha(0.25f);
    SetColor(255, 255, 255);
    DrawRect(20, 20, 3, 2);
    SetAlpha(7.0f); // clamped to 1
    SetColor(300, -4, 64);
    DrawRect(30, 30, 1, 1);
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 5, 5, 2, 2, Rgb(255, 128, 0)));
    EXPECT_TRUE(RectIs(f, 20, 20, 3, 2, Rgb(64, 64, 214), 1));
    EXPECT_EQ(At(f, 23, 20), Rgb(0, 0, 200));
    EXPECT_EQ(At(f, 20, 22), Rgb(0, 0, 200));
    EXPECT_EQ(At(f, 30, 30), Rgb(255, 0, 64));
}

TEST_F(Image2DTest, MaskFlagMakesMaskColouredPixelsTransparent) {
    const PixmapRef pix = PixmapOf({{kBlack, kRed, Rgb(1, 0, 0)}});
    ImageRef masked = LoadImage(pix, MASKEDIMAGE);
    ImageRef plain = LoadImage(pix, 0);
    SetMaskColor(255, 0, 0);
    ImageRef maskedRed = LoadImage(pix, MASKEDIMAGE);
    ResetDrawing(0, 0, 255);
    SetBlend(MASKBLEND);
    DrawImage(masked, 10, 10, 0);
    DrawImage(plain, 10, 20, 0);
    DrawImage(maskedRed, 10, 30, 0);
    const auto f = CaptureFrame();
    EXPECT_EQ(At(f, 10, 10), kBlue); // black masked away
    EXPECT_EQ(At(f, 11, 10), kRed);
    EXPECT_EQ(At(f, 12, 10), Rgb(1, 0, 0)); // only the exact colour
    EXPECT_EQ(At(f, 10, 20), kBlack);
    EXPECT_EQ(At(f, 10, 30), kBlack);
    EXPECT_EQ(At(f, 11, 30), kBlue); // red masked away
}

// A 4x2 image: red at its top-left pixel, green at its top-right, the rest white.
PixmapRef cornerPixmap() {
    return PixmapOf({{kRed, kWhite, kWhite, kGreen}, {kWhite, kWhite, kWhite, kWhite}});
}

TEST_F(Image2DTest, HandleLandsOnTheDrawPosition) {
    ImageRef img = LoadImage(cornerPixmap(), 0);
    SetImageHandle(img, 3, 1);
    DrawImage(img, 100.0f, 50.0f, 0);
    MidHandleImage(img);
    EXPECT_EQ(img->handle_x, 2.0f);
    EXPECT_EQ(img->handle_y, 1.0f);
    DrawImage(img, 200.0f, 50.0f, 0);
    const auto f = CaptureFrame();
    EXPECT_EQ(At(f, 97, 49), kRed);
    EXPECT_EQ(At(f, 100, 49), kGreen);
    EXPECT_TRUE(RectIs(f, 97, 50, 4, 1, kWhite));
    EXPECT_EQ(At(f, 96, 49), kBlack);
    EXPECT_EQ(At(f, 101, 49), kBlack);
    EXPECT_EQ(At(f, 198, 49), kRed);
    EXPECT_EQ(At(f, 201, 49), kGreen);
}

TEST_F(Image2DTest, RotationTurnsClockwiseAboutTheHandle) {
    ImageRef img = LoadImage(cornerPixmap(), 0);
    SetRotation(90);
    DrawImage(img, 100, 100, 0);
    SetImageHandle(img, 4, 2);
    SetRotation(180);
    DrawImage(img, 300, 100, 0);
    const auto f = CaptureFrame();
    // 90 degrees: the image's x axis points down the screen, its y axis to the left.
    EXPECT_EQ(At(f, 99, 100), kRed);
    EXPECT_EQ(At(f, 99, 103), kGreen);
    EXPECT_TRUE(RectIs(f, 98, 100, 1, 4, kWhite));
    EXPECT_EQ(At(f, 100, 100), kBlack);
    EXPECT_EQ(At(f, 99, 104), kBlack);
    // 180 degrees about the bottom-right corner: the image lies right and below (300, 100).
    EXPECT_EQ(At(f, 303, 101), kRed);
    EXPECT_EQ(At(f, 300, 101), kGreen);
    EXPECT_TRUE(RectIs(f, 300, 100, 4, 1, kWhite));
}

TEST_F(Image2DTest, ScaleEnlargesWithSharpTexelsAndMirrorsWhenNegative) {
    ImageRef img = LoadImage(PixmapOf({{kRed, kGreen}, {kBlue, kYellow}}), 0);
    SetScale(2, 2);
    DrawImage(img, 10, 10, 0);
    SetScale(3, -1); // mirrored top to bottom: extends upward from y
    DrawImage(img, 50, 20, 0);
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 10, 10, 2, 2, kRed));
    EXPECT_TRUE(RectIs(f, 12, 10, 2, 2, kGreen));
    EXPECT_TRUE(RectIs(f, 10, 12, 2, 2, kBlue));
    EXPECT_TRUE(RectIs(f, 12, 12, 2, 2, kYellow));
    EXPECT_EQ(At(f, 14, 10), kBlack);
    EXPECT_EQ(At(f, 10, 14), kBlack);
    EXPECT_TRUE(RectIs(f, 50, 19, 3, 1, kRed));
    EXPECT_TRUE(RectIs(f, 53, 19, 3, 1, kGreen));
    EXPECT_TRUE(RectIs(f, 50, 18, 3, 1, kBlue));
    EXPECT_EQ(At(f, 50, 20), kBlack);
}

TEST_F(Image2DTest, FilteredImagesBlendNeighbouringTexels) {
    ImageRef img = LoadImage(PixmapOf({{kBlack, kWhite}}), FILTEREDIMAGE);
    SetScale(8, 1);
    DrawImage(img, 10, 10, 0);
    const auto f = CaptureFrame();
    EXPECT_EQ(At(f, 10, 10), kBlack);
    EXPECT_EQ(At(f, 25, 10), kWhite);
    const int mid = int(At(f, 18, 10) & 255);
    EXPECT_GT(mid, 40);
    EXPECT_LT(mid, 215);
}

TEST_F(Image2DTest, DrawImageRectStretchesTheFrameOverTheRectangle) {
    ImageRef img = LoadImage(PixmapOf({{kRed, kGreen}, {kBlue, kYellow}}), 0);
    DrawImageRect(img, 20, 30, 8, 4, 0);
    SetImageHandle(img, 1, 1); // the handle is stretched along: the centre lands on (x, y)
    DrawImageRect(img, 100, 100, 6, 6, 0);
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 20, 30, 4, 2, kRed));
    EXPECT_TRUE(RectIs(f, 24, 30, 4, 2, kGreen));
    EXPECT_TRUE(RectIs(f, 20, 32, 4, 2, kBlue));
    EXPECT_TRUE(RectIs(f, 24, 32, 4, 2, kYellow));
    EXPECT_EQ(At(f, 28, 30), kBlack);
    EXPECT_EQ(At(f, 20, 34), kBlack);
    EXPECT_TRUE(RectIs(f, 97, 97, 3, 3, kRed));
    EXPECT_TRUE(RectIs(f, 100, 100, 3, 3, kYellow));
}

TEST_F(Image2DTest, DrawRectIsScaledAndRotatedAboutItsTopLeftCorner) {
    SetColor(10, 20, 30);
    SetScale(4, 4);
    DrawRect(40, 40, 1, 1);
    SetScale(1, 1);
    SetRotation(90);
    DrawRect(100, 40, 5, 2); // turns into a 2 x 5 rectangle left of x = 100
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 40, 40, 4, 4, Rgb(10, 20, 30)));
    EXPECT_EQ(At(f, 44, 40), kBlack);
    EXPECT_EQ(At(f, 40, 44), kBlack);
    EXPECT_TRUE(RectIs(f, 98, 40, 2, 5, Rgb(10, 20, 30)));
    EXPECT_EQ(At(f, 100, 40), kBlack);
    EXPECT_EQ(At(f, 98, 45), kBlack);
}

TEST_F(Image2DTest, AnimImageCutsCellsRowByRowFromTheFirstCell) {
    // A grid of 3 x 2 cells of 2 x 2 pixels, cell i coloured (i * 40, 255 - i * 40, 7).
    PixmapRef sheet = CreatePixmap(6, 4, PF_RGBA8888);
    for (int cell = 0; cell < 6; ++cell)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                sheet->WritePixel(cell % 3 * 2 + x, cell / 3 * 2 + y,
                                  Rgb(cell * 40, 255 - cell * 40, 7));
    ImageRef anim = LoadAnimImage(sheet, 2, 2, 1, 4, 0);
    ASSERT_TRUE(anim);
    EXPECT_EQ(ImageFrames(anim), 4);
    EXPECT_EQ(ImageWidth(anim), 2);
    EXPECT_EQ(ImageHeight(anim), 2);
    SetScale(3, 3);
    for (int frame = 0; frame < 4; ++frame) DrawImage(anim, 10 + frame * 10, 10, frame);
    DrawImage(anim, 60, 10, 4);  // out of range: nothing
    DrawImage(anim, 60, 10, -1); // nothing
    const auto f = CaptureFrame();
    for (int frame = 0; frame < 4; ++frame) {
        const int cell = frame + 1;
        EXPECT_TRUE(RectIs(f, 10 + frame * 10, 10, 6, 6, Rgb(cell * 40, 255 - cell * 40, 7)))
            << "frame " << frame;
    }
    EXPECT_TRUE(RectIs(f, 60, 10, 6, 6, kBlack));

    EXPECT_FALSE(LoadAnimImage(sheet, 2, 2, 3, 4, 0)); // only 6 cells
    EXPECT_FALSE(LoadAnimImage(sheet, 0, 2, 0, 1, 0));
    EXPECT_FALSE(LoadAnimImage(sheet, 2, 2, -1, 1, 0));
    EXPECT_FALSE(LoadAnimImage(sheet, 2, 2, 0, 0, 0));
    EXPECT_FALSE(LoadAnimImage(sheet, 7, 2, 0, 1, 0)); // wider than the image
    EXPECT_FALSE(LoadAnimImage(PixmapRef(), 2, 2, 0, 1, 0));
}

// The credits scroller's case: thousands of one-pixel-wide cells, drawn widened.
TEST_F(Image2DTest, OnePixelWideStripFramesDrawExactlyTheirColumn) {
    constexpr int kCells = 3600;
    PixmapRef strip = CreatePixmap(kCells, 36, PF_RGBA8888);
    auto colourOf = [](int cell, int y) { return Rgb(cell & 255, cell >> 4 & 255, y * 7); };
    for (int x = 0; x < kCells; ++x)
        for (int y = 0; y < 36; ++y) strip->WritePixel(x, y, colourOf(x, y));
    ImageRef anim = LoadAnimImage(strip, 1, 36, 0, kCells, MASKEDIMAGE);
    ASSERT_TRUE(anim);
    EXPECT_EQ(ImageFrames(anim), kCells);
    EXPECT_LE(anim->textures.size(), 2u); // packed into shared textures, not one per frame
    SetImageHandle(anim, 0, 23);
    SetScale(4, 8);
    const int frames[] = {1, 2, 255, 1234, 2599, 3599};
    for (int i = 0; i < 6; ++i) DrawImage(anim, 100 + i * 10, 300, frames[i]);
    const auto f = CaptureFrame();
    for (int i = 0; i < 6; ++i)
        for (int y = 0; y < 36; ++y)
            EXPECT_TRUE(RectIs(f, 100 + i * 10, 300 - 184 + y * 8, 4, 8, colourOf(frames[i], y)))
                << "frame " << frames[i] << " row " << y;
    EXPECT_EQ(At(f, 104, 200), kBlack);
    EXPECT_EQ(At(f, 99, 200), kBlack);
}

TEST_F(Image2DTest, FramesSpreadOverSeveralTexturesKeepTheirOrder) {
    // Cells too large for two to share a texture; each a colour of its own.
    constexpr int kCell = 2049;
    const std::uint32_t colours[] = {kRed, kGreen, kBlue};
    PixmapRef sheet = CreatePixmap(kCell, kCell * 3, PF_RGBA8888);
    for (int y = 0; y < sheet->height; ++y) {
        const std::uint32_t c = colours[y / kCell];
        const std::uint8_t rgba[4] = {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c),
                                      255};
        for (int x = 0; x < kCell; ++x) std::memcpy(sheet->PixelPtr(x, y), rgba, 4);
    }
    ImageRef anim = LoadAnimImage(sheet, kCell, kCell, 0, 3, 0);
    ASSERT_TRUE(anim);
    EXPECT_EQ(anim->textures.size(), 3u);
    SetScale(4.0f / kCell, 4.0f / kCell);
    for (int frame = 0; frame < 3; ++frame) DrawImage(anim, 10 + frame * 10, 10, frame);
    // Mipmapped frames each get a texture of their own, so smaller mip levels stay clean.
    PixmapRef small = PixmapOf({{kRed, kGreen, kBlue}});
    ImageRef mipmapped = LoadAnimImage(small, 1, 1, 0, 3, MIPMAPPEDIMAGE);
    ASSERT_TRUE(mipmapped);
    EXPECT_EQ(mipmapped->textures.size(), 3u);
    SetScale(4, 4);
    for (int frame = 0; frame < 3; ++frame) DrawImage(mipmapped, 50 + frame * 10, 10, frame);
    const auto f = CaptureFrame();
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_TRUE(RectIs(f, 10 + frame * 10, 10, 4, 4, colours[frame])) << frame;
        EXPECT_TRUE(RectIs(f, 50 + frame * 10, 10, 4, 4, colours[frame])) << frame;
    }
}

TEST_F(Image2DTest, MipmappedImagesAverageWhenDrawnSmaller) {
    PixmapRef checker = CreatePixmap(64, 64, PF_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) checker->WritePixel(x, y, (x + y) % 2 ? kWhite : kBlack);
    ImageRef img = LoadImage(checker, FILTEREDIMAGE | MIPMAPPEDIMAGE);
    ASSERT_TRUE(img);
    SetScale(0.125f, 0.125f);
    DrawImage(img, 10, 10, 0);
    const auto f = CaptureFrame();
    for (int y = 10; y < 18; ++y)
        for (int x = 10; x < 18; ++x) EXPECT_TRUE(Near(At(f, x, y), Rgb(128, 128, 128), 8));
}

TEST_F(Image2DTest, FilteredAnimFramesDoNotBleedIntoTheirNeighbours) {
    // Two 2x2 cells side by side, red and green, drawn magnified with linear filtering.
    PixmapRef sheet = PixmapOf({{kRed, kRed, kGreen, kGreen}, {kRed, kRed, kGreen, kGreen}});
    ImageRef anim = LoadAnimImage(sheet, 2, 2, 0, 2, FILTEREDIMAGE);
    ASSERT_TRUE(anim);
    SetScale(10, 10);
    DrawImage(anim, 10, 10, 0);
    DrawImage(anim, 40, 10, 1);
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 10, 10, 20, 20, kRed));
    EXPECT_TRUE(RectIs(f, 40, 10, 20, 20, kGreen));
}

TEST_F(Image2DTest, ImagesFromFilesAndBadInput) {
    const auto dir = std::filesystem::temp_directory_path() / "image2d_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "two.png").string();
    ASSERT_TRUE(SavePixmapPNG(PixmapOf({{kRed, kGreen, kBlue, kYellow}}), path));
    ImageRef img = LoadImage(path, 0);
    ImageRef anim = LoadAnimImage(path, 1, 1, 2, 2, 0);
    ASSERT_TRUE(img);
    ASSERT_TRUE(anim);
    EXPECT_EQ(ImageWidth(img), 4);
    DrawImage(img, 10, 10, 0);
    DrawImage(anim, 10, 20, 1);
    const auto f = CaptureFrame();
    EXPECT_EQ(At(f, 12, 10), kBlue);
    EXPECT_EQ(At(f, 10, 20), kYellow);

    EXPECT_FALSE(LoadImage((dir / "missing.png").string(), 0));
    EXPECT_FALSE(LoadAnimImage((dir / "missing.png").string(), 1, 1, 0, 1, 0));
    EXPECT_FALSE(LoadImage(PixmapRef(), 0));
    ImageRef none;
    DrawImage(none, 1, 1, 0);
    DrawImageRect(none, 1, 1, 4, 4, 0);
    SetImageHandle(none, 1, 1);
    MidHandleImage(none);
    EXPECT_EQ(ImageWidth(none), 0);
    EXPECT_EQ(ImageFrames(none), 0);
    std::filesystem::remove_all(dir);
}

// What a 3D renderer may leave behind between two 2D draws.
void leaveThreeDState() {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_NEVER);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT_AND_BACK);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_NEVER, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    static GLuint other = 0;
    if (!other) glGenTextures(1, &other);
    const std::uint8_t black[4] = {0, 0, 0, 0};
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, other);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
    glMatrixMode(GL_TEXTURE);
    glScalef(5, 5, 1);
    glMatrixMode(GL_MODELVIEW);
}

// The layer remembers what it set: a caller that changes GL state itself tells it so with
// InvalidateGLState, and the next draws are right whatever the caller left. The first draws make
// the layer's remembered state the one the later draws need, so that only the forgetting makes
// them set it again.
TEST_F(Image2DTest, DrawsAreRightWhateverStateARawGLCallerLeftOnOnceItForgetsTheDrawState) {
    ImageRef img = LoadImage(PixmapOf({{kRed, kGreen}, {kBlue, kYellow}}), 0);
    SetColor(255, 255, 255);
    DrawImage(img, 10, 30, 0);
    InvalidateGLState();
    leaveThreeDState();
    InvalidateGLState();
    DrawImage(img, 10, 10, 0);
    SetColor(0, 128, 255);
    DrawRect(20, 30, 2, 2);
    InvalidateGLState();
    leaveThreeDState();
    InvalidateGLState();
    DrawRect(20, 10, 2, 2);
    const auto f = CaptureFrame();
    for (int y : {10, 30}) {
        EXPECT_EQ(At(f, 10, y), kRed) << y;
        EXPECT_EQ(At(f, 11, y), kGreen) << y;
        EXPECT_EQ(At(f, 10, y + 1), kBlue) << y;
        EXPECT_EQ(At(f, 11, y + 1), kYellow) << y;
        EXPECT_TRUE(RectIs(f, 20, y, 2, 2, Rgb(0, 128, 255))) << y;
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

// The engine's hand-over: the 2D state is pushed whole, the 3D renderer sets its own projection,
// model-view and viewport, and the pop gives the 2D layer its state back.
TEST_F(Image2DTest, DrawsAreRightAfterTheAttributeAndMatrixStacksRestoreThe2DState) {
    ImageRef img = LoadImage(SolidPixmap(3, 3, kGreen), 0);
    const GLenum modes[] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    for (GLenum m : modes) {
        glMatrixMode(m);
        glPushMatrix();
    }
    glViewport(100, 100, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 1.33, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    leaveThreeDState();
    glPopClientAttrib();
    glPopAttrib();
    for (GLenum m : modes) {
        glMatrixMode(m);
        glPopMatrix();
    }
    InvalidateGLState(); // as the hand-over does after its pops
    DrawImage(img, 700, 500, 0);
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 700, 500, 3, 3, kGreen));
    EXPECT_EQ(At(f, 703, 500), kBlack);
}

TEST_F(Image2DTest, ClsClearsTheWholeWindowToTheClsColour) {
    SetColor(255, 255, 255);
    DrawRect(0, 0, 800, 600);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 10, 10);
    SetClsColor(12, 34, 56);
    Cls();
    glDisable(GL_SCISSOR_TEST);
    const auto f = CaptureFrame();
    EXPECT_EQ(At(f, 0, 0), Rgb(12, 34, 56));
    EXPECT_EQ(At(f, 799, 599), Rgb(12, 34, 56));
    EXPECT_EQ(At(f, 400, 300), Rgb(12, 34, 56));
}

TEST_F(Image2DTest, StateSettersClampAndIgnoreBadValues) {
    SetBlend(ALPHABLEND);
    SetBlend(0);
    SetBlend(6);
    EXPECT_EQ(GetBlend(), ALPHABLEND);
    SetAlpha(-1);
    EXPECT_EQ(GetAlpha(), 0.0f);
    SetAlpha(std::nanf(""));
    EXPECT_EQ(GetAlpha(), 0.0f);
    SetAlpha(2);
    EXPECT_EQ(GetAlpha(), 1.0f);
    int r = 0, g = 0, b = 0;
    SetColor(-1, 128, 999);
    GetColor(r, g, b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 255);
}
// An image mostly fully transparent: a background of transparent texels (coloured, so that a
// tile drawn where it need not be would show under SHADEBLEND) with a diagonal band and an
// isolated texel on a tile's edge, so that some tiles are visible only through their neighbours.
PixmapRef sparsePixmap() {
    PixmapRef p = CreatePixmap(320, 256, PF_RGBA8888);
    for (int y = 0; y < p->height; ++y)
        for (int x = 0; x < p->width; ++x) {
            const bool band = std::abs(x - y) < 6;
            const std::uint32_t rgb = std::uint32_t(x * 0.75) << 16 | std::uint32_t(y) << 8 | 90;
            p->WritePixel(x, y, (band ? 0xff000000u : 0x00000000u) | rgb);
        }
    p->WritePixel(127, 20, 0xc0ffffffu); // the last texel column of a tile
    return p;
}

TEST_F(Image2DTest, ImagesWithTransparentTilesDrawTheSameAsWhole) {
    struct Case {
        int flags, blend;
        float scaleX, scaleY, rotation, x, y;
    };
    const Case cases[] = {
        {0, ALPHABLEND, 1, 1, 0, 100, 50},
        {0, MASKBLEND, 2, 2, 0, 90, 40},
        {0, LIGHTBLEND, -1, 1, 0, 400, 60},
        {0, SHADEBLEND, 1, 1, 0, 100, 50},
        {0, SOLIDBLEND, 1, 1, 0, 100, 50},
        {FILTEREDIMAGE, ALPHABLEND, 1.5f, 1.25f, 0, 100.25f, 50.5f},
        {FILTEREDIMAGE, ALPHABLEND, 0.6f, 0.6f, 0, 100, 50},
        {FILTEREDIMAGE | MIPMAPPEDIMAGE, ALPHABLEND, 0.3f, 0.4f, 0, 100, 50},
        {FILTEREDIMAGE | MIPMAPPEDIMAGE, ALPHABLEND, 0.1f, 0.1f, 0, 100, 50},
        {FILTEREDIMAGE | MIPMAPPEDIMAGE, LIGHTBLEND, 1, 1, 0, 100, 50},
    };
    for (const Case& c : cases) {
        ImageRef img = LoadImage(sparsePixmap(), c.flags);
        ASSERT_TRUE(img);
        ASSERT_TRUE(img->frames[0].sparse);
        testseam::FrameCapture frames[2];
        for (int whole = 0; whole < 2; ++whole) {
            // The second time drawn whole, as a frame without fully transparent tiles is.
            img->frames[0].sparse = whole == 0;
            ResetDrawing(200, 100, 40);
            SetBlend(c.blend);
            SetAlpha(0.8f);
            SetColor(255, 230, 200);
            SetScale(c.scaleX, c.scaleY);
            SetRotation(c.rotation);
            DrawImage(img, c.x, c.y, 0);
            frames[whole] = CaptureFrame();
        }
        EXPECT_TRUE(frames[0].rgba == frames[1].rgba)
            << "flags " << c.flags << " blend " << c.blend << " scale " << c.scaleX;
    }
}

TEST_F(Image2DTest, TransparentTilesAreFoundPerFrame) {
    // Two frames side by side: the first fully transparent, the second opaque.
    PixmapRef p = CreatePixmap(128, 64, PF_RGBA8888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) p->WritePixel(x, y, x < 64 ? 0x00ffffffu : kRed);
    ImageRef img = LoadAnimImage(p, 64, 64, 0, 2, 0);
    ASSERT_TRUE(img);
    EXPECT_TRUE(img->frames[0].sparse);
    EXPECT_TRUE(img->frames[0].visible.empty());
    EXPECT_FALSE(img->frames[1].sparse);
    ResetDrawing(0, 0, 255);
    SetBlend(ALPHABLEND);
    DrawImage(img, 0, 0, 0);
    DrawImage(img, 100, 0, 1);
    const auto f = CaptureFrame();
    EXPECT_EQ(At(f, 10, 10), kBlue);
    EXPECT_EQ(At(f, 110, 10), kRed);
    EXPECT_EQ(At(f, 163, 63), kRed);
}
// A picture of draws whose state changes between them in every way the layer tracks: colour,
// alpha, blend mode, texture (two images and two frames of one), scale and rotation, rectangles,
// lines, and overlaps, so that the order of the quads shows. With forgetBetweenDraws the GL
// state record is forgotten before each draw (as after a program's own GL calls), so that each
// draw sets the whole state it needs instead of only what differs from the draw before.
void drawMixedPicture(const ImageRef& img, const ImageRef& anim, bool forgetBetweenDraws) {
    const auto draw = [forgetBetweenDraws](const auto& call) {
        if (forgetBetweenDraws) InvalidateGLState();
        call();
    };
    ResetDrawing(30, 60, 90);
    SetScale(8, 8);
    SetBlend(ALPHABLEND);
    SetAlpha(0.5f);
    draw([&] { DrawImage(img, 10, 10, 0); });
    SetColor(255, 0, 0);
    draw([&] { DrawImage(img, 18, 14, 0); });
    SetAlpha(1);
    draw([&] { DrawImage(img, 14, 18, 0); });
    draw([&] { DrawImage(anim, 40, 10, 0); });
    SetColor(0, 255, 128);
    draw([&] { DrawImage(anim, 44, 12, 1); });
    SetBlend(LIGHTBLEND);
    draw([] { DrawRect(40, 14, 2, 2); });
    SetAlpha(0.3f);
    draw([] { DrawRect(42, 16, 2, 2); });
    SetBlend(SHADEBLEND);
    draw([&] { DrawImage(img, 60, 10, 0); });
    SetBlend(MASKBLEND);
    SetRotation(30);
    draw([&] { DrawImage(img, 90, 20, 0); });
    draw([&] { DrawImage(anim, 92, 22, 1); });
    SetRotation(0);
    SetScale(1, 1);
    SetColor(255, 255, 0);
    SetAlpha(1);
    draw([] { DrawLine(0, 20, 120, 20); });
    SetBlend(SOLIDBLEND);
    draw([] { DrawRect(100, 15, 10, 10); });
    SetColor(10, 20, 30);
    draw([] { DrawRect(104, 18, 2, 2); });
}

TEST_F(Image2DTest, DrawsSettingOnlyWhatChangedLookAsDrawsSettingTheWholeState) {
    ImageRef img = LoadImage(PixmapOf({{kRed, 0x80ffffffu}, {kBlue, 0x00ff00ffu}}), 0);
    ImageRef anim = LoadAnimImage(PixmapOf({{kGreen, kYellow}, {kWhite, 0x40102030u}}), 1, 2, 0, 2,
                                  FILTEREDIMAGE);
    ASSERT_TRUE(img && anim);
    testseam::FrameCapture frames[2];
    for (int way = 0; way < 2; ++way) {
        drawMixedPicture(img, anim, way == 1);
        frames[way] = CaptureFrame();
    }
    EXPECT_TRUE(frames[0].rgba == frames[1].rgba);
    const auto& f = frames[0];
    EXPECT_EQ(At(f, 15, 19), kRed); // the third image over the first two, opaque, red-tinted
    EXPECT_EQ(At(f, 104, 18), Rgb(10, 20, 30)); // the last rectangle over the one before
    EXPECT_EQ(At(f, 103, 18), Rgb(255, 255, 0));
    EXPECT_EQ(At(f, 60, 20), Rgb(255, 255, 0)); // the line over the images before it
    EXPECT_EQ(At(f, 200, 200), Rgb(30, 60, 90));
}

// Frame capture, Flip and Cls come after every draw made before them.
TEST_F(Image2DTest, ReadBacksFlipAndClsComeAfterTheDrawsBeforeThem) {
    ResetDrawing(0, 0, 0);
    SetColor(255, 0, 0);
    DrawRect(10, 10, 4, 4);
    EXPECT_EQ(At(CaptureFrame(), 10, 10), kRed);
    SetColor(0, 255, 0);
    DrawRect(20, 10, 4, 4);
    Flip(0);
    auto f = CaptureFrame();
    EXPECT_EQ(At(f, 10, 10), kRed);
    EXPECT_EQ(At(f, 20, 10), kGreen);
    DrawRect(30, 10, 4, 4);
    SetClsColor(0, 0, 255);
    Cls();
    f = CaptureFrame();
    EXPECT_EQ(At(f, 30, 10), kBlue);
    EXPECT_EQ(At(f, 10, 10), kBlue);
}

// An image freed after its draw, while the layer remembers its texture as bound, and a new image
// that gets its texture name (as the GL hands freed names out again): each draw shows its own
// image's texels.
TEST_F(Image2DTest, FreeingAnImageBetweenDrawsLeavesEachDrawItsOwnTexture) {
    ResetDrawing(0, 0, 0);
    SetScale(4, 4);
    ImageRef red = LoadImage(SolidPixmap(2, 2, kRed), 0);
    DrawImage(red, 10, 10, 0);
    red.reset();
    ImageRef green = LoadImage(SolidPixmap(2, 2, kGreen), 0);
    DrawImage(green, 20, 10, 0);
    ImageRef blue = LoadImage(SolidPixmap(2, 2, kBlue), 0);
    DrawImage(blue, 30, 10, 0);
    green.reset();
    blue.reset();
    const auto f = CaptureFrame();
    EXPECT_TRUE(RectIs(f, 10, 10, 8, 8, kRed));
    EXPECT_TRUE(RectIs(f, 20, 10, 8, 8, kGreen));
    EXPECT_TRUE(RectIs(f, 30, 10, 8, 8, kBlue));
}

// GL text between draws: it draws over the draws before it, under the draws after it, and these
// are right whatever state it left.
TEST_F(Image2DTest, GLTextBetweenDrawsKeepsTheirOrderAndState) {
    ResetDrawing(0, 0, 0);
    ImageRef img = LoadImage(SolidPixmap(2, 2, kWhite), 0);
    SetBlend(ALPHABLEND);
    SetColor(0, 0, 255);
    SetScale(20, 10);
    DrawImage(img, 10, 10, 0);
    SetColor(255, 255, 255);
    DrawRect(0, 0, 1, 1); // text ink takes the colour last drawn with
    GLDrawText("HH", 10, 10);
    SetColor(0, 255, 0);
    SetScale(4, 10);
    DrawImage(img, 10 + kGLTextCellWidth, 10, 0);
    const auto f = CaptureFrame();
    int ink = 0;
    for (int py = 0; py < kGLTextCellHeight; ++py)
        for (int px = 0; px < kGLTextCellWidth; ++px) {
            const bool on = GLTextGlyphInk('H', px, py);
            ink += on;
            EXPECT_EQ(At(f, 10 + px, 10 + py), on ? kWhite : kBlue) << px << ", " << py;
            EXPECT_EQ(At(f, 10 + kGLTextCellWidth + px, 10 + py), kGreen) << px << ", " << py;
        }
    EXPECT_GT(ink, 0);
}

// The texels of one level of an image's texture page.
std::vector<std::uint8_t> PageTexels(const TImage& image, std::size_t page, int level) {
    glBindTexture(GL_TEXTURE_2D, image.textures.at(page).id);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    std::vector<std::uint8_t> texels(std::size_t(w) * std::size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!texels.empty())
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

TEST_F(Image2DTest, AnImagePreparedOnAnotherThreadUploadsAsTheLoadMakesIt) {
    // Black and red pixels for the masks, and a fully transparent corner for the tiles.
    PixmapRef p = CreatePixmap(192, 96, PF_RGBA8888);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 192; ++x)
            p->WritePixel(x, y,
                          x < 64 && y < 64   ? 0x00000000u
                          : (x + y) % 7 == 0 ? kBlack
                          : (x * y) % 5 == 0 ? kRed
                                             : Rgb(x, y, 255 - x));
    const struct {
        const char* what;
        ImageCells cells;
        int flags;
        std::uint32_t mask; // 0xRRGGBB
    } cases[] = {
        {"whole, masked black", {}, MASKEDIMAGE | FILTEREDIMAGE, 0x000000},
        {"whole, masked red, mipmapped", {}, MASKEDIMAGE | MIPMAPPEDIMAGE, 0xff0000},
        {"strip with gutters", {64, 48, 1, 4}, FILTEREDIMAGE | MASKEDIMAGE, 0x000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageRef prepared =
            std::async(std::launch::async, PrepareImage, p, c.cells, c.flags, c.mask).get();
        ASSERT_TRUE(prepared);
        for (const TImage::Texture& t : prepared->textures) EXPECT_EQ(t.id, 0u);
        EXPECT_EQ(MaskColor(), 0u) << "the layer's mask colour is left alone";
        EXPECT_EQ(UploadImage(prepared), prepared);

        SetMaskColor(int(c.mask >> 16), int(c.mask >> 8 & 255), int(c.mask & 255));
        ImageRef loaded = c.cells.width == 0 ? LoadImage(p, c.flags)
                                             : LoadAnimImage(p, c.cells.width, c.cells.height,
                                                             c.cells.first, c.cells.count, c.flags);
        SetMaskColor(0, 0, 0);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(prepared->width, loaded->width);
        EXPECT_EQ(prepared->height, loaded->height);
        EXPECT_EQ(prepared->flags, loaded->flags);
        ASSERT_EQ(prepared->FrameCount(), loaded->FrameCount());
        for (int i = 0; i < loaded->FrameCount(); ++i) {
            const TImage::Frame &a = prepared->frames[std::size_t(i)],
                                &b = loaded->frames[std::size_t(i)];
            EXPECT_EQ(a.texture, b.texture);
            EXPECT_EQ(std::tie(a.u0, a.v0, a.u1, a.v1), std::tie(b.u0, b.v0, b.u1, b.v1));
            EXPECT_EQ(a.sparse, b.sparse);
            ASSERT_EQ(a.visible.size(), b.visible.size());
            for (std::size_t k = 0; k < a.visible.size(); ++k)
                EXPECT_EQ(
                    std::tie(a.visible[k].x0, a.visible[k].y0, a.visible[k].x1, a.visible[k].y1),
                    std::tie(b.visible[k].x0, b.visible[k].y0, b.visible[k].x1, b.visible[k].y1));
        }
        ASSERT_EQ(prepared->textures.size(), loaded->textures.size());
        for (std::size_t t = 0; t < loaded->textures.size(); ++t) {
            EXPECT_NE(prepared->textures[t].id, 0u);
            for (int level : {0, 1})
                EXPECT_EQ(PageTexels(*prepared, t, level), PageTexels(*loaded, t, level))
                    << "page " << t << " level " << level;
        }
    }
    // Null where the load gives null.
    EXPECT_FALSE(PrepareImage(nullptr, {}, 0, 0));
    EXPECT_FALSE(PrepareImage(p, {64, 48, 5, 4}, 0, 0)); // past the last whole cell
    EXPECT_FALSE(PrepareImage(p, {64, 0, 0, 1}, 0, 0));
    EXPECT_FALSE(UploadImage(nullptr));
}
} // namespace
