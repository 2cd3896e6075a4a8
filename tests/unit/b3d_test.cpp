// Model loading: the B3D reader (format, hierarchy, geometry, brushes, bones and keys), the
// load commands, collapsing a hierarchy into one mesh, and files that are cut short or
// corrupt. Textures cannot be uploaded without a display, so these files name textures only
// to check how they are looked up; tests/gl covers loaded textures.
#include "engine/b3d.h"
#include "engine/bone.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "platform/stream.h"
#include "tests/unit/b3d_writer.h"
#include "tests/unit/entity_fixture.h"
#include "tests/unit/temp_dir.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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
    }
    void TearDown() override {
        EXPECT_EQ(CurrentDir(), dir_before_) << "the load left the working directory changed";
        SceneTest::TearDown();
    }

    std::string write(const Bytes& bytes, const std::string& name = "model.b3d") {
        return tmp_.write(name, bytes);
    }
    // LoadAnimMesh on the bytes; the debug log of the load goes to `log`.
    MeshRef load(const Bytes& bytes, const EntityRef& parent = nullptr) {
        const std::string file = write(bytes);
        ::testing::internal::CaptureStderr();
        MeshRef m = LoadAnimMesh(file, parent);
        log = ::testing::internal::GetCapturedStderr();
        return m;
    }
    bool logged(const std::string& text) const {
#ifdef NDEBUG
        (void)text;
        return true; // release builds keep the debug log silent
#else
        return log.find(text) != std::string::npos;
#endif
    }
    // The log holds no such line (always true where the debug log is silent).
    bool notLogged(const std::string& text) const {
        return log.find(text) == std::string::npos;
    }

    TempDir tmp_;
    std::string log;

  private:
    std::string dir_before_;
};

std::vector<EntityRef> children(const EntityRef& e) {
    return e->child_list.ToVector();
}

// Every entity below root holds only what the engine can use safely: triangles name vertices
// of their surface, the weights of a mesh's bones name vertices of that mesh, key tables are as
// long as announced, animated surfaces match the surfaces one to one.
void expectSound(const EntityRef& root) {
    std::function<void(const EntityRef&)> walk = [&](const EntityRef& e) {
        ASSERT_TRUE(e);
        if (auto* b = dynamic_cast<TBone*>(e.get())) {
            ASSERT_TRUE(b->keys);
            const std::size_t n = std::size_t(b->keys->frames) + 1;
            for (const auto* t :
                 {&b->keys->px, &b->keys->py, &b->keys->pz, &b->keys->sx, &b->keys->sy,
                  &b->keys->sz, &b->keys->qw, &b->keys->qx, &b->keys->qy, &b->keys->qz}) {
                EXPECT_EQ(t->size(), n);
            }
            EXPECT_EQ(b->keys->flags.size(), n);
            EXPECT_EQ(b->verts_id.size(), std::size_t(b->no_verts));
            EXPECT_EQ(b->verts_w.size(), std::size_t(b->no_verts));
        }
        if (auto* m = dynamic_cast<TMesh*>(e.get())) {
            int most = 0;
            for (const SurfaceRef& s : *m->surf_list) {
                ASSERT_TRUE(s);
                most = std::max(most, s->no_verts);
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
            for (const BoneRef& b : m->bones) {
                for (int id : b->verts_id) {
                    EXPECT_GE(id, 0);
                    EXPECT_LT(id, most);
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
    EXPECT_TRUE(logged("quad.png"));
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
        EXPECT_TRUE(logged("No display for texture: quad.png"));
        EXPECT_TRUE(notLogged("Cannot find texture")) << log;
    }
    // Loaded from a folder without the texture beside the model, it is reported missing.
    InDir in(tmp_.dir().string());
    tmp_.write("quad.b3d", quadModel());
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(LoadAnimMesh("quad.b3d", nullptr));
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(logged("ERROR: Cannot find texture: quad.png"));
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
    EXPECT_EQ(hip->verts_w, (std::vector<float>{1.0f, 0.5f}));
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

    // Two key chunks for one bone: the kinds of frame 10 combine.
    ASSERT_TRUE(hip->keys);
    const TAnimationKeys& k = *hip->keys;
    EXPECT_EQ(k.frames, 10);
    ASSERT_EQ(k.flags.size(), 11u);
    EXPECT_EQ(k.flags[0], 1);
    EXPECT_EQ(k.flags[10], 5);
    EXPECT_EQ(k.flags[5], 0);
    EXPECT_FLOAT_EQ(k.px[0], 1.0f);
    EXPECT_FLOAT_EQ(k.pz[10], 3.0f) << "keys are stored as read";
    EXPECT_FLOAT_EQ(k.qz[10], 1.0f);
    ASSERT_TRUE(knee->keys);
    EXPECT_EQ(knee->keys->flags, std::vector<int>(11, 0));
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
        EXPECT_TRUE(logged(c.failure)) << c.what << "\n" << log;
        EXPECT_EQ(listed(), std::vector<EntityRef>{holder}) << c.what;
        EXPECT_EQ(holder->CountChildren(), 0) << c.what;
    }
    // A directory where the file should be.
    std::filesystem::create_directories(tmp_.dir() / "dir.b3d");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadAnimMesh(tmp_.path("dir.b3d"), nullptr));
    EXPECT_FALSE(LoadMesh(tmp_.path("dir.b3d"), nullptr));
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(logged("File not found"));
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
        {"keys for frames outside the animation",
         [](B3DWriter& w) {
             triangleMesh(w);
             w.Anim(3);
             B3DKey a, b, c;
             a.frame = 3;
             b.frame = 4;
             c.frame = -1;
             w.Node("b").Bone({}).Keys(1, {a, b, c}).End();
         },
         "key for a frame outside",
         [](const MeshRef& m) {
             EXPECT_EQ(m->bones.First()->keys->flags, (std::vector<int>{0, 0, 0, 1}));
         }},
        {"keys without a bone",
         [](B3DWriter& w) {
             triangleMesh(w);
             w.Keys(1, {B3DKey{}});
         },
         "keys without a bone", [](const MeshRef& m) { EXPECT_EQ(m->bones.Count(), 0); }},
        {"more vertices than a surface holds",
         [](B3DWriter& w) {
             std::vector<std::vector<float>> vs;
             for (int i = 0; i < 65537; ++i) vs.push_back({float(i), 0, 0, 0, 0, 1});
             w.Mesh(-1).Vrts(1, 0, 0, vs).Tris(-1, {{0, 1, 65535}, {0, 1, 65536}});
         },
         "vertices in one list",
         [](const MeshRef& m) {
             EXPECT_EQ(m->GetSurface(1)->CountVertices(), 65536);
             EXPECT_EQ(m->GetSurface(1)->CountTriangles(), 1);
         }},
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
            EXPECT_TRUE(logged(c.warning)) << c.what << "\n" << log;
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
