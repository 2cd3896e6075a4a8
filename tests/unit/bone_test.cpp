// Bones and key tracks: defaults, deep copies, copying bone hierarchies and freeing bones.
#include "engine/bone.h"
#include "engine/mesh.h"

#include "bone_fixture.h"
#include "entity_fixture.h"

#include <memory>

namespace {

class BoneTest : public SceneTest {};

TEST(AnimationKeysTest, TracksStaySortedWithOneKeyPerFrameAndCopyDeeply) {
    TAnimationKeys k;
    EXPECT_EQ(k.LastKeyFrame(), -1);
    // Set keeps frame order whatever order the keys come in; a frame set again takes the value.
    TAnimationKeys::SetKey(k.position, 5, 5, 0, 0);
    TAnimationKeys::SetKey(k.position, 1, 1, 0, 0);
    TAnimationKeys::SetKey(k.position, 3, 3, 0, 0);
    TAnimationKeys::SetKey(k.position, 3, 30, 0, 0);
    ASSERT_EQ(k.position.size(), 3u);
    EXPECT_EQ(k.position[0].frame, 1);
    EXPECT_EQ(k.position[1].frame, 3);
    EXPECT_EQ(k.position[1].v[0], 30.0f);
    EXPECT_EQ(k.position[2].frame, 5);

    // Appended keys are sorted once; of equal frames the last appended stays.
    TAnimationKeys::AppendKey(k.rotation, 9, 1, 0, 0, 0);
    TAnimationKeys::AppendKey(k.rotation, 2, 0.5f, 0, 0, 0);
    TAnimationKeys::AppendKey(k.rotation, 9, 0.25f, 0, 0, 0);
    TAnimationKeys::AppendKey(k.scale, 7, 2, 2, 2);
    k.SortKeys();
    ASSERT_EQ(k.rotation.size(), 2u);
    EXPECT_EQ(k.rotation[0].frame, 2);
    EXPECT_EQ(k.rotation[1].frame, 9);
    EXPECT_EQ(k.rotation[1].v[0], 0.25f);
    EXPECT_EQ(k.LastKeyFrame(), 9);

    k.frames = 4;
    AnimationKeysRef c = k.Copy();
    EXPECT_EQ(c->frames, 4);
    ASSERT_EQ(c->position.size(), 3u);
    c->position[0].v[0] = 99;
    EXPECT_EQ(k.position[0].v[0], 1.0f);
    ASSERT_EQ(c->scale.size(), 1u);
    EXPECT_EQ(c->scale[0].v[1], 2.0f);
}

TEST_F(BoneTest, NewBoneDefaults) {
    BoneRef b = TBone::New();
    EXPECT_TRUE(b->IsBone());
    EXPECT_EQ(b->EntityClass(), "") << "the loader names it";
    EXPECT_FALSE(inList(b));
    EXPECT_EQ(b->no_verts, 0);
    EXPECT_TRUE(b->verts_id.empty());
    EXPECT_EQ(b->keys, nullptr);
    EXPECT_EQ(b->rest_qw, 0.0f);
    EXPECT_EQ(b->pick_mode, 0);
    EXPECT_EQ(b->collision_type, 0);
    EXPECT_EQ(b->anim, 0);
    EXPECT_EQ(b->Update(), 0);
}

TEST_F(BoneTest, CopyEntityCopiesTheBoneAndItsChildren) {
    PivotRef target = TPivot::CreatePivot(nullptr);
    target->PositionEntity(0, 0, 4, 0);
    BoneRef b = placedBone(nullptr, "hip");
    b->mat.LoadIdentity();
    b->mat.Translate(1, 2, 3);
    b->px = 1;
    b->pz = -3;
    b->qw = 0.5f;
    b->order = 4;
    b->HideEntity();
    b->rest_px = 1;
    b->rest_pz = -2;
    b->rest_sy = 3;
    b->rest_rz = 45;
    b->rest_qw = 0.7f;
    b->rest_qz = 0.1f;
    b->no_verts = 2;
    b->verts_id = {4, 8, 0};
    b->verts_w = {0.25f, 0.75f, 0};
    b->keys->frames = 1;
    TAnimationKeys::SetKey(b->keys->position, 1, 5, 0, 0);
    b->inv_mat.LoadIdentity();
    b->inv_mat.grid[3][0] = -1;
    b->pose_y = 6;
    b->pose_qx = 0.3f;
    b->brush->BrushColor(0, 0, 0);
    b->pick_mode = 1;
    BoneRef knee = placedBone(b, "knee");

    auto c = std::dynamic_pointer_cast<TBone>(b->CopyEntity(target));
    ASSERT_TRUE(c);
    EXPECT_TRUE(inList(c));
    EXPECT_EQ(c->GetParent(), target);
    EXPECT_EQ(c->EntityClass(), "Bone");
    EXPECT_EQ(c->name, "hip");
    EXPECT_EQ(c->hide, 0) << "a copy is shown";
    EXPECT_EQ(c->order, 4);
    EXPECT_EQ(c->px, 1.0f);
    EXPECT_EQ(c->pz, -3.0f);
    EXPECT_EQ(c->qw, 0.5f);
    EXPECT_EQ(c->rest_px, 1.0f);
    EXPECT_EQ(c->rest_pz, -2.0f);
    EXPECT_EQ(c->rest_sy, 3.0f);
    EXPECT_EQ(c->rest_rz, 45.0f);
    EXPECT_EQ(c->rest_qw, 0.7f);
    EXPECT_EQ(c->rest_qz, 0.1f);
    EXPECT_EQ(c->no_verts, 2);
    EXPECT_EQ(c->verts_id, b->verts_id);
    EXPECT_EQ(c->verts_w, b->verts_w);
    EXPECT_EQ(c->pose_y, 6.0f);
    EXPECT_EQ(c->pose_qx, 0.3f);
    expectMatrixNear(c->inv_mat, b->inv_mat, 0.0f, "inverse bind matrix");
    // The new parent's matrix x the source's.
    TMatrix expected = target->mat;
    expected.Multiply(b->mat);
    expectMatrixNear(c->mat, expected, 1e-6f, "matrix");
    // Brush and pick settings are not copied.
    EXPECT_EQ(c->brush->red, 1.0f);
    EXPECT_EQ(c->pick_mode, 0);

    // Own arrays and key track.
    ASSERT_NE(c->keys, b->keys);
    ASSERT_EQ(c->keys->position.size(), 1u);
    EXPECT_EQ(c->keys->position[0].v[0], 5.0f);
    c->verts_w[0] = 1;
    c->keys->position[0].v[0] = 0;
    EXPECT_EQ(b->verts_w[0], 0.25f);
    EXPECT_EQ(b->keys->position[0].v[0], 5.0f);
    b->verts_id[1] = 0;
    EXPECT_EQ(c->verts_id[1], 8);

    // The child is a copy, not shared.
    ASSERT_EQ(c->CountChildren(), 1);
    auto ck = std::dynamic_pointer_cast<TBone>(c->GetChild(1));
    ASSERT_TRUE(ck);
    EXPECT_NE(ck, knee);
    EXPECT_EQ(ck->name, "knee");
    EXPECT_EQ(ck->GetParent(), c);
    EXPECT_TRUE(inList(ck));
    EXPECT_EQ(b->CountChildren(), 1);

    // A bone without a key track copies without one.
    BoneRef bare = TBone::New();
    auto bc = std::dynamic_pointer_cast<TBone>(bare->CopyEntity(nullptr));
    ASSERT_TRUE(bc);
    EXPECT_EQ(bc->keys, nullptr);
}

// Mended: freeing a bone unlinks it like any entity, and takes it and its bone descendants out
// of the bone list of the mesh above it.
TEST_F(BoneTest, FreeEntityUnlinksTheBone) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    BoneRef root = placedBone(m, "root");
    BoneRef arm = placedBone(root, "arm");
    BoneRef hand = placedBone(arm, "hand");
    BoneRef leg = placedBone(root, "leg");
    for (const BoneRef& x : {root, arm, hand, leg}) m->bones.AddLast(x);

    EXPECT_EQ(arm->FreeEntity(), 0);
    EXPECT_FALSE(inList(arm));
    EXPECT_FALSE(inList(hand));
    EXPECT_TRUE(inList(leg));
    EXPECT_EQ(arm->GetParent(), nullptr);
    EXPECT_EQ(root->CountChildren(), 1);
    EXPECT_EQ(root->GetChild(1), leg);
    ASSERT_EQ(m->bones.Count(), 2);
    EXPECT_EQ(m->bones.ValueAtIndex(0), root);
    EXPECT_EQ(m->bones.ValueAtIndex(1), leg);
    EXPECT_EQ(arm->brush, nullptr);

    // Freeing again, or a bone that was never placed, is harmless.
    EXPECT_EQ(arm->FreeEntity(), 0);
    EXPECT_EQ(TBone::New()->FreeEntity(), 0);
}

TEST_F(BoneTest, TransformsOfTheMeshLeaveBonesAlone) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    BoneRef b = placedBone(m, "b");
    b->mat.LoadIdentity();
    b->mat.Translate(0, 5, 0);
    const TMatrix before = b->mat;
    m->PositionEntity(10, 0, 0, 0);
    expectMatrixNear(b->mat, before, 0.0f, "bone matrix");
}

} // namespace
