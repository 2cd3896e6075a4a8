#include "engine/math/matrix.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>

namespace {

using Point = std::array<float, 3>;

// Maps a point through the matrix as OpenGL does (column vectors, translation in column 3).
Point mapPoint(const TMatrix& m, const Point& p) {
    Point r{};
    for (int j = 0; j < 3; ++j) {
        r[j] = m.grid[0][j] * p[0] + m.grid[1][j] * p[1] + m.grid[2][j] * p[2] + m.grid[3][j];
    }
    return r;
}

void expectPointNear(const Point& actual, const Point& expected, float tolerance = 1e-6f) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(actual[j], expected[j], tolerance) << "row " << j;
}

void expectMatrixNear(const TMatrix& actual, const TMatrix& expected, float tolerance,
                      const std::string& what) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(actual.grid[i][j], expected.grid[i][j], tolerance)
                << what << ": grid[" << i << "][" << j << "]";
        }
    }
}

TMatrix identity() {
    TMatrix m;
    m.LoadIdentity();
    return m;
}

// A general matrix with rotation, scale and translation, to start compositions from.
TMatrix sample() {
    TMatrix m;
    m.TForm(3.0f, -2.0f, 5.0f, 20.0f, -35.0f, 60.0f, 1.5f, 0.5f, 2.0f);
    return m;
}

TEST(MatrixTest, NewMatrixIsZeroAndLoadIdentityMakesTheIdentity) {
    TMatrix m;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_EQ(m.grid[i][j], 0.0f);
    }
    m.grid[2][1] = 7.0f;
    m.LoadIdentity();
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_EQ(m.grid[i][j], i == j ? 1.0f : 0.0f);
    }
}

TEST(MatrixTest, ElementsLieInOpenGLColumnMajorOrder) {
    TMatrix m = identity();
    m.Translate(4.0f, 5.0f, 6.0f);
    m.grid[1][0] = 9.0f; // column 1, row 0
    const float* gl = m.data();
    EXPECT_EQ(gl[4], 9.0f);
    EXPECT_EQ(gl[12], 4.0f);
    EXPECT_EQ(gl[13], 5.0f);
    EXPECT_EQ(gl[14], 6.0f);
    EXPECT_EQ(gl[15], 1.0f);
}

TEST(MatrixTest, CopyOverwriteAndInverseLeaveTheirSourceUnchanged) {
    const TMatrix m = sample();
    TMatrix probe = m;
    TMatrix copy = probe.Copy();
    TMatrix inverse = probe.Inverse();
    (void)inverse;
    TMatrix target;
    target.Overwrite(probe);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(probe.grid[i][j], m.grid[i][j]);
            EXPECT_EQ(copy.grid[i][j], m.grid[i][j]);
            EXPECT_EQ(target.grid[i][j], m.grid[i][j]);
        }
    }
}

TEST(MatrixTest, TranslationsAccumulateInTheLocalFrame) {
    TMatrix m = identity();
    m.Translate(1.0f, 2.0f, 3.0f);
    m.Translate(1.0f, 0.0f, 0.0f);
    expectPointNear(mapPoint(m, {0, 0, 0}), {2.0f, 2.0f, 3.0f}, 0.0f);

    // Post-multiplication: the turn applies to what is composed after it, not before.
    TMatrix turnedThenMoved = identity();
    turnedThenMoved.RotateYaw(90.0f);
    turnedThenMoved.Translate(0.0f, 0.0f, 1.0f);
    expectPointNear(
        {turnedThenMoved.grid[3][0], turnedThenMoved.grid[3][1], turnedThenMoved.grid[3][2]},
        {1.0f, 0.0f, 0.0f});

    TMatrix movedThenTurned = identity();
    movedThenTurned.Translate(0.0f, 0.0f, 1.0f);
    movedThenTurned.RotateYaw(90.0f);
    expectPointNear(
        {movedThenTurned.grid[3][0], movedThenTurned.grid[3][1], movedThenTurned.grid[3][2]},
        {0.0f, 0.0f, 1.0f}, 0.0f);

    TMatrix scaled = identity();
    scaled.Scale(2.0f, 3.0f, 4.0f);
    scaled.Translate(1.0f, 1.0f, 1.0f);
    expectPointNear(mapPoint(scaled, {0, 0, 0}), {2.0f, 3.0f, 4.0f}, 0.0f);
    expectPointNear(mapPoint(scaled, {1, -1, 0.5f}), {4.0f, 0.0f, 6.0f}, 0.0f);
}

TEST(MatrixTest, ElementaryRotationsTurnTheAxesRightHanded) {
    struct Case {
        const char* name;
        void (TMatrix::*turn)(float);
        float angle;
        Point from;
        Point to;
    };
    const Case cases[] = {
        {"pitch +90: +y to +z", &TMatrix::RotatePitch, 90.0f, {0, 1, 0}, {0, 0, 1}},
        {"pitch +90: +z to -y", &TMatrix::RotatePitch, 90.0f, {0, 0, 1}, {0, -1, 0}},
        {"yaw +90: +z to +x", &TMatrix::RotateYaw, 90.0f, {0, 0, 1}, {1, 0, 0}},
        {"yaw +90: +x to -z", &TMatrix::RotateYaw, 90.0f, {1, 0, 0}, {0, 0, -1}},
        {"roll +90: +x to +y", &TMatrix::RotateRoll, 90.0f, {1, 0, 0}, {0, 1, 0}},
        {"roll +90: +y to -x", &TMatrix::RotateRoll, 90.0f, {0, 1, 0}, {-1, 0, 0}},
        {"pitch -90: +y to -z", &TMatrix::RotatePitch, -90.0f, {0, 1, 0}, {0, 0, -1}},
        {"yaw 180: +z to -z", &TMatrix::RotateYaw, 180.0f, {0, 0, 1}, {0, 0, -1}},
        {"pitch 0 keeps +y", &TMatrix::RotatePitch, 0.0f, {0, 1, 0}, {0, 1, 0}},
        {"pitch0 +90: +y to +z", &TMatrix::RotatePitch0, 90.0f, {0, 1, 0}, {0, 0, 1}},
        {"yaw0 +90: +z to +x", &TMatrix::RotateYaw0, 90.0f, {0, 0, 1}, {1, 0, 0}},
        {"roll0 +90: +x to +y", &TMatrix::RotateRoll0, 90.0f, {1, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix m = identity();
        (m.*c.turn)(c.angle);
        expectPointNear(mapPoint(m, c.from), c.to);
        // A turn leaves translation and bottom row alone.
        EXPECT_EQ(m.grid[3][0], 0.0f);
        EXPECT_EQ(m.grid[3][1], 0.0f);
        EXPECT_EQ(m.grid[3][2], 0.0f);
        EXPECT_EQ(m.grid[0][3], 0.0f);
        EXPECT_EQ(m.grid[3][3], 1.0f);
    }
}

TEST(MatrixTest, TurnsAtThirtyDegreesHaveTheExpectedSineAndCosine) {
    // Catches a swapped sine/cosine or a radians/degrees mix-up that 90 degrees would hide.
    const float c = std::cos(30.0 * M_PI / 180.0), s = std::sin(30.0 * M_PI / 180.0);
    TMatrix pitch = identity();
    pitch.RotatePitch(30.0f);
    expectPointNear(mapPoint(pitch, {0, 1, 0}), {0, c, s});
    TMatrix yaw = identity();
    yaw.RotateYaw(30.0f);
    expectPointNear(mapPoint(yaw, {0, 0, 1}), {s, 0, c});
    TMatrix roll = identity();
    roll.RotateRoll(30.0f);
    expectPointNear(mapPoint(roll, {1, 0, 0}), {c, s, 0});
}

TEST(MatrixTest, RotateIsYawThenPitchThenRoll) {
    const Point angles[] = {{30, 40, 50}, {-70, 15, 120}, {89, -179, 45}, {10, 90, -90}};
    for (const Point& a : angles) {
        SCOPED_TRACE("pitch " + std::to_string(a[0]) + " yaw " + std::to_string(a[1]) + " roll " +
                     std::to_string(a[2]));
        TMatrix combined = sample();
        combined.Rotate(a[0], a[1], a[2]);
        TMatrix steps = sample();
        steps.RotateYaw(a[1]);
        steps.RotatePitch(a[0]);
        steps.RotateRoll(a[2]);
        expectMatrixNear(combined, steps, 1e-6f, "Rotate vs steps");

        // Not the same as another order: the test above would see a reordering.
        TMatrix otherOrder = sample();
        otherOrder.RotatePitch(a[0]);
        otherOrder.RotateYaw(a[1]);
        otherOrder.RotateRoll(a[2]);
        float largest = 0.0f;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                largest = std::max(largest, std::fabs(otherOrder.grid[i][j] - steps.grid[i][j]));
            }
        }
        EXPECT_GT(largest, 0.01f);
    }
}

TEST(MatrixTest, TFormEqualsTheSequenceOfSeparateOperations) {
    struct Case {
        float x, y, z, pitch, yaw, roll, sx, sy, sz;
    };
    const Case cases[] = {
        {0, 0, 0, 30, 40, 50, 1, 2, 1},       {1, 2, 3, -25, 130, 75, 1, 2, 1},
        {-4, 0.5f, 9, 10, 20, 30, 2, 3, 4},   {0, 0, 0, 0, 0, 0, 1, 1, 1},
        {5, 6, 7, 90, -90, 180, -1, 0.5f, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("angles " + std::to_string(c.pitch) + "," + std::to_string(c.yaw) + "," +
                     std::to_string(c.roll) + " scale " + std::to_string(c.sx) + "," +
                     std::to_string(c.sy) + "," + std::to_string(c.sz));
        TMatrix direct;
        direct.TForm(c.x, c.y, c.z, c.pitch, c.yaw, c.roll, c.sx, c.sy, c.sz);
        TMatrix steps = identity();
        steps.Translate(c.x, c.y, c.z);
        steps.RotateYaw(c.yaw);
        steps.RotatePitch(c.pitch);
        steps.RotateRoll(c.roll);
        steps.Scale(c.sx, c.sy, c.sz);
        expectMatrixNear(direct, steps, 2e-6f, "TForm vs steps");
    }
}

TEST(MatrixTest, TFormOverwritesEveryElement) {
    TMatrix m;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) m.grid[i][j] = 99.0f;
    }
    m.TForm(1, 2, 3, 0, 0, 0, 1, 1, 1);
    TMatrix expected = identity();
    expected.grid[3][0] = 1;
    expected.grid[3][1] = 2;
    expected.grid[3][2] = 3;
    expectMatrixNear(m, expected, 0.0f, "TForm over garbage");
}

TEST(MatrixTest, TemporaryMatrixVariantsMatchTheInPlaceOnes) {
    using Op = std::function<void(TMatrix&)>;
    struct Case {
        const char* name;
        Op viaTemporary;
        Op inPlace;
    };
    const Case cases[] = {
        {"Translate", [](TMatrix& m) { m.Translate0(1.5f, -2.0f, 7.0f); },
         [](TMatrix& m) { m.Translate(1.5f, -2.0f, 7.0f); }},
        {"Scale", [](TMatrix& m) { m.Scale0(2.0f, -0.5f, 3.0f); },
         [](TMatrix& m) { m.Scale(2.0f, -0.5f, 3.0f); }},
        {"RotatePitch", [](TMatrix& m) { m.RotatePitch0(33.0f); },
         [](TMatrix& m) { m.RotatePitch(33.0f); }},
        {"RotateYaw", [](TMatrix& m) { m.RotateYaw0(-71.0f); },
         [](TMatrix& m) { m.RotateYaw(-71.0f); }},
        {"RotateRoll", [](TMatrix& m) { m.RotateRoll0(145.0f); },
         [](TMatrix& m) { m.RotateRoll(145.0f); }},
    };
    for (const Case& c : cases) {
        TMatrix a = sample();
        TMatrix b = sample();
        c.viaTemporary(a);
        c.inPlace(b);
        expectMatrixNear(a, b, 2e-6f, c.name);
    }
}

TEST(MatrixTest, MultiplyKeepsTheBottomRowWhileMultiply0IncludesIt) {
    TMatrix receiver = identity();
    receiver.Translate(1.0f, 2.0f, 3.0f);
    TMatrix m = identity();
    m.grid[3][0] = 10.0f;
    m.grid[0][3] = 0.5f; // a bottom row of (0.5, 0, 0.25, 2)
    m.grid[2][3] = 0.25f;
    m.grid[3][3] = 2.0f;

    TMatrix affine = receiver;
    affine.Multiply(m);
    EXPECT_EQ(affine.grid[0][3], 0.0f);
    EXPECT_EQ(affine.grid[1][3], 0.0f);
    EXPECT_EQ(affine.grid[2][3], 0.0f);
    EXPECT_EQ(affine.grid[3][3], 1.0f);
    // The upper rows still see m's bottom row through the receiver's translation column.
    EXPECT_EQ(affine.grid[0][0], 1.0f + 1.0f * 0.5f);
    EXPECT_EQ(affine.grid[3][0], 10.0f + 1.0f * 2.0f);
    EXPECT_EQ(affine.grid[3][1], 2.0f * 2.0f);

    TMatrix full = receiver;
    full.Multiply0(m);
    EXPECT_EQ(full.grid[0][3], 0.5f);
    EXPECT_EQ(full.grid[1][3], 0.0f);
    EXPECT_EQ(full.grid[2][3], 0.25f);
    EXPECT_EQ(full.grid[3][3], 2.0f);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_EQ(full.grid[i][j], affine.grid[i][j]);
    }
}

TEST(MatrixTest, MultiplyComposesOnTheRight) {
    // receiver x m applies m first: translate after a yaw of 90 moves along the turned axis.
    TMatrix turn = identity();
    turn.RotateYaw(90.0f);
    TMatrix move = identity();
    move.Translate(0.0f, 0.0f, 1.0f);
    for (bool full : {false, true}) {
        TMatrix m = turn;
        if (full) {
            m.Multiply0(move);
        } else {
            m.Multiply(move);
        }
        expectPointNear(mapPoint(m, {0, 0, 0}), {1.0f, 0.0f, 0.0f});
    }

    const TMatrix a = sample();
    TMatrix b;
    b.TForm(-1, 4, 2, 70, 10, -30, 1, 1, 3);
    TMatrix product = a;
    product.Multiply(b);
    const Point p{0.25f, -3.0f, 1.5f};
    expectPointNear(mapPoint(product, p), mapPoint(a, mapPoint(b, p)), 1e-5f);
}

TEST(MatrixTest, MultiplyByItselfUsesTheOldValues) {
    const TMatrix m = sample();
    TMatrix self = m;
    self.Multiply(self);
    TMatrix separate = m;
    separate.Multiply(m);
    expectMatrixNear(self, separate, 0.0f, "self multiply");
    TMatrix self0 = m;
    self0.Multiply0(self0);
    TMatrix separate0 = m;
    separate0.Multiply0(m);
    expectMatrixNear(self0, separate0, 0.0f, "self multiply0");
}

TEST(MatrixTest, InverseUndoesRotationAndTranslation) {
    TMatrix m;
    m.TForm(1, 2, 3, 30, 40, 50, 1, 1, 1);
    const TMatrix inverse = m.Inverse();
    TMatrix left = inverse;
    left.Multiply(m);
    expectMatrixNear(left, identity(), 1e-6f, "inverse x m");
    TMatrix right = m;
    right.Multiply(inverse);
    expectMatrixNear(right, identity(), 1e-6f, "m x inverse");
    expectPointNear(mapPoint(inverse, {1, 2, 3}), {0, 0, 0});
}

TEST(MatrixTest, InverseOfAScaledMatrixKeepsThePlainTranspose) {
    TMatrix scale;
    scale.TForm(0, 0, 0, 0, 0, 0, 2, 2, 2);
    const TMatrix inverse = scale.Inverse();
    TMatrix expected = identity();
    expected.grid[0][0] = expected.grid[1][1] = expected.grid[2][2] = 2.0f;
    expectMatrixNear(inverse, expected, 0.0f, "inverse of scale 2");

    // With a translation the scale is applied to it again: -(S^T t).
    TMatrix moved;
    moved.TForm(1, 2, 3, 0, 0, 0, 2, 2, 2);
    const TMatrix movedInverse = moved.Inverse();
    expectPointNear({movedInverse.grid[3][0], movedInverse.grid[3][1], movedInverse.grid[3][2]},
                    {-2.0f, -4.0f, -6.0f}, 0.0f);
    EXPECT_EQ(movedInverse.grid[3][3], 1.0f);

    // The bottom row of the inverse is (0, 0, 0, 1) whatever the receiver holds there.
    TMatrix odd = sample();
    odd.grid[0][3] = 5.0f;
    odd.grid[3][3] = 3.0f;
    const TMatrix oddInverse = odd.Inverse();
    EXPECT_EQ(oddInverse.grid[0][3], 0.0f);
    EXPECT_EQ(oddInverse.grid[3][3], 1.0f);
}

TEST(MatrixTest, AffineInverseUndoesScaleRotationAndTranslation) {
    TMatrix m;
    m.TForm(3.0f, -2.0f, 7.0f, 20.0f, 35.0f, -50.0f, 5.0f, 0.5f, -2.0f);
    const TMatrix inverse = m.AffineInverse();
    for (const Point& p : {Point{1, 2, 3}, Point{-4, 0.5f, 9}}) {
        expectPointNear(mapPoint(inverse, mapPoint(m, p)), p, 1e-4f);
    }
    EXPECT_EQ(inverse.grid[3][3], 1.0f);
    EXPECT_EQ(inverse.grid[0][3], 0.0f);
    // A singular matrix (scale 0 on one axis) falls back to the plain inverse, never to
    // infinities.
    TMatrix flat;
    flat.TForm(1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f);
    expectMatrixNear(flat.AffineInverse(), flat.Inverse(), 0.0f, "singular");
}

TEST(MatrixTest, AffineOperationsNeverTouchTheBottomRow) {
    const std::function<void(TMatrix&)> ops[] = {
        [](TMatrix& m) { m.Translate(1, 2, 3); }, [](TMatrix& m) { m.Scale(2, 3, 4); },
        [](TMatrix& m) { m.Rotate(10, 20, 30); }, [](TMatrix& m) { m.RotatePitch(10); },
        [](TMatrix& m) { m.RotateYaw(10); },      [](TMatrix& m) { m.RotateRoll(10); },
        [](TMatrix& m) { m.Multiply(sample()); },
    };
    for (const auto& op : ops) {
        TMatrix m = sample();
        m.grid[0][3] = 0.1f;
        m.grid[1][3] = 0.2f;
        m.grid[2][3] = 0.3f;
        m.grid[3][3] = 0.4f;
        op(m);
        EXPECT_EQ(m.grid[0][3], 0.1f);
        EXPECT_EQ(m.grid[1][3], 0.2f);
        EXPECT_EQ(m.grid[2][3], 0.3f);
        EXPECT_EQ(m.grid[3][3], 0.4f);
    }
}

} // namespace
