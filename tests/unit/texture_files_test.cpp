// Texture files without a display: finding, naming, sizing, filters and the reuse test.
#include "engine/brush.h"
#include "engine/commands.h"
#include "engine/pivot.h"
#include "engine/texture.h"
#include "engine/texture_filter.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "platform/testing.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace {

// Runs the body in another working directory and returns to the old one.
using InDir = ScopedWorkingDir;

// Fresh texture and filter lists for a test, the program's own put back afterwards.
class TextureListsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedTextures_ = TTexture::tex_list;
        savedFilters_ = TTextureFilter::filter_list;
        TTexture::tex_list = CreateList<TextureRef>();
        TTextureFilter::filter_list = CreateList<TextureFilterRef>();
    }
    void TearDown() override {
        TTexture::tex_list = savedTextures_;
        TTextureFilter::filter_list = savedFilters_;
    }

    // A texture as a load leaves it, put in the list without touching GL.
    static TextureRef Listed(const std::string& file_abs, int flags) {
        auto t = std::make_shared<TTexture>();
        t->file_abs = file_abs;
        t->flags = flags;
        ListAddLast(TTexture::tex_list, t);
        return t;
    }

  private:
    std::shared_ptr<TList<TextureRef>> savedTextures_;
    std::shared_ptr<TList<TextureFilterRef>> savedFilters_;
};

TEST(TextureSizing, Pow2SizeIsTheSmallestPowerOfTwoNotBelowN) {
    const struct {
        int n, want;
    } cases[] = {{-5, 1},    {0, 1},       {1, 1},         {2, 2},
                 {3, 4},     {64, 64},     {100, 128},     {256, 256},
                 {257, 512}, {1023, 1024}, {16385, 32768}, {1 << 30, 1 << 30}};
    for (const auto& c : cases) EXPECT_EQ(TTexture::Pow2Size(c.n), c.want) << "n " << c.n;
}

TEST(TextureSizing, SidesAreHalvedTogetherUntilTheGLAcceptsThem) {
    const auto atMost1024 = [](int w, int h) { return w <= 1024 && h <= 1024; };
    const struct {
        int w, h, wantW, wantH;
    } cases[] = {
        {2048, 128, 1024, 64}, // a 2000 x 100 image: both sides halve, keeping the shape
        {1024, 1024, 1024, 1024},
        {4096, 1, 1024, 1}, // a side at 1 stays 1
        {1, 8192, 1, 1024},
    };
    for (const auto& c : cases) {
        int w = c.w, h = c.h;
        TTexture::AcceptedSize(w, h, atMost1024);
        EXPECT_EQ(w, c.wantW) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.wantH) << c.w << "x" << c.h;
    }
    // Every size tried, in order.
    std::vector<std::pair<int, int>> tried;
    int w = 8, h = 2;
    TTexture::AcceptedSize(w, h, [&](int tw, int th) {
        tried.emplace_back(tw, th);
        return tw == 2;
    });
    EXPECT_EQ(tried, (std::vector<std::pair<int, int>>{{8, 2}, {4, 1}, {2, 1}}));
}

TEST(TextureSizing, NoAcceptedSizeIsFatal) {
    struct Fatal {
        int status;
        std::string message;
    };
    testseam::SetExitHook([](int status, std::string_view message) {
        throw Fatal{status, std::string(message)};
    });
    int w = 16, h = 4, calls = 0;
    try {
        TTexture::AcceptedSize(w, h, [&](int, int) {
            ++calls;
            return false;
        });
        ADD_FAILURE() << "returned";
    } catch (const Fatal& f) {
        EXPECT_EQ(f.status, -1);
        EXPECT_EQ(f.message, "Unable to calculate tex size");
    }
    testseam::SetExitHook(nullptr);
    EXPECT_EQ(calls, 5); // 16x4, 8x2, 4x1, 2x1, 1x1
}

TEST(TextureFiles, FileFindFallsBackToTheBareName) {
    TempDir tmp;
    tmp.write("wood.png", {1});
    tmp.write("c.png", {1});
    std::filesystem::create_directories(tmp.dir() / "sub");
    tmp.write("sub/deep.png", {1});
    InDir in(tmp.dir().string());

    const struct {
        std::string name, found;
    } cases[] = {
        {"wood.png", "wood.png"},           // as named
        {"sub/deep.png", "sub/deep.png"},   // as named, with its folder
        {"textures\\wood.png", "wood.png"}, // bare name after the backslash
        {"a\\b/c.png", "c.png"},            // after the last of either separator
        {"a/b\\c.png", "c.png"},
        {"/no/such/place/wood.png", "wood.png"},
        {"sub", "sub"}, // a directory counts as found
    };
    for (const auto& c : cases) {
        std::string name = c.name;
        EXPECT_EQ(TTexture::FileFind(name), 1) << c.name;
        EXPECT_EQ(name, c.found) << c.name;
    }
}

TEST(TextureFiles, FileFindOfAMissingFileNamesItAsAskedAndWhereItLooked) {
    TempDir tmp;
    InDir in(tmp.dir().string());
    std::string name = "maps/none.png";
    testseam::ForgetWarnings();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(TTexture::FileFind(name), 0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(name, "none.png");
    EXPECT_EQ(log,
              "Cannot find texture: maps/none.png (looked for maps/none.png, then none.png)\n");
}

TEST(TextureFiles, FileAbsPrefixesRelativeNamesOnly) {
    TempDir tmp;
    InDir in(tmp.dir().string());
    const std::string cwd = CurrentDir();
    const struct {
        std::string name, want;
    } cases[] = {
        {"media/x.png", cwd + "/media/x.png"},
        {"media\\x.png", cwd + "/media/x.png"},
        {"D:\\tex\\x.png", "D:/tex/x.png"},
        {"/abs/x.png", "/abs/x.png"}, // already absolute: no prefix
        {"./a.png", cwd + "/./a.png"},
    };
    for (const auto& c : cases) EXPECT_EQ(TTexture::FileAbs(c.name), c.want) << c.name;
}

TEST_F(TextureListsTest, FiltersOrTheirFlagsIntoMatchingNames) {
    TTexture::TextureFilter("", COLORTEXTURE | MIPMAPPEDTEXTURE);
    TTexture::TextureFilter("_alpha", ALPHATEXTURE);
    TTexture::TextureFilter("_alpha", ALPHATEXTURE); // duplicates are kept and change nothing
    TTexture::TextureFilter("Sky", CLAMPUTEXTURE);
    EXPECT_EQ(CountList(TTextureFilter::filter_list), 4);

    const struct {
        std::string file;
        int flags, want;
    } cases[] = {
        {"tree_alpha.png", 0, 11},
        {"media/sky.png", 4, 13}, // case-sensitive
        {"media/Sky_alpha.png", 0, 27},
        {"", 0, 9}, // a created texture: only the empty pattern matches
        {"plain.png", 128, 137},
    };
    for (const auto& c : cases) {
        TTexture t;
        t.file = c.file;
        t.flags = c.flags;
        EXPECT_EQ(t.FilterFlags(), 0);
        EXPECT_EQ(t.flags, c.want) << "'" << c.file << "'";
    }

    TTexture::ClearTextureFilters();
    EXPECT_EQ(CountList(TTextureFilter::filter_list), 0);
    TTexture t;
    t.file = "tree_alpha.png";
    t.FilterFlags();
    EXPECT_EQ(t.flags, 0);
}

TEST_F(TextureListsTest, ReuseNeedsTheSameAbsoluteFileAndTheSameFlags) {
    const TextureRef a9 = Listed("/data/media/a.png", 9);
    const TextureRef a11 = Listed("/data/media/a.png", 11);
    Listed("/data/other/a.png", 9);
    Listed("/data/media/a.png", 9); // a later equal entry is never the one found

    const struct {
        std::string file_abs;
        int flags;
        TextureRef want;
    } cases[] = {
        {"/data/media/a.png", 9, a9},
        {"/data/media/a.png", 11, a11},
        {"/data/media/a.png", 1, nullptr},
        {"/data/media/A.png", 9, nullptr},     // exact comparison
        {"/data/elsewhere/a.png", 9, nullptr}, // same bare name, another folder
        {"/data/./media/a.png", 9, nullptr},   // another way of writing the path
    };
    for (const auto& c : cases) {
        TTexture probe;
        probe.file = "a.png";
        probe.file_abs = c.file_abs;
        probe.flags = c.flags;
        EXPECT_EQ(probe.TexInList(), c.want) << c.file_abs << " " << c.flags;
    }
}

TEST_F(TextureListsTest, FreeTextureLeavesTheListAndDropsItsData) {
    const TextureRef a = Listed("/x/a.png", 9);
    const TextureRef b = Listed("/x/b.png", 9);
    a->pixmap = CreatePixmap(2, 2, PF_RGBA8888);
    EXPECT_EQ(a->FreeTexture(), 0);
    EXPECT_EQ(TTexture::tex_list->ToVector(), std::vector<TextureRef>{b});
    EXPECT_FALSE(a->pixmap);
    EXPECT_TRUE(a->gltex.empty());
    TTexture probe;
    probe.file_abs = "/x/a.png";
    probe.flags = 9;
    EXPECT_FALSE(probe.TexInList());
    // Freeing twice, and the copies on an emptied texture, do nothing.
    EXPECT_EQ(a->FreeTexture(), 0);
    EXPECT_EQ(a->BackBufferToTex(0, 0), 0);
    EXPECT_EQ(a->DepthBufferToTex(0, 0), 0);
    EXPECT_EQ(CountList(TTexture::tex_list), 1);
}

TEST_F(TextureListsTest, AMissingFileGivesNullAndAddsNothing) {
    TempDir tmp;
    InDir in(tmp.dir().string());
    TTexture::TextureFilter("", COLORTEXTURE | MIPMAPPEDTEXTURE);
    testseam::ForgetWarnings();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(TTexture::LoadTexture("textures\\gone.png", 0));
    EXPECT_FALSE(TTexture::LoadAnimTexture("gone.png", ALPHATEXTURE, 8, 8, 0, 2));
    EXPECT_FALSE(TTexture::LoadTexture("gone.png", CUBEMAPTEXTURE)); // the cube-map path
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountList(TTexture::tex_list), 0);
    EXPECT_EQ(log, "Cannot find texture: textures\\gone.png (looked for textures\\gone.png, then "
                   "gone.png)\nCannot find texture: gone.png (looked for gone.png)\n")
        << "said once for each name asked for";
}

TEST_F(TextureListsTest, WithoutADisplayNothingIsMade) {
    TempDir tmp;
    InDir in(tmp.dir().string());
    tmp.write("a.png", {0x89, 'P', 'N', 'G'});
    EXPECT_FALSE(TTexture::LoadTexture("a.png", 0));
    EXPECT_FALSE(TTexture::CreateTexture(8, 8, 0, 1));
    EXPECT_FALSE(TTexture::CreateTexture(8, 8, CUBEMAPTEXTURE, 1));
    EXPECT_EQ(CountList(TTexture::tex_list), 0);
}

TEST(TextureAccessors, SettersStoreAsTheDrawingCodeReadsThem) {
    TTexture t;
    EXPECT_EQ(t.blend, 2);
    EXPECT_EQ(t.cube_mode, 1);
    EXPECT_EQ(t.no_frames, 1);
    EXPECT_EQ(t.gltex, std::vector<unsigned>{0});
    t.ScaleTexture(2, 4);
    EXPECT_FLOAT_EQ(t.u_scale, 0.5f);
    EXPECT_FLOAT_EQ(t.v_scale, 0.25f);
    t.PositionTexture(0.25f, -1);
    EXPECT_FLOAT_EQ(t.u_pos, -0.25f);
    EXPECT_FLOAT_EQ(t.v_pos, 1.0f);
    t.RotateTexture(-30);
    EXPECT_FLOAT_EQ(t.angle, -30.0f);
    t.TextureBlend(ADDTEXTUREBLEND);
    t.TextureCoords(1);
    t.SetCubeFace(4);
    t.SetCubeMode(2);
    EXPECT_EQ(t.blend, 3);
    EXPECT_EQ(t.coords, 1);
    EXPECT_EQ(t.cube_face, 4);
    EXPECT_EQ(t.cube_mode, 2);
    t.ScaleTexture(0, 1);
    EXPECT_TRUE(std::isinf(t.u_scale));

    t.width = 256;
    t.height = 64;
    t.no_mipmaps = 8;
    const struct {
        int level, w, h;
    } levels[] = {{-1, 0, 0}, {0, 256, 64}, {2, 64, 16}, {6, 4, 1}, {8, 1, 1}, {9, 0, 0}};
    for (const auto& l : levels) {
        EXPECT_EQ(t.MipmapWidth(l.level), l.w) << "level " << l.level;
        EXPECT_EQ(t.MipmapHeight(l.level), l.h) << "level " << l.level;
    }
}

TEST(TextureAccessors, GetBrushTextureReadsALayer) {
    auto brush = std::make_shared<TBrush>();
    auto t = std::make_shared<TTexture>();
    brush->tex[2] = t;
    EXPECT_EQ(TTexture::GetBrushTexture(brush, 2), t);
    EXPECT_FALSE(TTexture::GetBrushTexture(brush, 0));
    EXPECT_FALSE(TTexture::GetBrushTexture(brush, 8));
    EXPECT_FALSE(TTexture::GetBrushTexture(brush, -1));
    EXPECT_FALSE(TTexture::GetBrushTexture(nullptr, 2));
}

} // namespace

namespace {

TEST(BrushCommands, ForwardToTheBrushAndIgnoreNullBrushes) {
    BrushRef b = CreateBrush(255, 128, 0);
    ASSERT_TRUE(b);
    EXPECT_FLOAT_EQ(b->green, 128.0f / 255.0f);
    BrushColor(b, 510, 0, 51);
    BrushAlpha(b, 0.5f);
    BrushShininess(b, 0.25f);
    BrushBlend(b, ADDBRUSHBLEND);
    BrushFX(b, FULLBRIGHTFX | NOCULLFX);
    FreeBrush(b); // no effect
    EXPECT_FLOAT_EQ(b->red, 2.0f);
    EXPECT_FLOAT_EQ(b->blue, 0.2f);
    EXPECT_FLOAT_EQ(b->alpha, 0.5f);
    EXPECT_FLOAT_EQ(b->shine, 0.25f);
    EXPECT_EQ(b->blend, 3);
    EXPECT_EQ(b->fx, 17);

    // BrushTexture always fills layer 0 and clamps the frame to the texture's frames.
    auto t = std::make_shared<TTexture>();
    t->no_frames = 4;
    BrushTexture(b, t, 5);
    EXPECT_EQ(GetBrushTexture(b, 0), t);
    EXPECT_EQ(b->no_texs, 1);
    EXPECT_EQ(b->tex_frame, 3);
    BrushTexture(b, t, -1);
    EXPECT_EQ(b->tex_frame, 0);

    // The entity's brush is copied, not shared.
    PivotRef p = CreatePivot(nullptr);
    BrushRef copy = GetEntityBrush(p);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, p->brush);
    BrushColor(copy, 0, 0, 0);
    EXPECT_FLOAT_EQ(p->brush->red, 1.0f);
    FreeEntity(p);

    const BrushRef none;
    BrushColor(none, 1, 2, 3);
    BrushAlpha(none, 1);
    BrushShininess(none, 1);
    BrushBlend(none, ALPHABRUSHBLEND);
    BrushFX(none, FULLBRIGHTFX);
    BrushTexture(none, t, 0);
    FreeBrush(none);
    EXPECT_FALSE(GetEntityBrush(nullptr));
}

TEST(BrushCommands, LoadBrushKeepsAMissingTextureAsAnEmptyLayer) {
    TempDir tmp;
    InDir in(tmp.dir().string());
    ::testing::internal::CaptureStderr();
    BrushRef b = LoadBrush("nothing.png", 0, 2, 2);
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->no_texs, 1);
    EXPECT_FALSE(GetBrushTexture(b, 0));
    EXPECT_FLOAT_EQ(b->red, 1.0f);
}

} // namespace
