// Lights without GL: defaults and settings, the limit of eight, the light list and count
// through creation, copies and freeing, and the place each light takes in a pass.
#include "engine/commands.h"

#include "view_fixture.h"

#include <GL/gl.h>

namespace {

class LightTest : public ViewTest {
  protected:
    static std::vector<LightRef> lights() { return TLight::light_list->ToVector(); }
};

TEST_F(LightTest, NewLightHasItsDefaults) {
    LightRef l = CreateLight(2, nullptr);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->EntityClass(), "Light");
    EXPECT_EQ(l->light_type, 2);
    EXPECT_EQ(l->range, 0.001f);
    EXPECT_EQ(l->red, 1.0f);
    EXPECT_EQ(l->green, 1.0f);
    EXPECT_EQ(l->blue, 1.0f);
    EXPECT_EQ(l->inner_ang, 0.0f);
    EXPECT_EQ(l->outer_ang, 45.0f);
    EXPECT_TRUE(inList(l));
    EXPECT_EQ(lights(), std::vector<LightRef>{l});
    EXPECT_EQ(TLight::no_lights, 1);
    expectMatrixNear(l->mat, identityMatrix(), 0.0f);

    PivotRef p = CreatePivot(nullptr);
    TurnEntity(p, 0, 45, 0, 0);
    LightRef child = CreateLight(1, p);
    EXPECT_EQ(child->GetParent(), p);
    expectMatrixNear(child->mat, p->mat, 0.0f);
}

TEST_F(LightTest, SettersStoreColourRangeAndHalfAngles) {
    LightRef l = CreateLight(3, nullptr);
    LightColor(l, 255, 128, 0);
    EXPECT_EQ(l->red, 1.0f);
    EXPECT_EQ(l->green, 128.0f / 255.0f);
    EXPECT_EQ(l->blue, 0.0f);
    LightRange(l, 50);
    EXPECT_EQ(l->range, 1.0f / 50.0f);
    LightConeAngles(l, 10, 60);
    EXPECT_EQ(l->inner_ang, 5.0f);
    EXPECT_EQ(l->outer_ang, 30.0f);
    LightRange(l, 0);
    EXPECT_TRUE(std::isinf(l->range));
    // Null lights: nothing happens.
    LightColor(nullptr, 1, 2, 3);
    LightRange(nullptr, 1);
    LightConeAngles(nullptr, 1, 2);
}

TEST_F(LightTest, SpotCutoffIsOneGLAccepts) {
    const std::pair<float, float> cases[] = {{0, 0},      {30, 30},  {90, 90},
                                             {90.5f, 90}, {179, 90}, {180, 180},
                                             {270, 180},  {-5, 0},   {NAN, 0}};
    for (const auto& [outer, cutoff] : cases) EXPECT_EQ(TLight::SpotCutoff(outer), cutoff) << outer;
}

TEST_F(LightTest, ANinthLightIsRefusedAndChangesNothing) {
    std::vector<LightRef> made;
    for (int i = 0; i < 8; ++i) made.push_back(CreateLight(1 + i % 3, nullptr));
    for (const LightRef& l : made) ASSERT_NE(l, nullptr);
    const auto entities = listed();
    EXPECT_EQ(CreateLight(1, nullptr), nullptr);
    EXPECT_EQ(TLight::no_lights, 8);
    EXPECT_EQ(lights(), made);
    EXPECT_EQ(listed(), entities);
    EXPECT_EQ(CopyEntity(made[0], nullptr), nullptr);
    EXPECT_EQ(TLight::no_lights, 8);

    FreeEntity(made[3]);
    EXPECT_EQ(TLight::no_lights, 7);
    EXPECT_NE(CreateLight(1, nullptr), nullptr) << "a freed light makes room";
}

TEST_F(LightTest, FreeingTakesTheLightOutOnceOnly) {
    LightRef a = CreateLight(1, nullptr);
    LightRef b = CreateLight(2, nullptr);
    FreeEntity(a);
    EXPECT_FALSE(inList(a));
    EXPECT_EQ(lights(), std::vector<LightRef>{b});
    EXPECT_EQ(TLight::no_lights, 1);
    // Freeing the same light again must not count off the light that is left: that would let
    // a ninth light in and run past the eight GL lights.
    FreeEntity(a);
    EXPECT_EQ(TLight::no_lights, 1);
    EXPECT_EQ(b->ListPlace(), 1);

    // A light under a freed parent goes with it.
    PivotRef p = CreatePivot(nullptr);
    LightRef c = CreateLight(3, p);
    EXPECT_EQ(TLight::no_lights, 2);
    FreeEntity(p);
    EXPECT_EQ(TLight::no_lights, 1);
    EXPECT_EQ(lights(), std::vector<LightRef>{b});
}

TEST_F(LightTest, PlacesFollowTheListSoNumbersNeverDrift) {
    LightRef a = CreateLight(1, nullptr);
    a->Update(); // no display: only the bookkeeping runs
    EXPECT_EQ(TLight::light_no, 1);
    LightRef b = CreateLight(2, nullptr); // made after rendering has started
    for (int pass = 0; pass < 3; ++pass) {
        a->Update();
        EXPECT_EQ(TLight::light_no, 1) << "pass " << pass;
        b->Update();
        EXPECT_EQ(TLight::light_no, 2) << "pass " << pass;
    }
    FreeEntity(a);
    b->Update();
    EXPECT_EQ(TLight::light_no, 1);
    TLight::light_no = 7;
    a->Update(); // a freed light sets nothing up
    EXPECT_EQ(TLight::light_no, 7);
    EXPECT_EQ(a->ListPlace(), 0);
}

TEST_F(LightTest, CopyEntityCopiesSettingsAndCountsTheCopy) {
    PivotRef parent = CreatePivot(nullptr);
    LightRef l = CreateLight(3, nullptr);
    PositionEntity(l, 1, 2, 3, 0);
    LightColor(l, 10, 20, 30);
    LightRange(l, 20);
    LightConeAngles(l, 20, 80);
    NameEntity(l, "lamp");
    auto copy = std::dynamic_pointer_cast<TLight>(CopyEntity(l, parent));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->EntityClass(), "Light");
    EXPECT_EQ(copy->EntityName(), "lamp");
    EXPECT_EQ(copy->GetParent(), parent);
    EXPECT_EQ(copy->light_type, 3);
    EXPECT_EQ(copy->range, l->range);
    EXPECT_EQ(copy->red, l->red);
    EXPECT_EQ(copy->green, l->green);
    EXPECT_EQ(copy->blue, l->blue);
    EXPECT_EQ(copy->inner_ang, 10.0f);
    EXPECT_EQ(copy->outer_ang, 40.0f);
    EXPECT_EQ(TLight::no_lights, 2);
    EXPECT_EQ(lights(), (std::vector<LightRef>{l, copy}));
    TMatrix want = parent->mat;
    want.Multiply(l->mat);
    expectMatrixNear(copy->mat, want, 1e-6f);
}

TEST_F(LightTest, ACopyWhoseChildLightsTakeTheLastPlacesIsUndone) {
    // Seven lights, one of which has a light child: the check at the start passes (seven), the
    // child's copy takes the eighth place, and the copy itself would be a ninth.
    PivotRef holder = CreatePivot(nullptr);
    LightRef top = CreateLight(1, nullptr);
    LightRef child = CreateLight(2, top);
    for (int i = 0; i < 5; ++i) CreateLight(1, holder);
    ASSERT_EQ(TLight::no_lights, 7);
    const auto before = lights();
    const auto entities = listed();
    EXPECT_EQ(CopyEntity(top, nullptr), nullptr);
    EXPECT_EQ(TLight::no_lights, 7);
    EXPECT_EQ(lights(), before);
    EXPECT_EQ(listed(), entities);
}

TEST_F(LightTest, GLLightTableHoldsTheEightIdentifiersInOrder) {
    ASSERT_EQ(TLight::gl_light.size(), 8u);
    for (unsigned i = 0; i < 8; ++i) EXPECT_EQ(TLight::gl_light[i], GL_LIGHT0 + i);
    EXPECT_EQ(TLight::max_lights, 8);
}

} // namespace
