// The container engine: every method function of the 26 container classes
// and their iterator classes that maps and sets, hash tables and trees have
// in common, written once over a member of the member table.
//
// A member names its shape (map or set: what sits beside a key), its storage
// (hash table or tree: where the keys live), its key and value kinds and its
// MaxSize.  A container holds one table, case-sensitive (tableS) or not
// (tableI; Integer keys have no case and only tableS); every call picks it
// once and runs on that table's concrete type, so a lookup makes no virtual
// call.  The shapes add what only they do and declare the methods
// (shape/MapClass.h, shape/SetClass.h); the storages add their own
// declarations (engine/StorageRows.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/engine/ClassBuilder.h"
#include "containers/engine/StorageRows.h"
#include "containers/shape/Shapes.h"
#include "containers/storage/Positions.h"
#include "errors/Exceptions.h"
#include "plugin/ClassRecords.h"
#include "plugin/host/HostEntries.h"
#include "plugin/host/HostTypes.h"
#include "values/HostBridge.h"
#include "values/ValueTraits.h"

namespace kdt {

inline constexpr char kIteratorNotInitialized[] = "Iterator not initialized";
inline constexpr char kOtherMapIsNil[] = "Other map is nil";
inline constexpr char kOtherMapNotInitialized[] = "Other map not initialized";
inline constexpr char kArrayIsNil[] = "array is nil";
inline constexpr char kValuesArrayIsNil[] = "values array is nil";
inline constexpr char kKeyNotFound[] = "Key not found";

inline void RaiseNilObject(const char* message) {
  RaiseHostException(kNilObjectException, message);
}

// A Boolean argument arrives as a word whose low byte carries the value.
inline bool BooleanArgument(uint32_t word) {
  return (word & 0xFFu) != 0;
}

// Releases the container's reference on a cached array and forgets it.
inline void ReleaseArray(REALarray& array) {
  if (array != nullptr) {
    REALarray old = array;
    array = nullptr;
    REALUnlockObject(old);
  }
}

// A new reference for the caller on an array the container keeps.
inline REALarray ShareArray(REALarray array) {
  if (array != nullptr) REALLockObject(array);
  return array;
}

// The records of one member, filled when its records are built.
template <typename Member>
struct Records {
  static inline ClassRecord* container = nullptr;
  static inline ClassRecord* iterator = nullptr;
};

template <typename Member>
class Container {
 public:
  using Shape = typename Member::Shape;
  using Storage = typename Member::Storage;
  using KeyKind = typename Member::KeyKind;
  using ValueKind = typename Member::ValueKind;
  static constexpr bool kHasCaseModes = !std::is_same_v<KeyKind, IntegerKind>;
  static constexpr bool kVariantElements = std::is_same_v<KeyKind, VariantKind>;

  // The traits of the values kept in a table of mode M: Integer-keyed maps
  // keep them in the case-sensitive handles.
  template <CaseMode M>
  using ValueTraitsOf = ValueTraits<ValueKind, kHasCaseModes ? M : CaseMode::S>;
  template <CaseMode M>
  using Table =
      typename Storage::template Table<KeyTraits<KeyKind, M>,
                                       typename Shape::template Payload<ValueTraitsOf<M>>, M>;
  using TableS = Table<CaseMode::S>;
  using TableI = std::conditional_t<kHasCaseModes, Table<CaseMode::I>, void>;
  using Data = typename Shape::template Data<TableS, TableI>;
  using KeyArg = typename ValueTraits<KeyKind, CaseMode::S>::Arg;
  using ValueArg = typename ValueTraits<ValueKind, CaseMode::S>::Arg;

  // ---- Properties.
  static int32_t MaxSize(REALobject self) {
    return With<int32_t>(self, 0, [](auto&) { return Member::kMaxSize; });
  }
  static int32_t Count(REALobject self) {
    return With<int32_t>(self, 0, [](auto& t) { return t.Count(); });
  }
  static uint32_t Empty(REALobject self) {
    return With<uint32_t>(self, 0, [](auto& t) { return t.Count() == 0 ? 1u : 0u; });
  }
  static int32_t BinCount(REALobject self) {
    return With<int32_t>(self, 0, [](auto& t) { return t.BinCount(); });
  }

  // ---- Constructors.  Each builds its table completely before it replaces
  // the container's content, so one that fails leaves it as it was.
  static void ConstructWithCase(REALobject self, uint32_t caseSensitive) {
    Build(DataOf(self), BooleanArgument(caseSensitive), [](auto&) {});
  }
  static void Construct(REALobject self) { ConstructWithCase(self, 1); }
  static void ConstructFromOther(REALobject self, REALobject other) {
    if (other == nullptr) {
      RaiseNilObject(kOtherMapIsNil);
      return;
    }
    Data* d = DataOf(self);
    // Copy first, then replace: a container constructed from itself keeps
    // its entries.
    if (CopyInto(d, DataOf(other))) return;
    Discard(d);
    RaiseNilObject(kOtherMapNotInitialized);
  }
  static REALobject Clone(REALobject self) {
    Data* d = DataOf(self);
    if (!Require(d)) return nullptr;
    // A copy that cannot be completed is released, not handed out.
    ObjectHandle copy(PluginNewInstance(Records<Member>::container->name), AdoptLock{});
    if (copy.get() != nullptr) CopyInto(DataOf(copy.get()), d);
    return copy.Release();
  }
  static void Destroy(REALobject self) { Discard(DataOf(self)); }

  // ---- Whole-container changes and the array cache.
  static void Clear(REALobject self) {
    Data* d = DataOf(self);
    if (!Require(d)) return;
    DropCache(d);
    Dispatch(d, [](auto& t) { t.Clear(); });
  }
  static KeyArg KeyAtIndex(REALobject self, int32_t index) {
    return ReadAtIndex<true, KeyArg>(self, index);
  }
  static ValueArg ValueAtIndex(REALobject self, int32_t index) {
    return ReadAtIndex<false, ValueArg>(self, index);
  }
  static REALarray Keys(REALobject self) { return HandOut<true>(DataOf(self)); }
  static REALarray Values(REALobject self) { return HandOut<false>(DataOf(self)); }
  static void AddKeys(REALobject self, REALarray target) { AddTo<true>(self, target); }
  static void AddValues(REALobject self, REALarray target) { AddTo<false>(self, target); }

  // ---- Iterators handed out by the container.
  static REALobject First(REALobject self) {
    return With<REALobject>(self, nullptr, [](auto& t) { return NewIterator(t, t.Begin()); });
  }
  static REALobject Last(REALobject self) {
    return With<REALobject>(self, nullptr, [](auto& t) { return NewIterator(t, t.End()); });
  }
  static REALobject Find(REALobject self, KeyArg key) {
    return Search(self, key, [](auto& t, const auto& k) { return t.Find(k); });
  }
  static REALobject LowerBound(REALobject self, KeyArg key) {
    return Search(self, key, [](auto& t, const auto& k) { return t.LowerBound(k); });
  }
  static REALobject UpperBound(REALobject self, KeyArg key) {
    return Search(self, key, [](auto& t, const auto& k) { return t.UpperBound(k); });
  }

  // ---- Removal.
  // Remove(pos): erases the element pos designates.  A stale pos raises; a
  // nil or unpositioned one, or one of another container, changes nothing.
  // Once pos is accepted the array cache goes (also for the end position,
  // which removes nothing).
  static void RemoveAt(REALobject self, REALobject pos) {
    Data* d = DataOf(self);
    if (!RequireForPositions(d)) return;
    Dispatch(d, [&](auto& t) {
      auto at = t.End();
      Argument a = LocateArgument(t, pos, &at);
      if (a == Argument::kGone) RaiseNilObject(kIteratorNotInitialized);
      if (a != Argument::kHere) return;
      DropCache(d);
      if (!t.IsEnd(at)) t.Erase(at);
    });
  }
  // Remove(first, last): erases [first, last) when last follows first.  Nil
  // or unpositioned iterators are looked at first and change nothing; then a
  // stale one raises; iterators of another container, or a last that does
  // not follow first, change nothing.
  static void RemoveRange(REALobject self, REALobject first, REALobject last) {
    Data* d = DataOf(self);
    if (!RequireForPositions(d)) return;
    Dispatch(d, [&](auto& t) {
      auto from = t.End(), to = t.End();
      Argument a = LocateArgument(t, first, &from);
      Argument b = LocateArgument(t, last, &to);
      if (a == Argument::kAbsent || b == Argument::kAbsent) return;
      if (a == Argument::kGone || b == Argument::kGone) {
        RaiseNilObject(kIteratorNotInitialized);
        return;
      }
      if (a == Argument::kForeign || b == Argument::kForeign) return;
      if (!t.IsRange(from, to)) return;
      DropCache(d);
      t.EraseRange(from, to);
    });
  }
  static int32_t RemoveKey(REALobject self, KeyArg key) {
    Data* d = DataOf(self);
    if (!Require(d)) return 0;
    DropCache(d);
    return Dispatch(d, [&](auto& t) {
      typename std::decay_t<decltype(t)>::KT::Probe probe(key);
      return t.EraseKey(probe.get()) ? 1 : 0;
    });
  }

  // ---- Keyed access.
  static int32_t CountKey(REALobject self, KeyArg key) {
    return With<int32_t>(self, 0, [&](auto& t) { return t.IsEnd(FindKey(t, key)) ? 0 : 1; });
  }
  static uint32_t Contains(REALobject self, KeyArg key) {
    return With<uint32_t>(self, 0, [&](auto& t) { return t.IsEnd(FindKey(t, key)) ? 0u : 1u; });
  }

  // ---- Iterator methods.
  static void IteratorMoveNext(REALobject self) {
    Step(self, [](auto& t, auto at) { return t.Next(at); });
  }
  static void IteratorMovePrev(REALobject self) {
    Step(self, [](auto& t, auto at) { return t.Prev(at); });
  }
  static KeyArg IteratorKey(REALobject self) {
    return AtElement(self, KeyArg(), [](auto& t, auto at) {
      using T = std::decay_t<decltype(t)>;
      return T::KT::ToHost(T::KeyOf(at));
    });
  }
  static uint32_t IteratorIsEqual(REALobject self, REALobject other) {
    return ComparePositions(self, other, true, kOtherIteratorIsNil);
  }
  static uint32_t IteratorIsNotEqual(REALobject self, REALobject other) {
    return ComparePositions(self, other, false, Shape::kNotEqualNil);
  }

  // The method rows maps and sets share: positions and keyed removal, and
  // the storage's own rows.
  static constexpr Row kPositionRows[] = {
      {"first as {I}", Guarded<&First>},
      {"last as {I}", Guarded<&Last>},
      {"Remove(pos as {I})", Guarded<&RemoveAt>},
      {"Remove(first as {I}, last as {I})", Guarded<&RemoveRange>},
      {"Remove(key as {K}) as integer", Guarded<&RemoveKey>},
      {"CountKey(key as {K}) as integer", Guarded<&CountKey>},
      {"find(key as {K}) as {I}", Guarded<&Find>},
  };
  static constexpr Row kStorageMethods = StorageRows<Storage>::template kMethods<Container>;
  // The iterator rows before a map's `value` (moving, the key) and after it.
  static constexpr Row kIteratorMoveAndKey[] = {
      {"MoveNext", Guarded<&IteratorMoveNext>},
      {"Key as {K}", Guarded<&IteratorKey>},
  };
  static constexpr Row kIteratorCompare[] = {
      {"isEqual(other as {I}) as boolean", Guarded<&IteratorIsEqual>},
      {"isNotEqual(other as {I}) as boolean", Guarded<&IteratorIsNotEqual>},
      StorageRows<Storage>::template kIteratorMethods<Container>,
  };

  // The properties of every container class; the shapes declare the methods.
  static constexpr Row kProperties[] = {
      {"CaseSensitive", "Boolean", &StandardGetter, offsetof(Data, caseSensitive),
       When::kCaseModes},
      {"MaxSize", "Integer", Guarded<&MaxSize>},
      {"Count", "Integer", Guarded<&Count>},
      StorageRows<Storage>::template kProperties<Container>,
      {"Empty", "Boolean", Guarded<&Empty>},
  };
  static constexpr MemberFacts kFacts{kHasCaseModes, kVariantElements};

 protected:
  // One of two method rows by the key kind: keys with a case mode take the
  // first declaration and function, Integer keys the second.  Only the
  // function the member registers is made.
  template <auto WithCase, auto Plain>
  static constexpr Row ByCase(const char* withCase, const char* plain) {
    if constexpr (kHasCaseModes) {
      return {withCase, Guarded<WithCase>};
    } else {
      return {plain, Guarded<Plain>};
    }
  }

  static Data* DataOf(REALobject self) {
    return InstanceData<Data>(self, *Records<Member>::container);
  }
  static IteratorData* IterData(REALobject it) {
    return InstanceData<IteratorData>(it, *Records<Member>::iterator);
  }
  static bool HasTable(const Data* d) { return d->tableS != nullptr || d->tableI != nullptr; }
  static bool Require(const Data* d) {
    if (HasTable(d)) return true;
    RaiseNilObject(Shape::kNotInitialized);
    return false;
  }
  static bool RequireForPositions(const Data* d) {
    if (Shape::kStrictPositions) return Require(d);
    return HasTable(d);
  }

  // Calls f with the container's table; it must have one.
  template <typename F>
  static decltype(auto) Dispatch(Data* d, F&& f) {
    if constexpr (kHasCaseModes) {
      if (d->tableS == nullptr) return f(*d->tableI);
    }
    return f(*d->tableS);
  }
  // f(table), or `neutral` after raising when there is no table.
  template <typename R, typename F>
  static R With(REALobject self, R neutral, F&& f) {
    Data* d = DataOf(self);
    if (!Require(d)) return neutral;
    return Dispatch(d, f);
  }
  template <typename T, typename F>
  static void ForEach(T& t, F&& f) {
    for (auto at = t.Begin(); !t.IsEnd(at); at = t.Next(at)) f(at);
  }

  template <typename T>
  static auto FindKey(T& t, KeyArg key) {
    typename T::KT::Probe probe(key);
    return t.Find(probe.get());
  }
  template <typename F>
  static REALobject Search(REALobject self, KeyArg key, F&& find) {
    return With<REALobject>(self, nullptr, [&](auto& t) {
      typename std::decay_t<decltype(t)>::KT::Probe probe(key);
      return NewIterator(t, find(t, probe.get()));
    });
  }

  static void DropCache(Data* d) { OwnedCache gone(std::exchange(d->arrays, nullptr)); }
  static void Discard(Data* d) {
    DropCache(d);
    TableS* s = d->tableS;
    d->tableS = nullptr;
    delete s;
    if constexpr (kHasCaseModes) {
      TableI* i = d->tableI;
      d->tableI = nullptr;
      delete i;
    }
  }
  // Gives the container a complete table in place of whatever it held.
  template <typename T>
  static void Install(Data* d, std::unique_ptr<T> table) {
    Discard(d);
    if constexpr (T::kMode == CaseMode::S) {
      d->tableS = table.release();
    } else {
      d->tableI = table.release();
    }
    d->caseSensitive = kHasCaseModes && T::kMode == CaseMode::S ? 1 : 0;
  }
  // A new table of type T, filled by fill(table), then installed.
  template <typename T, typename Fill>
  static void BuildTable(Data* d, Fill&& fill) {
    auto table = std::make_unique<T>();
    fill(*table);
    Install(d, std::move(table));
  }
  // The same in the chosen mode.
  template <typename Fill>
  static void Build(Data* d, bool caseSensitive, Fill&& fill) {
    if constexpr (kHasCaseModes) {
      if (!caseSensitive) return BuildTable<TableI>(d, fill);
    }
    BuildTable<TableS>(d, fill);
  }
  // Copies source's table into d; false when source has none.
  static bool CopyInto(Data* d, Data* source) {
    if (!HasTable(source)) return false;
    Dispatch(source, [&](auto& t) { Install(d, std::decay_t<decltype(t)>::Copy(t)); });
    return true;
  }

  // ---- The arrays of Keys and Values, and index access.
  using Cache = ArrayCache<TableS, TableI>;
  struct ReleaseCache {
    void operator()(Cache* c) const {
      ReleaseArray(c->values);
      ReleaseArray(c->keys);
      delete c;
    }
  };
  using OwnedCache = std::unique_ptr<Cache, ReleaseCache>;

  // New, still empty arrays for t's keys (and values); none when the host
  // cannot make them all.
  template <typename T>
  static OwnedCache MakeArrays(T& t) {
    OwnedCache c(new Cache);
    const int32_t upper = t.Count() - 1;
    c->keys = HostArrayCreate(T::KT::kArrayType, upper);
    if constexpr (Shape::kHasValues) {
      if (c->keys != nullptr)
        c->values = HostArrayCreate(ValueTraitsOf<T::kMode>::kArrayType, upper);
    }
    if (c->keys == nullptr || (Shape::kHasValues && c->values == nullptr)) c.reset();
    return c;
  }
  template <typename T>
  static auto& OrderIn(Cache& c) {
    if constexpr (T::kMode == CaseMode::S) {
      return c.orderS.positions;
    } else {
      return c.orderI.positions;
    }
  }
  template <bool OfKeys, typename T>
  static auto ElementAt(typename T::Pos at) {
    if constexpr (OfKeys) {
      return T::KT::ToHost(T::KeyOf(at));
    } else {
      return ValueTraitsOf<T::kMode>::ToHost(T::PayloadOf(at).value);
    }
  }

  // Keys or Values: the array, filled the first time the program gets it,
  // and the same object on every call until the next change.
  template <bool OfKeys>
  static REALarray HandOut(Data* d) {
    if (!HasTable(d)) return nullptr;
    return Dispatch(d, [&](auto& t) -> REALarray {
      using T = std::decay_t<decltype(t)>;
      if (d->arrays == nullptr) {
        d->arrays = MakeArrays(t).release();
        if (d->arrays == nullptr) return nullptr;
      }
      Cache& c = *d->arrays;
      const uint8_t mine = OfKeys ? kKeysHandedOut : kValuesHandedOut;
      REALarray array = OfKeys ? c.keys : c.values;
      if ((c.handedOut & mine) == 0) {
        int32_t i = 0;
        ForEach(t, [&](auto at) {
          if constexpr (OfKeys) {
            T::KT::ArrayFill(array, i++, T::KeyOf(at));
          } else {
            ValueTraitsOf<T::kMode>::ArrayFill(array, i++, T::PayloadOf(at).value);
          }
        });
        c.handedOut |= mine;
        // The order serves only arrays the program does not have.
        if (c.handedOut == (Shape::kHasValues ? kKeysHandedOut | kValuesHandedOut : mine))
          std::decay_t<decltype(OrderIn<T>(c))>().swap(OrderIn<T>(c));
      }
      return ShareArray(array);
    });
  }

  // Key(index) or ValueAtIndex(index).  Outside 0 .. Count - 1 it raises, as
  // reading the array does.
  template <bool OfKeys, typename R>
  static R ReadAtIndex(REALobject self, int32_t index) {
    Data* d = DataOf(self);
    if (!HasTable(d)) return R();
    return Dispatch(d, [&](auto& t) -> R {
      using T = std::decay_t<decltype(t)>;
      OwnedCache made;
      Cache* c = d->arrays;
      if (c == nullptr) {
        made = MakeArrays(t);
        c = made.get();
      }
      // No array could be made: a map walks its table instead; a set answers
      // nil.
      if (c == nullptr) {
        if (!Shape::kHasValues || index < 0 || index >= t.Count()) return R();
        auto at = t.Begin();
        for (int32_t i = 0; i < index; ++i) at = t.Next(at);
        return ElementAt<OfKeys, T>(at);
      }
      R out = R();
      if ((c->handedOut & (OfKeys ? kKeysHandedOut : kValuesHandedOut)) != 0) {
        HostOwnArrayGet(OfKeys ? c->keys : c->values, index, &out);
        return out;
      }
      // The order is made before the new arrays are kept: memory running out
      // leaves the container as it was.
      auto& order = OrderIn<T>(*c);
      const int32_t count = t.Count();
      if (static_cast<int32_t>(order.size()) != count) {
        order.reserve(static_cast<size_t>(count));
        ForEach(t, [&](auto at) { order.push_back(at); });
      }
      if (made) d->arrays = made.release();
      if (index < 0 || index >= count) {
        RaiseRangeException(index, 0, count, "index", "");
        return out;
      }
      return ElementAt<OfKeys, T>(order[static_cast<size_t>(index)]);
    });
  }
  template <bool OfKeys>
  static void AddTo(REALobject self, REALarray target) {
    if (target == nullptr) {
      RaiseNilObject(kArrayIsNil);
      return;
    }
    Data* d = DataOf(self);
    if (!Require(d)) return;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      using V = ValueTraitsOf<T::kMode>;
      int32_t i = 0;
      ForEach(t, [&](auto at) {
        if constexpr (OfKeys) {
          T::KT::ArrayInsert(target, i++, T::KeyOf(at));
        } else {
          V::ArrayInsert(target, i++, T::PayloadOf(at).value);
        }
      });
    });
  }

  // ---- Positions kept by iterators.
  template <typename T>
  static REALobject NewIterator(T& t, typename T::Pos at) {
    IteratorData position = InMode(t.Token(at), T::kMode);
    REALobject it = PluginNewInstance(Records<Member>::iterator->name);
    if (it == nullptr) return nullptr;
    *IterData(it) = position;
    return it;
  }
  static ResolvedPosition Resolve(const IteratorData& data) {
    return ResolvePosition<TableS, TableI>(data);
  }

  enum class State { kNone, kGone, kHere };
  // Finds the position an iterator keeps and, when it is live, calls
  // f(table, position) with the table it lies in.
  template <typename F>
  static State Visit(IteratorData& data, F&& f) {
    if (!HasPosition(data)) return State::kNone;
    if (!kHasCaseModes && ModeOf(data) != CaseMode::S) return State::kNone;
    ResolvedPosition r = Resolve(data);
    if (r.kind == ResolvedPosition::kGone) return State::kGone;
    if (r.mode == CaseMode::S) {
      TableS& t = TableS::Of(r);
      f(t, t.At(r));
    } else if constexpr (kHasCaseModes) {
      TableI& t = TableI::Of(r);
      f(t, t.At(r));
    }
    return State::kHere;
  }
  // Moves an iterator to step(table, position), which stays put at the ends.
  template <typename F>
  static void Step(REALobject self, F&& step) {
    IteratorData& data = *IterData(self);
    State state = Visit(data, [&](auto& t, auto at) {
      data = InMode(t.Token(step(t, at)), std::decay_t<decltype(t)>::kMode);
    });
    if (state == State::kGone || (state == State::kNone && Shape::kStrictPositions))
      RaiseNilObject(kIteratorNotInitialized);
  }
  // f(table, position) at the iterator's element.  Raises for an iterator
  // without a live position, and "Key not found" at the end position.
  template <typename R, typename F>
  static R AtElement(REALobject self, R neutral, F&& f) {
    R out = neutral;
    State state = Visit(*IterData(self), [&](auto& t, auto at) {
      if (t.IsEnd(at))
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      else
        out = f(t, at);
    });
    if (state != State::kHere) RaiseNilObject(kIteratorNotInitialized);
    return out;
  }
  // Positions compare by identity, so a stale position equals only the very
  // same stale position; with hash storage the end positions of all live
  // tables of one case mode are the same position.
  static uint32_t ComparePositions(REALobject self, REALobject other, bool equal,
                                   const char* nilMessage) {
    const IteratorData& mine = *IterData(self);
    if (other == nullptr || !HasPosition(mine)) {
      RaiseNilObject(nilMessage);
      return 0;
    }
    const IteratorData& theirs = *IterData(other);
    bool same = mine == theirs;
    // Only end positions have no element slot: a walk's step resolves nothing.
    if (!same && Storage::kEndsCompareEqual && mine.elementSlot == 0 && theirs.elementSlot == 0) {
      same = ModeOf(mine) == ModeOf(theirs) && Resolve(mine).kind == ResolvedPosition::kEnd &&
             Resolve(theirs).kind == ResolvedPosition::kEnd;
    }
    return same == equal ? 1u : 0u;
  }

  // What an iterator handed to a container designates in its table.
  enum class Argument {
    kAbsent,   // nil, or no position of the table's case mode
    kGone,     // its element or table no longer exists
    kForeign,  // a position of another table
    kHere,
  };
  template <typename T>
  static Argument LocateArgument(T& t, REALobject iterator, typename T::Pos* out) {
    if (iterator == nullptr) return Argument::kAbsent;
    const IteratorData& data = *IterData(iterator);
    if (!HasPosition(data) || ModeOf(data) != T::kMode) return Argument::kAbsent;
    ResolvedPosition r = Resolve(data);
    if (r.kind == ResolvedPosition::kGone) return Argument::kGone;
    if (!t.Holds(r)) return Argument::kForeign;
    *out = t.At(r);
    return Argument::kHere;
  }
};

}  // namespace kdt
