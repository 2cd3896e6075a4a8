// Bones and key tracks: defaults, deep copies, copying bone hierarchies and freeing bones.
#include "engine/bone.h"
#include "engine/mesh.h"

#include "bone_fixture.h"
#include "entity_fixture.h"

#include <memory>

namespace {

class BoneTest : public SceneTest {};

TEST(AnimationKeysTest, DefaultsAndDeepCopy) {
    TAnimationKeys k;
    EXPECT_EQ(k.frames, 0);
    for (const auto* a : {&k.px, &k.py, &k.pz, &k.sx, &k.sy, &k.sz, &k.qw, &k.qx, &k.qy, &k.qz}) {
        ASSERT_EQ(a->size(), 1u);
        EXPECT_EQ((*a)[0], 0.0f);
    }
    ASSERT_EQ(k.flags.size(), 1u);
    EXPECT_EQ(k.flags[0], 0);
    AnimationKeysRef empty = k.Copy();
    EXPECT_EQ(empty->frames, 0);
    EXPECT_EQ(empty->qz.size(), 1u);

    k.frames = 2;
    k.flags = {0, 1, 5};
    k.px = {0, 1, 2};
    k.qw = {1, 0.5f, 0.25f};
    k.sz = {3, 4, 5};
    AnimationKeysRef c = k.Copy();
    EXPECT_EQ(c->frames, 2);
    EXPECT_EQ(c->flags, k.flags);
    EXPECT_EQ(c->px, k.px);
    EXPECT_EQ(c->qw, k.qw);
    EXPECT_EQ(c->sz, k.sz);
    c->px[1] = 9;
    c->flags[2] = 0;
    EXPECT_EQ(k.px[1], 1.0f);
    EXPECT_EQ(k.flags[2], 5);
    k.qw[0] = 7;
    EXPECT_EQ(c->qw[0], 1.0f);
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
    b->keys->px = {0, 5};
    b->keys->flags = {0, 1};
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
    EXPECT_EQ(c->keys->px, b->keys->px);
    c->verts_w[0] = 1;
    c->keys->px[1] = 0;
    EXPECT_EQ(b->verts_w[0], 0.25f);
    EXPECT_EQ(b->keys->px[1], 5.0f);
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
