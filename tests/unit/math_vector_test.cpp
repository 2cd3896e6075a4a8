#include "engine/math/vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

namespace {

void expectVector(const TVector& v, float x, float y, float z, float tolerance = 0.0f) {
    if (tolerance == 0.0f) {
        EXPECT_EQ(v.x, x);
        EXPECT_EQ(v.y, y);
        EXPECT_EQ(v.z, z);
    } else {
        EXPECT_NEAR(v.x, x, tolerance);
        EXPECT_NEAR(v.y, y, tolerance);
        EXPECT_NEAR(v.z, z, tolerance);
    }
}

double degSin(double a) {
    return std::sin(a * M_PI / 180.0);
}
double degCos(double a) {
    return std::cos(a * M_PI / 180.0);
}

TEST(VectorTest, ArithmeticReturnsNewVectors) {
    const TVector a = TVector::Create(1.0f, -2.0f, 3.0f);
    const TVector b = TVector::Create(4.0f, 5.0f, -6.0f);
    expectVector(TVector{}, 0, 0, 0);
    expectVector(a.Copy(), 1, -2, 3);
    expectVector(a.Add(b), 5, 3, -3);
    expectVector(a.Subtract(b), -3, -7, 9);
    expectVector(a.Multiply(-2.0f), -2, 4, -6);
    expectVector(b.Divide(2.0f), 2, 2.5f, -3);
    EXPECT_EQ(a.Dot(b), 4.0f - 10.0f - 18.0f);
    EXPECT_EQ(a.SquaredLength(), 14.0f);
    expectVector(a, 1, -2, 3); // none of them touched the receiver
}

TEST(VectorTest, CrossIsReceiverCrossArgument) {
    const TVector x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    expectVector(x.Cross(y), 0, 0, 1);
    expectVector(y.Cross(z), 1, 0, 0);
    expectVector(z.Cross(x), 0, 1, 0);
    expectVector(y.Cross(x), 0, 0, -1);
    expectVector(TVector{1, 2, 3}.Cross(TVector{4, 5, 6}), 2 * 6 - 3 * 5, 3 * 4 - 1 * 6,
                 1 * 5 - 2 * 4);
}

TEST(VectorTest, DotSumsInFloatInTheOrderXYZ) {
    // (1 + 1e8) rounds back to 1e8 in float, so x, y, z order gives 0; z first or a double
    // accumulator would give 1.
    const TVector a{1.0f, 1e8f, -1e8f};
    EXPECT_EQ(a.Dot(TVector{1, 1, 1}), 0.0f);
}

TEST(VectorTest, DivideByZeroLeavesTheVectorUnchanged) {
    expectVector(TVector{1.5f, -2.0f, 0.0f}.Divide(0.0f), 1.5f, -2.0f, 0.0f);
    expectVector(TVector{1.5f, -2.0f, 0.0f}.Divide(-0.0f), 1.5f, -2.0f, 0.0f);
}

TEST(VectorTest, NormalizeMultipliesByTheReciprocalLengthRoundedOnce) {
    TVector v{3.0f, 0.0f, 4.0f};
    v.Normalize();
    expectVector(v, 0.6f, 0.0f, 0.8f, 1e-7f);

    // Here x * float(1/len) differs in the last bit from x / len rounded: the rule is the former.
    const float x = 0.1f, y = 0.74f, z = 1.0f;
    const float f = static_cast<float>(1.0 / std::sqrt(static_cast<double>(x * x + y * y + z * z)));
    TVector w{x, y, z};
    w.Normalize();
    expectVector(w, x * f, y * f, z * f);
    EXPECT_NE(w.x, static_cast<float>(x / std::sqrt(static_cast<double>(x * x + y * y + z * z))));
}

TEST(VectorTest, NormalizeAndLengthOfZeroHugeAndTinyVectors) {
    TVector zero;
    zero.Normalize();
    expectVector(zero, 0, 0, 0);
    EXPECT_EQ(zero.Length(), 0.0f);
    EXPECT_EQ(zero.SetLength(5.0f), 0.0f);
    expectVector(zero, 0, 0, 0);

    // The float squared length overflows or underflows here; the direction is still kept.
    struct Case {
        float x, y, z, length;
    };
    const Case cases[] = {
        {3e20f, 0, -4e20f, 5e20f}, {0, 3e-30f, 4e-30f, 5e-30f}, {1e-40f, 0, 0, 1e-40f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + "," + std::to_string(c.z));
        const TVector v{c.x, c.y, c.z};
        EXPECT_FLOAT_EQ(v.Length(), c.length);
        TVector n = v;
        n.Normalize();
        expectVector(n, c.x / c.length, c.y / c.length, c.z / c.length, 1e-6f);
        EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
    }

    TVector infinite{std::numeric_limits<float>::infinity(), 0, 0};
    infinite.Normalize();
    EXPECT_EQ(infinite.x, std::numeric_limits<float>::infinity());
}

TEST(VectorTest, LengthAndSetLength) {
    EXPECT_EQ((TVector{3, 0, 4}.Length()), 5.0f);
    EXPECT_EQ((TVector{-2, 3, -6}.Length()), 7.0f);
    TVector v{3.0f, 0.0f, 4.0f};
    EXPECT_EQ(v.SetLength(5.0f), 0.0f);
    expectVector(v, 3.0f, 0.0f, 4.0f, 1e-6f);
    TVector w{0.0f, -2.0f, 0.0f};
    w.SetLength(0.5f);
    expectVector(w, 0.0f, -0.5f, 0.0f);
}

TEST(VectorTest, CompareOrdersExactlyByXThenYThenZ) {
    struct Case {
        TVector a, b;
        int expected;
    };
    const Case cases[] = {
        {{1, 5, 0}, {1, 2, 9}, 1},           {{0, 9, 9}, {1, 0, 0}, -1},
        {{2, 3, 4}, {2, 3, 4}, 0},           {{-0.0f, 0.0f, -0.0f}, {0.0f, -0.0f, 0.0f}, 0},
        {{1, 2, 3}, {1, 2, 3.0000002f}, -1}, // one ulp apart: no tolerance
        {{1, 2, 4}, {1, 2, 3}, 1},           {{5, -1, 0}, {5, 1, -100}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a.Compare(c.b), c.expected) << c.a.x << "," << c.a.y << "," << c.a.z << " vs "
                                                << c.b.x << "," << c.b.y << "," << c.b.z;
        EXPECT_EQ(c.b.Compare(c.a), -c.expected);
        EXPECT_EQ(c.a < c.b, c.expected < 0);
    }
}

TEST(VectorTest, EqualPositionsShareOneMapKey) {
    std::map<TVector, int> keys;
    keys[TVector{0.0f, 1.0f, 2.0f}] += 1;
    keys[TVector{-0.0f, 1.0f, 2.0f}] += 1;
    keys[TVector{0.0f, 1.0f, 2.0000002f}] += 1;
    keys[TVector{-1.0f, 7.0f, 7.0f}] += 1;
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys.begin()->first.x, -1.0f);
    EXPECT_EQ((keys[TVector{0.0f, 1.0f, 2.0f}]), 2);
}

TEST(VectorTest, VectorYawOfTheAxes) {
    struct Case {
        float x, y, z, yaw;
    };
    const Case cases[] = {
        {0, 0, 1, 0},        {1, 0, 0, -90},          {-1, 0, 0, 90},          {0, 0, -1, -180},
        {-0.0f, 0, -1, 180}, {1e-7f, 0, -1, -180.0f}, {-1e-7f, 0, -1, 180.0f}, {1, 5, 1, -45},
        {0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(TVector::VectorYaw(c.x, c.y, c.z), c.yaw, 1e-4f)
            << c.x << "," << c.y << "," << c.z;
    }
    EXPECT_EQ(TVector::VectorYaw(0, 0, -1), -180.0f); // x = 0 negates to -0: the lower half
    EXPECT_EQ(TVector::VectorYaw(-0.0f, 0, -1), 180.0f);
}

TEST(VectorTest, VectorPitchPointsDownForPositiveAndSnapsNearZero) {
    struct Case {
        float x, y, z, pitch;
    };
    // 1.7453292e-06 is where the unsnapped pitch rounds to exactly -0.0001 (inclusive bound).
    const float edgeY = 1.7453292e-06f;
    const Case cases[] = {
        {0, 1, 0, -90},
        {0, -1, 0, 90},
        {3, 0, 4, 0},
        {1, 1, 0, -45},
        {0, -1, 1, 45},
        {1, 1e-6f, 0, 0},                // about -0.000057: snapped
        {1, edgeY, 0, 0},                // exactly -0.0001: snapped
        {1, -edgeY, 0, 0},               // exactly +0.0001: snapped
        {1, 2e-6f, 0, -0.000114591559f}, // outside the band: kept
        {0, -2e-6f, 1, 0.000114591559f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + "," + std::to_string(c.z));
        const float p = TVector::VectorPitch(c.x, c.y, c.z);
        if (std::fabs(c.pitch) < 0.001f) {
            EXPECT_NEAR(p, c.pitch, 1e-9f);
        } else {
            EXPECT_FLOAT_EQ(p, c.pitch);
        }
    }
    // Just past the edge the pitch is kept.
    EXPECT_LT(TVector::VectorPitch(1, std::nextafter(edgeY, 1.0f), 0), -0.0001f);
}

TEST(QuaternionTest, QuatToMatOfTheIdentitySnapsOnlyTinyElements) {
    TMatrix m;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) m.grid[i][j] = 5.0f;
    }
    m.grid[3][0] = 0.00005f;  // snapped
    m.grid[3][1] = -0.0001f;  // kept: the band is strict
    m.grid[3][2] = 0.0002f;   // kept
    m.grid[0][3] = -0.00009f; // snapped, although the rotation does not write it
    TQuaternion::QuatToMat(1, 0, 0, 0, m);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_EQ(m.grid[i][j], i == j ? 1.0f : 0.0f);
    }
    EXPECT_EQ(m.grid[3][3], 1.0f);
    EXPECT_EQ(m.grid[3][0], 0.0f);
    EXPECT_EQ(m.grid[3][1], -0.0001f);
    EXPECT_EQ(m.grid[3][2], 0.0002f);
    EXPECT_EQ(m.grid[0][3], 0.0f);
    EXPECT_EQ(m.grid[1][3], 5.0f);
    EXPECT_EQ(m.grid[2][3], 5.0f);
}

TEST(QuaternionTest, QuatToMatOfAQuarterTurnAboutXSnapsTheDiagonal) {
    TMatrix m;
    TQuaternion::QuatToMat(0.70710677f, 0.70710677f, 0, 0, m);
    EXPECT_NEAR(m.grid[1][2], -1.0f, 1e-6f);
    EXPECT_NEAR(m.grid[2][1], 1.0f, 1e-6f);
    EXPECT_EQ(m.grid[1][1], 0.0f);
    EXPECT_EQ(m.grid[2][2], 0.0f);
    EXPECT_EQ(m.grid[0][0], 1.0f);
}

TEST(QuaternionTest, QuatToMatTurnsByTheOppositeAngle) {
    struct Case {
        const char* axis;
        float qx, qy, qz;
        void (TMatrix::*turn)(float);
    };
    const Case cases[] = {
        {"x", 1, 0, 0, &TMatrix::RotatePitch},
        {"y", 0, 1, 0, &TMatrix::RotateYaw},
        {"z", 0, 0, 1, &TMatrix::RotateRoll},
    };
    for (const Case& c : cases) {
        for (float angle : {30.0f, -50.0f, 135.0f}) {
            SCOPED_TRACE(std::string(c.axis) + " " + std::to_string(angle));
            const float w = static_cast<float>(degCos(angle / 2));
            const float s = static_cast<float>(degSin(angle / 2));
            TMatrix q;
            TQuaternion::QuatToMat(w, c.qx * s, c.qy * s, c.qz * s, q);
            TMatrix r;
            r.LoadIdentity();
            (r.*c.turn)(-angle);
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) EXPECT_NEAR(q.grid[i][j], r.grid[i][j], 1e-6f);
            }
        }
    }
}

TEST(QuaternionTest, QuatToEulerSignsDifferByAxis) {
    struct Case {
        float w, x, y, z;
        float pitch, yaw, roll;
    };
    const float c15 = static_cast<float>(degCos(15)), s15 = static_cast<float>(degSin(15));
    const Case cases[] = {
        {0.70710677f, 0.70710677f, 0, 0, 90, 0, 0},
        {c15, s15, 0, 0, 30, 0, 0},
        {c15, 0, s15, 0, 0, -30, 0},
        {c15, 0, 0, s15, 0, 0, -30},
        {1, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "," + std::to_string(c.x) + "," + std::to_string(c.y) +
                     "," + std::to_string(c.z));
        float pitch = 7, yaw = 7, roll = 7;
        TQuaternion::QuatToEuler(c.w, c.x, c.y, c.z, pitch, yaw, roll);
        EXPECT_NEAR(pitch, c.pitch, 1e-4f);
        EXPECT_NEAR(yaw, c.yaw, 1e-4f);
        EXPECT_NEAR(roll, c.roll, 1e-4f);
    }
}

struct Quat {
    float x, y, z, w;
};

int slerp(const Quat& a, const Quat& b, float t, Quat& c) {
    return TQuaternion::Slerp(a.x, a.y, a.z, a.w, b.x, b.y, b.z, b.w, c.x, c.y, c.z, c.w, t);
}

void expectQuat(const Quat& q, const Quat& expected, float tolerance) {
    EXPECT_NEAR(q.x, expected.x, tolerance);
    EXPECT_NEAR(q.y, expected.y, tolerance);
    EXPECT_NEAR(q.z, expected.z, tolerance);
    EXPECT_NEAR(q.w, expected.w, tolerance);
}

float quatLength(const Quat& q) {
    return std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
}

TEST(QuaternionTest, SlerpCopiesANearlyEqualQuaternionAndReportsIt) {
    const Quat a{0.0009f, 0, 0, 1};
    const Quat b{0, -0.0009f, 0.0005f, 0.9995f};
    for (float t : {0.0f, 0.5f, 1.0f, 3.0f}) {
        Quat c{9, 9, 9, 9};
        EXPECT_EQ(slerp(a, b, t, c), 1);
        expectQuat(c, a, 0.0f);
    }
    // A difference of exactly 0.001 in any one component is no longer equal (strict test).
    // The test is on the components alone, so zero quaternions do.
    const Quat e{0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        Quat d = e, near = e;
        float* dk[] = {&d.x, &d.y, &d.z, &d.w};
        float* nk[] = {&near.x, &near.y, &near.z, &near.w};
        *dk[k] = 0.001f;
        *nk[k] = -0.0009f;
        Quat c{};
        EXPECT_EQ(slerp(near, e, 0.5f, c), 1);
        EXPECT_EQ(slerp(d, e, 0.5f, c), 0);
    }
}

TEST(QuaternionTest, SlerpEndsAndMiddle) {
    const float h = 40.0f; // half of an 80 degree turn about y
    const Quat a{0, 0, 0, 1};
    const Quat b{0, static_cast<float>(degSin(h)), 0, static_cast<float>(degCos(h))};
    Quat c{};
    EXPECT_EQ(slerp(a, b, 0.0f, c), 0);
    expectQuat(c, a, 1e-6f);
    EXPECT_EQ(slerp(a, b, 1.0f, c), 0);
    expectQuat(c, b, 1e-6f);
    EXPECT_EQ(slerp(a, b, 0.25f, c), 0);
    expectQuat(c, {0, static_cast<float>(degSin(h / 4)), 0, static_cast<float>(degCos(h / 4))},
               1e-6f);
}

TEST(QuaternionTest, SlerpTakesTheShorterArc) {
    // b = -a is the same rotation: the target becomes a and every t gives a.
    const Quat a{0.6f, 0, 0, 0.8f};
    const Quat minusA{-0.6f, 0, 0, -0.8f};
    for (float t : {0.0f, 0.3f, 1.0f}) {
        Quat c{};
        EXPECT_EQ(slerp(a, minusA, t, c), 0);
        expectQuat(c, a, 1e-6f);
    }

    // A negative dot product negates b: t = 1 yields -b.
    const Quat b{0, 0.5f, 0, -0.8660254f};
    Quat c{};
    slerp(a, b, 1.0f, c);
    expectQuat(c, {0, -0.5f, 0, 0.8660254f}, 1e-6f);

    // A dot product of exactly 0 negates b too.
    const Quat i{0, 0, 0, 1}, j{1, 0, 0, 0};
    slerp(i, j, 1.0f, c);
    expectQuat(c, {-1, 0, 0, 0}, 1e-6f);
    slerp(i, j, 0.5f, c);
    expectQuat(c, {-0.70710677f, 0, 0, 0.70710677f}, 1e-6f);
}

TEST(QuaternionTest, SlerpBlendsLinearlyOnlyWhenNearlyParallel) {
    // Half-angles whose cosines are 0.99995 (1 - cos below 0.0001: plain linear blend, which
    // falls short of unit length) and 0.9995 (spherical: unit length).
    struct Case {
        double cosHalf;
        bool linear;
    };
    for (const Case& k : {Case{0.99995, true}, Case{0.9995, false}}) {
        SCOPED_TRACE(k.cosHalf);
        const double half = std::acos(k.cosHalf) * 180.0 / M_PI;
        const Quat a{0, 0, 0, 1};
        const Quat b{static_cast<float>(degSin(half)), 0, 0, static_cast<float>(degCos(half))};
        Quat c{};
        ASSERT_EQ(slerp(a, b, 0.5f, c), 0);
        if (k.linear) {
            expectQuat(c, {0.5f * b.x, 0, 0, 0.5f * (a.w + b.w)}, 1e-7f);
            EXPECT_LT(quatLength(c), 1.0f - 5e-6f);
        } else {
            EXPECT_NEAR(quatLength(c), 1.0f, 1e-6f);
            expectQuat(
                c,
                {static_cast<float>(degSin(half / 2)), 0, 0, static_cast<float>(degCos(half / 2))},
                1e-6f);
        }
    }
}

} // namespace
