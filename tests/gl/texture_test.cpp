// Textures on the engine's display: uploads read back from GL, frames, cube maps, sharing,
// filters, buffer copies and the release of GL textures.
#include "engine/commands.h"
#include "engine/texture.h"
#include "engine/texture_filter.h"
#include "engine_fixture.h"
#include "platform/internal.h"
#include "platform/stream.h"

#include "../unit/temp_dir.h"

#include <cstring>
#include <string>
#include <thread>
#include <tuple>

namespace {
using namespace gltest;

// The RGBA bytes of one level of a texture target, as 0xAARRGGBB per pixel, top row of the
// image (GL's row 0) first.
struct Level {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
    std::uint32_t at(int x, int y) const { return argb[std::size_t(y * width + x)]; }
    bool all(std::uint32_t c) const {
        for (std::uint32_t p : argb)
            if (p != c) return false;
        return !argb.empty();
    }
};

Level ReadLevel(GLenum target, int level) {
    Level out;
    glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &out.width);
    glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, &out.height);
    std::vector<std::uint8_t> rgba(std::size_t(out.width * out.height * 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (!rgba.empty()) glGetTexImage(target, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
        out.argb.push_back(std::uint32_t(rgba[i + 3]) << 24 | std::uint32_t(rgba[i]) << 16 |
                           std::uint32_t(rgba[i + 1]) << 8 | rgba[i + 2]);
    return out;
}

Level ReadFrame(const TextureRef& t, int frame, int level = 0) {
    glBindTexture(GL_TEXTURE_2D, t->gltex.at(std::size_t(frame)));
    InvalidateGLState(); // a bind of the test's own
    return ReadLevel(GL_TEXTURE_2D, level);
}

Level ReadFace(const TextureRef& t, GLenum face, int level = 0) {
    glBindTexture(GL_TEXTURE_CUBE_MAP, t->gltex.at(0));
    InvalidateGLState(); // a bind of the test's own
    return ReadLevel(face, level);
}

// A distinct opaque colour per cell number.
constexpr std::uint32_t CellColour(int cell) {
    return Rgb(20 + cell * 29 % 230, 250 - cell * 13 % 200, 40 + cell * 53 % 210);
}

// An image of cols x rows cells of cw x ch pixels, cell c (row by row) in CellColour(c).
PixmapRef CellImage(int cols, int rows, int cw, int ch) {
    PixmapRef p = CreatePixmap(cols * cw, rows * ch, PF_RGBA8888);
    for (int y = 0; y < rows * ch; ++y)
        for (int x = 0; x < cols * cw; ++x) p->WritePixel(x, y, CellColour(y / ch * cols + x / cw));
    return p;
}

// Fills the rectangle of the back buffer given in window pixels from the top left.
void FillWindowRect(int x, int y, int w, int h, std::uint32_t argb) {
    glPushAttrib(GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, kHeight - y - h, w, h);
    glClearColor(float(argb >> 16 & 255) / 255, float(argb >> 8 & 255) / 255,
                 float(argb & 255) / 255, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

class TextureTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        before_ = CurrentDir();
        ASSERT_TRUE(ChangeDir(tmp_.dir().string()));
    }
    void TearDown() override {
        ChangeDir(before_);
        // Back to the filters the engine starts with.
        TTexture::ClearTextureFilters();
        TTexture::TextureFilter("", COLORTEXTURE | MIPMAPPEDTEXTURE);
        EngineTest::TearDown();
    }

    std::string Save(const std::string& name, const PixmapRef& p) {
        std::filesystem::create_directories(std::filesystem::path(tmp_.path(name)).parent_path());
        EXPECT_TRUE(SavePixmapPNG(p, tmp_.path(name)));
        return name;
    }

    static int Listed() { return CountList(TTexture::tex_list); }

    TempDir tmp_;
    std::string before_;
};

TEST_F(TextureTest, CreateTextureUploadsClearedMipmappedFrames) {
    const int listed = Listed();
    TextureRef t = CreateTexture(64, 64, 0, 1);
    ASSERT_TRUE(t);
    EXPECT_EQ(Listed(), listed + 1);
    EXPECT_EQ(TTexture::tex_list->Last(), t);
    EXPECT_EQ(t->flags, 9); // the default filter
    EXPECT_EQ(TextureWidth(t), 64);
    EXPECT_EQ(TextureHeight(t), 64);
    EXPECT_EQ(t->CountMipmaps(), 6);
    EXPECT_EQ(t->MipmapWidth(2), 16);
    EXPECT_EQ(t->MipmapWidth(6), 1);
    EXPECT_EQ(t->MipmapWidth(7), 0);
    EXPECT_EQ(t->MipmapWidth(-1), 0);
    EXPECT_EQ(TextureName(t), "");
    for (int level = 0; level <= 6; ++level) {
        const Level l = ReadFrame(t, 0, level);
        EXPECT_EQ(l.width, 64 >> level);
        EXPECT_EQ(l.height, 64 >> level);
        EXPECT_TRUE(l.all(0)) << "level " << level; // cleared memory, not leftovers
    }

    // Frames, a non-power-of-two size and a long thin mipmap chain.
    TTexture::ClearTextureFilters();
    TextureRef frames = CreateTexture(100, 50, 0, 3);
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->flags, 0);
    EXPECT_EQ(frames->no_frames, 3);
    ASSERT_EQ(frames->gltex.size(), 3u);
    EXPECT_EQ(frames->pixmap->width, 300);
    EXPECT_EQ(TextureWidth(frames), 128);
    EXPECT_EQ(TextureHeight(frames), 64);
    EXPECT_EQ(frames->CountMipmaps(), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(glIsTexture(frames->gltex[std::size_t(i)]));
        EXPECT_EQ(ReadFrame(frames, i).width, 128);
    }
    EXPECT_NE(frames->gltex[0], frames->gltex[1]);

    TextureRef thin = CreateTexture(256, 64, MIPMAPPEDTEXTURE, 1);
    EXPECT_EQ(thin->CountMipmaps(), 8);
    const int sizes[9][2] = {{256, 64}, {128, 32}, {64, 16}, {32, 8}, {16, 4},
                             {8, 2},    {4, 1},    {2, 1},   {1, 1}};
    for (int level = 0; level <= 8; ++level) {
        const Level l = ReadFrame(thin, 0, level);
        EXPECT_EQ(l.width, sizes[level][0]) << "level " << level;
        EXPECT_EQ(l.height, sizes[level][1]) << "level " << level;
    }

    for (auto [w, h, frames_] : {std::tuple{0, 8, 1}, {8, -1, 1}, {8, 8, 0}})
        EXPECT_FALSE(CreateTexture(w, h, 0, frames_));
    EXPECT_EQ(Listed(), listed + 3);
}

TEST_F(TextureTest, CreateTextureWithFlag128MakesABlankCubeMap) {
    TextureRef t = CreateTexture(256, 256, COLORTEXTURE | CUBEMAPTEXTURE, 1);
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->cube_map);
    EXPECT_EQ(t->flags, 129); // no filter for a created cube map
    EXPECT_EQ(TextureWidth(t), 256);
    EXPECT_EQ(TextureHeight(t), 256);
    EXPECT_EQ(t->CountMipmaps(), 0);
    ASSERT_EQ(t->gltex.size(), 1u);
    EXPECT_TRUE(glIsTexture(t->gltex[0]));
    for (GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X; face <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z;
         ++face) {
        const Level l = ReadFace(t, face);
        EXPECT_EQ(l.width, 256);
        EXPECT_TRUE(l.all(0));
    }
}

TEST_F(TextureTest, LoadAnimTextureCutsFramesRowByRowAndRestoresTheRowLength) {
    const std::string file = Save("strip.png", CellImage(4, 2, 64, 64));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
    // Frames 5, 6, 7: pixel positions (64, 64), (128, 64), (192, 64).
    TextureRef t = LoadAnimTexture(file, 0, 64, 64, 5, 3);
    ASSERT_TRUE(t);
    GLint rowLength = 0;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    EXPECT_EQ(rowLength, 7);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    EXPECT_EQ(t->no_frames, 3);
    EXPECT_EQ(t->flags, 9);
    EXPECT_EQ(TextureWidth(t), 64);
    EXPECT_EQ(t->CountMipmaps(), 6);
    for (int i = 0; i < 3; ++i) {
        const Level l = ReadFrame(t, i);
        EXPECT_EQ(l.width, 64);
        EXPECT_TRUE(l.all(CellColour(5 + i))) << "frame " << i;
        EXPECT_EQ(ReadFrame(t, i, 6).at(0, 0), CellColour(5 + i)) << "frame " << i;
    }
    // Frames 3 and 4: (192, 0), then wrapping to (0, 64). Other flags, so not shared.
    TextureRef wrap = LoadAnimTexture(file, ALPHATEXTURE, 64, 64, 3, 2);
    ASSERT_TRUE(wrap);
    EXPECT_NE(wrap, t);
    EXPECT_TRUE(ReadFrame(wrap, 0).all(CellColour(3)));
    EXPECT_TRUE(ReadFrame(wrap, 1).all(CellColour(4)));
    // A first frame past the end wraps round the columns, as the numbering rule says.
    TTexture::ClearTextureFilters();
    TextureRef past = LoadAnimTexture(file, 0, 64, 64, 9, 2);
    ASSERT_TRUE(past);
    EXPECT_TRUE(ReadFrame(past, 0).all(CellColour(1)));
    EXPECT_TRUE(ReadFrame(past, 1).all(CellColour(2)));
    // The same file and flags: the texture already loaded, whatever the frame arguments.
    EXPECT_EQ(LoadAnimTexture(file, 0, 32, 32, 0, 1), past);
}

TEST_F(TextureTest, ImagesAreStretchedToPowerOfTwoSides) {
    PixmapRef odd = CreatePixmap(100, 50, PF_RGBA8888);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            odd->WritePixel(x, y, x < 50 ? Rgb(255, 0, 0) : Rgb(0, 0, 255));
    TextureRef t = LoadTexture(Save("odd.png", odd), 0);
    ASSERT_TRUE(t);
    EXPECT_EQ(TextureWidth(t), 128);
    EXPECT_EQ(TextureHeight(t), 64);
    const Level l = ReadFrame(t, 0);
    EXPECT_EQ(l.at(10, 30), Rgb(255, 0, 0));
    EXPECT_EQ(l.at(120, 30), Rgb(0, 0, 255));
    EXPECT_EQ(t->pixmap->width, 100); // the source image is kept as loaded

    PixmapRef square = CreatePixmap(256, 256, PF_RGBA8888);
    EXPECT_EQ(TTexture::AdjustPixmap(square), square);
    PixmapRef wide = TTexture::AdjustPixmap(odd);
    EXPECT_NE(wide, odd);
    EXPECT_EQ(wide->width, 128);
    EXPECT_EQ(wide->height, 64);
}

TEST_F(TextureTest, LoadsShareByAbsoluteFileAndFlags) {
    const std::string a = Save("media/a.png", CellImage(1, 1, 8, 8));
    Save("other/a.png", CellImage(1, 1, 8, 8));
    Save("b.png", CellImage(1, 1, 4, 4));
    const int listed = Listed();

    TextureRef first = LoadTexture("media/a.png", 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->file, "media/a.png");
    EXPECT_EQ(TextureName(first), CurrentDir() + "/media/a.png");
    EXPECT_EQ(LoadTexture("media/a.png", 0), first);
    EXPECT_EQ(LoadTexture("media/a.png", COLORTEXTURE),
              first); // the default filter adds colour and mipmapped to both
    EXPECT_EQ(Listed(), listed + 1);
    EXPECT_NE(LoadTexture("media/a.png", ALPHATEXTURE), first);
    // Same bare name in another folder: another file, another texture.
    TextureRef other = LoadTexture("other/a.png", 0);
    ASSERT_TRUE(other);
    EXPECT_NE(other, first);
    // Another way of writing the same path is not recognised.
    EXPECT_NE(LoadTexture("./media/a.png", 0), first);
    // Absolute paths are taken as they are.
    const std::string abs = tmp_.path("media/a.png");
    EXPECT_EQ(TextureName(LoadTexture(abs, MASKEDTEXTURE)), abs);
    // Found by the bare name: named after it, and shared with a load by that name.
    TextureRef bare = LoadTexture("C:\\art\\b.png", 0);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->file, "b.png");
    EXPECT_EQ(LoadTexture("elsewhere/b.png", 0), bare);
    EXPECT_EQ(LoadTexture("b.png", 0), bare);
    EXPECT_EQ(Listed(), listed + 6);

    // A brush loaded from the file holds the same texture.
    EXPECT_EQ(GetBrushTexture(LoadBrush("media/a.png", 0, 1, 1), 0), first);
    // A change made through one load shows in the other.
    ScaleTexture(first, 2, 2);
    EXPECT_FLOAT_EQ(LoadTexture("media/a.png", 0)->u_scale, 0.5f);

    // Freed: no longer found; a new load makes a new texture; its GL texture is gone.
    const unsigned name = first->gltex.at(0);
    ASSERT_TRUE(glIsTexture(name));
    FreeTexture(first);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_TRUE(first->gltex.empty());
    EXPECT_FALSE(first->pixmap);
    EXPECT_FALSE(ListContains(TTexture::tex_list, first));
    TextureRef again = LoadTexture("media/a.png", 0);
    ASSERT_TRUE(again);
    EXPECT_NE(again, first);
    EXPECT_EQ(again->TexInList(), again);
}

TEST_F(TextureTest, FiltersApplyToLaterLoads) {
    const std::string tree = Save("tree_alpha.png", CellImage(1, 1, 8, 8));
    TextureFilter("_alpha", ALPHATEXTURE);
    TextureRef filtered = LoadTexture(tree, 0);
    ASSERT_TRUE(filtered);
    EXPECT_EQ(filtered->flags, 11);
    ClearTextureFilters();
    EXPECT_EQ(CountList(TTextureFilter::filter_list), 0);
    TextureRef plain = LoadTexture(tree, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->flags, 0);
    EXPECT_NE(plain, filtered);
    EXPECT_EQ(plain->CountMipmaps(), 0);
    EXPECT_EQ(filtered->flags, 11); // textures made before keep their flags
}

TEST_F(TextureTest, BadFilesAndFrameGeometryGiveNullWithoutReadingOutside) {
    const std::string file = Save("grid.png", CellImage(4, 2, 16, 16)); // 64 x 32, 8 frames
    tmp_.write("broken.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13});
    Save("narrow.png", CellImage(5, 1, 1, 4));
    Save("tall.png", CellImage(6, 1, 16, 40)); // faces 16 x 40: 16 x 64 once stretched
    const int listed = Listed();
    const struct {
        int fw, fh, first, count;
    } bad[] = {
        {16, 0, 0, 1},  {0, 16, 0, 1},  {-16, 16, 0, 1}, {128, 16, 0, 1}, {16, 64, 0, 1},
        {16, 16, 7, 2}, {16, 16, 0, 9}, {16, 16, -1, 1}, {16, 16, 0, 0},  {16, 16, 0, -3},
    };
    testseam::ForgetWarnings();
    ::testing::internal::CaptureStderr();
    for (const auto& b : bad)
        EXPECT_FALSE(LoadAnimTexture(file, 0, b.fw, b.fh, b.first, b.count))
            << b.fw << "x" << b.fh << " from " << b.first << " count " << b.count;
    EXPECT_FALSE(LoadTexture("broken.png", 0));
    EXPECT_FALSE(LoadTexture("broken.png", CUBEMAPTEXTURE));
    EXPECT_FALSE(LoadTexture("narrow.png", CUBEMAPTEXTURE)); // narrower than six faces
    EXPECT_FALSE(LoadTexture("tall.png", CUBEMAPTEXTURE));   // faces GL cannot take
    EXPECT_FALSE(CreateTexture(64, 32, CUBEMAPTEXTURE, 1));
    EXPECT_FALSE(LoadTexture("missing.png", 0));
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Listed(), listed);
    EXPECT_NE(log.find("Cannot load texture: broken.png"), std::string::npos);
    EXPECT_NE(log.find("Texture frames do not fit the image: grid.png"), std::string::npos);
    EXPECT_NE(log.find("Cannot find texture: missing.png (looked for missing.png)"),
              std::string::npos);
    // The largest geometry that fits: all eight frames.
    TextureRef all = LoadAnimTexture(file, 0, 16, 16, 0, 8);
    ASSERT_TRUE(all);
    EXPECT_TRUE(ReadFrame(all, 7).all(CellColour(7)));
}

TEST_F(TextureTest, ACubeMapStripUploadsItsFacesInOrder) {
    const std::string file = Save("sky.png", CellImage(6, 1, 32, 32));
    TextureRef t = LoadTexture(file, CUBEMAPTEXTURE);
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->cube_map);
    EXPECT_EQ(t->flags, 137);
    EXPECT_EQ(TextureWidth(t), 32);
    EXPECT_EQ(t->CountMipmaps(), 5);
    const GLenum order[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Z,
                             GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z,
                             GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y};
    for (int face = 0; face < 6; ++face) {
        EXPECT_TRUE(ReadFace(t, order[face]).all(CellColour(face))) << "strip face " << face;
        EXPECT_EQ(ReadFace(t, order[face], 5).at(0, 0), CellColour(face)) << "face " << face;
    }
    // The same through LoadAnimTexture, whose frame arguments a cube map ignores: shared.
    EXPECT_EQ(LoadAnimTexture(file, CUBEMAPTEXTURE, 1, 1, 3, 4), t);
}

TEST_F(TextureTest, BackBufferToCubeTexWritesTheChosenFaceInCopyOrder) {
    TextureRef t = CreateTexture(64, 64, CUBEMAPTEXTURE, 1);
    ASSERT_TRUE(t);
    for (int face = 0; face < 6; ++face) {
        FillWindowRect(0, 0, 64, 64, CellColour(10 + face));
        SetCubeFace(t, face);
        BackBufferToCubeTex(t);
    }
    const GLenum copyOrder[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Z,
                                 GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z,
                                 GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Y};
    for (int face = 0; face < 6; ++face) {
        const Level l = ReadFace(t, copyOrder[face]);
        EXPECT_EQ(l.width, 64);
        EXPECT_TRUE(l.all(CellColour(10 + face))) << "face " << face;
    }
    // A face number outside 0..5 copies nothing.
    FillWindowRect(0, 0, 64, 64, Rgb(1, 2, 3));
    SetCubeFace(t, 6);
    EXPECT_EQ(t->BackBufferToCubeTex(0), 0);
    for (int face = 0; face < 6; ++face)
        EXPECT_TRUE(ReadFace(t, copyOrder[face]).all(CellColour(10 + face))) << "face " << face;
    EXPECT_EQ(GLErrors(), "");
}

TEST_F(TextureTest, BufferCopiesTakeTheTopLeftRectangle) {
    TTexture::ClearTextureFilters();
    TextureRef t = CreateTexture(32, 16, 0, 2);
    ASSERT_TRUE(t);
    FillWindowRect(0, 0, kWidth, kHeight, Rgb(0, 0, 255));
    FillWindowRect(0, 0, 32, 8, Rgb(255, 0, 0)); // top half of the rectangle
    FillWindowRect(0, 8, 32, 8, Rgb(0, 255, 0)); // bottom half
    BackBufferToTex(t);
    const Level l = ReadFrame(t, 0);
    ASSERT_EQ(l.width, 32);
    ASSERT_EQ(l.height, 16);
    // GL's row 0 is the bottom of the rectangle.
    EXPECT_EQ(l.at(0, 0), Rgb(0, 255, 0));
    EXPECT_EQ(l.at(31, 7), Rgb(0, 255, 0));
    EXPECT_EQ(l.at(0, 8), Rgb(255, 0, 0));
    EXPECT_EQ(l.at(31, 15), Rgb(255, 0, 0));
    EXPECT_TRUE(ReadFrame(t, 1).all(0)); // only frame 0

    // Another frame through the operation; frames out of range and negative levels: nothing.
    EXPECT_EQ(t->BackBufferToTex(0, 1), 0);
    EXPECT_EQ(ReadFrame(t, 1).at(0, 15), Rgb(255, 0, 0));
    EXPECT_EQ(t->BackBufferToTex(0, 2), 0);
    EXPECT_EQ(t->BackBufferToTex(-1, 0), 0);
    EXPECT_EQ(t->BackBufferToTex(0, -1), 0);
    EXPECT_EQ(GLErrors(), "");

    glPushAttrib(GL_SCISSOR_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST); // whatever box earlier drawing left
    glDepthMask(GL_TRUE);
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    glPopAttrib();
    DepthBufferToTex(t);
    glBindTexture(GL_TEXTURE_2D, t->gltex[0]);
    InvalidateGLState(); // a bind of the test's own
    std::vector<float> depth(32 * 16, -1.0f);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_NEAR(depth.front(), 0.25f, 1e-4);
    EXPECT_NEAR(depth.back(), 0.25f, 1e-4);

    // A 2D copy into a cube map, or a cube copy into a 2D texture, does nothing.
    TextureRef cube = CreateTexture(16, 16, CUBEMAPTEXTURE, 1);
    EXPECT_EQ(cube->BackBufferToTex(0, 0), 0);
    EXPECT_EQ(t->BackBufferToCubeTex(0), 0);
    EXPECT_EQ(GLErrors(), "");
}

TEST_F(TextureTest, CommandsOnANullTextureDoNothing) {
    const TextureRef none;
    FreeTexture(none);
    TextureBlend(none, ADDTEXTUREBLEND);
    TextureCoords(none, 1);
    ScaleTexture(none, 2, 2);
    PositionTexture(none, 1, 1);
    RotateTexture(none, 45);
    SetCubeFace(none, 2);
    SetCubeMode(none, 2);
    BackBufferToTex(none);
    DepthBufferToTex(none);
    BackBufferToCubeTex(none);
    EXPECT_EQ(TextureWidth(none), 0);
    EXPECT_EQ(TextureHeight(none), 0);
    EXPECT_EQ(TextureName(none), "");
    EXPECT_FALSE(GetBrushTexture(nullptr, 0));
    EXPECT_EQ(GLErrors(), "");
}

TEST_F(TextureTest, GLTexturesGoWithTheirLastReference) {
    TTexture::ClearTextureFilters();
    TextureRef t = CreateTexture(8, 8, 0, 3);
    ASSERT_TRUE(t);
    const std::vector<unsigned> names = t->gltex;
    // The list holds a reference until FreeTexture; a brush may hold another.
    auto brush = std::make_shared<TBrush>();
    brush->tex[0] = t;
    std::weak_ptr<TTexture> watch = t;
    t.reset();
    for (unsigned n : names) EXPECT_TRUE(glIsTexture(n));
    TTexture::tex_list->Last()->FreeTexture();
    for (unsigned n : names) EXPECT_FALSE(glIsTexture(n));
    ASSERT_FALSE(watch.expired()); // the brush still holds the (emptied) texture
    brush.reset();
    EXPECT_TRUE(watch.expired());

    // A texture dropped without FreeTexture (never listed) deletes its names as it goes.
    auto loose = std::make_shared<TTexture>();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    InvalidateGLState(); // a bind of the test's own
    loose->gltex = {name};
    loose->gl_context = GraphicsContextId();
    ASSERT_TRUE(glIsTexture(name));
    loose.reset();
    EXPECT_FALSE(glIsTexture(name));
}

// Every level of every frame (or face) of a texture, with what the texture says of itself.
struct Uploaded {
    int width = 0, height = 0, flags = 0, frames = 0, mipmaps = 0;
    std::vector<Level> levels;
};

Uploaded ReadAll(const TextureRef& t) {
    Uploaded u{t->width, t->height, t->flags, t->no_frames, t->no_mipmaps, {}};
    for (int level = 0; level <= t->no_mipmaps; ++level) {
        if (t->cube_map) {
            for (GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X;
                 face <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z; ++face)
                u.levels.push_back(ReadFace(t, face, level));
        } else {
            for (int frame = 0; frame < t->no_frames; ++frame)
                u.levels.push_back(ReadFrame(t, frame, level));
        }
    }
    return u;
}

// An image whose colours and alpha change from texel to texel, so that every resampled level
// depends on every step of the resampling.
PixmapRef Noise(int w, int h) {
    PixmapRef p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->WritePixel(x, y,
                          std::uint32_t((x * 37 + y * 11) % 256) << 24 |
                              std::uint32_t((x * 13 + y * 7) % 256) << 16 |
                              std::uint32_t((x * y + 5) % 256) << 8 | std::uint32_t(x ^ y) % 256);
    return p;
}

TEST_F(TextureTest, APreparedFileMakesTheSameTextureAsADirectLoad) {
    Save("square.png", Noise(64, 32));
    Save("odd.png", Noise(100, 50)); // stretched to 128 x 64 before its levels
    Save("strip.png", Noise(6 * 16, 16));
    const struct {
        const char* file;
        int flags;
        bool filters; // the engine's default filter (colour and mipmapped) in place
    } cases[] = {
        {"square.png", MIPMAPPEDTEXTURE, true},
        {"odd.png", MIPMAPPEDTEXTURE | ALPHATEXTURE, true},
        {"odd.png", 0, false},              // no levels below the stretched image
        {"square.png", ALPHATEXTURE, true}, // the filter asks for the levels
        {"strip.png", CUBEMAPTEXTURE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " flags " + std::to_string(c.flags));
        TTexture::ClearTextureFilters();
        if (c.filters) TTexture::TextureFilter("", COLORTEXTURE | MIPMAPPEDTEXTURE);
        TextureRef direct = LoadTexture(c.file, c.flags);
        ASSERT_TRUE(direct);
        const Uploaded want = ReadAll(direct);
        const int imageWidth = direct->pixmap->width;
        FreeTexture(direct);

        // Prepared on a thread of its own, as a program does.
        PreparedTextureRef prepared;
        std::thread([&] { prepared = PrepareTexture(c.file, c.flags); }).join();
        TextureRef loaded = LoadPreparedTexture(prepared);
        ASSERT_TRUE(loaded);
        EXPECT_NE(loaded, direct);
        EXPECT_EQ(LoadTexture(c.file, c.flags), loaded) << "listed as a load of the file is";
        const Uploaded got = ReadAll(loaded);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_EQ(got.flags, want.flags);
        EXPECT_EQ(got.frames, want.frames);
        EXPECT_EQ(got.mipmaps, want.mipmaps);
        ASSERT_EQ(got.levels.size(), want.levels.size());
        for (std::size_t i = 0; i < got.levels.size(); ++i) {
            EXPECT_EQ(got.levels[i].width, want.levels[i].width) << "level " << i;
            EXPECT_EQ(got.levels[i].argb, want.levels[i].argb) << "level " << i;
        }
        EXPECT_EQ(loaded->pixmap->width, imageWidth); // the image is kept as decoded
        FreeTexture(loaded);
    }
    EXPECT_EQ(LoadPreparedTexture(nullptr), nullptr);
    EXPECT_EQ(GLErrors(), "");
}

TEST_F(TextureTest, APreparedFileFailsOrIsSharedAsADirectLoadIs) {
    tmp_.write("broken.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13});
    Save("b.png", Noise(8, 8));
    const int listed = Listed();
    // What the load says and returns, prepared ahead or not.
    const auto attempt = [&](const std::string& file, bool prepare) {
        const PreparedTextureRef prepared = prepare ? PrepareTexture(file, 0) : nullptr;
        testseam::ForgetWarnings(); // the same words again, not left out as said before
        ::testing::internal::CaptureStderr();
        TextureRef t = prepare ? LoadPreparedTexture(prepared) : LoadTexture(file, 0);
        const std::string log = ::testing::internal::GetCapturedStderr();
        return std::make_pair(t, log);
    };
    for (const char* file : {"missing.png", "broken.png"}) {
        const auto direct = attempt(file, false);
        const auto prepared = attempt(file, true);
        EXPECT_FALSE(direct.first) << file;
        EXPECT_FALSE(prepared.first) << file;
        EXPECT_EQ(prepared.second, direct.second) << file;
    }
    EXPECT_EQ(Listed(), listed);

    // Found only by its bare name: nothing could be decoded under the name asked for, the load
    // decodes the file it found.
    const auto bare = attempt("elsewhere/b.png", true);
    ASSERT_TRUE(bare.first);
    EXPECT_EQ(bare.first->file, "b.png");
    // Already loaded: the same texture, and the prepared pixels are dropped.
    const auto again = attempt("b.png", true);
    EXPECT_EQ(again.first, bare.first);
    EXPECT_EQ(Listed(), listed + 1);
}

} // namespace
