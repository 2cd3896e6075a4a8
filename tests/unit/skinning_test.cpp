// Skinning: weighted vertex deformation into the animated surfaces, surface choice by vertex
// range, the unweighted variant and the weight clean-up.
#include "anim_fixture.h"
#include "view_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class SkinTest : public AnimTest {
  protected:
    // A camera at the origin looking along +z with a 90-degree field of view.
    static CameraRef frontCamera() {
        CameraRef cam = TCamera::CreateCamera(nullptr);
        cam->vwidth = 800;
        cam->vheight = 600;
        viewtest::loadView(*cam);
        return cam;
    }

    // A triangle of m that at rest lies far to the right of frontCamera's view (x 19..21 at
    // distance 10), on a bone at its centre that the caller keys.
    static BoneRef triangleRightOfTheView(const MeshRef& m) {
        addSurface(m, {{19.0f, -1.0f, 10.0f}, {21.0f, -1.0f, 10.0f}, {20.0f, 1.0f, 10.0f}});
        return addBone(m, m, {20.0f, 0.0f, 10.0f});
    }

    void SetUp() override {
        AnimTest::SetUp();
        mesh = animMesh(10);
    }
    void pose(float frame) { TAnimation::AnimateMesh(mesh, frame, 0, 10); }

    MeshRef mesh;
};

TEST_F(SkinTest, OneBoneCarriesItsVerticesFromTheBindPose) {
    const SurfaceRef s =
        addSurface(mesh, {{2.0f, 2.0f, 0.0f}, {1.0f, 2.0f, 5.0f}, {9.0f, 9.0f, 9.0f}});
    const std::vector<float> bind = s->vert_coords;
    BoneRef b = addBone(mesh, mesh, {1.0f, 2.0f, 0.0f});
    posKey(b, 0, 3.0f, 2.0f, 0.0f);
    rotKey(b, 0, turn(90.0f, 0.0f, 0.0f, 1.0f));
    weigh(b, 0, 1.0f);
    weigh(b, 1, 1.0f);
    pose(0.0f);
    // One unit from the joint along x, turned a quarter about z (the matrix turns by the
    // opposite angle: x goes to -y), then carried to the new joint position.
    expectVecNear(animPos(mesh, 0), {3.0f, 1.0f, 0.0f}, 1e-5f, "vertex 0");
    // On the rotation axis through the joint: moved with the joint only, z kept.
    expectVecNear(animPos(mesh, 1), {3.0f, 2.0f, 5.0f}, 1e-5f, "vertex 1");
    // Not listed by any bone: the animated position stays as it was.
    expectVecNear(animPos(mesh, 2), {9.0f, 9.0f, 9.0f}, 0.0f, "vertex 2");
    // The surface keeps the bind pose.
    EXPECT_EQ(s->vert_coords, bind);
    // Posing again gives the same positions: contributions start afresh with each pose.
    pose(0.0f);
    expectVecNear(animPos(mesh, 0), {3.0f, 1.0f, 0.0f}, 1e-5f, "vertex 0 posed twice");
}

TEST_F(SkinTest, WeightsBlendTheBonesWithoutNormalising) {
    addSurface(mesh, {{1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 2.0f}, {0.0f, 0.0f, 0.0f}});
    BoneRef a = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
    BoneRef b = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
    posKey(a, 0, 1.0f, 0.0f, 0.0f);
    posKey(b, 0, 0.0f, 2.0f, 0.0f);
    rotKey(b, 0, turn(90.0f, 0.0f, 1.0f, 0.0f));
    weigh(a, 0, 0.5f);
    weigh(b, 0, 0.5f);
    weigh(a, 1, 0.5f); // alone, half weight
    pose(0.0f);
    const Vec3 p{1.0f, 1.0f, 1.0f};
    const Vec3 pa = skinned(a, p), pb = skinned(b, p);
    expectVecNear(pa, {2.0f, 1.0f, 1.0f}, 1e-5f, "bone a alone");
    expectVecNear(
        animPos(mesh, 0),
        {0.5f * pa[0] + 0.5f * pb[0], 0.5f * pa[1] + 0.5f * pb[1], 0.5f * pa[2] + 0.5f * pb[2]},
        1e-5f, "half and half");
    expectVecNear(animPos(mesh, 1), {0.5f, 0.0f, 1.0f}, 1e-5f, "half weight");
}

TEST_F(SkinTest, BindPoseLeavesFullyWeightedVerticesInPlace) {
    const std::vector<Vec3> verts{{0.5f, 1.0f, -2.0f}, {3.0f, -1.0f, 0.25f}, {0.0f, 4.0f, 1.0f}};
    addSurface(mesh, verts);
    BoneRef a = addBone(mesh, mesh, {1.0f, -2.0f, 3.0f}, turn(40.0f, 0.0f, 1.0f, 0.0f));
    BoneRef b = addBone(mesh, a, {0.0f, 2.0f, 0.5f}, turn(-70.0f, 1.0f, 0.0f, 0.0f));
    for (int id = 0; id < 3; ++id) {
        weigh(a, id, 0.3f);
        weigh(b, id, 0.7f);
    }
    pose(5.0f); // no keys: every bone at rest
    for (int id = 0; id < 3; ++id) expectVecNear(animPos(mesh, id), verts[std::size_t(id)], 1e-5f);
}

TEST_F(SkinTest, ZeroWeightAndOutOfRangeEntriesAreSkipped) {
    addSurface(mesh, {{1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f}});
    const SurfaceRef anim = mesh->anim_surf_list.First();
    anim->vert_coords[3] = 42.0f; // vertex 1's animated x
    BoneRef b = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
    posKey(b, 0, 0.0f, 1.0f, 0.0f);
    weigh(b, 1, 0.0f);
    for (int id : {-1, 3, 65535, 1 << 30}) weigh(b, id, 1.0f);
    weigh(b, 0, 1.0f);
    b->no_verts = 50; // more than the arrays hold
    pose(0.0f);
    expectVecNear(animPos(mesh, 1), {42.0f, 0.0f, 0.0f}, 0.0f, "weight 0 keeps its position");
    expectVecNear(animPos(mesh, 0), {1.0f, 1.0f, 0.0f}, 1e-6f, "valid entry moved");

    // An animated surface shorter than its surface (vertices added after loading): the
    // vertices it does not hold are skipped.
    anim->vert_coords.resize(3);
    weigh(b, 2, 1.0f);
    pose(0.0f);
    EXPECT_EQ(anim->vert_coords.size(), 3u);
    expectVecNear(animPos(mesh, 0), {1.0f, 1.0f, 0.0f}, 1e-6f, "still moved");
}

TEST_F(SkinTest, MeshWithoutAnimatedSurfacesIsPosedWithoutDeforming) {
    // A mesh built in code: surfaces but no animated companions.
    SurfaceRef s = mesh->CreateSurface(nullptr);
    s->AddVertex(1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f);
    BoneRef b = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
    posKey(b, 0, 5.0f, 0.0f, 0.0f);
    weigh(b, 0, 1.0f);
    pose(0.0f);
    EXPECT_EQ(mesh->anim_render, 1);
    EXPECT_FLOAT_EQ(b->mat.grid[3][0], 5.0f);
    EXPECT_FLOAT_EQ(s->VertexX(0), 1.0f);
}

TEST_F(SkinTest, OneSurfaceIgnoresTheVertexRange) {
    SurfaceRef s = addSurface(mesh, {{1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f}});
    s->vmin = 100;
    s->vmax = 200;
    BoneRef b = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
    posKey(b, 0, 0.0f, 0.0f, 1.0f);
    weigh(b, 2, 1.0f);
    pose(0.0f);
    expectVecNear(animPos(mesh, 2), {3.0f, 0.0f, 1.0f}, 1e-6f);
}

TEST_F(SkinTest, SeveralSurfacesMoveEachVertexInTheSurfaceWhoseRangeHoldsIt) {
    // Both surfaces hold all four vertices; the first one's triangles use 0..1, the second's 2.
    const std::vector<Vec3> verts{
        {1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}};
    SurfaceRef s1 = addSurface(mesh, verts);
    SurfaceRef s2 = addSurface(mesh, verts);
    s1->vmin = 0;
    s1->vmax = 1;
    s2->vmin = 2;
    s2->vmax = 2;
    BoneRef b = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
    posKey(b, 0, 0.0f, 10.0f, 0.0f);
    for (int id = 0; id < 4; ++id) weigh(b, id, 1.0f);
    pose(0.0f);
    struct Case {
        int id;
        bool in_first, in_second;
    };
    // Vertex 3 lies in no range: the last surface pair takes it.
    for (const Case c :
         {Case{0, true, false}, Case{1, true, false}, Case{2, false, true}, Case{3, false, true}}) {
        const float x = float(c.id + 1);
        expectVecNear(animPos(mesh, c.id, 0), {x, c.in_first ? 10.0f : 0.0f, 0.0f}, 1e-6f,
                      "first, vertex " + std::to_string(c.id));
        expectVecNear(animPos(mesh, c.id, 1), {x, c.in_second ? 10.0f : 0.0f, 0.0f}, 1e-6f,
                      "second, vertex " + std::to_string(c.id));
    }
}

TEST_F(SkinTest, UnweightedVariantPlacesVerticesAtTheBonesTransform) {
    addSurface(mesh, {{1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 0.0f}});
    BoneRef b = addBone(mesh, mesh, {0.0f, 1.0f, 0.0f});
    posKey(b, 0, 2.0f, 1.0f, -1.0f);
    rotKey(b, 0, turn(90.0f, 1.0f, 0.0f, 0.0f));
    weigh(b, 0, 0.3f);
    pose(0.0f); // sets the bone's matrix; the weighted pass leaves 0.3 x M p
    const Vec3 full = skinned(b, {1.0f, 2.0f, 3.0f});
    expectVecNear(animPos(mesh, 0), {0.3f * full[0], 0.3f * full[1], 0.3f * full[2]}, 1e-5f,
                  "weighted");
    TAnimation::Touched unused;
    TAnimation::VertexDeform1(mesh, b, unused);
    expectVecNear(animPos(mesh, 0), full, 1e-6f, "unweighted");
    expectVecNear(full, {3.0f, 4.0f, -2.0f}, 1e-5f, "the turn itself");
    // Null arguments do nothing.
    TAnimation::VertexDeform1(nullptr, b, unused);
    TAnimation::VertexDeform(mesh, nullptr, unused);
    TAnimation::UpdateWeights(nullptr);
}

TEST_F(SkinTest, UpdateWeightsKeepsFourInfluencesAndRenormalises) {
    addSurface(mesh, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    std::vector<BoneRef> bones;
    for (int i = 0; i < 5; ++i) bones.push_back(addBone(mesh, mesh, {0.0f, 0.0f, 0.0f}));
    struct Case {
        const char* what;
        int id;
        std::vector<float> in;  // weight given by bone i
        std::vector<float> out; // weight held by bone i afterwards
    };
    const std::vector<Case> cases{
        {"fifth replaces the smallest",
         0,
         {0.1f, 0.2f, 0.3f, 0.4f, 0.25f},
         {0.0f, 0.2f / 1.15f, 0.3f / 1.15f, 0.4f / 1.15f, 0.25f / 1.15f}},
        {"fifth equal to the smallest is dropped",
         1,
         {0.2f, 0.3f, 0.2f, 0.1f, 0.1f},
         {0.2f / 0.8f, 0.3f / 0.8f, 0.2f / 0.8f, 0.1f / 0.8f, 0.0f}},
        {"sum 1 unchanged", 2, {0.5f, 0.5f, 0.0f, 0.0f, 0.0f}, {0.5f, 0.5f, 0.0f, 0.0f, 0.0f}},
        {"sum within the window unchanged",
         3,
         {0.495f, 0.5f, 0.0f, 0.0f, 0.0f},
         {0.495f, 0.5f, 0.0f, 0.0f, 0.0f}},
        {"negative weight dropped, the rest scaled",
         4,
         {-0.5f, 0.25f, 0.0f, 0.0f, 0.0f},
         {0.0f, 1.0f, 0.0f, 0.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < bones.size(); ++i) {
            if (c.in[i] != 0.0f) weigh(bones[i], c.id, c.in[i]);
        }
    }
    // An id outside the first surface is left as it is.
    weigh(bones[0], 7, 0.3f);
    TAnimation::UpdateWeights(mesh);
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < bones.size(); ++i) {
            const BoneRef& b = bones[i];
            for (std::size_t e = 0; e < b->verts_id.size(); ++e) {
                if (b->verts_id[e] != c.id) continue;
                EXPECT_NEAR(b->verts_w[e], c.out[i], 1e-6f) << c.what << ", bone " << i;
            }
        }
    }
    EXPECT_FLOAT_EQ(bones[0]->verts_w.back(), 0.3f);
}

} // namespace

namespace {

TEST_F(SkinTest, CameraCullsAPosedMeshByItsPosedVertices) {
    CameraRef cam = frontCamera();
    // The bone carries the triangle to straight ahead.
    BoneRef b = triangleRightOfTheView(mesh);
    posKey(b, 0, 0.0f, 0.0f, 10.0f);
    for (int id = 0; id < 3; ++id) weigh(b, id, 1.0f);
    EXPECT_EQ(cam->EntityInView(mesh), 0.0f) << "not posed yet: drawn at rest, outside";
    pose(0.0f);
    EXPECT_GT(cam->EntityInView(mesh), 0.0f) << "posed into the view";
    EXPECT_FLOAT_EQ(mesh->MeshWidth(), 2.0f) << "the mesh's own box stays the rest pose";
    EXPECT_FLOAT_EQ(mesh->min_x, 19.0f);

    // Moved 20 to the left the rest pose would lie straight ahead, but the posed triangle (the
    // one drawn) lies at x -21..-19: outside.
    mesh->PositionEntity(-20.0f, 0.0f, 0.0f, 0);
    EXPECT_EQ(cam->EntityInView(mesh), 0.0f);
    cam->FreeEntity();
}

TEST_F(SkinTest, EveryPosingPathMovesTheCullSphereWithThePose) {
    // The triangle of the test above, its bone keyed at rest at frame 0 and straight ahead at
    // frame 10; each way of posing the mesh at frame 10 must bring it into the camera's view.
    struct Path {
        const char* name;
        // Poses mesh (and may hand back another mesh to look at); returns the mesh to test.
        MeshRef (*pose)(const MeshRef& mesh);
    };
    const Path paths[] = {
        {"SetAnimTime",
         [](const MeshRef& m) {
             m->SetAnimTime(10.0f, 0);
             return m;
         }},
        {"Animate and UpdateWorld",
         [](const MeshRef& m) {
             m->Animate(3, 1.0f, 0, 0);
             for (int step = 0; step <= 10; ++step) TGlobal::UpdateWorld(1.0f);
             return m;
         }},
        {"a copy of the posed mesh",
         [](const MeshRef& m) {
             m->SetAnimTime(10.0f, 0);
             auto copy = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
             // Back at rest: the copy keeps the pose it was made with.
             m->SetAnimTime(0.0f, 0);
             return copy;
         }},
        {"a copy posed after copying",
         [](const MeshRef& m) {
             auto copy = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
             copy->SetAnimTime(10.0f, 0);
             return copy;
         }},
    };
    for (const Path& path : paths) {
        TEntity::entity_list = CreateList<EntityRef>();
        mesh = animMesh(10);
        CameraRef cam = frontCamera();
        BoneRef b = triangleRightOfTheView(mesh);
        posKey(b, 0, 20.0f, 0.0f, 10.0f);
        posKey(b, 10, 0.0f, 0.0f, 10.0f);
        for (int id = 0; id < 3; ++id) weigh(b, id, 1.0f);
        ASSERT_EQ(cam->EntityInView(mesh), 0.0f) << path.name << ": at rest, outside";
        const MeshRef posed = path.pose(mesh);
        ASSERT_TRUE(posed) << path.name;
        EXPECT_GT(cam->EntityInView(posed), 0.0f) << path.name;
        cam->FreeEntity();
    }
}

} // namespace
