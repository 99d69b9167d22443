// Tree storage: the red-black trees of the ordered maps and sets, with
// positions that iterators may keep safely.
//
// A PositionTree is a std::map (or multimap) whose nodes come from blocks of
// its own, each node with a generation word (NodeBlocks.h), and which holds
// a table-registry slot of its own.  Iterators keep only slot and generation
// numbers, so a tree can tell a live position of its own from a stale one or
// from a position in another tree without following any pointer the iterator
// kept.
//
// The tree never moves once made (the registry holds its address), so it
// lives on the heap and is neither assignable nor movable.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <type_traits>
#include <utility>

#include "containers/storage/KeyIndex.h"
#include "containers/storage/NodeBlocks.h"
#include "containers/storage/Positions.h"

namespace kdt {

// The node the standard library's trees allocate for an element: its blocks
// are sized for it, and a position names one (the standard iterator is a
// pointer to such a node and is rebuilt from it).  These are the C++
// runtime's own names: the standard gives no way from an iterator to its
// node's memory and back, and the runtime is linked into the library, so the
// names are those of the one runtime it was built with.
template <typename Container>
using TreeNode = std::_Rb_tree_node<typename Container::value_type>;

// Container: a std::map or std::multimap over a BlockAllocator of its
// nodes.
template <typename Container>
class PositionTree : public PositionTable {
 public:
  using iterator = typename Container::iterator;
  using value_type = typename Container::value_type;
  using Node = TreeNode<Container>;
  static_assert(sizeof(iterator) == sizeof(Node*), "an iterator is its node's address");

  PositionTree() : PositionTable(Tag()), items_(Allocator(&blocks_)) {}
  // A copy holds the same keys and values in nodes of its own blocks, so no
  // iterator of the original designates anything in the copy.
  PositionTree(const PositionTree& other)
      : PositionTable(Tag()), items_(other.items_, Allocator(&blocks_)) {}
  PositionTree& operator=(const PositionTree&) = delete;
  static const void* Tag() { return &kTableTag<PositionTree>; }

  Container& items() { return items_; }
  const Container& items() const { return items_; }
  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  // Inserts next to `hint` (the lower bound already found for the key).
  template <typename... Args>
  iterator EmplaceAt(iterator hint, Args&&... args) {
    return items_.emplace_hint(hint, std::forward<Args>(args)...);
  }

  void Erase(iterator it) {
    items_.erase(it);
    if (items_.empty()) ReleaseBlocks();  // an emptied tree keeps no memory
  }
  void Clear() {
    items_.clear();
    ReleaseBlocks();
  }

  // The position `it` as an iterator keeps it.
  Position Token(iterator it) const {
    if (it == items_.end()) return EndPosition();
    const auto name = blocks_.NameOf(static_cast<const Node*>(it._M_node));
    return PositionOf(name.slot, name.generation);
  }
  static void* NodeAt(PositionTable& table, uint32_t slot, uint32_t generation) {
    return static_cast<PositionTree&>(table).blocks_.Resolve(slot, generation);
  }

  // The iterator of a live resolved position in this tree.
  iterator At(const ResolvedPosition& r) {
    if (r.kind == ResolvedPosition::kEnd) return items_.end();
    return iterator(static_cast<Node*>(r.element));
  }

  // One step, stopping at the ends instead of wrapping or faulting: the end
  // position has no successor and the first element no predecessor.
  iterator Next(iterator it) { return it == items_.end() ? it : std::next(it); }
  iterator Prev(iterator it) { return it == items_.begin() ? it : std::prev(it); }

  // Whether walking forward from `first` reaches `last` (the end position
  // included), so that [first, last) is a range of this tree.  Everything
  // follows the first element and the end follows everything, so the whole
  // tree, and any range to the end, needs no walk.
  bool Follows(iterator first, iterator last) {
    if (first == items_.begin() || last == items_.end()) return true;
    for (iterator it = first;; ++it) {
      if (it == last) return true;
      if (it == items_.end()) return false;
    }
  }

  // Erases [first, last), which must be a range of this tree.
  void EraseRange(iterator first, iterator last) {
    if (first == items_.begin() && last == items_.end()) {
      Clear();
      return;
    }
    items_.erase(first, last);
  }

 private:
  void ReleaseBlocks() noexcept {
    if (!blocks_.Release()) Renew();
  }

  using Allocator = typename Container::allocator_type;

 protected:
  NodeBlocks<Node> blocks_;  // before items_, which it outlives

 private:
  Container items_;
};

template <typename K, bool Ascending>
struct TreeOrder {
  bool operator()(const typename K::Stored& a, const typename K::Stored& b) const {
    typename K::Less less;
    return Ascending ? less(a, b) : less(b, a);
  }
};

// The trees of keys K with Payload beside them: a map, or for an empty
// payload (sets) a set, whose nodes hold the key alone.  Their nodes come
// from the tree's blocks (the node type does not depend on the allocator).
template <typename K, typename Payload, typename Order>
struct TreeOf {
  static constexpr bool kKeysOnly = std::is_empty_v<Payload>;
  using Key = typename K::Stored;
  using Element = std::conditional_t<kKeysOnly, Key, std::pair<const Key, Payload>>;
  using Nodes = BlockAllocator<Element, std::_Rb_tree_node<Element>>;
  using Unique = std::conditional_t<kKeysOnly, std::set<Key, Order, Nodes>,
                                    std::map<Key, Payload, Order, Nodes>>;
  using Multi = std::conditional_t<kKeysOnly, std::multiset<Key, Order, Nodes>,
                                   std::multimap<Key, Payload, Order, Nodes>>;
};

// The tree under a TreeTable, or with an index beside it a multi-tree
// (KeyIndex.h: the index keeps keys unique).
template <typename K, typename Payload, CaseMode M, bool Ascending, bool Indexed>
using TreeBase = std::conditional_t<
    Indexed,
    IndexedTree<PositionTree<typename TreeOf<K, Payload, TreeOrder<K, Ascending>>::Multi>,
                TreeKeyOf>,
    PositionTree<typename TreeOf<K, Payload, TreeOrder<K, Ascending>>::Unique>>;

// The tree of one container in one case mode.  K: the key's value traits,
// Payload: what the shape keeps beside a key.
template <typename K, typename Payload, CaseMode M, bool Ascending, bool Indexed>
class TreeTable : public TreeBase<K, Payload, M, Ascending, Indexed> {
  using Base = TreeBase<K, Payload, M, Ascending, Indexed>;

 public:
  using KT = K;
  using Key = typename K::Stored;
  using Pos = typename Base::iterator;
  static constexpr CaseMode kMode = M;
  static constexpr bool kKeysOnly = std::is_empty_v<Payload>;

  Pos Begin() { return this->begin(); }
  Pos End() { return this->end(); }
  bool IsEnd(Pos p) { return p == this->end(); }
  static const Key& KeyOf(Pos p) { return TreeKeyOf::Get(*p); }
  static Payload& PayloadOf(Pos p) {
    if constexpr (kKeysOnly) {
      static Payload none;  // empty: nothing in it is ever read or written
      return none;
    } else {
      return p->second;
    }
  }

  Pos Find(const Key& key) { return kdt::FindKey(tree(), key); }
  Pos LowerBound(const Key& key) { return LowerBoundKey(tree(), key); }
  Pos UpperBound(const Key& key) { return UpperBoundKey(tree(), key); }

  // The probe's key goes in at its lower bound unless an equal one is held,
  // which stays; the stored key is a copy of the probe, view included.
  // Returns the position and whether it is new.
  std::pair<Pos, bool> Insert(const Key& probe) {
    return kdt::FindOrInsert(tree(), probe, [&](auto emplace) {
      if constexpr (kKeysOnly) {
        return emplace(probe);
      } else {
        return emplace(probe, Payload{});
      }
    });
  }
  std::pair<Pos, bool> InsertStored(Key&& key) {
    return kdt::FindOrInsert(tree(), key, [&](auto emplace) {
      if constexpr (kKeysOnly) {
        return emplace(std::move(key));
      } else {
        return emplace(std::move(key), Payload{});
      }
    });
  }
  bool EraseKey(const Key& key) {
    const Pos at = Find(key);
    if (IsEnd(at)) return false;
    this->Erase(at);
    return true;
  }
  bool IsRange(Pos first, Pos last) { return this->Follows(first, last); }

  static std::unique_ptr<TreeTable> Copy(const TreeTable& source) {
    return std::make_unique<TreeTable>(source);
  }

  bool Holds(const ResolvedPosition& r) const {
    return r.table == static_cast<const PositionTable*>(this);
  }
  static TreeTable& Of(const ResolvedPosition& r) { return static_cast<TreeTable&>(*r.table); }

 private:
  // The searches of KeyIndex.h work on the tree this table is made of.
  Base& tree() { return *this; }
};

// The storage policy of the ordered containers: keys ascending, or from the
// greatest to the smallest; Indexed: keys found through an index beside the
// tree, for keys whose order cannot guide a search (Variants).
template <bool Ascending, bool Indexed = false>
struct TreeStorage {
  template <typename K, typename Payload, CaseMode M>
  using Table = TreeTable<K, Payload, M, Ascending, Indexed>;
  // End positions of two trees are two positions.
  static constexpr bool kEndsCompareEqual = false;
};

}  // namespace kdt
