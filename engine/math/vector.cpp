#include "engine/math/vector.h"

#include "platform/mathfn.h"

#include <cmath>

namespace {

// Squared length in double precision, for vectors whose float squared length is not usable.
double wideSquaredLength(const TVector& v) {
    const double x = v.x, y = v.y, z = v.z;
    return x * x + y * y + z * z;
}

// True when the float squared length lost the vector's size: it overflowed, or it underflowed
// to zero although some component is not zero.
bool squaredLengthLost(const TVector& v, float squared) {
    return std::isinf(squared) || (squared == 0.0f && (v.x != 0.0f || v.y != 0.0f || v.z != 0.0f));
}

constexpr float kSnap = 0.0001f;

} // namespace

TVector TVector::Divide(float s) const {
    if (s == 0.0f) return *this;
    return TVector{x / s, y / s, z / s};
}

void TVector::Normalize() {
    const float squared = SquaredLength();
    if (squaredLengthLost(*this, squared)) {
        const double length = std::sqrt(wideSquaredLength(*this));
        if (!std::isfinite(length)) return; // an infinite component: no direction to keep
        x = static_cast<float>(x / length);
        y = static_cast<float>(y / length);
        z = static_cast<float>(z / length);
        return;
    }
    if (squared == 0.0f) return;
    const float f = static_cast<float>(1.0 / Sqr(squared));
    x *= f;
    y *= f;
    z *= f;
}

float TVector::Length() const {
    const float squared = SquaredLength();
    if (squaredLengthLost(*this, squared)) {
        return static_cast<float>(std::sqrt(wideSquaredLength(*this)));
    }
    return static_cast<float>(Sqr(squared));
}

float TVector::SetLength(float length) {
    Normalize();
    x *= length;
    y *= length;
    z *= length;
    return 0.0f;
}

int TVector::Compare(const TVector& other) const {
    if (x > other.x) return 1;
    if (x < other.x) return -1;
    if (y > other.y) return 1;
    if (y < other.y) return -1;
    if (z > other.z) return 1;
    if (z < other.z) return -1;
    return 0;
}

float TVector::VectorYaw(float x, float /*y*/, float z) {
    return static_cast<float>(ATan2(-x, z));
}

float TVector::VectorPitch(float x, float y, float z) {
    float p = static_cast<float>(ATan2(Sqr(x * x + z * z), y) - 90.0);
    if (p >= -kSnap && p <= kSnap) p = 0.0f;
    return p;
}

void TQuaternion::QuatToMat(float w, float x, float y, float z, TMatrix& mat) {
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, xz = x * z, yz = y * z;
    const float wx = w * x, wy = w * y, wz = w * z;

    float(&g)[4][4] = mat.grid;
    g[0][0] = 1.0f - 2.0f * (yy + zz);
    g[0][1] = 2.0f * (xy - wz);
    g[0][2] = 2.0f * (xz + wy);
    g[1][0] = 2.0f * (xy + wz);
    g[1][1] = 1.0f - 2.0f * (xx + zz);
    g[1][2] = 2.0f * (yz - wx);
    g[2][0] = 2.0f * (xz - wy);
    g[2][1] = 2.0f * (yz + wx);
    g[2][2] = 1.0f - 2.0f * (xx + yy);
    g[3][3] = 1.0f;

    for (auto& column : g) {
        for (float& v : column) {
            if (v > -kSnap && v < kSnap) v = 0.0f;
        }
    }
}

void TQuaternion::QuatToEuler(float w, float x, float y, float z, float& pitch, float& yaw,
                              float& roll) {
    TMatrix m;
    QuatToMat(w, x, y, z, m);
    const float(&g)[4][4] = m.grid;
    pitch = static_cast<float>(ATan2(g[2][1], Sqr(g[2][0] * g[2][0] + g[2][2] * g[2][2])));
    yaw = static_cast<float>(ATan2(g[2][0], g[2][2]));
    roll = static_cast<float>(ATan2(g[0][1], g[1][1]));
}

int TQuaternion::Slerp(float ax, float ay, float az, float aw, float bx, float by, float bz,
                       float bw, float& cx, float& cy, float& cz, float& cw, float t) {
    constexpr float kEqual = 0.001f;
    if (std::fabs(ax - bx) < kEqual && std::fabs(ay - by) < kEqual && std::fabs(az - bz) < kEqual &&
        std::fabs(aw - bw) < kEqual) {
        cx = ax;
        cy = ay;
        cz = az;
        cw = aw;
        return 1;
    }

    float cosom = ax * bx + ay * by + az * bz + aw * bw;
    float tx = bx, ty = by, tz = bz, tw = bw;
    if (cosom <= 0.0f) {
        cosom = -cosom;
        tx = -bx;
        ty = -by;
        tz = -bz;
        tw = -bw;
    }

    if (1.0f - cosom > kSnap) {
        const double omega = ACos(cosom);
        const double sinom = Sin(omega);
        const double scale0 = Sin((1.0f - t) * omega) / sinom;
        const double scale1 = Sin(t * omega) / sinom;
        cw = static_cast<float>(scale0 * aw + scale1 * tw);
        cx = static_cast<float>(scale0 * ax + scale1 * tx);
        cy = static_cast<float>(scale0 * ay + scale1 * ty);
        cz = static_cast<float>(scale0 * az + scale1 * tz);
    } else {
        const float scale0 = 1.0f - t;
        const float scale1 = t;
        cw = scale0 * aw + scale1 * tw;
        cx = scale0 * ax + scale1 * tx;
        cy = scale0 * ay + scale1 * ty;
        cz = scale0 * az + scale1 * tz;
    }
    return 0;
}
