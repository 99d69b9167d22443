// The ordered set classes and their iterator classes, written once over the
// element traits.  A member of the family is a small struct naming its
// element kind and MaxSize; OrderedSetClass<Member> supplies every method
// function that the member's class records point at.
//
// A set keeps its elements in one of two trees, as the ordered maps do
// (treeS case-sensitive, treeI case-insensitive; Integer only treeS), in
// ascending order.  Elements are inserted, never replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <type_traits>
#include <utility>

#include "containers/common/ContainerSupport.h"
#include "containers/orderedmap/KeyIndex.h"
#include "containers/orderedmap/OrderedTree.h"
#include "values/HostBridge.h"
#include "values/ValueTraits.h"

namespace kdt {
namespace orderedset {

// The records of one member, filled when the family's records are built.
template <typename Member>
struct Records {
  static inline ClassRecord* set = nullptr;
  static inline ClassRecord* iterator = nullptr;
};

template <typename Member>
class OrderedSetClass {
 public:
  using ElementKind = typename Member::ElementKind;
  static constexpr bool kHasCaseModes = !std::is_same<ElementKind, IntegerKind>::value;
  // Variant elements are found through an index beside the tree (KeyIndex.h).
  static constexpr bool kIndexed = std::is_same<ElementKind, VariantKind>::value;

  template <CaseMode M>
  struct ModeTypes {
    using K = ValueTraits<ElementKind, M>;
    struct Element {
      typename K::Stored key;
      // Bookkeeping beside the immutable key: it changes while the element
      // sits in the tree.
      mutable RegisteredSlot slot;
    };
    // Ascending; lookups compare a borrowed key with the elements directly.
    struct Order {
      using is_transparent = void;
      static const typename K::Stored& KeyOf(const Element& e) { return e.key; }
      static const typename K::Stored& KeyOf(const typename K::Stored& k) { return k; }
      template <typename A, typename B>
      bool operator()(const A& a, const B& b) const {
        return typename K::Less()(KeyOf(a), KeyOf(b));
      }
    };
    using Container =
        std::conditional_t<kIndexed, std::multiset<Element, Order>, std::set<Element, Order>>;
    struct SlotOf {
      static const RegisteredSlot& Get(const Element& e) { return e.slot; }
    };
    struct KeyOfElement {
      static const typename K::Stored& Get(const Element& e) { return e.key; }
    };
    using Plain = PositionTree<Container, SlotOf>;
    using Indexed = IndexedTree<Plain, KeyOfElement, VariantIndexOrder<M>>;
    struct Tree : std::conditional_t<kIndexed, Indexed, Plain> {
      using KT = K;
      using KeyOf = KeyOfElement;
      static constexpr CaseMode kMode = M;
    };
  };
  using TreeS = typename ModeTypes<CaseMode::S>::Tree;
  using TreeI = std::conditional_t<kHasCaseModes, typename ModeTypes<CaseMode::I>::Tree, void>;
  using KeyArg = typename ValueTraits<ElementKind, CaseMode::S>::Arg;

  // Instance data of a set (16 bytes).
  struct SetData {
    TreeS* treeS;
    TreeI* treeI;
    uint8_t caseSensitive;  // read by the host itself (standard getter)
    uint8_t unused[3];
    REALarray keysCache;
  };
  static_assert(sizeof(SetData) == 16, "set instance data is 16 bytes");
  static constexpr uint32_t kCaseSensitiveOffset = 8;

  // ---- Properties.
  static int32_t MaxSize(REALobject self) {
    return WithSet<int32_t>(self, 0, [](auto&) { return Member::kMaxSize; });
  }
  static int32_t Count(REALobject self) {
    return WithSet<int32_t>(self, 0, [](auto& t) { return t.Count(); });
  }
  static uint32_t Empty(REALobject self) {
    return WithSet<uint32_t>(self, 0, [](auto& t) { return t.Count() == 0 ? 1u : 0u; });
  }

  // ---- Constructors.  Each builds its tree completely before it replaces
  // the set's content, so one that fails leaves the set as it was.
  static void ConstructWithCase(REALobject self, uint32_t caseSensitive) {
    GuardHostCall([&] {
      if (!kHasCaseModes || BooleanArgument(caseSensitive))
        Install(Data(self), std::make_unique<TreeS>(), true);
      else if constexpr (kHasCaseModes)
        Install(Data(self), std::make_unique<TreeI>(), false);
    });
  }
  static void Construct(REALobject self) { ConstructWithCase(self, 1); }
  // The array constructors build a case-sensitive set: their declarations
  // give the host no way to pass a mode, and case-sensitive is the other
  // constructor's default.
  static void ConstructFromArray(REALobject self, REALarray keys) {
    FillFromArray(self, keys, [](REALarray a, int32_t i) {
      KeyArg element{};
      HostArrayGet(a, i, &element);
      return AdoptStored<typename TreeS::KT>(element);
    });
  }
  // VariantOrderedSetKDT from a String array: each String becomes a Variant.
  static void ConstructFromStringArray(REALobject self, REALarray keys) {
    FillFromArray(self, keys, [](REALarray a, int32_t i) {
      REALstring s = nullptr;
      HostArrayGet(a, i, &s);
      REALobject v = VariantFromString(s);
      if (s != nullptr) REALUnlockString(s);
      return AdoptStored<typename TreeS::KT>(v);
    });
  }

  // ---- Whole-set changes and the array cache.
  static void Clear(REALobject self) {
    SetData* d = Data(self);
    if (!RequireTree(d)) return;
    DropCache(d);
    Dispatch(d, [](auto& t) { t.Clear(); });
  }
  // Without a tree or a cache, Key and Keys give nil: sets do not walk.
  static KeyArg KeyAtIndex(REALobject self, int32_t index) {
    SetData* d = Data(self);
    BuildCache(d);
    KeyArg out = KeyArg();
    if (d->keysCache != nullptr) HostArrayGet(d->keysCache, index, &out);
    return out;
  }
  static REALarray Keys(REALobject self) {
    SetData* d = Data(self);
    BuildCache(d);
    return ShareArray(d->keysCache);
  }

  // ---- Iterators handed out by the set.
  static REALobject First(REALobject self) {
    return WithSet<REALobject>(self, nullptr, [](auto& t) { return MakeIterator(t, t.begin()); });
  }
  static REALobject Last(REALobject self) {
    return WithSet<REALobject>(self, nullptr, [](auto& t) { return MakeIterator(t, t.end()); });
  }
  static REALobject Find(REALobject self, KeyArg key) {
    return Search(self, key, [](auto& t, const auto& k) { return kdt::FindKey(t, k); });
  }
  static REALobject LowerBound(REALobject self, KeyArg key) {
    return Search(self, key, [](auto& t, const auto& k) { return LowerBoundKey(t, k); });
  }
  static REALobject UpperBound(REALobject self, KeyArg key) {
    return Search(self, key, [](auto& t, const auto& k) { return UpperBoundKey(t, k); });
  }

  // ---- Removal.  Unlike the maps, a set without a tree ignores positions.
  static void RemoveAt(REALobject self, REALobject pos) {
    SetData* d = Data(self);
    if (!HasTree(d)) return;
    Dispatch(d, [&](auto& t) {
      RemovePosition<TreeS, TreeI>(t, *Records<Member>::iterator, pos, [&] { DropCache(d); });
    });
  }
  static void RemoveRange(REALobject self, REALobject first, REALobject last) {
    SetData* d = Data(self);
    if (!HasTree(d)) return;
    Dispatch(d, [&](auto& t) {
      RemovePositionRange<TreeS, TreeI>(t, *Records<Member>::iterator, first, last,
                                        [&] { DropCache(d); });
    });
  }
  static int32_t RemoveKey(REALobject self, KeyArg key) {
    SetData* d = Data(self);
    if (!RequireTree(d)) return 0;
    DropCache(d);
    return Dispatch(d, [&](auto& t) {
      auto at = FindKey(t, key);
      if (at == t.end()) return 0;
      t.Erase(at);
      return 1;
    });
  }

  // ---- Keyed access.
  static int32_t CountKey(REALobject self, KeyArg key) {
    return WithSet<int32_t>(self, 0, [&](auto& t) { return FindKey(t, key) != t.end() ? 1 : 0; });
  }
  static uint32_t Lookup(REALobject self, KeyArg key) {
    return WithSet<uint32_t>(self, 0,
                             [&](auto& t) { return FindKey(t, key) != t.end() ? 1u : 0u; });
  }
  // The element goes in at its lower bound unless an equal one is held,
  // which the set keeps.
  static void Insert(REALobject self, KeyArg key) {
    SetData* d = Data(self);
    if (!RequireTree(d)) return;
    DropCache(d);
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      using Element = typename ModeTypes<T::kMode>::Element;
      typename T::KT::Probe probe(key);
      FindOrInsert(t, probe.get(), [&](auto emplace) {
        return emplace(Element{T::KT::FromHost(key), {}});
      });
    });
  }

  static void Destroy(REALobject self) { Discard(Data(self)); }

  // ---- Iterator methods.  An iterator no set filled in steps nowhere,
  // silently; one whose element or set is gone raises.
  static void IteratorMoveNext(REALobject self) { Step<true>(self); }
  static void IteratorMovePrev(REALobject self) { Step<false>(self); }
  static KeyArg IteratorKey(REALobject self) {
    KeyArg out = KeyArg();
    PositionState state = VisitPosition<TreeS, TreeI>(*IterData(self), [&](auto& t, auto at) {
      using T = std::decay_t<decltype(t)>;
      if (at == t.end())
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      else
        out = T::KT::ToHost(at->key);
    });
    if (state != PositionState::kHere) RaiseNilObject(kIteratorNotInitialized);
    return out;
  }
  static uint32_t IteratorIsEqual(REALobject self, REALobject other) {
    return ComparePositions(self, other, true, kOtherIteratorIsNil);
  }
  static uint32_t IteratorIsNotEqual(REALobject self, REALobject other) {
    return ComparePositions(self, other, false, kIteratorIsNil);
  }

 private:
  static SetData* Data(REALobject self) {
    return InstanceData<SetData>(self, *Records<Member>::set);
  }
  static IteratorData* IterData(REALobject it) {
    return InstanceData<IteratorData>(it, *Records<Member>::iterator);
  }
  static bool HasTree(const SetData* d) {
    if constexpr (kHasCaseModes) return d->treeS != nullptr || d->treeI != nullptr;
    return d->treeS != nullptr;
  }
  static bool RequireTree(const SetData* d) {
    if (HasTree(d)) return true;
    RaiseNilObject(kSetNotInitialized);
    return false;
  }

  // Calls f with the set's tree (the case-sensitive one first); the set must
  // have one.
  template <typename F>
  static decltype(auto) Dispatch(SetData* d, F&& f) {
    if constexpr (kHasCaseModes) {
      if (d->treeS == nullptr) return f(*d->treeI);
    }
    return f(*d->treeS);
  }
  template <typename R, typename F>
  static R WithSet(REALobject self, R neutral, F&& f) {
    SetData* d = Data(self);
    if (!RequireTree(d)) return neutral;
    return Dispatch(d, f);
  }

  template <typename T>
  static typename T::iterator FindKey(T& t, KeyArg key) {
    typename T::KT::Probe probe(key);
    return kdt::FindKey(t, probe.get());
  }

  template <typename F>
  static REALobject Search(REALobject self, KeyArg key, F&& bound) {
    return WithSet<REALobject>(self, nullptr, [&](auto& t) {
      typename std::decay_t<decltype(t)>::KT::Probe probe(key);
      return MakeIterator(t, bound(t, probe.get()));
    });
  }

  template <typename T>
  static REALobject MakeIterator(T& t, typename T::iterator at) {
    return NewIterator(*Records<Member>::iterator, T::kMode, t.Token(at));
  }

  static void DropCache(SetData* d) { ReleaseArray(d->keysCache); }
  static void Discard(SetData* d) {
    DropCache(d);
    TreeS* s = d->treeS;
    d->treeS = nullptr;
    delete s;
    if constexpr (kHasCaseModes) {
      TreeI* i = d->treeI;
      d->treeI = nullptr;
      delete i;
    }
  }

  // Gives the set a complete tree in place of whatever it held.
  template <typename T>
  static void Install(SetData* d, std::unique_ptr<T> tree, bool caseSensitive) {
    Discard(d);
    if constexpr (T::kMode == CaseMode::S) {
      d->treeS = tree.release();
    } else {
      d->treeI = tree.release();
    }
    d->caseSensitive = kHasCaseModes && caseSensitive ? 1 : 0;
  }

  // A case-sensitive set of the array's elements, each read by
  // element(array, index) as a stored key that owns its lock.
  template <typename ReadElement>
  static void FillFromArray(REALobject self, REALarray array, ReadElement element) {
    GuardHostCall([&] {
      if (array == nullptr) {
        RaiseNilObject(kValuesArrayIsNil);
        return;
      }
      using Element = typename ModeTypes<CaseMode::S>::Element;
      auto tree = std::make_unique<TreeS>();
      int32_t upper = HostArrayUBound(array);
      for (int32_t i = 0; i <= upper; ++i) {
        typename TreeS::KT::Stored key = element(array, i);
        FindOrInsert(*tree, key, [&](auto emplace) {
          return emplace(Element{std::move(key), {}});
        });
      }
      Install(Data(self), std::move(tree), true);
    });
  }

  static void BuildCache(SetData* d) {
    if (d->keysCache != nullptr || !HasTree(d)) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      REALarray keys = HostArrayCreate(T::KT::kArrayType, t.Count() - 1);
      if (keys == nullptr) return;
      int32_t i = 0;
      for (const auto& e : t.items()) T::KT::ArraySet(keys, i++, e.key);
      d->keysCache = keys;
    });
  }

  template <bool Forward>
  static void Step(REALobject self) {
    if (StepPosition<TreeS, TreeI, Forward>(*IterData(self)) == PositionState::kGone)
      RaiseNilObject(kIteratorNotInitialized);
  }

  static uint32_t ComparePositions(REALobject self, REALobject other, bool equal,
                                   const char* message) {
    IteratorData* a = IterData(self);
    if (other == nullptr || !HasPosition(*a)) {
      RaiseNilObject(message);
      return 0;
    }
    return SamePosition(*a, *IterData(other)) == equal ? 1u : 0u;
  }
};

}  // namespace orderedset
}  // namespace kdt
