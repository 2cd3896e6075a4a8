// Picking: the segment tests, sphere, box and polygon picks against small scenes with reasoned
// results, the nearest-hit and tie rules, what takes no part, EntityPick, EntityVisible,
// CameraPick through a camera's read-back view, picks through an octree, and the commands.
#include "engine/commands.h"
#include "engine/octree.h"
#include "engine/pick.h"
#include "engine/sprite.h"

#include "pick_fixture.h"
#include "view_fixture.h"

#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr float kEps = 1e-4f;

void expectVec(const TVector& v, float x, float y, float z, const std::string& what) {
    EXPECT_NEAR(v.x, x, kEps) << what;
    EXPECT_NEAR(v.y, y, kEps) << what;
    EXPECT_NEAR(v.z, z, kEps) << what;
}

void expectPicked(float x, float y, float z, float nx, float ny, float nz, float time,
                  const std::string& what) {
    EXPECT_NEAR(PickedX(), x, kEps) << what;
    EXPECT_NEAR(PickedY(), y, kEps) << what;
    EXPECT_NEAR(PickedZ(), z, kEps) << what;
    EXPECT_NEAR(PickedNX(), nx, kEps) << what;
    EXPECT_NEAR(PickedNY(), ny, kEps) << what;
    EXPECT_NEAR(PickedNZ(), nz, kEps) << what;
    EXPECT_NEAR(PickedTime(), time, kEps) << what;
}

// A pivot pickable as a sphere of the given radius at (x, y, z).
PivotRef pickSphere(float x, float y, float z, float radius) {
    PivotRef p = CreatePivot(nullptr);
    PositionEntity(p, x, y, z, 0);
    p->radius_x = radius;
    EntityPickMode(p, SPHEREPICK, 0);
    return p;
}

// ---- The segment tests ----

TEST(PickIntersection, SegmentAgainstSphere) {
    struct Case {
        const char* what;
        TVector a, b, centre;
        float radius;
        int result;
        float t;
        TVector hit;
    };
    const TVector c{0, 0, 10};
    const std::vector<Case> cases = {
        {"through the middle", {0, 0, 0}, {0, 0, 20}, c, 1, 1, 0.45f, {0, 0, 9}},
        {"grazing the side", {1, 0, 0}, {1, 0, 20}, c, 1, 1, 0.5f, {1, 0, 10}},
        {"starting inside", {0, 0, 9.5f}, {0, 0, 20}, c, 1, 1, 0.0f, {0, 0, 9.5f}},
        {"outside, moving away", {0, 0, 12}, {0, 0, 20}, c, 1, 0, 0, {}},
        {"ending before it", {0, 0, 0}, {0, 0, 8.9f}, c, 1, 0, 0, {}},
        {"passing beside it", {2, 0, 0}, {2, 0, 20}, c, 1, 0, 0, {}},
        {"of zero length", {0, 0, 10}, {0, 0, 10}, c, 1, 0, 0, {}},
    };
    for (const Case& k : cases) {
        float t = -1.0f;
        TVector hit{-7, -7, -7};
        ASSERT_EQ(TPick::IntersectSegmentSphere(k.a, k.b, k.centre, k.radius, t, hit), k.result)
            << k.what;
        if (k.result == 1) {
            EXPECT_NEAR(t, k.t, kEps) << k.what;
            expectVec(hit, k.hit.x, k.hit.y, k.hit.z, k.what);
        }
    }
}

TEST(PickIntersection, SegmentAgainstTriangleIsOneSided) {
    // Corners (-1, -1, 5), (-1, 1, 5), (1, -1, 5): the normal (b - a) x (c - a) points to -z.
    const Tri tri = facingTri(0, 0, 5);
    const TVector a{tri[0][0], tri[0][1], tri[0][2]};
    const TVector b{tri[1][0], tri[1][1], tri[1][2]};
    const TVector c{tri[2][0], tri[2][1], tri[2][2]};
    struct Case {
        const char* what;
        TVector p, q;
        int result;
    };
    const std::vector<Case> cases = {
        {"from in front", {-0.5f, -0.5f, 0}, {-0.5f, -0.5f, 10}, 1},
        {"from behind", {-0.5f, -0.5f, 10}, {-0.5f, -0.5f, 0}, 0},
        {"beside it", {0.5f, 0.5f, 0}, {0.5f, 0.5f, 10}, 0},
        {"ending before the plane", {-0.5f, -0.5f, 0}, {-0.5f, -0.5f, 4}, 0},
        {"starting beyond the plane", {-0.5f, -0.5f, 6}, {-0.5f, -0.5f, 10}, 0},
        {"along the plane", {-2, -0.5f, 5}, {2, -0.5f, 5}, 0},
    };
    for (const Case& k : cases) {
        float u = 0, v = 0, w = 0, t = 0;
        EXPECT_EQ(TPick::IntersectSegmentTriangle(k.p, k.q, a, b, c, u, v, w, t), k.result)
            << k.what;
    }
    // (-0.5, -0.5) - a = (0.5, 0.5) = v (b - a) + w (c - a) = v (0, 2) + w (2, 0).
    float u = 0, v = 0, w = 0, t = 0;
    ASSERT_EQ(
        TPick::IntersectSegmentTriangle({-0.5f, -0.5f, 0}, {-0.5f, -0.5f, 10}, a, b, c, u, v, w, t),
        1);
    EXPECT_NEAR(t, 0.5f, kEps);
    EXPECT_NEAR(u, 0.5f, kEps);
    EXPECT_NEAR(v, 0.25f, kEps);
    EXPECT_NEAR(w, 0.25f, kEps);
}

TEST(PickIntersection, SegmentAgainstBox) {
    // The box from (0, 0, 10) to (2, 2, 12).
    struct Case {
        const char* what;
        TVector a, b;
        int result;
        float t;
        TVector hit;
    };
    const std::vector<Case> cases = {
        {"straight at the -z face", {1, 1, 0}, {1, 1, 20}, 1, 0.5f, {1, 1, 10}},
        {"starting inside", {1, 1, 11}, {1, 1, 20}, 1, 0.0f, {1, 1, 11}},
        {"parallel, outside the x slab", {3, 1, 0}, {3, 1, 20}, 0, 0, {}},
        {"parallel, on the +x face", {2, 1, 0}, {2, 1, 20}, 1, 0.5f, {2, 1, 10}},
        {"ending before it", {1, 1, 0}, {1, 1, 9}, 0, 0, {}},
        {"diagonally into the corner edge", {-1, 1, 9}, {3, 1, 13}, 1, 0.25f, {0, 1, 10}},
        {"diagonally past it", {-1, 1, 11.5f}, {1, 1, 13.5f}, 0, 0, {}},
        {"diagonally onto its edge", {-1, 1, 11}, {1, 1, 13}, 1, 0.5f, {0, 1, 12}},
        {"of zero length inside", {1, 1, 11}, {1, 1, 11}, 0, 0, {}},
    };
    for (const Case& k : cases) {
        float t = -1.0f;
        TVector hit{-7, -7, -7};
        ASSERT_EQ(TPick::IntersectSegmentAABB(k.a, k.b, 0, 0, 10, 2, 2, 2, t, hit), k.result)
            << k.what;
        if (k.result == 1) {
            EXPECT_NEAR(t, k.t, kEps) << k.what;
            expectVec(hit, k.hit.x, k.hit.y, k.hit.z, k.what);
        }
    }
}

// ---- Sphere and box picks, acceptance ----

TEST_F(PickTest, SpherePickGivesTheFirstPointNormalAndTime) {
    PivotRef p = pickSphere(0, 0, 10, 1);
    EXPECT_EQ(LinePick(0, 0, 0, 0, 0, 20, 0), p);
    EXPECT_EQ(PickedEntity(), p);
    expectPicked(0, 0, 9, 0, 0, -1, 0.45f, "straight on");

    // A miss clears the entity and sets the time to 1, the rest stays.
    EXPECT_EQ(LinePick(5, 0, 0, 0, 0, 20, 0), nullptr);
    EXPECT_EQ(PickedEntity(), nullptr);
    expectPicked(0, 0, 9, 0, 0, -1, 1.0f, "after a miss");

    // The radius argument widens nothing and changes nothing.
    EXPECT_EQ(LinePick(1.5f, 0, 0, 0, 0, 20, 5), nullptr);
    EXPECT_EQ(LinePick(0.6f, 0.8f, 0, 0, 0, 20, 100), p);
    expectPicked(0.6f, 0.8f, 10, 0.6f, 0.8f, 0, 0.5f, "grazing, radius 100");

    // Starting inside: time 0 at the start point.
    EXPECT_EQ(LinePick(0, 0.5f, 10, 0, 0, 5, 0), p);
    EXPECT_NEAR(PickedTime(), 0.0f, kEps);
    EXPECT_NEAR(PickedY(), 0.5f, kEps);
    EXPECT_NEAR(PickedZ(), 10.0f, kEps);
}

TEST_F(PickTest, SpherePickFromTheCentreKeepsAFiniteNormal) {
    PivotRef p = pickSphere(3, 0, 0, 1);
    EXPECT_EQ(LinePick(3, 0, 0, 0, 0, 10, 0), p);
    EXPECT_TRUE(std::isfinite(PickedNX()) && std::isfinite(PickedNY()) &&
                std::isfinite(PickedNZ()));
    expectPicked(3, 0, 0, 0, 0, 0, 0, "from the centre");
}

TEST_F(PickTest, NearestHitWinsAndTiesGoToTheLaterEntity) {
    PivotRef far1 = pickSphere(0, 0, 20, 1);
    PivotRef near1 = pickSphere(0, 0, 10, 1);
    PivotRef far2 = pickSphere(0, 0, 30, 1);
    EXPECT_EQ(LinePick(0, 0, 0, 0, 0, 40, 0), near1);
    EXPECT_NEAR(PickedZ(), 9.0f, kEps);

    PivotRef twin = pickSphere(0, 0, 10, 1);
    ASSERT_EQ(listed().back(), twin);
    EXPECT_EQ(LinePick(0, 0, 0, 0, 0, 40, 0), twin) << "same place, same size: the later one";
}

TEST_F(PickTest, HiddenUnpickableAndNonMeshPolygonEntitiesTakeNoPart) {
    struct Case {
        const char* what;
        void (*arrange)(const PivotRef& target);
    };
    const std::vector<Case> cases = {
        {"pick mode 0", [](const PivotRef& p) { EntityPickMode(p, NOPICK, 0); }},
        {"hidden", [](const PivotRef& p) { HideEntity(p); }},
        {"parent hidden",
         [](const PivotRef& p) {
             PivotRef parent = CreatePivot(nullptr);
             EntityParent(p, parent, 1);
             HideEntity(parent);
         }},
        {"polygon mode on a pivot", [](const PivotRef& p) { EntityPickMode(p, POLYGONPICK, 0); }},
        {"unknown mode", [](const PivotRef& p) { EntityPickMode(p, 7, 0); }},
    };
    for (const Case& k : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        PivotRef p = pickSphere(0, 0, 10, 1);
        ASSERT_EQ(LinePick(0, 0, 0, 0, 0, 20, 0), p) << k.what << ": pickable before";
        k.arrange(p);
        EXPECT_EQ(LinePick(0, 0, 0, 0, 0, 20, 0), nullptr) << k.what;
    }
}

TEST_F(PickTest, ObscurerIsStoredAndChangesNoPick) {
    PivotRef src = CreatePivot(nullptr);
    PivotRef dest = CreatePivot(nullptr);
    PositionEntity(dest, 0, 0, 20, 0);
    PivotRef wall = pickSphere(0, 0, 10, 1);
    for (int obscurer : {0, 1}) {
        EntityPickMode(wall, SPHEREPICK, obscurer);
        EXPECT_EQ(wall->obscurer, obscurer);
        EXPECT_EQ(LinePick(0, 0, 0, 0, 0, 20, 0), wall) << "obscurer " << obscurer;
        EXPECT_EQ(EntityVisible(src, dest), 0) << "obscurer " << obscurer;
    }
}

TEST_F(PickTest, BoxPickStaysAxisAlignedAndReportsTheFaceNormal) {
    PivotRef p = CreatePivot(nullptr);
    PositionEntity(p, 5, 0, 10, 0);
    RotateEntity(p, 30, 45, 10, 0);
    ScaleEntity(p, 3, 3, 3, 0);
    p->box_x = p->box_y = p->box_z = -1;
    p->box_w = p->box_h = p->box_d = 2; // the world box (4..6, -1..1, 9..11)
    EntityPickMode(p, BOXPICK, 0);

    struct Case {
        const char* what;
        float x, y, z, dx, dy, dz;
        float hx, hy, hz, nx, ny, nz, t;
    };
    const std::vector<Case> cases = {
        {"-z face", 5, 0, 0, 0, 0, 20, 5, 0, 9, 0, 0, -1, 0.45f},
        {"+x face", 10, 0, 10, -10, 0, 0, 6, 0, 10, 1, 0, 0, 0.4f},
        {"+y face", 5, 5, 10, 0, -10, 0, 5, 1, 10, 0, 1, 0, 0.4f},
        {"+z face", 5, 0.5f, 20, 0, 0, -20, 5, 0.5f, 11, 0, 0, 1, 0.45f},
        {"start inside", 5.5f, 0, 10, 10, 0, 0, 5.5f, 0, 10, 1, 0, 0, 0.0f},
    };
    for (const Case& k : cases) {
        ASSERT_EQ(LinePick(k.x, k.y, k.z, k.dx, k.dy, k.dz, 0), p) << k.what;
        expectPicked(k.hx, k.hy, k.hz, k.nx, k.ny, k.nz, k.t, k.what);
    }
    EXPECT_EQ(LinePick(7, 0, 0, 0, 0, 20, 0), nullptr) << "the rotation does not turn the box";
}

TEST_F(PickTest, BoxEdgeHitTakesTheLaterOfTheEqualFaces) {
    PivotRef p = CreatePivot(nullptr);
    PositionEntity(p, 0, 0, 10, 0);
    p->box_w = p->box_h = p->box_d = 2; // (0..2, 0..2, 10..12)
    EntityPickMode(p, BOXPICK, 0);
    // x and y of the hit come out of the same arithmetic, so it lies exactly on the edge
    // between the -x and -y faces.
    ASSERT_EQ(LinePick(-1, -1, 10.5f, 2, 2, 0, 0), p);
    EXPECT_FLOAT_EQ(PickedX(), PickedY());
    EXPECT_NEAR(PickedX(), 0.0f, kEps);
    EXPECT_EQ(PickedNX(), 0.0f);
    EXPECT_EQ(PickedNY(), -1.0f);
    EXPECT_EQ(PickedNZ(), 0.0f);
}

// ---- Polygon picks ----

class PolygonPickTest : public PickTest {
  protected:
    // Surface 1: triangles 0 at (0, 0) and 1 at (5, 0); surface 2: triangle 0 at (0, 5); all in
    // the mesh's plane z = 0, facing -z. The mesh stands at (10, 0, 20) scaled by 2.
    void SetUp() override {
        PickTest::SetUp();
        mesh = CreateMesh(nullptr);
        s1 = addTriangles(mesh, {facingTri(0, 0, 0), facingTri(5, 0, 0)});
        s2 = addTriangles(mesh, {facingTri(0, 5, 0)});
        PositionEntity(mesh, 10, 0, 20, 0);
        ScaleEntity(mesh, 2, 2, 2, 0);
        EntityPickMode(mesh, POLYGONPICK, 0);
    }
    MeshRef mesh;
    SurfaceRef s1, s2;
};

TEST_F(PolygonPickTest, HitReportsSurfaceTriangleWorldPointAndUnitNormal) {
    struct Case {
        const char* what;
        float lx, ly; // mesh-local point aimed at
        SurfaceRef* surf;
        int tri;
    };
    const std::vector<Case> cases = {
        {"surface 1, triangle 0", -0.5f, -0.5f, &s1, 0},
        {"surface 1, triangle 1", 4.5f, -0.5f, &s1, 1},
        {"surface 2, triangle 0", -0.5f, 4.5f, &s2, 0},
    };
    for (const Case& k : cases) {
        const float wx = 10 + 2 * k.lx, wy = 2 * k.ly; // world point of the aim, at z = 20
        ASSERT_EQ(LinePick(wx, wy, 0, 0, 0, 40, 0), mesh) << k.what;
        EXPECT_EQ(PickedSurface(), *k.surf) << k.what;
        EXPECT_EQ(PickedTriangle(), k.tri) << k.what;
        expectPicked(wx, wy, 20, 0, 0, -1, 0.5f, k.what);
    }
    EXPECT_EQ(LinePick(15, 0, 0, 0, 0, 40, 0), nullptr) << "between the triangles";
    EXPECT_EQ(LinePick(9, -1, 40, 0, 0, -40, 0), nullptr) << "from behind";
}

TEST_F(PolygonPickTest, RotatedMeshCarriesTheNormalIntoTheWorld) {
    // Yaw 90 turns local +z to world -x and local +x to world +z, so the face at local z = 5
    // lies in the world plane x = -5 and faces +x.
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, {facingTri(0, 0, 5)});
    RotateEntity(m, 0, 90, 0, 0);
    EntityPickMode(m, POLYGONPICK, 0);
    PositionEntity(mesh, 1000, 0, 0, 0); // the fixture's mesh out of the way
    // The local aim (-0.5, -0.5, 5) is the world point (-5, -0.5, -0.5).
    ASSERT_EQ(LinePick(0, -0.5f, -0.5f, -10, 0, 0, 0), m);
    expectPicked(-5, -0.5f, -0.5f, 1, 0, 0, 0.5f, "turned mesh");
    EXPECT_EQ(LinePick(-10, -0.5f, -0.5f, 10, 0, 0, 0), nullptr) << "its back";
}

TEST_F(PolygonPickTest, TiesGoToTheLaterSurfaceAndTriangle) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef a = addTriangles(m, {facingTri(0, 0, 0), facingTri(0, 0, 0)});
    EntityPickMode(m, POLYGONPICK, 0);
    PositionEntity(mesh, 1000, 0, 0, 0);
    ASSERT_EQ(LinePick(-0.5f, -0.5f, -5, 0, 0, 10, 0), m);
    EXPECT_EQ(PickedSurface(), a);
    EXPECT_EQ(PickedTriangle(), 1);

    SurfaceRef b = addTriangles(m, {facingTri(0, 0, 0)});
    ASSERT_EQ(LinePick(-0.5f, -0.5f, -5, 0, 0, 10, 0), m);
    EXPECT_EQ(PickedSurface(), b);
    EXPECT_EQ(PickedTriangle(), 0);
}

TEST_F(PickTest, PolygonPickOfAMeshWhoseBoundsWereNeverComputed) {
    // Built and picked at once: the bounding-sphere pre-test must see the new triangle, not the
    // empty box of a mesh that was never drawn.
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, {facingTri(50, 50, 50)});
    EntityPickMode(m, POLYGONPICK, 0);
    EXPECT_EQ(LinePick(49.5f, 49.5f, 0, 0, 0, 100, 0), m);
    EXPECT_NEAR(PickedZ(), 50.0f, kEps);
}

TEST_F(PickTest, SpritesArePickedByTheirQuad) {
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 0, 0, 10, 0);
    EntityPickMode(s, POLYGONPICK, 0);
    ASSERT_EQ(LinePick(-0.5f, 0.5f, 0, 0, 0, 20, 0), s);
    EXPECT_EQ(PickedTriangle(), 0);
    ASSERT_EQ(LinePick(0.5f, -0.5f, 0, 0, 0, 20, 0), s);
    EXPECT_EQ(PickedTriangle(), 1);
    EXPECT_NEAR(PickedZ(), 10.0f, kEps);
}

// ---- Through the octree ----

struct PickRecord {
    EntityRef ent;
    SurfaceRef surf;
    int tri;
    float x, y, z, t;
};

PickRecord record() {
    return {PickedEntity(), PickedSurface(), PickedTriangle(), PickedX(),
            PickedY(),      PickedZ(),       PickedTime()};
}

TEST_F(PickTest, OctreePicksMatchTheTriangleByTrianglePicks) {
    MeshRef m = CreateSphere(8, nullptr);
    addTriangles(m, {facingTri(0, 0, -1.5f)}); // a second surface in front of the sphere
    PositionEntity(m, 3, -2, 15, 0);
    RotateEntity(m, 20, 35, 0, 0);
    ScaleEntity(m, 4, 4, 4, 0);
    EntityPickMode(m, POLYGONPICK, 0);

    // A grid of lines along +z and along -x, off the triangle edges.
    std::vector<std::array<float, 6>> lines;
    for (int i = -6; i <= 6; ++i) {
        for (int j = -6; j <= 6; ++j) {
            const float u = 0.713f * float(i) + 0.0137f, v = 0.691f * float(j) + 0.0291f;
            lines.push_back({3 + u, -2 + v, -10, 0, 0, 50});
            lines.push_back({30, -2 + v, 15 + u, -50, 0, 0});
        }
    }
    std::vector<PickRecord> plain;
    int hits = 0;
    for (const auto& l : lines) {
        LinePick(l[0], l[1], l[2], l[3], l[4], l[5], 0);
        plain.push_back(record());
        if (plain.back().ent) ++hits;
    }
    ASSERT_GT(hits, 100);

    for (const auto& [max_polys, max_levels] : {std::pair{4, 0}, {1, 3}, {0, 2}, {30, 0}}) {
        CreateOctree(m, max_polys, max_levels);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const auto& l = lines[k];
            const std::string what = "octree " + std::to_string(max_polys) + "/" +
                                     std::to_string(max_levels) + ", line " + std::to_string(k);
            TPick::picked_surface = nullptr;
            LinePick(l[0], l[1], l[2], l[3], l[4], l[5], 0);
            const PickRecord o = record();
            ASSERT_EQ(o.ent, plain[k].ent) << what;
            if (!o.ent) continue;
            EXPECT_EQ(o.surf, plain[k].surf) << what;
            EXPECT_EQ(o.tri, plain[k].tri) << what;
            EXPECT_NEAR(o.t, plain[k].t, 1e-4f) << what;
            EXPECT_NEAR(o.x, plain[k].x, 1e-3f) << what;
            EXPECT_NEAR(o.y, plain[k].y, 1e-3f) << what;
            EXPECT_NEAR(o.z, plain[k].z, 1e-3f) << what;
        }
    }
}

TEST_F(PickTest, OctreePicksKeepTheGeometryItWasBuiltFrom) {
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, {facingTri(0, 0, 10), facingTri(3, 0, 10)});
    EntityPickMode(m, POLYGONPICK, 0);
    CreateOctree(m, 1, 2);
    PositionMesh(m, 100, 0, 0);
    EXPECT_EQ(LinePick(-0.5f, -0.5f, 0, 0, 0, 20, 0), m) << "the old place, from the octree";
    EXPECT_EQ(PickedTriangle(), 0);
    EXPECT_EQ(LinePick(99.5f, -0.5f, 0, 0, 0, 20, 0), nullptr);
    CreateOctree(m, 1, 2);
    EXPECT_EQ(LinePick(-0.5f, -0.5f, 0, 0, 0, 20, 0), nullptr);
    EXPECT_EQ(LinePick(102.5f, -0.5f, 0, 0, 0, 20, 0), m) << "the new place after a rebuild";
    EXPECT_EQ(PickedTriangle(), 1);
    EXPECT_NEAR(PickedX(), 102.5f, kEps);
}

// ---- EntityPick, EntityVisible ----

TEST_F(PickTest, EntityPickFollowsTheEntitysZAxisAndScale) {
    PivotRef target = pickSphere(-10, 0, 0, 1);
    PivotRef eye = CreatePivot(nullptr);
    EXPECT_EQ(EntityPick(eye, 20), nullptr) << "looking along +z";
    RotateEntity(eye, 0, 90, 0, 0); // +z now points to world -x
    EXPECT_EQ(EntityPick(eye, 20), target);
    expectPicked(-9, 0, 0, 1, 0, 0, 0.45f, "yaw 90");

    ScaleEntity(eye, 2, 2, 2, 0); // the range is stretched: 5 reaches x = -10
    EXPECT_EQ(EntityPick(eye, 5), target);
    EXPECT_NEAR(PickedTime(), 0.9f, kEps);
    EXPECT_EQ(EntityPick(eye, 4), nullptr);
    EXPECT_EQ(EntityPick(eye, 0), nullptr) << "a range of 0 is a segment of no length";
}

TEST_F(PickTest, EntityVisibleTestsTheLineAndRestoresTheResults) {
    PivotRef earlier = pickSphere(50, 0, 0, 2);
    ASSERT_EQ(LinePick(40, 0, 0, 20, 0, 0, 0), earlier);
    const PickRecord before = record();
    const float nx = PickedNX();

    PivotRef src = CreatePivot(nullptr);
    PivotRef dest = CreatePivot(nullptr);
    PositionEntity(dest, 0, 0, 20, 0);
    EXPECT_EQ(EntityVisible(src, dest), 1) << "nothing between";

    PivotRef wall = pickSphere(0, 0, 10, 1);
    EXPECT_EQ(EntityVisible(src, dest), 0) << "a sphere between";
    EntityPickMode(wall, NOPICK, 0);
    EntityPickMode(dest, SPHEREPICK, 0);
    dest->radius_x = 0.5f;
    EXPECT_EQ(EntityVisible(src, dest), 0) << "the line ends inside a pickable dest";
    EntityPickMode(dest, NOPICK, 0);
    EntityPickMode(src, SPHEREPICK, 0);
    src->radius_x = 0.5f;
    EXPECT_EQ(EntityVisible(src, dest), 0) << "the line starts inside a pickable src";
    EXPECT_EQ(EntityVisible(src, src), 1) << "no line at all";
    EXPECT_EQ(EntityVisible(src, nullptr), 0);
    EXPECT_EQ(EntityVisible(nullptr, dest), 0);

    const PickRecord after = record();
    EXPECT_EQ(after.ent, before.ent);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.t, before.t);
    EXPECT_EQ(PickedNX(), nx);
    EXPECT_EQ(PickedEntity(), earlier);
}

// ---- CameraPick ----

class CameraPickTest : public ViewTest {};

TEST_F(CameraPickTest, PicksAlongTheRayThroughAPixel) {
    CameraRef cam = CreateCamera(nullptr);
    viewtest::loadView(*cam);
    PivotRef near1 = pickSphere(0, 0, 10, 1);
    PivotRef far1 = pickSphere(0, 0, 20, 1);
    EXPECT_EQ(CameraPick(cam, 400, 300), near1) << "the screen centre";
    // From the near plane (z 1) to the far plane (z 1000).
    EXPECT_NEAR(PickedZ(), 9.0f, 1e-3f);
    EXPECT_NEAR(PickedTime(), 8.0f / 999.0f, 1e-5f);

    // Any pixel: the one a point projects to picks the sphere there (y counted from the top).
    PivotRef aside = pickSphere(5, 3, 30, 0.5f);
    CameraProject(cam, 5, 3, 30);
    EXPECT_EQ(CameraPick(cam, ProjectedX(), 600 - ProjectedY()), aside);
    EXPECT_NEAR(PickedX(), 5.0f, 0.5f);
    EXPECT_NEAR(PickedY(), 3.0f, 0.5f);
    EXPECT_EQ(CameraPick(cam, ProjectedX(), ProjectedY()), nullptr) << "y from the bottom";
}

TEST_F(CameraPickTest, UsesTheViewOfTheLastRender) {
    CameraRef cam = CreateCamera(nullptr);
    PositionEntity(cam, 10, 0, 0, 0);
    RotateEntity(cam, 0, 90, 0, 0); // looking along -x
    viewtest::loadView(*cam);
    PivotRef target = pickSphere(0, 0, 0, 1);
    EXPECT_EQ(CameraPick(cam, 400, 300), target);
    EXPECT_NEAR(PickedX(), 1.0f, 1e-3f);
    EXPECT_NEAR(PickedNX(), 1.0f, 1e-3f);

    PositionEntity(cam, 10, 50, 0, 0); // moved but not rendered again
    EXPECT_EQ(CameraPick(cam, 400, 300), target);
}

TEST_F(CameraPickTest, ACameraNeverRenderedPicksNothing) {
    PivotRef target = pickSphere(0, 0, 10, 1);
    CameraRef cam = CreateCamera(nullptr);
    ASSERT_EQ(LinePick(0, 0, 0, 0, 0, 20, 0), target);
    EXPECT_EQ(CameraPick(cam, 400, 300), nullptr);
    EXPECT_EQ(PickedEntity(), nullptr);
    EXPECT_EQ(PickedTime(), 1.0f);
    EXPECT_NEAR(PickedZ(), 9.0f, kEps) << "the other results stay";
    EXPECT_EQ(CameraPick(nullptr, 400, 300), nullptr);
}

// ---- The commands ----

using E = const EntityRef&;
#define COMMAND(name, result, ...)                                                                 \
    static_assert(std::is_same_v<decltype(&::name), result (*)(__VA_ARGS__)>,                      \
                  #name " does not have its argument list and result")

COMMAND(EntityPickMode, void, E, int, int);
COMMAND(CameraPick, EntityRef, const CameraRef&, float, float);
COMMAND(EntityPick, EntityRef, E, float);
COMMAND(LinePick, EntityRef, float, float, float, float, float, float, float);
COMMAND(EntityVisible, int, E, E);
COMMAND(PickedX, float);
COMMAND(PickedY, float);
COMMAND(PickedZ, float);
COMMAND(PickedNX, float);
COMMAND(PickedNY, float);
COMMAND(PickedNZ, float);
COMMAND(PickedTime, float);
COMMAND(PickedEntity, EntityRef);
COMMAND(PickedSurface, SurfaceRef);
COMMAND(PickedTriangle, int);
COMMAND(CreateOctree, void, const MeshRef&, int, int);

TEST_F(PickTest, PickedEntityDoesNotKeepAFreedEntityAlive) {
    std::weak_ptr<TEntity> gone;
    {
        MeshRef m = CreateMesh(nullptr);
        addTriangles(m, {facingTri(0, 0, 5)});
        EntityPickMode(m, 2, 0);
        ASSERT_EQ(LinePick(-0.5f, -0.5f, 0, 0, 0, 10, 0), m);
        gone = m;
        FreeEntity(m);
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(PickedEntity(), nullptr);
    // The rest of the result stays readable.
    EXPECT_NEAR(PickedZ(), 5.0f, 1e-5f);
}

TEST_F(PickTest, CommandsGivenNullReceiversDoNothing) {
    PivotRef p = pickSphere(0, 0, 10, 1);
    ASSERT_EQ(LinePick(0, 0, 0, 0, 0, 20, 0), p);
    EntityPickMode(nullptr, SPHEREPICK, 1);
    EXPECT_EQ(EntityPick(nullptr, 10), nullptr);
    EXPECT_EQ(CameraPick(nullptr, 0, 0), nullptr);
    CreateOctree(nullptr, 1, 1);
    EXPECT_EQ(PickedEntity(), p) << "no null call touched the results";
    EXPECT_NEAR(PickedTime(), 0.45f, kEps);
}

TEST_F(PickTest, EntityMethodsForwardToThePick) {
    PivotRef p = pickSphere(0, 0, 10, 1);
    PivotRef other = CreatePivot(nullptr);
    EXPECT_EQ(other->EntityPickMode(SPHEREPICK, 1), 0);
    EXPECT_EQ(other->pick_mode, 1);
    EXPECT_EQ(other->obscurer, 1);
    EntityPickMode(other, NOPICK, 0);
    EXPECT_EQ(other->LinePick(0, 0, 0, 0, 0, 20, 0), p);
    EXPECT_EQ(other->EntityPick(20), p);
    PositionEntity(other, 0, 0, 20, 0);
    EXPECT_EQ(p->EntityVisible(CreatePivot(nullptr), other), 0);
}

} // namespace

namespace {

TEST_F(PickTest, MirroredMeshIsPickedLikeItsUnmirroredTwin) {
    // A cube scaled 3 along x (mirrored or not) spans x -3..3: a line along z at x 2.5 meets it.
    for (float sx : {3.0f, -3.0f}) {
        MeshRef cube = CreateCube(nullptr);
        EntityPickMode(cube, 2, 1);
        ScaleEntity(cube, sx, 1, 1, 0);
        EXPECT_EQ(LinePick(2.5f, 0, -10, 0, 0, 20, 0), cube) << "x scale " << sx;
        EXPECT_NEAR(PickedX(), 2.5f, 1e-4f) << "x scale " << sx;
        EXPECT_NEAR(PickedZ(), -1.0f, 1e-4f) << "x scale " << sx;
        FreeEntity(cube);
    }
}

} // namespace
