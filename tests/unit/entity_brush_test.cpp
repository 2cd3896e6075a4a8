// The brush record: defaults, settings, copies, texture layers and comparison.
#include "engine/brush.h"
#include "engine/texture.h"

#include "entity_fixture.h"

#include <memory>

namespace {

TextureRef fakeTexture(int frames) {
    auto t = std::make_shared<TTexture>();
    t->no_frames = frames;
    return t;
}

TEST(BrushTest, CreateBrushSetsTheColourAndLeavesTheRestAsANewBrush) {
    // White from CreateBrush draws like a new brush; any colour differs from it in the colour
    // alone.
    const BrushRef fresh = std::make_shared<TBrush>();
    EXPECT_EQ(TBrush::CompareBrushes(TBrush::CreateBrush(255, 255, 255), fresh), 1);
    const BrushRef orange = TBrush::CreateBrush(255, 128, 0);
    EXPECT_EQ(TBrush::CompareBrushes(orange, fresh), 0);
    const BrushRef painted = fresh->Copy();
    painted->BrushColor(255, 128, 0);
    EXPECT_EQ(TBrush::CompareBrushes(orange, painted), 1);
    EXPECT_EQ(orange->name, "");
    EXPECT_EQ(orange->tex_frame, 0) << "the two fields the comparison leaves out";
}

TEST(BrushTest, SettingsAreStoredUnclamped) {
    BrushRef b = TBrush::CreateBrush(255, 128, 0);
    EXPECT_EQ(b->red, 1.0f);
    EXPECT_EQ(b->green, 128.0f / 255.0f);
    EXPECT_EQ(b->blue, 0.0f);
    EXPECT_EQ(b->alpha, 1.0f);
    EXPECT_EQ(b->BrushColor(510, 0, -255), 0);
    EXPECT_EQ(b->red, 2.0f);
    EXPECT_EQ(b->blue, -1.0f);
    b->BrushAlpha(1.5f);
    b->BrushShininess(-0.5f);
    b->BrushBlend(ADDBRUSHBLEND);
    b->BrushFX(FULLBRIGHTFX | NOFOGFX);
    b->BrushFX(NOCULLFX);
    EXPECT_EQ(b->alpha, 1.5f);
    EXPECT_EQ(b->shine, -0.5f);
    EXPECT_EQ(b->blend, 3);
    EXPECT_EQ(b->fx, 16) << "replaces all bits";
    EXPECT_EQ(b->FreeBrush(), 0);
}

TEST(BrushTest, BrushTextureSetsTheLayerCountAndClampedFrame) {
    BrushRef b = std::make_shared<TBrush>();
    TextureRef t = fakeTexture(4);
    b->BrushTexture(t, 5, 2);
    EXPECT_EQ(b->tex[2], t);
    EXPECT_EQ(b->no_texs, 3);
    EXPECT_EQ(b->tex_frame, 3);
    TextureRef t2 = fakeTexture(2);
    b->BrushTexture(t2, -1, 0);
    EXPECT_EQ(b->tex[0], t2);
    EXPECT_EQ(b->no_texs, 3) << "never lowered";
    EXPECT_EQ(b->tex_frame, 0);
    b->BrushTexture(t2, 1, 0);
    EXPECT_EQ(b->tex_frame, 1);

    // Outside the eight layers: nothing changes.
    b->BrushTexture(t, 0, 8);
    b->BrushTexture(t, 0, -1);
    EXPECT_EQ(b->no_texs, 3);
    EXPECT_EQ(b->tex_frame, 1);
    // A texture without frames never leaves a negative frame.
    b->BrushTexture(fakeTexture(0), 2, 1);
    EXPECT_EQ(b->tex_frame, 0);
    // A null texture empties the layer.
    b->BrushTexture(nullptr, 2, 2);
    EXPECT_EQ(b->tex[2], nullptr);
    EXPECT_EQ(b->tex_frame, 2);
}

TEST(BrushTest, CopyHasItsOwnRecordAndSharesTextures) {
    BrushRef b = TBrush::CreateBrush(10, 20, 30);
    TextureRef t = fakeTexture(3);
    b->BrushTexture(t, 2, 1);
    b->name = "n";
    b->BrushAlpha(0.5f);
    b->BrushShininess(0.25f);
    b->BrushBlend(MULTIPLYBRUSHBLEND);
    b->BrushFX(FLATSHADEFX);
    BrushRef c = b->Copy();
    ASSERT_NE(c, b);
    EXPECT_EQ(c->no_texs, 2);
    EXPECT_EQ(c->name, "n");
    EXPECT_EQ(c->red, b->red);
    EXPECT_EQ(c->green, b->green);
    EXPECT_EQ(c->blue, b->blue);
    EXPECT_EQ(c->alpha, 0.5f);
    EXPECT_EQ(c->shine, 0.25f);
    EXPECT_EQ(c->blend, 2);
    EXPECT_EQ(c->fx, 4);
    EXPECT_EQ(c->tex_frame, 2);
    EXPECT_EQ(c->tex[1], t);
    EXPECT_EQ(TBrush::CompareBrushes(b, c), 1);
    c->BrushColor(0, 0, 0);
    EXPECT_NE(b->red, 0.0f) << "own record";
    t->blend = 3; // a change to the shared texture shows in both
    EXPECT_EQ(b->tex[1]->blend, 3);
}

TEST(BrushTest, CompareBrushes) {
    EXPECT_EQ(TBrush::CompareBrushes(nullptr, nullptr), 1);
    BrushRef a = std::make_shared<TBrush>();
    BrushRef b = std::make_shared<TBrush>();
    EXPECT_EQ(TBrush::CompareBrushes(a, nullptr), 0);
    EXPECT_EQ(TBrush::CompareBrushes(nullptr, a), 0);
    EXPECT_EQ(TBrush::CompareBrushes(a, b), 1);

    TextureRef t = fakeTexture(4);
    a->BrushTexture(t, 0, 0);
    EXPECT_EQ(TBrush::CompareBrushes(a, b), 0) << "no_texs differs";
    b->BrushTexture(t, 3, 0);
    EXPECT_EQ(TBrush::CompareBrushes(a, b), 1) << "the texture frame takes no part";
    b->name = "other";
    EXPECT_EQ(TBrush::CompareBrushes(a, b), 1) << "the name takes no part";

    // Each setting in turn makes a difference.
    const std::vector<void (*)(TBrush&)> changes = {
        [](TBrush& x) { x.red = 0.5f; },   [](TBrush& x) { x.green = 0.5f; },
        [](TBrush& x) { x.blue = 0.5f; },  [](TBrush& x) { x.alpha = 0.5f; },
        [](TBrush& x) { x.shine = 0.5f; }, [](TBrush& x) { x.blend = 1; },
        [](TBrush& x) { x.fx = 2; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        BrushRef c = a->Copy();
        changes[i](*c);
        EXPECT_EQ(TBrush::CompareBrushes(a, c), 0) << "change " << i;
    }

    // Layers: another texture object, or one with another blend or coordinate set, differs;
    // layers beyond no_texs count too.
    BrushRef d = a->Copy();
    d->tex[0] = fakeTexture(4);
    EXPECT_EQ(TBrush::CompareBrushes(a, d), 0) << "another texture";
    BrushRef e = a->Copy();
    e->tex[7] = t;
    EXPECT_EQ(TBrush::CompareBrushes(a, e), 0) << "layer 7 set on one only";
}

TEST(BrushTest, LoadBrushKeepsAMissingTexture) {
    BrushRef b = TBrush::LoadBrush("no/such/file.png", COLORTEXTURE, 2.0f, 3.0f);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->no_texs, 1);
    EXPECT_EQ(b->tex[0], nullptr);
    EXPECT_EQ(b->red, 1.0f);
}

class EntityBrushTest : public SceneTest {};

TEST_F(EntityBrushTest, EveryEntityOwnsADefaultBrushAndGetEntityBrushCopiesIt) {
    EntityRef e = CreatePivot(nullptr);
    EntityRef f = CreatePivot(nullptr);
    ASSERT_TRUE(e->brush);
    EXPECT_NE(e->brush, f->brush);
    e->brush->BrushColor(0, 255, 0);
    BrushRef copy = TBrush::GetEntityBrush(e);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, e->brush);
    EXPECT_EQ(copy->red, 0.0f);
    EXPECT_EQ(copy->green, 1.0f);
    FreeEntity(e);
    EXPECT_EQ(TBrush::GetEntityBrush(e), nullptr) << "a freed entity has no brush";
}

} // namespace
