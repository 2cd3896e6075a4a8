// The entity inspector without a display: selection by scripted keys, the colours it paints,
// the text of its pages (as recorded in TDebug::printed) and the overlay sphere's placement.
#include "engine/commands.h"
#include "engine/inspector.h"
#include "engine/mesh.h"
#include "engine/sprite.h"
#include "entity_fixture.h"
#include "inspector_fixture.h"
#include "platform/input.h"
#include "platform/testing.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// The inspector at its start values, no keys pending, and the hierarchy
//   Car (pivot) -> Body (cube mesh) -> Wheel (sphere mesh)
//               -> Tail (pivot)
// numbered 0 Car, 1 Body, 2 Wheel, 3 Tail.
class InspectorTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        ResetInspector();
        car = CreatePivot(nullptr);
        NameEntity(car, "Car");
        body = CreateCube(car);
        NameEntity(body, "Body");
        wheel = CreateSphere(8, body);
        NameEntity(wheel, "Wheel");
        tail = CreatePivot(car);
        NameEntity(tail, "Tail");
    }
    void TearDown() override {
        ResetInspector();
        SceneTest::TearDown();
    }

    // One inspector frame after the keys were pressed.
    static void frame(const EntityRef& root, std::initializer_list<int> keys = {},
                      const CameraRef& cam = nullptr) {
        for (int k : keys) testseam::PushKeyPress(k);
        TDebug::DebugEntity(root, cam);
    }

    static std::string heading() {
        for (const TDebugLine& l : TDebug::printed)
            if (l.y == 80) return l.text;
        return "<none>";
    }
    // The text printed at (x, y), or "<none>".
    static std::string at(int x, int y) {
        for (const TDebugLine& l : TDebug::printed)
            if (l.x == x && l.y == y) return l.text;
        return "<none>";
    }
    static std::vector<float> colour(const EntityRef& e) {
        return {e->brush->red, e->brush->green, e->brush->blue};
    }

    const std::vector<float> red{1, 0, 0}, white{1, 1, 1};
    EntityRef car, body, wheel, tail;
};

TEST_F(InspectorTest, KeysStepThroughTheHierarchyDepthFirstWithinItsEnds) {
    struct Frame {
        std::initializer_list<int> keys;
        int cno;
        const char* heading;
    } frames[] = {
        {{}, 0, "0. Car (Pivot)"},
        {{Key::Period}, 1, "1. Body (Mesh)"},
        {{Key::Period}, 2, "2. Wheel (Mesh)"},
        {{Key::Period}, 3, "3. Tail (Pivot)"},
        {{Key::Period}, 3, "3. Tail (Pivot)"},           // past the last descendant
        {{Key::Comma, Key::Comma}, 2, "2. Wheel (Mesh)"}, // presses within one frame count once
        {{Key::Period, Key::Comma}, 2, "2. Wheel (Mesh)"},
        {{Key::Comma}, 1, "1. Body (Mesh)"},
        {{Key::Comma}, 0, "0. Car (Pivot)"},
        {{Key::Comma}, 0, "0. Car (Pivot)"}, // before the root
    };
    const EntityRef numbered[] = {car, body, wheel, tail};
    for (const Frame& f : frames) {
        frame(car, f.keys);
        SCOPED_TRACE(f.heading);
        EXPECT_EQ(TDebug::cno, f.cno);
        EXPECT_EQ(heading(), f.heading);
        // The selection is red; every entity selected before it has turned white again.
        for (int n = 0; n < 4; ++n) {
            if (n == f.cno) {
                EXPECT_EQ(colour(numbered[n]), red) << n;
            } else {
                EXPECT_NE(colour(numbered[n]), red) << n;
            }
        }
    }
    for (const EntityRef& e : {body, wheel, tail}) EXPECT_EQ(colour(e), white) << e->name;
}

TEST_F(InspectorTest, RootWithoutDescendantsStaysSelected) {
    EntityRef lone = CreatePivot(nullptr);
    NameEntity(lone, "Lone");
    for (int key : {Key::Period, Key::Comma, Key::Period}) {
        frame(lone, {key});
        EXPECT_EQ(TDebug::cno, 0);
        EXPECT_EQ(heading(), "0. Lone (Pivot)");
        EXPECT_EQ(colour(lone), red);
    }
}

TEST_F(InspectorTest, SelectionNumberIsSharedAndClampedToEachRoot) {
    frame(car, {Key::Period, Key::Period});
    frame(car, {Key::Period});
    frame(car, {Key::Period});
    ASSERT_EQ(TDebug::cno, 3);
    // A smaller root: its last descendant is selected; its own colour is left alone, since it
    // was not the selection of the last call.
    EntityRef small = CreatePivot(nullptr);
    EntityRef only = CreateCube(small);
    EntityColor(small, 0, 255, 0);
    frame(small);
    EXPECT_EQ(TDebug::cno, 1);
    EXPECT_EQ(colour(only), red);
    EXPECT_EQ(colour(small), (std::vector<float>{0, 1, 0}));
}

TEST_F(InspectorTest, NullRootDoesNothingAndLeavesTheKeysPending) {
    testseam::PushKeyPress(Key::Period);
    testseam::PushKeyPress(Key::F1);
    EXPECT_EQ(TDebug::DebugEntity(nullptr, nullptr), 0);
    EXPECT_TRUE(TDebug::printed.empty());
    EXPECT_EQ(TDebug::sphere, nullptr);
    EXPECT_EQ(TDebug::cno, 0);
    frame(car);
    EXPECT_EQ(TDebug::cno, 1);
    EXPECT_EQ(TDebug::bsphere, 1);

    const std::vector<TDebugLine> shown = TDebug::printed;
    const MeshRef kept = TDebug::sphere;
    TDebug::Info1(nullptr);
    TDebug::Info2(nullptr);
    TDebug::Info3(nullptr, nullptr);
    TDebug::BoundingSphere(nullptr);
    EXPECT_EQ(TDebug::printed, shown);
    EXPECT_EQ(TDebug::sphere, kept);
}

TEST_F(InspectorTest, DigitKeysChooseThePageHighestWins) {
    struct Frame {
        std::initializer_list<int> keys;
        int info;
        const char* line120; // the page's first line for the selected pivot Car
    } frames[] = {
        {{}, 1, "X (g): 0.00000000"},
        {{Key::Digit2}, 2, "Entity is not a mesh!"},
        {{Key::Digit3}, 3, "Camera entity not specified!"},
        {{Key::Digit3, Key::Digit1}, 3, "Camera entity not specified!"},
        {{Key::Digit1, Key::Digit2}, 2, "Entity is not a mesh!"},
        {{Key::Digit1}, 1, "X (g): 0.00000000"},
        {{Key::Digit4}, 1, "X (g): 0.00000000"},
    };
    for (const Frame& f : frames) {
        frame(car, f.keys);
        EXPECT_EQ(TDebug::info, f.info);
        EXPECT_EQ(at(0, 120), f.line120);
    }
}

TEST_F(InspectorTest, PositionPageShowsGlobalLocalAndTheMatrixInRowsAndColumns) {
    PositionEntity(car, 10, 0, 0, 0);
    PositionEntity(tail, 1, 2, 3, 0);
    RotateEntity(tail, 0, 0, 0, 0);
    TDebug::Info1(tail);
    ASSERT_EQ(TDebug::printed.size(), 12u + 16u);
    const TDebugLine expected[] = {
        {0, 120, "X (g): 11.0000000"},
        {0, 140, "Y: 2.00000000"},
        {0, 160, "Z: 3.00000000"},
        {0, 180, "Pitch: 0.00000000"},
        {0, 200, "Yaw: 0.00000000"},
        {0, 220, "Roll: 0.00000000"},
        {0, 260, "X (l): 1.00000000"},
        {0, 280, "Y: 2.00000000"},
        {0, 300, "Z: 3.00000000"},
        {0, 360, "Roll: 0.00000000"},
        // Row j of the screen holds grid[i][j] for the columns i: the identity rotation on the
        // left, the translation (z stored negated) in the right-hand column.
        {0, 400, "1.00000000"},
        {100, 400, "0.00000000"},
        {300, 400, "11.0000000"},
        {100, 420, "1.00000000"},
        {300, 420, "2.00000000"},
        {300, 440, "-3.00000000"},
        {0, 460, "0.00000000"},
        {300, 460, "1.00000000"},
    };
    for (const TDebugLine& l : expected) EXPECT_EQ(at(l.x, l.y), l.text) << l.x << "," << l.y;
}

TEST_F(InspectorTest, PositionPagePrintsValuesNearZeroAsZero) {
    PositionEntity(tail, 0.00005f, -0.00005f, 0.0002f, 0);
    TDebug::Info1(tail);
    EXPECT_EQ(at(0, 260), "X (l): 0.00000000");
    EXPECT_EQ(at(0, 280), "Y: 0.00000000");
    EXPECT_EQ(at(0, 300), "Z: 0.000199999995");
    EXPECT_EQ(at(300, 400), "0.00000000");
    EXPECT_EQ(at(300, 420), "0.00000000");
}

TEST_F(InspectorTest, MeshPageCountsAndSizesMeshesAndSprites) {
    ScaleMesh(std::static_pointer_cast<TMesh>(body), 1, 2, 3);
    TDebug::Info2(body);
    const TDebugLine expected[] = {
        {0, 120, "Surfaces: 1.00000000"},    {0, 140, "Vertices: 24.0000000"},
        {0, 160, "Triangles: 12.0000000"},   {0, 180, "Mesh Width: 2.00000000"},
        {0, 200, "Mesh Height: 4.00000000"}, {0, 220, "Mesh Depth: 6.00000000"},
    };
    EXPECT_EQ(TDebug::printed, std::vector<TDebugLine>(std::begin(expected), std::end(expected)));

    // Each page called on its own replaces the record of the last one.
    SpriteRef sprite = CreateSprite(nullptr);
    TDebug::Info2(sprite);
    ASSERT_EQ(TDebug::printed.size(), 6u);
    EXPECT_EQ(TDebug::printed[0].text.rfind("Surfaces: ", 0), 0u) << TDebug::printed[0].text;

    TDebug::Info2(tail);
    EXPECT_EQ(TDebug::printed, (std::vector<TDebugLine>{{0, 120, "Entity is not a mesh!"}}));
}

TEST_F(InspectorTest, F1ShowsAndHidesTheOverlaySphereWhichExistsFromTheFirstFrame) {
    frame(car);
    ASSERT_NE(TDebug::sphere, nullptr);
    const MeshRef sphere = TDebug::sphere;
    EXPECT_EQ(sphere->hide, 1);
    EXPECT_EQ(sphere->class_name, "Mesh");
    EXPECT_TRUE(inList(sphere));

    frame(car, {Key::F1});
    EXPECT_EQ(TDebug::bsphere, 1);
    EXPECT_EQ(sphere->hide, 0);
    EXPECT_FLOAT_EQ(sphere->brush->alpha, 0.75f);
    EXPECT_EQ(colour(sphere), (std::vector<float>{1, 1, 0}));

    frame(car, {Key::F1});
    EXPECT_EQ(TDebug::bsphere, 0);
    EXPECT_EQ(sphere->hide, 1);
    EXPECT_EQ(TDebug::sphere, sphere); // kept, never made again
    frame(car, {Key::F1, Key::F1});      // two presses within one frame switch once
    EXPECT_EQ(TDebug::bsphere, 1);
}

TEST_F(InspectorTest, OverlaySphereSurroundsTheSelectionsBoundingSphere) {
    // The cube's box moved to (0..2, 0..2, 0..2): its middle is (1, 1, 1) in its own space.
    const MeshRef cube = std::static_pointer_cast<TMesh>(body);
    PositionMesh(cube, 1, 1, 1);
    cube->GetBounds();
    const float r = std::sqrt(3.0f); // half the diagonal of the 2x2x2 box
    struct Case {
        float sx, sy, sz;
        float radius;
    } cases[] = {
        {1, 2, 1, 2 * r},
        {1, 1, 3, 3 * r},
        {-3, 1, 1, 3 * r}, // the largest scale magnitude, mirrored or not
        {1, -2, -1, 2 * r},
    };
    TDebug::bsphere = 1;
    for (const Case& c : cases) {
        PositionEntity(car, 5, 0, 0, 0);
        ScaleEntity(body, c.sx, c.sy, c.sz, 0);
        TDebug::BoundingSphere(body);
        const MeshRef s = TDebug::sphere;
        ASSERT_NE(s, nullptr);
        SCOPED_TRACE(std::to_string(c.sx) + " " + std::to_string(c.sy) + " " +
                     std::to_string(c.sz));
        EXPECT_NEAR(EntityX(s, 1), 5 + c.sx, 1e-4);
        EXPECT_NEAR(EntityY(s, 1), c.sy, 1e-4);
        EXPECT_NEAR(EntityZ(s, 1), c.sz, 1e-4);
        EXPECT_NEAR(s->EntityScaleX(0), c.radius, 1e-4);
        EXPECT_NEAR(s->EntityScaleY(0), c.radius, 1e-4);
        EXPECT_NEAR(s->EntityScaleZ(0), c.radius, 1e-4);
    }
}

TEST_F(InspectorTest, FreedOverlaySphereIsMadeAgain) {
    frame(car, {Key::F1});
    const MeshRef first = TDebug::sphere;
    ASSERT_NE(first, nullptr);
    FreeEntity(first);
    frame(car);
    ASSERT_NE(TDebug::sphere, nullptr);
    EXPECT_NE(TDebug::sphere, first);
    EXPECT_TRUE(inList(TDebug::sphere));
    EXPECT_EQ(TDebug::sphere->hide, 0);
}

} // namespace
