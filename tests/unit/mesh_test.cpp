// Meshes: creation, surfaces and counts, bounds and cull radius, blending, copies and freeing.
#include "engine/bone.h"
#include "engine/brush.h"
#include "engine/mesh.h"
#include "engine/texture.h"

#include "bone_fixture.h"
#include "entity_fixture.h"

#include <cmath>
#include <memory>

namespace {

class MeshTest : public SceneTest {};

const float kSqrt3 = 1.7320508f;

// A surface of the mesh holding one triangle over the given three points.
SurfaceRef addTriangle(const MeshRef& m, Vec3 a, Vec3 b, Vec3 c) {
    SurfaceRef s = m->CreateSurface(nullptr);
    s->AddVertex(a[0], a[1], a[2], 0, 0, 0);
    s->AddVertex(b[0], b[1], b[2], 0, 0, 0);
    s->AddVertex(c[0], c[1], c[2], 0, 0, 0);
    s->AddTriangle(0, 1, 2);
    return s;
}

// A mesh whose vertices span the box from lo to hi.
MeshRef boxMesh(Vec3 lo, Vec3 hi) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    addTriangle(m, lo, hi, lo);
    return m;
}

TEST_F(MeshTest, CreateMeshPlacesAnEmptyMesh) {
    PivotRef p = TPivot::CreatePivot(nullptr);
    p->PositionEntity(1, 2, 3, 0);
    MeshRef m = TMesh::CreateMesh(p);
    EXPECT_EQ(m->EntityClass(), "Mesh");
    EXPECT_EQ(m->EntityName(), "");
    EXPECT_TRUE(inList(m));
    EXPECT_EQ(m->GetParent(), p);
    EXPECT_EQ(p->GetChild(1), m);
    EXPECT_FLOAT_EQ(m->EntityX(1), 1.0f);
    EXPECT_FLOAT_EQ(m->EntityZ(1), 3.0f);
    EXPECT_EQ(m->CountSurfaces(), 0);
    EXPECT_EQ(m->CountVertices(), 0);
    EXPECT_EQ(m->CountTriangles(), 0);
    EXPECT_EQ(m->bounds_dirty, 1);
    EXPECT_EQ(m->octree, nullptr);
    EXPECT_EQ(m->Update(), 0);
}

TEST_F(MeshTest, SurfacesAreNumberedFromOneAndFoundByBrush) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    BrushRef red = TBrush::CreateBrush(255, 0, 0);
    SurfaceRef s1 = m->CreateSurface(nullptr);
    SurfaceRef s2 = m->CreateSurface(red);
    SurfaceRef s3 = m->CreateSurface(red->Copy());
    EXPECT_EQ(s2->brush, red) << "the brush itself, not a copy";
    EXPECT_EQ(m->CountSurfaces(), 3);
    EXPECT_EQ(m->GetSurface(0), nullptr);
    EXPECT_EQ(m->GetSurface(1), s1);
    EXPECT_EQ(m->GetSurface(3), s3);
    EXPECT_EQ(m->GetSurface(4), nullptr);
    EXPECT_EQ(m->GetSurface(-1), nullptr);

    EXPECT_EQ(m->FindSurface(TBrush::CreateBrush(255, 0, 0)), s2) << "the earlier of two equal";
    EXPECT_EQ(m->FindSurface(nullptr), s1) << "null finds the first surface without a brush";
    EXPECT_EQ(m->FindSurface(TBrush::CreateBrush(0, 255, 0)), nullptr);

    s1->AddVertex(0, 0, 0, 0, 0, 0);
    s3->AddVertex(0, 0, 0, 0, 0, 0);
    s3->AddVertex(0, 0, 0, 0, 0, 0);
    s3->AddTriangle(0, 1, 0);
    EXPECT_EQ(m->CountVertices(), 3);
    EXPECT_EQ(m->CountTriangles(), 1);
}

TEST_F(MeshTest, BoundsAndCullRadius) {
    struct Case {
        Vec3 lo, hi;
        float w, h, d, radius;
    };
    const Case cases[] = {
        {{-1, -1, -1}, {1, 1, 1}, 2, 2, 2, kSqrt3},
        // The largest extent sets the radius, whichever axis it lies on.
        {{0, 0, 0}, {4, 2, 1}, 4, 2, 1, kSqrt3 * 2},
        {{0, 0, 0}, {1, 4, 2}, 1, 4, 2, kSqrt3 * 2},
        {{0, 0, 0}, {2, 1, 4}, 2, 1, 4, kSqrt3 * 2},
        {{3, 3, 3}, {3, 3, 3}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        MeshRef m = boxMesh(c.lo, c.hi);
        EXPECT_EQ(m->GetBounds(), 0);
        EXPECT_FLOAT_EQ(m->MeshWidth(), c.w);
        EXPECT_FLOAT_EQ(m->MeshHeight(), c.h);
        EXPECT_FLOAT_EQ(m->MeshDepth(), c.d);
        EXPECT_FLOAT_EQ(m->cull_radius, c.radius) << c.w << "x" << c.h << "x" << c.d;
        EXPECT_EQ(m->min_z, c.lo[2]) << "z reported as given";
        EXPECT_EQ(m->max_z, c.hi[2]);
        EXPECT_EQ(m->bounds_dirty, 0);
    }

    // Without vertices the box stays empty and the radius follows it.
    MeshRef empty = TMesh::CreateMesh(nullptr);
    empty->CreateSurface(nullptr);
    EXPECT_FLOAT_EQ(empty->MeshWidth(), -2e9f);
    EXPECT_FLOAT_EQ(empty->MeshDepth(), -2e9f);
    EXPECT_FLOAT_EQ(empty->cull_radius, 1.7320508e9f);
}

TEST_F(MeshTest, BoundsFollowGeometryChangesOnly) {
    MeshRef m = boxMesh({-1, -1, -1}, {1, 1, 1});
    SurfaceRef s = m->GetSurface(1);
    EXPECT_FLOAT_EQ(m->MeshWidth(), 2.0f);
    EXPECT_EQ(s->changed, 0) << "consumed";

    s->VertexNormal(0, 0, 1, 0);
    s->VertexColor(0, 1, 2, 3, 0.5f);
    s->VertexTexCoords(0, 1, 1, 0, 0);
    s->AddVertex(10, 10, 10, 0, 0, 0);
    EXPECT_FLOAT_EQ(m->MeshWidth(), 2.0f) << "AddVertex alone does not recompute";
    s->AddTriangle(0, 1, 3);
    EXPECT_FLOAT_EQ(m->MeshWidth(), 11.0f);
    s->VertexCoords(3, 0, 0, -5);
    EXPECT_FLOAT_EQ(m->MeshWidth(), 2.0f);
    EXPECT_FLOAT_EQ(m->min_z, -5.0f);
    EXPECT_FLOAT_EQ(m->MeshDepth(), 6.0f);
    EXPECT_FLOAT_EQ(m->cull_radius, kSqrt3 * 3);

    // A fixed radius (stored negated) survives a recomputation of the box.
    m->cull_radius = -5.0f;
    s->VertexCoords(3, 0, 0, -9);
    EXPECT_FLOAT_EQ(m->MeshDepth(), 10.0f);
    EXPECT_EQ(m->cull_radius, -5.0f);
}

// Mended: a copy shares its source's surfaces, and its box and cull radius follow them even
// when the source (or another copy) consumed the surfaces' change flags first.
TEST_F(MeshTest, CopiesBoundsFollowTheSharedSurfaces) {
    MeshRef m = boxMesh({-1, -1, -1}, {1, 1, 1});
    EXPECT_FLOAT_EQ(m->MeshWidth(), 2.0f);
    auto c = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->surf_list, m->surf_list);
    EXPECT_FLOAT_EQ(c->MeshWidth(), 2.0f);
    EXPECT_FLOAT_EQ(c->cull_radius, kSqrt3);

    SurfaceRef s = m->GetSurface(1);
    s->VertexCoords(1, 3, 3, 3);           // box now -1..3
    EXPECT_FLOAT_EQ(m->MeshWidth(), 4.0f); // the source takes the change flag
    EXPECT_FLOAT_EQ(c->MeshWidth(), 4.0f);
    EXPECT_FLOAT_EQ(c->cull_radius, kSqrt3 * 2);

    // A surface added through the source is in the copy's list and box too.
    addTriangle(m, {0, 0, 0}, {0, 0, 0}, {0, 0, 20});
    EXPECT_FLOAT_EQ(m->MeshDepth(), 21.0f);
    EXPECT_FLOAT_EQ(c->MeshDepth(), 21.0f);
    EXPECT_EQ(c->CountSurfaces(), 1) << "the copy's own counter";
    EXPECT_EQ(m->CountSurfaces(), 2);
    EXPECT_EQ(c->CountVertices(), 3);
    EXPECT_EQ(m->CountVertices(), 6);
    EXPECT_EQ(c->GetSurface(2), m->GetSurface(2));

    // Clean meshes do not recompute: a box written by hand stays until a surface changes.
    c->max_x = 100.0f;
    EXPECT_FLOAT_EQ(c->MeshWidth(), 101.0f);
    s->VertexCoords(0, -1, -1, -1);
    EXPECT_FLOAT_EQ(c->MeshWidth(), 4.0f);
}

TEST_F(MeshTest, AlphaDecidesBlending) {
    auto alphaTex = std::make_shared<TTexture>();
    alphaTex->flags = 2 | 1;
    auto plainTex = std::make_shared<TTexture>();
    plainTex->flags = 1 | 8;
    struct Case {
        const char* what;
        void (*set)(TBrush&, const TextureRef& alpha_tex, const TextureRef& plain_tex);
        int blended;
    };
    const Case cases[] = {
        {"defaults", [](TBrush&, const TextureRef&, const TextureRef&) {}, 0},
        {"alpha 0.999", [](TBrush& b, const TextureRef&, const TextureRef&) { b.alpha = 0.999f; },
         1},
        {"alpha above 1", [](TBrush& b, const TextureRef&, const TextureRef&) { b.alpha = 2; }, 0},
        {"blend 1", [](TBrush& b, const TextureRef&, const TextureRef&) { b.blend = 1; }, 0},
        {"blend 2", [](TBrush& b, const TextureRef&, const TextureRef&) { b.blend = 2; }, 1},
        {"blend 3", [](TBrush& b, const TextureRef&, const TextureRef&) { b.blend = 3; }, 1},
        {"blend 4", [](TBrush& b, const TextureRef&, const TextureRef&) { b.blend = 4; }, 0},
        {"fx 32", [](TBrush& b, const TextureRef&, const TextureRef&) { b.fx = 32 | 1; }, 1},
        {"fx 31", [](TBrush& b, const TextureRef&, const TextureRef&) { b.fx = 31; }, 0},
        {"alpha texture in layer 0",
         [](TBrush& b, const TextureRef& a, const TextureRef&) { b.tex[0] = a; }, 1},
        {"plain texture in layer 0",
         [](TBrush& b, const TextureRef&, const TextureRef& p) { b.tex[0] = p; }, 0},
        {"alpha texture in layer 1 only",
         [](TBrush& b, const TextureRef& a, const TextureRef& p) {
             b.tex[0] = p;
             b.tex[1] = a;
         },
         0},
    };
    for (const Case& c : cases) {
        // On the entity brush.
        MeshRef m = TMesh::CreateMesh(nullptr);
        SurfaceRef plain = m->CreateSurface(std::make_shared<TBrush>());
        c.set(*m->brush, alphaTex, plainTex);
        EXPECT_EQ(m->Alpha(nullptr), c.blended) << "entity brush, " << c.what;
        EXPECT_EQ(m->Alpha(plain), c.blended) << "entity brush, " << c.what;

        // On one surface brush: the whole mesh and that surface, not the plain one.
        MeshRef n = TMesh::CreateMesh(nullptr);
        SurfaceRef bare = n->CreateSurface(nullptr);
        SurfaceRef other = n->CreateSurface(std::make_shared<TBrush>());
        SurfaceRef odd = n->CreateSurface(std::make_shared<TBrush>());
        c.set(*odd->brush, alphaTex, plainTex);
        EXPECT_EQ(n->Alpha(nullptr), c.blended) << "surface brush, " << c.what;
        EXPECT_EQ(n->Alpha(odd), c.blended) << "surface brush, " << c.what;
        EXPECT_EQ(n->Alpha(other), 0) << c.what;
        EXPECT_EQ(n->Alpha(bare), 0) << c.what;
    }

    // Fading makes any mesh blended; a foreign surface is judged by its own brush.
    MeshRef m = TMesh::CreateMesh(nullptr);
    m->fade_alpha = 0.3f;
    EXPECT_EQ(m->Alpha(nullptr), 1);
    m->fade_alpha = 0.0f;
    EXPECT_EQ(m->Alpha(nullptr), 0);
    auto foreign = std::make_shared<TSurface>();
    foreign->brush = TBrush::CreateBrush(0, 0, 0);
    foreign->brush->blend = 3;
    EXPECT_EQ(m->Alpha(foreign), 1);
}

TEST_F(MeshTest, CopyEntityCopiesSettingsAndSharesSurfaces) {
    PivotRef p = TPivot::CreatePivot(nullptr);
    p->PositionEntity(0, 10, 0, 0);
    MeshRef m = boxMesh({-1, -1, -1}, {1, 1, 1});
    m->PositionEntity(1, 2, 3, 0);
    m->order = 5;
    m->name = "piece";
    m->HideEntity();
    m->brush->BrushColor(255, 0, 0);
    m->auto_fade = 1;
    m->fade_near = 10.0f;
    m->fade_far = 20.0f;
    m->anim = 1;
    m->anim_seqs_last[0] = 7;
    m->collision_type = 3;
    m->pick_mode = 2;
    m->cull_radius = -4.0f;
    auto anim = std::make_shared<TSurface>();
    anim->vert_coords = {1, 2, 3};
    m->anim_surf_list.AddLast(anim);
    MeshRef child = TMesh::CreateMesh(m);
    child->PositionEntity(0, 1, 0, 0);
    m->GetBounds();

    auto c = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(p));
    ASSERT_TRUE(c);
    EXPECT_TRUE(inList(c));
    EXPECT_EQ(c->GetParent(), p);
    EXPECT_EQ(c->hide, 0) << "a copy is shown";
    EXPECT_EQ(c->order, 5);
    EXPECT_EQ(c->name, "piece");
    EXPECT_EQ(c->EntityClass(), "Mesh");
    EXPECT_FLOAT_EQ(c->EntityY(1), 12.0f) << "parent's matrix x the source's";
    EXPECT_NE(c->brush, m->brush);
    EXPECT_EQ(TBrush::CompareBrushes(c->brush, m->brush), 1);
    EXPECT_EQ(c->auto_fade, 1);
    EXPECT_EQ(c->fade_far, 20.0f);
    EXPECT_EQ(c->anim, 1);
    EXPECT_EQ(c->anim_seqs_last[0], 7);
    EXPECT_EQ(c->collision_type, 3);
    EXPECT_EQ(c->pick_mode, 2);
    EXPECT_EQ(c->cull_radius, -4.0f);
    EXPECT_EQ(c->max_x, 1.0f);
    EXPECT_EQ(c->no_surfs, 1);
    EXPECT_EQ(c->surf_list, m->surf_list);
    EXPECT_EQ(c->bounds_dirty, 1);
    ASSERT_EQ(c->anim_surf_list.Count(), 1);
    SurfaceRef ca = c->anim_surf_list.First();
    EXPECT_NE(ca, anim);
    EXPECT_EQ(ca->vert_coords, anim->vert_coords);
    EXPECT_EQ(ca->no_verts, 0) << "positions only";

    ASSERT_EQ(c->CountChildren(), 1);
    EntityRef cc = c->GetChild(1);
    EXPECT_NE(cc, child);
    EXPECT_EQ(cc->GetParent(), c);
    EXPECT_FLOAT_EQ(cc->EntityY(1), 13.0f) << "the copied child's matrix is current";
}

TEST_F(MeshTest, CopyCollectsTheCopiedBonesParentFirst) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    BoneRef a = placedBone(m, "a");
    BoneRef a1 = placedBone(a, "a1");
    PivotRef piv = TPivot::CreatePivot(m);
    BoneRef b = placedBone(piv, "b");
    BoneRef b1 = placedBone(b, "b1");
    for (const BoneRef& x : {a, a1, b, b1}) m->bones.AddLast(x);

    TMesh::BoneList found;
    TMesh::CopyBonesList(m, found);
    ASSERT_EQ(found.Count(), 4);
    EXPECT_EQ(found.ValueAtIndex(0), a);
    EXPECT_EQ(found.ValueAtIndex(1), a1);
    EXPECT_EQ(found.ValueAtIndex(2), b);
    EXPECT_EQ(found.ValueAtIndex(3), b1);

    auto c = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
    ASSERT_EQ(c->bones.Count(), 4);
    const char* names[] = {"a", "a1", "b", "b1"};
    for (int i = 0; i < 4; ++i) {
        BoneRef copied = c->bones.ValueAtIndex(i);
        EXPECT_EQ(copied->name, names[i]);
        EXPECT_FALSE(m->bones.Contains(copied)) << names[i];
        EXPECT_TRUE(inList(copied));
    }
    EXPECT_EQ(c->bones.ValueAtIndex(1)->GetParent(), c->bones.ValueAtIndex(0));
}

TEST_F(MeshTest, FreeEntityLeavesTheSurfacesToCopies) {
    MeshRef m = boxMesh({-1, -1, -1}, {1, 1, 1});
    BoneRef bone = placedBone(m, "b");
    m->bones.AddLast(bone);
    m->anim_surf_list.AddLast(std::make_shared<TSurface>());
    auto c = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));

    EXPECT_EQ(m->FreeEntity(), 0);
    EXPECT_FALSE(inList(m));
    EXPECT_EQ(m->bones.Count(), 0);
    EXPECT_EQ(m->anim_surf_list.Count(), 0);
    EXPECT_EQ(m->brush, nullptr);
    EXPECT_EQ(m->surf_list->Count(), 1);
    EXPECT_FALSE(inList(bone)) << "children are freed with the mesh";
    EXPECT_EQ(c->CountVertices(), 3);
    EXPECT_FLOAT_EQ(c->MeshWidth(), 2.0f);

    // A freed mesh can still be asked and copied without harm.
    EXPECT_EQ(m->Alpha(nullptr), 0);
    auto again = std::dynamic_pointer_cast<TMesh>(m->CopyEntity(nullptr));
    ASSERT_TRUE(again);
    EXPECT_NE(again->brush, nullptr);
}

} // namespace
