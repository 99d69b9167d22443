// The hash map classes and their iterator classes, written once over the key
// and value traits.  A member of the family is a small struct naming its key
// and value kinds; HashMapClass<Member> supplies every method function that
// the member's class records point at.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "containers/common/ChainedHashTable.h"
#include "containers/common/ContainerSupport.h"
#include "containers/common/HashPositions.h"
#include "values/HostBridge.h"
#include "values/ValueTraits.h"

namespace kdt {
namespace hashmap {

// Instance data of a map (24 bytes).
struct MapData {
  void* tableS;
  void* tableI;
  REALarray keysCache;
  REALarray valuesCache;
  uint8_t caseSensitive;
  uint8_t unused[7];
};
static_assert(sizeof(MapData) == 24, "map instance data is 24 bytes");
inline constexpr uint32_t kCaseSensitiveOffset = 16;

// The records of one member, filled when the family's records are built.
template <typename Member>
struct Records {
  static inline ClassRecord* map = nullptr;
  static inline ClassRecord* iterator = nullptr;
};

template <typename Member>
class HashMapClass {
 public:
  using KeyKind = typename Member::KeyKind;
  using ValueKind = typename Member::ValueKind;
  static constexpr bool kHasCaseModes = !std::is_same<KeyKind, IntegerKind>::value;

  template <CaseMode M>
  struct ModeTypes {
    using K = ValueTraits<KeyKind, M>;
    using V = ValueTraits<ValueKind, kHasCaseModes ? M : CaseMode::S>;
    struct Entry {
      // From a stored key (copies keep its cached hash) or a host argument.
      template <typename A>
      explicit Entry(const A& k) : key(k), value() {}
      typename K::Stored key;
      typename V::Stored value;
    };
    struct KeyOf {
      const typename K::Stored& operator()(const Entry& e) const { return e.key; }
    };
    struct Table : ChainedHashTable<Entry, KeyOf, typename K::Hash, typename K::Equal> {
      using KT = K;
      using VT = V;
      static constexpr CaseMode kMode = M;
    };
  };
  using TableS = typename ModeTypes<CaseMode::S>::Table;
  using TableI = typename ModeTypes<CaseMode::I>::Table;
  using KeyArg = typename ValueTraits<KeyKind, CaseMode::S>::Arg;
  using ValueArg = typename ValueTraits<ValueKind, CaseMode::S>::Arg;
  using Positions = HashPositions<TableS, TableI, kHasCaseModes>;

  // ---- Properties.
  static int32_t MaxSize(REALobject self) {
    return WithMap<int32_t>(self, 0, [](auto&) { return -1; });
  }
  static int32_t Count(REALobject self) {
    return WithMap<int32_t>(self, 0, [](auto& t) { return static_cast<int32_t>(t.size()); });
  }
  static int32_t BinCount(REALobject self) {
    return WithMap<int32_t>(self, 0,
                            [](auto& t) { return static_cast<int32_t>(t.bucket_count()); });
  }
  static uint32_t Empty(REALobject self) {
    return WithMap<uint32_t>(self, 0, [](auto& t) { return t.size() == 0 ? 1u : 0u; });
  }

  // ---- Constructors.
  static void ConstructWithCase(REALobject self, uint32_t caseSensitive) {
    GuardHostCall([&] { Reset(Data(self), BooleanArgument(caseSensitive)); });
  }
  static void Construct(REALobject self) { ConstructWithCase(self, 1); }
  static void ConstructFromDictionaryWithCase(REALobject self, REALobject dic,
                                              uint32_t caseSensitive) {
    GuardHostCall([&] {
      // Built aside and installed only when complete.
      MapData built{};
      Reset(&built, BooleanArgument(caseSensitive));
      try {
        if (dic != nullptr) Dispatch(&built, [&](auto& t) { FillFromDictionary(t, dic); });
      } catch (...) {
        Discard(&built);
        throw;
      }
      MapData* d = Data(self);
      Discard(d);
      d->caseSensitive = built.caseSensitive;
      d->tableS = built.tableS;
      d->tableI = built.tableI;
    });
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
      MapData* o = Data(other);
      // Copy first, then replace: a map constructed from itself keeps its entries.
      void* copyS = o->tableS != nullptr ? CopyTable(*static_cast<TableS*>(o->tableS)) : nullptr;
      void* copyI = nullptr;
      if constexpr (kHasCaseModes) {
        if (copyS == nullptr && o->tableI != nullptr)
          copyI = CopyTable(*static_cast<TableI*>(o->tableI));
      }
      uint8_t sensitivity = o->caseSensitive;
      Discard(d);
      if (copyS == nullptr && copyI == nullptr) {
        RaiseNilObject(kOtherMapNotInitialized);
        return;
      }
      d->caseSensitive = sensitivity;
      d->tableS = copyS;
      d->tableI = copyI;
    });
  }

  // ---- Copies and conversions.
  static REALobject CloneDictionary(REALobject self) {
    MapData* d = Data(self);
    if (!HasTable(d)) {
      RaiseNilObject(kOtherMapNotInitialized);
      return nullptr;
    }
    // Every reference the call makes is given back if a conversion fails.
    ObjectHandle dict(DictionaryNew(), AdoptLock{});
    if (dict.get() == nullptr) return nullptr;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      t.ForEach([&](const auto& e) {
        ObjectHandle k(T::KT::ToVariant(e.key), AdoptLock{});
        ObjectHandle v(T::VT::ToVariant(e.value), AdoptLock{});
        DictionarySetValue(dict.get(), k.get(), v.get());
      });
    });
    DictionaryCacheReset();
    return dict.Release();
  }

  static REALobject Clone(REALobject self) {
    MapData* d = Data(self);
    if (!HasTable(d)) {
      RaiseNilObject(kMapNotInitialized);
      return nullptr;
    }
    // A copy that cannot be completed is released, not handed out.
    ObjectHandle copy(PluginNewInstance(Records<Member>::map->name), AdoptLock{});
    if (copy.get() == nullptr) return nullptr;
    MapData* c = Data(copy.get());
    c->caseSensitive = d->caseSensitive;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      (T::kMode == CaseMode::S ? c->tableS : c->tableI) = CopyTable(t);
    });
    return copy.Release();
  }

  // ---- Whole-map changes and the array cache.
  static void Clear(REALobject self) {
    MapData* d = Data(self);
    if (!RequireTable(d)) return;
    DropCache(d);
    Dispatch(d, [](auto& t) { t.Clear(); });
  }

  static ValueArg ValueAtIndex(REALobject self, int32_t index) {
    return ReadAtIndex<ValueArg>(self, index, false);
  }
  static KeyArg KeyAtIndex(REALobject self, int32_t index) {
    return ReadAtIndex<KeyArg>(self, index, true);
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
  static void AddKeys(REALobject self, REALarray target) { AddTo(self, target, true); }
  static void AddValues(REALobject self, REALarray target) { AddTo(self, target, false); }

  // ---- Iterators handed out by the map.
  static REALobject First(REALobject self) {
    return WithMap<REALobject>(self, nullptr, [](auto& t) {
      auto* n = t.First();
      return MakeIterator(t, n != nullptr ? t.TokenOf(n) : t.EndToken());
    });
  }
  static REALobject Last(REALobject self) {
    return WithMap<REALobject>(self, nullptr,
                               [](auto& t) { return MakeIterator(t, t.EndToken()); });
  }
  static REALobject Find(REALobject self, KeyArg key) {
    return WithMap<REALobject>(self, nullptr, [&](auto& t) {
      auto* n = FindKey(t, key);
      return MakeIterator(t, n != nullptr ? t.TokenOf(n) : t.EndToken());
    });
  }

  // ---- Removal.
  static void RemoveAt(REALobject self, REALobject pos) {
    MapData* d = Data(self);
    if (!RequireTable(d) || pos == nullptr) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      ResolvedPosition p;
      if (!OwnPosition(t, pos, &p)) return;
      DropCache(d);
      if (p.kind == ResolvedPosition::kElement) t.Erase(static_cast<typename T::Node*>(p.element));
    });
  }
  static void RemoveRange(REALobject self, REALobject first, REALobject last) {
    MapData* d = Data(self);
    if (!RequireTable(d) || first == nullptr || last == nullptr) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      ResolvedPosition a, b;
      if (!OwnPosition(t, first, &a) || !OwnPosition(t, last, &b)) return;
      auto* from = static_cast<typename T::Node*>(a.element);
      auto* to = static_cast<typename T::Node*>(b.element);
      if (!t.IsRange(from, to)) return;
      DropCache(d);
      t.EraseRange(from, to);
    });
  }
  static int32_t RemoveKey(REALobject self, KeyArg key) {
    MapData* d = Data(self);
    if (!RequireTable(d)) return 0;
    DropCache(d);
    return Dispatch(d, [&](auto& t) {
      auto* n = FindKey(t, key);
      if (n == nullptr) return 0;
      t.Erase(n);
      return 1;
    });
  }

  // ---- Keyed access.
  static int32_t CountKey(REALobject self, KeyArg key) {
    return WithMap<int32_t>(self, 0, [&](auto& t) { return FindKey(t, key) != nullptr ? 1 : 0; });
  }
  static uint32_t HasKey(REALobject self, KeyArg key) {
    return WithMap<uint32_t>(self, 0,
                             [&](auto& t) { return FindKey(t, key) != nullptr ? 1u : 0u; });
  }
  static ValueArg GetValue(REALobject self, KeyArg key) {
    return WithMap<ValueArg>(self, ValueArg(), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      auto* n = FindKey(t, key);
      if (n == nullptr) {
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
        return ValueArg();
      }
      return T::VT::ToHost(n->value.value);
    });
  }
  static void SetValue(REALobject self, KeyArg key, ValueArg value) {
    MapData* d = Data(self);
    if (!RequireTable(d)) return;
    DropCache(d);
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      typename T::KT::Probe probe(key);
      auto* n = t.FindOrInsert(probe.get(), key).first;
      n->value.value = value;
    });
  }
  static ValueArg Lookup(REALobject self, KeyArg key, ValueArg fallback) {
    return WithMap<ValueArg>(self, ValueArg(), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      auto* n = FindKey(t, key);
      if (n != nullptr) return T::VT::ToHost(n->value.value);
      return T::VT::ToHost(typename T::VT::Stored(fallback));
    });
  }

  static void Destroy(REALobject self) { Discard(Data(self)); }

  // ---- Iterator methods.
  static void IteratorMoveNext(REALobject self) { Positions::MoveNext(*IterData(self), true); }
  static KeyArg IteratorKey(REALobject self) {
    return Positions::At(*IterData(self), KeyArg(), true, true, [](auto& t, auto* node) {
      return std::decay_t<decltype(t)>::KT::ToHost(node->value.key);
    });
  }
  static ValueArg IteratorGetValue(REALobject self) {
    return Positions::At(*IterData(self), ValueArg(), true, true, [](auto& t, auto* node) {
      return std::decay_t<decltype(t)>::VT::ToHost(node->value.value);
    });
  }
  static void IteratorSetValue(REALobject self, ValueArg value) {
    Positions::At(*IterData(self), 0, true, true, [&](auto&, auto* node) {
      node->value.value = value;
      return 0;
    });
  }
  static uint32_t IteratorIsEqual(REALobject self, REALobject other) {
    return Positions::Same(*IterData(self), OtherData(other), kOtherIteratorIsNil) == 1 ? 1u : 0u;
  }
  static uint32_t IteratorIsNotEqual(REALobject self, REALobject other) {
    return Positions::Same(*IterData(self), OtherData(other), kOtherIteratorIsNil) == 0 ? 1u : 0u;
  }

 private:
  static MapData* Data(REALobject self) {
    return InstanceData<MapData>(self, *Records<Member>::map);
  }
  static IteratorData* IterData(REALobject it) {
    return InstanceData<IteratorData>(it, *Records<Member>::iterator);
  }
  static bool HasTable(const MapData* d) { return d->tableS != nullptr || d->tableI != nullptr; }
  static bool RequireTable(const MapData* d) {
    if (HasTable(d)) return true;
    RaiseNilObject(kMapNotInitialized);
    return false;
  }

  template <typename F>
  static decltype(auto) Dispatch(MapData* d, F&& f) {
    return Positions::Dispatch(d, std::forward<F>(f));
  }
  template <typename R, typename F>
  static R WithMap(REALobject self, R neutral, F&& f) {
    MapData* d = Data(self);
    if (!RequireTable(d)) return neutral;
    return Dispatch(d, f);
  }

  template <typename T>
  static typename T::Node* FindKey(T& t, KeyArg key) {
    typename T::KT::Probe probe(key);
    return t.Find(probe.get());
  }

  static void DropCache(MapData* d) {
    ReleaseArray(d->valuesCache);
    ReleaseArray(d->keysCache);
  }
  static void Discard(MapData* d) {
    DropCache(d);
    delete static_cast<TableS*>(d->tableS);
    d->tableS = nullptr;
    if constexpr (kHasCaseModes) delete static_cast<TableI*>(d->tableI);
    d->tableI = nullptr;
  }
  static void Reset(MapData* d, bool caseSensitive) {
    Discard(d);
    if (!kHasCaseModes) caseSensitive = true;
    d->caseSensitive = kHasCaseModes && caseSensitive ? 1 : 0;
    if (caseSensitive) {
      d->tableS = new TableS();
    } else if constexpr (kHasCaseModes) {
      d->tableI = new TableI();
    }
  }

  template <typename T>
  static T* CopyTable(const T& source) {
    T* copy = new T();
    try {
      source.ForEach(
          [&](const auto& e) { copy->FindOrInsert(e.key, e.key).first->value.value = e.value; });
    } catch (...) {
      delete copy;
      throw;
    }
    return copy;
  }

  template <typename T>
  static void FillFromDictionary(T& t, REALobject dic) {
    int32_t count = DictionaryCount(dic);
    for (int32_t i = 0; i < count; ++i) {
      ObjectHandle k(DictionaryKeyAt(dic, i), AdoptLock{});
      ObjectHandle v(DictionaryGetValue(dic, k.get()), AdoptLock{});
      typename T::KT::Stored key = T::KT::FromVariant(k.get());
      typename T::VT::Stored value = T::VT::FromVariant(v.get());
      t.FindOrInsert(key, key).first->value.value = value;
    }
    DictionaryCacheReset();
  }

  static void BuildCache(MapData* d) {
    if (d->keysCache != nullptr || !HasTable(d)) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      int32_t upper = static_cast<int32_t>(t.size()) - 1;
      REALarray keys = HostArrayCreate(T::KT::kArrayType, upper);
      if (keys == nullptr) return;
      REALarray values = HostArrayCreate(T::VT::kArrayType, upper);
      if (values == nullptr) {
        REALUnlockObject(keys);
        return;
      }
      int32_t i = 0;
      t.ForEach([&](const auto& e) {
        T::KT::ArraySet(keys, i, e.key);
        T::VT::ArraySet(values, i, e.value);
        ++i;
      });
      d->keysCache = keys;
      d->valuesCache = values;
    });
  }

  template <typename R>
  static R ReadAtIndex(REALobject self, int32_t index, bool key) {
    MapData* d = Data(self);
    BuildCache(d);
    R out = R();
    if (d->keysCache != nullptr) {
      HostArrayGet(key ? d->keysCache : d->valuesCache, index, &out);
      return out;
    }
    if (!HasTable(d) || index < 0) return out;
    // No cache could be made: walk the table instead.
    return Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      int32_t i = 0;
      for (auto* n = t.First(); n != nullptr; n = t.Next(n), ++i) {
        if (i != index) continue;
        if constexpr (std::is_same<R, KeyArg>::value && std::is_same<R, ValueArg>::value) {
          return key ? T::KT::ToHost(n->value.key) : T::VT::ToHost(n->value.value);
        } else if constexpr (std::is_same<R, KeyArg>::value) {
          return T::KT::ToHost(n->value.key);
        } else {
          return T::VT::ToHost(n->value.value);
        }
      }
      return R();
    });
  }

  static void AddTo(REALobject self, REALarray target, bool keys) {
    if (target == nullptr) {
      RaiseNilObject(kArrayIsNil);
      return;
    }
    MapData* d = Data(self);
    if (!RequireTable(d)) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      int32_t i = 0;
      t.ForEach([&](const auto& e) {
        if (keys) {
          T::KT::ArrayInsert(target, i++, e.key);
        } else {
          T::VT::ArrayInsert(target, i++, e.value);
        }
      });
    });
  }

  template <typename T>
  static REALobject MakeIterator(T&, Position position) {
    return NewIterator(*Records<Member>::iterator, T::kMode, position);
  }

  static IteratorData* OtherData(REALobject other) {
    return other == nullptr ? nullptr : IterData(other);
  }
  template <typename T>
  static bool OwnPosition(T& t, REALobject it, ResolvedPosition* out) {
    return Positions::Own(t, *IterData(it), out);
  }
};

}  // namespace hashmap
}  // namespace kdt
