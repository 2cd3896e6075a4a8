// Entity transforms: matrix build, setters and queries, the global flag, conversions between
// spaces, distances and headings.
#include "entity_fixture.h"

#include <string>
#include <vector>

namespace {

using TransformTest = SceneTest;

struct Placement {
    float x, y, z, pitch, yaw, roll, s;
};

EntityRef placed(const EntityRef& parent, const Placement& p) {
    EntityRef e = CreatePivot(parent);
    PositionEntity(e, p.x, p.y, p.z, 0);
    RotateEntity(e, p.pitch, p.yaw, p.roll, 0);
    ScaleEntity(e, p.s, p.s, p.s, 0);
    return e;
}

TMatrix localOf(const TMatrix& base, const Placement& p) {
    return composeLocal(base, p.x, p.y, p.z, p.pitch, p.yaw, p.roll, p.s, p.s, p.s);
}

Vec3 worldPos(const EntityRef& e) {
    return {EntityX(e, 1), EntityY(e, 1), EntityZ(e, 1)};
}

void expectVecNear(const Vec3& a, const Vec3& b, float tol, const std::string& what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[std::size_t(i)], b[std::size_t(i)], tol) << what;
}

Vec3 tformed() {
    return {TFormedX(), TFormedY(), TFormedZ()};
}

// ---- Matrix build and stored values ----

TEST_F(TransformTest, MatrixIsParentTimesTranslateYawPitchRollScale) {
    const std::vector<Placement> cases = {
        {1, 2, 3, 0, 0, 0, 1},  {0, 0, 0, 30, 0, 0, 1},     {0, 0, 0, 0, 45, 0, 1},
        {0, 0, 0, 0, 0, 60, 1}, {5, -1, 2, 20, 35, -70, 2}, {-3, 4, -8, -50, 170, 15, 0.5f},
    };
    EntityRef grand = placed(nullptr, {2, 0, 1, 10, 20, 30, 1});
    EntityRef parent = placed(grand, {0, 3, 0, -25, 80, 5, 2});
    for (const Placement& c : cases) {
        EntityRef root = placed(nullptr, c);
        expectMatrixNear(root->mat, localOf(identityMatrix(), c), 1e-5f, "root");
        EntityRef child = placed(parent, c);
        TMatrix expected = localOf(
            localOf(localOf(identityMatrix(), {2, 0, 1, 10, 20, 30, 1}), {0, 3, 0, -25, 80, 5, 2}),
            c);
        expectMatrixNear(child->mat, expected, 1e-4f, "grandchild of rotated, scaled parents");
    }
}

TEST_F(TransformTest, ZAndPitchAreStoredNegated) {
    EntityRef e = CreatePivot(nullptr);
    PositionEntity(e, 1, 2, 3, 0);
    EXPECT_EQ(e->pz, -3.0f);
    EXPECT_EQ(EntityZ(e, 0), 3.0f);
    EXPECT_EQ(EntityZ(e, 1), 3.0f);
    EXPECT_EQ(GetMatElement(e, 3, 0), 1.0f);
    EXPECT_EQ(GetMatElement(e, 3, 1), 2.0f);
    EXPECT_EQ(GetMatElement(e, 3, 2), -3.0f);
    EXPECT_EQ(GetMatElement(e, 3, 3), 1.0f);

    RotateEntity(e, 30, 0, 0, 0);
    EXPECT_EQ(e->rx, -30.0f);
    EXPECT_EQ(EntityPitch(e, 0), 30.0f);
    EXPECT_NEAR(EntityPitch(e, 1), 30.0f, 1e-4f);
    // The z axis (column 2) of Rx(-30) is (0, sin 30, cos 30).
    EXPECT_NEAR(GetMatElement(e, 2, 1), 0.5f, 1e-6f);
    EXPECT_NEAR(GetMatElement(e, 2, 2), 0.8660254f, 1e-6f);
    EXPECT_EQ(GetMatElement(e, 4, 0), 0.0f) << "outside the matrix";
    EXPECT_EQ(GetMatElement(e, 0, -1), 0.0f);
}

TEST_F(TransformTest, AngleQueriesOfARoot) {
    struct Case {
        float pitch, yaw, roll;
        float local_pitch, local_yaw, local_roll; // as stored, unwrapped
        float world_pitch, world_yaw, world_roll; // from the matrix
    };
    const std::vector<Case> cases = {
        {30, 0, 0, 30, 0, 0, 30, 0, 0},
        // Tiny global angles snap to 0.
        {0.00005f, 0, 0, 0.00005f, 0, 0, 0, 0, 0},
        {0, 0.00005f, 0, 0, 0.00005f, 0, 0, 0, 0},
        {0, 0, -0.00005f, 0, 0, -0.00005f, 0, 0, 0},
        {0, 400, 0, 0, 400, 0, 0, 40, 0},
        {0, -200, 0, 0, -200, 0, 0, 160, 0},
        {0, 0, 270, 0, 0, 270, 0, 0, -90},
        {-40, 120, 35, -40, 120, 35, -40, 120, 35},
    };
    for (const Case& c : cases) {
        EntityRef e = CreatePivot(nullptr);
        RotateEntity(e, c.pitch, c.yaw, c.roll, 0);
        EXPECT_EQ(EntityPitch(e, 0), c.local_pitch);
        EXPECT_EQ(EntityYaw(e, 0), c.local_yaw);
        EXPECT_EQ(EntityRoll(e, 0), c.local_roll);
        // A world angle of 0 is exact here (the matrix elements it comes from are 0 or snap).
        const auto expectAngle = [&](float actual, float expected, const char* which) {
            if (expected == 0.0f) {
                EXPECT_EQ(actual, 0.0f)
                    << which << " of " << c.pitch << "," << c.yaw << "," << c.roll;
            } else {
                EXPECT_NEAR(actual, expected, 1e-3f)
                    << which << " of " << c.pitch << "," << c.yaw << "," << c.roll;
            }
        };
        expectAngle(EntityPitch(e, 1), c.world_pitch, "pitch");
        expectAngle(EntityYaw(e, 1), c.world_yaw, "yaw");
        expectAngle(EntityRoll(e, 1), c.world_roll, "roll");
    }
}

TEST_F(TransformTest, TurnEntityAddsToTheLocalAngles) {
    EntityRef e = CreatePivot(nullptr);
    TurnEntity(e, 10, 5, -3, 0);
    TurnEntity(e, 10, 5, -3, 0);
    EXPECT_EQ(EntityPitch(e, 0), 20.0f);
    EXPECT_EQ(EntityYaw(e, 0), 10.0f);
    EXPECT_EQ(EntityRoll(e, 0), -6.0f);
    expectMatrixNear(e->mat, localOf(identityMatrix(), {0, 0, 0, 20, 10, -6, 1}), 1e-6f, "");

    // Under a parent, global 1 turns the local angles just the same.
    EntityRef p = placed(nullptr, {0, 0, 0, 0, 90, 0, 1});
    EntityRef c = CreatePivot(p);
    TurnEntity(c, 10, 0, 0, 1);
    EXPECT_EQ(EntityPitch(c, 0), 10.0f);
}

// ---- Moves ----

TEST_F(TransformTest, MoveEntityFollowsTheOwnRotationButNotTheOwnScale) {
    struct Case {
        Placement start;
        Vec3 move;
        Vec3 expected; // local position afterwards
    };
    const std::vector<Case> cases = {
        {{0, 0, 0, 0, 0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
        {{0, 0, 0, 0, 90, 0, 1}, {0, 0, 1}, {-1, 0, 0}}, // yaw 90 faces -x
        {{0, 0, 0, 0, 0, 0, 2}, {0, 0, 1}, {0, 0, 1}},   // scale 2 still moves 1
        {{1, 1, 1, 90, 0, 0, 1}, {0, 0, 2}, {1, -1, 1}}, // pitch 90 faces down
        {{0, 0, 0, 0, 0, 90, 1}, {1, 0, 0}, {0, 1, 0}},  // roll 90 turns +x to +y
    };
    for (const Case& c : cases) {
        EntityRef e = placed(nullptr, c.start);
        MoveEntity(e, c.move[0], c.move[1], c.move[2]);
        expectVecNear({EntityX(e, 0), EntityY(e, 0), EntityZ(e, 0)}, c.expected, 1e-5f, "move");
    }
    // A child of a parent scaled by 2 moves 2 world units: the parent's matrix scales it.
    EntityRef p = placed(nullptr, {0, 0, 0, 0, 0, 0, 2});
    EntityRef c = CreatePivot(p);
    MoveEntity(c, 0, 0, 1);
    expectVecNear(worldPos(c), {0, 0, 2}, 1e-5f, "child of scaled parent");
}

TEST_F(TransformTest, PositionAndTranslateUnderAMovedOrScaledParent) {
    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 10, 0, 0, 0);
    EntityRef c = CreatePivot(p);
    PositionEntity(c, 0, 0, 0, 1);
    EXPECT_NEAR(EntityX(c, 0), -10.0f, 1e-6f);
    EXPECT_NEAR(EntityX(c, 1), 0.0f, 1e-6f);
    TranslateEntity(c, 1, 0, 0, 1);
    EXPECT_NEAR(EntityX(c, 1), 1.0f, 1e-6f);
    PositionEntity(c, 15, 0, 0, 1);
    EXPECT_NEAR(EntityX(c, 1), 15.0f, 1e-6f);
    EXPECT_NEAR(EntityX(c, 0), 5.0f, 1e-6f);

    EntityRef s = placed(nullptr, {0, 0, 0, 0, 0, 0, 2});
    EntityRef d = CreatePivot(s);
    PositionEntity(d, 4, 0, 0, 1);
    EXPECT_NEAR(EntityX(d, 0), 2.0f, 1e-6f);
    EXPECT_NEAR(EntityX(d, 1), 4.0f, 1e-6f);
    // The translation does not divide by the parent's scale: 4 local units are 8 world units.
    TranslateEntity(d, 4, 0, 0, 1);
    EXPECT_NEAR(EntityX(d, 0), 6.0f, 1e-6f);
    EXPECT_NEAR(EntityX(d, 1), 12.0f, 1e-5f);
}

TEST_F(TransformTest, ScaleEntityGlobalDividesByEveryAncestor) {
    EntityRef g = placed(nullptr, {0, 0, 0, 0, 0, 0, 3});
    EntityRef p = CreatePivot(g);
    ScaleEntity(p, 2, 4, 0.5f, 0);
    EntityRef c = CreatePivot(p);
    ScaleEntity(c, 12, 12, 12, 1);
    EXPECT_NEAR(c->sx, 2.0f, 1e-6f);
    EXPECT_NEAR(c->sy, 1.0f, 1e-6f);
    EXPECT_NEAR(c->sz, 8.0f, 1e-6f);
    EXPECT_NEAR(c->EntityScaleX(1), 12.0f, 1e-5f);
    EXPECT_NEAR(c->EntityScaleY(1), 12.0f, 1e-5f);
    EXPECT_NEAR(c->EntityScaleZ(1), 12.0f, 1e-5f);
    EXPECT_EQ(c->EntityScaleX(0), 2.0f);

    EntityRef two = placed(nullptr, {0, 0, 0, 0, 0, 0, 2});
    EntityRef k = CreatePivot(two);
    ScaleEntity(k, 2, 2, 2, 1);
    EXPECT_EQ(k->sx, 1.0f);
    EXPECT_EQ(k->EntityScaleX(1), 2.0f);
}

// ---- World values under rotated and scaled parents ----

// Parents to test the world conversions under: moved only, turned, and turned and scaled
// (uniformly) below another turned entity.
struct ParentSetup {
    std::string what;
    std::vector<Placement> chain; // root first
};

const std::vector<ParentSetup>& parentSetups() {
    static const std::vector<ParentSetup> setups = {
        {"moved", {{10, 0, 0, 0, 0, 0, 1}}},
        {"yaw 90", {{0, 0, 0, 0, 90, 0, 1}}},
        {"turned and scaled", {{1, 2, 3, 30, -60, 20, 2}}},
        {"two levels", {{-4, 1, 2, 15, 40, -10, 1}, {0, 2, 5, -35, 100, 25, 0.5f}}},
    };
    return setups;
}

EntityRef buildChain(const ParentSetup& s) {
    EntityRef p;
    for (const Placement& pl : s.chain) p = placed(p, pl);
    return p;
}

TEST_F(TransformTest, GlobalPositionRoundTripsUnderRotatedScaledParents) {
    for (const ParentSetup& s : parentSetups()) {
        EntityRef p = buildChain(s);
        EntityRef c = CreatePivot(p);
        PositionEntity(c, 3, -7, 11, 1);
        expectVecNear(worldPos(c), {3, -7, 11}, 1e-4f, s.what);
        // The local position it stored, composed on the parent's matrix, lands there too.
        const Vec3 world = mapPoint(p->mat, {c->px, c->py, c->pz});
        expectVecNear(world, {3, -7, -11}, 1e-4f, s.what + " (stored coordinates)");
        expectMatrixNear(
            c->mat,
            composeLocal(p->mat, EntityX(c, 0), EntityY(c, 0), EntityZ(c, 0), 0, 0, 0, 1, 1, 1),
            1e-5f, s.what);
    }
}

TEST_F(TransformTest, GlobalRotationGivesThatWorldOrientation) {
    const std::vector<Vec3> angles = {
        {30, 0, 0}, {0, 45, 0}, {0, 0, 60}, {-20, 130, 35}, {50, -75, -160}};
    for (const ParentSetup& s : parentSetups()) {
        EntityRef p = buildChain(s);
        for (const Vec3& a : angles) {
            EntityRef c = CreatePivot(p);
            RotateEntity(c, a[0], a[1], a[2], 1);
            const std::string what = s.what + " angles " + std::to_string(a[0]) + "," +
                                     std::to_string(a[1]) + "," + std::to_string(a[2]);
            EXPECT_NEAR(EntityPitch(c, 1), a[0], 2e-3f) << what;
            EXPECT_NEAR(EntityYaw(c, 1), a[1], 2e-3f) << what;
            EXPECT_NEAR(EntityRoll(c, 1), a[2], 2e-3f) << what;
            TMatrix expected = localOf(identityMatrix(), {0, 0, 0, a[0], a[1], a[2], 1});
            expectMatrixNear(rotationOf(c->mat), rotationOf(expected), 1e-5f, what);
        }
    }
}

TEST_F(TransformTest, GlobalRotationUnderATurnedParentIsNotARoll) {
    // With a parent turned 90 in yaw, a world pitch of 30 must stay a pitch.
    EntityRef p = placed(nullptr, {0, 0, 0, 0, 90, 0, 1});
    EntityRef c = CreatePivot(p);
    RotateEntity(c, 30, 0, 0, 1);
    EXPECT_NEAR(EntityPitch(c, 1), 30.0f, 1e-3f);
    EXPECT_NEAR(EntityYaw(c, 1), 0.0f, 1e-3f);
    EXPECT_NEAR(EntityRoll(c, 1), 0.0f, 1e-3f);
    EXPECT_NEAR(EntityYaw(c, 0), -90.0f, 1e-3f);
}

// Pitched straight up or down, yaw and roll turn about one axis: the world queries read the
// whole turn as yaw with roll 0, so a global rotation under a parent keeps the orientation.
TEST_F(TransformTest, GlobalRotationPitchedStraightUpOrDownKeepsItsTurn) {
    struct Case {
        float pitch, yaw, roll, world_yaw;
    };
    // At pitch 90 the turn is yaw + roll, at pitch -90 yaw - roll.
    const std::vector<Case> cases = {
        {90, 30, 0, 30}, {-90, 30, 0, 30}, {90, 50, 20, 70}, {-90, 50, 20, 30}, {90, 0, 0, 0}};
    for (const ParentSetup& s : parentSetups()) {
        EntityRef p = buildChain(s);
        for (const Case& c : cases) {
            const std::string what = s.what + " angles " + std::to_string(c.pitch) + "," +
                                     std::to_string(c.yaw) + "," + std::to_string(c.roll);
            EntityRef root = CreatePivot(nullptr);
            RotateEntity(root, c.pitch, c.yaw, c.roll, 0);
            EXPECT_NEAR(EntityPitch(root, 1), c.pitch, 2e-3f) << what;
            EXPECT_NEAR(EntityYaw(root, 1), c.world_yaw, 2e-3f) << what;
            EXPECT_EQ(EntityRoll(root, 1), 0.0f) << what;

            EntityRef child = CreatePivot(p);
            RotateEntity(child, c.pitch, c.yaw, c.roll, 1);
            expectMatrixNear(rotationOf(child->mat), rotationOf(root->mat), 1e-4f, what);
        }
    }
}

TEST_F(TransformTest, GlobalRotationUnderAnUnturnedParentIsTheLocalRotation) {
    EntityRef p = placed(nullptr, {10, 5, 0, 0, 0, 0, 2});
    EntityRef c = CreatePivot(p);
    RotateEntity(c, 30, 40, 50, 1);
    EXPECT_NEAR(EntityPitch(c, 0), 30.0f, 1e-3f);
    EXPECT_NEAR(EntityYaw(c, 0), 40.0f, 1e-3f);
    EXPECT_NEAR(EntityRoll(c, 0), 50.0f, 1e-3f);
}

TEST_F(TransformTest, GlobalTranslationRunsAlongWorldAxes) {
    for (const ParentSetup& s : parentSetups()) {
        EntityRef p = buildChain(s);
        EntityRef c = CreatePivot(p);
        PositionEntity(c, 1, 1, 1, 1);
        TranslateEntity(c, 0, 0, 2, 1);
        // Along world +z, lengthened by the parents' (uniform) world scale, which the
        // translation does not divide out.
        const float parents_scale = p->EntityScaleX(1);
        expectVecNear(worldPos(c), {1, 1, 1 + 2 * parents_scale}, 1e-4f, s.what);
    }
}

// ---- The global flag ----

TEST_F(TransformTest, SettersConvertOnlyForGlobalExactlyOne) {
    for (int global : {0, 1, 2, -1}) {
        const std::string what = "global " + std::to_string(global);
        EntityRef p = placed(nullptr, {10, 0, 0, 0, 90, 0, 2});
        EntityRef c = CreatePivot(p);
        PositionEntity(c, 1, 2, 3, global);
        if (global == 1) {
            expectVecNear(worldPos(c), {1, 2, 3}, 1e-5f, what);
        } else {
            expectVecNear({EntityX(c, 0), EntityY(c, 0), EntityZ(c, 0)}, {1, 2, 3}, 0.0f, what);
        }

        RotateEntity(c, 10, 20, 30, global);
        const int readback = global == 1 ? 1 : 0;
        EXPECT_NEAR(EntityPitch(c, readback), 10.0f, 1e-3f) << what;
        EXPECT_NEAR(EntityYaw(c, readback), 20.0f, 1e-3f) << what;
        EXPECT_NEAR(EntityRoll(c, readback), 30.0f, 1e-3f) << what;

        ScaleEntity(c, 4, 4, 4, global);
        EXPECT_EQ(c->sx, global == 1 ? 2.0f : 4.0f) << what;

        PositionEntity(c, 0, 0, 0, 0);
        TranslateEntity(c, 1, 0, 0, global);
        if (global == 1) {
            expectVecNear(worldPos(c), {10 + 2, 0, 0}, 1e-5f, what);
        } else {
            expectVecNear({EntityX(c, 0), EntityY(c, 0), EntityZ(c, 0)}, {1, 0, 0}, 0.0f, what);
        }
    }
}

TEST_F(TransformTest, GettersReadWorldValuesForAnyNonZeroGlobal) {
    EntityRef p = placed(nullptr, {10, 0, 0, 0, 90, 0, 2});
    EntityRef c = CreatePivot(p);
    PositionEntity(c, 0, 0, 1, 0);
    RotateEntity(c, 0, 10, 0, 0);
    ScaleEntity(c, 3, 3, 3, 0);
    for (int global : {1, 2, -1}) {
        // Local (0, 0, 1) under yaw 90 (facing -x) and scale 2 is world (10 - 2, 0, 0).
        EXPECT_NEAR(EntityX(c, global), 8.0f, 1e-5f) << global;
        EXPECT_NEAR(EntityZ(c, global), 0.0f, 1e-5f) << global;
        EXPECT_NEAR(EntityYaw(c, global), 100.0f, 1e-3f) << global;
    }
    EXPECT_EQ(EntityX(c, 0), 0.0f);
    EXPECT_EQ(EntityZ(c, 0), 1.0f);
    EXPECT_EQ(EntityYaw(c, 0), 10.0f);
    // The scale queries convert only for 1.
    EXPECT_EQ(c->EntityScaleX(1), 6.0f);
    EXPECT_EQ(c->EntityScaleX(2), 3.0f);
    EXPECT_EQ(c->EntityScaleX(-1), 3.0f);
    EXPECT_EQ(p->EntityScaleX(1), 2.0f) << "a root's scale is its own";
}

// ---- Bones ----

TEST_F(TransformTest, RebuildSkipsBonesAndEverythingBelowThem) {
    EntityRef p = CreatePivot(nullptr);
    EntityRef bone = FakeBone::Create(p);
    EntityRef below = CreatePivot(bone);
    PositionEntity(below, 0, 1, 0, 0);
    EntityRef sibling = CreatePivot(p);
    const TMatrix bone_before = bone->mat;
    const TMatrix below_before = below->mat;

    PositionEntity(p, 5, 0, 0, 0);
    RotateEntity(p, 0, 30, 0, 0);
    expectMatrixNear(bone->mat, bone_before, 0.0f, "bone");
    expectMatrixNear(below->mat, below_before, 0.0f, "below the bone");
    expectMatrixNear(sibling->mat, p->mat, 0.0f, "non-bone sibling follows");
}

// ---- Facing ----

TEST_F(TransformTest, PointEntityFacesTheTarget) {
    struct Case {
        Vec3 target;
        float pitch, yaw;
    };
    const std::vector<Case> cases = {
        {{0, 0, 10}, 0, 0},   {{0, 10, 10}, -45, 0}, {{10, 0, 0}, 0, -90},
        {{-10, 0, 0}, 0, 90}, {{0, -10, 10}, 45, 0}, {{10, 0, 10}, 0, -45},
    };
    for (const ParentSetup& s : parentSetups()) {
        EntityRef p = buildChain(s);
        for (const Case& c : cases) {
            EntityRef e = CreatePivot(p);
            PositionEntity(e, 0, 0, 0, 1);
            EntityRef t = CreatePivot(nullptr);
            PositionEntity(t, c.target[0], c.target[1], c.target[2], 0);
            PointEntity(e, t, 0);
            EXPECT_NEAR(EntityPitch(e, 1), c.pitch, 2e-3f) << s.what;
            EXPECT_NEAR(EntityYaw(e, 1), c.yaw, 2e-3f) << s.what;
            EXPECT_NEAR(EntityRoll(e, 1), 0.0f, 2e-3f) << s.what;
            EXPECT_NEAR(DeltaYaw(e, t), c.yaw, 2e-3f) << s.what;
            EXPECT_NEAR(DeltaPitch(e, t), c.pitch, 2e-3f) << s.what;
            // Moving forward now heads for the target.
            MoveEntity(e, 0, 0, 1);
            const Vec3 w = worldPos(e);
            const float len = std::sqrt(c.target[0] * c.target[0] + c.target[1] * c.target[1] +
                                        c.target[2] * c.target[2]);
            const float ls = e->EntityScaleX(1) / e->sx; // parents' scale lengthens the step
            expectVecNear(w,
                          {c.target[0] / len * ls, c.target[1] / len * ls, c.target[2] / len * ls},
                          1e-4f, s.what + " forward");
        }
    }
}

TEST_F(TransformTest, DeltaYawIgnoresTheOwnHeading) {
    EntityRef a = placed(nullptr, {0, 0, 0, 0, 45, 0, 1});
    EntityRef b = placed(nullptr, {5, 0, 0, 0, 0, 0, 1});
    EXPECT_NEAR(DeltaYaw(a, b), -90.0f, 1e-4f);
    EXPECT_NEAR(DeltaPitch(a, b), 0.0f, 1e-4f);
    EXPECT_EQ(DeltaYaw(a, nullptr), 0.0f);
}

TEST_F(TransformTest, DistancesBetweenWorldPositions) {
    EntityRef p = placed(nullptr, {1, 2, 3, 0, 0, 0, 1});
    EntityRef a = CreatePivot(p);
    EntityRef b = placed(nullptr, {4, 6, 15, 0, 0, 0, 1});
    EXPECT_NEAR(EntityDistance(a, b), 13.0f, 1e-5f);
    EXPECT_NEAR(a->EntityDistanceSquared(b), 169.0f, 1e-4f);
    EXPECT_NEAR(a->EntityDistanceSquared0(b), 169.0f, 1e-4f);
    EXPECT_EQ(EntityDistance(a, nullptr), 0.0f);
}

// ---- Conversions between spaces ----

TEST_F(TransformTest, TFormPointBetweenEntities) {
    TFormPoint(1, 2, 3, nullptr, nullptr);
    expectVecNear(tformed(), {1, 2, 3}, 0.0f, "world to world");
    expectVecNear(tformed(), {1, 2, 3}, 0.0f, "read twice");

    for (const ParentSetup& s : parentSetups()) {
        EntityRef pa = buildChain(s);
        EntityRef a = placed(pa, {1, -2, 4, 15, 25, 35, 1});
        ScaleEntity(a, 1, 2, 3, 0);
        EntityRef b = placed(nullptr, {-6, 2, 1, -70, 10, 80, 1});
        EntityRef bb = CreatePivot(b);
        ScaleEntity(bb, 0.5f, 2, 1, 0);
        PositionEntity(bb, 1, 1, 1, 0);

        TFormPoint(0, 0, 0, a, nullptr);
        expectVecNear(tformed(), worldPos(a), 1e-5f, s.what + " origin to world");

        const Vec3 world = mapPoint(a->mat, {2, 3, -4}); // stored coordinates
        TFormPoint(2, 3, 4, a, nullptr);
        expectVecNear(tformed(), {world[0], world[1], -world[2]}, 1e-4f, s.what + " to world");

        TFormPoint(2, 3, 4, a, bb);
        const Vec3 r = tformed();
        expectVecNear(mapPoint(bb->mat, {r[0], r[1], -r[2]}), world, 1e-4f, s.what + " a to bb");

        TFormPoint(2, 3, 4, a, a);
        expectVecNear(tformed(), {2, 3, 4}, 1e-4f, s.what + " a to a");
    }
}

TEST_F(TransformTest, TFormVectorLeavesTranslationOut) {
    EntityRef moved = placed(nullptr, {5, 6, 7, 0, 0, 0, 1});
    TFormVector(1, 2, 3, moved, nullptr);
    expectVecNear(tformed(), {1, 2, 3}, 1e-6f, "translation ignored");
    TFormVector(1, 2, 3, nullptr, moved);
    expectVecNear(tformed(), {1, 2, 3}, 1e-6f, "into a moved entity");

    EntityRef scaled = placed(nullptr, {5, 0, 0, 0, 0, 0, 2});
    TFormVector(0, 0, 1, scaled, nullptr);
    expectVecNear(tformed(), {0, 0, 2}, 1e-6f, "scale doubles");
    TFormVector(0, 0, 2, nullptr, scaled);
    expectVecNear(tformed(), {0, 0, 1}, 1e-6f, "and halves the other way");

    EntityRef turned = placed(nullptr, {3, 0, 0, 0, 90, 0, 1});
    TFormVector(0, 0, 1, turned, nullptr);
    expectVecNear(tformed(), {-1, 0, 0}, 1e-6f, "yaw 90 turns +z to -x");

    EntityRef deep = placed(buildChain(parentSetups()[3]), {1, 2, 3, 20, 30, 40, 1});
    TFormVector(1, -1, 2, deep, turned);
    const Vec3 r = tformed();
    TMatrix a = deep->mat, b = turned->mat;
    a.grid[3][0] = a.grid[3][1] = a.grid[3][2] = 0.0f;
    b.grid[3][0] = b.grid[3][1] = b.grid[3][2] = 0.0f;
    expectVecNear(mapPoint(b, {r[0], r[1], -r[2]}), mapPoint(a, {1, -1, -2}), 1e-4f, "deep");
}

TEST_F(TransformTest, TFormNormalHasUnitLength) {
    TFormNormal(0, 0, 2, nullptr, nullptr);
    expectVecNear(tformed(), {0, 0, 1}, 0.0f, "world");
    EntityRef e = placed(nullptr, {1, 1, 1, 10, 20, 30, 3});
    TFormNormal(1, 1, 0, e, nullptr);
    const Vec3 n = tformed();
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
    TFormNormal(0, 0, 0, e, nullptr);
    expectVecNear(tformed(), {0, 0, 0}, 0.0f, "a zero normal stays zero");
}

} // namespace
