// Entity appearance and render settings: the entity brush setters, texture layers, blend passed
// to surfaces, painting, fading, order, the cull radius and the bounding sphere.
#include "engine/commands.h"
#include "engine/texture.h"

#include "view_fixture.h"

#include <cmath>
#include <memory>

namespace {

using viewtest::boxMesh;

TextureRef fakeTexture(int frames) {
    auto t = std::make_shared<TTexture>();
    t->no_frames = frames;
    return t;
}

class AppearanceTest : public ViewTest {};

TEST_F(AppearanceTest, BrushSettersStoreTheirValuesUnclamped) {
    PivotRef e = CreatePivot(nullptr);
    EntityColor(e, 255, 128, 0);
    EXPECT_EQ(e->brush->red, 1.0f);
    EXPECT_FLOAT_EQ(e->brush->green, 0.50196078f);
    EXPECT_EQ(e->brush->blue, 0.0f);
    EntityColor(e, 510, 0, -255);
    EXPECT_EQ(e->brush->red, 2.0f);
    EXPECT_EQ(e->brush->blue, -1.0f);
    EntityAlpha(e, 1.5f);
    EXPECT_EQ(e->brush->alpha, 1.5f);
    EntityShininess(e, 0.25f);
    EXPECT_EQ(e->brush->shine, 0.25f);
    EntityFX(e, FULLBRIGHTFX | NOFOGFX);
    EntityFX(e, NOCULLFX);
    EXPECT_EQ(e->brush->fx, 16) << "all bits replaced";
    EntityBlend(e, MULTIPLYBRUSHBLEND);
    EXPECT_EQ(e->brush->blend, 2);
    EntityAutoFade(e, 10, 20);
    EXPECT_EQ(e->auto_fade, 1);
    EXPECT_EQ(e->fade_near, 10.0f);
    EXPECT_EQ(e->fade_far, 20.0f);
    MeshCullRadius(e, 5);
    EXPECT_EQ(e->cull_radius, -5.0f);
}

TEST_F(AppearanceTest, FreedAndNullEntitiesAreLeftAlone) {
    MeshRef m = boxMesh(-1, -1, -1, 1, 1, 1);
    FreeEntity(m);
    ASSERT_EQ(m->brush, nullptr);
    EntityColor(m, 1, 2, 3);
    EntityAlpha(m, 0.5f);
    EntityShininess(m, 1);
    EntityTexture(m, fakeTexture(1), 0, 0);
    EntityBlend(m, ADDBRUSHBLEND);
    EntityFX(m, FULLBRIGHTFX);
    PaintEntity(m, TBrush::CreateBrush(1, 2, 3));
    EXPECT_EQ(m->brush, nullptr);
    for (const SurfaceRef& s : *m->surf_list) EXPECT_EQ(s->brush, nullptr);

    EntityColor(nullptr, 1, 2, 3);
    EntityAlpha(nullptr, 1);
    EntityShininess(nullptr, 1);
    EntityTexture(nullptr, fakeTexture(1), 0, 0);
    EntityBlend(nullptr, ALPHABRUSHBLEND);
    EntityFX(nullptr, FULLBRIGHTFX);
    EntityAutoFade(nullptr, 1, 2);
    PaintEntity(nullptr, TBrush::CreateBrush(1, 2, 3));
    EntityOrder(nullptr, 1);
    MeshCullRadius(nullptr, 1);
}

TEST_F(AppearanceTest, EntityTextureSetsLayersAndClampsTheFrame) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    TextureRef t = fakeTexture(3);
    EntityTexture(m, t, 5, 0);
    EXPECT_EQ(m->brush->tex[0], t);
    EXPECT_EQ(m->brush->tex_frame, 2);
    EntityTexture(m, t, -1, 0);
    EXPECT_EQ(m->brush->tex_frame, 0);

    MeshRef fresh = TMesh::CreateMesh(nullptr);
    EntityTexture(fresh, t, 1, 2);
    EXPECT_EQ(fresh->brush->no_texs, 3);
    EXPECT_EQ(fresh->brush->tex[0], nullptr);
    EXPECT_EQ(fresh->brush->tex[1], nullptr);
    EXPECT_EQ(fresh->brush->tex[2], t);
    EXPECT_EQ(fresh->brush->tex_frame, 1);
    TextureRef u = fakeTexture(1);
    EntityTexture(fresh, u, 0, 0);
    EXPECT_EQ(fresh->brush->no_texs, 3) << "never lowered";
    EXPECT_EQ(fresh->brush->tex_frame, 0) << "one frame for the brush: the last call's";

    // A texture that failed to load, or a layer outside 0..7: nothing changes.
    EntityTexture(fresh, nullptr, 0, 2);
    EntityTexture(fresh, u, 0, 8);
    EntityTexture(fresh, u, 0, -1);
    EXPECT_EQ(fresh->brush->tex[2], t);
    EXPECT_EQ(fresh->brush->no_texs, 3);

    // The command is for meshes and sprites: other kinds are left alone.
    PivotRef p = CreatePivot(nullptr);
    EntityTexture(p, t, 0, 0);
    EXPECT_EQ(p->brush->tex[0], nullptr);
    EXPECT_EQ(p->brush->no_texs, 0);
}

TEST_F(AppearanceTest, EntityBlendReachesSurfaceBrushesOnly) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    BrushRef b1 = TBrush::CreateBrush(255, 0, 0);
    BrushRef b2 = TBrush::CreateBrush(0, 255, 0);
    SurfaceRef s1 = m->CreateSurface(b1);
    SurfaceRef s2 = m->CreateSurface(nullptr);
    SurfaceRef s3 = m->CreateSurface(b2);
    EntityBlend(m, ADDBRUSHBLEND);
    EXPECT_EQ(m->brush->blend, 3);
    EXPECT_EQ(b1->blend, 3);
    EXPECT_EQ(b2->blend, 3);
    EXPECT_EQ(s2->brush, nullptr) << "a surface without a brush gets none";
    EntityFX(m, FLATSHADEFX);
    EntityColor(m, 0, 0, 0);
    EntityAlpha(m, 0.5f);
    EXPECT_EQ(b1->fx, 0);
    EXPECT_EQ(b1->red, 1.0f);
    EXPECT_EQ(b2->alpha, 1.0f);
}

TEST_F(AppearanceTest, PaintEntityCopiesTheBrushButNotItsFrame) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    BrushRef own = m->brush;
    TextureRef t = fakeTexture(8);
    BrushRef b = TBrush::CreateBrush(10, 20, 30);
    b->name = "painted";
    b->alpha = 0.5f;
    b->shine = 0.75f;
    b->blend = 2;
    b->fx = 9;
    b->BrushTexture(t, 4, 1);
    m->brush->tex_frame = 1;
    PaintEntity(m, b);
    EXPECT_EQ(m->brush, own) << "the entity keeps its own brush object";
    EXPECT_EQ(own->name, "painted");
    EXPECT_EQ(own->red, b->red);
    EXPECT_EQ(own->green, b->green);
    EXPECT_EQ(own->blue, b->blue);
    EXPECT_EQ(own->alpha, 0.5f);
    EXPECT_EQ(own->shine, 0.75f);
    EXPECT_EQ(own->blend, 2);
    EXPECT_EQ(own->fx, 9);
    EXPECT_EQ(own->no_texs, 2);
    EXPECT_EQ(own->tex[1], t) << "textures are shared";
    EXPECT_EQ(own->tex_frame, 1) << "frame left as it was";
    b->BrushColor(255, 255, 255);
    b->BrushTexture(fakeTexture(1), 0, 0);
    EXPECT_EQ(own->red, 10.0f / 255.0f) << "later changes to the brush do not reach the entity";
    EXPECT_EQ(own->tex[0], nullptr);

    PaintEntity(m, nullptr);
    EXPECT_EQ(own->name, "painted");
    PivotRef p = CreatePivot(nullptr);
    PaintEntity(p, b);
    EXPECT_EQ(p->brush->name, "") << "the command is for meshes and sprites";
}

TEST_F(AppearanceTest, EntityOrderMovesNoEntityInTheEntityList) {
    MeshRef a = TMesh::CreateMesh(nullptr);
    MeshRef b = TMesh::CreateMesh(nullptr);
    const auto before = listed();
    EntityOrder(b, 5);
    EXPECT_EQ(b->order, 5);
    EXPECT_EQ(listed(), before);
    EntityOrder(a, -3);
    EXPECT_EQ(a->order, -3);
    EXPECT_EQ(listed(), before);
    EXPECT_TRUE(cameras().empty()) << "only cameras go into the camera list";
}

TEST_F(AppearanceTest, FixedCullRadiusSurvivesBoundsAndZeroReleasesIt) {
    MeshRef m = boxMesh(-1, -1, -1, 1, 1, 1);
    EXPECT_NEAR(m->cull_radius, std::sqrt(3.0f), 1e-6f);
    MeshCullRadius(m, 5);
    m->surf_list->First()->VertexCoords(1, 3, 3, 3);
    m->GetBounds();
    EXPECT_EQ(m->cull_radius, -5.0f);
    EXPECT_EQ(m->max_x, 3.0f) << "the box is still recomputed";
    ScaleEntity(m, 1, 2, 0.5f, 0);
    EXPECT_FLOAT_EQ(m->BoundingSphere().radius, 10.0f);

    MeshCullRadius(m, 0);
    EXPECT_TRUE(std::signbit(m->cull_radius));
    m->surf_list->First()->VertexCoords(1, 1, 1, 1);
    m->GetBounds();
    EXPECT_NEAR(m->cull_radius, std::sqrt(3.0f), 1e-6f) << "-0 does not count as fixed";
}

TEST_F(AppearanceTest, BoundingSphereUsesTheLargestScaleMagnitude) {
    struct Case {
        float sx, sy, sz;
        float radius;
    };
    // r = 2 times the largest |scale|: an axis turned inside out (mirrored) stretches the mesh
    // as much as a positive scale of the same size.
    const Case cases[] = {{1, 1, 1, 2},    {2, 3, 1, 6},        {-3, 1, 1, 6},
                          {1, -3, 1, 6},   {1, 1, -3, 6},       {-3, -2, -1, 6},
                          {-1, -2, -3, 6}, {0.5f, 0.25f, 2, 4}, {-4, 2, 2, 8}};
    MeshRef m = boxMesh(-1, -1, -1, 1, 1, 1);
    MeshCullRadius(m, 2);
    for (const Case& k : cases) {
        ScaleEntity(m, k.sx, k.sy, k.sz, 0);
        EXPECT_FLOAT_EQ(m->BoundingSphere().radius, k.radius)
            << k.sx << ", " << k.sy << ", " << k.sz;
    }

    // Under a scaled parent the global scale counts.
    PivotRef p = CreatePivot(nullptr);
    ScaleEntity(p, 3, 1, 1, 0);
    MeshRef child = boxMesh(-1, -1, -1, 1, 1, 1, p);
    MeshCullRadius(child, 1);
    EXPECT_FLOAT_EQ(child->BoundingSphere().radius, 3.0f);
}

TEST_F(AppearanceTest, BoundingSphereCentreIsTheBoundsMiddleInWorldSpace) {
    PivotRef p = CreatePivot(nullptr);
    PositionEntity(p, 10, 0, 0, 0);
    RotateEntity(p, 0, 90, 0, 0);
    MeshRef m = boxMesh(2, 0, 4, 4, 2, 6, p); // middle (3, 1, 5) in the mesh's space
    PositionEntity(m, 0, 1, 0, 0);
    TFormPoint(3, 1, 5, m, nullptr);
    const TSphere s = m->BoundingSphere();
    EXPECT_NEAR(s.centre.x, TFormedX(), 1e-5f);
    EXPECT_NEAR(s.centre.y, TFormedY(), 1e-5f);
    EXPECT_NEAR(s.centre.z, TFormedZ(), 1e-5f);
    EXPECT_NEAR(s.centre.y, 2.0f, 1e-5f);
    EXPECT_NEAR(s.radius, std::sqrt(3.0f), 1e-5f);

    // A pivot: its global position and |cull_radius|, unscaled.
    PivotRef q = CreatePivot(p);
    PositionEntity(q, 1, 2, 3, 0);
    ScaleEntity(q, 4, 4, 4, 0);
    TSphere t = q->BoundingSphere();
    EXPECT_NEAR(t.centre.x, q->EntityX(1), 1e-6f);
    EXPECT_NEAR(t.centre.y, 2.0f, 1e-6f);
    EXPECT_NEAR(t.centre.z, q->EntityZ(1), 1e-6f);
    EXPECT_EQ(t.radius, 0.0f);
    MeshCullRadius(q, 1.5f);
    EXPECT_EQ(q->BoundingSphere().radius, 1.5f);
}

} // namespace
