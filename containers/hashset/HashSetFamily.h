// The hash set classes and their iterator classes, written once over the
// element traits: the hash map design without values, on the same table.
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
namespace hashset {

// Instance data of a set (16 bytes).
struct SetData {
  void* tableS;
  void* tableI;
  uint8_t caseSensitive;
  uint8_t unused[3];
  REALarray keysCache;
};
static_assert(sizeof(SetData) == 16, "set instance data is 16 bytes");
inline constexpr uint32_t kCaseSensitiveOffset = 8;

template <typename Member>
struct Records {
  static inline ClassRecord* set = nullptr;
  static inline ClassRecord* iterator = nullptr;
};

// The case mode of sets built from an array: the declarations give the host
// no way to pass one, so they compare as the other constructor does by
// default, case-sensitively.
inline constexpr bool kArraySetsCaseSensitive = true;

template <typename Member>
class HashSetClass {
 public:
  using ElementKind = typename Member::ElementKind;
  static constexpr bool kHasCaseModes = !std::is_same<ElementKind, IntegerKind>::value;

  template <CaseMode M>
  struct ModeTypes {
    using K = ValueTraits<ElementKind, M>;
    struct KeyOf {
      const typename K::Stored& operator()(const typename K::Stored& e) const { return e; }
    };
    struct Table
        : ChainedHashTable<typename K::Stored, KeyOf, typename K::Hash, typename K::Equal> {
      using KT = K;
      static constexpr CaseMode kMode = M;
    };
  };
  using TableS = typename ModeTypes<CaseMode::S>::Table;
  using TableI = typename ModeTypes<CaseMode::I>::Table;
  using KeyArg = typename ValueTraits<ElementKind, CaseMode::S>::Arg;
  using Positions = HashPositions<TableS, TableI, kHasCaseModes>;

  // ---- Properties.
  static int32_t MaxSize(REALobject self) {
    return WithSet<int32_t>(self, 0, [](auto&) { return -1; });
  }
  static int32_t Count(REALobject self) {
    return WithSet<int32_t>(self, 0, [](auto& t) { return static_cast<int32_t>(t.size()); });
  }
  static int32_t BinCount(REALobject self) {
    return WithSet<int32_t>(self, 0,
                            [](auto& t) { return static_cast<int32_t>(t.bucket_count()); });
  }
  static uint32_t Empty(REALobject self) {
    return WithSet<uint32_t>(self, 0, [](auto& t) { return t.size() == 0 ? 1u : 0u; });
  }

  // ---- Constructors.
  static void ConstructWithCase(REALobject self, uint32_t caseSensitive) {
    GuardHostCall([&] { Reset(Data(self), BooleanArgument(caseSensitive)); });
  }
  static void Construct(REALobject self) { ConstructWithCase(self, 1); }
  // Elements read from an array of the set's own element type.
  static void ConstructFromArray(REALobject self, REALarray elements) {
    FillFromArray<ElementKind>(self, elements);
  }
  // Variant sets from a String array: each String becomes a new Variant.
  static void ConstructFromStringArray(REALobject self, REALarray elements) {
    FillFromArray<StringKind>(self, elements);
  }

  // ---- Whole-set changes and the array cache.
  static void Clear(REALobject self) {
    SetData* d = Data(self);
    if (!RequireTable(d)) return;
    ReleaseArray(d->keysCache);
    Positions::Dispatch(d, [](auto& t) { t.Clear(); });
  }
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
    return WithSet<REALobject>(self, nullptr, [](auto& t) {
      auto* n = t.First();
      return MakeIterator(t, n != nullptr ? t.TokenOf(n) : t.EndToken());
    });
  }
  static REALobject Last(REALobject self) {
    return WithSet<REALobject>(self, nullptr,
                               [](auto& t) { return MakeIterator(t, t.EndToken()); });
  }
  static REALobject Find(REALobject self, KeyArg key) {
    return WithSet<REALobject>(self, nullptr, [&](auto& t) {
      auto* n = FindKey(t, key);
      return MakeIterator(t, n != nullptr ? t.TokenOf(n) : t.EndToken());
    });
  }

  // ---- Removal.  A set without a table ignores positions.
  static void RemoveAt(REALobject self, REALobject pos) {
    SetData* d = Data(self);
    if (!HasTable(d) || pos == nullptr) return;
    Positions::Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      ResolvedPosition p;
      if (!Positions::Own(t, *IterData(pos), &p)) return;
      ReleaseArray(d->keysCache);
      if (p.kind == ResolvedPosition::kElement) t.Erase(static_cast<typename T::Node*>(p.element));
    });
  }
  static void RemoveRange(REALobject self, REALobject first, REALobject last) {
    SetData* d = Data(self);
    if (!HasTable(d) || first == nullptr || last == nullptr) return;
    Positions::Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      ResolvedPosition a, b;
      if (!Positions::Own(t, *IterData(first), &a) || !Positions::Own(t, *IterData(last), &b))
        return;
      auto* from = static_cast<typename T::Node*>(a.element);
      auto* to = static_cast<typename T::Node*>(b.element);
      if (!t.IsRange(from, to)) return;
      ReleaseArray(d->keysCache);
      t.EraseRange(from, to);
    });
  }
  static int32_t RemoveKey(REALobject self, KeyArg key) {
    SetData* d = Data(self);
    if (!RequireTable(d)) return 0;
    ReleaseArray(d->keysCache);
    return Positions::Dispatch(d, [&](auto& t) {
      auto* n = FindKey(t, key);
      if (n == nullptr) return 0;
      t.Erase(n);
      return 1;
    });
  }

  // ---- Membership.
  static int32_t CountKey(REALobject self, KeyArg key) {
    return WithSet<int32_t>(self, 0, [&](auto& t) { return FindKey(t, key) != nullptr ? 1 : 0; });
  }
  static uint32_t Lookup(REALobject self, KeyArg key) {
    return WithSet<uint32_t>(self, 0,
                             [&](auto& t) { return FindKey(t, key) != nullptr ? 1u : 0u; });
  }
  static void Insert(REALobject self, KeyArg key) {
    SetData* d = Data(self);
    if (!RequireTable(d)) return;
    ReleaseArray(d->keysCache);
    Positions::Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      typename T::KT::Probe probe(key);
      t.FindOrInsert(probe.get(), key);
    });
  }

  static void Destroy(REALobject self) { Discard(Data(self)); }

  // ---- Iterator methods.
  static void IteratorMoveNext(REALobject self) { Positions::MoveNext(*IterData(self), false); }
  static KeyArg IteratorKey(REALobject self) {
    return Positions::At(*IterData(self), KeyArg(), true, true, [](auto& t, auto* node) {
      return std::decay_t<decltype(t)>::KT::ToHost(node->value);
    });
  }
  static uint32_t IteratorIsEqual(REALobject self, REALobject other) {
    return Positions::Same(*IterData(self), OtherData(other), kOtherIteratorIsNil) == 1 ? 1u : 0u;
  }
  static uint32_t IteratorIsNotEqual(REALobject self, REALobject other) {
    return Positions::Same(*IterData(self), OtherData(other), kIteratorIsNil) == 0 ? 1u : 0u;
  }

 private:
  static SetData* Data(REALobject self) {
    return InstanceData<SetData>(self, *Records<Member>::set);
  }
  static IteratorData* IterData(REALobject it) {
    return InstanceData<IteratorData>(it, *Records<Member>::iterator);
  }
  static IteratorData* OtherData(REALobject other) {
    return other == nullptr ? nullptr : IterData(other);
  }
  static bool HasTable(const SetData* d) { return d->tableS != nullptr || d->tableI != nullptr; }
  static bool RequireTable(const SetData* d) {
    if (HasTable(d)) return true;
    RaiseNilObject(kSetNotInitialized);
    return false;
  }
  template <typename R, typename F>
  static R WithSet(REALobject self, R neutral, F&& f) {
    SetData* d = Data(self);
    if (!RequireTable(d)) return neutral;
    return Positions::Dispatch(d, f);
  }

  template <typename T>
  static typename T::Node* FindKey(T& t, KeyArg key) {
    typename T::KT::Probe probe(key);
    return t.Find(probe.get());
  }

  static void Discard(SetData* d) {
    ReleaseArray(d->keysCache);
    delete static_cast<TableS*>(d->tableS);
    d->tableS = nullptr;
    if constexpr (kHasCaseModes) delete static_cast<TableI*>(d->tableI);
    d->tableI = nullptr;
  }
  static void Reset(SetData* d, bool caseSensitive) {
    Discard(d);
    if (!kHasCaseModes) caseSensitive = true;
    d->caseSensitive = kHasCaseModes && caseSensitive ? 1 : 0;
    if (caseSensitive) {
      d->tableS = new TableS();
    } else if constexpr (kHasCaseModes) {
      d->tableI = new TableI();
    }
  }

  // Builds the set from a host array whose elements are of kind Source.  A
  // table the set already holds is released, with its elements, once the new
  // one is complete.
  template <typename Source>
  static void FillFromArray(REALobject self, REALarray elements) {
    GuardHostCall([&] {
      if (elements == nullptr) {
        RaiseNilObject(kValuesArrayIsNil);
        return;
      }
      // Built aside and installed only when complete.
      SetData built{};
      Reset(&built, kArraySetsCaseSensitive);
      try {
        int32_t upper = HostArrayUBound(elements);
        Positions::Dispatch(&built, [&](auto& t) {
          using T = std::decay_t<decltype(t)>;
          using SourceTraits = ValueTraits<Source, CaseMode::S>;
          for (int32_t i = 0; i <= upper; ++i) {
            typename SourceTraits::Arg element = typename SourceTraits::Arg();
            SourceTraits::ArrayGet(elements, i, &element);
            typename T::KT::Stored key = Adopt<T>(element);
            t.FindOrInsert(key, key);
          }
        });
      } catch (...) {
        Discard(&built);
        throw;
      }
      SetData* d = Data(self);
      Discard(d);
      d->caseSensitive = built.caseSensitive;
      d->tableS = built.tableS;
      d->tableI = built.tableI;
    });
  }
  // A stored element taking over the lock an array read handed out.
  template <typename T, typename A>
  static typename T::KT::Stored Adopt(A element) {
    if constexpr (std::is_same<A, int32_t>::value) {
      return element;
    } else if constexpr (std::is_same<ElementKind, VariantKind>::value &&
                         std::is_same<A, REALstring>::value) {
      typename ValueTraits<StringKind, CaseMode::S>::Stored text(element, AdoptLock{});
      return typename T::KT::Stored(VariantFromString(element), AdoptLock{});
    } else {
      return typename T::KT::Stored(element, AdoptLock{});
    }
  }

  static void BuildCache(SetData* d) {
    if (d->keysCache != nullptr || !HasTable(d)) return;
    Positions::Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      REALarray keys = HostArrayCreate(T::KT::kArrayType, static_cast<int32_t>(t.size()) - 1);
      if (keys == nullptr) return;
      int32_t i = 0;
      t.ForEach([&](const auto& e) { T::KT::ArraySet(keys, i++, e); });
      d->keysCache = keys;
    });
  }

  template <typename T>
  static REALobject MakeIterator(T&, Position position) {
    return NewIterator(*Records<Member>::iterator, T::kMode, position);
  }
};

}  // namespace hashset
}  // namespace kdt
