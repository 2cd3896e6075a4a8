// Polygons and the triangle octree: vertex storage, splitting by a plane and the list layout
// that splitting leaves, meshes turned into polygons, the octree's split rule, its children and
// pieces, its depth limit and fatal error, the collision walk and the highlight.
#include "engine/commands.h"
#include "engine/octree.h"
#include "engine/polygon.h"
#include "platform/error.h"
#include "platform/testing.h"

#include "pick_fixture.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

PolygonRef polygonOf(const std::vector<TVector>& points, int tri = 0) {
    PolygonRef p = TPolygon::CreateFromPoints(points);
    if (p) p->tri = tri;
    return p;
}

std::vector<TVector> verticesOf(const PolygonRef& p) {
    std::vector<TVector> v;
    if (p) {
        for (int i = 0; i < p->no_verts; ++i) v.push_back(p->GetVertex(i));
    }
    return v;
}

bool same(const TVector& a, const TVector& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

void expectVertices(const PolygonRef& p, const std::vector<TVector>& want,
                    const std::string& what) {
    const std::vector<TVector> got = verticesOf(p);
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, 1e-5f) << what << " vertex " << i;
        EXPECT_NEAR(got[i].y, want[i].y, 1e-5f) << what << " vertex " << i;
        EXPECT_NEAR(got[i].z, want[i].z, 1e-5f) << what << " vertex " << i;
    }
}

struct PickRecord {
    EntityRef ent;
    SurfaceRef surf;
    int tri;
    float z;
};

// The plane x = 0 whose front is x < 0, as the octree's first cut.
const TPlane kCut = TPlane::CreatePlane(TVector{0, 0, 0}, TVector{-1, 0, 0});

// ---- Polygons ----

TEST(Polygon, VerticesAreStoredCopiesInADoublingArray) {
    TPolygon p;
    EXPECT_EQ(p.vert_capacity, 1);
    EXPECT_EQ(p.verts.size(), 1u);
    std::vector<int> capacities;
    TVector v{1, 2, 3};
    for (int i = 0; i < 8; ++i) {
        p.AddVertex(v);
        v.x += 1;
        capacities.push_back(p.vert_capacity);
        EXPECT_EQ(p.verts.size(), std::size_t(p.vert_capacity));
        EXPECT_LT(p.no_verts, p.vert_capacity);
    }
    EXPECT_EQ(capacities, (std::vector<int>{2, 4, 4, 8, 8, 8, 8, 16}));
    EXPECT_EQ(p.GetVertex(0).x, 1.0f) << "a copy, not the caller's vector";
    EXPECT_EQ(&p.GetVertex(3), &p.verts[3]) << "the stored vertex itself";
    EXPECT_EQ(p.GetVertex(8).x, 0.0f);
    EXPECT_EQ(p.GetVertex(-1).x, 0.0f);
    EXPECT_EQ(TPolygon::CreateFromPoints({}), nullptr);
}

TEST(Polygon, SplitPolygonCases) {
    const TVector a{-1, 0, 0}, b{1, 0, 0}, c{1, 1, 0};
    const TVector o{0, 0, 0}, oy{0, 1, 0};
    struct Case {
        const char* what;
        std::vector<TVector> poly;
        std::vector<TVector> front, back; // empty: null
    };
    const std::vector<Case> cases = {
        {"one vertex in front", {a, b, c}, {{0, 0.5f, 0}, a, o}, {{0, 0.5f, 0}, o, b, c}},
        {"in the plane", {o, oy, {0, 0, 1}}, {o, oy, {0, 0, 1}}, {}},
        {"wholly behind", {b, c, {2, 0, 0}}, {}, {b, c, {2, 0, 0}}},
        {"wholly in front", {a, {-1, 1, 0}, {-2, 0, 0}}, {a, {-1, 1, 0}, {-2, 0, 0}}, {}},
        {"one on the plane, two behind", {o, b, c}, {o}, {o, o, b, c}},
        {"two on the plane, one behind", {o, oy, b}, {o, oy}, {o, oy, b}},
        {"within the tolerance counts as on",
         {{0.00005f, 0, 0}, b, c},
         {{0.00005f, 0, 0}},
         {{0.00005f, 0, 0}, {0.00005f, 0, 0}, b, c}},
    };
    SurfaceRef surf = std::make_shared<TSurface>();
    for (const Case& k : cases) {
        PolygonRef poly = polygonOf(k.poly, 7);
        poly->surf = surf;
        PolygonRef front, back;
        TPolygon::SplitPolygon(*poly, kCut, front, back);
        if (k.front.empty()) {
            EXPECT_EQ(front, nullptr) << k.what;
        } else {
            expectVertices(front, k.front, std::string(k.what) + " front");
        }
        if (k.back.empty()) {
            EXPECT_EQ(back, nullptr) << k.what;
        } else {
            expectVertices(back, k.back, std::string(k.what) + " back");
        }
        for (const PolygonRef& piece : {front, back}) {
            if (!piece) continue;
            EXPECT_EQ(piece->surf, surf) << k.what;
            EXPECT_EQ(piece->tri, 7) << k.what;
            EXPECT_NE(piece, poly) << k.what << ": pieces are new polygons";
        }
    }
}

TEST(Polygon, NeighboursGetTheSameCrossingPointOnTheirSharedEdge) {
    // The edge A-B crosses x = 0; the two triangles run along it in opposite directions.
    const TVector a{-0.3f, 0.1f, 0.7f}, b{0.9f, 1.3f, -0.2f};
    PolygonRef t1 = polygonOf({a, b, {-0.5f, 2.0f, 0.3f}});
    PolygonRef t2 = polygonOf({b, a, {-0.7f, -1.0f, 0.1f}});
    PolygonRef f1, b1, f2, b2;
    TPolygon::SplitPolygon(*t1, kCut, f1, b1);
    TPolygon::SplitPolygon(*t2, kCut, f2, b2);
    int shared = 0;
    for (const TVector& p : verticesOf(b1)) {
        for (const TVector& q : verticesOf(b2)) {
            if (same(p, q)) ++shared;
        }
    }
    EXPECT_EQ(shared, 2) << "B and the crossing on A-B, bit for bit";
}

TEST(Polygon, SplitPolygonsListLayout) {
    // Three triangles that each leave a quad behind the plane: the back list grows 1, 2, 4,
    // holds the three first halves and a spare, then the three second halves (P, R, S).
    const TVector pts[3][3] = {{{-1, 0, 0}, {1, 0, 0}, {1, 1, 0}},
                               {{-1, 0, 1}, {1, 0, 1}, {1, 1, 1}},
                               {{-1, 0, 2}, {1, 0, 2}, {1, 1, 2}}};
    PolygonList polys;
    for (int i = 0; i < 3; ++i) polys.push_back(polygonOf({pts[i][0], pts[i][1], pts[i][2]}, i));
    polys.push_back(nullptr); // skipped
    PolygonList front, back;
    TPolygon::SplitPolygons(polys, kCut, front, back);

    ASSERT_EQ(front.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(front[std::size_t(i)]);
        EXPECT_EQ(front[std::size_t(i)]->tri, i);
        EXPECT_EQ(front[std::size_t(i)]->no_verts, 3);
    }
    EXPECT_EQ(front[3], nullptr);

    ASSERT_EQ(back.size(), 7u);
    EXPECT_EQ(back[3], nullptr) << "the spare left by growth stays before the appended halves";
    for (int i = 0; i < 3; ++i) {
        const float z = float(i);
        const TVector p{0, 0.5f, z}, q{0, 0, z}, r{1, 0, z}, s{1, 1, z};
        expectVertices(back[std::size_t(i)], {p, q, r}, "first half " + std::to_string(i));
        expectVertices(back[std::size_t(4 + i)], {p, r, s}, "second half " + std::to_string(i));
        EXPECT_EQ(back[std::size_t(4 + i)]->tri, i);
    }
}

TEST(Polygon, QuadToTrisOfDegenerateAndPlainLists) {
    // One on the plane, two behind: the back piece is O, O, B, C and becomes the degenerate
    // O, O, B and the proper O, B, C.
    const TVector o{0, 0, 0}, b{1, 0, 0}, c{1, 1, 0};
    PolygonList front, back;
    TPolygon::SplitPolygons({polygonOf({o, b, c}, 3)}, kCut, front, back);
    ASSERT_EQ(back.size(), 2u);
    expectVertices(back[0], {o, o, b}, "degenerate half");
    expectVertices(back[1], {o, b, c}, "proper half");
    EXPECT_EQ(back[1]->tri, 3);
    ASSERT_EQ(front.size(), 1u);
    EXPECT_EQ(front[0]->no_verts, 1);

    PolygonList plain = {polygonOf({o, b, c}), polygonOf({o, b}), nullptr};
    const PolygonList before = plain;
    EXPECT_EQ(&TPolygon::QuadToTris(plain), &plain);
    EXPECT_EQ(plain, before);
}

TEST_F(PickTest, MeshToPolygonsGivesOneTaggedTrianglePerMeshTriangle) {
    MeshRef m = CreateCube(nullptr);
    SurfaceRef extra = addTriangles(m, {facingTri(0, 0, 5), facingTri(3, 0, 5)});
    const PolygonList polys = TPolygon::MeshToPolygons(m);
    ASSERT_EQ(polys.size(), 14u);
    SurfaceRef first = m->GetSurface(1);
    for (std::size_t i = 0; i < polys.size(); ++i) {
        const PolygonRef& p = polys[i];
        ASSERT_TRUE(p);
        const SurfaceRef want = i < 12 ? first : extra;
        const int tri = i < 12 ? int(i) : int(i) - 12;
        EXPECT_EQ(p->surf, want);
        EXPECT_EQ(p->tri, tri);
        ASSERT_EQ(p->no_verts, 3);
        for (int k = 0; k < 3; ++k) {
            const int v = want->TriangleVertex(tri, k);
            EXPECT_EQ(p->GetVertex(k).x, want->VertexX(v));
            EXPECT_EQ(p->GetVertex(k).y, want->VertexY(v));
            EXPECT_EQ(p->GetVertex(k).z, want->VertexZ(v)) << "z as the commands give it";
        }
    }
    EXPECT_TRUE(TPolygon::MeshToPolygons(nullptr).empty());
    EXPECT_TRUE(TPolygon::MeshToPolygons(CreateMesh(nullptr)).empty());
}

// ---- The octree ----

// Every leaf of the tree with its depth (the root at 1).
void forLeaves(const OctreeRef& node, int depth,
               const std::function<void(const TOctree&, int)>& visit) {
    if (!node) return;
    if (node->IsLeaf()) {
        visit(*node, depth);
        return;
    }
    for (const OctreeRef& c : node->child) forLeaves(c, depth + 1, visit);
}

class OctreeTest : public PickTest {};

TEST_F(OctreeTest, RootBoxAndChildOctants) {
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, {Tri{Vec3{-2, 0, 1}, Vec3{6, 4, 1}, Vec3{6, 0, 9}}});
    CreateOctree(m, 0, 1);
    const OctreeRef& root = m->octree;
    ASSERT_TRUE(root);
    EXPECT_EQ(std::make_tuple(root->x, root->y, root->z), std::make_tuple(2.0f, 2.0f, 5.0f));
    EXPECT_EQ(std::make_tuple(root->w, root->h, root->d), std::make_tuple(8.0f, 4.0f, 8.0f));
    for (int i = 0; i < 8; ++i) {
        const OctreeRef& c = root->child[std::size_t(i)];
        ASSERT_TRUE(c);
        EXPECT_EQ(c->x, (i & 4) ? 4.0f : 0.0f) << "child " << i;
        EXPECT_EQ(c->y, (i & 2) ? 3.0f : 1.0f) << "child " << i;
        EXPECT_EQ(c->z, (i & 1) ? 7.0f : 3.0f) << "child " << i;
        EXPECT_EQ(std::make_tuple(c->w, c->h, c->d), std::make_tuple(4.0f, 2.0f, 4.0f));
        EXPECT_TRUE(c->IsLeaf());
    }
}

TEST_F(OctreeTest, SplittingRegardlessOfTrianglesFillsEveryLevel) {
    MeshRef m = CreateCube(nullptr);
    CreateOctree(m, 0, 2);
    int leaves = 0;
    forLeaves(m->octree, 1, [&](const TOctree&, int depth) {
        ++leaves;
        EXPECT_EQ(depth, 3);
    });
    EXPECT_EQ(leaves, 64);
}

TEST_F(OctreeTest, BothLimitsZeroIsFatal) {
    struct Fatal {
        int status;
        std::string message;
    };
    testseam::SetExitHook([](int status, std::string_view message) {
        throw Fatal{status, std::string(message)};
    });
    MeshRef m = CreateCube(nullptr);
    for (const auto& [polys, levels] : {std::pair{-3, 0}, {0, 0}, {0, -5}}) {
        try {
            CreateOctree(m, polys, levels);
            ADD_FAILURE() << polys << "/" << levels << " returned";
        } catch (const Fatal& f) {
            EXPECT_EQ(f.status, -1);
            EXPECT_EQ(f.message,
                      "Octree cannot be created - max_polys or max_levels must be greater than 0");
        }
    }
    testseam::SetExitHook(nullptr);
    EXPECT_EQ(m->octree, nullptr);
    CreateOctree(m, -3, 1); // a negative limit alone is taken as 0
    ASSERT_TRUE(m->octree);
    EXPECT_FALSE(m->octree->IsLeaf());
}

TEST_F(OctreeTest, SplitRuleCountsDistinctTriangleIndices) {
    std::vector<Tri> ten;
    for (int i = 0; i < 10; ++i) ten.push_back(facingTri(3.0f * float(i), 0, 0));
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, ten);
    CreateOctree(m, 10, 1);
    EXPECT_FALSE(m->octree->IsLeaf()) << "10 distinct triangles at max_polys 10";
    EXPECT_EQ(TOctree::no_polys_mesh, 10);
    CreateOctree(m, 11, 1);
    EXPECT_TRUE(m->octree->IsLeaf());
    EXPECT_EQ(m->octree->polys.size(), 10u);

    // Two surfaces with triangles 0..4 each: five indices, not ten.
    MeshRef two = CreateMesh(nullptr);
    addTriangles(two, {ten.begin(), ten.begin() + 5});
    addTriangles(two, {ten.begin() + 5, ten.end()});
    const PolygonList polys = TPolygon::MeshToPolygons(two);
    const TOctree node;
    EXPECT_EQ(node.TestTris(polys, 5), 1);
    EXPECT_EQ(node.TestTris(polys, 6), 0);
    EXPECT_EQ(node.TestTris(polys, 0), 1);
    EXPECT_EQ(node.TestTris({}, 0), 1);
    EXPECT_EQ(node.CountTris(polys, 100), 5);
    EXPECT_EQ(node.CountTris(polys, 3), 3);
    const PolygonList nine(polys.begin(), polys.begin() + 4);
    EXPECT_EQ(node.TestTris(nine, 5), 0);
}

TEST_F(OctreeTest, FlatMeshGoesToTheLowerYChildren) {
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, {Tri{Vec3{-1, 0, -1}, Vec3{-1, 0, 1}, Vec3{1, 0, 1}},
                     Tri{Vec3{-1, 0, -1}, Vec3{1, 0, 1}, Vec3{1, 0, -1}}});
    CreateOctree(m, 1, 1);
    const OctreeRef& root = m->octree;
    ASSERT_FALSE(root->IsLeaf());
    EXPECT_EQ(root->h, 0.0f);
    for (int i = 0; i < 8; ++i) {
        const bool upper = (i & 2) != 0;
        EXPECT_EQ(root->child[std::size_t(i)]->polys.empty(), upper) << "child " << i;
    }
    // A pick through the flat octree still finds the pieces, from above.
    EntityPickMode(m, POLYGONPICK, 0);
    EXPECT_EQ(LinePick(0.5f, 5, -0.25f, 0, -10, 0, 0), m);
    EXPECT_NEAR(PickedY(), 0.0f, 1e-5f);
}

// Twice the area of the triangle a, b, c.
float doubleArea(const TVector& a, const TVector& b, const TVector& c) {
    return b.Subtract(a).Cross(c.Subtract(a)).Length();
}

TEST_F(OctreeTest, LeavesHoldTaggedPiecesInsideTheirBoxesCoveringEachTriangle) {
    MeshRef m = CreateSphere(6, nullptr);
    addTriangles(m, {facingTri(0.2f, 0.1f, -0.5f)});
    const int before = TOctree::no_polys_octree;
    CreateOctree(m, 3, 3);
    EXPECT_EQ(TOctree::no_polys_mesh, m->CountTriangles());

    std::map<std::pair<const TSurface*, int>, float> area;
    int listed = 0;
    forLeaves(m->octree, 1, [&](const TOctree& leaf, int depth) {
        EXPECT_LE(depth, 4);
        listed += int(leaf.polys.size());
        const AABB box = leaf.Box();
        for (const PolygonRef& p : leaf.polys) {
            if (!p) continue;
            for (int i = 0; i < p->no_verts; ++i) {
                const TVector& v = p->GetVertex(i);
                const float c[3] = {v.x, v.y, v.z};
                for (int k = 0; k < 3; ++k) {
                    EXPECT_GE(c[k], box.min[k] - 2e-4f);
                    EXPECT_LE(c[k], box.max[k] + 2e-4f);
                }
            }
            if (p->no_verts == 3) {
                area[std::make_pair(p->surf.get(), p->tri)] +=
                    doubleArea(p->GetVertex(0), p->GetVertex(1), p->GetVertex(2));
            }
        }
    });
    EXPECT_EQ(TOctree::no_polys_octree - before, listed);

    // The pieces of each source triangle add up to it.
    int triangles = 0;
    for (int s = 1; s <= m->CountSurfaces(); ++s) {
        SurfaceRef surf = m->GetSurface(s);
        for (int t = 0; t < surf->CountTriangles(); ++t, ++triangles) {
            TVector c[3];
            for (int k = 0; k < 3; ++k) {
                const int v = surf->TriangleVertex(t, k);
                c[k] = TVector{surf->VertexX(v), surf->VertexY(v), surf->VertexZ(v)};
            }
            const float want = doubleArea(c[0], c[1], c[2]);
            const float got = area[std::make_pair(surf.get(), t)];
            EXPECT_NEAR(got, want, 1e-3f * (1 + want)) << "surface " << s << " triangle " << t;
        }
    }
    EXPECT_EQ(area.size(), std::size_t(triangles));
}

const Vec3 kFanHub{0.3f, 0.2f, 0.1f};

// Eight triangles around kFanHub, all sharing that corner.
MeshRef fanMesh() {
    std::vector<Tri> fan;
    for (int i = 0; i < 8; ++i) {
        const float a0 = 0.785398f * float(i), a1 = 0.785398f * float(i + 1);
        fan.push_back(Tri{kFanHub, Vec3{2 * std::cos(a0), 2 * std::sin(a0), 1},
                          Vec3{2 * std::cos(a1), 2 * std::sin(a1), -1}});
    }
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, fan);
    return m;
}

TEST_F(OctreeTest, DepthIsBoundedAroundASharedPoint) {
    // Eight triangles meet at one point: every node around it keeps them all, so without a
    // limit the build would go on toward 100000 levels.
    const Vec3 hub = kFanHub;
    MeshRef m = fanMesh();
    CreateOctree(m, 4, 0);
    int deepest = 0, leaves = 0;
    forLeaves(m->octree, 1, [&](const TOctree&, int depth) {
        deepest = std::max(deepest, depth);
        ++leaves;
    });
    EXPECT_EQ(deepest, TOctree::kMaxLevels + 1);
    EXPECT_LT(leaves, 100000);
    EntityPickMode(m, POLYGONPICK, 0);
    EXPECT_EQ(LinePick(hub[0] + 0.01f, hub[1], -5, 0, 0, 10, 0) != nullptr ||
                  LinePick(hub[0] + 0.01f, hub[1], 5, 0, 0, -10, 0) != nullptr,
              true)
        << "the deep tree still answers picks";
}

int countNodes(const OctreeRef& node) {
    if (!node) return 0;
    int n = 1;
    for (const OctreeRef& c : node->child) n += countNodes(c);
    return n;
}

TEST_F(OctreeTest, NodeCountIsBoundedWithoutALevelLimit) {
    // max_polys 1 without a level limit splits every node that holds anything: the build stops
    // at the node allowance and still picks right.
    for (const auto& [max_polys, max_levels] : {std::pair{1, 0}}) {
        const std::string what = std::to_string(max_polys) + "/" + std::to_string(max_levels);
        TEntity::entity_list = CreateList<EntityRef>();
        MeshRef m = CreateCube(nullptr);
        EntityPickMode(m, POLYGONPICK, 0);
        std::vector<PickRecord> plain;
        const float aims[4][2] = {{0.1f, 0.2f}, {-0.7f, 0.55f}, {0.93f, -0.31f}, {-0.2f, -0.9f}};
        for (const auto& a : aims) {
            LinePick(a[0], a[1], -5, 0, 0, 10, 0);
            plain.push_back({PickedEntity(), PickedSurface(), PickedTriangle(), PickedZ()});
        }
        CreateOctree(m, max_polys, max_levels);
        EXPECT_LE(countNodes(m->octree), TOctree::kMaxNodes) << what;
        EXPECT_GT(countNodes(m->octree), TOctree::kMaxNodes - 8) << what;
        for (std::size_t k = 0; k < 4; ++k) {
            LinePick(aims[k][0], aims[k][1], -5, 0, 0, 10, 0);
            EXPECT_EQ(PickedEntity(), m) << what;
            EXPECT_EQ(PickedTriangle(), plain[k].tri) << what;
            EXPECT_NEAR(PickedZ(), plain[k].z, 1e-5f) << what;
        }
    }
}

TEST_F(OctreeTest, ExplicitLimitsAreHonouredOrRefused) {
    // A cube split regardless down to 6 levels: 8^6 leaves, every one of them built.
    MeshRef m = CreateCube(nullptr);
    CreateOctree(m, 0, 6);
    ASSERT_TRUE(m->octree);
    int leaves = 0, deepest = 0;
    forLeaves(m->octree, 0, [&](const TOctree&, int depth) {
        ++leaves;
        deepest = std::max(deepest, depth);
    });
    EXPECT_EQ(leaves, 262144);
    EXPECT_EQ(deepest, 6);
    // Seven levels would take 2,396,745 nodes, more than a build may make: refused, and the
    // mesh keeps the tree it had.
    const OctreeRef before = m->octree;
    CreateOctree(m, 0, 7);
    EXPECT_EQ(m->octree, before);
    // A split limit with a deep explicit level limit around a shared point: honoured as far as
    // float resolution can cut the boxes, so the build ends and the tree answers picks.
    const Vec3 hub = kFanHub;
    MeshRef f = fanMesh();
    CreateOctree(f, 4, 100000);
    ASSERT_TRUE(f->octree);
    deepest = 0;
    forLeaves(f->octree, 0, [&](const TOctree&, int depth) { deepest = std::max(deepest, depth); });
    EXPECT_GT(deepest, TOctree::kMaxLevels) << "an explicit limit is not cut to the default";
    EXPECT_LT(deepest, 400);
    EntityPickMode(f, 2, 0);
    EXPECT_TRUE(LinePick(hub[0] + 0.01f, hub[1], -5, 0, 0, 10, 0) != nullptr ||
                LinePick(hub[0] + 0.01f, hub[1], 5, 0, 0, -10, 0) != nullptr);
}

TEST_F(OctreeTest, FloorGridPicksHitAsOftenThroughTheOctree) {
    // A 16 x 16 grid of quads of side 0.37 at y = 0 facing up, so the split planes fall on
    // values rounding makes uneven. Vertical picks exactly on every split plane (and a float
    // step either side) hit the floor through the octree as often as without: children share
    // their parent's split planes, so no pick falls into a gap between boxes.
    MeshRef m = CreateMesh(nullptr);
    std::vector<Tri> tris;
    const float side = 0.37f, origin = -2.913f;
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) {
            const float x = origin + side * float(i), z = origin + side * float(j);
            const float x1 = origin + side * float(i + 1), z1 = origin + side * float(j + 1);
            tris.push_back(Tri{Vec3{x, 0, z}, Vec3{x, 0, z1}, Vec3{x1, 0, z1}});
            tris.push_back(Tri{Vec3{x, 0, z}, Vec3{x1, 0, z1}, Vec3{x1, 0, z}});
        }
    }
    addTriangles(m, tris);
    EntityPickMode(m, 2, 0);
    CreateOctree(m, 2, 5);
    // The split planes along x (the same values as along z) of every split node, and points between
    // them along z.
    std::vector<float> planes;
    std::function<void(const OctreeRef&)> gather = [&](const OctreeRef& node) {
        if (!node || node->IsLeaf()) return;
        for (float x : {std::nextafter(node->x, -1e9f), node->x, std::nextafter(node->x, 1e9f)})
            planes.push_back(x);
        for (const OctreeRef& c : node->child) gather(c);
    };
    gather(m->octree);
    std::sort(planes.begin(), planes.end());
    planes.erase(std::unique(planes.begin(), planes.end()), planes.end());
    ASSERT_GT(planes.size(), 30u);
    std::vector<float> across;
    for (int k = 0; k < 23; ++k) across.push_back(origin + 0.1f + 0.2537f * float(k));
    int hits[2] = {0, 0};
    for (int with_octree = 1; with_octree >= 0; --with_octree) {
        if (!with_octree) m->octree = nullptr;
        for (float x : planes) {
            for (float z : across) {
                if (LinePick(x, 5, z, 0, -10, 0, 0) == m) ++hits[with_octree];
                // The same along z: picks on the z planes.
                if (LinePick(z, 5, x, 0, -10, 0, 0) == m) ++hits[with_octree];
            }
        }
    }
    EXPECT_GT(hits[0], int(planes.size() * across.size() * 2) * 95 / 100);
    EXPECT_EQ(hits[1], hits[0]);
}

TEST_F(OctreeTest, RebuildReplacesAndCopiesShare) {
    MeshRef m = CreateCube(nullptr);
    CreateOctree(m, 4, 2);
    std::weak_ptr<TOctree> old = m->octree;
    EntityRef copy = CopyEntity(m, nullptr);
    EXPECT_EQ(std::static_pointer_cast<TMesh>(copy)->octree, m->octree);
    CreateOctree(m, 4, 2);
    EXPECT_NE(m->octree, old.lock());
    FreeEntity(copy);
    copy.reset();
    EXPECT_TRUE(old.expired()) << "the old tree goes with its last holder";
}

TEST_F(OctreeTest, CollisionWalkVisitsTheLeavesTheBoxMeets) {
    MeshRef m = CreateCube(nullptr); // -1..1 on every axis: eight unit leaves
    CreateOctree(m, 0, 1);
    const OctreeRef& root = m->octree;
    auto box = [](float x0, float y0, float z0, float x1, float y1, float z1) {
        AABB b;
        b.min[0] = x0, b.min[1] = y0, b.min[2] = z0;
        b.max[0] = x1, b.max[1] = y1, b.max[2] = z1;
        return b;
    };
    struct Case {
        const char* what;
        AABB box;
        std::vector<int> children;
    };
    const std::vector<Case> cases = {
        {"inside octant 7", box(0.2f, 0.2f, 0.2f, 0.8f, 0.8f, 0.8f), {7}},
        {"touching x = 0 from above", box(0, 0.2f, 0.2f, 0.5f, 0.4f, 0.4f), {3, 7}},
        {"across the centre", box(-0.1f, -0.1f, -0.1f, 0.1f, 0.1f, 0.1f), {0, 1, 2, 3, 4, 5, 6, 7}},
        {"outside the root", box(3, 3, 3, 4, 4, 4), {}},
    };
    for (const Case& k : cases) {
        std::vector<const PolygonList*> seen;
        int expected_active = 0;
        for (int i : k.children) expected_active += int(root->child[std::size_t(i)]->polys.size());
        TOctree::no_polys_active = 0;
        root->OctCollision(k.box, [&](const PolygonList& polys) { seen.push_back(&polys); });
        std::vector<const PolygonList*> want;
        for (int i : k.children) want.push_back(&root->child[std::size_t(i)]->polys);
        EXPECT_EQ(seen, want) << k.what;
        EXPECT_EQ(TOctree::no_polys_active, expected_active) << k.what;
    }
}

TEST_F(OctreeTest, OctPickSkipsBoxesTheSegmentDoesNotReach) {
    MeshRef m = CreateMesh(nullptr);
    addTriangles(m, {facingTri(0, 0, 0), facingTri(0, 0, 10)});
    CreateOctree(m, 1, 1);
    float best = 1.0f, box_t = 1.0f;
    m->octree->OctPick({-0.5f, -0.5f, -5}, {-0.5f, -0.5f, -1}, m, best, box_t);
    EXPECT_EQ(best, 1.0f) << "ends before the first triangle";
    EXPECT_EQ(box_t, 1.0f);
    // From inside the root box and the leaf (entered at 0) to the far triangle; box_t follows
    // the best hit.
    m->octree->OctPick({-0.5f, -0.5f, 6}, {-0.5f, -0.5f, 26}, m, best, box_t);
    EXPECT_NEAR(best, 0.2f, 1e-6f);
    EXPECT_EQ(box_t, best);
    EXPECT_EQ(PickedEntity(), m);
    EXPECT_NEAR(PickedZ(), 10.0f, 1e-5f);
    // From outside: the root box is entered at 0.025, the near triangle hit there.
    best = box_t = 1.0f;
    m->octree->OctPick({-0.5f, -0.5f, -0.5f}, {-0.5f, -0.5f, 19.5f}, m, best, box_t);
    EXPECT_NEAR(best, 0.025f, 1e-6f);
    EXPECT_EQ(box_t, best);
    EXPECT_NEAR(PickedZ(), 0.0f, 1e-5f);
    // A box entered only after the best hit so far is not examined: the near triangle at
    // t = 0.3 is skipped when a hit at 0.25 is already known.
    TPick::picked_ent.reset();
    float known = 0.25f, cut = 1.0f;
    m->octree->OctPick({-0.5f, -0.5f, -3}, {-0.5f, -0.5f, 7}, m, known, cut);
    EXPECT_EQ(known, 0.25f);
    EXPECT_EQ(PickedEntity(), nullptr);
}

TEST_F(OctreeTest, HighlightColoursTheSourceTrianglesOfANode) {
    MeshRef m = CreateMesh(nullptr);
    SurfaceRef s = addTriangles(m, {facingTri(0, 0, 0), facingTri(10, 0, 0)});
    CreateOctree(m, 1, 1);
    // The first triangle lies in the lower-x half: the leaves 0..3 hold its pieces only.
    for (int i = 0; i < 4; ++i) m->octree->child[std::size_t(i)]->HighlightTris();
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(s->VertexRed(v), 255.0f);
        EXPECT_EQ(s->VertexGreen(v), 0.0f);
        EXPECT_EQ(s->VertexBlue(v), 0.0f);
        EXPECT_EQ(s->VertexAlpha(v), 1.0f);
    }
    for (int v = 3; v < 6; ++v) EXPECT_EQ(s->VertexGreen(v), 255.0f) << "untouched";
}

} // namespace
