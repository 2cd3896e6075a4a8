// The collision pass: rules, the broad phase, the ellipsoid collide-and-slide against mesh
// triangles (whole mesh and octree), sphere-to-sphere tests, impacts and their queries, the
// collision settings of entities, and degenerate input.
#include "engine/collision.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/octree.h"
#include "engine/surface.h"

#include "entity_fixture.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace {

constexpr float kClose = TCollision::veryCloseDistance;

// Each command: its name, result and argument list, all arguments required.
#define COMMAND(name, result, ...)                                                                 \
    static_assert(std::is_same_v<decltype(&::name), result (*)(__VA_ARGS__)>,                      \
                  #name " does not have its argument list and result")

using E = const EntityRef&;
COMMAND(Collisions, void, int, int, int, int);
COMMAND(ClearCollisions, void);
COMMAND(EntityType, void, E, int, int);
COMMAND(GetEntityType, int, E);
COMMAND(EntityRadius, void, E, float, float, float);
COMMAND(EntityBox, void, E, float, float, float, float, float, float);
COMMAND(ResetEntity, void, E);
COMMAND(EntityCollided, EntityRef, E, int);
COMMAND(CountCollisions, int, E);
COMMAND(CollisionX, float, E, int);
COMMAND(CollisionY, float, E, int);
COMMAND(CollisionZ, float, E, int);
COMMAND(CollisionNX, float, E, int);
COMMAND(CollisionNY, float, E, int);
COMMAND(CollisionNZ, float, E, int);
COMMAND(CollisionTime, float, E, int);
COMMAND(CollisionEntity, EntityRef, E, int);
COMMAND(CollisionSurface, SurfaceRef, E, int);
COMMAND(CollisionTriangle, int, E, int);
#undef COMMAND

TVector V(float x, float y, float z) {
    return TVector{x, y, z};
}

// A quad centred on o spanning o +- u +- v, as two triangles (a, b, c) and (a, c, d); its face
// normal is u x v. Triangle 0 holds the half where the u coordinate exceeds the v coordinate.
void AddQuad(const SurfaceRef& s, const TVector& o, const TVector& u, const TVector& v) {
    const TVector c[4] = {o.Subtract(u).Subtract(v), o.Add(u).Subtract(v), o.Add(u).Add(v),
                          o.Subtract(u).Add(v)};
    int id[4];
    for (int i = 0; i < 4; ++i) id[i] = s->AddVertex(c[i].x, c[i].y, c[i].z, 0, 0, 0);
    s->AddTriangle(id[0], id[1], id[2]);
    s->AddTriangle(id[0], id[2], id[3]);
}

// A mesh holding one quad (in its own space), of collision type `type`.
MeshRef QuadMesh(const TVector& o, const TVector& u, const TVector& v, int type = 2) {
    MeshRef m = TMesh::CreateMesh(nullptr);
    AddQuad(m->CreateSurface(nullptr), o, u, v);
    m->EntityType(type, 0);
    return m;
}

// A 20 x 20 wall in the plane z = 5 facing -z (toward a mover coming from z < 5).
MeshRef WallZ5(int type = 2) {
    return QuadMesh(V(0, 0, 5), V(0, 10, 0), V(10, 0, 0), type);
}

// A sphere of radius r (radii rx, ry, rz) of collision type 1 at (x, y, z), with that position
// taken as the start of its next move.
PivotRef Mover(float x, float y, float z, float rx, float ry = 0, float rz = 0) {
    PivotRef p = TPivot::CreatePivot(nullptr);
    p->EntityRadius(rx, ry, rz);
    p->EntityType(1, 0);
    p->PositionEntity(x, y, z, 0);
    p->ResetEntity();
    return p;
}

// Puts e at (x, y, z) and runs the collision pass.
void MoveAndPass(const EntityRef& e, float x, float y, float z) {
    e->PositionEntity(x, y, z, 0);
    TCollision::UpdateCollisions();
}

TVector Pos(const EntityRef& e) {
    return V(e->EntityX(1), e->EntityY(1), e->EntityZ(1));
}

void ExpectNear(const TVector& a, const TVector& b, float tol, const std::string& what = "") {
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

class CollisionTest : public SceneTest {};

// ---- Rules ----

TEST_F(CollisionTest, RulesAreAppendedInOrderAndCleared) {
    Collisions(1, 2, WORLDMESHCOLLISION, 3);
    Collisions(4, 5, 7, 0);
    Collisions(1, 2, WORLDMESHCOLLISION, 3);
    const auto rules = TCollision::list->ToVector();
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0]->src_type, 1);
    EXPECT_EQ(rules[0]->des_type, 2);
    EXPECT_EQ(rules[0]->method, 2);
    EXPECT_EQ(rules[0]->response, 3);
    EXPECT_EQ(rules[1]->src_type, 4);
    EXPECT_EQ(rules[1]->method, 7);
    EXPECT_NE(rules[0], rules[2]);
    ClearCollisions();
    EXPECT_EQ(TCollision::list->Count(), 0);
}

// Which rules stop a sphere at the wall: the method decides, the response is not read, and
// the rule's types must match the mover's and the wall's.
TEST_F(CollisionTest, RuleMethodsAndTypesDecideWhatCollides) {
    struct Case {
        int src, des, method, response;
        bool stops;
        int impacts;
    };
    // Method 1 takes the wall as an ellipsoid: radius 0 at its origin, a point, which the
    // mover starts on; every move from there leads away from it.
    const Case cases[] = {
        {1, 2, 2, 0, true, 1},  {1, 2, 4, 0, true, 1},  {1, 2, 2, 9, true, 1},
        {1, 2, 3, 0, false, 0}, {1, 2, 0, 0, false, 0}, {1, 2, 1, 0, false, 0},
        {2, 1, 2, 0, false, 0}, {1, 3, 2, 0, false, 0}, {1, 2, -4, 0, false, 0},
    };
    for (const Case& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        MeshRef wall = WallZ5();
        PivotRef ball = Mover(0, 0, 0, 1);
        Collisions(c.src, c.des, c.method, c.response);
        MoveAndPass(ball, 0, 0, 10);
        const std::string what = "rule " + std::to_string(c.src) + "," + std::to_string(c.des) +
                                 "," + std::to_string(c.method);
        EXPECT_NEAR(ball->EntityZ(1), c.stops ? 5.0f - 1.0f - kClose : 10.0f, 1e-4f) << what;
        EXPECT_EQ(ball->CountCollisions(), c.impacts) << what;
    }
}

// ---- Sphere against a wall ----

TEST_F(CollisionTest, SphereStopsAtItsRadiusAndRecordsTheImpact) {
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(5, -5, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, SLIDERESPONSE);
    MoveAndPass(ball, 5, -5, 10);

    ExpectNear(Pos(ball), V(5, -5, 5 - 1 - kClose), 1e-4f);
    ASSERT_EQ(CountCollisions(ball), 1);
    EXPECT_NEAR(CollisionX(ball, 1), 5.0f, 1e-4f);
    EXPECT_NEAR(CollisionY(ball, 1), -5.0f, 1e-4f);
    EXPECT_NEAR(CollisionZ(ball, 1), 5.0f, 1e-4f);
    EXPECT_NEAR(CollisionNX(ball, 1), 0.0f, 1e-6f);
    EXPECT_NEAR(CollisionNY(ball, 1), 0.0f, 1e-6f);
    EXPECT_NEAR(CollisionNZ(ball, 1), -1.0f, 1e-6f);
    EXPECT_EQ(CollisionTime(ball, 1), 0.0f);
    EXPECT_EQ(CollisionEntity(ball, 1), wall);
    EXPECT_EQ(CollisionSurface(ball, 1), wall->GetSurface(1));
    EXPECT_EQ(CollisionTriangle(ball, 1), 1);
    EXPECT_EQ(EntityCollided(ball, 2), wall);
    // Impacts are kept on the mover only; the wall finds it through EntityCollided.
    EXPECT_EQ(CountCollisions(wall), 0);
    EXPECT_EQ(EntityCollided(wall, 1), ball);
    EXPECT_EQ(EntityCollided(wall, 3), nullptr);

    // The start of the next move is where the pass left it: standing still, nothing happens.
    EXPECT_FLOAT_EQ(ball->old_z, ball->EntityZ(1));
    TCollision::UpdateCollisions();
    EXPECT_EQ(CountCollisions(ball), 0);
    EXPECT_NEAR(ball->EntityZ(1), 5 - 1 - kClose, 1e-4f);
}

TEST_F(CollisionTest, ImpactQueriesOutsideTheRangeGiveZeroValues) {
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(0, 0, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, SLIDERESPONSE);
    MoveAndPass(ball, 3, -2, 10);
    ASSERT_EQ(CountCollisions(ball), 1);
    for (int index : {0, -1, 2, 1000, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(CollisionX(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionY(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionZ(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionNX(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionNY(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionNZ(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionTime(ball, index), 0.0f) << index;
        EXPECT_EQ(CollisionEntity(ball, index), nullptr) << index;
        EXPECT_EQ(CollisionSurface(ball, index), nullptr) << index;
        EXPECT_EQ(CollisionTriangle(ball, index), 0) << index;
    }
    // A count that claims more than the array holds reads nothing past it.
    ball->no_collisions = 5;
    EXPECT_EQ(CollisionX(ball, 3), 0.0f);
    EXPECT_EQ(CollisionEntity(ball, 5), nullptr);
}

// The same wall reached through differently placed targets, by both mesh methods: translated,
// scaled (vertices at half the distance), turned round (vertices behind, facing +z locally).
TEST_F(CollisionTest, BothMethodsStopAtTheWallWhateverTheTargetTransform) {
    struct Target {
        const char* name;
        TVector origin, u, v;
        TVector position, scale;
        float yaw;
    };
    const Target targets[] = {
        {"translated", V(0, 0, 2), V(0, 10, 0), V(10, 0, 0), V(0, 0, 3), V(1, 1, 1), 0},
        {"scaled", V(0, 0, 2.5f), V(0, 5, 0), V(5, 0, 0), V(0, 0, 0), V(2, 2, 2), 0},
        {"turned", V(0, 0, -5), V(10, 0, 0), V(0, 10, 0), V(0, 0, 0), V(1, 1, 1), 180},
    };
    for (int method : {2, 4}) {
        for (const Target& t : targets) {
            TEntity::entity_list = CreateList<EntityRef>();
            ClearCollisions();
            MeshRef wall = QuadMesh(t.origin, t.u, t.v);
            wall->ScaleEntity(t.scale.x, t.scale.y, t.scale.z, 0);
            wall->RotateEntity(0, t.yaw, 0, 0);
            wall->PositionEntity(t.position.x, t.position.y, t.position.z, 0);
            PivotRef ball = Mover(1, 2, 0, 1);
            Collisions(1, 2, method, 0);
            MoveAndPass(ball, 1, 2, 10);
            const std::string what = std::string(t.name) + " method " + std::to_string(method);
            ExpectNear(Pos(ball), V(1, 2, 5 - 1 - kClose), 2e-4f, what);
            ASSERT_EQ(CountCollisions(ball), 1) << what;
            EXPECT_NEAR(CollisionX(ball, 1), 1.0f, 2e-4f) << what;
            EXPECT_NEAR(CollisionY(ball, 1), 2.0f, 2e-4f) << what;
            EXPECT_NEAR(CollisionZ(ball, 1), 5.0f, 2e-4f) << what;
            EXPECT_NEAR(CollisionNZ(ball, 1), -1.0f, 1e-5f) << what;
        }
    }
}

TEST_F(CollisionTest, EllipsoidRadiiSetTheStandOffPerAxis) {
    struct Case {
        TVector radii, from, to, expected;
    };
    // Falling onto a floor at y = 0 (facing +y) and running into the wall at z = 5.
    const Case cases[] = {
        {V(2, 1, 2), V(0, 5, 0), V(0, -5, 0), V(0, 1 + kClose, 0)},
        {V(1, 3, 1), V(0, 5, 0), V(0, -5, 0), V(0, 3 * (1 + kClose), 0)},
        {V(1, 1, 2), V(0, 5, -5), V(0, 5, 9), V(0, 5, 5 - 2 * (1 + kClose))},
        {V(3, 1, 0.5f), V(0, 5, -5), V(0, 5, 9), V(0, 5, 5 - 0.5f * (1 + kClose))},
    };
    for (const Case& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        MeshRef floor = QuadMesh(V(0, 0, 0), V(0, 0, 20), V(20, 0, 0));
        MeshRef wall = QuadMesh(V(0, 0, 5), V(0, 20, 0), V(20, 0, 0));
        PivotRef ball = Mover(c.from.x, c.from.y, c.from.z, c.radii.x, c.radii.y, c.radii.z);
        Collisions(1, 2, WORLDMESHCOLLISION, 0);
        MoveAndPass(ball, c.to.x, c.to.y, c.to.z);
        ExpectNear(Pos(ball), c.expected, 2e-4f);
        EXPECT_EQ(CountCollisions(ball), 1);
    }
}

// ---- Sliding ----

TEST_F(CollisionTest, DiagonalMoveKeepsTheMotionAlongTheWall) {
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(0, 0, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 4, 0, 8);
    ExpectNear(Pos(ball), V(4, 0, 5 - 1 - kClose), 1e-4f);
    ASSERT_EQ(CountCollisions(ball), 1);
    // The contact of the first pass: the sphere reaches z = 4 half-way, at x = 2.
    EXPECT_NEAR(CollisionX(ball, 1), 2.0f, 1e-4f);
    EXPECT_NEAR(CollisionZ(ball, 1), 5.0f, 1e-4f);
}

TEST_F(CollisionTest, SphereFallingOntoASlopeSlidesDownIt) {
    // A 45 degree slope through the origin, rising toward +x, facing up and toward -x.
    const float h = std::sqrt(0.5f);
    MeshRef slope = QuadMesh(V(0, 0, 0), V(0, 0, 20), V(20 * h, 20 * h, 0));
    PivotRef ball = Mover(0, 5, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 0, -3, 0);
    const TVector p = Pos(ball);
    const TVector n = V(-h, h, 0);
    // On the slope's surface, the radius plus the kept distance off it, and moved downhill.
    EXPECT_NEAR(p.Dot(n), 1 + kClose, 1e-3f);
    EXPECT_LT(p.x, -1.0f);
    EXPECT_NEAR(p.z, 0.0f, 1e-5f);
    ASSERT_EQ(CountCollisions(ball), 1);
    EXPECT_NEAR(CollisionNX(ball, 1), -h, 1e-5f);
    EXPECT_NEAR(CollisionNY(ball, 1), h, 1e-5f);
}

TEST_F(CollisionTest, NarrowWedgeEndsWithinThePassLimit) {
    // Two walls meeting along the y axis at a narrow angle, open toward -z.
    // One mesh of two walls from the apex (0, 0, 10) to x = -4 and x = 4 at z = -10, each
    // facing into the wedge and toward -z. (Walls in separate meshes are tested one after the
    // other, each from the old position, so only walls of one mesh hold a sphere in a corner.)
    MeshRef wedge = QuadMesh(V(-2, 0, 0), V(0, 20, 0), V(2, 0, 10));
    AddQuad(wedge->GetSurface(1), V(2, 0, 0), V(0, 20, 0), V(2, 0, -10));
    PivotRef ball = Mover(0, 0, -15, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 0.3f, 0, 40);
    // The sphere bounced from wall to wall over several passes, within the limit.
    EXPECT_GE(TCollision::slide_depth, 2);
    EXPECT_LE(TCollision::slide_depth, TCollision::kMaxSlideDepth + 1);
    const TVector p = Pos(ball);
    ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    // The sphere never ends inside either wall.
    const SurfaceRef s = wedge->GetSurface(1);
    for (int tri : {0, 2}) {
        TVector n = V(s->TriangleNX(tri), s->TriangleNY(tri), s->TriangleNZ(tri));
        n.Normalize();
        const int v = s->TriangleVertex(tri, 0);
        const TVector corner = V(s->VertexX(v), s->VertexY(v), s->VertexZ(v));
        EXPECT_GT(p.Subtract(corner).Dot(n), 0.99f);
    }
    // A unit sphere fits no further in than about z = 4.9.
    EXPECT_LT(p.z, 5.0f);
    // Only the first pass of the move records.
    EXPECT_EQ(CountCollisions(ball), 1);
}

TEST_F(CollisionTest, GrazingContactNeverBacksOffBehindThePassStart) {
    // A wall in the plane x = 5 facing -x, its lower edge at y = 0; the sphere runs along +x
    // with its centre a hair below the edge, so the contact normal is almost square to the
    // motion. Backing off to veryCloseDistance along that normal would mean a step back along
    // the motion longer than the pass itself.
    MeshRef wall = QuadMesh(V(5, 5, 0), V(0, 0, 10), V(0, 5, 0));
    PivotRef ball = Mover(0, 0, 0, 1);
    TCollisionPacket packet;
    packet.method = 2;
    packet.source = ball;
    packet.target = wall;
    packet.radii = V(1, 1, 1);
    packet.box = AABB{{-100, -100, -100}, {100, 100, 100}};
    // The last pass a move may make: what it backs off to is what the move returns.
    TCollision::slide_depth = TCollision::kMaxSlideDepth;
    const TVector end = TCollision::SlideSphere(V(3.5f, -0.999995f, 0), V(6, 0, 0), packet, 0);
    ASSERT_EQ(packet.found, 1);
    EXPECT_GT(packet.nearest_distance, 1.4f);
    EXPECT_GE(end.x, 3.5f - 1e-4f);
    EXPECT_LE(end.x, 5.0f);
    EXPECT_TRUE(std::isfinite(end.y) && std::isfinite(end.z));
}

TEST_F(CollisionTest, BackFacesArePassedThroughAndStartingOverlapsPushedOut) {
    MeshRef wall = WallZ5();
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    // From behind: the wall faces -z, the mover comes from +z. A move that meets nothing
    // leaves the entity exactly where it was put (no round trip through ellipsoid space).
    PivotRef back = Mover(0.1f, 0.7f, 10, 3);
    back->PositionEntity(0.1f, 0.7f, -0.3f, 0);
    const TVector put = Pos(back);
    // Starting half inside the wall, centre in front, moving into it: pushed back out to the
    // stand-off (z = 5 - 1 - 0.005) and the wall recorded.
    PivotRef stuck = Mover(8, 0, 4.5f, 1);
    MoveAndPass(stuck, 8, 0, 6.5f);
    EXPECT_EQ(back->EntityX(1), put.x);
    EXPECT_EQ(back->EntityY(1), put.y);
    EXPECT_EQ(back->EntityZ(1), put.z);
    EXPECT_EQ(CountCollisions(back), 0);
    EXPECT_NEAR(stuck->EntityZ(1), 5 - 1 - kClose, 1e-5f);
    ASSERT_EQ(CountCollisions(stuck), 1);
    EXPECT_EQ(CollisionEntity(stuck, 1), wall);
    // The recorded point is the point of the wall nearest the centre.
    ExpectNear(V(CollisionX(stuck, 1), CollisionY(stuck, 1), CollisionZ(stuck, 1)), V(8, 0, 5),
               1e-5f);
}

TEST_F(CollisionTest, EdgesAndCornersStopASphereBesideTheFace) {
    // The wall spans x, y in -10..10; the mover passes beside its right edge, and beside its
    // top-right corner.
    struct Case {
        float x, y;
        TVector contact;
    };
    const Case cases[] = {{10.6f, 0, V(10, 0, 5)}, {10.6f, 10.6f, V(10, 10, 5)}};
    for (const Case& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        MeshRef wall = WallZ5();
        PivotRef ball = Mover(c.x, c.y, 0, 1);
        Collisions(1, 2, WORLDMESHCOLLISION, 0);
        MoveAndPass(ball, c.x, c.y, 10);
        ASSERT_EQ(CountCollisions(ball), 1) << c.x << "," << c.y;
        ExpectNear(V(CollisionX(ball, 1), CollisionY(ball, 1), CollisionZ(ball, 1)), c.contact,
                   1e-4f);
        // The recorded normal is the face normal, also for an edge or corner hit.
        EXPECT_NEAR(CollisionNZ(ball, 1), -1.0f, 1e-6f);
        // It stops where the sphere first touches, then slides off past the edge.
        const TVector p = Pos(ball);
        EXPECT_GT(p.Subtract(c.contact).Length(), 1.0f - 1e-4f);
        EXPECT_GT(p.z, 5.0f - 1.0f);
    }
}

TEST_F(CollisionTest, TwoTargetsGiveTwoImpactsInTargetOrder) {
    MeshRef front = WallZ5();
    // A wall in the plane x = 5 facing -x: u x v = -x with u = z, v = y.
    MeshRef side = QuadMesh(V(5, 0, 0), V(0, 0, 10), V(0, 10, 0));
    PivotRef ball = Mover(0, 0, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 8, 0, 8);
    ASSERT_EQ(CountCollisions(ball), 2);
    EXPECT_EQ(CollisionEntity(ball, 1), front);
    EXPECT_EQ(CollisionEntity(ball, 2), side);
    ExpectNear(Pos(ball), V(5 - 1 - kClose, 0, 5 - 1 - kClose), 1e-3f);
}

TEST_F(CollisionTest, EquallyNearTrianglesKeepTheFirstTested) {
    // Hitting the quad's diagonal touches both of its triangles at the same distance.
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(2, 2, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 2, 2, 10);
    ASSERT_EQ(CountCollisions(ball), 1);
    EXPECT_EQ(CollisionTriangle(ball, 1), 0);
}

TEST_F(CollisionTest, OctreeLeavesGiveTheSameResultAsTheWholeMesh) {
    for (int method : {2, 4}) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        MeshRef wall = TMesh::CreateMesh(nullptr);
        const SurfaceRef s = wall->CreateSurface(nullptr);
        // A grid of quads, so the octree splits.
        for (int i = -5; i < 5; ++i) {
            for (int j = -5; j < 5; ++j)
                AddQuad(s, V(i * 2 + 1.0f, j * 2 + 1.0f, 5), V(0, 1, 0), V(1, 0, 0));
        }
        wall->EntityType(2, 0);
        wall->ScaleEntity(1, 1, 1, 0);
        TOctree::CreateOctree(wall, 4, 4);
        ASSERT_TRUE(wall->octree);
        PivotRef ball = Mover(3.5f, -2.5f, 0, 1);
        Collisions(1, 2, method, 0);
        ball->PositionEntity(3.5f, -2.5f, 10, 0);
        TOctree::no_polys_active = 0;
        TCollision::UpdateCollisions();
        EXPECT_NEAR(ball->EntityZ(1), 5 - 1 - kClose, 1e-4f);
        ASSERT_EQ(CountCollisions(ball), 1);
        EXPECT_GT(TOctree::no_polys_active, 0);
        EXPECT_LT(TOctree::no_polys_active, 200);
        // The hit reports the mesh's own triangle: the quad at x 2..4, y -4..-2 holds triangles
        // 2k and 2k + 1, k = (i + 5) * 10 + (j + 5) with i = 1, j = -2.
        const int k = 6 * 10 + 3;
        const int tri = CollisionTriangle(ball, 1);
        EXPECT_TRUE(tri == 2 * k || tri == 2 * k + 1) << tri;
        EXPECT_EQ(CollisionSurface(ball, 1), s);
    }
}

// A ramp rising along +x (y = x / 2, facing up and back toward -x) under a ceiling at y = 4
// (facing down), both 40 units deep in z.
MeshRef RampUnderCeiling() {
    MeshRef m = TMesh::CreateMesh(nullptr);
    const SurfaceRef s = m->CreateSurface(nullptr);
    // Ramp from (0, 0) to (16, 8): u along z, v along the slope; u x v points up-left.
    AddQuad(s, V(8, 4, 0), V(0, 0, 20), V(8, 4, 0));
    // Ceiling over x 0..16 at y = 4: u along x, v along z gives u x v pointing down.
    AddQuad(s, V(8, 4, 0), V(8, 0, 0), V(0, 0, 20));
    m->EntityType(2, 0);
    return m;
}

TEST_F(CollisionTest, RampUnderCeilingStopsAtTheSameHeightWithAndWithoutOctree) {
    // A unit sphere sliding up the ramp in one long horizontal move: the slide carries it
    // upward, out of the box its start and end span, into the ceiling. It must stop with its
    // top the stand-off below the ceiling (y = 4 - 1 - 0.005) whether or not the mesh has an
    // octree, whose leaves the later slide passes reach only through their own boxes.
    for (int method : {2, 4}) {
        float ends[2] = {0, 0};
        for (int with_octree = 0; with_octree < 2; ++with_octree) {
            TEntity::entity_list = CreateList<EntityRef>();
            ClearCollisions();
            MeshRef m = RampUnderCeiling();
            if (with_octree) TOctree::CreateOctree(m, 1, 4);
            PivotRef ball = Mover(2, 2.3f, 0, 1); // 1.17 off the ramp's plane
            Collisions(1, 2, method, 0);
            MoveAndPass(ball, 12, 2.3f, 0);
            ends[with_octree] = ball->EntityY(1);
            EXPECT_LE(ball->EntityY(1), 4 - 1 - kClose + 1e-4f)
                << "method " << method << (with_octree ? " octree" : " plain");
        }
        EXPECT_NEAR(ends[0], 3 - kClose, 1e-3f) << "method " << method;
        EXPECT_NEAR(ends[1], ends[0], 1e-4f) << "method " << method;
    }
}

// A small deterministic generator for the random tables.
struct Lcg {
    std::uint32_t state;
    float Next(float lo, float hi) {
        state = state * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(state >> 8) / float(1u << 24);
    }
};

TEST_F(CollisionTest, RandomMovesEndAtTheSamePlaceWithAndWithoutOctree) {
    // Random triangles in every orientation, cut by the octree into pieces and slivers; random
    // moves of random spheres through them. Pieces stand for their source triangles, so every
    // move ends where it ends against the plain mesh.
    Lcg rng{12345u};
    std::vector<std::array<TVector, 3>> tris;
    for (int i = 0; i < 80; ++i) {
        const TVector c = V(rng.Next(-8, 8), rng.Next(-8, 8), rng.Next(-8, 8));
        std::array<TVector, 3> t;
        for (TVector& p : t) p = c.Add(V(rng.Next(-4, 4), rng.Next(-4, 4), rng.Next(-4, 4)));
        tris.push_back(t);
    }
    struct Move {
        TVector from, to;
        float radius;
    };
    std::vector<Move> moves;
    for (int i = 0; i < 300; ++i) {
        moves.push_back({V(rng.Next(-10, 10), rng.Next(-10, 10), rng.Next(-10, 10)),
                         V(rng.Next(-10, 10), rng.Next(-10, 10), rng.Next(-10, 10)),
                         rng.Next(0.2f, 1.5f)});
    }
    for (int method : {2, 4}) {
        std::vector<TVector> ends[2];
        int hits = 0;
        for (int with_octree = 0; with_octree < 2; ++with_octree) {
            TEntity::entity_list = CreateList<EntityRef>();
            ClearCollisions();
            MeshRef m = TMesh::CreateMesh(nullptr);
            const SurfaceRef s = m->CreateSurface(nullptr);
            for (const auto& t : tris) {
                const int a = s->AddVertex(t[0].x, t[0].y, t[0].z, 0, 0, 0);
                const int b = s->AddVertex(t[1].x, t[1].y, t[1].z, 0, 0, 0);
                const int c = s->AddVertex(t[2].x, t[2].y, t[2].z, 0, 0, 0);
                s->AddTriangle(a, b, c);
            }
            m->EntityType(2, 0);
            m->TurnEntity(20, 35, 10, 0);
            m->ScaleEntity(1.2f, 0.9f, 1.1f, 0);
            if (with_octree) TOctree::CreateOctree(m, 3, 0);
            Collisions(1, 2, method, 0);
            for (const Move& mv : moves) {
                PivotRef ball = Mover(mv.from.x, mv.from.y, mv.from.z, mv.radius);
                MoveAndPass(ball, mv.to.x, mv.to.y, mv.to.z);
                ends[with_octree].push_back(Pos(ball));
                hits += CountCollisions(ball);
                FreeEntity(ball);
            }
        }
        EXPECT_GT(hits, 100) << "the table must exercise the slide";
        int apart = 0;
        for (std::size_t i = 0; i < moves.size(); ++i) {
            const TVector d = ends[1][i].Subtract(ends[0][i]);
            if (d.Length() > 1e-3f) {
                ++apart;
                ADD_FAILURE() << "move " << i << " plain " << ends[0][i].x << " " << ends[0][i].y
                              << " " << ends[0][i].z << " octree " << ends[1][i].x << " "
                              << ends[1][i].y << " " << ends[1][i].z;
            }
        }
        EXPECT_EQ(apart, 0) << "method " << method;
    }
}

// ---- Starting contacts, large coordinates, huge moves ----

TEST_F(CollisionTest, SpherePushedIntoAWallFarOutStaysInFront) {
    // Each frame the program moves the sphere further into the wall; each pass must leave it
    // in front, though at 100,000 units float resolution (1/128) is coarser than 0.005.
    struct Case {
        float at, radius, step;
    };
    for (const Case& k : {Case{1e5f, 1.0f, 0.25f}, Case{3000, 0.05f, 0.01f}, Case{1e5f, 1.0f, 3.0f},
                          Case{0, 1.0f, 0.25f}}) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        const float wall_z = k.at + 5;
        MeshRef wall = QuadMesh(V(k.at, 0, wall_z), V(0, 10, 0), V(10, 0, 0));
        PivotRef ball = Mover(k.at, 0, wall_z - 2 * k.radius, k.radius);
        Collisions(1, 2, 2, 0);
        for (int frame = 0; frame < 300; ++frame) {
            MoveAndPass(ball, k.at, 0, ball->EntityZ(1) + k.step);
            ASSERT_LE(double(ball->EntityZ(1)) + k.radius, double(wall_z))
                << "at " << k.at << " radius " << k.radius << " frame " << frame;
        }
        EXPECT_GE(ball->EntityZ(1), wall_z - k.radius * 1.25f) << "held close to the wall";
        EXPECT_EQ(CountCollisions(ball), 1);
    }
}

TEST_F(CollisionTest, SpherePlacedOverlappingAWallDoesNotComeOutBehindIt) {
    // The sphere is put (teleported, then reset) with its centre in front of the wall's plane
    // but within its radius, and then moved into the wall: it is pushed back out to the
    // stand-off, by either method, with or without an octree, whatever the depth.
    for (int method : {2, 4}) {
        for (int with_octree = 0; with_octree < 2; ++with_octree) {
            for (float depth : {0.0f, 0.3f, 0.9f, 1.0f}) {
                for (float push : {0.2f, 3.0f}) {
                    TEntity::entity_list = CreateList<EntityRef>();
                    ClearCollisions();
                    MeshRef wall = WallZ5();
                    if (with_octree) TOctree::CreateOctree(wall, 1, 2);
                    Collisions(1, 2, method, 0);
                    const float start = 5 - 1 + depth; // centre 1 - depth before the plane
                    PivotRef ball = Mover(1, 2, start, 1);
                    MoveAndPass(ball, 1.5f, 2, start + push);
                    const std::string what =
                        "method " + std::to_string(method) + (with_octree ? " octree" : " plain") +
                        " depth " + std::to_string(depth) + " push " + std::to_string(push);
                    EXPECT_NEAR(ball->EntityZ(1), 5 - 1 - kClose, 1e-4f) << what;
                    EXPECT_NEAR(ball->EntityX(1), 1.5f, 1e-4f) << what << ": slides along";
                    EXPECT_EQ(CountCollisions(ball), 1) << what;
                    EXPECT_NEAR(CollisionNZ(ball, 1), -1.0f, 1e-5f) << what;
                }
            }
        }
    }
    // Overlapping an edge: the centre beyond the wall's side, moving in along and into it.
    MeshRef wall = WallZ5();
    ClearCollisions();
    Collisions(1, 2, 2, 0);
    PivotRef ball = Mover(10.5f, 0, 4.5f, 1);
    MoveAndPass(ball, 7, 0, 7);
    EXPECT_LT(ball->EntityZ(1), 5.0f) << "stays in front of the wall's plane";
}

TEST_F(CollisionTest, MovesFloatCannotResolveAreRefusedNotMisplaced) {
    // Each case either ends in front of the wall (and not behind its start) or is refused:
    // the sphere stays where the move started. No wrong position either way.
    struct Case {
        const char* what;
        float wall_z, from_z, to_z, radius;
        bool refused;
    };
    const Case cases[] = {
        {"a 1e9 move into a wall", 5, 0, 1e9f, 1, true},
        {"a wall at 5e7", 5e7f, 5e7f - 10, 5e7f + 10, 1, true},
        {"a radius of 1e-8", 1, 0.5f, 2, 1e-8f, true},
        {"a radius of 1e-8 near the origin", 1e-6f, 0, 1e-5f, 1e-8f, false},
        {"a long move", 5, 0, 5e4f, 1, false},
    };
    for (const Case& k : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        Collisions(1, 2, 2, 0);
        const float size = std::max(10.0f, std::fabs(k.wall_z));
        QuadMesh(V(0, 0, k.wall_z), V(0, size, 0), V(size, 0, 0));
        PivotRef ball = Mover(0, 0, k.from_z, k.radius);
        MoveAndPass(ball, 0, 0, k.to_z);
        const double z = ball->EntityZ(1);
        if (k.refused) {
            EXPECT_EQ(z, double(k.from_z)) << k.what;
            EXPECT_EQ(CountCollisions(ball), 0) << k.what;
        } else {
            EXPECT_LE(z + k.radius, double(k.wall_z)) << k.what;
            EXPECT_GE(z, double(k.from_z)) << k.what;
            // The stand-off grows with the move's length in radii (here 4 units of float
            // resolution at 5e4, 0.024).
            EXPECT_NEAR(z, double(k.wall_z) - k.radius, 0.05 * k.radius) << k.what;
            EXPECT_EQ(CountCollisions(ball), 1) << k.what;
        }
        EXPECT_EQ(ball->EntityX(1), 0.0f) << k.what;
    }
}

// ---- The pass ----

TEST_F(CollisionTest, OnlyMovedVisibleTypedEntitiesTakePart) {
    MeshRef wall = WallZ5();
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    Collisions(2, 1, WORLDMESHCOLLISION, 0);

    // A hidden mover and a mover under a hidden parent are not collided, but their impacts
    // are emptied and their old position stored.
    PivotRef hidden = Mover(-8, 0, 0, 1);
    hidden->HideEntity();
    PivotRef parent = TPivot::CreatePivot(nullptr);
    PivotRef child = Mover(8, 0, 0, 1);
    child->EntityParent(parent, 1);
    parent->HideEntity();
    hidden->collision.push_back(std::make_shared<TCollisionImpact>());
    hidden->no_collisions = 1;
    // An untyped mover passes through.
    PivotRef untyped = Mover(0, 8, 0, 1);
    untyped->EntityType(0, 0);
    // A mover that stood still is not tested, even when the target moves into it.
    PivotRef still = Mover(0, -8, 4.5f, 1);
    for (const PivotRef& p : {hidden, child, untyped}) p->TranslateEntity(0, 0, 10, 1);

    TCollision::UpdateCollisions();
    EXPECT_NEAR(hidden->EntityZ(1), 10.0f, 1e-6f);
    EXPECT_EQ(CountCollisions(hidden), 0);
    EXPECT_NEAR(hidden->old_z, 10.0f, 1e-6f);
    EXPECT_NEAR(child->EntityZ(1), 10.0f, 1e-6f);
    EXPECT_NEAR(untyped->EntityZ(1), 10.0f, 1e-6f);
    EXPECT_NEAR(untyped->old_z, 10.0f, 1e-6f);
    EXPECT_NEAR(still->EntityZ(1), 4.5f, 1e-6f);
    EXPECT_EQ(CountCollisions(still), 0);

    // A hidden target is not collided with.
    wall->HideEntity();
    PivotRef late = Mover(0, 0, 0, 1);
    MoveAndPass(late, 0, 0, 10);
    EXPECT_NEAR(late->EntityZ(1), 10.0f, 1e-6f);
}

TEST_F(CollisionTest, NewEntitiesSweepFromTheOriginUntilReset) {
    MeshRef wall = WallZ5();
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    PivotRef swept = TPivot::CreatePivot(nullptr);
    swept->EntityRadius(1, 0, 0);
    swept->EntityType(1, 0);
    swept->PositionEntity(0, 0, 10, 0);
    PivotRef reset = TPivot::CreatePivot(nullptr);
    reset->EntityRadius(1, 0, 0);
    reset->EntityType(1, 0);
    reset->PositionEntity(0, 0, 10, 0);
    ResetEntity(reset);
    EXPECT_FLOAT_EQ(reset->old_z, 10.0f);
    TCollision::UpdateCollisions();
    EXPECT_NEAR(swept->EntityZ(1), 5 - 1 - kClose, 1e-4f);
    EXPECT_NEAR(reset->EntityZ(1), 10.0f, 1e-6f);

    // ResetEntity forgets the impacts.
    ASSERT_EQ(CountCollisions(swept), 1);
    ResetEntity(swept);
    EXPECT_EQ(CountCollisions(swept), 0);
    EXPECT_TRUE(swept->collision.empty());
}

TEST_F(CollisionTest, ClearedRulesMoveNothingButStillEmptyAndStore) {
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(0, 0, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 0, 0, 10);
    ASSERT_EQ(CountCollisions(ball), 1);
    ClearCollisions();
    MoveAndPass(ball, 0, 0, -10);
    EXPECT_EQ(CountCollisions(ball), 0);
    EXPECT_NEAR(ball->EntityZ(1), -10.0f, 1e-6f);
    EXPECT_NEAR(ball->old_z, -10.0f, 1e-6f);
}

TEST_F(CollisionTest, SameRuleTwiceTestsAgainFromTheOldPosition) {
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(0, 0, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    MoveAndPass(ball, 0, 0, 10);
    // The second test sweeps from the old position to where the first left it and meets
    // nothing there.
    EXPECT_EQ(CountCollisions(ball), 1);
    EXPECT_NEAR(ball->EntityZ(1), 5 - 1 - kClose, 1e-4f);
}

TEST_F(CollisionTest, AnEntityIsNeverItsOwnTarget) {
    // A mesh whose type is both source and destination: it must not collide with itself.
    MeshRef box = QuadMesh(V(0, 0, 5), V(0, 10, 0), V(10, 0, 0), 1);
    box->EntityRadius(1, 0, 0);
    Collisions(1, 1, WORLDMESHCOLLISION, 0);
    MoveAndPass(box, 0, 0, 3);
    EXPECT_NEAR(box->EntityZ(1), 3.0f, 1e-6f);
    EXPECT_EQ(CountCollisions(box), 0);
}

TEST_F(CollisionTest, FreedTargetsAreNotKeptAliveByImpacts) {
    std::weak_ptr<TEntity> gone;
    PivotRef ball = Mover(0, 0, 0, 1);
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    {
        MeshRef wall = WallZ5();
        gone = wall;
        MoveAndPass(ball, 0, 0, 10);
        ASSERT_EQ(CollisionEntity(ball, 1), wall);
        FreeEntity(wall);
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(CollisionEntity(ball, 1), nullptr);
    EXPECT_EQ(EntityCollided(ball, 2), nullptr);
    // The rest of the impact stays readable.
    EXPECT_NEAR(CollisionZ(ball, 1), 5.0f, 1e-4f);
}

// ---- Broad phase ----

TEST_F(CollisionTest, SweptBoxesPadTheMoveByTheRadii) {
    PivotRef ball = Mover(0, 0, 0, 1, 2, 0.5f);
    ball->PositionEntity(3, -1, 2, 0);
    const AABB bb = TCollision::GetBB(ball);
    const float mins[3] = {-1, -3, -0.5f}, maxs[3] = {4, 2, 2.5f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(bb.min[i], mins[i]) << i;
        EXPECT_FLOAT_EQ(bb.max[i], maxs[i]) << i;
    }

    // In the space of a target at (10, 0, 0) scaled by 2 (x) and 4 (y, z): method 4 pads each
    // axis by radius / scale, method 2 by the largest radius over the smallest scale.
    MeshRef target = WallZ5();
    target->ScaleEntity(2, 4, 4, 0);
    target->PositionEntity(10, 0, 0, 0);
    TCollisionPacket packet;
    packet.source = ball;
    packet.target = target;
    const AABB b4 = TCollision::GetBB4(packet);
    const AABB b2 = TCollision::GetBB2(packet);
    // Start (0,0,0) -> (-5, 0, 0); end (3,-1,2) -> (-3.5, -0.25, 0.5).
    const float lo[3] = {-5, -0.25f, 0}, hi[3] = {-3.5f, 0, 0.5f}, pad4[3] = {0.5f, 0.5f, 0.125f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(b4.min[i], lo[i] - pad4[i], 1e-5f) << i;
        EXPECT_NEAR(b4.max[i], hi[i] + pad4[i], 1e-5f) << i;
        EXPECT_NEAR(b2.min[i], lo[i] - 1.0f, 1e-5f) << i;
        EXPECT_NEAR(b2.max[i], hi[i] + 1.0f, 1e-5f) << i;
    }
    // A target with a zero scale: no box can be carried into its space, so the box holds
    // everything.
    target->ScaleEntity(0, 1, 1, 0);
    for (const AABB& box : {TCollision::GetBB2(packet), TCollision::GetBB4(packet)}) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(std::isinf(box.min[i]) && box.min[i] < 0) << i;
            EXPECT_TRUE(std::isinf(box.max[i]) && box.max[i] > 0) << i;
        }
    }
}

TEST_F(CollisionTest, QuickCheckNeedsAMoveNearTheTarget) {
    MeshRef wall = WallZ5();
    PivotRef ball = Mover(8, 8, -30, 1);
    EXPECT_EQ(TCollision::QuickCheck(ball, wall), 0); // has not moved
    ball->PositionEntity(8, 8, -25, 0);
    EXPECT_EQ(TCollision::QuickCheck(ball, wall), 0); // far from the wall's sphere
    ball->PositionEntity(8, 8, 0, 0);
    // The wall was never drawn, so its bounds were never computed: the check brings them up
    // to date itself.
    EXPECT_EQ(TCollision::QuickCheck(ball, wall), 1);
    EXPECT_EQ(TCollision::QuickCheck(nullptr, wall), 0);
    EXPECT_EQ(TCollision::QuickCheck(ball, nullptr), 0);
}

// ---- Spheres ----

struct SphereCase {
    const char* name;
    TVector c0, d0, c1, d1;
    int hit;
    float t;
};

const SphereCase kSphereCases[] = {
    {"head-on", V(0, 0, 0), V(0, 0, 10), V(0, 0, 6), V(0, 0, 0), 1, 0.4f},
    {"both moving", V(0, 0, 0), V(0, 0, 4), V(0, 0, 6), V(0, 0, -4), 1, 0.5f},
    {"overlapping", V(0, 0, 0), V(0, 0, 0), V(0, 1, 0), V(0, 0, 0), 1, 0.0f},
    {"moving apart", V(0, 0, 0), V(0, 0, -10), V(0, 0, 6), V(0, 0, 0), 0, 0},
    {"passing wide", V(0, 0, 0), V(0, 0, 10), V(3, 0, 5), V(0, 0, 0), 0, 0},
    {"too short", V(0, 0, 0), V(0, 0, 1), V(0, 0, 6), V(0, 0, 0), 0, 0},
    {"short but enough", V(0, 0, 0), V(0, 0, 0.5f), V(0, 0, 2.4f), V(0, 0, 0), 1, 0.8f},
    {"standing", V(0, 0, 0), V(0, 0, 0), V(0, 0, 6), V(0, 0, 0), 0, 0},
};

TEST_F(CollisionTest, SphereToSphereTestsAgreeOnEveryCase) {
    for (const SphereCase& c : kSphereCases) {
        float t = -1.0f;
        EXPECT_EQ(TCollision::SweptSpheres(c.c0, c.d0, 1, c.c1, c.d1, 1, t), c.hit) << c.name;
        if (c.hit) {
            EXPECT_NEAR(t, c.t, 1e-5f) << c.name;
        }

        PivotRef a = Mover(c.c0.x, c.c0.y, c.c0.z, 1);
        PivotRef b = Mover(c.c1.x, c.c1.y, c.c1.z, 1);
        a->TranslateEntity(c.d0.x, c.d0.y, c.d0.z, 1);
        b->TranslateEntity(c.d1.x, c.d1.y, c.d1.z, 1);
        EXPECT_EQ(TCollision::SphereToSphere(a, b, 0), c.hit) << c.name;
        EXPECT_EQ(TCollision::SphereToSphere1(a, b, 0), c.hit) << c.name;
    }
    EXPECT_EQ(TCollision::SphereToSphere(nullptr, nullptr, 0), 0);
    EXPECT_EQ(TCollision::SphereToSphere1(nullptr, nullptr, 0), 0);
}

TEST_F(CollisionTest, SphereRuleStopsTheMoverAndRecordsTheMeeting) {
    PivotRef a = Mover(0, 0, 0, 1);
    PivotRef b = Mover(0, 0, 6, 2);
    b->EntityType(2, 0);
    Collisions(1, 2, SPHERECOLLISION, SLIDERESPONSE);
    MoveAndPass(a, 0, 0, 10);
    // Radii 1 and 2 meet when the centres are 3 apart: a at z = 3, t = 0.3, touching at z = 4.
    // It stays there, the stand-off short of it; b does not move.
    EXPECT_NEAR(a->EntityZ(1), 3.0f - kClose, 1e-5f);
    ExpectNear(Pos(b), V(0, 0, 6), 0.0f);
    ASSERT_EQ(CountCollisions(a), 1);
    EXPECT_NEAR(CollisionTime(a, 1), 0.3f, 1e-5f);
    ExpectNear(V(CollisionX(a, 1), CollisionY(a, 1), CollisionZ(a, 1)), V(0, 0, 4), 1e-5f);
    ExpectNear(V(CollisionNX(a, 1), CollisionNY(a, 1), CollisionNZ(a, 1)), V(0, 0, -1), 1e-6f);
    EXPECT_EQ(CollisionEntity(a, 1), b);
    EXPECT_EQ(CollisionSurface(a, 1), nullptr);
    EXPECT_EQ(CollisionTriangle(a, 1), 0);
    EXPECT_EQ(EntityCollided(b, 1), a);
    EXPECT_EQ(CountCollisions(b), 0);
}

// ---- Ellipsoid targets (method 1) ----

// A target of collision type 2 with the given radii at (x, y, z), that position taken as where
// it stood at the last pass.
PivotRef EllipsoidTarget(const TVector& at, const TVector& radii) {
    PivotRef t = Mover(at.x, at.y, at.z, radii.x, radii.y, radii.z);
    t->EntityType(2, 0);
    return t;
}

TVector Unit(TVector v) {
    v.Normalize();
    return v;
}

// The part of v along the plane of unit normal n.
TVector Along(const TVector& v, const TVector& n) {
    return v.Subtract(n.Multiply(v.Dot(n)));
}

// A centre p that lies short of touching distance from a surface of normal n, pushed out along
// n to the stand-off.
TVector PushedOut(const TVector& p, const TVector& n, float short_of_touching) {
    return p.Add(n.Multiply(short_of_touching + kClose));
}

// How far p lies from the target's centre in units of the summed radii along each axis: 1 on
// the ellipsoid the source's centre may not enter.
float SummedDistance(const TVector& p, const TVector& centre, const TVector& summed) {
    const TVector d = p.Subtract(centre);
    return V(d.x / summed.x, d.y / summed.y, d.z / summed.z).Length();
}

TEST_F(CollisionTest, SphereRuleSlidesTheMoverAroundTheTargetsEllipsoid) {
    struct Case {
        const char* name;
        TVector from, to, radii;
        // Where the target stood at the last pass and stands now, its radii and scale.
        TVector target_was, target_at, target_radii, target_scale;
        // Where the mover ends (within tol), and the impact: normal, time, contact point.
        TVector end;
        float tol;
        int impacts;
        TVector normal;
        float time;
        TVector point;
    };
    const TVector one = V(1, 1, 1);
    // Glancing: offset 1.2 from the axis of a target of summed radius 2, the centres meet 1.6
    // apart along z (normal (0.6, 0, -0.8)); the 7.6 left of the move slides along the tangent
    // plane: 7.6 x (0.48, 0, 0.36).
    //
    // Off the axes a tall mover (radii 1, 2, 1) falling from (1, 10, 0) meets the summed
    // ellipsoid (radii 2, 3, 2) 1 to the side at height 3 sqrt(0.75). In the mover's ellipsoid
    // space (y halved) it meets an ellipsoid of radii 2, 1.5, 2 at (1, y, 0), y = 1.5 sqrt(0.75),
    // whose normal there runs along (1/4, y/2.25, 0); what is left of the fall to (1, -5, 0)
    // slides along that tangent plane, the stand-off out from it (off_axis, doubled in y back in
    // world units).
    const float met_y = 1.5f * std::sqrt(0.75f);
    const TVector met = V(1, met_y, 0);
    const TVector met_n = Unit(V(0.25f, met_y / 2.25f, 0));
    const TVector off_axis =
        met.Add(met_n.Multiply(kClose)).Add(Along(V(1, -5, 0).Subtract(met), met_n));
    const Case cases[] = {
        {"head-on", V(0, 0, 0), V(0, 0, 10), one, V(0, 0, 6), V(0, 0, 6), one, one,
         V(0, 0, 4 - kClose), 1e-5f, 1, V(0, 0, -1), 0.4f, V(0, 0, 5)},
        {"glancing", V(1.2f, 0, 0), V(1.2f, 0, 12), one, V(0, 0, 6), V(0, 0, 6), one, one,
         V(1.2f + 7.6f * 0.48f, 0, 4.4f + 7.6f * 0.36f), 0.01f, 1, V(0.6f, 0, -0.8f), 4.4f / 12,
         V(0.6f, 0, 5.2f)},
        {"scaled target", V(0, 0, 0), V(0, 0, 10), one, V(0, 0, 6), V(0, 0, 6), one, V(2, 2, 2),
         V(0, 0, 3 - kClose), 1e-5f, 1, V(0, 0, -1), 0.3f, V(0, 0, 4)},
        // Scaled by 3 along z, mirrored: summed radius 4 along the move, the target's share 3/4.
        {"mirrored stretched target", V(0, 0, 0), V(0, 0, 10), one, V(0, 0, 6), V(0, 0, 6), one,
         V(1, 1, -3), V(0, 0, 2 - kClose), 1e-5f, 1, V(0, 0, -1), 0.2f, V(0, 0, 3)},
        // The target came 3 toward the mover as it went 2: the gap of 4 closed at t = 0.8 with
        // the centres at 1.6 and 3.6; the mover ends against the target where it stands now.
        {"moving target", V(0, 0, 0), V(0, 0, 2), one, V(0, 0, 6), V(0, 0, 3), one, one,
         V(0, 0, 1 - kClose), 1e-5f, 1, V(0, 0, -1), 0.8f, V(0, 0, 2.6f)},
        // Falling onto a unit sphere with a vertical radius of 2: held 3 above its centre, the
        // stand-off counted in that radius; the target's share of the summed radius is 1/3.
        {"tall mover", V(0, 10, 0), V(0, -10, 0), V(1, 2, 1), V(0, 0, 0), V(0, 0, 0), one, one,
         V(0, 3 + 2 * kClose, 0), 1e-5f, 1, V(0, 1, 0), 0.35f, V(0, 1, 0)},
        {"tall target", V(0, 10, 0), V(0, -10, 0), one, V(0, 0, 0), V(0, 0, 0), V(1, 3, 1), one,
         V(0, 4 + kClose, 0), 1e-5f, 1, V(0, 1, 0), 0.3f, V(0, 3, 0)},
        {"flat mover beside", V(-10, 0, 0), V(10, 0, 0), V(0.5f, 2, 2), V(0, 0, 0), V(0, 0, 0), one,
         one, V(-1.5f - 0.5f * kClose, 0, 0), 1e-5f, 1, V(-1, 0, 0), 8.5f / 20, V(-1, 0, 0)},
        // In world units the meeting normal runs along (1/4, 3 sqrt(0.75)/9, 0) and the
        // ellipsoids touch on the unit sphere at (1/2, sqrt(0.75), 0).
        {"tall mover off the axis", V(1, 10, 0), V(1, -10, 0), V(1, 2, 1), V(0, 0, 0), V(0, 0, 0),
         one, one, V(off_axis.x, 2 * off_axis.y, off_axis.z), 1e-4f, 1,
         Unit(V(0.25f, std::sqrt(0.75f) / 3, 0)), (10 - 3 * std::sqrt(0.75f)) / 20,
         V(0.5f, std::sqrt(0.75f), 0)},
        {"passing wide", V(3, 0, 0), V(3, 0, 12), one, V(0, 0, 6), V(0, 0, 6), one, one,
         V(3, 0, 12), 0.0f, 0, V(0, 0, 0), 0, V(0, 0, 0)},
        {"moving apart", V(0, 0, 3), V(0, 0, -5), one, V(0, 0, 6), V(0, 0, 6), one, one,
         V(0, 0, -5), 0.0f, 0, V(0, 0, 0), 0, V(0, 0, 0)},
    };
    for (const Case& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        Collisions(1, 2, SPHERECOLLISION, SLIDERESPONSE);
        // The mover first in the list: its turn comes before the target's, whose move since
        // the last pass is then still known.
        PivotRef mover = Mover(c.from.x, c.from.y, c.from.z, c.radii.x, c.radii.y, c.radii.z);
        PivotRef target = EllipsoidTarget(c.target_was, c.target_radii);
        target->ScaleEntity(c.target_scale.x, c.target_scale.y, c.target_scale.z, 0);
        target->PositionEntity(c.target_at.x, c.target_at.y, c.target_at.z, 0);
        MoveAndPass(mover, c.to.x, c.to.y, c.to.z);

        ExpectNear(Pos(mover), c.end, c.tol, c.name);
        ExpectNear(Pos(target), c.target_at, 0.0f, std::string(c.name) + ": the target stays");
        EXPECT_EQ(CountCollisions(target), 0) << c.name;
        const TVector scaled = V(c.target_radii.x * std::fabs(c.target_scale.x),
                                 c.target_radii.y * std::fabs(c.target_scale.y),
                                 c.target_radii.z * std::fabs(c.target_scale.z));
        EXPECT_GE(SummedDistance(Pos(mover), c.target_at, c.radii.Add(scaled)), 1.0f)
            << c.name << ": the mover ends outside";
        ASSERT_EQ(CountCollisions(mover), c.impacts) << c.name;
        if (c.impacts == 0) continue;
        EXPECT_EQ(CollisionEntity(mover, 1), target) << c.name;
        EXPECT_EQ(CollisionSurface(mover, 1), nullptr) << c.name;
        EXPECT_NEAR(CollisionTime(mover, 1), c.time, 1e-4f) << c.name;
        ExpectNear(V(CollisionNX(mover, 1), CollisionNY(mover, 1), CollisionNZ(mover, 1)), c.normal,
                   1e-4f, std::string(c.name) + " normal");
        ExpectNear(V(CollisionX(mover, 1), CollisionY(mover, 1), CollisionZ(mover, 1)), c.point,
                   1e-4f, std::string(c.name) + " point");
    }
}

TEST_F(CollisionTest, SphereRuleTakesPointsAndDiscsRefusesWhatFloatCannotCarry) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        float mover_radius, to_z;
        TVector target_radii, target_scale;
        float end_z;
        int impacts;
    };
    // The mover (radius as given) goes from z 0 to to_z; the target stands at z 6.
    const Case cases[] = {
        {"a point", 1, 10, V(0, 0, 0), V(1, 1, 1), 5 - kClose, 1},
        {"a disc across the way", 1, 10, V(1, 1, 1), V(1, 1, 0), 5 - kClose, 1},
        {"a disc along the way", 1, 10, V(1, 1, 1), V(0, 1, 1), 4 - kClose, 1},
        {"a radius that is not a number", 1, 10, V(nan, 1, 1), V(1, 1, 1), 10, 0},
        {"an infinite scale", 1, 10, V(1, 1, 1), V(inf, 1, 1), 10, 0},
        {"a mover without radius", 0, 10, V(1, 1, 1), V(1, 1, 1), 10, 0},
        // Refused: the mover stays where the move started.
        {"a 1e9 move", 1, 1e9f, V(1, 1, 1), V(1, 1, 1), 0, 0},
        {"a radius of 1e-8", 1e-8f, 10, V(1, 1, 1), V(1, 1, 1), 0, 0},
    };
    for (const Case& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        Collisions(1, 2, SPHERECOLLISION, SLIDERESPONSE);
        PivotRef target = EllipsoidTarget(V(0, 0, 6), V(1, 1, 1));
        target->radius_x = c.target_radii.x;
        target->radius_y = c.target_radii.y;
        target->radius_z = c.target_radii.z;
        target->ScaleEntity(c.target_scale.x, c.target_scale.y, c.target_scale.z, 0);
        PivotRef ball = Mover(0, 0, 0, c.mover_radius);
        MoveAndPass(ball, 0, 0, c.to_z);
        EXPECT_NEAR(ball->EntityZ(1), c.end_z, 1e-5f) << c.what;
        ExpectNear(V(ball->EntityX(1), ball->EntityY(1), 0), V(0, 0, 0), 0.0f, c.what);
        EXPECT_EQ(CountCollisions(ball), c.impacts) << c.what;
    }
}

TEST_F(CollisionTest, SphereRuleAgainstAMovingTargetEndsTheSameInEitherListOrder) {
    // Listed after the mover, the target's own move is still known at the mover's turn and the
    // sweep runs relative to it; listed before, its turn has already taken its current position
    // as where it stood. Either way the mover ends against where the target stands now.
    for (bool target_first : {false, true}) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        Collisions(1, 2, SPHERECOLLISION, SLIDERESPONSE);
        PivotRef target, mover;
        if (target_first) target = EllipsoidTarget(V(0, 0, 6), V(1, 1, 1));
        mover = Mover(0, 0, 0, 1);
        if (!target_first) target = EllipsoidTarget(V(0, 0, 6), V(1, 1, 1));
        target->PositionEntity(0, 0, 3, 0);
        MoveAndPass(mover, 0, 0, 2);
        EXPECT_NEAR(mover->EntityZ(1), 1 - kClose, 1e-5f) << target_first;
        EXPECT_EQ(CountCollisions(mover), 1) << target_first;
        EXPECT_NEAR(target->EntityZ(1), 3.0f, 0.0f) << target_first;
    }
    // A mover that stood still is not moved, though the target came into it.
    TEntity::entity_list = CreateList<EntityRef>();
    PivotRef still = Mover(0, 0, 0, 1);
    PivotRef target = EllipsoidTarget(V(0, 0, 6), V(1, 1, 1));
    MoveAndPass(target, 0, 0, 1);
    ExpectNear(Pos(still), V(0, 0, 0), 0.0f);
    EXPECT_EQ(CountCollisions(still), 0);
}

// The 45 degree slope y = x through the origin, rising toward +x, facing up and toward -x,
// 40 deep in z. Built in the mesh's own space so that the scale and (when turned) a roll of 180
// degrees, which turns the mesh's up to the world's down, place it there.
MeshRef Slope(const TVector& scale, bool turned) {
    const float h = std::sqrt(0.5f);
    const float flip = turned ? -1.0f : 1.0f;
    auto local = [&](const TVector& w) {
        return V(flip * w.x / scale.x, flip * w.y / scale.y, w.z / scale.z);
    };
    MeshRef m = QuadMesh(V(0, 0, 0), local(V(0, 0, 20)), local(V(20 * h, 20 * h, 0)));
    m->ScaleEntity(scale.x, scale.y, scale.z, 0);
    if (turned) m->RotateEntity(0, 0, 180, 0);
    return m;
}

// The rule's response is stored and never read: whatever it is, every method slides, also down
// a slope and off a sphere's top, and a move ends at the same place with the same impact.
TEST_F(CollisionTest, EveryResponseSlidesAlikeForEveryMethod) {
    const float r2 = std::sqrt(2.0f);
    struct Case {
        const char* name;
        int method;
        // The target: 0 the wall at z = 5, 1 the slope, 2 the slope scaled and turned, 3 a unit
        // sphere at (0, 0, 6), 4 a unit sphere at the origin.
        int target;
        TVector from, to;
        // Where the slide ends.
        TVector slid;
    };
    // The wall keeps the motion along it; falling 4.41 past the touch onto the slope leaves
    // 4.41 x (-1/2, -1/2, 0) along it; the glancing sphere as in the table above; falling onto
    // the sphere 0.5 off its top (touching at height sqrt(3.75), normal (0.25, 0.968, 0)) leaves
    // the remaining 2.94 x (0.242, -0.063, 0) along the tangent plane.
    const float fall = r2 + 3;
    const float top = std::sqrt(3.75f);
    const TVector sphere_n = V(0.25f, top / 2, 0);
    const TVector down = V(0, -(top + 1), 0);
    const TVector sphere_slid = V(0.5f, top, 0).Add(Along(down, sphere_n));
    const float h = std::sqrt(0.5f);
    const TVector down1 = V(0, -1, 0);
    // h from the slope's plane, away from the quad's diagonal (an edge within reach would be
    // met first).
    const TVector slope_in = V(0, 1, 8);
    const TVector slope_n = V(-h, h, 0);
    const TVector slope_out = PushedOut(slope_in, slope_n, 1 - h).Add(Along(down1, slope_n));
    const TVector sphere_in = V(0.5f, 1.5f, 0); // inside the summed radius 2
    const TVector in_n = Unit(sphere_in);
    const TVector sphere_out =
        PushedOut(sphere_in, in_n, 2 - sphere_in.Length()).Add(Along(down1, in_n));
    const TVector slope_slid = V(-fall / 2, r2 - fall / 2, 0);
    const Case cases[] = {
        {"wall", 2, 0, V(0, 0, 0), V(4, 0, 8), V(4, 0, 4)},
        {"wall", 4, 0, V(0, 0, 0), V(4, 0, 8), V(4, 0, 4)},
        {"slope", 2, 1, V(0, 5, 0), V(0, -3, 0), slope_slid},
        {"slope", 4, 1, V(0, 5, 0), V(0, -3, 0), slope_slid},
        {"turned slope", 2, 2, V(0, 5, 0), V(0, -3, 0), slope_slid},
        {"turned slope", 4, 2, V(0, 5, 0), V(0, -3, 0), slope_slid},
        {"sphere side", 1, 3, V(1.2f, 0, 0), V(1.2f, 0, 12),
         V(1.2f + 7.6f * 0.48f, 0, 4.4f + 7.6f * 0.36f)},
        {"sphere top", 1, 4, V(0.5f, 5, 0), V(0.5f, -1, 0), sphere_slid},
        // Starting inside, falling 1: pushed out along the normal to the stand-off, with what
        // the fall leaves along the surface.
        {"slope, starting in it", 2, 1, slope_in, slope_in.Add(down1), slope_out},
        {"slope, starting in it", 4, 1, slope_in, slope_in.Add(down1), slope_out},
        {"turned slope, starting in it", 2, 2, slope_in, slope_in.Add(down1), slope_out},
        {"sphere, starting in it", 1, 4, sphere_in, sphere_in.Add(down1), sphere_out},
    };
    // What one move leaves: where the mover ends and its one impact.
    struct Outcome {
        TVector end, point, normal;
        float time = 0.0f;
    };
    for (const Case& c : cases) {
        Outcome first;
        bool have_first = false;
        for (int response : {0, 1, SLIDERESPONSE, 3, 99}) {
            TEntity::entity_list = CreateList<EntityRef>();
            ClearCollisions();
            EntityRef target;
            switch (c.target) {
            case 0:
                target = WallZ5();
                break;
            case 1:
                target = Slope(V(1, 1, 1), false);
                break;
            case 2:
                target = Slope(V(2, 0.5f, 3), true);
                break;
            case 3:
                target = EllipsoidTarget(V(0, 0, 6), V(1, 1, 1));
                break;
            default:
                target = EllipsoidTarget(V(0, 0, 0), V(1, 1, 1));
                break;
            }
            PivotRef ball = Mover(c.from.x, c.from.y, c.from.z, 1);
            Collisions(1, 2, c.method, response);
            MoveAndPass(ball, c.to.x, c.to.y, c.to.z);
            const std::string what = std::string(c.name) + " method " + std::to_string(c.method) +
                                     " response " + std::to_string(response);
            EXPECT_EQ(TCollision::list->ToVector().at(0)->response, response) << what;

            ASSERT_EQ(CountCollisions(ball), 1) << what;
            EXPECT_EQ(CollisionEntity(ball, 1), target) << what;
            Outcome o;
            o.end = Pos(ball);
            o.point = V(CollisionX(ball, 1), CollisionY(ball, 1), CollisionZ(ball, 1));
            o.normal = V(CollisionNX(ball, 1), CollisionNY(ball, 1), CollisionNZ(ball, 1));
            o.time = CollisionTime(ball, 1);
            // Within the stand-off (and the back-off along a slanted motion) of the slide's end.
            ExpectNear(o.end, c.slid, 0.02f, what);
            if (!have_first) {
                first = o;
                have_first = true;
                continue;
            }
            // The same arithmetic whatever the response: equal to the last bit.
            ExpectNear(o.end, first.end, 0.0f, what + ": end");
            ExpectNear(o.point, first.point, 0.0f, what + ": point");
            ExpectNear(o.normal, first.normal, 0.0f, what + ": normal");
            EXPECT_EQ(o.time, first.time) << what;
        }
    }
}

TEST_F(CollisionTest, RestingContactNeitherJittersNorSinks) {
    // Each frame the program pushes the mover into what it rests against, and UpdateWorld
    // holds it there: after it settles, it stays put to within float rounding and never
    // comes nearer than touching.
    // Every push runs straight into what it meets (toward the sphere's centre, along the
    // slope's normal): anything else would slide the mover along and away.
    struct Case {
        const char* name;
        int method;
        int target; // 0 a unit sphere at the origin, 1 the slope turned and scaled
        TVector from, push;
    };
    const float h = std::sqrt(0.5f);
    const TVector into_slope = V(0.5f * h, -0.5f * h, 0);
    const Case cases[] = {
        {"on a sphere's top", 1, 0, V(0, 3, 0), V(0, -0.5f, 0)},
        {"against a sphere's side", 1, 0, V(-3, 0, 0), V(0.5f, 0, 0)},
        {"against a sphere, off the axes", 1, 0, V(1.8f, 2.4f, 0), V(-0.3f, -0.4f, 0)},
        {"on a slope", 2, 1, V(0, 3, 8), into_slope},
        {"on a slope, own space", 4, 1, V(0, 3, 8), into_slope},
    };
    for (const Case& c : cases) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        if (c.target == 0) {
            EllipsoidTarget(V(0, 0, 0), V(1, 1, 1));
        } else {
            Slope(V(2, 0.5f, 3), true);
        }
        PivotRef ball = Mover(c.from.x, c.from.y, c.from.z, 1);
        Collisions(1, 2, c.method, SLIDERESPONSE);
        TVector settled;
        TVector lo = V(1e9f, 1e9f, 1e9f), hi = V(-1e9f, -1e9f, -1e9f);
        for (int frame = 0; frame < 300; ++frame) {
            ball->TranslateEntity(c.push.x, c.push.y, c.push.z, 1);
            UpdateWorld(1);
            const TVector p = Pos(ball);
            // Never nearer than touching: the sphere's summed radius 2, the slope's plane 1.
            const float gap = c.target == 0 ? p.Length() / 2 : p.Dot(V(-h, h, 0));
            ASSERT_GE(gap, 1.0f) << c.name << " frame " << frame;
            if (frame == 20) settled = p;
            if (frame >= 20) {
                ASSERT_EQ(CountCollisions(ball), 1) << c.name << " frame " << frame;
                lo = V(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                hi = V(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
            }
        }
        ExpectNear(hi.Subtract(lo), V(0, 0, 0), 1e-4f, std::string(c.name) + ": still");
        // Where it rests: touching, the stand-off off, on the line it was pushed along.
        const float gap = c.target == 0 ? settled.Length() / 2 : settled.Dot(V(-h, h, 0));
        EXPECT_NEAR(gap, 1.0f, 0.01f) << c.name;
        const TVector along = settled.Subtract(c.from);
        EXPECT_NEAR(
            along.Subtract(c.push.Multiply(along.Dot(c.push) / c.push.SquaredLength())).Length(),
            0.0f, 1e-3f)
            << c.name;
    }
}

// ---- Settings ----

TEST_F(CollisionTest, RadiusTypeAndBoxSettings) {
    PivotRef e = TPivot::CreatePivot(nullptr);
    struct RadiusCase {
        float x, y, z, ex, ey, ez;
    };
    for (const RadiusCase& c : {RadiusCase{2, 0, 0, 2, 2, 2}, RadiusCase{2, 1, 0, 2, 1, 2},
                                RadiusCase{2, 0, 3, 2, 2, 3}, RadiusCase{1, 2, 3, 1, 2, 3}}) {
        EntityRadius(e, c.x, c.y, c.z);
        EXPECT_EQ(e->radius_x, c.ex);
        EXPECT_EQ(e->radius_y, c.ey);
        EXPECT_EQ(e->radius_z, c.ez);
    }

    EntityBox(e, 1, 2, 3, 4, 5, 6);
    EXPECT_EQ(e->box_x, 1);
    EXPECT_EQ(e->box_y, 2);
    EXPECT_EQ(e->box_z, 3); // not negated
    EXPECT_EQ(e->box_w, 4);
    EXPECT_EQ(e->box_h, 5);
    EXPECT_EQ(e->box_d, 6);

    PivotRef child = TPivot::CreatePivot(e);
    PivotRef grandchild = TPivot::CreatePivot(child);
    EntityType(e, 3, 2);
    EXPECT_EQ(GetEntityType(e), 3);
    EXPECT_EQ(GetEntityType(child), 0);
    EntityType(e, 4, 1);
    EXPECT_EQ(GetEntityType(e), 4);
    EXPECT_EQ(GetEntityType(child), 4);
    EXPECT_EQ(GetEntityType(grandchild), 4);
}

TEST_F(CollisionTest, NullEntitiesAreSafeNoOps) {
    const EntityRef none;
    EntityType(none, 1, 1);
    EntityRadius(none, 1, 1, 1);
    EntityBox(none, 1, 1, 1, 1, 1, 1);
    ResetEntity(none);
    EXPECT_EQ(GetEntityType(none), 0);
    EXPECT_EQ(EntityCollided(none, 1), nullptr);
    EXPECT_EQ(CountCollisions(none), 0);
    EXPECT_EQ(CollisionX(none, 1), 0.0f);
    EXPECT_EQ(CollisionNY(none, 1), 0.0f);
    EXPECT_EQ(CollisionTime(none, 1), 0.0f);
    EXPECT_EQ(CollisionEntity(none, 1), nullptr);
    EXPECT_EQ(CollisionSurface(none, 1), nullptr);
    EXPECT_EQ(CollisionTriangle(none, 1), 0);
    EXPECT_EQ(TCollision::SphereToMesh2(none, none), 0);
    EXPECT_EQ(TCollision::SphereToMesh4(none, none), 0);
    TCollisionPacket packet;
    const AABB box = TCollision::GetBB2(packet);
    EXPECT_EQ(box.max[0], 0.0f);
    EXPECT_EQ(TCollision::MeshCheckCollision(packet), 0);
    EXPECT_EQ(packet.found, 0);
    // A null entry in the entity list or the rule list is skipped.
    TEntity::entity_list->AddLast(nullptr);
    TCollision::list->AddLast(nullptr);
    EXPECT_EQ(TCollision::UpdateCollisions(), 0);
}

// ---- Degenerate input ----

TEST_F(CollisionTest, DegenerateInputGivesNoCollisionAndNoNaN) {
    Collisions(1, 2, WORLDMESHCOLLISION, 0);
    Collisions(1, 3, LOCALMESHCOLLISION, 0);
    // A mesh of zero-area triangles (collinear and coincident corners) on the path.
    MeshRef flat = TMesh::CreateMesh(nullptr);
    const SurfaceRef s = flat->CreateSurface(nullptr);
    const int a = s->AddVertex(-5, 0, 5, 0, 0, 0);
    const int b = s->AddVertex(0, 0, 5, 0, 0, 0);
    const int c = s->AddVertex(5, 0, 5, 0, 0, 0);
    s->AddTriangle(a, b, c);
    s->AddTriangle(b, b, b);
    flat->EntityType(2, 0);
    // A wall flattened to zero thickness by a zero scale, for method 4.
    MeshRef squashed = WallZ5(3);
    squashed->ScaleEntity(1, 1, 0, 0);
    // A pivot as the target of a mesh rule.
    PivotRef pivot = Mover(0, 0, 5, 1);
    pivot->EntityType(2, 0);

    PivotRef ball = Mover(0, 0, 0, 1);
    ball->PositionEntity(0, 0, 10, 0);
    PivotRef point = Mover(1, 0, 0, 0); // no ellipsoid
    point->PositionEntity(1, 0, 10, 0);
    PivotRef flatball = Mover(2, 0, 0, 1, 1, 0);
    flatball->radius_z = 0; // a disc: zero on one axis
    flatball->PositionEntity(2, 0, 10, 0);
    PivotRef lost = Mover(3, 0, 0, 1);
    MoveAndPass(lost, std::numeric_limits<float>::quiet_NaN(), 0, 10);
    EXPECT_NEAR(ball->EntityZ(1), 10.0f, 1e-6f);
    EXPECT_EQ(CountCollisions(ball), 0);
    EXPECT_NEAR(point->EntityZ(1), 10.0f, 1e-6f);
    EXPECT_NEAR(flatball->EntityZ(1), 10.0f, 1e-6f);
    // A move to a position that is not a number is refused: back where it started.
    EXPECT_EQ(CountCollisions(lost), 0);
    ExpectNear(Pos(lost), V(3, 0, 0), 0.0f);
}

TEST_F(CollisionTest, NarrowPhaseHelpersGuardTheirDivisions) {
    float root = -1.0f;
    // No quadratic term: no root (the division would be by zero).
    EXPECT_EQ(TCollision::getLowestRoot(0, 1, -1, 1, root), 0);
    EXPECT_EQ(TCollision::getLowestRoot(1, 0, 1, 10, root), 0);  // no real root
    EXPECT_EQ(TCollision::getLowestRoot(1, -3, 2, 10, root), 1); // roots 1 and 2
    EXPECT_FLOAT_EQ(root, 1.0f);
    EXPECT_EQ(TCollision::getLowestRoot(1, -3, 2, 1, root), 0);  // the bound is strict
    EXPECT_EQ(TCollision::getLowestRoot(1, 1, -2, 10, root), 1); // roots -2 and 1
    EXPECT_FLOAT_EQ(root, 1.0f);
    EXPECT_EQ(TCollision::getLowestRoot(1, 0, 0, 10, root), 0); // a double root at 0

    float u = 0, v = 0, w = 0;
    TCollision::Barycentric(V(0, 0, 0), V(1, 1, 1), V(2, 2, 2), V(1, 1, 1), u, v, w);
    EXPECT_TRUE(std::isfinite(u) && std::isfinite(v) && std::isfinite(w));
    EXPECT_EQ(TCollision::CheckPointInTriangle(V(1, 1, 1), V(0, 0, 0), V(1, 1, 1), V(2, 2, 2)), 0);
    TCollision::Barycentric(V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(0.25f, 0.5f, 0), u, v, w);
    EXPECT_FLOAT_EQ(v, 0.25f);
    EXPECT_FLOAT_EQ(w, 0.5f);
    EXPECT_FLOAT_EQ(u, 0.25f);
    EXPECT_EQ(TCollision::CheckPointInTriangle(V(1, 0, 0), V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)),
              1); // the border counts

    // A pass with zero velocity finds nothing and gives no NaN.
    TCollisionPacket packet;
    packet.base_point = V(0, 0, 0);
    EXPECT_EQ(TCollision::CheckTriangle(packet, V(-1, -1, 0.5f), V(1, -1, 0.5f), V(0, 1, 0.5f)), 0);
    EXPECT_EQ(packet.found, 0);
}

} // namespace

namespace {

TEST_F(CollisionTest, MirroredMeshStopsASphereLikeItsUnmirroredTwin) {
    // A two-sided wall at z -1 over x -1..1, scaled 3 along x (mirrored or not), spans x -3..3:
    // a sphere moving along z at x 2.5 stops in front of it. (Mirroring turns a one-sided face
    // around, so the wall faces both ways.)
    for (float sx : {3.0f, -3.0f}) {
        TEntity::entity_list = CreateList<EntityRef>();
        ClearCollisions();
        MeshRef wall = QuadMesh(V(0, 0, -1), V(0, 1, 0), V(1, 0, 0));
        AddQuad(wall->GetSurface(1), V(0, 0, -1), V(1, 0, 0), V(0, 1, 0));
        wall->ScaleEntity(sx, 1, 1, 0);
        PivotRef ball = Mover(2.5f, 0, -10, 0.5f);
        Collisions(1, 2, 2, 2);
        MoveAndPass(ball, 2.5f, 0, 10);
        const std::string what = "x scale " + std::to_string(sx);
        ExpectNear(Pos(ball), V(2.5f, 0, -1 - 0.5f), 0.01f, what);
        ASSERT_EQ(CountCollisions(ball), 1) << what;
        EXPECT_EQ(CollisionEntity(ball, 1), wall) << what;
        EXPECT_NEAR(CollisionZ(ball, 1), -1.0f, 0.01f) << what;
    }
}

} // namespace
