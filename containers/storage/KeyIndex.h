// Finding keys in the ordered trees.
//
// String, Text and Integer keys are found by descending the tree with its own
// order.  Variant keys cannot be: their comparison orders Variants of
// different types by reference and puts a NaN after every number both ways,
// which is not transitive, so a descent can turn the wrong way and miss a key
// the tree holds.  A Variant tree therefore keeps an index beside it: the
// tree's elements sorted by a strict total order under which two keys are
// equal exactly when the tree's comparison says so.  The tree, a multimap or
// multiset so that an insertion is never refused, keeps the order users walk
// (each key placed where the comparison's descent puts it); the index says
// whether and where a key is held.
//
// The free functions below are the one way the tree storage searches and
// inserts, for trees with and without an index.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/storage/NodeBlocks.h"
#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/VariantKeys.h"

namespace kdt {

// The key of a tree element: a map's pair, or a set's key itself.
struct TreeKeyOf {
  template <typename Key, typename Payload>
  static const Key& Get(const std::pair<const Key, Payload>& e) {
    return e.first;
  }
  template <typename Key>
  static const Key& Get(const Key& e) {
    return e;
  }
};

struct KeyIndexTag {};

// Base: a PositionTree over a multimap or multiset.  KeyOf::Get(element) is
// the element's key; KeyIndexOrder(a, b) the index order of two keys
// (negative, zero, positive).
template <typename Base, typename KeyOf>
class IndexedTree : public Base, public KeyIndexTag {
 public:
  using iterator = typename Base::iterator;
  using Key = std::decay_t<decltype(KeyOf::Get(std::declval<const typename Base::value_type&>()))>;

  IndexedTree() = default;
  // The copy has the shape of the original: its elements pair up with the
  // original's in walk order, so the index is copied without comparing keys
  // beyond one comparison per element.
  IndexedTree(const IndexedTree& other) : Base(other) {
    std::vector<std::pair<const void*, iterator>> copyOf;
    copyOf.reserve(other.items().size());
    iterator mine = this->begin();
    for (const auto& theirs : other.items()) copyOf.emplace_back(&theirs, mine++);
    std::sort(copyOf.begin(), copyOf.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (iterator theirs : other.index_) {
      const void* node = &*theirs;
      auto at = std::lower_bound(copyOf.begin(), copyOf.end(), node,
                                 [](const auto& e, const void* n) { return e.first < n; });
      index_.emplace_hint(index_.end(), at->second);
    }
  }
  IndexedTree& operator=(const IndexedTree&) = delete;

  iterator Find(const Key& key) {
    auto at = index_.find(key);
    return at == index_.end() ? this->end() : *at;
  }

  // The element with a key equal to key and false; else true and the element
  // that make(emplace) inserted at the tree's lower bound of key.
  template <typename Make>
  std::pair<iterator, bool> FindOrInsert(const Key& key, Make&& make) {
    auto slot = index_.lower_bound(key);
    if (slot != index_.end() && !index_.key_comp()(key, *slot)) return {*slot, false};
    iterator hint = this->items().lower_bound(key);
    Base* tree = this;
    iterator it = make([tree, hint](auto&&... args) {
      return tree->EmplaceAt(hint, std::forward<decltype(args)>(args)...);
    });
    Index(slot, it);
    return {it, true};
  }

  void Erase(iterator it) {
    index_.erase(it);
    Base::Erase(it);
    ReleaseIndexBlocks();
  }
  void EraseRange(iterator first, iterator last) {
    if (first == this->begin() && last == this->end()) {
      index_.clear();
    } else {
      for (iterator it = first; it != last; ++it) index_.erase(it);
    }
    Base::EraseRange(first, last);
    ReleaseIndexBlocks();
  }
  void Clear() {
    index_.clear();
    Base::Clear();
    ReleaseIndexBlocks();
  }

 private:
  // Every insertion goes through FindOrInsert, which keeps the index in step.
  using Base::EmplaceAt;

  struct ByKey {
    using is_transparent = void;
    static const Key& KeyAt(const iterator& it) { return KeyOf::Get(*it); }
    static const Key& KeyAt(const Key& k) { return k; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      return KeyIndexOrder(KeyAt(a), KeyAt(b)) < 0;
    }
  };

  // The index's nodes come from blocks of its own, like the tree's, without
  // generations: no position ever names one.
  using IndexNode = std::_Rb_tree_node<iterator>;
  using IndexSet = std::set<iterator, ByKey, BlockAllocator<iterator, IndexNode, false>>;

  // Adds the new element it to the index next to slot; if that fails the
  // element leaves the tree again.
  void Index(typename IndexSet::iterator slot, iterator it) {
    try {
      index_.emplace_hint(slot, it);
    } catch (...) {
      Base::Erase(it);
      throw;
    }
  }

  void ReleaseIndexBlocks() noexcept {
    if (index_.empty()) indexBlocks_.Release();
  }

  NodeBlocks<IndexNode, false> indexBlocks_;  // before index_, which it outlives
  IndexSet index_{ByKey(), typename IndexSet::allocator_type(&indexBlocks_)};
};

template <typename Tree>
constexpr bool kHasKeyIndex = std::is_base_of_v<KeyIndexTag, Tree>;

// Tree: a tree over a map, set, multimap or multiset; Key the tree's key handle.
template <typename Tree, typename Key>
bool HoldsEqual(Tree& t, typename Tree::iterator at, const Key& key) {
  return at != t.end() && !t.items().key_comp()(key, TreeKeyOf::Get(*at));
}

// The element holding a key equal to key, or the end position.
template <typename Tree, typename Key>
typename Tree::iterator FindKey(Tree& t, const Key& key) {
  if constexpr (kHasKeyIndex<Tree>) {
    return t.Find(key);
  } else {
    return t.items().find(key);
  }
}

// A held key is its own lower bound, and the element after it its upper
// bound; any other key is looked for by the tree's descent.
template <typename Tree, typename Key>
typename Tree::iterator LowerBoundKey(Tree& t, const Key& key) {
  if constexpr (kHasKeyIndex<Tree>) {
    typename Tree::iterator at = t.Find(key);
    if (at != t.end()) return at;
  }
  return t.items().lower_bound(key);
}
template <typename Tree, typename Key>
typename Tree::iterator UpperBoundKey(Tree& t, const Key& key) {
  if constexpr (kHasKeyIndex<Tree>) {
    typename Tree::iterator at = t.Find(key);
    if (at != t.end()) return std::next(at);
  }
  return t.items().upper_bound(key);
}

// The element holding a key equal to key and false; or, when there is none,
// true and the element make(emplace) inserted at the key's lower bound.
// make calls emplace once with the new element's constructor arguments, so
// nothing is built for a key already held.
template <typename Tree, typename Key, typename Make>
std::pair<typename Tree::iterator, bool> FindOrInsert(Tree& t, const Key& key, Make&& make) {
  if constexpr (kHasKeyIndex<Tree>) {
    return t.FindOrInsert(key, std::forward<Make>(make));
  } else {
    typename Tree::iterator at = t.items().lower_bound(key);
    if (HoldsEqual(t, at, key)) return {at, false};
    typename Tree::iterator it = make(
        [&](auto&&... args) { return t.EmplaceAt(at, std::forward<decltype(args)>(args)...); });
    return {it, true};
  }
}

}  // namespace kdt
