#include "engine/math/geometry.h"

#include <limits>

static_assert(std::numeric_limits<float>::is_iec559,
              "edge intersection relies on IEEE division by zero");

namespace {

constexpr float kSide = 0.0001f;

float component(const TVector& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// Parameter along a -> b (ab = b - a) where the segment meets the plane. A segment parallel to
// the plane divides by zero and gets an infinite or NaN value, which no range test accepts.
float crossingParameter(const TVector& a, const TVector& ab, const TPlane& plane) {
    return (plane.distance - plane.normal.Dot(a)) / plane.normal.Dot(ab);
}

} // namespace

TPlane TPlane::CreatePlane(const TVector& origin, const TVector& normal) {
    TPlane plane;
    plane.normal = normal;
    plane.origin = origin;
    plane.equation[0] = normal.x;
    plane.equation[1] = normal.y;
    plane.equation[2] = normal.z;
    plane.equation[3] = -(normal.x * origin.x + normal.y * origin.y + normal.z * origin.z);
    plane.distance = normal.Dot(origin);
    return plane;
}

TPlane TPlane::CreatePlaneFromTriangle(const TVector& a, const TVector& b, const TVector& c) {
    TVector n = b.Subtract(a).Cross(c.Subtract(a));
    n.Normalize(); // a zero cross product stays zero
    return CreatePlane(a, n);
}

int TPlane::isFrontFacingTo(const TVector& direction) const {
    return normal.Dot(direction) <= 0.0f ? 1 : 0;
}

double TPlane::signedDistanceTo(const TVector& point) const {
    return point.Dot(normal) + equation[3];
}

int TPlane::ClassifyPointToPlane(const TVector& point) const {
    const float d = static_cast<float>(signedDistanceTo(point));
    if (d > kSide) return kInFront;
    if (d < -kSide) return kBehind;
    return kOnPlane;
}

int TPlane::ClassifyTriangleToPlane(const TVector& a, const TVector& b, const TVector& c) const {
    int front = 0;
    int behind = 0;
    for (const TVector* p : {&a, &b, &c}) {
        const int side = ClassifyPointToPlane(*p);
        if (side == kInFront) ++front;
        if (side == kBehind) ++behind;
    }
    return classifyCounts(front, behind);
}

TVector TPlane::ClosestPointTo(const TVector& point) const {
    const float s = normal.Dot(point) - distance;
    return point.Subtract(normal.Multiply(s));
}

std::optional<TVector> TPlane::IntersectEdgeAgainstPlane(const TVector& a, const TVector& b,
                                                         const TPlane& plane) {
    const TVector ab = b.Subtract(a);
    const float t = crossingParameter(a, ab, plane);
    if (t >= 0.0f && t <= 1.0f) return a.Add(ab.Multiply(t));
    return std::nullopt;
}

int TPlane::IntersectSegmentPlane(const TVector& a, const TVector& b, const TPlane& plane, float& t,
                                  TVector& q) {
    const TVector ab = b.Subtract(a);
    t = crossingParameter(a, ab, plane);
    if (t >= 0.0f && t <= 1.0f) {
        q = a.Add(ab.Multiply(t));
        return 1;
    }
    return 0;
}

int AABB::AABBAABBIntersection(const AABB& a, const AABB& b) {
    for (int k = 0; k < 3; ++k) {
        if (a.max[k] < b.min[k] || a.min[k] > b.max[k]) return 0;
    }
    return 1;
}

int AABB::SphereAABBIntersection(const TSphere& sphere, const AABB& box) {
    const float r = sphere.radius;
    float s = 0.0f;
    for (int k = 0; k < 3; ++k) {
        const float c = component(sphere.centre, k);
        // The upper bound is min + extent, rounded as such (it can differ from max by an ulp).
        const float upper = box.min[k] + (box.max[k] - box.min[k]);
        if (c < box.min[k]) {
            const float d = c - box.min[k];
            s += d * d;
        } else if (c > upper) {
            const float d = c - upper;
            s += d * d;
        }
    }
    return s > r * r ? 0 : 1;
}
