// Scene graph: the ordered entity list, parents and children, names, visibility, freeing,
// re-parenting and copying.
#include "entity_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using GraphTest = SceneTest;

// ---- Entity list order ----

struct OrderCase {
    std::string what;
    std::vector<int> orders;   // inserted in this order
    std::vector<int> expected; // resulting list, as indices into orders
};

TEST_F(GraphTest, EntityListAddPlacesByOrderFromOppositeEnds) {
    const std::vector<OrderCase> cases = {
        {"2, 0, -1 in turn", {2, 0, -1}, {0, 1, 2}},
        {"a second 2 goes before the first", {2, 0, -1, 2}, {3, 0, 1, 2}},
        {"a second 0 goes after the first 0, before -1", {2, 0, -1, 0}, {0, 1, 3, 2}},
        {"a second -1 goes after the first -1", {2, 0, -1, -1}, {0, 1, 2, 3}},
        {"0 after -1 goes to the head", {-1, 0}, {1, 0}},
        {"a smaller positive order goes to the tail", {3, 1}, {0, 1}},
        {"mixed", {0, 5, 3, 5, -2, -5, -2}, {3, 1, 2, 0, 4, 6, 5}},
    };
    for (const OrderCase& c : cases) {
        auto list = CreateList<EntityRef>();
        std::vector<EntityRef> made;
        for (int order : c.orders) {
            EntityRef e = CreatePivot(nullptr);
            e->order = order;
            e->EntityListAdd(list);
            made.push_back(e);
        }
        std::vector<EntityRef> expected;
        for (int i : c.expected) expected.push_back(made[std::size_t(i)]);
        EXPECT_EQ(list->ToVector(), expected) << c.what;
    }
}

TEST_F(GraphTest, EntityLinkIsKeptOnlyForTheEntityList) {
    EntityRef e = CreatePivot(nullptr);
    ASSERT_TRUE(e->entity_link.lock());
    EXPECT_EQ(e->entity_link.lock()->List(), TEntity::entity_list.get());

    auto other = CreateList<EntityRef>();
    e->EntityListAdd(other);
    EXPECT_EQ(e->entity_link.lock()->List(), TEntity::entity_list.get());
    EXPECT_TRUE(other->Contains(e));

    e->EntityListAdd(nullptr); // no list: nothing happens
    EXPECT_EQ(TEntity::entity_list->Count(), 1);
}

TEST_F(GraphTest, CreatorsAppendAmongOrderZeroAndLaterOrderChangesDoNotMove) {
    EntityRef a = CreatePivot(nullptr);
    EntityRef b = CreatePivot(nullptr);
    b->order = -1; // after creation: b keeps its place
    EntityRef c = CreatePivot(nullptr);
    EXPECT_EQ(listed(), (std::vector<EntityRef>{a, c, b}));
    a->order = 4;
    EntityRef d = CreatePivot(nullptr);
    EXPECT_EQ(listed(), (std::vector<EntityRef>{a, c, d, b}));
}

TEST_F(GraphTest, CreatePivotPlacesItUnderItsParent) {
    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 1, 2, 3, 0);
    RotateEntity(p, 10, 20, 30, 0);
    EntityRef c = CreatePivot(p);
    EXPECT_EQ(EntityClass(c), "Pivot");
    EXPECT_EQ(GetParent(c), p);
    EXPECT_EQ(GetChild(p, 1), c);
    expectMatrixNear(c->mat, p->mat, 0.0f, "new child stands at the parent's origin");
    EXPECT_EQ(c->px, 0.0f);
    EXPECT_EQ(c->sx, 1.0f);

    EntityRef root = CreatePivot(nullptr);
    expectMatrixNear(root->mat, identityMatrix(), 0.0f, "new root");
    EXPECT_EQ(GetParent(root), nullptr);
}

TEST_F(GraphTest, NewEntityHasTheDataModelDefaults) {
    EntityRef e = CreatePivot(nullptr);
    EXPECT_EQ(e->hide, 0);
    EXPECT_EQ(e->order, 0);
    EXPECT_EQ(e->anim_dir, 1);
    EXPECT_EQ(e->anim_seqs_first, std::vector<int>{0});
    EXPECT_EQ(e->anim_seqs_last, std::vector<int>{0});
    EXPECT_TRUE(e->collision.empty());
    EXPECT_EQ(e->name, "");
    ASSERT_TRUE(e->brush);
    EXPECT_EQ(e->brush->red, 1.0f);
    EXPECT_EQ(e->brush->no_texs, 0);
    EXPECT_EQ(e->Update(), 0);
}

// ---- Children, names, visibility ----

struct Tree {
    EntityRef root, a, a1, b;
};

Tree makeTree() {
    Tree t;
    t.root = CreatePivot(nullptr);
    t.a = CreatePivot(t.root);
    t.a1 = CreatePivot(t.a);
    t.b = CreatePivot(t.root);
    NameEntity(t.a, "A");
    NameEntity(t.a1, "A1");
    NameEntity(t.b, "B");
    return t;
}

TEST_F(GraphTest, ChildIndexingCountsFromOne) {
    Tree t = makeTree();
    EXPECT_EQ(CountChildren(t.root), 2);
    EXPECT_EQ(GetChild(t.root, 0), nullptr);
    EXPECT_EQ(GetChild(t.root, 1), t.a);
    EXPECT_EQ(GetChild(t.root, 2), t.b);
    EXPECT_EQ(GetChild(t.root, 3), nullptr);
    EXPECT_EQ(GetChild(t.root, -1), nullptr);
}

TEST_F(GraphTest, AllChildrenAreNumberedDepthFirst) {
    Tree t = makeTree();
    const std::vector<std::pair<int, EntityRef>> cases = {
        {0, nullptr}, {1, t.a}, {2, t.a1}, {3, t.b}, {4, nullptr}};
    for (const auto& [n, expected] : cases) {
        int count = 0;
        EXPECT_EQ(t.root->GetChildFromAll(n, count), expected) << "n = " << n;
    }
    int count = 0;
    EXPECT_EQ(t.root->GetChildFromAll(1, count, t.a), t.a1) << "search below a given entity";
    EXPECT_EQ(TEntity::CountAllChildren(t.root, 0), 3);
    EXPECT_EQ(TEntity::CountAllChildren(t.root, 5), 8);
    EXPECT_EQ(TEntity::CountAllChildren(t.a1, 0), 0);
    EXPECT_EQ(TEntity::CountAllChildren(nullptr, 2), 2);
}

TEST_F(GraphTest, FindChildSearchesDepthFirstAndExactly) {
    Tree t = makeTree();
    NameEntity(t.b, "A1"); // a later sibling of A with the same name
    EXPECT_EQ(FindChild(t.root, "A1"), t.a1);
    EXPECT_EQ(FindChild(t.root, "A"), t.a);
    EXPECT_EQ(FindChild(t.root, "a1"), nullptr) << "case-sensitive";
    EXPECT_EQ(FindChild(t.a1, "A1"), nullptr) << "the entity itself is not compared";
    EXPECT_EQ(FindChild(t.root, "none"), nullptr);
    EXPECT_EQ(EntityName(t.a), "A");
}

TEST_F(GraphTest, HidingAParentHidesItsDescendants) {
    Tree t = makeTree();
    HideEntity(t.root);
    EXPECT_EQ(t.root->EntityHidden(), 1);
    EXPECT_EQ(t.a1->EntityHidden(), 1);
    EXPECT_EQ(t.a1->hide, 0);
    ShowEntity(t.root);
    EXPECT_EQ(t.a1->EntityHidden(), 0);
    HideEntity(t.a);
    EXPECT_EQ(t.a1->EntityHidden(), 1);
    EXPECT_EQ(t.b->EntityHidden(), 0);
    EXPECT_EQ(t.root->EntityHidden(), 0);
}

// ---- Freeing ----

TEST_F(GraphTest, FreeEntityFreesTheWholeSubtree) {
    Tree t = makeTree();
    EntityRef other = CreatePivot(nullptr);
    FreeEntity(t.a);
    EXPECT_FALSE(inList(t.a));
    EXPECT_FALSE(inList(t.a1));
    EXPECT_EQ(CountChildren(t.root), 1);
    EXPECT_EQ(GetChild(t.root, 1), t.b);
    EXPECT_EQ(GetParent(t.a), nullptr);
    EXPECT_EQ(GetParent(t.a1), nullptr);
    EXPECT_EQ(CountChildren(t.a), 0);
    EXPECT_EQ(t.a->brush, nullptr);
    EXPECT_EQ(t.a->entity_link.lock(), nullptr);

    FreeEntity(t.root);
    EXPECT_EQ(listed(), std::vector<EntityRef>{other});
    FreeEntity(t.root); // a second free changes nothing
    EXPECT_EQ(listed(), std::vector<EntityRef>{other});
}

TEST_F(GraphTest, FreeEntityLeavesBonesAndWhatIsBelowThem) {
    EntityRef p = CreatePivot(nullptr);
    EntityRef bone = FakeBone::Create(p);
    EntityRef below = CreatePivot(bone);
    EntityRef sibling = CreatePivot(p);
    FreeEntity(p);
    EXPECT_FALSE(inList(p));
    EXPECT_FALSE(inList(sibling));
    EXPECT_TRUE(inList(bone));
    EXPECT_TRUE(inList(below));
    // Still the freed pivot's child (to the commands a freed entity has none).
    EXPECT_EQ(p->CountChildren(), 1);
    EXPECT_EQ(p->GetChild(1), bone);
}

TEST_F(GraphTest, FreedEntityDropsOutWhenNoHandleIsLeft) {
    std::weak_ptr<TEntity> gone;
    {
        EntityRef p = CreatePivot(nullptr);
        CreatePivot(p);
        gone = GetChild(p, 1);
        FreeEntity(p);
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(TEntity::entity_list->Count(), 0);
}

TEST_F(GraphTest, LiveEntitiesGoWithTheirListWhenNothingElseHoldsThem) {
    std::weak_ptr<TEntity> root, child;
    {
        EntityRef p = CreatePivot(nullptr);
        root = p;
        child = CreatePivot(p);
    }
    EXPECT_FALSE(root.expired()) << "the list keeps them";
    TEntity::entity_list = CreateList<EntityRef>();
    EXPECT_TRUE(root.expired());
    EXPECT_TRUE(child.expired());
}

// ---- Re-parenting ----

TEST_F(GraphTest, EntityParentToTopLevelKeepsTheWorldPlacement) {
    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 5, -2, 7, 0);
    RotateEntity(p, 20, 70, -15, 0);
    ScaleEntity(p, 2, 2, 2, 0);
    EntityRef e = CreatePivot(p);
    PositionEntity(e, 1, 2, 3, 0);
    RotateEntity(e, 10, -30, 5, 0);
    EntityRef c = CreatePivot(e);
    PositionEntity(c, 0, 0, 4, 0);
    const TMatrix before = e->mat;
    const TMatrix child_before = c->mat;

    EntityParent(e, nullptr, 0);
    EXPECT_EQ(GetParent(e), nullptr);
    EXPECT_EQ(CountChildren(p), 0);
    expectMatrixNear(e->mat, before, 2e-5f, "entity");
    expectMatrixNear(c->mat, child_before, 2e-5f, "child");
    EXPECT_NEAR(EntityX(e, 0), before.grid[3][0], 1e-5f);
    EXPECT_NEAR(EntityZ(e, 0), -before.grid[3][2], 1e-5f);
    EXPECT_NEAR(e->sx, 2.0f, 1e-6f);
}

TEST_F(GraphTest, EntityParentWithLocalOrWorldPlacement) {
    struct Case {
        int global;
        float world_x; // where e ends up
        float local_x;
    };
    // 1 keeps the world placement; 0 and every other value keep the local one.
    for (const Case& c : {Case{0, 11.0f, 1.0f}, Case{1, 1.0f, -9.0f}, Case{2, 11.0f, 1.0f},
                          Case{-1, 11.0f, 1.0f}}) {
        EntityRef p = CreatePivot(nullptr);
        PositionEntity(p, 10, 0, 0, 0);
        EntityRef e = CreatePivot(nullptr);
        PositionEntity(e, 1, 0, 0, 0);
        EntityParent(e, p, c.global);
        EXPECT_EQ(GetParent(e), p);
        EXPECT_EQ(GetChild(p, 1), e);
        EXPECT_NEAR(EntityX(e, 1), c.world_x, 1e-5f) << "global " << c.global;
        EXPECT_NEAR(EntityX(e, 0), c.local_x, 1e-5f) << "global " << c.global;
        EXPECT_NEAR(EntityY(e, 1), 0.0f, 1e-5f);
        EXPECT_NEAR(EntityZ(e, 1), 0.0f, 1e-5f);
    }
}

TEST_F(GraphTest, EntityParentRefreshesTheDescendantsMatrices) {
    for (int global : {0, 1}) {
        EntityRef p = CreatePivot(nullptr);
        PositionEntity(p, 10, 0, 0, 0);
        RotateEntity(p, 0, 90, 0, 0);
        EntityRef e = CreatePivot(nullptr);
        PositionEntity(e, 1, 0, 0, 0);
        EntityRef c = CreatePivot(e);
        PositionEntity(c, 0, 0, 5, 0);
        EntityRef g = CreatePivot(c);
        PositionEntity(g, 0, 2, 0, 0);

        EntityParent(e, p, global);
        const TMatrix expected_c = composeLocal(e->mat, 0, 0, 5, 0, 0, 0, 1, 1, 1);
        expectMatrixNear(c->mat, expected_c, 1e-5f, "child, global " + std::to_string(global));
        TMatrix expected_g = composeLocal(expected_c, 0, 2, 0, 0, 0, 0, 1, 1, 1);
        expectMatrixNear(g->mat, expected_g, 1e-5f, "grandchild");
    }
    // Under the rotated parent with global 0, the child's z offset turns onto world +x.
    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 10, 0, 0, 0);
    RotateEntity(p, 0, 90, 0, 0);
    EntityRef e = CreatePivot(nullptr);
    EntityRef c = CreatePivot(e);
    PositionEntity(c, 0, 0, 5, 0);
    EntityParent(e, p, 0);
    EXPECT_NEAR(EntityX(c, 1), 5.0f, 1e-5f);
    EXPECT_NEAR(EntityZ(c, 1), 0.0f, 1e-5f);
}

TEST_F(GraphTest, EntityParentRefusesCycles) {
    Tree t = makeTree();
    PositionEntity(t.a, 3, 0, 0, 0);
    const TMatrix a_before = t.a->mat;
    for (int global : {0, 1}) {
        for (const EntityRef& target : {t.a, t.a1}) {
            EntityParent(t.a, target, global);
            EXPECT_EQ(GetParent(t.a), t.root);
            EXPECT_EQ(CountChildren(t.root), 2);
            EXPECT_EQ(CountChildren(t.a), 1);
            EXPECT_EQ(GetParent(t.a1), t.a);
            expectMatrixNear(t.a->mat, a_before, 0.0f, "unchanged");
        }
    }
    EntityParent(t.root, t.a1, 0);
    EXPECT_EQ(GetParent(t.root), nullptr);
    // AddParent refuses a cycle as well.
    t.root->AddParent(t.b);
    EXPECT_EQ(GetParent(t.root), nullptr);
    EXPECT_EQ(CountChildren(t.b), 0);
}

// ---- Copying ----

TEST_F(GraphTest, CopyOfAHiddenPivotIsShownWithItsChildCopied) {
    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 4, 0, 0, 0);
    HideEntity(p);
    NameEntity(p, "p");
    EntityRef c = CreatePivot(p);
    PositionEntity(c, 1, 2, 3, 0);
    NameEntity(c, "c");

    EntityRef copy = CopyEntity(p, nullptr);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(std::dynamic_pointer_cast<TPivot>(copy));
    EXPECT_EQ(EntityClass(copy), "Pivot");
    EXPECT_EQ(EntityName(copy), "p");
    EXPECT_EQ(copy->hide, 0);
    EXPECT_EQ(p->hide, 1);
    ASSERT_EQ(CountChildren(copy), 1);
    EntityRef cc = GetChild(copy, 1);
    EXPECT_NE(cc, c);
    EXPECT_EQ(GetParent(cc), copy);
    EXPECT_EQ(EntityName(cc), "c");
    EXPECT_EQ(EntityX(cc, 0), 1.0f);
    EXPECT_EQ(EntityY(cc, 0), 2.0f);
    EXPECT_EQ(EntityZ(cc, 0), 3.0f);
    EXPECT_EQ(CountChildren(p), 1) << "the source keeps its own child";
    // Children are copied first, so their copies stand before the copy in the list.
    EXPECT_EQ(listed(), (std::vector<EntityRef>{p, c, cc, copy}));
}

TEST_F(GraphTest, CopiedDescendantsCarryCorrectMatricesAtOnce) {
    EntityRef parent = CreatePivot(nullptr);
    PositionEntity(parent, 0, 5, 0, 0);
    RotateEntity(parent, 0, 45, 0, 0);
    EntityRef p = CreatePivot(nullptr);
    PositionEntity(p, 4, 0, 0, 0);
    RotateEntity(p, 0, 90, 0, 0);
    ScaleEntity(p, 2, 2, 2, 0);
    EntityRef c = CreatePivot(p);
    PositionEntity(c, 0, 0, 1, 0);
    RotateEntity(c, 30, 0, 0, 0);
    EntityRef g = CreatePivot(c);
    PositionEntity(g, 0, 1, 0, 0);
    FakeBone::Create(c); // bones below are left to the animation

    for (const EntityRef& under : {EntityRef(), parent}) {
        EntityRef copy = CopyEntity(p, under);
        // The copy itself: the new parent's matrix (identity at the top) x the source's.
        TMatrix expected = under ? under->mat : identityMatrix();
        expected.Multiply(p->mat);
        expectMatrixNear(copy->mat, expected, 1e-5f, "copy");
        EntityRef cc = GetChild(copy, 1);
        EntityRef gc = GetChild(cc, 1);
        const TMatrix expected_c = composeLocal(copy->mat, 0, 0, 1, 30, 0, 0, 1, 1, 1);
        expectMatrixNear(cc->mat, expected_c, 1e-5f, "copied child");
        expectMatrixNear(gc->mat, composeLocal(expected_c, 0, 1, 0, 0, 0, 0, 1, 1, 1), 1e-5f,
                         "copied grandchild");
        if (!under) expectMatrixNear(gc->mat, g->mat, 1e-5f, "copy at the top stays in place");
    }
}

TEST_F(GraphTest, CopyTakesThePlacementSettingsAndANewBrush) {
    EntityRef p = CreatePivot(nullptr);
    p->order = 3;
    p->qw = 0.5f;
    p->cull_radius = -2.0f;
    p->radius_x = 1.5f;
    p->box_d = 4.0f;
    p->pick_mode = 2;
    p->obscurer = 1;
    p->auto_fade = 1;
    p->fade_far = 9.0f;
    p->collision_type = 7;
    p->anim_mode = 1;
    p->brush->red = 0.25f;
    EntityRef last = CreatePivot(nullptr);

    EntityRef copy = CopyEntity(p, nullptr);
    EXPECT_EQ(copy->order, 3);
    EXPECT_EQ(copy->qw, 0.5f);
    EXPECT_EQ(copy->cull_radius, -2.0f);
    EXPECT_EQ(copy->radius_x, 1.5f);
    EXPECT_EQ(copy->box_d, 4.0f);
    EXPECT_EQ(copy->pick_mode, 2);
    EXPECT_EQ(copy->obscurer, 1);
    EXPECT_EQ(copy->auto_fade, 0);
    EXPECT_EQ(copy->fade_far, 0.0f);
    EXPECT_EQ(copy->collision_type, 0);
    EXPECT_EQ(copy->anim_mode, 0);
    ASSERT_TRUE(copy->brush);
    EXPECT_NE(copy->brush, p->brush);
    EXPECT_EQ(copy->brush->red, 1.0f);
    // Inserted while its order was still 0: after the order-0 entities, not first.
    EXPECT_EQ(listed(), (std::vector<EntityRef>{p, last, copy}));
}

} // namespace
