// TVector and TQuaternion: the small value types under the engine's geometry and animation.
//
// Components are 32-bit floats. Arithmetic between components is float arithmetic; square
// roots and trigonometry are taken in double precision (angles in degrees) and rounded to float
// where the result is stored or returned.
#pragma once

#include "engine/math/matrix.h"

struct TVector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    static TVector Create(float x, float y, float z) { return TVector{x, y, z}; }
    TVector Copy() const { return *this; }

    TVector Add(const TVector& v) const { return TVector{x + v.x, y + v.y, z + v.z}; }
    TVector Subtract(const TVector& v) const { return TVector{x - v.x, y - v.y, z - v.z}; }
    TVector Multiply(float s) const { return TVector{x * s, y * s, z * s}; }
    // (x/s, y/s, z/s). A zero divisor returns the vector unchanged instead of infinities.
    TVector Divide(float s) const;
    // x*v.x + y*v.y + z*v.z, summed in that order.
    float Dot(const TVector& v) const { return x * v.x + y * v.y + z * v.z; }
    // receiver x v.
    TVector Cross(const TVector& v) const {
        return TVector{y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }

    // In place: every component multiplied by f = 1 / sqrt(x*x + y*y + z*z), f rounded once to
    // float. A zero vector stays zero (no NaN). A vector whose float squared length overflows
    // or underflows to zero is normalised through double precision instead.
    void Normalize();
    // sqrt(x*x + y*y + z*z); as Normalize, falls back to double precision when the float
    // squared length overflows or underflows.
    float Length() const;
    float SquaredLength() const { return x * x + y * y + z * z; }
    // In place: Normalize, then every component multiplied by length (a zero vector stays
    // zero). Always returns 0.
    float SetLength(float length);

    // Exact lexicographic order on x, then y, then z: 1 when the receiver is greater at the
    // first differing component, -1 when smaller, 0 when all are equal (-0.0 equals 0.0).
    // NaN components compare as equal to anything.
    int Compare(const TVector& other) const;

    // Yaw of a direction in degrees: atan2(-x, z). 0 for +z, -90 for +x, 90 for -x; for -z it is
    // 180 or -180 by the sign of -x (x = 0 gives -180).
    static float VectorYaw(float x, float y, float z);
    // Pitch of a direction in degrees: atan2(sqrt(x*x + z*z), y) - 90, snapped to 0 within
    // +-0.0001 (inclusive). -90 along +y, 90 along -y, 0 for any horizontal direction: positive
    // pitch points downward.
    static float VectorPitch(float x, float y, float z);

    friend bool operator<(const TVector& a, const TVector& b) { return a.Compare(b) < 0; }
};

// Rotation quaternions travel as four separate floats: w first for the conversions, x, y, z, w
// for Slerp. Unit length is expected and not checked.
struct TQuaternion {
    float w = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // Writes the rotation part of the quaternion into mat's upper 3x3 part and sets
    // grid[3][3] = 1; every other element keeps its value. Then each of the sixteen elements
    // (translation included) strictly between -0.0001 and 0.0001 is snapped to 0.
    // As an OpenGL matrix the result turns by the opposite angle: (cos(a/2), sin(a/2), 0, 0)
    // gives the upper 3x3 part of RotatePitch(-a) on the identity, and likewise for yaw and roll.
    static void QuatToMat(float w, float x, float y, float z, TMatrix& mat);
    // Euler angles in degrees of the quaternion's matrix (as QuatToMat fills a zero matrix):
    // a turn of +a about x gives pitch +a, about y gives yaw -a, about z gives roll -a.
    static void QuatToEuler(float w, float x, float y, float z, float& pitch, float& yaw,
                            float& roll);
    // Spherical interpolation from a (t = 0) toward b (t = 1) along the shorter arc (b is
    // negated when a . b <= 0); nearly parallel quaternions blend linearly without
    // renormalising. When a and b differ by less than 0.001 in every component, c = a and the
    // result is 1; otherwise the result is 0.
    static int Slerp(float ax, float ay, float az, float aw, float bx, float by, float bz, float bw,
                     float& cx, float& cy, float& cz, float& cw, float t);
};
