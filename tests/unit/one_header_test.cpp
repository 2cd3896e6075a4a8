// A program needs one header: engine/commands.h alone takes every kind of handle wherever an
// entity is taken, and names the platform's program-facing commands and the 2D hand-over. This
// file includes nothing else on purpose.
#include "engine/commands.h"

#include <gtest/gtest.h>

namespace {

TEST(OneHeaderTest, EveryEntityKindPassesWhereAnEntityIsTaken) {
    MeshRef mesh = CreateCube(nullptr);
    PivotRef pivot = CreatePivot(nullptr);
    CameraRef camera = CreateCamera(pivot);
    LightRef light = CreateLight(1, pivot);
    SpriteRef sprite = CreateSprite(mesh);
    ASSERT_TRUE(mesh && pivot && camera && light && sprite);

    PositionEntity(mesh, 1, 2, 3, 0);
    PositionEntity(pivot, -4, 0, 0, 0);
    EXPECT_FLOAT_EQ(EntityX(mesh, 1), 1);
    EXPECT_FLOAT_EQ(EntityX(camera, 1), -4) << "a camera follows its pivot parent";
    EXPECT_FLOAT_EQ(EntityX(light, 1), -4);
    EXPECT_FLOAT_EQ(EntityY(sprite, 1), 2) << "a sprite follows its mesh parent";
    EXPECT_EQ(GetParent(sprite), EntityRef(mesh));
    EXPECT_EQ(CountChildren(pivot), 2);

    BoneRef bone; // the null handle of every kind converts too, and is a no-op
    PositionEntity(bone, 1, 1, 1, 0);
    EXPECT_FLOAT_EQ(EntityX(bone, 1), 0);

    for (const EntityRef& e : {EntityRef(sprite), EntityRef(light), EntityRef(camera),
                               EntityRef(mesh), EntityRef(pivot)})
        FreeEntity(e);
}

TEST(OneHeaderTest, PlatformCommandsAndTheHandOverNeedNoOtherHeader) {
    // Without a display these are safe no-ops; what matters here is that they are declared.
    Begin2D();
    End2D();
    EXPECT_FALSE(GraphicsOpen());
    EXPECT_EQ(KeyHit(Key::Escape), 0);
    EXPECT_EQ(MouseHit(MouseButton::Left), 0);
    EXPECT_EQ(MouseZ(), 0);
    EXPECT_GE(Millisecs(), 0);
    const int r = Rand(1, 6);
    EXPECT_TRUE(r >= 1 && r <= 6);
}
} // namespace
