// ValueTraits and KeyTraits: everything a container needs to know about one
// element type.
//
// The container families are written once over these traits and
// instantiated for Integer, String, Text and Variant keys and values:
//
//   ValueTraits<Kind, Mode>   a value; KeyTraits<Kind, Mode> a key, which
//                             adds the functors and the probe.  Kind:
//                             IntegerKind, StringKind, TextKind, VariantKind;
//                             Mode: CaseMode::S or ::I (values and Integer
//                             keys ignore it).
//
//   Stored      what a table or tree node holds: int32_t, a value handle
//               (StringValue, TextValue, VariantValue: one lock on its host
//               value, one word) or a key (StringKey, TextKey, VariantKey:
//               the lock, the cached hash and, for String and Variant keys,
//               the view their comparisons read).
//   Arg         the host word of this type as a method receives or returns
//               it: int32_t, REALstring, REALtext, REALobject.
//   Hash, Equal, Less (keys)
//               the functors of the mode (Integer: identity hash as
//               unsigned, ==, <).  Hash fills the key's cached hash.
//   Probe (keys) a lookup key over a borrowed argument, no lock taken:
//                 typename K::Probe probe(key); table.Find(probe.get());
//   kArrayType  the element type code for HostArrayCreate.
//
//   FromHost(Arg)         a Stored for a borrowed argument (adds a lock).
//   ToHost(const Stored&) the Arg to return to the host: one lock added,
//                         owned by the caller.
//   Peek(const Stored&)   the Arg without a lock (to hand to the host as a
//                         borrowed value).
//   Pass(Arg)             a borrowed argument handed back to the host: one
//                         lock added, owned by the caller.
//   ArrayGet(a, i, Arg*)  checked element read, lock owned by the caller.
//   ArrayFill(a, i, s)    element write of a stored value into an array just
//                         made by HostArrayCreate (i within it).
//   ArrayInsert(a, i, s)  insert before i (i = count appends).
//   FromVariant(v)        a Stored from a Variant read out of a Dictionary
//                         (VariantToInt32 / VariantToString / VariantToText /
//                         VariantToObject); v stays borrowed.
//   ToVariant(s)          a new Variant for a Dictionary, owned by the caller
//                         (IntegerToVariant / StringToVariant /
//                         PluginNewVariantText / the Variant itself, locked).
#pragma once

#include <cstdint>
#include <functional>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/HostBridge.h"
#include "values/StringKeys.h"
#include "values/TextKeys.h"
#include "values/VariantKeys.h"

namespace kdt {

struct IntegerKind {};
struct StringKind {};
struct TextKind {};
struct VariantKind {};

struct IntegerHash {
  uint32_t operator()(int32_t k) const { return static_cast<uint32_t>(k); }
};

// A probe for Integer keys is the integer itself.
struct IntegerProbe {
  explicit IntegerProbe(int32_t k) : key_(k) {}
  const int32_t& get() const { return key_; }

 private:
  int32_t key_;
};

template <typename Kind, CaseMode Mode = CaseMode::S>
struct ValueTraits;

template <CaseMode Mode>
struct ValueTraits<IntegerKind, Mode> {
  using Stored = int32_t;
  using Arg = int32_t;
  using Hash = IntegerHash;
  using Equal = std::equal_to<int32_t>;
  using Less = std::less<int32_t>;
  using Probe = IntegerProbe;
  static constexpr int32_t kArrayType = kArrayTypeInteger;

  static Stored FromHost(Arg a) { return a; }
  static Arg ToHost(const Stored& s) { return s; }
  static Arg Peek(const Stored& s) { return s; }
  static Arg Pass(Arg a) { return a; }
  static void ArrayGet(REALarray a, int32_t i, Arg* out) { HostArrayGet(a, i, out); }
  static void ArrayFill(REALarray a, int32_t i, const Stored& s) { HostFreshArraySet(a, i, s); }
  static void ArrayInsert(REALarray a, int32_t i, const Stored& s) { HostArrayInsert(a, i, s); }
  static Stored FromVariant(REALobject v) { return v == nullptr ? 0 : VariantToInt32(v); }
  static REALobject ToVariant(const Stored& s) { return IntegerToVariant(s); }
};

// Values of the three reference kinds.
template <typename Handle, int32_t ArrayType, typename Handle::Ref (*FromVariantF)(REALobject),
          REALobject (*ToVariantF)(typename Handle::Ref)>
struct ReferenceTraits {
  using Stored = Handle;
  using Arg = typename Handle::Ref;
  static constexpr int32_t kArrayType = ArrayType;
  static constexpr Arg (*FromVariantRef)(REALobject) = FromVariantF;
  static constexpr REALobject (*ToVariantRef)(Arg) = ToVariantF;

  static Stored FromHost(Arg a) { return Stored(a); }
  static Arg ToHost(const Stored& s) { return Pass(s.get()); }
  static Arg Peek(const Stored& s) { return s.get(); }
  static Arg Pass(Arg a) {
    if (a != nullptr) Handle::RefPolicy::Lock(a);
    return a;
  }
  static void ArrayGet(REALarray a, int32_t i, Arg* out) { HostArrayGet(a, i, out); }
  static void ArrayFill(REALarray a, int32_t i, const Stored& s) {
    HostFreshArraySet(a, i, s.get());
  }
  static void ArrayInsert(REALarray a, int32_t i, const Stored& s) {
    HostArrayInsert(a, i, s.get());
  }
  static Stored FromVariant(REALobject v) {
    return v == nullptr ? Stored() : Stored(FromVariantF(v), AdoptLock{});
  }
  static REALobject ToVariant(const Stored& s) { return ToVariantF(s.get()); }
};

// Values do not depend on the case mode: only keys are compared.
// A Variant value goes into a Dictionary as itself, with a lock for it.
inline REALobject SharedVariant(REALobject v) {
  if (v != nullptr) REALLockObject(v);
  return v;
}
template <CaseMode Mode>
struct ValueTraits<StringKind, Mode>
    : ReferenceTraits<StringValue, kArrayTypeString, VariantToString, StringToVariant> {};
template <CaseMode Mode>
struct ValueTraits<TextKind, Mode>
    : ReferenceTraits<TextValue, kArrayTypeText, VariantToText, PluginNewVariantText> {};
template <CaseMode Mode>
struct ValueTraits<VariantKind, Mode>
    : ReferenceTraits<VariantValue, kArrayTypeObject, VariantToObject, SharedVariant> {};

// The functors of String, Text and Variant keys, over the KeyHash and
// KeyCompare of each kind (StringKeys.h, TextKeys.h, VariantKeys.h).
template <typename Key>
struct KeyHashOf {
  uint32_t operator()(const Key& k) const { return KeyHash(k); }
};
template <typename Key>
struct KeyEqualOf {
  bool operator()(const Key& a, const Key& b) const { return KeyCompare(a, b) == 0; }
};
template <typename Key>
struct KeyLessOf {
  bool operator()(const Key& a, const Key& b) const { return KeyCompare(a, b) < 0; }
};

// Keys of the reference kinds: their handle, functors and probe.
template <typename Handle, typename Values>
struct ReferenceKeyTraits
    : ReferenceTraits<Handle, Values::kArrayType, Values::FromVariantRef, Values::ToVariantRef> {
  using Hash = KeyHashOf<Handle>;
  using Equal = KeyEqualOf<Handle>;
  using Less = KeyLessOf<Handle>;
  using Probe = ProbeKey<Handle>;
};

// Keys: Integer keys are stored as values are; String and Variant keys carry
// their views (KeyViews.h), Text keys their hash.
template <typename Kind, CaseMode Mode>
struct KeyTraits : ValueTraits<Kind, Mode> {};
template <CaseMode Mode>
struct KeyTraits<StringKind, Mode>
    : ReferenceKeyTraits<StringKey<Mode>, ValueTraits<StringKind, Mode>> {};
template <CaseMode Mode>
struct KeyTraits<TextKind, Mode> : ReferenceKeyTraits<TextKey<Mode>, ValueTraits<TextKind, Mode>> {
};
template <CaseMode Mode>
struct KeyTraits<VariantKind, Mode>
    : ReferenceKeyTraits<VariantKey<Mode>, ValueTraits<VariantKind, Mode>> {};

}  // namespace kdt
