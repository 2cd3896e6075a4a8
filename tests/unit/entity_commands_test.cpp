// The entity commands: forwarding by the receiver's kind, null handles, and the results the
// command layer promises.
#include "entity_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using CommandsTest = SceneTest;

TEST_F(CommandsTest, NullReceiversAreSafeNoOps) {
    const EntityRef none;
    EntityRef e = CreatePivot(nullptr);
    PositionEntity(e, 1, 2, 3, 0);
    const TMatrix before = e->mat;

    FreeEntity(none);
    EntityParent(none, e, 1);
    NameEntity(none, "x");
    ShowEntity(none);
    HideEntity(none);
    PositionEntity(none, 1, 1, 1, 1);
    MoveEntity(none, 1, 1, 1);
    TranslateEntity(none, 1, 1, 1, 1);
    ScaleEntity(none, 2, 2, 2, 1);
    RotateEntity(none, 1, 1, 1, 1);
    TurnEntity(none, 1, 1, 1, 1);
    PointEntity(none, e, 0);
    PointEntity(e, none, 0);
    EXPECT_EQ(CopyEntity(none, e), nullptr);
    EXPECT_EQ(GetParent(none), nullptr);
    EXPECT_EQ(CountChildren(none), 0);
    EXPECT_EQ(GetChild(none, 1), nullptr);
    EXPECT_EQ(FindChild(none, ""), nullptr);
    EXPECT_EQ(EntityName(none), "");
    EXPECT_EQ(EntityClass(none), "");
    for (int global : {0, 1}) {
        EXPECT_EQ(EntityX(none, global), 0.0f);
        EXPECT_EQ(EntityY(none, global), 0.0f);
        EXPECT_EQ(EntityZ(none, global), 0.0f);
        EXPECT_EQ(EntityPitch(none, global), 0.0f);
        EXPECT_EQ(EntityYaw(none, global), 0.0f);
        EXPECT_EQ(EntityRoll(none, global), 0.0f);
    }
    EXPECT_EQ(EntityDistance(none, e), 0.0f);
    EXPECT_EQ(DeltaYaw(none, e), 0.0f);
    EXPECT_EQ(DeltaPitch(none, e), 0.0f);
    EXPECT_EQ(GetMatElement(none, 3, 0), 0.0f);
    EXPECT_EQ(TBrush::GetEntityBrush(none), nullptr);

    // Nothing else was touched.
    EXPECT_EQ(listed(), std::vector<EntityRef>{e});
    expectMatrixNear(e->mat, before, 0.0f, "untouched");
    EXPECT_EQ(CountChildren(e), 0);
}

TEST_F(CommandsTest, CreatePivotWithANullParentMakesARoot) {
    PivotRef p = CreatePivot(nullptr);
    ASSERT_TRUE(p);
    EXPECT_EQ(GetParent(p), nullptr);
    EXPECT_EQ(EntityClass(p), "Pivot");
    EXPECT_EQ(listed(), std::vector<EntityRef>{p});
}

TEST_F(CommandsTest, CommandsDispatchByTheReceiversKind) {
    EntityRef p = CreatePivot(nullptr);
    EntityRef bone = FakeBone::Create(p);
    EntityRef copy = CopyEntity(bone, nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<FakeBone>(copy)) << "the bone kind's own copy";
    FreeEntity(bone); // a bone's own free does nothing
    EXPECT_TRUE(inList(bone));
    EXPECT_EQ(GetParent(bone), p);

    EntityRef pivot_copy = CopyEntity(p, nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<TPivot>(pivot_copy));
    EXPECT_TRUE(std::dynamic_pointer_cast<FakeBone>(GetChild(pivot_copy, 1)));
}

TEST_F(CommandsTest, PositionAndReadBack) {
    EntityRef e = CreatePivot(nullptr);
    PositionEntity(e, 1, 2, 3, 0);
    EXPECT_EQ(GetMatElement(e, 3, 0), 1.0f);
    EXPECT_EQ(EntityX(e, 0), 1.0f);

    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 10, 0, 0, 0);
    EntityRef c = CreatePivot(p);
    PositionEntity(c, 15, 0, 0, 1);
    EXPECT_NEAR(EntityX(c, 1), 15.0f, 1e-6f);
    EXPECT_NEAR(EntityX(c, 0), 5.0f, 1e-6f);
}

TEST_F(CommandsTest, TFormedValuesStayUntilTheNextConversion) {
    EntityRef e = CreatePivot(nullptr);
    PositionEntity(e, 4, 5, 6, 0);
    TFormPoint(1, 0, 0, e, nullptr);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(TFormedX(), 5.0f);
        EXPECT_EQ(TFormedY(), 5.0f);
        EXPECT_EQ(TFormedZ(), 6.0f);
    }
    TFormVector(1, 0, 0, e, nullptr);
    EXPECT_EQ(TFormedX(), 1.0f);
    EXPECT_EQ(TFormedZ(), 0.0f);
    TFormNormal(0, 3, 0, nullptr, nullptr);
    EXPECT_EQ(TFormedY(), 1.0f);
}

TEST_F(CommandsTest, VectorHeadings) {
    EXPECT_NEAR(VectorYaw(1, 0, 0), -90.0f, 1e-5f);
    EXPECT_NEAR(VectorYaw(0, 0, 1), 0.0f, 1e-5f);
    EXPECT_NEAR(VectorPitch(0, 1, 0), -90.0f, 1e-5f);
    EXPECT_NEAR(VectorPitch(0, 1, 1), -45.0f, 1e-4f);
}

} // namespace
