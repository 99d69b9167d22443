// Tree storage: the red-black trees of the ordered maps and sets, with
// positions that iterators may keep safely.
//
// A PositionTree is a std::map or std::set whose every element carries a
// registry slot bound to its tree node, and which holds a slot of its own for
// its end position.  Iterators keep only (slot, generation) pairs, so a tree
// can tell a live position of its own from a stale one or from a position in
// another tree without following any pointer the iterator kept.
//
// The tree never moves once made (the registry holds its address), so it
// lives on the heap and is neither assignable nor movable.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>

#include "containers/storage/Positions.h"

namespace kdt {

// Container: a std::map or std::set.  SlotOf::Get(element) gives the slot
// stored with an element.
template <typename Container, typename SlotOf>
class PositionTree {
 public:
  using iterator = typename Container::iterator;
  using value_type = typename Container::value_type;

  PositionTree() { endSlot_.Register(this, 0); }
  // A copy holds the same keys and values; every element gets a slot of its
  // own, so no iterator of the original designates anything in the copy.
  PositionTree(const PositionTree& other) : items_(other.items_) {
    endSlot_.Register(this, 0);
    for (iterator it = items_.begin(); it != items_.end(); ++it) Bind(it);
  }
  PositionTree& operator=(const PositionTree&) = delete;

  Container& items() { return items_; }
  const Container& items() const { return items_; }
  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  // Inserts next to `hint` (the lower bound already found for the key) and
  // registers the new element's node.
  template <typename... Args>
  iterator EmplaceAt(iterator hint, Args&&... args) {
    iterator it = items_.emplace_hint(hint, std::forward<Args>(args)...);
    try {
      Bind(it);
    } catch (...) {
      items_.erase(it);
      throw;
    }
    return it;
  }

  void Erase(iterator it) { items_.erase(it); }
  void Clear() { items_.clear(); }

  // The position `it` as an iterator keeps it.
  PositionToken Token(iterator it) const {
    const RegisteredSlot& slot = it == items_.end() ? endSlot_ : SlotOf::Get(*it);
    return PositionToken{slot.slot(), slot.generation()};
  }

  // The iterator of a live resolved position in this tree.
  bool Holds(const ResolvedPosition& r) const { return r.table == static_cast<const void*>(this); }
  iterator At(const ResolvedPosition& r) {
    if (r.kind == ResolvedPosition::kEnd) return items_.end();
    return iterator(static_cast<typename iterator::_Base_ptr>(r.element));
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
    if (first == items_.begin() && last == items_.end())
      items_.clear();
    else
      items_.erase(first, last);
  }

 private:
  void Bind(iterator it) {
    SlotOf::Get(*it).Register(const_cast<std::_Rb_tree_node_base*>(it._M_node), endSlot_.slot());
  }

  Container items_;
  RegisteredSlot endSlot_;
};

// What a tree keeps with a key: what the shape keeps beside it (a value, or
// nothing) and the element's registry slot.
template <typename Payload>
struct TreeMapped : Payload {
  RegisteredSlot slot;
};
struct TreeSlotOf {
  template <typename Element>
  static const RegisteredSlot& Get(const Element& e) {
    return e.second.slot;
  }
};

template <typename K, bool Ascending>
struct TreeOrder {
  bool operator()(const typename K::Stored& a, const typename K::Stored& b) const {
    typename K::Less less;
    return Ascending ? less(a, b) : less(b, a);
  }
};

// The tree of one container in one case mode; K: the key's value traits.
template <typename K, typename Payload, CaseMode M, bool Ascending>
class TreeTable
    : public PositionTree<
          std::map<typename K::Stored, TreeMapped<Payload>, TreeOrder<K, Ascending>>, TreeSlotOf> {
  using Base =
      PositionTree<std::map<typename K::Stored, TreeMapped<Payload>, TreeOrder<K, Ascending>>,
                   TreeSlotOf>;

 public:
  using KT = K;
  using Key = typename K::Stored;
  using Pos = typename Base::iterator;
  static constexpr CaseMode kMode = M;

  Pos Begin() { return this->begin(); }
  Pos End() { return this->end(); }
  bool IsEnd(Pos p) { return p == this->end(); }
  static const Key& KeyOf(Pos p) { return p->first; }
  static Payload& PayloadOf(Pos p) { return p->second; }

  Pos Find(const Key& key) { return this->items().find(key); }
  Pos LowerBound(const Key& key) { return this->items().lower_bound(key); }
  Pos UpperBound(const Key& key) { return this->items().upper_bound(key); }

  // One lower-bound search; the key goes in at that bound unless an equal
  // one is there, which stays.  Returns the position and whether it is new.
  std::pair<Pos, bool> Insert(const Key& probe, typename K::Arg key) {
    Pos at = LowerBound(probe);
    if (at != End() && !this->items().key_comp()(probe, at->first)) return {at, false};
    return {this->EmplaceAt(at, K::FromHost(key), TreeMapped<Payload>{}), true};
  }
  std::pair<Pos, bool> InsertStored(Key&& key) {
    Pos at = LowerBound(key);
    if (at != End() && !this->items().key_comp()(key, at->first)) return {at, false};
    return {this->EmplaceAt(at, std::move(key), TreeMapped<Payload>{}), true};
  }
  bool IsRange(Pos first, Pos last) { return this->Follows(first, last); }

  static std::unique_ptr<TreeTable> Copy(const TreeTable& source) {
    return std::make_unique<TreeTable>(source);
  }

  static TreeTable& Of(const ResolvedPosition& r) {
    return *static_cast<TreeTable*>(static_cast<Base*>(r.table));
  }
};

// The storage policy of the ordered containers: keys ascending, or from the
// greatest to the smallest.
template <bool Ascending>
struct TreeStorage {
  template <typename K, typename Payload, CaseMode M>
  using Table = TreeTable<K, Payload, M, Ascending>;
  // End positions of two trees are two positions.
  static constexpr bool kEndsCompareEqual = false;
};

}  // namespace kdt
