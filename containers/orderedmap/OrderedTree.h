// The red-black trees of the ordered maps and sets, with positions that
// iterators may keep safely.
//
// A PositionTree is a std::map or std::set whose every element carries an
// element slot of the tree bound to its tree node, and which holds a
// table-registry slot of its own.  Iterators keep only slot and generation
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
#include <set>
#include <type_traits>
#include <utility>

#include "containers/common/ContainerSupport.h"
#include "containers/common/PositionRegistry.h"
#include "plugin/ClassRecords.h"

namespace kdt {

// Container: a std::map or std::set.  SlotOf::Get(element) gives the slot
// stored with an element.
template <typename Container, typename SlotOf>
class PositionTree : public PositionTable {
 public:
  using iterator = typename Container::iterator;
  using value_type = typename Container::value_type;

  PositionTree() : PositionTable(Tag()) {}
  // A copy holds the same keys and values; every element gets a slot of its
  // own, so no iterator of the original designates anything in the copy.
  PositionTree(const PositionTree& other) : PositionTable(Tag()), items_(other.items_) {
    for (iterator it = items_.begin(); it != items_.end(); ++it) {
      elements().Reserve();
      Bind(it);
    }
  }
  PositionTree& operator=(const PositionTree&) = delete;
  static const void* Tag() { return &kTableTag<PositionTree>; }

  Container& items() { return items_; }
  const Container& items() const { return items_; }
  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  // Inserts next to `hint` (the lower bound already found for the key) and
  // registers the new element's node.
  template <typename... Args>
  iterator EmplaceAt(iterator hint, Args&&... args) {
    elements().Reserve();
    iterator it = items_.emplace_hint(hint, std::forward<Args>(args)...);
    Bind(it);
    return it;
  }

  void Erase(iterator it) {
    Unbind(it);
    items_.erase(it);
  }
  void Clear() {
    for (iterator it = items_.begin(); it != items_.end(); ++it) Unbind(it);
    items_.clear();
  }

  // The position `it` as an iterator keeps it.
  Position Token(iterator it) const {
    return it == items_.end() ? EndPosition() : PositionOf(SlotOf::Get(*it).slot());
  }

  // The iterator of a live resolved position in this tree.
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
    if (first == items_.begin() && last == items_.end()) {
      Clear();
      return;
    }
    for (iterator it = first; it != last; ++it) Unbind(it);
    items_.erase(first, last);
  }

 private:
  // Needs a Reserve of the element slots first; never throws.
  void Bind(iterator it) {
    SlotOf::Get(*it).Set(elements().Acquire(const_cast<std::_Rb_tree_node_base*>(it._M_node)));
  }
  void Unbind(iterator it) { elements().Release(SlotOf::Get(*it).slot()); }

  Container items_;
};

// The state of the position an iterator keeps.
enum class PositionState { kNone, kGone, kHere };

// Finds the position kept in an iterator's data and, when it is live, calls
// f(tree, iterator) with the tree it lies in.  TreeS and TreeI derive from
// PositionTree and name their mode as kMode; TreeI is void for families
// without a case-insensitive tree.
template <typename TreeS, typename TreeI, typename F>
PositionState VisitPosition(IteratorData& data, F&& f) {
  if (!HasPosition(data)) return PositionState::kNone;
  if constexpr (std::is_void_v<TreeI>) {
    if (ModeOf(data) != CaseMode::S) return PositionState::kNone;
  }
  ResolvedPosition r = ResolvePosition<TreeS, TreeI>(data);
  if (r.kind == ResolvedPosition::kGone) return PositionState::kGone;
  if (r.mode == CaseMode::S) {
    TreeS& tree = static_cast<TreeS&>(*r.table);
    f(tree, tree.At(r));
  } else if constexpr (!std::is_void_v<TreeI>) {
    TreeI& tree = static_cast<TreeI&>(*r.table);
    f(tree, tree.At(r));
  }
  return PositionState::kHere;
}

// Moves an iterator one element forward or back, staying put at the ends.
template <typename TreeS, typename TreeI, bool Forward>
PositionState StepPosition(IteratorData& data) {
  return VisitPosition<TreeS, TreeI>(data, [&](auto& tree, auto at) {
    using T = std::decay_t<decltype(tree)>;
    data = InMode(tree.Token(Forward ? tree.Next(at) : tree.Prev(at)), T::kMode);
  });
}

// Whether two iterators designate the same position, compared by identity:
// a stale position equals only the very same stale position.  False when
// this iterator has no position.
inline bool SamePosition(const IteratorData& self, const IteratorData& other) {
  return HasPosition(self) && self == other;
}

// What an iterator handed to a container designates in the container's tree.
enum class IteratorArgument {
  kAbsent,   // nil, or no position of the tree's case mode
  kGone,     // its element or tree no longer exists
  kForeign,  // a position of another tree
  kHere,
};

template <typename TreeS, typename TreeI, typename Tree>
IteratorArgument LocateArgument(Tree& tree, const ClassRecord& iteratorClass, REALobject iterator,
                                typename Tree::iterator* out) {
  if (iterator == nullptr) return IteratorArgument::kAbsent;
  IteratorData& p = *InstanceData<IteratorData>(iterator, iteratorClass);
  if (!HasPosition(p) || ModeOf(p) != Tree::kMode) return IteratorArgument::kAbsent;
  ResolvedPosition r = ResolvePosition<TreeS, TreeI>(p);
  if (r.kind == ResolvedPosition::kGone) return IteratorArgument::kGone;
  if (r.table != static_cast<PositionTable*>(&tree)) return IteratorArgument::kForeign;
  *out = tree.At(r);
  return IteratorArgument::kHere;
}

// Remove(pos): erases the element pos designates.  A stale pos raises; a nil
// or unpositioned one, or one of another tree, changes nothing.  Once pos is
// accepted, beforeChange runs (also for the end position, which removes
// nothing).
template <typename TreeS, typename TreeI, typename Tree, typename F>
void RemovePosition(Tree& tree, const ClassRecord& iteratorClass, REALobject pos,
                    F&& beforeChange) {
  typename Tree::iterator at;
  IteratorArgument a = LocateArgument<TreeS, TreeI>(tree, iteratorClass, pos, &at);
  if (a == IteratorArgument::kGone) RaiseNilObject(kIteratorNotInitialized);
  if (a != IteratorArgument::kHere) return;
  beforeChange();
  if (at != tree.end()) tree.Erase(at);
}

// Remove(first, last): erases [first, last) when last follows first in this
// tree.  Nil or unpositioned iterators are looked at first and change
// nothing; then a stale one raises; iterators of another tree, or a last
// that does not follow first, change nothing.
template <typename TreeS, typename TreeI, typename Tree, typename F>
void RemovePositionRange(Tree& tree, const ClassRecord& iteratorClass, REALobject first,
                         REALobject last, F&& beforeChange) {
  typename Tree::iterator from, to;
  IteratorArgument a = LocateArgument<TreeS, TreeI>(tree, iteratorClass, first, &from);
  IteratorArgument b = LocateArgument<TreeS, TreeI>(tree, iteratorClass, last, &to);
  if (a == IteratorArgument::kAbsent || b == IteratorArgument::kAbsent) return;
  if (a == IteratorArgument::kGone || b == IteratorArgument::kGone) {
    RaiseNilObject(kIteratorNotInitialized);
    return;
  }
  if (a == IteratorArgument::kForeign || b == IteratorArgument::kForeign) return;
  if (!tree.Follows(from, to)) return;
  beforeChange();
  tree.EraseRange(from, to);
}

// A stored value made from a reference whose lock the caller already owns.
template <typename T>
typename T::Stored AdoptStored(typename T::Arg owned) {
  if constexpr (std::is_same_v<typename T::Stored, typename T::Arg>)
    return owned;
  else
    return typename T::Stored(owned, AdoptLock{});
}

// An object reference the current call owns and gives back on every way out.
class OwnedObject {
 public:
  explicit OwnedObject(REALobject o) : object_(o) {}
  ~OwnedObject() {
    if (object_ != nullptr) REALUnlockObject(object_);
  }
  OwnedObject(const OwnedObject&) = delete;
  OwnedObject& operator=(const OwnedObject&) = delete;
  REALobject get() const { return object_; }
  // Hands the reference to the caller.
  REALobject Release() {
    REALobject o = object_;
    object_ = nullptr;
    return o;
  }

 private:
  REALobject object_;
};

}  // namespace kdt
