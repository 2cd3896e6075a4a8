#include "engine/math/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

void expectVector(const TVector& v, float x, float y, float z, float tolerance = 0.0f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

// The plane z = 0, normal +z.
TPlane groundPlane() {
    return TPlane::CreatePlaneFromTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
}

// Polygons as ClassifyPolygonToPlane sees them: one counts through CountVertices() and hands out
// copies, the other keeps no_verts and hands out pointers to its own vertices.
struct CountedPolygon {
    std::vector<TVector> verts;
    int CountVertices() const { return static_cast<int>(verts.size()); }
    TVector GetVertex(int i) const { return verts[i]; }
};

struct StoredPolygon {
    int no_verts = 0;
    std::vector<TVector> verts;
    explicit StoredPolygon(std::vector<TVector> v)
        : no_verts(static_cast<int>(v.size())), verts(std::move(v)) {}
    const TVector* GetVertex(int i) const { return &verts[i]; }
};

static_assert(PlanePolygon<CountedPolygon>);
static_assert(PlanePolygon<StoredPolygon>);
static_assert(!PlanePolygon<TVector>);

TEST(PlaneTest, DefaultPlaneIsAllZero) {
    const TPlane p;
    for (float e : p.equation) EXPECT_EQ(e, 0.0f);
    EXPECT_EQ(p.distance, 0.0f);
    EXPECT_EQ(p.ClassifyPointToPlane({1, 2, 3}), 0);
}

TEST(PlaneTest, PlaneFromTriangleHasTheCounterClockwiseUnitNormal) {
    const TPlane p = groundPlane();
    expectVector(p.normal, 0, 0, 1);
    expectVector(p.origin, 0, 0, 0);
    EXPECT_EQ(p.equation[0], 0.0f);
    EXPECT_EQ(p.equation[1], 0.0f);
    EXPECT_EQ(p.equation[2], 1.0f);
    EXPECT_EQ(p.equation[3], 0.0f);
    EXPECT_EQ(p.distance, 0.0f);

    // Clockwise order flips the normal; a raised, scaled triangle still gets a unit normal.
    const TPlane flipped = TPlane::CreatePlaneFromTriangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0});
    expectVector(flipped.normal, 0, 0, -1);
    const TPlane wall = TPlane::CreatePlaneFromTriangle({2, 5, 0}, {2, 9, 0}, {2, 5, 3});
    expectVector(wall.normal, 1, 0, 0);
    EXPECT_EQ(wall.distance, 2.0f);
    EXPECT_EQ(wall.equation[3], -2.0f);
    expectVector(wall.origin, 2, 5, 0);
    const TPlane slope = TPlane::CreatePlaneFromTriangle({0, 0, 0}, {3, 0, 0}, {0, 3, 3});
    expectVector(slope.normal, 0, -0.70710677f, 0.70710677f, 1e-7f);
}

TEST(PlaneTest, DegenerateTriangleGivesAZeroNormalThatMeetsNothing) {
    const TPlane p = TPlane::CreatePlaneFromTriangle({1, 1, 1}, {2, 2, 2}, {3, 3, 3});
    expectVector(p.normal, 0, 0, 0);
    for (float e : p.equation) EXPECT_EQ(e, 0.0f);
    EXPECT_FALSE(std::isnan(p.distance));
    EXPECT_EQ(p.ClassifyPointToPlane({5, -3, 8}), TPlane::kOnPlane);
    EXPECT_FALSE(TPlane::IntersectEdgeAgainstPlane({0, 0, -1}, {0, 0, 1}, p).has_value());
}

TEST(PlaneTest, CreatePlaneKeepsTheNormalAsGiven) {
    const TVector origin{1, 2, 3};
    const TPlane p = TPlane::CreatePlane(origin, {0, 0, 2});
    expectVector(p.normal, 0, 0, 2);
    EXPECT_EQ(p.equation[2], 2.0f);
    EXPECT_EQ(p.equation[3], -6.0f);
    EXPECT_EQ(p.distance, 6.0f);
    EXPECT_EQ(p.signedDistanceTo({7, 7, 5}), 4.0); // twice the real distance
    // ClosestPointTo moves by normal * (n . p - d): four times the distance with |n| = 2.
    expectVector(p.ClosestPointTo({7, 7, 5}), 7, 7, 5 - 8);
    // With a unit normal it is the orthogonal projection.
    const TPlane unit = TPlane::CreatePlane(origin, {0, 0, 1});
    expectVector(unit.ClosestPointTo({7, 7, 5}), 7, 7, 3);
    expectVector(unit.ClosestPointTo({-1, 0, -4}), -1, 0, 3);
}

TEST(PlaneTest, FacingAndSignedDistance) {
    const TPlane p = groundPlane();
    EXPECT_EQ(p.isFrontFacingTo({1, 0, 0}), 1);  // along the plane
    EXPECT_EQ(p.isFrontFacingTo({0, 0, -1}), 1); // against the normal
    EXPECT_EQ(p.isFrontFacingTo({0, 0, 1}), 0);  // the normal itself
    EXPECT_EQ(p.isFrontFacingTo({5, 5, 0.001f}), 0);
    const TPlane raised = TPlane::CreatePlane({0, 0, 2}, {0, 0, 1});
    EXPECT_EQ(raised.signedDistanceTo({9, 9, 5}), 3.0);
    EXPECT_EQ(raised.signedDistanceTo({9, 9, -1}), -3.0);
}

TEST(PlaneTest, ClassifyPointUsesAnInclusiveBandOfOneTenThousandth) {
    const TPlane p = groundPlane();
    struct Case {
        float z;
        int side;
    };
    const Case cases[] = {
        {0.0f, 0},
        {0.0001f, 0},
        {-0.0001f, 0},
        {0.00005f, 0},
        {0.0002f, 1},
        {-0.0002f, -1},
        {5.0f, 1},
        {-5.0f, -1},
        {std::nextafter(0.0001f, 1.0f), 1},
        {std::nextafter(-0.0001f, -1.0f), -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(p.ClassifyPointToPlane({3, -4, c.z}), c.side) << "z = " << c.z;
    }
}

TEST(PlaneTest, ClassifyPolygonsAndTriangles) {
    const TPlane p = groundPlane();
    struct Case {
        const char* name;
        std::vector<TVector> verts;
        int side;
    };
    const std::vector<Case> cases = {
        {"front, behind and on", {{0, 0, 1}, {1, 0, -1}, {0, 1, 0}}, TPlane::kStraddling},
        {"all within the band", {{0, 0, 0.0001f}, {1, 0, -0.00005f}, {0, 1, 0}}, 0},
        {"no vertices", {}, 0},
        {"front and on", {{0, 0, 1}, {1, 0, 0}, {0, 1, 0.0001f}}, 1},
        {"behind and on", {{0, 0, -1}, {1, 0, 0}, {0, 1, -0.0001f}}, -1},
        {"all behind", {{0, 0, -1}, {1, 0, -2}, {0, 1, -3}}, -1},
        {"quad straddling at its last vertex", {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, -1}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(p.ClassifyPolygonToPlane(CountedPolygon{c.verts}), c.side);
        EXPECT_EQ(p.ClassifyPolygonToPlane(StoredPolygon{c.verts}), c.side);
        if (c.verts.size() == 3) {
            EXPECT_EQ(p.ClassifyTriangleToPlane(c.verts[0], c.verts[1], c.verts[2]), c.side);
        }
    }
}

TEST(PlaneTest, IntersectEdgeIncludesBothEnds) {
    const TPlane p = groundPlane();
    struct Case {
        const char* name;
        TVector a, b;
        bool hits;
        TVector point;
        float t;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"through the middle", {0, 0, -1}, {0, 0, 1}, true, {0, 0, 0}, 0.5f},
        {"starting on the plane", {0, 0, 0}, {0, 0, 1}, true, {0, 0, 0}, 0.0f},
        {"ending on the plane", {0, 0, -1}, {0, 0, 0}, true, {0, 0, 0}, 1.0f},
        {"slanted", {1, 2, 3}, {3, 6, -1}, true, {2.5f, 5, 0}, 0.75f},
        {"short of the plane", {0, 0, -2}, {0, 0, -1}, false, {}, 2.0f},
        {"beyond the start", {0, 0, 1}, {0, 0, 2}, false, {}, -1.0f},
        {"parallel above", {0, 0, 1}, {1, 0, 1}, false, {}, -inf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto hit = TPlane::IntersectEdgeAgainstPlane(c.a, c.b, p);
        ASSERT_EQ(hit.has_value(), c.hits);
        if (c.hits) expectVector(*hit, c.point.x, c.point.y, c.point.z);

        float t = 123.0f;
        TVector q{7, 8, 9};
        EXPECT_EQ(TPlane::IntersectSegmentPlane(c.a, c.b, p, t, q), c.hits ? 1 : 0);
        EXPECT_EQ(t, c.t); // always written
        if (c.hits) {
            expectVector(q, c.point.x, c.point.y, c.point.z);
        } else {
            expectVector(q, 7, 8, 9);
        }
    }
}

TEST(PlaneTest, SegmentLyingInThePlaneNeverIntersects) {
    const TPlane p = groundPlane();
    EXPECT_FALSE(TPlane::IntersectEdgeAgainstPlane({0, 0, 0}, {1, 1, 0}, p).has_value());
    float t = 0.0f;
    TVector q{1, 1, 1};
    EXPECT_EQ(TPlane::IntersectSegmentPlane({0, 0, 0}, {1, 1, 0}, p, t, q), 0);
    EXPECT_TRUE(std::isnan(t));
    expectVector(q, 1, 1, 1);
}

AABB box(float x0, float y0, float z0, float x1, float y1, float z1) {
    AABB b;
    b.min[0] = x0;
    b.min[1] = y0;
    b.min[2] = z0;
    b.max[0] = x1;
    b.max[1] = y1;
    b.max[2] = z1;
    return b;
}

TEST(BoxTest, NewBoxAndSphereAreZero) {
    const AABB b;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(b.min[k], 0.0f);
        EXPECT_EQ(b.max[k], 0.0f);
    }
    const TSphere s;
    expectVector(s.centre, 0, 0, 0);
    EXPECT_EQ(s.radius, 0.0f);
}

TEST(BoxTest, BoxesOverlapWhenTheyTouch) {
    const AABB unit = box(0, 0, 0, 1, 1, 1);
    struct Case {
        const char* name;
        AABB other;
        int expected;
    };
    const Case cases[] = {
        {"sharing a face", box(1, 0, 0, 2, 1, 1), 1},
        {"sharing a corner", box(1, 1, 1, 2, 2, 2), 1},
        {"sharing an edge from below", box(-1, -1, 0, 0, 0, 1), 1},
        {"inside", box(0.25f, 0.25f, 0.25f, 0.5f, 0.5f, 0.5f), 1},
        {"enclosing", box(-5, -5, -5, 5, 5, 5), 1},
        {"gap on x", box(1.001f, 0, 0, 2, 1, 1), 0},
        {"gap on y", box(0, 1.001f, 0, 1, 2, 1), 0},
        {"gap on z", box(0, 0, 1.001f, 1, 1, 2), 0},
        {"below on x", box(-2, 0, 0, -0.001f, 1, 1), 0},
        {"below on y", box(0, -2, 0, 1, -0.001f, 1), 0},
        {"below on z", box(0, 0, -2, 1, 1, -0.001f), 0},
        {"diagonal gap", box(1.001f, 1.001f, 1.001f, 2, 2, 2), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AABB::AABBAABBIntersection(unit, c.other), c.expected) << c.name;
        EXPECT_EQ(AABB::AABBAABBIntersection(c.other, unit), c.expected) << c.name << " (swapped)";
    }
}

TEST(BoxTest, SphereReachesTheBox) {
    const AABB unit = box(0, 0, 0, 1, 1, 1);
    struct Case {
        const char* name;
        TVector centre;
        float radius;
        int expected;
    };
    const Case cases[] = {
        {"touching the +x face", {2, 0.5f, 0.5f}, 1, 1},
        {"just off the +x face", {2.001f, 0.5f, 0.5f}, 1, 0},
        {"touching the -y face", {0.5f, -1, 0.5f}, 1, 1},
        {"just off the -y face", {0.5f, -1.001f, 0.5f}, 1, 0},
        {"just off the +z face", {0.5f, 0.5f, 1.5f}, 0.49f, 0},
        {"centre inside, radius 0", {0.5f, 0.5f, 0.5f}, 0, 1},
        {"centre on a corner, radius 0", {1, 1, 1}, 0, 1},
        // Beyond a corner the distances of all three axes add up.
        {"near a corner, reaching", {2, 2, 2}, 1.7321f, 1},
        {"near a corner, short", {2, 2, 2}, 1.732f, 0},
        {"beyond an edge, short", {1.8f, -0.8f, 0.5f}, 1.1f, 0},
        {"beyond an edge, reaching", {1.8f, -0.8f, 0.5f}, 1.14f, 1},
    };
    for (const Case& c : cases) {
        TSphere s;
        s.centre = c.centre;
        s.radius = c.radius;
        EXPECT_EQ(AABB::SphereAABBIntersection(s, unit), c.expected) << c.name;
    }
}

TEST(BoxTest, SphereTestUsesMinPlusExtentAsTheUpperBound) {
    // In float, -1.7 + (3 - -1.7) is 2.99999976, one step below 3: a sphere that would touch
    // the face at 3 exactly sits a hair too far from the face the test sees.
    const AABB b = box(-1.7f, 0, 0, 3, 1, 1);
    ASSERT_LT(b.min[0] + (b.max[0] - b.min[0]), b.max[0]);
    TSphere s;
    s.centre = {4, 0.5f, 0.5f};
    s.radius = 1;
    EXPECT_EQ(AABB::SphereAABBIntersection(s, b), 0);
    s.radius = 1.000001f;
    EXPECT_EQ(AABB::SphereAABBIntersection(s, b), 1);
}

} // namespace
