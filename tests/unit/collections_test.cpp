#include "platform/collections.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Item {
    int id;
};
using ItemRef = std::shared_ptr<Item>;

std::vector<int> ids(const TList<ItemRef>& list) {
    std::vector<int> out;
    for (const ItemRef& it : list) out.push_back(it->id);
    return out;
}

std::shared_ptr<TList<ItemRef>> makeList(int n, std::vector<ItemRef>* items = nullptr) {
    auto list = CreateList<ItemRef>();
    for (int i = 0; i < n; ++i) {
        auto it = std::make_shared<Item>(Item{i});
        ListAddLast(list, it);
        if (items) items->push_back(it);
    }
    return list;
}

TEST(ListTest, EnumerationToleratesRemovalOfTheCurrentEntry) {
    auto list = makeList(6);
    std::vector<int> visited;
    for (const ItemRef& it : *list) {
        visited.push_back(it->id);
        if (it->id % 2 == 0) ListRemove(list, it);
        EXPECT_EQ(it->id, visited.back()); // the value stays readable after its removal
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(ids(*list), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(list->Count(), 3);

    // Removing every entry while walking empties the list.
    for (const ItemRef& it : *list) ListRemove(list, it);
    EXPECT_TRUE(list->IsEmpty());
    EXPECT_FALSE(list->First());
    EXPECT_FALSE(list->Last());
}

TEST(ListTest, EnumerationSkipsEntriesRemovedAheadAndVisitsEntriesAddedAhead) {
    std::vector<ItemRef> items;
    auto list = makeList(6, &items);
    std::vector<int> visited;
    for (const ItemRef& it : *list) {
        visited.push_back(it->id);
        if (it->id == 1) {
            ListRemove(list, items[2]);                         // the next one
            ListRemove(list, items[0]);                         // one already passed
            ListAddLast(list, std::make_shared<Item>(Item{9})); // one further on
        }
        if (it->id == 3) {
            ListRemove(list, it); // the current one, then the two after it
            ListRemove(list, items[4]);
            ListRemove(list, items[5]);
        }
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 3, 9}));
    EXPECT_EQ(ids(*list), (std::vector<int>{1, 9}));

    // Clearing the list in the middle of a walk ends the walk.
    auto other = makeList(5);
    visited.clear();
    for (const ItemRef& it : *other) {
        visited.push_back(it->id);
        if (it->id == 1) ClearList(other);
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1}));
    EXPECT_EQ(CountList(other), 0);
}

TEST(ListTest, LinksInsertAroundThemAndStayValid) {
    TList<int> list;
    auto l10 = list.AddLast(10);
    auto l30 = list.AddLast(30);
    auto l20 = list.InsertBeforeLink(20, l30);
    auto l40 = list.InsertAfterLink(40, l30);
    auto l5 = list.InsertAfterLink(5, nullptr);    // after the head: first
    auto l50 = list.InsertBeforeLink(50, nullptr); // before the head: last
    EXPECT_EQ(list.ToVector(), (std::vector<int>{5, 10, 20, 30, 40, 50}));
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.FirstLink(), l5);
    EXPECT_EQ(list.LastLink(), l50);
    EXPECT_EQ(l20->NextLink(), l30);
    EXPECT_EQ(l20->PrevLink(), l10);
    EXPECT_FALSE(l5->PrevLink());
    EXPECT_FALSE(l50->NextLink());

    // Removing the tail moves Last; a removed link still leads on to what followed it.
    EXPECT_TRUE(RemoveLink(l50));
    EXPECT_FALSE(RemoveLink(l50));
    EXPECT_EQ(list.Last(), 40);
    EXPECT_EQ(list.LastLink(), l40);
    EXPECT_TRUE(list.RemoveLink(l20));
    EXPECT_TRUE(l20->IsRemoved());
    EXPECT_EQ(l20->Value(), 20);
    EXPECT_EQ(l20->NextLink(), l30);
    EXPECT_FALSE(l20->PrevLink());
    EXPECT_TRUE(l30->Remove());
    EXPECT_EQ(l20->NextLink(), l40); // both removed: the walk goes on to the first live one
    EXPECT_EQ(l10->NextLink(), l40);
    EXPECT_EQ(list.AddLast(60)->PrevLink(), l40);

    // Links that are not in this list insert nothing.
    TList<int> other;
    auto foreign = other.AddLast(1);
    EXPECT_FALSE(list.InsertBeforeLink(7, foreign));
    EXPECT_FALSE(list.InsertAfterLink(7, l20));
    EXPECT_FALSE(list.RemoveLink(foreign));
    EXPECT_EQ(list.ToVector(), (std::vector<int>{5, 10, 40, 60}));
    EXPECT_EQ(other.Count(), 1);
}

TEST(ListTest, ValueQueriesAndNullListWrappers) {
    TList<std::string> list;
    list.AddLast("b");
    list.AddFirst("a");
    list.AddLast("b");
    EXPECT_TRUE(list.Contains("b"));
    EXPECT_FALSE(list.Contains("z"));
    EXPECT_EQ(list.ValueAtIndex(1), "b");
    EXPECT_EQ(list.ValueAtIndex(3), "");
    EXPECT_EQ(list.ValueAtIndex(-1), "");
    EXPECT_EQ(list.FindLink("b"), list.FirstLink()->NextLink());
    EXPECT_TRUE(list.Remove("b")); // the first equal one only
    EXPECT_EQ(list.ToVector(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(list.Remove("z"));

    const std::shared_ptr<TList<int>> none;
    EXPECT_FALSE(ListAddLast(none, 1));
    EXPECT_FALSE(ListRemove(none, 1));
    EXPECT_FALSE(ListContains(none, 1));
    EXPECT_EQ(CountList(none), 0);
    ClearList(none);
    EXPECT_FALSE(RemoveLink(TLinkRef<int>()));
}

TEST(ListTest, LinksOutliveTheirListAndLongRunsDoNotRecurse) {
    TLinkRef<int> kept;
    {
        TList<int> list;
        for (int i = 0; i < 300000; ++i) list.AddLast(i);
        kept = list.FirstLink();
        // A long run of removed links, each holding the next, hangs off the kept link.
        for (int i = 0; i < 200000; ++i) list.RemoveLink(list.FirstLink());
        EXPECT_EQ(kept->NextLink()->Value(), 200000);
    } // the list goes; its links become removed links
    EXPECT_TRUE(kept->IsRemoved());
    EXPECT_FALSE(kept->Remove());
    kept.reset(); // releases the run of 200000 links iteratively
}

struct Vec {
    float x, y, z;
};
using VecRef = std::shared_ptr<Vec>;
// Orders by x, then y, then z, exactly.
struct VecLess {
    bool operator()(const VecRef& a, const VecRef& b) const {
        if (a->x != b->x) return a->x < b->x;
        if (a->y != b->y) return a->y < b->y;
        return a->z < b->z;
    }
};

TEST(MapTest, EqualKeysReplaceAndValuesComeInKeyOrder) {
    TMap<VecRef, VecRef, VecLess> map;
    auto key = [](float x, float y, float z) { return std::make_shared<Vec>(Vec{x, y, z}); };
    map.Insert(key(1, 0, 0), key(10, 0, 0));
    map.Insert(key(0, 5, 0), key(20, 0, 0));
    map.Insert(key(0, 5, -1), key(30, 0, 0));
    map.Insert(key(1, 0, 0), key(40, 0, 0)); // an equal key, another object: replaced
    EXPECT_EQ(map.Count(), 3);
    std::vector<float> values;
    for (const VecRef& v : map.Values()) values.push_back(v->x);
    EXPECT_EQ(values, (std::vector<float>{30, 20, 40}));
    EXPECT_EQ(map.Keys().front()->z, -1);
    EXPECT_EQ(map.ValueForKey(key(1, 0, 0))->x, 40);
    EXPECT_FALSE(map.ValueForKey(key(2, 0, 0)));
    EXPECT_TRUE(map.Contains(key(0, 5, 0)));
    EXPECT_TRUE(map.Remove(key(0, 5, 0)));
    EXPECT_FALSE(map.Remove(key(0, 5, 0)));
    EXPECT_EQ(map.Count(), 2);

    TMap<std::string, int> names;
    names.Insert("b", 2);
    names.Insert("a", 1);
    EXPECT_EQ(names.Values(), (std::vector<int>{1, 2}));
    EXPECT_EQ(names.ValueForKey("c"), 0);
    names.Clear();
    EXPECT_TRUE(names.IsEmpty());
}

} // namespace
