// Linked list with stable links, and an ordered map.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

template <class T> class TList;
template <class T> class TLink;
template <class T> using TLinkRef = std::shared_ptr<TLink<T>>;

// One entry of a TList. A link keeps its identity for as long as anyone holds it: it can be used
// to remove the entry or to insert next to it. A removed link keeps its value and still points
// forward to the entries that followed it, so an enumeration standing on it when it was removed
// goes on with the rest of the list; it is never visited again. Clearing a list cuts the links
// off entirely (an enumeration of a cleared list ends). A link holds its value even after its
// removal, so an object that keeps its own link must drop that link when it leaves the list, or
// the two keep each other alive.
template <class T> class TLink {
  public:
    T& Value() { return value_; }
    const T& Value() const { return value_; }
    // The list the link is in; null once it has been removed.
    TList<T>* List() const { return list_; }
    bool IsRemoved() const { return list_ == nullptr; }

    // The following live link, null at the end. For a removed link: the first live link that
    // followed it, if any is left.
    TLinkRef<T> NextLink() const {
        TLinkRef<T> n = next_;
        while (n && n->list_ == nullptr) n = n->next_;
        return n;
    }
    // The preceding live link, null at the start and for a removed link.
    TLinkRef<T> PrevLink() const {
        if (!prev_ || !prev_->prev_) return nullptr; // removed, or first in the list
        return prev_->prev_->next_;                  // prev_'s owner holds it as its next
    }
    // Takes the link out of its list; false when it was no longer in one.
    bool Remove() { return list_ && list_->RemoveLink(this); }

    TLink() = default;
    explicit TLink(T value) : value_(std::move(value)) {}
    TLink(const TLink&) = delete;
    TLink& operator=(const TLink&) = delete;
    ~TLink() {
        // Release a run of links that only this one holds without recursing down the run.
        TLinkRef<T> n = std::move(next_);
        while (n && n.use_count() == 1) {
            TLinkRef<T> after = std::move(n->next_);
            n = std::move(after);
        }
    }

  private:
    friend class TList<T>;
    T value_{};
    TLinkRef<T> next_;      // owns the rest of the list
    TLink* prev_ = nullptr; // null for the head and for removed links
    TList<T>* list_ = nullptr;
};

// The runtime's doubly linked list. Enumeration (range-for) visits the entries in order and
// tolerates any change during the walk: the current entry or any other may be removed (removed
// entries are not visited afterwards), and entries inserted ahead of the walk are visited. (One
// exception: once the current entry and all entries after it have been removed, the walk ends,
// even if entries are appended afterwards in the same step.) The list is neither copyable nor
// movable, since its links point back at it.
template <class T> class TList {
  public:
    using Link = TLink<T>;
    using LinkRef = TLinkRef<T>;

    TList() : head_(std::make_shared<Link>()) {}
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    ~TList() { Clear(); }

    LinkRef AddLast(T value) { return insertAfter(std::move(value), lastRaw()); }
    LinkRef AddFirst(T value) { return insertAfter(std::move(value), head_.get()); }

    // Inserts before or after the given link. A null link stands for the list's head, which
    // lies both after the last entry and before the first: inserting before it appends,
    // inserting after it puts the value first. A link of another list, or a removed one,
    // inserts nothing and yields null.
    LinkRef InsertBeforeLink(T value, const LinkRef& link) {
        if (!link) return AddLast(std::move(value));
        if (link->list_ != this) return nullptr;
        return insertAfter(std::move(value), link->prev_);
    }
    LinkRef InsertAfterLink(T value, const LinkRef& link) {
        if (!link) return AddFirst(std::move(value));
        if (link->list_ != this) return nullptr;
        return insertAfter(std::move(value), link.get());
    }

    // Removes the first entry equal to value; false when there is none.
    bool Remove(const T& value) {
        for (Link* l = head_->next_.get(); l; l = l->next_.get()) {
            if (l->value_ == value) return RemoveLink(l);
        }
        return false;
    }
    // Removes the link; false when it is not in this list (already removed, or another list's).
    bool RemoveLink(const LinkRef& link) { return RemoveLink(link.get()); }
    bool RemoveLink(Link* l) {
        if (!l || l->list_ != this) return false;
        Link* p = l->prev_;
        if (l->next_)
            l->next_->prev_ = p;
        else
            tail_ = p == head_.get() ? nullptr : p;
        l->list_ = nullptr;
        l->prev_ = nullptr;
        --count_;
        // l keeps next_, so an enumerator standing on it carries on. Assigning p->next_ last
        // may release l itself.
        p->next_ = l->next_;
        return true;
    }

    // Removes every entry; links held elsewhere become removed links with nothing after them.
    void Clear() {
        LinkRef l = std::move(head_->next_);
        while (l) {
            l->list_ = nullptr;
            l->prev_ = nullptr;
            LinkRef n = std::move(l->next_);
            l = std::move(n);
        }
        tail_ = nullptr;
        count_ = 0;
    }

    int Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    bool Contains(const T& value) const { return find(value) != nullptr; }
    // The first or last value; a value-initialised T (null) when the list is empty.
    T First() const { return head_->next_ ? head_->next_->value_ : T{}; }
    T Last() const { return tail_ ? tail_->value_ : T{}; }
    // The value at a 0-based index; a value-initialised T when out of range.
    T ValueAtIndex(int index) const {
        if (index < 0 || index >= count_) return T{};
        const Link* l = head_->next_.get();
        while (index-- > 0) l = l->next_.get();
        return l->value_;
    }
    LinkRef FirstLink() const { return head_->next_; }
    LinkRef LastLink() const { return tail_ ? tail_->prev_->next_ : nullptr; }
    // The link of the first entry equal to value, or null.
    LinkRef FindLink(const T& value) const {
        const Link* l = find(value);
        return l ? l->prev_->next_ : nullptr;
    }
    // Calls f(value) for every entry in order without holding the links, which makes a walk
    // cheaper than range-for; f must not add or remove entries of this list.
    template <class F> void ForEachWhileUnchanged(F&& f) const {
        for (const Link* l = head_->next_.get(); l; l = l->next_.get()) f(l->value_);
    }
    std::vector<T> ToVector() const {
        std::vector<T> out;
        out.reserve(std::size_t(count_));
        for (const Link* l = head_->next_.get(); l; l = l->next_.get()) out.push_back(l->value_);
        return out;
    }

    template <class V> class Iterator {
      public:
        using value_type = T;
        using reference = V&;
        using difference_type = std::ptrdiff_t;
        using iterator_category = std::forward_iterator_tag;

        Iterator() = default;
        explicit Iterator(LinkRef l) : cur_(std::move(l)) {}
        V& operator*() const { return cur_->Value(); }
        V* operator->() const { return &cur_->Value(); }
        Iterator& operator++() {
            cur_ = cur_->NextLink();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& o) const { return cur_ == o.cur_; }
        const LinkRef& link() const { return cur_; }

      private:
        LinkRef cur_; // keeps the current link alive while the loop body removes it
    };
    using iterator = Iterator<T>;
    using const_iterator = Iterator<const T>;

    iterator begin() { return iterator(head_->next_); }
    iterator end() { return iterator(); }
    const_iterator begin() const { return const_iterator(head_->next_); }
    const_iterator end() const { return const_iterator(); }

  private:
    Link* lastRaw() const { return tail_ ? tail_ : head_.get(); }

    const Link* find(const T& value) const {
        for (const Link* l = head_->next_.get(); l; l = l->next_.get()) {
            if (l->value_ == value) return l;
        }
        return nullptr;
    }

    LinkRef insertAfter(T value, Link* p) {
        auto l = std::make_shared<Link>(std::move(value));
        l->list_ = this;
        l->prev_ = p;
        l->next_ = std::move(p->next_);
        if (l->next_)
            l->next_->prev_ = l.get();
        else
            tail_ = l.get();
        p->next_ = l;
        ++count_;
        return l;
    }

    LinkRef head_;         // sentinel; its next_ is the first entry
    Link* tail_ = nullptr; // last live link, null when empty
    int count_ = 0;
};

// Procedural wrappers. A null list is a no-op (returning null, false or 0).
template <class T> std::shared_ptr<TList<T>> CreateList() {
    return std::make_shared<TList<T>>();
}

template <class T>
TLinkRef<T> ListAddLast(const std::shared_ptr<TList<T>>& list, std::type_identity_t<T> value) {
    return list ? list->AddLast(std::move(value)) : nullptr;
}
template <class T>
bool ListRemove(const std::shared_ptr<TList<T>>& list, const std::type_identity_t<T>& value) {
    return list && list->Remove(value);
}
template <class T>
bool ListContains(const std::shared_ptr<TList<T>>& list, const std::type_identity_t<T>& value) {
    return list && list->Contains(value);
}
template <class T> void ClearList(const std::shared_ptr<TList<T>>& list) {
    if (list) list->Clear();
}
template <class T> int CountList(const std::shared_ptr<TList<T>>& list) {
    return list ? list->Count() : 0;
}
// Removes the link from whatever list holds it; false when it is null or already removed.
template <class T> bool RemoveLink(const TLinkRef<T>& link) {
    return link && link->Remove();
}

// Ordered map; keys are ordered by Compare (std::less by default). Values() and Keys() list the
// entries in key order.
template <class K, class V, class Compare = std::less<K>> class TMap {
  public:
    TMap() = default;
    explicit TMap(Compare cmp) : map_(std::move(cmp)) {}

    // Adds the entry; an equal key already present has its value replaced (the key object
    // already in the map stays).
    void Insert(const K& key, V value) { map_.insert_or_assign(key, std::move(value)); }
    // The value for the key; a value-initialised V (null) when absent.
    V ValueForKey(const K& key) const {
        auto it = map_.find(key);
        return it == map_.end() ? V{} : it->second;
    }
    bool Contains(const K& key) const { return map_.find(key) != map_.end(); }
    bool Remove(const K& key) { return map_.erase(key) > 0; }
    void Clear() { map_.clear(); }
    int Count() const { return int(map_.size()); }
    bool IsEmpty() const { return map_.empty(); }

    std::vector<V> Values() const {
        std::vector<V> out;
        out.reserve(map_.size());
        for (const auto& kv : map_) out.push_back(kv.second);
        return out;
    }
    std::vector<K> Keys() const {
        std::vector<K> out;
        out.reserve(map_.size());
        for (const auto& kv : map_) out.push_back(kv.first);
        return out;
    }

    auto begin() const { return map_.begin(); }
    auto end() const { return map_.end(); }

  private:
    std::map<K, V, Compare> map_;
};
