// The render pipeline's parts that need no display: the ordering of the render list, distance
// fading, and the drawing calls without a display.
#include "engine/commands.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "engine/render_order.h"

#include "view_fixture.h"

#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string name;
    int order;
    float alpha_order; // 0 opaque, else the squared camera distance
};

struct Scenario {
    const char* what;
    std::vector<Entry> added; // in the order RenderListAdd sees them
    std::string drawn;
};

class RenderListTest : public SceneTest {};

TEST_F(RenderListTest, InsertionFollowsOrderOpacityAndDistance) {
    const Scenario scenarios[] = {
        {"opaque meshes: newest first", {{"P", 0, 0}, {"Q", 0, 0}, {"R", 0, 0}}, "R Q P"},
        {"orders",
         {{"2", 2, 0}, {"5", 5, 0}, {"0", 0, 0}, {"-1", -1, 0}, {"-3", -3, 0}},
         "5 2 0 -1 -3"},
        {"orders added the other way round",
         {{"-3", -3, 0}, {"-1", -1, 0}, {"0", 0, 0}, {"5", 5, 0}, {"2", 2, 0}},
         "5 2 0 -1 -3"},
        {"translucent far to near", {{"near", 0, 25}, {"far", 0, 100}}, "far near"},
        {"translucent at equal distances: first added first", {{"a", 0, 50}, {"b", 0, 50}}, "a b"},
        {"opaque before translucent before negative orders",
         {{"neg", -1, 0}, {"glass", 0, 30}, {"wall", 0, 0}},
         "wall glass neg"},
        {"equal positive orders: later first, equal negative: earlier first",
         {{"p1", 1, 0}, {"p2", 1, 0}, {"n1", -2, 0}, {"n2", -2, 0}},
         "p2 p1 n1 n2"},
        {"translucent beyond a nearer translucent of positive order goes before it",
         {{"ordered", 1, 10}, {"far", 0, 50}},
         "far ordered"},
        {"translucent stops at an opaque entry of positive order",
         {{"ordered", 1, 0}, {"far", 0, 50}},
         "ordered far"},
    };
    for (const Scenario& sc : scenarios) {
        TList<MeshRef> list;
        for (const Entry& e : sc.added) {
            MeshRef m = CreateMesh(nullptr);
            m->name = e.name;
            m->order = e.order;
            m->alpha_order = e.alpha_order;
            TGlobal::RenderListAdd(m, list);
        }
        std::string drawn;
        for (const MeshRef& m : list) drawn += (drawn.empty() ? "" : " ") + m->name;
        EXPECT_EQ(drawn, sc.drawn) << sc.what;
    }
    TList<MeshRef> list;
    TGlobal::RenderListAdd(nullptr, list);
    EXPECT_EQ(list.Count(), 0);
}

// The camera pass orders its meshes without building the list; the order must be the list's
// for every mix of orders, opacity and distances, ties included (few distinct values make many).
TEST_F(RenderListTest, PassOrderIsTheListOrder) {
    std::mt19937 random(7);
    const int orders[] = {-2, -1, 0, 0, 0, 1, 2};
    const float distances[] = {0, 0, 10, 20, 30};
    for (int scene = 0; scene < 400; ++scene) {
        const bool translucent_ordered = scene % 4 == 3; // allowed a translucent positive order
        std::vector<MeshRef> meshes;
        std::vector<TMesh*> raw;
        TList<MeshRef> list;
        const int count = 1 + int(random() % 14);
        for (int i = 0; i < count; ++i) {
            MeshRef m = CreateMesh(nullptr);
            m->name = std::to_string(i);
            m->order = orders[random() % std::size(orders)];
            m->alpha_order = distances[random() % std::size(distances)];
            if (m->order > 0 && !translucent_ordered) m->alpha_order = 0;
            TGlobal::RenderListAdd(m, list);
            meshes.push_back(m);
            raw.push_back(m.get());
        }
        std::string expected, got;
        for (const MeshRef& m : list) expected += m->name + " ";
        for (const TMesh* m : RenderListOrder(raw)) got += m->name + " ";
        ASSERT_EQ(got, expected) << "scene " << scene;
    }
}

class AutoFadeTest : public ViewTest {};

TEST_F(AutoFadeTest, FadeRisesLinearlyBetweenNearAndFar) {
    CameraRef cam = CreateCamera(nullptr);
    PivotRef p = CreatePivot(nullptr);
    struct Case {
        float near_d, far_d, distance, fade;
    } cases[] = {
        {10, 20, 5, 0}, {10, 20, 10, 0}, {10, 20, 15, 0.5f}, {10, 20, 20, 1}, {10, 20, 30, 1},
        {10, 10, 5, 0}, {10, 10, 10, 0}, {10, 10, 12, 1},    {10, 5, 7, 0},   {10, 5, 10.5f, 1},
    };
    for (const Case& c : cases) {
        p->fade_near = c.near_d;
        p->fade_far = c.far_d;
        PositionEntity(p, 0, c.distance * 0.6f, c.distance * 0.8f, 0);
        p->fade_alpha = -1;
        TGlobal::AutoFade(cam, p);
        EXPECT_NEAR(p->fade_alpha, c.fade, 1e-5f)
            << c.near_d << ".." << c.far_d << " at " << c.distance;
    }
    TGlobal::AutoFade(nullptr, p);
    TGlobal::AutoFade(cam, nullptr);
}

TEST_F(AutoFadeTest, DrawingWithoutADisplayDoesNothing) {
    CameraRef cam = CreateCamera(nullptr);
    MeshRef m = CreateCube(nullptr);
    EntityAutoFade(m, 1, 2);
    PositionEntity(m, 0, 0, 10, 0);
    RenderWorld();
    TGlobal::RenderWorldAA();
    EXPECT_EQ(m->Update(), 0);
    EXPECT_EQ(m->fade_alpha, 0.0f) << "no pass ran";
    EXPECT_EQ(TGlobal::RenderCamera(nullptr), 0);
}

} // namespace
