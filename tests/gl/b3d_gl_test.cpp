// Model files with textures: the textures a model names are loaded from the model's folder with
// the file's settings, shared between loads and carried into a collapsed mesh.
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/texture.h"
#include "engine_fixture.h"
#include "platform/pixmap.h"
#include "platform/stream.h"

#include "../unit/b3d_writer.h"
#include "../unit/temp_dir.h"

#include <filesystem>

namespace {
using namespace gltest;

class B3DTextureTest : public EngineSceneTest {
  protected:
    void SetUp() override {
        EngineSceneTest::SetUp();
        std::filesystem::create_directories(tmp_.dir() / "models");
        PixmapRef skin = CreatePixmap(4, 4, PF_RGBA8888);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) skin->WritePixel(x, y, Rgb(40 * x, 60 * y, 200));
        }
        ASSERT_TRUE(SavePixmapPNG(skin, tmp_.path("models/skin.png")));

        // Two triangles in two child meshes, both painted with the one textured brush.
        B3DWriter w;
        w.Header();
        w.Texs({{"skin.png", 65536 + 1, 3, 0.25f, 0.5f, 2.0f, 4.0f, 30.0f}});
        w.Brus(1, {{"skin", 1, 1, 1, 1, 0, 1, 0, {0}}});
        w.Node("root");
        for (const char* name : {"left", "right"}) {
            w.Node(name).Mesh(0);
            w.Vrts(0, 1, 2, {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, 0, 0, 1, 0}});
            w.Tris(0, {{0, 1, 2}}).End().End();
        }
        file_ = tmp_.write("models/pair.b3d", w.Finish());
    }

    TempDir tmp_;
    std::string file_;
};

TEST_F(B3DTextureTest, TexturesComeFromTheModelsFolderWithTheFilesSettings) {
    const std::string before = CurrentDir();
    const int listed = CountList(TTexture::tex_list);
    MeshRef root = LoadAnimMesh(file_, nullptr);
    EXPECT_EQ(CurrentDir(), before);
    ASSERT_TRUE(root);
    ASSERT_EQ(root->CountChildren(), 2);
    auto left = std::dynamic_pointer_cast<TMesh>(root->GetChild(1));
    ASSERT_TRUE(left && left->GetSurface(1) && left->GetSurface(1)->brush);
    TextureRef tex = left->GetSurface(1)->brush->tex[0];
    ASSERT_TRUE(tex);
    EXPECT_EQ(TextureName(tex), tmp_.path("models/skin.png"));
    EXPECT_EQ(tex->coords, 1);
    EXPECT_EQ(tex->flags & 65536, 0);
    EXPECT_EQ(tex->flags & 1, 1);
    EXPECT_EQ(tex->blend, 3);
    EXPECT_FLOAT_EQ(tex->u_pos, 0.25f);
    EXPECT_FLOAT_EQ(tex->v_pos, 0.5f);
    EXPECT_FLOAT_EQ(tex->u_scale, 2.0f); // as the file gives it, not inverted
    EXPECT_FLOAT_EQ(tex->v_scale, 4.0f);
    EXPECT_FLOAT_EQ(tex->angle, 30.0f);
    EXPECT_EQ(TextureWidth(tex), 4);
    // The entity brush took the brush's texture too.
    EXPECT_EQ(left->brush->tex[0], tex);
    EXPECT_EQ(CountList(TTexture::tex_list), listed + 1);

    // A second load shares the texture; collapsing keeps it and merges the equal brushes.
    MeshRef flat = LoadMesh(file_, nullptr);
    ASSERT_TRUE(flat);
    EXPECT_EQ(CountList(TTexture::tex_list), listed + 1);
    ASSERT_EQ(flat->CountSurfaces(), 1);
    EXPECT_EQ(flat->GetSurface(1)->CountTriangles(), 2);
    EXPECT_EQ(flat->GetSurface(1)->brush->tex[0], tex);
    FreeTexture(tex);
}

} // namespace
