// The ordered map classes and their iterator classes, written once over the
// key and value traits.  A member of the family is a small struct naming its
// key and value kinds and its MaxSize; OrderedMapClass<Member> supplies every
// method function that the member's class records point at.
//
// A map keeps its entries in one of two trees: treeS compares keys
// case-sensitively, treeI case-insensitively; Integer keys have only treeS.
// Integer keys run in ascending order; String, Text and Variant keys from the
// greatest to the smallest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>

#include "containers/common/ContainerSupport.h"
#include "containers/orderedmap/KeyIndex.h"
#include "containers/orderedmap/OrderedTree.h"
#include "values/HostBridge.h"
#include "values/ValueTraits.h"

namespace kdt {
namespace orderedmap {

// The records of one member, filled when the family's records are built.
template <typename Member>
struct Records {
  static inline ClassRecord* map = nullptr;
  static inline ClassRecord* iterator = nullptr;
};

// The tree's order: Integer keys ascending, the others descending (of two
// keys the greater comes first).
template <typename K, bool Ascending>
struct KeyOrder {
  bool operator()(const typename K::Stored& a, const typename K::Stored& b) const {
    typename K::Less less;
    return Ascending ? less(a, b) : less(b, a);
  }
};

template <typename Member>
class OrderedMapClass {
 public:
  using KeyKind = typename Member::KeyKind;
  using ValueKind = typename Member::ValueKind;
  static constexpr bool kHasCaseModes = !std::is_same<KeyKind, IntegerKind>::value;
  // Variant keys are found through an index beside the tree (KeyIndex.h).
  static constexpr bool kIndexed = std::is_same<KeyKind, VariantKind>::value;

  template <CaseMode M>
  struct ModeTypes {
    using K = ValueTraits<KeyKind, M>;
    // Integer-keyed maps hold their values in the case-sensitive handles.
    using V = ValueTraits<ValueKind, kHasCaseModes ? M : CaseMode::S>;
    struct Mapped {
      typename V::Stored value;
      RegisteredSlot slot;
    };
    using Order = KeyOrder<K, !kHasCaseModes>;
    using Container = std::conditional_t<kIndexed, std::multimap<typename K::Stored, Mapped, Order>,
                                         std::map<typename K::Stored, Mapped, Order>>;
    struct SlotOf {
      static const RegisteredSlot& Get(const typename Container::value_type& e) {
        return e.second.slot;
      }
    };
    struct KeyOfEntry {
      static const typename K::Stored& Get(const typename Container::value_type& e) {
        return e.first;
      }
    };
    using Plain = PositionTree<Container, SlotOf>;
    using Indexed = IndexedTree<Plain, KeyOfEntry, VariantIndexOrder<M>>;
    struct Tree : std::conditional_t<kIndexed, Indexed, Plain> {
      using KT = K;
      using KeyOf = KeyOfEntry;
      using VT = V;
      static constexpr CaseMode kMode = M;
    };
  };
  using TreeS = typename ModeTypes<CaseMode::S>::Tree;
  using TreeI = std::conditional_t<kHasCaseModes, typename ModeTypes<CaseMode::I>::Tree, void>;
  using KeyArg = typename ValueTraits<KeyKind, CaseMode::S>::Arg;
  using ValueArg = typename ValueTraits<ValueKind, CaseMode::S>::Arg;

  // Instance data of a map (24 bytes).
  struct MapData {
    TreeS* treeS;
    TreeI* treeI;
    REALarray keysCache;
    REALarray valuesCache;
    uint8_t caseSensitive;  // read by the host itself (standard getter)
    uint8_t unused[7];
  };
  static_assert(sizeof(MapData) == 24, "map instance data is 24 bytes");
  static constexpr uint32_t kCaseSensitiveOffset = 16;

  // ---- Properties.
  static int32_t MaxSize(REALobject self) {
    return WithMap<int32_t>(self, 0, [](auto&) { return Member::kMaxSize; });
  }
  static int32_t Count(REALobject self) {
    return WithMap<int32_t>(self, 0, [](auto& t) { return t.Count(); });
  }
  static uint32_t Empty(REALobject self) {
    return WithMap<uint32_t>(self, 0, [](auto& t) { return t.Count() == 0 ? 1u : 0u; });
  }

  // ---- Constructors.  Each builds its tree completely before it replaces
  // the map's content, so one that fails leaves the map as it was.
  static void ConstructWithCase(REALobject self, uint32_t caseSensitive) {
    GuardHostCall([&] { Fill(Data(self), nullptr, BooleanArgument(caseSensitive)); });
  }
  static void Construct(REALobject self) { ConstructWithCase(self, 1); }
  static void ConstructFromDictionaryWithCase(REALobject self, REALobject dic,
                                              uint32_t caseSensitive) {
    GuardHostCall([&] { Fill(Data(self), dic, BooleanArgument(caseSensitive)); });
  }
  static void ConstructFromDictionary(REALobject self, REALobject dic) {
    ConstructFromDictionaryWithCase(self, dic, 1);
  }
  static void ConstructFromOther(REALobject self, REALobject other) {
    GuardHostCall([&] {
      if (other == nullptr) {
        RaiseNilObject(kOtherMapIsNil);
        return;
      }
      MapData* d = Data(self);
      // Copy first, then replace: a map constructed from itself keeps its entries.
      if (CopyInto(d, Data(other))) return;
      Discard(d);
      RaiseNilObject(kOtherMapNotInitialized);
    });
  }

  // ---- Copies and conversions.
  static REALobject CloneDictionary(REALobject self) {
    MapData* d = Data(self);
    if (!HasTree(d)) {
      RaiseNilObject(kOtherMapNotInitialized);
      return nullptr;
    }
    OwnedObject dict(DictionaryNew());
    if (dict.get() == nullptr) return nullptr;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      for (const auto& e : t.items()) {
        OwnedObject k(T::KT::ToVariant(e.first));
        OwnedObject v(T::VT::ToVariant(e.second.value));
        DictionarySetValue(dict.get(), k.get(), v.get());
      }
    });
    DictionaryCacheReset();
    return dict.Release();
  }

  static REALobject Clone(REALobject self) {
    MapData* d = Data(self);
    if (!HasTree(d)) {
      RaiseNilObject(kMapNotInitialized);
      return nullptr;
    }
    // A copy that cannot be completed is released, not handed out.
    OwnedObject copy(PluginNewInstance(Records<Member>::map->name));
    if (copy.get() != nullptr) CopyInto(Data(copy.get()), d);
    return copy.Release();
  }

  // ---- Whole-map changes and the array cache.
  static void Clear(REALobject self) {
    MapData* d = Data(self);
    if (!RequireTree(d)) return;
    DropCache(d);
    Dispatch(d, [](auto& t) { t.Clear(); });
  }

  static ValueArg ValueAtIndex(REALobject self, int32_t index) {
    return ReadAtIndex<false>(self, index);
  }
  static KeyArg KeyAtIndex(REALobject self, int32_t index) {
    return ReadAtIndex<true>(self, index);
  }
  static REALarray Keys(REALobject self) {
    MapData* d = Data(self);
    BuildCache(d);
    return ShareArray(d->keysCache);
  }
  static REALarray Values(REALobject self) {
    MapData* d = Data(self);
    BuildCache(d);
    return ShareArray(d->valuesCache);
  }
  static void AddKeys(REALobject self, REALarray target) { AddTo<true>(self, target); }
  static void AddValues(REALobject self, REALarray target) { AddTo<false>(self, target); }

  // ---- Iterators handed out by the map.
  static REALobject First(REALobject self) {
    return WithMap<REALobject>(self, nullptr, [](auto& t) { return MakeIterator(t, t.begin()); });
  }
  static REALobject Last(REALobject self) {
    return WithMap<REALobject>(self, nullptr, [](auto& t) { return MakeIterator(t, t.end()); });
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

  // ---- Removal.
  static void RemoveAt(REALobject self, REALobject pos) {
    MapData* d = Data(self);
    if (!RequireTree(d)) return;
    Dispatch(d, [&](auto& t) {
      RemovePosition<TreeS, TreeI>(t, *Records<Member>::iterator, pos, [&] { DropCache(d); });
    });
  }
  static void RemoveRange(REALobject self, REALobject first, REALobject last) {
    MapData* d = Data(self);
    if (!RequireTree(d)) return;
    Dispatch(d, [&](auto& t) {
      RemovePositionRange<TreeS, TreeI>(t, *Records<Member>::iterator, first, last,
                                        [&] { DropCache(d); });
    });
  }
  static int32_t RemoveKey(REALobject self, KeyArg key) {
    MapData* d = Data(self);
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
    return WithMap<int32_t>(self, 0, [&](auto& t) { return FindKey(t, key) != t.end() ? 1 : 0; });
  }
  static uint32_t HasKey(REALobject self, KeyArg key) {
    return WithMap<uint32_t>(self, 0,
                             [&](auto& t) { return FindKey(t, key) != t.end() ? 1u : 0u; });
  }
  static ValueArg GetValue(REALobject self, KeyArg key) {
    return WithMap<ValueArg>(self, ValueArg(), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      auto at = FindKey(t, key);
      if (at == t.end()) {
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
        return ValueArg();
      }
      return T::VT::ToHost(at->second.value);
    });
  }
  // Stores value under key: the value of an equal key is replaced (the
  // stored key handle stays), or a new entry goes in at the key's lower bound.
  static void SetValue(REALobject self, KeyArg key, ValueArg value) {
    MapData* d = Data(self);
    if (!RequireTree(d)) return;
    DropCache(d);
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      using Mapped = typename ModeTypes<T::kMode>::Mapped;
      typename T::KT::Probe probe(key);
      auto [at, inserted] = FindOrInsert(t, probe.get(), [&](auto emplace) {
        return emplace(T::KT::FromHost(key), Mapped{T::VT::FromHost(value), {}});
      });
      if (!inserted) at->second.value = value;
    });
  }
  static ValueArg Lookup(REALobject self, KeyArg key, ValueArg fallback) {
    return WithMap<ValueArg>(self, ValueArg(), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      auto at = FindKey(t, key);
      if (at != t.end()) return T::VT::ToHost(at->second.value);
      return T::VT::ToHost(typename T::VT::Stored(fallback));
    });
  }

  static void Destroy(REALobject self) { Discard(Data(self)); }

  // ---- Iterator methods.
  static void IteratorMoveNext(REALobject self) { Step<true>(self); }
  static void IteratorMovePrev(REALobject self) { Step<false>(self); }
  static KeyArg IteratorKey(REALobject self) {
    return AtEntry(self, KeyArg(), [](auto& t, auto at) {
      return std::decay_t<decltype(t)>::KT::ToHost(at->first);
    });
  }
  static ValueArg IteratorGetValue(REALobject self) {
    return AtEntry(self, ValueArg(), [](auto& t, auto at) {
      return std::decay_t<decltype(t)>::VT::ToHost(at->second.value);
    });
  }
  // Replaces the value in place; the map's array cache is left as it is.
  static void IteratorSetValue(REALobject self, ValueArg value) {
    AtEntry(self, 0, [&](auto&, auto at) {
      at->second.value = value;
      return 0;
    });
  }
  static uint32_t IteratorIsEqual(REALobject self, REALobject other) {
    return ComparePositions(self, other, true);
  }
  static uint32_t IteratorIsNotEqual(REALobject self, REALobject other) {
    return ComparePositions(self, other, false);
  }

 private:
  static MapData* Data(REALobject self) {
    return InstanceData<MapData>(self, *Records<Member>::map);
  }
  static IteratorData* IterData(REALobject it) {
    return InstanceData<IteratorData>(it, *Records<Member>::iterator);
  }
  static bool HasTree(const MapData* d) {
    if constexpr (kHasCaseModes) return d->treeS != nullptr || d->treeI != nullptr;
    return d->treeS != nullptr;
  }
  static bool RequireTree(const MapData* d) {
    if (HasTree(d)) return true;
    RaiseNilObject(kMapNotInitialized);
    return false;
  }

  // Calls f with the map's tree (the case-sensitive one first); the map must
  // have one.
  template <typename F>
  static decltype(auto) Dispatch(MapData* d, F&& f) {
    if constexpr (kHasCaseModes) {
      if (d->treeS == nullptr) return f(*d->treeI);
    }
    return f(*d->treeS);
  }
  template <typename R, typename F>
  static R WithMap(REALobject self, R neutral, F&& f) {
    MapData* d = Data(self);
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
    return WithMap<REALobject>(self, nullptr, [&](auto& t) {
      typename std::decay_t<decltype(t)>::KT::Probe probe(key);
      return MakeIterator(t, bound(t, probe.get()));
    });
  }

  template <typename T>
  static REALobject MakeIterator(T& t, typename T::iterator at) {
    return NewIterator(*Records<Member>::iterator, T::kMode, t.Token(at));
  }

  static void DropCache(MapData* d) {
    ReleaseArray(d->valuesCache);
    ReleaseArray(d->keysCache);
  }
  static void Discard(MapData* d) {
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

  // Gives the map a complete tree in place of whatever it held.
  template <typename T>
  static void Install(MapData* d, std::unique_ptr<T> tree, bool caseSensitive) {
    Discard(d);
    if constexpr (T::kMode == CaseMode::S) {
      d->treeS = tree.release();
    } else {
      d->treeI = tree.release();
    }
    d->caseSensitive = kHasCaseModes && caseSensitive ? 1 : 0;
  }

  // Copies source's tree into d; false when source has none.
  static bool CopyInto(MapData* d, MapData* source) {
    if (!HasTree(source)) return false;
    bool caseSensitive = source->caseSensitive != 0;
    Dispatch(source, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      Install(d, std::make_unique<T>(t), caseSensitive);
    });
    return true;
  }

  // The constructors: an empty tree of the chosen mode, filled from dic
  // when there is one.
  static void Fill(MapData* d, REALobject dic, bool caseSensitive) {
    if (!kHasCaseModes || caseSensitive) {
      Install(d, FromDictionary<TreeS>(dic), true);
    } else if constexpr (kHasCaseModes) {
      Install(d, FromDictionary<TreeI>(dic), false);
    }
  }

  // Later entries whose keys equal an earlier one replace its value; the
  // map keeps the key handle of the first.
  template <typename T>
  static std::unique_ptr<T> FromDictionary(REALobject dic) {
    auto tree = std::make_unique<T>();
    if (dic == nullptr) return tree;
    struct CacheReset {
      ~CacheReset() { DictionaryCacheReset(); }
    } reset;
    using Mapped = typename ModeTypes<T::kMode>::Mapped;
    int32_t count = DictionaryCount(dic);
    for (int32_t i = 0; i < count; ++i) {
      OwnedObject k(DictionaryKeyAt(dic, i));
      OwnedObject v(DictionaryGetValue(dic, k.get()));
      typename T::KT::Stored key = T::KT::FromVariant(k.get());
      typename T::VT::Stored value = T::VT::FromVariant(v.get());
      auto [at, inserted] = FindOrInsert(*tree, key, [&](auto emplace) {
        return emplace(std::move(key), Mapped{std::move(value), {}});
      });
      if (!inserted) at->second.value = std::move(value);
    }
    return tree;
  }

  static void BuildCache(MapData* d) {
    if (d->keysCache != nullptr || !HasTree(d)) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      int32_t upper = t.Count() - 1;
      REALarray keys = HostArrayCreate(T::KT::kArrayType, upper);
      if (keys == nullptr) return;
      REALarray values = HostArrayCreate(T::VT::kArrayType, upper);
      if (values == nullptr) {
        ReleaseArray(keys);
        return;
      }
      int32_t i = 0;
      for (const auto& e : t.items()) {
        T::KT::ArraySet(keys, i, e.first);
        T::VT::ArraySet(values, i, e.second.value);
        ++i;
      }
      d->keysCache = keys;
      d->valuesCache = values;
    });
  }

  template <bool OfKeys>
  static std::conditional_t<OfKeys, KeyArg, ValueArg> ReadAtIndex(REALobject self, int32_t index) {
    using R = std::conditional_t<OfKeys, KeyArg, ValueArg>;
    MapData* d = Data(self);
    BuildCache(d);
    R out = R();
    if (d->keysCache != nullptr) {
      HostArrayGet(OfKeys ? d->keysCache : d->valuesCache, index, &out);
      return out;
    }
    if (!HasTree(d)) return out;
    // No cache could be made: walk the tree instead.
    return Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      if (index < 0 || index >= t.Count()) return R();
      auto at = std::next(t.begin(), index);
      if constexpr (OfKeys)
        return T::KT::ToHost(at->first);
      else
        return T::VT::ToHost(at->second.value);
    });
  }

  template <bool OfKeys>
  static void AddTo(REALobject self, REALarray target) {
    if (target == nullptr) {
      RaiseNilObject(kArrayIsNil);
      return;
    }
    MapData* d = Data(self);
    if (!RequireTree(d)) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      int32_t i = 0;
      for (const auto& e : t.items()) {
        if constexpr (OfKeys)
          T::KT::ArrayInsert(target, i++, e.first);
        else
          T::VT::ArrayInsert(target, i++, e.second.value);
      }
    });
  }

  template <bool Forward>
  static void Step(REALobject self) {
    if (StepPosition<TreeS, TreeI, Forward>(*IterData(self)) != PositionState::kHere)
      RaiseNilObject(kIteratorNotInitialized);
  }

  // Runs f(tree, entry) at the iterator's entry.  Raises for an iterator
  // without a live position, and "Key not found" at the end position.
  template <typename R, typename F>
  static R AtEntry(REALobject self, R neutral, F&& f) {
    R out = neutral;
    PositionState state = VisitPosition<TreeS, TreeI>(*IterData(self), [&](auto& t, auto at) {
      if (at == t.end())
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      else
        out = f(t, at);
    });
    if (state != PositionState::kHere) RaiseNilObject(kIteratorNotInitialized);
    return out;
  }

  static uint32_t ComparePositions(REALobject self, REALobject other, bool equal) {
    IteratorData* a = IterData(self);
    if (other == nullptr || !HasPosition(*a)) {
      RaiseNilObject(kOtherIteratorIsNil);
      return 0;
    }
    return SamePosition(*a, *IterData(other)) == equal ? 1u : 0u;
  }
};

}  // namespace orderedmap
}  // namespace kdt
