// Model loading: the B3D reader (format, hierarchy, geometry, brushes, bones and keys), the
// load commands, collapsing a hierarchy into one mesh, and files that are cut short or
// corrupt. Textures cannot be uploaded without a display, so these files name textures only
// to check how they are looked up; tests/gl covers loaded textures.
#include "engine/animation.h"
#include "engine/b3d.h"
#include "engine/bone.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "engine/texture.h"
#include "platform/stream.h"
#include "platform/testing.h"
#include "tests/unit/b3d_writer.h"
#include "tests/unit/entity_fixture.h"
#include "tests/unit/temp_dir.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

// Every change of the working directory in this test program passes through here and is
// counted; the system call does the work.
std::atomic<int> chdir_calls{0};
extern "C" int chdir(const char* path) noexcept {
    ++chdir_calls;
    return int(::syscall(SYS_chdir, path));
}

namespace {

constexpr float kS45 = 0.70710678f; // sin 45 = cos 45

using Bytes = std::vector<std::uint8_t>;

using InDir = ScopedWorkingDir;

// A textured quad: one texture (coordinate set 1), one brush using it, one mesh of four
// vertices with normals, colours and one set of (u, v), two triangles.
Bytes quadModel() {
    B3DWriter w;
    w.Header();
    w.Texs({{"quad.png", 65536 + 1, 3, 0.25f, 0.5f, 2.0f, 4.0f, 30.0f}});
    w.Brus(2, {{"paint", 0.5f, 0.25f, 1.0f, 0.5f, 0.75f, 3, 4, {0, -1}}});
    w.Node("quad").Mesh(0);
    w.Vrts(1 | 2, 1, 2,
           {{-1, -1, 2, 0, 0, -1, 1.0f, 0.5f, 0.0f, 1.0f, 0, 1},
            {-1, 1, 2, 0, 0, -1, 0.0f, 1.0f, 0.0f, 0.5f, 0, 0},
            {1, 1, 2, 0, 0, -1, 0.0f, 0.0f, 1.0f, 1.0f, 1, 0},
            {1, -1, 2, 0, 0, -1, 0.2f, 0.2f, 0.2f, 1.0f, 1, 1}});
    w.Tris(0, {{0, 1, 2}, {0, 2, 3}});
    return w.Finish();
}

// Three vertices of a triangle in the x-y plane, without normals or colours.
const std::vector<std::vector<float>> kTriangle = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};

void triangleMesh(B3DWriter& w, int brush = -1) {
    w.Mesh(brush).Vrts(0, 0, 0, kTriangle).Tris(brush, {{0, 1, 2}}).End();
}

// An empty root at (1, 2, 3) holding "child" (a triangle at (10, 0, 0)) with its own child
// "grandchild" (0, 1, 0), then "sibling" (0, 0, 5).
Bytes hierarchyModel() {
    B3DWriter w;
    w.Header();
    w.Node("root", {1, 2, 3});
    w.Node("child", {10, 0, 0});
    triangleMesh(w);
    w.Node("grandchild", {0, 1, 0});
    triangleMesh(w);
    w.End().End();
    w.Node("sibling", {0, 0, 5});
    triangleMesh(w);
    w.End();
    return w.Finish();
}

// A skinned mesh: four vertices, an animation of 10 frames, bone "hip" (turned 90 degrees
// about y, at (0, 1, 2)) with position and rotation keys in two chunks, and bone "knee" below
// it without keys.
Bytes boneModel() {
    B3DWriter w;
    w.Header();
    w.Node("body").Mesh(-1);
    w.Vrts(1, 0, 0,
           {{0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}});
    w.Tris(-1, {{0, 1, 2}, {0, 2, 3}});
    w.End();
    w.Anim(10);
    w.Node("hip", {0, 1, 2}, {1, 1, 1}, {kS45, 0, kS45, 0});
    w.Bone({{0, 1.0f}, {1, 0.5f}});
    B3DKey k0, k10;
    k0.frame = 0;
    k0.p[0] = 1;
    k10.frame = 10;
    k10.p[2] = 3;
    w.Keys(1, {k0, k10});
    B3DKey r10;
    r10.frame = 10;
    r10.q[0] = 0;
    r10.q[3] = 1;
    w.Keys(4, {r10});
    w.Node("knee", {0, -1, 0});
    w.Bone({{2, 1.0f}, {3, 1.0f}});
    w.End().End();
    return w.Finish();
}

// Each test starts from empty entity and texture lists and a scratch folder.
class B3DTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        dir_before_ = CurrentDir();
        testseam::ForgetWarnings();
    }
    void TearDown() override {
        EXPECT_EQ(CurrentDir(), dir_before_) << "the load left the working directory changed";
        SceneTest::TearDown();
    }

    std::string write(const Bytes& bytes, const std::string& name = "model.b3d") {
        return tmp_.write(name, bytes);
    }
    // LoadAnimMesh on the bytes; what the load writes to the error stream goes to `log`.
    MeshRef load(const Bytes& bytes, const EntityRef& parent = nullptr) {
        const std::string file = write(bytes);
        testseam::ForgetWarnings(); // cases reuse the file name
        ::testing::internal::CaptureStderr();
        MeshRef m = LoadAnimMesh(file, parent);
        log = ::testing::internal::GetCapturedStderr();
        return m;
    }
    // The load's warnings (its own and the textures') reach the error stream in every build.
    bool reported(const std::string& text) const { return log.find(text) != std::string::npos; }
    bool notReported(const std::string& text) const { return log.find(text) == std::string::npos; }

    TempDir tmp_;
    std::string log;

  private:
    std::string dir_before_;
};

std::vector<EntityRef> children(const EntityRef& e) {
    return e->child_list.ToVector();
}

// Every entity below root holds only what the engine can use safely: triangles name vertices
// of their surface, the weights of a mesh's bones name vertices of that mesh, key tracks are in
// frame order from 0 up, animated surfaces match the surfaces one to one.
void expectSound(const EntityRef& root) {
    std::function<void(const EntityRef&)> walk = [&](const EntityRef& e) {
        ASSERT_TRUE(e);
        if (auto* b = dynamic_cast<TBone*>(e.get())) {
            ASSERT_TRUE(b->keys);
            for (const auto* t : {&b->keys->position, &b->keys->scale, &b->keys->rotation}) {
                for (std::size_t i = 0; i < t->size(); ++i) {
                    EXPECT_GE((*t)[i].frame, 0);
                    if (i > 0) {
                        EXPECT_LT((*t)[i - 1].frame, (*t)[i].frame);
                    }
                }
            }
            EXPECT_EQ(b->verts_id.size(), std::size_t(b->no_verts));
            EXPECT_EQ(b->verts_w.size(), std::size_t(b->no_verts));
        }
        if (auto* m = dynamic_cast<TMesh*>(e.get())) {
            for (const SurfaceRef& s : *m->surf_list) {
                ASSERT_TRUE(s);
                ASSERT_GE(s->vert_coords.size(), std::size_t(3 * s->no_verts));
                ASSERT_GE(s->vert_norm.size(), std::size_t(3 * s->no_verts));
                ASSERT_GE(s->vert_col.size(), std::size_t(4 * s->no_verts));
                ASSERT_GE(s->vert_tex_coords1.size(), std::size_t(2 * s->no_verts));
                for (int t = 0; t < s->no_tris; ++t) {
                    for (int c = 0; c < 3; ++c) ASSERT_LT(s->TriangleVertex(t, c), s->no_verts);
                }
            }
            if (m->anim) {
                EXPECT_EQ(m->anim_surf_list.Count(), m->surf_list->Count());
            }
            const int named = TAnimation::SkinVertexCount(*m);
            for (const BoneRef& b : m->bones) {
                for (int id : b->verts_id) {
                    EXPECT_GE(id, 0);
                    EXPECT_LT(id, named);
                }
            }
        }
        for (const EntityRef& c : e->child_list) walk(c);
    };
    walk(root);
}

void expectNear3(const float* got, std::vector<float> want, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[std::size_t(i)], 1e-5f) << what << i;
}

} // namespace

// ---- Format primitives ----

TEST(B3DFormat, TagsArePeekedAndStringsEndAtZeroOrTheEnd) {
    StreamRef s = TStream::OpenMemory({'T', 'R', 'I', 'S', 'a', 'b', 0, 'c', 'd'});
    EXPECT_EQ(TModel::ReadTag(s), "TRIS");
    EXPECT_EQ(StreamPos(s), 0);
    SeekStream(s, 4);
    EXPECT_EQ(TModel::b3dReadString(s), "ab");
    EXPECT_EQ(TModel::b3dReadString(s), "cd"); // runs into the end
    EXPECT_EQ(TModel::ReadTag(s), std::string(4, '\0'));
    for (const char* t : {"TEXS", "BRUS", "NODE", "ANIM", "MESH", "VRTS", "TRIS", "BONE", "KEYS"}) {
        EXPECT_EQ(TModel::NewTag(t), 1) << t;
    }
    for (const char* t : {"BB3D", "tris", "TRI", "TRISX", ""}) EXPECT_EQ(TModel::NewTag(t), 0) << t;
}

// ---- Geometry, brushes and textures ----

TEST_F(B3DTest, TexturedQuadKeepsVerticesTrianglesAndItsBrush) {
    MeshRef m = load(quadModel());
    ASSERT_TRUE(m);
    EXPECT_EQ(m->class_name, "Mesh");
    EXPECT_EQ(m->name, "quad");
    EXPECT_EQ(listed(), std::vector<EntityRef>{m});
    ASSERT_EQ(m->CountSurfaces(), 1);
    SurfaceRef s = m->GetSurface(1);
    ASSERT_EQ(s->CountVertices(), 4);
    ASSERT_EQ(s->CountTriangles(), 2);
    EXPECT_EQ((std::vector<int>{s->vmin, s->vmax}), (std::vector<int>{0, 3}));

    // Positions and normals come back as the file gives them; colours as 0-255 and alpha.
    EXPECT_FLOAT_EQ(s->VertexX(2), 1.0f);
    EXPECT_FLOAT_EQ(s->VertexY(2), 1.0f);
    EXPECT_FLOAT_EQ(s->VertexZ(2), 2.0f);
    EXPECT_FLOAT_EQ(s->vert_coords[2], -2.0f); // stored mirrored
    EXPECT_FLOAT_EQ(s->VertexNZ(0), -1.0f);
    EXPECT_FLOAT_EQ(s->vert_col[0], 1.0f);
    EXPECT_FLOAT_EQ(s->vert_col[1], 0.5f);
    EXPECT_FLOAT_EQ(s->VertexAlpha(1), 0.5f);
    EXPECT_FLOAT_EQ(s->vert_col[12], 0.2f); // kept exactly, not through 0-255
    EXPECT_FLOAT_EQ(s->VertexU(2, 0), 1.0f);
    EXPECT_FLOAT_EQ(s->VertexV(0, 0), 1.0f);
    EXPECT_EQ((std::vector<int>{s->TriangleVertex(1, 0), s->TriangleVertex(1, 1),
                                s->TriangleVertex(1, 2)}),
              (std::vector<int>{0, 2, 3}));

    // The surface holds the file's brush; the entity brush took its values.
    ASSERT_TRUE(s->brush);
    const TBrush& b = *s->brush;
    EXPECT_EQ((std::vector<float>{b.red, b.green, b.blue, b.alpha, b.shine}),
              (std::vector<float>{0.5f, 0.25f, 1.0f, 0.5f, 0.75f}));
    EXPECT_EQ(b.blend, 3);
    EXPECT_EQ(b.fx, 4);
    EXPECT_EQ(b.no_texs, 2);
    // No display: the texture cannot be made, its slot and the empty one stay empty.
    EXPECT_FALSE(b.tex[0]);
    EXPECT_FALSE(b.tex[1]);
    ASSERT_TRUE(m->brush);
    EXPECT_FLOAT_EQ(m->brush->green, 0.25f);
    EXPECT_EQ(m->brush->no_texs, 2);
    EXPECT_TRUE(reported("quad.png"));
    expectSound(m);
}

TEST_F(B3DTest, TexturesAreLookedUpBesideTheModel) {
    std::filesystem::create_directories(tmp_.dir() / "models");
    std::filesystem::create_directories(tmp_.dir() / "work");
    tmp_.write("models/quad.png", {1, 2, 3});
    tmp_.write("models/quad.b3d", quadModel());
    {
        InDir in(tmp_.path("work"));
        ::testing::internal::CaptureStderr();
        MeshRef m = LoadAnimMesh("../models/quad.b3d", nullptr);
        log = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(CurrentDir(), tmp_.path("work"));
        ASSERT_TRUE(m);
        // Found in the model's folder (it is the display that is missing, not the file).
        EXPECT_TRUE(reported("No display for texture: quad.png"));
        EXPECT_TRUE(notReported("Cannot find texture")) << log;
    }
    // Loaded from a folder without the texture beside the model, it is reported missing.
    InDir in(tmp_.dir().string());
    tmp_.write("quad.b3d", quadModel());
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(LoadAnimMesh("quad.b3d", nullptr));
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(reported("Cannot find texture: quad.png (looked for quad.png)"));
}

TEST_F(B3DTest, ALoadNeverChangesTheWorkingDirectory) {
    // Texture names as exporters write them: bare, in a folder below the model's, a path of
    // another machine (found by its bare name), and one that is nowhere. Each is looked up from
    // the model's folder while the working directory stays where it is, at every moment.
    std::filesystem::create_directories(tmp_.dir() / "models" / "tex");
    std::filesystem::create_directories(tmp_.dir() / "work");
    for (const char* f : {"models/quad.png", "models/tex/sub.png", "models/bare.png"}) {
        tmp_.write(f, {1, 2, 3});
    }
    tmp_.write("work/gone.png", {1, 2, 3}); // in the working directory, not beside the model
    B3DWriter w;
    w.Header().Texs({{"quad.png"}, {"tex/sub.png"}, {"D:\\art\\bare.png"}, {"gone.png"}});
    w.Node("m");
    triangleMesh(w);
    tmp_.write("models/m.b3d", w.Finish());
    InDir in(tmp_.path("work"));
    testseam::ForgetWarnings();
    const int before = chdir_calls;
    ::testing::internal::CaptureStderr();
    MeshRef m = LoadAnimMesh("../models/m.b3d", nullptr);
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(chdir_calls, before) << "the load changed the working directory";
    ASSERT_TRUE(m) << log;
    for (const char* found : {"quad.png", "tex/sub.png", "bare.png"}) {
        EXPECT_TRUE(reported(std::string("No display for texture: ") + found)) << log;
    }
    EXPECT_TRUE(reported("Cannot find texture: gone.png (looked for ../models/gone.png)")) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
}

TEST_F(B3DTest, TextureNamesResolveAgainstAFolderAsIfItWereTheWorkingDirectory) {
    std::filesystem::create_directories(tmp_.dir() / "models" / "tex");
    std::filesystem::create_directories(tmp_.dir() / "work");
    tmp_.write("models/quad.png", {1});
    tmp_.write("models/tex/sub.png", {1});
    tmp_.write("work/only_here.png", {1});
    std::filesystem::create_directory_symlink(tmp_.dir() / "models", tmp_.dir() / "link");
    InDir in(tmp_.path("work"));
    const std::string models = std::filesystem::canonical(tmp_.dir() / "models").string();
    const struct {
        std::string name, folder, found;
    } found[] = {
        {"quad.png", "../models", "quad.png"},
        {"tex/sub.png", "../models", "tex/sub.png"},
        {"tex\\quad.png", "../models", "quad.png"},
        {"C:\\x\\sub.png", "../models/tex", "sub.png"},
        {"quad.png", "../link", "quad.png"},
        {models + "/tex/sub.png", "elsewhere", models + "/tex/sub.png"}, // absolute: as named
        {"quad.png", models, "quad.png"},
        {"only_here.png", "", "only_here.png"}, // no folder: the working directory
    };
    for (const auto& c : found) {
        std::string name = c.name;
        EXPECT_EQ(TTexture::FileFind(name, c.folder), 1) << c.name << " in " << c.folder;
        EXPECT_EQ(name, c.found) << c.name << " in " << c.folder;
    }
    testseam::ForgetWarnings();
    ::testing::internal::CaptureStderr();
    std::string missing = "only_here.png";
    EXPECT_EQ(TTexture::FileFind(missing, "../models"), 0) << "not looked for in the working one";
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "Cannot find texture: only_here.png (looked for ../models/only_here.png)\n");

    // The absolute name is the folder's own, links resolved, as the working directory would
    // name it once entered.
    EXPECT_EQ(TTexture::FileAbs("tex/sub.png", "../link"), models + "/tex/sub.png");
    EXPECT_EQ(TTexture::FileAbs("quad.png", "../models"), models + "/quad.png");
    EXPECT_EQ(TTexture::FileAbs("/abs/x.png", "../models"), "/abs/x.png");
    EXPECT_EQ(TTexture::FileAbs("x.png", ""), CurrentDir() + "/x.png");
}

TEST_F(B3DTest, TrianglesChunksShareASurfaceOnlyInOneRunWithOneBrush) {
    B3DWriter w;
    w.Header();
    w.Brus(0, {{},
               {},
               {.name = "red", .green = 0, .blue = 0, .texs = {}},
               {.name = "blue", .red = 0, .green = 0, .texs = {}}});
    w.Node("root");
    w.Node("same").Mesh(-1).Vrts(0, 0, 0, kTriangle);
    w.Tris(2, {{0, 1, 2}}).Tris(2, {{0, 1, 2}}).End().End();
    w.Node("two").Mesh(-1).Vrts(1, 0, 0,
                                {{0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}});
    w.Tris(2, {{0, 1, 2}}).Tris(3, {{2, 1, 0}});
    MeshRef root = load(w.Finish());
    ASSERT_TRUE(root);
    ASSERT_EQ(root->CountChildren(), 2);
    auto same = std::dynamic_pointer_cast<TMesh>(root->GetChild(1));
    auto two = std::dynamic_pointer_cast<TMesh>(root->GetChild(2));
    ASSERT_TRUE(same && two);
    ASSERT_EQ(same->CountSurfaces(), 1);
    EXPECT_EQ(same->GetSurface(1)->CountTriangles(), 2);
    EXPECT_FLOAT_EQ(same->GetSurface(1)->brush->red, 1.0f);
    // Without normals in the file they are computed: the unit face normal.
    SurfaceRef s1 = same->GetSurface(1);
    EXPECT_FLOAT_EQ(s1->VertexNZ(0), s1->TriangleNZ(0) / std::fabs(s1->TriangleNZ(0)));

    ASSERT_EQ(two->CountSurfaces(), 2);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(two->GetSurface(i)->CountVertices(), 3) << "each surface holds the whole list";
        EXPECT_EQ(two->GetSurface(i)->CountTriangles(), 1);
    }
    EXPECT_FLOAT_EQ(two->GetSurface(2)->brush->blue, 1.0f);
    EXPECT_FLOAT_EQ(two->GetSurface(1)->VertexNZ(0), 1.0f) << "the file's normals are kept";
}

TEST_F(B3DTest, VertexEntriesConsumeEveryTextureComponent) {
    // Two sets of four components: u, v, w kept, the fourth skipped; the third set skipped.
    B3DWriter w;
    w.Header().Node("uv").Mesh(-1);
    w.Vrts(0, 3, 4,
           {{0, 0, 0, 0.1f, 0.2f, 0.3f, 9, 0.5f, 0.6f, 0.7f, 9, 9, 9, 9, 9},
            {1, 2, 3, 0.4f, 0.5f, 0.6f, 9, 0.8f, 0.9f, 1.0f, 9, 9, 9, 9, 9}});
    w.Tris(-1, {{0, 1, 0}});
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m);
    SurfaceRef s = m->GetSurface(1);
    ASSERT_EQ(s->CountVertices(), 2);
    EXPECT_FLOAT_EQ(s->VertexX(1), 1.0f);
    EXPECT_FLOAT_EQ(s->VertexZ(1), 3.0f);
    EXPECT_FLOAT_EQ(s->VertexU(1, 0), 0.4f);
    EXPECT_FLOAT_EQ(s->VertexV(1, 1), 0.9f);
    // Without colours in the file the vertices stay white and opaque.
    EXPECT_FLOAT_EQ(s->VertexRed(1), 255.0f);
    EXPECT_FLOAT_EQ(s->VertexAlpha(1), 1.0f);
}

// ---- Hierarchy ----

TEST_F(B3DTest, NodesNestByTheirLengthsUnderTheCallersParent) {
    PivotRef holder = CreatePivot(nullptr);
    MeshRef root = load(hierarchyModel(), holder);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetParent(), holder);
    EXPECT_EQ(root->name, "root");
    EXPECT_EQ(root->CountSurfaces(), 0) << "a node without geometry is an empty mesh";
    EXPECT_FLOAT_EQ(root->pz, -3.0f);
    expectNear3(root->mat.grid[3], {1, 2, -3}, "root translation ");
    EXPECT_FLOAT_EQ(root->mat.grid[0][0], 1.0f);

    const auto kids = children(root);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0]->name, "child");
    EXPECT_EQ(kids[1]->name, "sibling");
    ASSERT_EQ(kids[0]->CountChildren(), 1);
    EntityRef grand = kids[0]->GetChild(1);
    EXPECT_EQ(grand->name, "grandchild");
    expectNear3(grand->mat.grid[3], {11, 3, -3}, "grandchild translation ");
    expectNear3(kids[1]->mat.grid[3], {1, 2, -8}, "sibling translation ");
    EXPECT_EQ(CountList(TEntity::entity_list), 5);
    for (const EntityRef& e : {EntityRef(root), kids[0], kids[1], grand}) {
        EXPECT_EQ(e->class_name, "Mesh");
        EXPECT_TRUE(inList(e));
    }
    expectSound(root);
}

TEST_F(B3DTest, ANodeRotationIsMirroredLikeTheEntitysOwnTransform) {
    // Turned 90 degrees about y in the file, scaled by 2 in x.
    B3DWriter w;
    w.Header().Node("turned", {1, 2, 3}, {2, 1, 1}, {kS45, 0, kS45, 0});
    triangleMesh(w);
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m);
    EXPECT_EQ((std::vector<float>{m->qw, m->qx, m->qy, m->qz}),
              (std::vector<float>{kS45, 0, kS45, 0}));
    // The matrix the loader built equals the one the entity builds from its angles.
    TMatrix loaded = m->mat;
    m->UpdateMat(1);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(loaded.grid[i][j], m->mat.grid[i][j], 1e-5f);
    }
    EXPECT_NEAR(std::fabs(m->ry), 90.0f, 1e-3f);
    EXPECT_NEAR(EntityZ(m, 0), 3.0f, 1e-5f);
}

TEST_F(B3DTest, NodeStartingAtItsPredecessorsEndIsASiblingOneByteEarlierAChild) {
    for (const int extra : {0, 1}) {
        TEntity::entity_list = CreateList<EntityRef>();
        B3DWriter w;
        w.Header().Node("root");
        w.Node("a");
        triangleMesh(w);
        w.End(extra); // with 1, "a" claims the first byte of the next header
        w.Node("b");
        triangleMesh(w);
        MeshRef root = load(w.Finish());
        ASSERT_TRUE(root);
        const auto kids = children(root);
        if (extra == 0) {
            ASSERT_EQ(kids.size(), 2u);
            EXPECT_EQ(kids[1]->name, "b");
        } else {
            ASSERT_EQ(kids.size(), 1u);
            ASSERT_EQ(kids[0]->CountChildren(), 1);
            EXPECT_EQ(kids[0]->GetChild(1)->name, "b");
        }
    }
}

TEST_F(B3DTest, ANodeLengthIsBoundedByItsEnclosingNode) {
    // "a" claims far more than its parent "p" holds; "b", after the end of "p", is then no
    // child of "a" but the second child of the root.
    B3DWriter w;
    w.Header().Node("root").Node("p");
    triangleMesh(w);
    w.Node("a");
    triangleMesh(w);
    w.EndWithLength(100000);
    w.End(); // p
    w.Node("b");
    triangleMesh(w);
    MeshRef root = load(w.Finish());
    ASSERT_TRUE(root);
    const auto kids = children(root);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0]->name, "p");
    EXPECT_EQ(kids[0]->GetChild(1)->name, "a");
    EXPECT_EQ(kids[0]->GetChild(1)->CountChildren(), 0);
    EXPECT_EQ(kids[1]->name, "b");
    expectSound(root);
}

// ---- Bones, weights and keys ----

TEST_F(B3DTest, BonesCarryWeightsRestPoseAndKeys) {
    MeshRef body = load(boneModel());
    ASSERT_TRUE(body);
    EXPECT_EQ(body->anim, 1);
    EXPECT_EQ(body->anim_seqs_first[0], 0);
    EXPECT_EQ(body->anim_seqs_last[0], 10);
    ASSERT_EQ(body->anim_surf_list.Count(), 1);
    EXPECT_EQ(body->anim_surf_list.First()->vert_coords, body->GetSurface(1)->vert_coords);

    ASSERT_EQ(body->bones.Count(), 2);
    BoneRef hip = body->bones.ValueAtIndex(0);
    BoneRef knee = body->bones.ValueAtIndex(1);
    EXPECT_EQ(hip->name, "hip");
    EXPECT_EQ(knee->name, "knee");
    EXPECT_EQ(hip->class_name, "Bone");
    EXPECT_EQ(hip->GetParent(), body);
    EXPECT_EQ(knee->GetParent(), hip);
    EXPECT_TRUE(inList(hip));
    EXPECT_TRUE(inList(knee));
    EXPECT_EQ(CountList(TEntity::entity_list), 3);

    EXPECT_EQ(hip->verts_id, (std::vector<int>{0, 1}));
    // Vertex 1 has only the hip, at 0.5 in the file: its weights are made to sum to one.
    EXPECT_EQ(hip->verts_w, (std::vector<float>{1.0f, 1.0f}));
    EXPECT_EQ(hip->no_verts, 2);
    EXPECT_EQ(knee->verts_id, (std::vector<int>{2, 3}));

    // Rest pose: the z of the position mirrored like every entity's, the quaternion as read.
    EXPECT_EQ((std::vector<float>{hip->rest_px, hip->rest_py, hip->rest_pz}),
              (std::vector<float>{0, 1, -2}));
    EXPECT_EQ((std::vector<float>{hip->rest_qw, hip->rest_qy}), (std::vector<float>{kS45, kS45}));
    // The rest matrix stays in the file's frame (z as read) and inv_mat undoes it.
    expectNear3(hip->mat.grid[3], {0, 1, 2}, "hip translation ");
    expectNear3(knee->mat.grid[3], {0, 0, 2}, "knee translation ");
    TMatrix product = hip->mat;
    product.Multiply(hip->inv_mat);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(product.grid[i][j], i == j ? 1.0f : 0.0f, 1e-5f);
        }
    }

    // Two key chunks for one bone: frame 10 has a position and a rotation.
    ASSERT_TRUE(hip->keys);
    const TAnimationKeys& k = *hip->keys;
    EXPECT_EQ(k.frames, 10);
    ASSERT_EQ(k.position.size(), 2u);
    EXPECT_EQ(k.position[0].frame, 0);
    EXPECT_EQ(k.position[1].frame, 10);
    EXPECT_FLOAT_EQ(k.position[0].v[0], 1.0f);
    EXPECT_FLOAT_EQ(k.position[1].v[2], 3.0f) << "keys are stored as read";
    ASSERT_EQ(k.rotation.size(), 1u);
    EXPECT_EQ(k.rotation[0].frame, 10);
    EXPECT_FLOAT_EQ(k.rotation[0].v[3], 1.0f);
    EXPECT_TRUE(k.scale.empty());
    ASSERT_TRUE(knee->keys);
    EXPECT_EQ(knee->keys->LastKeyFrame(), -1);
    expectSound(body);
}

TEST_F(B3DTest, BoneRestMatricesLeaveTheMeshPlacementOut) {
    // The animation poses bones relative to their mesh; a model loaded under a moved and turned
    // parent must get the same rest matrices as one loaded at the origin, or skinning at the
    // rest pose would move every vertex.
    MeshRef plain = load(boneModel());
    ASSERT_TRUE(plain);
    PivotRef holder = CreatePivot(nullptr);
    PositionEntity(holder, 5, -3, 7, 0);
    RotateEntity(holder, 30, 60, 10, 0);
    MeshRef placed = load(boneModel(), holder);
    ASSERT_TRUE(placed);
    ASSERT_EQ(placed->bones.Count(), 2);
    for (int b = 0; b < 2; ++b) {
        const BoneRef want = plain->bones.ValueAtIndex(b);
        const BoneRef got = placed->bones.ValueAtIndex(b);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                EXPECT_NEAR(got->mat.grid[i][j], want->mat.grid[i][j], 1e-5f)
                    << "bone " << b << " [" << i << "][" << j << "]";
                EXPECT_NEAR(got->inv_mat.grid[i][j], want->inv_mat.grid[i][j], 1e-5f);
            }
        }
    }
}

TEST_F(B3DTest, AnAnimationBeforeAnyMeshOnlySizesTheKeys) {
    B3DWriter w;
    w.Header().Anim(4).Node("root");
    triangleMesh(w);
    w.Node("bone").Bone({{0, 1.0f}});
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m);
    EXPECT_EQ(m->anim, 0);
    EXPECT_EQ(m->anim_surf_list.Count(), 0);
    ASSERT_EQ(m->bones.Count(), 1);
    EXPECT_EQ(m->bones.First()->keys->frames, 4);
}

// ---- Load commands and collapsing ----

TEST_F(B3DTest, ThreeDsNamesReadTheB3DFileAndMissingFilesGiveACube) {
    write(quadModel(), "quad.b3d");
    ::testing::internal::CaptureStderr();
    MeshRef m = LoadAnimMesh(tmp_.path("quad.3ds"), nullptr);
    EXPECT_EQ(m->name, "quad");
    // Every ".3ds" is replaced, also an earlier one.
    std::filesystem::create_directories(tmp_.dir() / "x.b3d");
    tmp_.write("x.b3d/quad.b3d", quadModel());
    EXPECT_EQ(LoadAnimMesh(tmp_.path("x.3ds/quad.3ds"), nullptr)->name, "quad");
    ::testing::internal::GetCapturedStderr();

    PivotRef holder = CreatePivot(nullptr);
    for (const std::string name : {"quad.3DS", "missing.b3d"}) {
        MeshRef cube = LoadAnimMesh(tmp_.path(name), holder);
        ASSERT_TRUE(cube) << name;
        EXPECT_EQ(cube->CountVertices(), 24) << name;
        EXPECT_FALSE(cube->GetParent()) << "the cube ignores the parent";
    }
    MeshRef flat = LoadMesh(tmp_.path("missing.b3d"), holder);
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->GetParent(), holder);
    EXPECT_EQ(flat->CountSurfaces(), 1);
    EXPECT_EQ(flat->CountVertices(), 24);
    EXPECT_EQ(flat->CountTriangles(), 12);
}

TEST_F(B3DTest, LoadMeshCollapsesTheHierarchyIntoOneMeshAndFreesIt) {
    PivotRef holder = CreatePivot(nullptr);
    const std::string file = write(hierarchyModel());
    ::testing::internal::CaptureStderr();
    MeshRef m = LoadMesh(file, holder);
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->class_name, "Mesh");
    EXPECT_EQ(m->GetParent(), holder);
    EXPECT_EQ(m->CountChildren(), 0);
    EXPECT_EQ(listed().size(), 2u) << "only the holder and the new mesh";
    // Three triangles without brushes: one surface, in depth-first order.
    ASSERT_EQ(m->CountSurfaces(), 1);
    SurfaceRef s = m->GetSurface(1);
    ASSERT_EQ(s->CountVertices(), 9);
    EXPECT_EQ(s->CountTriangles(), 3);
    EXPECT_FLOAT_EQ(s->VertexX(0), 11.0f); // child at root + (10, 0, 0)
    EXPECT_FLOAT_EQ(s->VertexY(3), 3.0f);  // grandchild one higher
    EXPECT_FLOAT_EQ(s->VertexZ(6), 8.0f);  // sibling at root + (0, 0, 5)
    EXPECT_EQ(s->TriangleVertex(2, 0), 6); // indices shifted by the earlier vertices
}

TEST_F(B3DTest, LoadMeshKeepsEveryTriangleWhereSurfacesOfOneBrushOverflow) {
    // A 60,000-vertex mesh with a 10,000-vertex child, and a grandchild of 5,000, all in one
    // brush: together they pass what one surface can hold. Every triangle is kept, with its own
    // corners, in surfaces of that brush that stay within the limit.
    const auto part = [](B3DWriter& w, int verts, float y) {
        std::vector<std::vector<float>> vs;
        std::vector<std::vector<int>> tris;
        for (int i = 0; i < verts; ++i) vs.push_back({float(i), y, 0});
        for (int i = 0; i + 2 < verts; i += 3) tris.push_back({i, i + 1, i + 2});
        w.Mesh(-1).Vrts(0, 0, 0, vs).Tris(0, tris).End();
    };
    B3DWriter w;
    w.Header().Brus(0, {B3DBrush{}}).Node("body");
    part(w, 60000, 0);
    w.Node("arm");
    part(w, 10000, 1);
    w.Node("hand");
    part(w, 5000, 2);
    const std::string file = write(w.Finish());
    ::testing::internal::CaptureStderr();
    MeshRef tree = LoadAnimMesh(file, nullptr);
    MeshRef flat = LoadMesh(file, nullptr);
    log = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(tree && flat) << log;

    // Each triangle as the sorted (x, y) of its corners.
    using Corners = std::vector<std::pair<float, float>>;
    const auto triangles = [](const TMesh& m, std::multiset<Corners>& out) {
        for (const SurfaceRef& s : *m.surf_list) {
            EXPECT_LE(s->CountVertices(), TSurface::kMaxVertices);
            ASSERT_TRUE(s->brush);
            EXPECT_FLOAT_EQ(s->brush->red, 1.0f);
            for (int t = 0; t < s->CountTriangles(); ++t) {
                Corners c;
                for (int k = 0; k < 3; ++k) {
                    const int v = s->TriangleVertex(t, k);
                    c.push_back({s->VertexX(v), s->VertexY(v)});
                }
                std::sort(c.begin(), c.end());
                out.insert(c);
            }
        }
    };
    std::multiset<Corners> want, got;
    std::function<void(const EntityRef&)> walk = [&](const EntityRef& e) {
        if (auto* m = dynamic_cast<TMesh*>(e.get())) triangles(*m, want);
        for (const EntityRef& c : e->child_list) walk(c);
    };
    walk(tree);
    triangles(*flat, got);
    EXPECT_EQ(want.size(), 20000u + 3333u + 1666u);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
    EXPECT_EQ(flat->CountSurfaces(), 2) << "the overflow continues in one more surface";
}

TEST_F(B3DTest, CollapseBakesGlobalMatricesThroughPivotsAndBones) {
    const auto triangle = [](const EntityRef& parent, const BrushRef& brush) {
        MeshRef m = CreateMesh(parent);
        SurfaceRef s = m->CreateSurface(brush);
        s->AddVertex(0, 0, 0, 0, 0, 0);
        s->AddVertex(0, 1, 0, 0, 0, 0);
        s->AddVertex(1, 0, 0, 0, 0, 0);
        s->AddTriangle(0, 1, 2);
        return m;
    };
    {
        MeshRef lone = triangle(nullptr, nullptr);
        PositionEntity(lone, 0, 5, 0, 0);
        MeshRef out = lone->CollapseAnimMesh(nullptr);
        EXPECT_FLOAT_EQ(out->GetSurface(1)->VertexY(1), 6.0f);
        EXPECT_EQ(lone->GetSurface(1)->VertexY(1), 1.0f) << "the source is unchanged";
        EXPECT_FALSE(inList(out)) << "placing the result is the caller's business";
    }
    {
        MeshRef root = CreateMesh(nullptr);
        PivotRef pivot = CreatePivot(root);
        PositionEntity(pivot, 10, 0, 0, 0);
        MeshRef grand = triangle(pivot, nullptr);
        PositionEntity(grand, 1, 0, 0, 0);
        MeshRef out = root->CollapseAnimMesh(nullptr);
        ASSERT_EQ(out->CountSurfaces(), 1);
        EXPECT_FLOAT_EQ(out->GetSurface(1)->VertexX(0), 11.0f);
    }
    {
        // Equal surface brushes merge, also into a surface the destination already had.
        BrushRef red = TBrush::CreateBrush(255, 0, 0);
        MeshRef root = CreateMesh(nullptr);
        triangle(root, red->Copy());
        triangle(root, red->Copy());
        MeshRef dest = triangle(nullptr, red->Copy());
        EXPECT_EQ(root->CollapseAnimMesh(dest), dest);
        ASSERT_EQ(dest->CountSurfaces(), 1);
        SurfaceRef s = dest->GetSurface(1);
        EXPECT_EQ(s->CountVertices(), 9);
        EXPECT_EQ(s->TriangleVertex(2, 2), 8);
    }
    {
        // A mesh node below a bone below the loaded root.
        B3DWriter w;
        w.Header().Node("root");
        triangleMesh(w);
        w.Node("bone", {0, 0, 4}).Bone({});
        w.Node("hand", {2, 0, 0});
        triangleMesh(w);
        MeshRef root = load(w.Finish());
        ASSERT_TRUE(root);
        ASSERT_TRUE(root->GetChild(1)->IsBone());
        MeshRef out = root->CollapseAnimMesh(nullptr);
        ASSERT_EQ(out->CountSurfaces(), 1);
        SurfaceRef s = out->GetSurface(1);
        ASSERT_EQ(s->CountVertices(), 6);
        EXPECT_FLOAT_EQ(s->VertexX(3), 2.0f);
        EXPECT_EQ(out->bones.Count(), 0) << "animation data is not carried";
    }
}

// ---- Bad files ----

TEST_F(B3DTest, TheModelFileIsOpenedReadOnly) {
    const std::string file = write(quadModel());
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    // Root may write anyway: make the file immutable where the file system allows it.
    int fd = ::open(file.c_str(), O_RDONLY);
    int attr = 0;
    const bool immutable = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &attr) == 0 &&
                           (attr |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &attr) == 0);
    if (std::FILE* f = std::fopen(file.c_str(), "r+")) {
        std::fclose(f);
        if (fd >= 0) ::close(fd);
        GTEST_SKIP() << "the file stays writable here";
    }
    ::testing::internal::CaptureStderr();
    MeshRef m = LoadAnimMesh(file, nullptr);
    log = ::testing::internal::GetCapturedStderr();
    if (immutable) {
        attr &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &attr);
    }
    if (fd >= 0) ::close(fd);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->CountVertices(), 4);
}

struct BadFile {
    const char* what;
    std::function<Bytes()> bytes;
    // Text the debug log must hold.
    const char* failure;
};

// A file of one node "m" holding the chunks that edit writes.
Bytes withMesh(const std::function<void(B3DWriter&)>& edit) {
    B3DWriter w;
    w.Header().Node("m");
    edit(w);
    return w.Finish();
}

TEST_F(B3DTest, InvalidFilesFailCleanlyAndFreeWhatTheyMade) {
    const std::vector<BadFile> cases = {
        {"empty file", [] { return Bytes{}; }, "Invalid b3d file"},
        {"no header tag", [] { return B3DWriter().Begin("BB3E").Int(1).Finish(); },
         "Invalid b3d file"},
        {"version 100", [] { return B3DWriter().Header(100).Finish(); },
         "Invalid b3d file version"},
        {"header only", [] { return B3DWriter().Header(99).Finish(); }, "holds no mesh"},
        {"negative version, textures and brushes only",
         [] {
             B3DWriter w;
             w.Header(-5).Texs({{"gone.png"}}).Brus(1, {{"b", 1, 1, 1, 1, 0, 1, 0, {0}}});
             return w.Finish();
         },
         "holds no mesh"},
        {"negative node length",
         [] {
             B3DWriter w;
             w.Header().Node("m");
             triangleMesh(w);
             w.EndWithLength(-40);
             return w.Finish();
         },
         "negative node length"},
        {"second top-level node",
         [] {
             B3DWriter w;
             w.Header().Node("a");
             triangleMesh(w);
             w.End().Node("b");
             triangleMesh(w);
             return w.Finish();
         },
         "more than one top-level node"},
        {"101 levels",
         [] {
             B3DWriter w;
             w.Header();
             for (int i = 0; i < 101; ++i) w.Node("n" + std::to_string(i));
             return w.Finish();
         },
         "nested deeper"},
        {"brush with 9 textures", [] { return withMesh([](B3DWriter& w) { w.Brus(9, {}); }); },
         "brush texture count"},
        {"brush with -1 textures", [] { return withMesh([](B3DWriter& w) { w.Brus(-1, {}); }); },
         "brush texture count"},
        {"negative texture-coordinate sets",
         [] { return withMesh([](B3DWriter& w) { w.Mesh(-1).Vrts(0, -1, 2, kTriangle); }); },
         "texture-coordinate"},
        {"negative frame count",
         [] {
             return withMesh([](B3DWriter& w) {
                 triangleMesh(w);
                 w.Anim(-1);
             });
         },
         "frame count"},
        {"huge frame count",
         [] {
             return withMesh([](B3DWriter& w) {
                 triangleMesh(w);
                 w.Anim(0x7fffffff);
             });
         },
         "frame count"},
        {"a bone as the root",
         [] {
             B3DWriter w;
             w.Header().Node("bone").Bone({});
             return w.Finish();
         },
         "holds no mesh"},
    };
    for (const BadFile& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        PivotRef holder = CreatePivot(nullptr);
        MeshRef m = load(c.bytes(), holder);
        EXPECT_FALSE(m) << c.what;
        EXPECT_TRUE(reported(c.failure)) << c.what << "\n" << log;
        EXPECT_EQ(listed(), std::vector<EntityRef>{holder}) << c.what;
        EXPECT_EQ(holder->CountChildren(), 0) << c.what;
    }
    // A directory where the file should be.
    std::filesystem::create_directories(tmp_.dir() / "dir.b3d");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadAnimMesh(tmp_.path("dir.b3d"), nullptr));
    EXPECT_FALSE(LoadMesh(tmp_.path("dir.b3d"), nullptr));
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(reported("File not found"));
}

TEST_F(B3DTest, AMissingModelIsACubeAndSaysSoOncePerFile) {
    ::testing::internal::CaptureStderr();
    MeshRef a = LoadAnimMesh(tmp_.path("gone.b3d"), nullptr);
    MeshRef b = LoadMesh(tmp_.path("gone.b3d"), nullptr);
    MeshRef c = LoadMesh(tmp_.path("other.3ds"), nullptr); // read as other.b3d
    log = ::testing::internal::GetCapturedStderr();
    for (const MeshRef& m : {a, b, c}) {
        ASSERT_TRUE(m);
        EXPECT_EQ(m->CountSurfaces(), 1) << "a cube stands in";
    }
    const std::string line =
        "File not found: " + tmp_.path("gone.b3d") + " (a cube stands in for the model)\n";
    EXPECT_EQ(log, line + "File not found: " + tmp_.path("other.b3d") +
                       " (a cube stands in for the model)\n");
}

TEST_F(B3DTest, DataOutsideItsTablesIsDroppedAndTheRestLoads) {
    struct Partial {
        const char* what;
        std::function<void(B3DWriter&)> edit;
        const char* warning;
        std::function<void(const MeshRef&)> check;
    };
    const std::vector<Partial> cases = {
        {"triangle corners past the list and negative",
         [](B3DWriter& w) {
             w.Mesh(-1).Vrts(0, 0, 0, kTriangle).Tris(-1, {{0, 1, 3}, {0, 1, 2}, {-1, 0, 1}});
         },
         "triangle naming a vertex",
         [](const MeshRef& m) { EXPECT_EQ(m->GetSurface(1)->CountTriangles(), 1); }},
        {"triangles before any vertex list",
         [](B3DWriter& w) {
             w.Mesh(-1).Tris(-1, {{0, 1, 2}});
         },
         "triangle naming a vertex", [](const MeshRef& m) { EXPECT_EQ(m->CountTriangles(), 0); }},
        {"triangles before any mesh",
         [](B3DWriter& w) {
             w.Tris(-1, {{0, 1, 2}}).Mesh(-1).Vrts(0, 0, 0, kTriangle).Tris(-1, {{0, 1, 2}});
         },
         "triangles outside a mesh", [](const MeshRef& m) { EXPECT_EQ(m->CountTriangles(), 1); }},
        {"brush ids past the brush list",
         [](B3DWriter& w) {
             w.Brus(1, {{"b", 0, 1, 0, 1, 0, 1, 0, {5}}});
             w.Mesh(7).Vrts(0, 0, 0, kTriangle).Tris(-9, {{0, 1, 2}});
         },
         "brush id outside",
         [](const MeshRef& m) {
             EXPECT_FALSE(m->GetSurface(1)->brush);
             EXPECT_FLOAT_EQ(m->brush->green, 1.0f);
         }},
        {"texture id past the texture list",
         [](B3DWriter& w) {
             w.Brus(1, {{"b", 0, 1, 0, 1, 0, 1, 0, {3}}});
             triangleMesh(w, 0);
         },
         "texture id outside",
         [](const MeshRef& m) {
             ASSERT_TRUE(m->GetSurface(1)->brush);
             EXPECT_FALSE(m->GetSurface(1)->brush->tex[0]);
         }},
        {"weights naming vertices outside the mesh",
         [](B3DWriter& w) {
             triangleMesh(w);
             w.Node("b").Bone({{0, 1}, {3, 1}, {-2, 1}, {2, 0.5f}}).End();
         },
         "bone weight naming",
         [](const MeshRef& m) {
             EXPECT_EQ(m->bones.First()->verts_id, (std::vector<int>{0, 2}));
         }},
        {"keys past the animation's length and before frame 0",
         [](B3DWriter& w) {
             triangleMesh(w);
             w.Anim(3);
             B3DKey a, b, c;
             a.frame = 3;
             b.frame = 4;
             c.frame = -1;
             w.Node("b").Bone({}).Keys(1, {a, b, c}).End();
         },
         "key for a negative frame",
         [](const MeshRef& m) {
             // Every key from frame 0 up is kept, and the animation reaches the last one.
             const auto& keys = m->bones.First()->keys->position;
             ASSERT_EQ(keys.size(), 2u);
             EXPECT_EQ(keys[0].frame, 3);
             EXPECT_EQ(keys[1].frame, 4);
             EXPECT_EQ(m->anim_seqs_last[0], 4);
         }},
        {"keys without a bone",
         [](B3DWriter& w) {
             triangleMesh(w);
             w.Keys(1, {B3DKey{}});
         },
         "keys without a bone", [](const MeshRef& m) { EXPECT_EQ(m->bones.Count(), 0); }},
        {"a huge texture component count",
         [](B3DWriter& w) {
             w.Mesh(-1).Vrts(0, 0x7fffffff, 0x7fffffff, {{1, 2, 3, 0.5f}});
         },
         "", [](const MeshRef& m) { EXPECT_EQ(m->CountTriangles(), 0); }},
        {"an unknown chunk with a wrong length between known ones",
         [](B3DWriter& w) {
             w.Mesh(-1).Vrts(0, 0, 0, kTriangle);
             w.Begin("XTRA").Int(77).EndWithLength(9999);
             w.Tris(-1, {{0, 1, 2}});
         },
         "", [](const MeshRef& m) { EXPECT_EQ(m->CountTriangles(), 1); }},
    };
    for (const Partial& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        MeshRef m = load(withMesh(c.edit));
        ASSERT_TRUE(m) << c.what << "\n" << log;
        if (*c.warning) {
            EXPECT_TRUE(reported(c.warning)) << c.what << "\n" << log;
        }
        c.check(m);
        expectSound(m);
    }
}

TEST_F(B3DTest, EveryTruncationAndCorruptedWordLoadsSafely) {
    const std::string file = tmp_.path("model.b3d");
    const auto loadsSafely = [&](const Bytes& bytes, const std::string& what) {
        TEntity::entity_list = CreateList<EntityRef>();
        tmp_.write("model.b3d", bytes);
        if (MeshRef m = LoadAnimMesh(file, nullptr)) {
            expectSound(m);
            // Whatever was kept poses without reading outside its tables.
            TAnimation::AnimateMesh(m, 0.5f, 0, m->anim_seqs_last[0]);
        } else {
            EXPECT_EQ(CountList(TEntity::entity_list), 0) << what;
        }
    };
    ::testing::internal::CaptureStderr(); // one capture for the whole sweep
    for (const Bytes& model : {quadModel(), hierarchyModel(), boneModel()}) {
        for (std::size_t n = 0; n < model.size(); ++n) {
            loadsSafely(Bytes(model.begin(), model.begin() + std::ptrdiff_t(n)),
                        "cut at " + std::to_string(n));
        }
        // Each aligned word replaced by extreme values: counts, ids, lengths and floats alike.
        for (std::size_t at = 4; at + 4 <= model.size(); at += 4) {
            for (const std::int32_t v : {-1, 0x7fffffff, 65536}) {
                Bytes bad = model;
                std::memcpy(&bad[at], &v, 4);
                loadsSafely(bad, "word " + std::to_string(at) + " = " + std::to_string(v));
            }
        }
    }
    ::testing::internal::GetCapturedStderr();
}

// ---- Models as exporters write them ----

using Vec3 = std::array<float, 3>;

// The posed positions (command coordinates) of listed vertex id at every surface that holds it.
std::vector<Vec3> posedPlaces(const MeshRef& m, int id) {
    std::vector<Vec3> out;
    if (!m->skin_map || id >= m->skin_map->Count()) return out;
    for (int i = m->skin_map->first[std::size_t(id)]; i < m->skin_map->first[std::size_t(id) + 1];
         ++i) {
        const TSkinMap::Place& p = m->skin_map->places[std::size_t(i)];
        const float* v =
            m->anim_surf_list.ValueAtIndex(p.surface)->vert_coords.data() + 3 * p.vertex;
        out.push_back({v[0], v[1], -v[2]});
    }
    return out;
}

void expectPlacesAt(const MeshRef& m, int id, const Vec3& want, const std::string& what) {
    const std::vector<Vec3> got = posedPlaces(m, id);
    ASSERT_FALSE(got.empty()) << what;
    for (const Vec3& g : got) {
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(g[k], want[k], 1e-4f) << what << " [" << k << "]";
    }
}

B3DKey posKeyAt(int frame, float x, float y, float z) {
    B3DKey k;
    k.frame = frame;
    k.p[0] = x;
    k.p[1] = y;
    k.p[2] = z;
    return k;
}

// A writer holding node "body" (left open) with the triangle mesh and an animation of frames.
B3DWriter animatedTriangle(int frames) {
    B3DWriter w;
    w.Header().Node("body");
    triangleMesh(w);
    w.Anim(frames);
    return w;
}

TEST_F(B3DTest, RawWeightsAreMadeToSumToOne) {
    // Vertex 0 is held at 1.0 by a bone that stays and at 1.0 by one that rises 4: it goes up
    // by half of that, as with weights of 0.5 each, instead of flying off to twice its place.
    B3DWriter w;
    w.Header().Node("body");
    w.Mesh(-1).Vrts(0, 0, 0, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}).Tris(-1, {{0, 1, 2}}).End();
    w.Anim(2);
    w.Node("head").Bone({{0, 1.0f}, {1, 1.0f}, {2, 1.0f}}).End();
    w.Node("ear").Bone({{0, 1.0f}}).Keys(1, {posKeyAt(0, 0, 0, 0), posKeyAt(2, 0, 4, 0)}).End();
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    TAnimation::AnimateMesh(m, 2.0f, 0, 2);
    expectPlacesAt(m, 0, {1, 2, 0}, "shared vertex");
    expectPlacesAt(m, 1, {0, 1, 0}, "head-only vertex");
}

TEST_F(B3DTest, BoneScaleTakesPartInRestAndPose) {
    // "hip" is scaled 5 at the origin; "leg" hangs 1 below it in hip units, so 5 below in the
    // mesh. Vertex 0 sits 10 below (5 below the leg joint) and belongs to the leg, vertex 1 sits
    // 10 below and belongs to the hip, vertex 2 stays with the hip at the origin.
    B3DWriter w;
    w.Header().Node("body");
    w.Mesh(-1).Vrts(0, 0, 0, {{0, -10, 0}, {0, -10, 0.5f}, {0, 0, 0}}).Tris(-1, {{0, 1, 2}}).End();
    w.Anim(2);
    B3DKey s0, s2;
    s0.frame = 0;
    s2.frame = 2;
    for (int k = 0; k < 3; ++k) {
        s0.s[k] = 5.0f;
        s2.s[k] = 3.0f;
    }
    w.Node("hip", {0, 0, 0}, {5, 5, 5}).Bone({{1, 1.0f}, {2, 1.0f}}).Keys(2, {s0, s2});
    B3DKey r0, r2;
    r0.frame = 0;
    r2.frame = 2;
    r2.q[0] = kS45; // a quarter turn about z
    r2.q[3] = kS45;
    w.Node("leg", {0, -1, 0}).Bone({{0, 1.0f}}).Keys(4, {r0, r2}).End().End();
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    ASSERT_EQ(m->bones.Count(), 2);
    const BoneRef leg = m->bones.ValueAtIndex(1);

    // The rest pose leaves every vertex where it is.
    TAnimation::AnimateMesh(m, 0.0f, 0, 2);
    expectPlacesAt(m, 0, {0, -10, 0}, "rest, leg vertex");
    expectPlacesAt(m, 1, {0, -10, 0.5f}, "rest, hip vertex");
    expectNear3(leg->mat.grid[3], {0, -5, 0}, "leg joint at rest ");

    // Frame 1: the hip's scale halfway from 5 to 3, the leg a half quarter-turn.
    TAnimation::AnimateMesh(m, 1.0f, 0, 2);
    expectPlacesAt(m, 1, {0, -8, 0.4f}, "hip vertex at scale 4");
    expectNear3(leg->mat.grid[3], {0, -4, 0}, "leg joint at scale 4 ");

    // Frame 2: hip scale 3, the leg turned a quarter about its joint (3 below the origin): its
    // vertex, 1 leg unit (3 mesh units) below the joint, swings out level with it.
    TAnimation::AnimateMesh(m, 2.0f, 0, 2);
    const Vec3 v = posedPlaces(m, 0).at(0);
    EXPECT_NEAR(v[1], -3.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(v[0]), 3.0f, 1e-4f);
    EXPECT_NEAR(v[2], 0.0f, 1e-4f);
}

TEST_F(B3DTest, AVertexOfSeveralSurfacesMovesInEach) {
    // Two brushes split a quad into two surfaces that share vertices 0 and 2; each surface holds
    // only its own three vertices, and the bone moves the shared ones in both.
    B3DWriter w;
    w.Header();
    B3DBrush a, b;
    a.name = "a";
    b.name = "b";
    w.Brus(0, {a, b});
    w.Node("body");
    w.Mesh(-1).Vrts(0, 0, 0, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}});
    w.Tris(0, {{0, 1, 2}}).Tris(1, {{0, 2, 3}}).End();
    w.Anim(1);
    w.Node("b").Bone({{0, 1.0f}, {1, 1.0f}, {2, 1.0f}, {3, 1.0f}});
    w.Keys(1, {posKeyAt(0, 0, 0, 0), posKeyAt(1, 0, 0, 3)}).End();
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    ASSERT_EQ(m->CountSurfaces(), 2);
    EXPECT_EQ(m->GetSurface(1)->CountVertices(), 3);
    EXPECT_EQ(m->GetSurface(2)->CountVertices(), 3);
    MeshRef copy = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
    for (const MeshRef& mesh : {m, copy}) {
        TAnimation::AnimateMesh(mesh, 1.0f, 0, 1);
        ASSERT_EQ(posedPlaces(mesh, 0).size(), 2u);
        ASSERT_EQ(posedPlaces(mesh, 2).size(), 2u);
        expectPlacesAt(mesh, 0, {0, 0, 3}, "vertex 0");
        expectPlacesAt(mesh, 2, {1, 1, 3}, "vertex 2");
        expectPlacesAt(mesh, 3, {1, 0, 3}, "vertex 3");
    }
}

TEST_F(B3DTest, ABoneUnderAPlainNodeKeepsTheModelInPlace) {
    // "bone" hangs under "offset", a plain node 10 along x. In its rest pose the model stays
    // where it is; a key 1 up in the bone's own frame lifts it by 1.
    B3DWriter w = animatedTriangle(1);
    w.Node("offset", {10, 0, 0});
    w.Node("bone").Bone({{0, 1.0f}, {1, 1.0f}, {2, 1.0f}});
    w.Keys(1, {posKeyAt(0, 0, 0, 0), posKeyAt(1, 0, 1, 0)}).End().End();
    const Bytes file = w.Finish();
    for (const EntityRef& parent : {EntityRef(), EntityRef(CreatePivot(nullptr))}) {
        if (parent) {
            PositionEntity(parent, 3, 4, 5, 0);
            TurnEntity(parent, 20, 30, 40, 0);
        }
        MeshRef m = load(file, parent);
        ASSERT_TRUE(m) << log;
        TAnimation::AnimateMesh(m, 0.0f, 0, 1);
        for (int id = 0; id < 3; ++id) {
            const auto& v = kTriangle[std::size_t(id)];
            expectPlacesAt(m, id, {v[0], v[1], v[2]}, "rest, vertex " + std::to_string(id));
        }
        TAnimation::AnimateMesh(m, 1.0f, 0, 1);
        expectPlacesAt(m, 1, {0, 2, 0}, "lifted");
    }
}

TEST_F(B3DTest, KeysOneFramePastTheAnimationAreKeptAndFrameZeroHoldsTheFirst) {
    // An animation of 4 frames with keys at 1 .. 5 (x = 10 x frame), as exporters write it.
    B3DWriter w = animatedTriangle(4);
    std::vector<B3DKey> keys;
    for (int f = 1; f <= 5; ++f) keys.push_back(posKeyAt(f, 10.0f * float(f), 0, 0));
    w.Node("b").Bone({{0, 1.0f}}).Keys(1, keys).End();
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    EXPECT_TRUE(notReported("WARNING")) << log;
    EXPECT_EQ(m->anim_seqs_last[0], 5) << "the animation reaches its last key";
    const BoneRef b = m->bones.First();
    struct Case {
        float frame, x;
    };
    for (const Case c : {Case{0.0f, 10.0f}, Case{0.5f, 10.0f}, Case{1.5f, 15.0f}, Case{4.0f, 40.0f},
                         Case{5.0f, 50.0f}}) {
        TAnimation::AnimateMesh(m, c.frame, 0, m->anim_seqs_last[0]);
        EXPECT_NEAR(b->pose_x, c.x, 1e-4f) << "frame " << c.frame;
    }
}

TEST_F(B3DTest, ALongVertexListKeepsEveryTriangle) {
    // 70,000 vertices on the x axis, triangles (3k, 3k+1, 3k+2) plus one that joins the first
    // and the last vertex: every triangle stays, split over surfaces of at most 65,536 vertices.
    constexpr int kVerts = 70000;
    std::vector<std::vector<float>> vs;
    for (int i = 0; i < kVerts; ++i) vs.push_back({float(i), 0, 0});
    std::vector<std::vector<int>> tris;
    for (int i = 0; i + 2 < kVerts; i += 3) tris.push_back({i, i + 1, i + 2});
    tris.push_back({0, 1, kVerts - 1});
    B3DWriter w;
    w.Header().Node("big");
    w.Mesh(-1).Vrts(0, 0, 0, vs).Tris(-1, tris).End();
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    EXPECT_TRUE(notReported("WARNING")) << log;
    EXPECT_EQ(m->CountTriangles(), int(tris.size()));
    EXPECT_GE(m->CountSurfaces(), 2);

    // Each written triangle is found once, with its own corners.
    std::multiset<std::vector<int>> want, got;
    for (auto t : tris) {
        std::sort(t.begin(), t.end());
        want.insert(t);
    }
    int verts = 0;
    for (int i = 1; i <= m->CountSurfaces(); ++i) {
        const SurfaceRef s = m->GetSurface(i);
        EXPECT_LE(s->CountVertices(), TSurface::kMaxVertices);
        verts += s->CountVertices();
        for (int t = 0; t < s->CountTriangles(); ++t) {
            std::vector<int> corners;
            for (int c = 0; c < 3; ++c) corners.push_back(int(s->VertexX(s->TriangleVertex(t, c))));
            std::sort(corners.begin(), corners.end());
            got.insert(corners);
        }
    }
    EXPECT_TRUE(got == want);
    EXPECT_LE(verts, kVerts + 3) << "a surface holds only the vertices its triangles use";
}

TEST_F(B3DTest, ManyBonesAndAHugeFrameCountCostOnlyWhatTheFileHolds) {
    // 2,000 bones in an animation of the longest allowed length, each with one key at its end:
    // key tables sized bones x frames would take gigabytes; the tracks hold one key each.
    constexpr int kBones = 2000;
    B3DWriter w = animatedTriangle(TModel::kMaxFrames);
    for (int i = 0; i < kBones; ++i) {
        w.Node("b" + std::to_string(i)).Bone({{i % 3, 1.0f}});
        w.Keys(1 | 2 | 4, {posKeyAt(TModel::kMaxFrames, 1, 0, 0)}).End();
    }
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    ASSERT_EQ(m->bones.Count(), kBones);
    for (const BoneRef& b : m->bones) {
        ASSERT_EQ(b->keys->position.size(), 1u);
        EXPECT_LE(b->keys->position.capacity() + b->keys->scale.capacity() +
                      b->keys->rotation.capacity(),
                  6u);
    }
    // Before its only key, each bone holds that key's pose.
    TAnimation::AnimateMesh(m, 50000.0f, 0, TModel::kMaxFrames);
    EXPECT_FLOAT_EQ(m->bones.First()->pose_x, 1.0f);
}

// ---- Hostile lengths and what a load owns ----

TEST_F(B3DTest, ChunkLengthsOfAnyValueLoadSafely) {
    // Every chunk's length field of each model set to the extremes of its range: only a node's
    // length is used, and no value of any of them reaches arithmetic unchecked (the sanitizer
    // builds catch an overflow). What loads is sound and goes entirely when freed.
    B3DWriter keyed = animatedTriangle(5);
    keyed.Node("b").Bone({{0, 1.0f}}).Keys(1 | 2 | 4, {B3DKey{}}).Keys(1, {posKeyAt(3, 1, 2, 3)});
    const std::vector<Bytes> models = {quadModel(), hierarchyModel(), boneModel(), keyed.Finish()};
    ::testing::internal::CaptureStderr();
    for (std::size_t mi = 0; mi < models.size(); ++mi) {
        const Bytes& model = models[mi];
        for (std::size_t at = 0; at + 8 <= model.size(); ++at) {
            const std::string tag(model.begin() + std::ptrdiff_t(at),
                                  model.begin() + std::ptrdiff_t(at + 4));
            if (TModel::NewTag(tag) != 1) continue;
            for (const std::int32_t v :
                 {INT_MIN, INT_MIN + 3, -4, -1, 0, 3, INT_MAX - 3, INT_MAX}) {
                Bytes bad = model;
                std::memcpy(&bad[at + 4], &v, 4);
                const std::string what = "model " + std::to_string(mi) + " " + tag + " at " +
                                         std::to_string(at) + " length " + std::to_string(v);
                TEntity::entity_list = CreateList<EntityRef>();
                const std::string file = write(bad);
                if (MeshRef m = LoadAnimMesh(file, nullptr)) {
                    expectSound(m);
                    TAnimation::AnimateMesh(m, 2.5f, 0, m->anim_seqs_last[0]);
                    m->FreeEntity();
                }
                EXPECT_EQ(CountList(TEntity::entity_list), 0) << what;
            }
        }
    }
    ::testing::internal::GetCapturedStderr();

    // A bone in a file of 28 bytes whose key chunk claims the lowest length there is.
    const Bytes tiny = {'B', 'B', '3', 'D', 0, 0, 0,   0,   1,   0,   0, 0, 'B', 'O',
                        'N', 'E', 0,   0,   0, 0, 'K', 'E', 'Y', 'S', 0, 0, 0,   0x80};
    EXPECT_FALSE(load(tiny));
    EXPECT_TRUE(reported("holds no mesh")) << log;
}

TEST_F(B3DTest, KeyTracksReserveOnlyWhatTheirChunksHold) {
    // 50 bones of one key each whose chunks claim the longest length, followed by a large
    // vertex list: room is made for the keys each chunk holds, not for what the bytes after it
    // could hold.
    B3DWriter w = animatedTriangle(10);
    for (int i = 0; i < 50; ++i) {
        w.Node("b" + std::to_string(i)).Bone({{0, 1.0f}});
        // One key: frame, position, scale, rotation.
        w.Begin("KEYS").Int(1 | 2 | 4).Int(i % 10);
        for (float v : {1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}) w.Float(v);
        w.EndWithLength(INT_MAX).End();
    }
    std::vector<std::vector<float>> many;
    for (int i = 0; i < 20000; ++i) many.push_back({float(i), 0, 0});
    w.Node("far").Mesh(-1).Vrts(0, 0, 0, many).Tris(-1, {{0, 1, 2}}).End().End();
    MeshRef m = load(w.Finish());
    ASSERT_TRUE(m) << log;
    ASSERT_EQ(m->bones.Count(), 50);
    for (const BoneRef& b : m->bones) {
        ASSERT_EQ(b->keys->position.size(), 1u) << b->name;
        EXPECT_EQ(b->keys->position.capacity() + b->keys->scale.capacity() +
                      b->keys->rotation.capacity(),
                  3u)
            << b->name;
    }
}

TEST_F(B3DTest, EverythingALoadMakesGoesWithTheModel) {
    // Entities made where the file has no node for them to hang from: each joins the model, so
    // freeing the model leaves nothing behind, load after load.
    const std::vector<std::pair<const char*, std::function<Bytes()>>> cases = {
        {"a bone in the root node",
         [] {
             B3DWriter w;
             w.Header().Node("root");
             triangleMesh(w);
             w.Bone({{0, 1.0f}}).Keys(1, {posKeyAt(0, 1, 0, 0)});
             return w.Finish();
         }},
        {"a second mesh in the root node",
         [] {
             B3DWriter w;
             w.Header().Node("root");
             triangleMesh(w);
             triangleMesh(w);
             return w.Finish();
         }},
        {"children of a root node that makes nothing",
         [] {
             B3DWriter w;
             w.Header().Node("root").Keys(1, {});
             for (const char* name : {"a", "b", "c"}) {
                 w.Node(name);
                 triangleMesh(w);
                 w.Bone({});
                 w.End();
             }
             return w.Finish();
         }},
    };
    for (const auto& [what, make] : cases) {
        const Bytes bytes = make();
        for (int round = 0; round < 100; ++round) {
            MeshRef m = load(bytes);
            ASSERT_TRUE(m) << what << "\n" << log;
            if (round == 0) {
                expectSound(m);
                // Every listed entity is the model or lies below it.
                for (const EntityRef& e : listed()) {
                    EntityRef top = e;
                    while (top->GetParent()) top = top->GetParent();
                    EXPECT_TRUE(top == m) << what << ": " << e->name << " lies outside the model";
                }
            }
            m->FreeEntity();
            ASSERT_EQ(CountList(TEntity::entity_list), 0) << what << ", round " << round;
        }
    }
}
