// The ordered map classes and their iterator classes, written once over the
// value traits.  A member is a row of the table in OrderedMaps.cpp: key kind,
// value kind, type words, class names and the MaxSize constant.
//
// A map keeps its entries in one of two trees: treeS compares keys
// case-sensitively, treeI case-insensitively; Integer keys have only treeS.
// Integer keys run in ascending order, String, Text and Variant keys from the
// greatest to the smallest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "containers/common/ClassBuilder.h"
#include "containers/common/ContainerSupport.h"
#include "containers/orderedmap/OrderedTree.h"
#include "plugin/ClassRecords.h"
#include "plugin/Registration.h"
#include "values/HostBridge.h"
#include "values/ValueTraits.h"

namespace kdt {

// The tree's order: Integer keys ascending, the others descending (a key
// comes first when it is the greater one).
template <typename K, bool Ascending>
struct MapKeyOrder {
  bool operator()(const typename K::Stored& a, const typename K::Stored& b) const {
    typename K::Less less;
    return Ascending ? less(a, b) : less(b, a);
  }
};

template <typename K, typename V, bool Ascending>
struct MapTreeOf {
  struct Mapped {
    typename V::Stored value;
    RegisteredSlot slot;
  };
  using Container = std::map<typename K::Stored, Mapped, MapKeyOrder<K, Ascending>>;
  struct SlotOf {
    static const RegisteredSlot& Get(const typename Container::value_type& e) {
      return e.second.slot;
    }
  };
  using Tree = PositionTree<Container, SlotOf>;
};

template <typename Member>
class OrderedMapClass {
  using KeyKind = typename Member::Key;
  using ValueKind = typename Member::Value;
  static constexpr bool kIntegerKeys = std::is_same_v<KeyKind, IntegerKind>;

  // Integer-keyed maps keep their values in the case-sensitive handles.
  template <CaseMode M>
  using KeyOf = ValueTraits<KeyKind, M>;
  template <CaseMode M>
  using ValueOf = ValueTraits<ValueKind, kIntegerKeys ? CaseMode::S : M>;
  template <CaseMode M>
  using TreeOf = typename MapTreeOf<KeyOf<M>, ValueOf<M>, kIntegerKeys>::Tree;
  template <CaseMode M>
  using MappedOf = typename MapTreeOf<KeyOf<M>, ValueOf<M>, kIntegerKeys>::Mapped;

  using TreeS = TreeOf<CaseMode::S>;
  using TreeI = std::conditional_t<kIntegerKeys, void, TreeOf<CaseMode::I>>;
  using KeyArg = typename KeyOf<CaseMode::S>::Arg;
  using ValueArg = typename ValueOf<CaseMode::S>::Arg;
  // Map iterators keep positionI in word 0 and positionS in word 1.
  using Layout = IteratorLayout<1>;

  struct Data {
    TreeS* treeS;
    TreeI* treeI;
    REALarray keysCache;
    REALarray valuesCache;
    uint8_t caseSensitive;  // read by the host itself (standard getter)
    uint8_t padding[7];
  };
  static_assert(sizeof(Data) == 24, "map instance data is 24 bytes");
  static_assert(offsetof(Data, caseSensitive) == kCaseSensitiveOffset, "CaseSensitive byte");

  static inline ClassRecord* mapRecord = nullptr;
  static inline ClassRecord* iteratorRecord = nullptr;

 public:
  static constexpr uint32_t kCaseSensitiveOffset = 16;

  static void Provide(ClassRecordSink& sink) {
    if (mapRecord == nullptr) BuildRecords();
    sink.Add(mapRecord);
    sink.Add(iteratorRecord);
  }

 private:
  static Data* MapData(REALobject self) { return InstanceData<Data>(self, *mapRecord); }
  static IteratorData* IterData(REALobject it) {
    return InstanceData<IteratorData>(it, *iteratorRecord);
  }

  // Calls f(tree, ModeTag) on the map's tree, the case-sensitive one first;
  // false when the map has none.
  template <typename F>
  static bool WithTree(Data* d, F&& f) {
    if (d->treeS != nullptr) {
      f(*d->treeS, ModeTag<CaseMode::S>{});
      return true;
    }
    if constexpr (!kIntegerKeys) {
      if (d->treeI != nullptr) {
        f(*d->treeI, ModeTag<CaseMode::I>{});
        return true;
      }
    }
    return false;
  }

  static bool HasTree(const Data* d) {
    if constexpr (kIntegerKeys)
      return d->treeS != nullptr;
    else
      return d->treeS != nullptr || d->treeI != nullptr;
  }

  // The map's tree, or a raise of `message` and false.
  template <typename F>
  static bool WithTreeOrRaise(Data* d, const char* message, F&& f) {
    if (WithTree(d, std::forward<F>(f))) return true;
    RaiseNilObject(message);
    return false;
  }

  static void DropCache(Data* d) {
    ReleaseArray(d->keysCache);
    ReleaseArray(d->valuesCache);
  }

  static void DiscardTrees(Data* d) {
    TreeS* s = d->treeS;
    d->treeS = nullptr;
    delete s;
    if constexpr (!kIntegerKeys) {
      TreeI* i = d->treeI;
      d->treeI = nullptr;
      delete i;
    }
  }

  // Replaces the map's content by a tree that is already complete, so that a
  // constructor that fails half-way leaves the map as it was.
  template <CaseMode M>
  static void Install(Data* d, std::unique_ptr<TreeOf<M>> tree, bool caseSensitive) {
    DropCache(d);
    DiscardTrees(d);
    if constexpr (M == CaseMode::S) {
      d->treeS = tree.release();
    } else {
      d->treeI = tree.release();
    }
    if constexpr (!kIntegerKeys) d->caseSensitive = caseSensitive ? 1 : 0;
  }

  // Stores value under key: one lower-bound search, then the value of an
  // equal key is replaced (its key handle stays) or a new entry goes in at
  // that bound.
  template <CaseMode M>
  static void Store(TreeOf<M>& tree, typename KeyOf<M>::Stored&& key,
                    typename ValueOf<M>::Stored&& value) {
    auto& items = tree.items();
    auto at = items.lower_bound(key);
    if (at != items.end() && !items.key_comp()(key, at->first)) {
      at->second.value = std::move(value);
      return;
    }
    tree.EmplaceAt(at, std::move(key), MappedOf<M>{std::move(value), {}});
  }

  // ---- Constructors (all under the exception ladder).

  template <CaseMode M>
  static std::unique_ptr<TreeOf<M>> FromDictionary(REALobject dic) {
    using K = KeyOf<M>;
    using V = ValueOf<M>;
    auto tree = std::make_unique<TreeOf<M>>();
    if (dic == nullptr) return tree;
    struct CacheReset {
      ~CacheReset() { DictionaryCacheReset(); }
    } reset;
    const int32_t n = DictionaryCount(dic);
    for (int32_t i = 0; i < n; ++i) {
      OwnedObject key(DictionaryKeyAt(dic, i));
      OwnedObject value(DictionaryGetValue(dic, key.get()));
      Store<M>(*tree, K::FromVariant(key.get()), V::FromVariant(value.get()));
    }
    return tree;
  }

  static void Construct(REALobject self, REALobject dic, bool caseSensitive) {
    Data* d = MapData(self);
    if (kIntegerKeys || caseSensitive)
      Install<CaseMode::S>(d, FromDictionary<CaseMode::S>(dic), true);
    else if constexpr (!kIntegerKeys)
      Install<CaseMode::I>(d, FromDictionary<CaseMode::I>(dic), false);
  }

  static void ConstructEmpty(REALobject self) {
    GuardHostCall([&] { Construct(self, nullptr, true); });
  }
  static void ConstructCase(REALobject self, uint32_t caseSensitive) {
    GuardHostCall([&] { Construct(self, nullptr, BooleanArgument(caseSensitive)); });
  }
  static void ConstructDictionary(REALobject self, REALobject dic) {
    GuardHostCall([&] { Construct(self, dic, true); });
  }
  static void ConstructDictionaryCase(REALobject self, REALobject dic, uint32_t caseSensitive) {
    GuardHostCall([&] { Construct(self, dic, BooleanArgument(caseSensitive)); });
  }

  // Copies other's tree into d (the copy is made before d's own trees go, so
  // a map copied onto itself keeps its entries).  False when other has none.
  static bool CopyTree(Data* d, Data* other) {
    if (other->treeS != nullptr) {
      Install<CaseMode::S>(d, std::make_unique<TreeS>(*other->treeS), other->caseSensitive != 0);
      return true;
    }
    if constexpr (!kIntegerKeys) {
      if (other->treeI != nullptr) {
        Install<CaseMode::I>(d, std::make_unique<TreeI>(*other->treeI), other->caseSensitive != 0);
        return true;
      }
    }
    return false;
  }

  static void ConstructCopy(REALobject self, REALobject other) {
    GuardHostCall([&] {
      if (other == nullptr) {
        RaiseNilObject(kOtherMapIsNil);
        return;
      }
      Data* d = MapData(self);
      if (CopyTree(d, MapData(other))) return;
      DropCache(d);
      DiscardTrees(d);
      RaiseNilObject(kOtherMapNotInitialized);
    });
  }

  static void Destroy(REALobject self) {
    Data* d = MapData(self);
    DropCache(d);
    DiscardTrees(d);
  }

  // ---- Properties.

  static int32_t MaxSize(REALobject self) {
    if (HasTree(MapData(self))) return Member::kMaxSize;
    RaiseNilObject(kMapNotInitialized);
    return 0;
  }
  static int32_t Count(REALobject self) {
    int32_t n = 0;
    WithTreeOrRaise(MapData(self), kMapNotInitialized, [&](auto& tree, auto) { n = tree.Count(); });
    return n;
  }
  static uint32_t Empty(REALobject self) {
    bool empty = false;
    WithTreeOrRaise(MapData(self), kMapNotInitialized,
                    [&](auto& tree, auto) { empty = tree.Count() == 0; });
    return empty ? 1 : 0;
  }

  // ---- Conversions.

  static REALobject CloneDictionary(REALobject self) {
    Data* d = MapData(self);
    if (!HasTree(d)) {
      RaiseNilObject(kOtherMapNotInitialized);
      return nullptr;
    }
    REALobject dic = DictionaryNew();
    if (dic == nullptr) return nullptr;
    WithTree(d, [&](auto& tree, auto mode) {
      using K = KeyOf<decltype(mode)::value>;
      using V = ValueOf<decltype(mode)::value>;
      for (const auto& entry : tree.items()) {
        OwnedObject key(K::ToVariant(entry.first));
        OwnedObject value(V::ToVariant(entry.second.value));
        DictionarySetValue(dic, key.get(), value.get());
      }
    });
    DictionaryCacheReset();
    return dic;
  }

  static REALobject Clone(REALobject self) {
    Data* d = MapData(self);
    if (!HasTree(d)) {
      RaiseNilObject(kMapNotInitialized);
      return nullptr;
    }
    REALobject copy = PluginNewInstance(mapRecord->name);
    if (copy != nullptr) CopyTree(MapData(copy), d);
    return copy;
  }

  static void Clear(REALobject self) {
    Data* d = MapData(self);
    WithTreeOrRaise(d, kMapNotInitialized, [&](auto& tree, auto) {
      DropCache(d);
      tree.Clear();
    });
  }

  // ---- The array cache.

  // Builds keysCache and valuesCache when absent; false when the map has no
  // tree or the host cannot make the arrays.
  static bool BuildCache(Data* d) {
    if (d->keysCache != nullptr) return true;
    WithTree(d, [&](auto& tree, auto mode) {
      using K = KeyOf<decltype(mode)::value>;
      using V = ValueOf<decltype(mode)::value>;
      const int32_t last = tree.Count() - 1;
      REALarray keys = HostArrayCreate(K::kArrayType, last);
      REALarray values = HostArrayCreate(V::kArrayType, last);
      if (keys == nullptr || values == nullptr) {
        ReleaseArray(keys);
        ReleaseArray(values);
        return;
      }
      int32_t i = 0;
      for (const auto& entry : tree.items()) {
        K::ArraySet(keys, i, entry.first);
        V::ArraySet(values, i, entry.second.value);
        ++i;
      }
      d->keysCache = keys;
      d->valuesCache = values;
    });
    return d->keysCache != nullptr;
  }

  static REALarray Keys(REALobject self) {
    Data* d = MapData(self);
    return BuildCache(d) ? ShareArray(d->keysCache) : nullptr;
  }
  static REALarray Values(REALobject self) {
    Data* d = MapData(self);
    return BuildCache(d) ? ShareArray(d->valuesCache) : nullptr;
  }

  // Element `index` of the cached array; without a cache, the tree is walked
  // and an index past the entries gives nil (0).
  template <bool OfKeys>
  static auto AtIndex(REALobject self, int32_t index) {
    using T = std::conditional_t<OfKeys, KeyOf<CaseMode::S>, ValueOf<CaseMode::S>>;
    typename T::Arg out{};
    Data* d = MapData(self);
    if (BuildCache(d)) {
      T::ArrayGet(OfKeys ? d->keysCache : d->valuesCache, index, &out);
      return out;
    }
    WithTree(d, [&](auto& tree, auto mode) {
      if (index < 0 || index >= tree.Count()) return;
      auto it = std::next(tree.begin(), index);
      if constexpr (OfKeys)
        out = KeyOf<decltype(mode)::value>::ToHost(it->first);
      else
        out = ValueOf<decltype(mode)::value>::ToHost(it->second.value);
    });
    return out;
  }
  static KeyArg KeyAtIndex(REALobject self, int32_t index) { return AtIndex<true>(self, index); }
  static ValueArg ValueAtIndex(REALobject self, int32_t index) {
    return AtIndex<false>(self, index);
  }

  // Inserts every key (or value), in map order, at 0, 1, 2, ... of target.
  template <bool OfKeys>
  static void AddTo(REALobject self, REALarray target) {
    if (target == nullptr) {
      RaiseNilObject(kArrayIsNil);
      return;
    }
    WithTreeOrRaise(MapData(self), kMapNotInitialized, [&](auto& tree, auto mode) {
      int32_t i = 0;
      for (const auto& entry : tree.items()) {
        if constexpr (OfKeys)
          KeyOf<decltype(mode)::value>::ArrayInsert(target, i++, entry.first);
        else
          ValueOf<decltype(mode)::value>::ArrayInsert(target, i++, entry.second.value);
      }
    });
  }
  static void AddKeys(REALobject self, REALarray target) { AddTo<true>(self, target); }
  static void AddValues(REALobject self, REALarray target) { AddTo<false>(self, target); }

  // ---- Positions.

  template <typename Tree, CaseMode M>
  static REALobject NewIteratorAt(Tree& tree, typename Tree::iterator it, ModeTag<M>) {
    return NewIterator<Layout>(*iteratorRecord, M, tree.Token(it));
  }

  static REALobject First(REALobject self) {
    REALobject it = nullptr;
    WithTreeOrRaise(MapData(self), kMapNotInitialized,
                    [&](auto& tree, auto mode) { it = NewIteratorAt(tree, tree.begin(), mode); });
    return it;
  }
  static REALobject Last(REALobject self) {
    REALobject it = nullptr;
    WithTreeOrRaise(MapData(self), kMapNotInitialized,
                    [&](auto& tree, auto mode) { it = NewIteratorAt(tree, tree.end(), mode); });
    return it;
  }

  // Which bound of key an iterator is made for.
  enum class Bound { kEqual, kLower, kUpper };

  template <Bound B>
  static REALobject Search(REALobject self, KeyArg key) {
    REALobject it = nullptr;
    WithTreeOrRaise(MapData(self), kMapNotInitialized, [&](auto& tree, auto mode) {
      typename KeyOf<decltype(mode)::value>::Probe probe(key);
      auto& items = tree.items();
      auto at = B == Bound::kEqual   ? items.find(probe.get())
                : B == Bound::kLower ? items.lower_bound(probe.get())
                                     : items.upper_bound(probe.get());
      it = NewIteratorAt(tree, at, mode);
    });
    return it;
  }
  static REALobject Find(REALobject self, KeyArg key) { return Search<Bound::kEqual>(self, key); }
  static REALobject LowerBound(REALobject self, KeyArg key) {
    return Search<Bound::kLower>(self, key);
  }
  static REALobject UpperBound(REALobject self, KeyArg key) {
    return Search<Bound::kUpper>(self, key);
  }

  // The position an iterator argument keeps in `tree`: false (after raising
  // for a stale one) when the iterator is nil, keeps no position of the
  // tree's case mode, or designates something gone or in another tree.
  template <typename Tree, CaseMode M>
  static bool Accept(Tree& tree, ModeTag<M>, REALobject iterator, typename Tree::iterator* out,
                     bool* stale) {
    if (iterator == nullptr) return false;
    IteratorData& p = *IterData(iterator);
    uint32_t slot = M == CaseMode::S ? Layout::S(p) : Layout::I(p);
    if (slot == 0) return false;
    Placement where = tree.Locate(PositionToken{slot, p.generation}, out);
    *stale = where == Placement::kGone;
    return where == Placement::kHere;
  }

  static void RemoveAt(REALobject self, REALobject pos) {
    Data* d = MapData(self);
    WithTreeOrRaise(d, kMapNotInitialized, [&](auto& tree, auto mode) {
      typename std::remove_reference_t<decltype(tree)>::iterator at;
      bool stale = false;
      if (!Accept(tree, mode, pos, &at, &stale)) {
        if (stale) RaiseNilObject(kIteratorNotInitialized);
        return;
      }
      if (at == tree.end()) return;
      DropCache(d);
      tree.Erase(at);
    });
  }

  static void RemoveRange(REALobject self, REALobject first, REALobject last) {
    Data* d = MapData(self);
    WithTreeOrRaise(d, kMapNotInitialized, [&](auto& tree, auto mode) {
      typename std::remove_reference_t<decltype(tree)>::iterator from, to;
      bool staleFirst = false, staleLast = false;
      bool haveFirst = Accept(tree, mode, first, &from, &staleFirst);
      if (!haveFirst && !staleFirst) return;
      bool haveLast = Accept(tree, mode, last, &to, &staleLast);
      if (staleFirst || staleLast) {
        RaiseNilObject(kIteratorNotInitialized);
        return;
      }
      if (!haveLast || !tree.Follows(from, to)) return;
      DropCache(d);
      tree.EraseRange(from, to);
    });
  }

  // ---- Keyed access.

  // Calls f(tree, entry iterator or end, ModeTag) for key; false (after the
  // raise) when the map has no tree.
  template <typename F>
  static bool Lookup(Data* d, KeyArg key, F&& f) {
    return WithTreeOrRaise(d, kMapNotInitialized, [&](auto& tree, auto mode) {
      typename KeyOf<decltype(mode)::value>::Probe probe(key);
      f(tree, tree.items().find(probe.get()), mode);
    });
  }

  static int32_t RemoveKey(REALobject self, KeyArg key) {
    Data* d = MapData(self);
    int32_t removed = 0;
    Lookup(d, key, [&](auto& tree, auto at, auto) {
      DropCache(d);
      if (at == tree.end()) return;
      tree.Erase(at);
      removed = 1;
    });
    return removed;
  }

  static int32_t CountKey(REALobject self, KeyArg key) {
    int32_t n = 0;
    Lookup(MapData(self), key, [&](auto& tree, auto at, auto) { n = at != tree.end() ? 1 : 0; });
    return n;
  }
  static uint32_t HasKey(REALobject self, KeyArg key) { return CountKey(self, key) != 0 ? 1 : 0; }

  static ValueArg GetValue(REALobject self, KeyArg key) {
    ValueArg out{};
    bool found = false;
    if (!Lookup(MapData(self), key, [&](auto& tree, auto at, auto mode) {
          if (at == tree.end()) return;
          found = true;
          out = ValueOf<decltype(mode)::value>::ToHost(at->second.value);
        }))
      return out;
    if (!found) RaiseHostException(kKeyNotFoundException, kKeyNotFound);
    return out;
  }

  static ValueArg LookupValue(REALobject self, KeyArg key, ValueArg fallback) {
    ValueArg out{};
    Lookup(MapData(self), key, [&](auto& tree, auto at, auto mode) {
      using V = ValueOf<decltype(mode)::value>;
      out = at != tree.end() ? V::ToHost(at->second.value) : ShareArgument<V>(fallback);
    });
    return out;
  }

  static void SetValue(REALobject self, KeyArg key, ValueArg value) {
    Data* d = MapData(self);
    WithTreeOrRaise(d, kMapNotInitialized, [&](auto& tree, auto mode) {
      constexpr CaseMode M = decltype(mode)::value;
      using K = KeyOf<M>;
      using V = ValueOf<M>;
      DropCache(d);
      typename K::Probe probe(key);
      auto& items = tree.items();
      auto at = items.lower_bound(probe.get());
      if (at != items.end() && !items.key_comp()(probe.get(), at->first)) {
        at->second.value = value;
        return;
      }
      tree.EmplaceAt(at, K::FromHost(key), MappedOf<M>{V::FromHost(value), {}});
    });
  }

  // ---- Iterator methods.

  template <typename F>
  static PositionState AtPosition(REALobject self, F&& f) {
    return VisitPosition<Layout, TreeS, TreeI>(*IterData(self), std::forward<F>(f));
  }

  // Runs f on the iterator's live position; otherwise raises.
  template <typename F>
  static void AtLivePosition(REALobject self, F&& f) {
    if (AtPosition(self, std::forward<F>(f)) != PositionState::kHere)
      RaiseNilObject(kIteratorNotInitialized);
  }

  template <bool Forward>
  static void Step(REALobject self) {
    IteratorData* d = IterData(self);
    AtLivePosition(self, [&](auto& tree, auto at, auto mode) {
      auto to = Forward ? tree.Next(at) : tree.Prev(at);
      Layout::Set(*d, decltype(mode)::value, tree.Token(to));
    });
  }
  static void MoveNext(REALobject self) { Step<true>(self); }
  static void MovePrev(REALobject self) { Step<false>(self); }

  static KeyArg IteratorKey(REALobject self) {
    KeyArg out{};
    AtLivePosition(self, [&](auto& tree, auto at, auto mode) {
      if (at == tree.end())
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      else
        out = KeyOf<decltype(mode)::value>::ToHost(at->first);
    });
    return out;
  }

  static ValueArg IteratorValue(REALobject self) {
    ValueArg out{};
    AtLivePosition(self, [&](auto& tree, auto at, auto mode) {
      if (at == tree.end())
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      else
        out = ValueOf<decltype(mode)::value>::ToHost(at->second.value);
    });
    return out;
  }

  // Replaces the value in place; the map's array cache is left as it is.
  static void IteratorSetValue(REALobject self, ValueArg value) {
    AtLivePosition(self, [&](auto& tree, auto at, auto) {
      if (at == tree.end())
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      else
        at->second.value = value;
    });
  }

  template <bool Equal>
  static uint32_t Compare(REALobject self, REALobject other) {
    IteratorData* d = IterData(self);
    CaseMode mode;
    PositionToken token;
    if (other == nullptr || !Layout::Pick(*d, &mode, &token)) {
      RaiseNilObject(kOtherIteratorIsNil);
      return 0;
    }
    return SamePosition<Layout>(*d, *IterData(other)) == Equal ? 1 : 0;
  }

  // ---- Class records.

  static void BuildRecords() {
    const TypeWords& w = Member::kWords;
    std::vector<PropertySpec> properties;
    if constexpr (!kIntegerKeys)
      properties.push_back({"CaseSensitive", "Boolean", StandardGetter(), kCaseSensitiveOffset});
    properties.push_back({"MaxSize", "Integer", AsHostFunction(&MaxSize), 0});
    properties.push_back({"Count", "Integer", AsHostFunction(&Count), 0});
    properties.push_back({"Empty", "Boolean", AsHostFunction(&Empty), 0});

    std::vector<MethodSpec> methods;
    if constexpr (kIntegerKeys) {
      methods.push_back({"Constructor", AsHostFunction(&ConstructEmpty), nullptr});
      methods.push_back(
          {"Constructor(dic as dictionary)", AsHostFunction(&ConstructDictionary), nullptr});
    } else {
      methods.push_back({"Constructor(CaseSensitive as Boolean = true)",
                         AsHostFunction(&ConstructCase), nullptr});
      methods.push_back({"Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
                         AsHostFunction(&ConstructDictionaryCase), nullptr});
    }
    const MethodSpec rest[] = {
        {"Constructor(other as {C})", AsHostFunction(&ConstructCopy), nullptr},
        {"CloneDictionary as Dictionary", AsHostFunction(&CloneDictionary), nullptr},
        {"Operator_Convert as Dictionary", AsHostFunction(&CloneDictionary), nullptr},
        {"Clone as {C}", AsHostFunction(&Clone), nullptr},
        {"Clear", AsHostFunction(&Clear), nullptr},
        {"ValueAtIndex(index as integer) as {V}", AsHostFunction(&ValueAtIndex), nullptr},
        {"Key(index as integer) as {K}", AsHostFunction(&KeyAtIndex), nullptr},
        {"Keys as {K}()", AsHostFunction(&Keys), nullptr},
        {"Values as {V}()", AsHostFunction(&Values), nullptr},
        {"AddKeys(targetArray() as {K})", AsHostFunction(&AddKeys), nullptr},
        {"AddValues(targetArray() as {V})", AsHostFunction(&AddValues), nullptr},
        {"first as {I}", AsHostFunction(&First), nullptr},
        {"last as {I}", AsHostFunction(&Last), nullptr},
        {"Remove(pos as {I})", AsHostFunction(&RemoveAt), nullptr},
        {"Remove(first as {I}, last as {I})", AsHostFunction(&RemoveRange), nullptr},
        {"Remove(key as {K}) as integer", AsHostFunction(&RemoveKey), nullptr},
        {"CountKey(key as {K}) as integer", AsHostFunction(&CountKey), nullptr},
        {"find(key as {K}) as {I}", AsHostFunction(&Find), nullptr},
        {"value(key as {K}) as {V}", AsHostFunction(&GetValue), AsHostFunction(&SetValue)},
        {"hasKey(key as {K}) as boolean", AsHostFunction(&HasKey), nullptr},
        {"lookup(key as {K}, defaultvalue as {V}) as {V}", AsHostFunction(&LookupValue), nullptr},
        {"LowerBound(key as {K}) as {I}", AsHostFunction(&LowerBound), nullptr},
        {"UpperBound(key as {K}) as {I}", AsHostFunction(&UpperBound), nullptr},
    };
    methods.insert(methods.end(), std::begin(rest), std::end(rest));
    mapRecord = BuildClassRecord(w, 24, AsHostFunction(&Destroy), properties, methods);

    const TypeWords iteratorWords{w.iteratorName, w.iteratorName, w.keyWord, w.valueWord};
    const std::vector<MethodSpec> iteratorMethods = {
        {"MoveNext", AsHostFunction(&MoveNext), nullptr},
        {"Key as {K}", AsHostFunction(&IteratorKey), nullptr},
        {"Value as {V}", AsHostFunction(&IteratorValue), AsHostFunction(&IteratorSetValue)},
        {"isEqual(other as {I}) as boolean", AsHostFunction(&Compare<true>), nullptr},
        {"isNotEqual(other as {I}) as boolean", AsHostFunction(&Compare<false>), nullptr},
        {"MovePrev", AsHostFunction(&MovePrev), nullptr},
    };
    iteratorRecord = BuildClassRecord(iteratorWords, 8, nullptr, {}, iteratorMethods);
  }
};

}  // namespace kdt
