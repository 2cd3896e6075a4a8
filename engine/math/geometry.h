// TPlane, AABB and TSphere: the plane, box and sphere records of the picking, collision and
// octree code.
#pragma once

#include "engine/math/vector.h"

#include <concepts>
#include <optional>

// What TPlane::ClassifyPolygonToPlane needs of a polygon: its vertex count, through either
// `int CountVertices() const` or an int member `no_verts`, and its vertices by index through
// `GetVertex(int) const`, returning a TVector (by value or reference) or a pointer to one.
template <typename P>
concept PolygonVertexCount = requires(const P& polygon) {
    { polygon.CountVertices() } -> std::convertible_to<int>;
}
|| requires(const P& polygon) {
    { polygon.no_verts } -> std::convertible_to<int>;
};

template <typename P>
concept PolygonVertexByValue = requires(const P& polygon, int i) {
    { polygon.GetVertex(i) } -> std::convertible_to<TVector>;
};

template <typename P>
concept PolygonVertexByPointer = requires(const P& polygon, int i) {
    { *polygon.GetVertex(i) } -> std::convertible_to<TVector>;
};

template <typename P>
concept PlanePolygon = PolygonVertexCount<P> &&
    (PolygonVertexByValue<P> || PolygonVertexByPointer<P>);

// An infinite plane: a point p lies on it when equation . (p, 1) = 0. Build one with CreatePlane
// or CreatePlaneFromTriangle; a default-constructed plane is all zero and classifies every point
// as on the plane.
//
// Classification tolerance: a point whose signed distance, rounded to float, lies within
// +-0.0001 (both bounds included) is on the plane. Front is the side the normal points into.
struct TPlane {
    // (a, b, c, d): (a, b, c) = normal, d = -(normal . origin).
    float equation[4]{};
    // The point the plane was built through.
    TVector origin;
    // The normal: unit length when built from a triangle, as given when built from a normal.
    TVector normal;
    // normal . origin (so -equation[3]).
    float distance = 0.0f;

    // Classification results.
    static constexpr int kBehind = -1;
    static constexpr int kOnPlane = 0;
    static constexpr int kInFront = 1;
    static constexpr int kStraddling = 2;

    // The plane through origin with the given normal, used as it is (not normalised).
    static TPlane CreatePlane(const TVector& origin, const TVector& normal);
    // The plane of the triangle a, b, c through a, with the unit normal (b - a) x (c - a): it
    // points to the side from which a, b, c run counter-clockwise in a right-handed frame.
    // A degenerate triangle (collinear or coincident corners) gets a zero normal and
    // equation (0, 0, 0, 0): every point is then on the plane and no segment crosses it.
    static TPlane CreatePlaneFromTriangle(const TVector& a, const TVector& b, const TVector& c);

    // 1 when normal . direction <= 0 (the direction runs against the normal, or along the
    // plane), else 0.
    int isFrontFacingTo(const TVector& direction) const;
    // point . normal + equation[3] (distance in units of the normal's length).
    double signedDistanceTo(const TVector& point) const;
    // 1 in front, -1 behind, 0 on the plane (within the tolerance).
    int ClassifyPointToPlane(const TVector& point) const;
    // 2 when some vertex is in front and some behind, else 1 when any is in front, -1 when any
    // is behind, 0 when all are on the plane or there are none.
    template <PlanePolygon P> int ClassifyPolygonToPlane(const P& polygon) const;
    // As ClassifyPolygonToPlane for the three corners.
    int ClassifyTriangleToPlane(const TVector& a, const TVector& b, const TVector& c) const;
    // point - normal * (normal . point - distance): the orthogonal projection onto the plane
    // when the normal has unit length.
    TVector ClosestPointTo(const TVector& point) const;

    // The point where the segment a -> b meets the plane: a + (b - a) * t with
    // t = (distance - normal . a) / (normal . (b - a)) in [0, 1] (both ends included).
    // No point (nullopt) when t is outside, or when the segment runs parallel to the plane
    // (the zero denominator gives an infinite or NaN t).
    static std::optional<TVector> IntersectEdgeAgainstPlane(const TVector& a, const TVector& b,
                                                            const TPlane& plane);
    // As IntersectEdgeAgainstPlane, except that t is always written; on an intersection q
    // receives the point and the result is 1, otherwise q is left alone and the result is 0.
    static int IntersectSegmentPlane(const TVector& a, const TVector& b, const TPlane& plane,
                                     float& t, TVector& q);

  private:
    static int classifyCounts(int front, int behind) {
        if (front != 0 && behind != 0) return kStraddling;
        if (front != 0) return kInFront;
        if (behind != 0) return kBehind;
        return kOnPlane;
    }
};

// A bounding sphere record.
struct TSphere {
    TVector centre;
    float radius = 0.0f;
};

// An axis-aligned box; its creator fills min and max (min <= max is not checked).
struct AABB {
    float min[3]{};
    float max[3]{};

    // 1 when the boxes overlap or touch (a shared face, edge or corner counts), else 0.
    static int AABBAABBIntersection(const AABB& a, const AABB& b);
    // 1 when the sphere reaches the box (touching, or the centre inside), else 0: the squared
    // distance from the centre to the box, summed over the axes, against radius squared.
    static int SphereAABBIntersection(const TSphere& sphere, const AABB& box);
};

template <PlanePolygon P> int TPlane::ClassifyPolygonToPlane(const P& polygon) const {
    int count = 0;
    if constexpr (requires { polygon.CountVertices(); }) {
        count = polygon.CountVertices();
    } else {
        count = polygon.no_verts;
    }
    int front = 0;
    int behind = 0;
    for (int i = 0; i < count; ++i) {
        int side = 0;
        if constexpr (PolygonVertexByValue<P>) {
            side = ClassifyPointToPlane(polygon.GetVertex(i));
        } else {
            side = ClassifyPointToPlane(*polygon.GetVertex(i));
        }
        if (side == kInFront) ++front;
        if (side == kBehind) ++behind;
    }
    return classifyCounts(front, behind);
}
