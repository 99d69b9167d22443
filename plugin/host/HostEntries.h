// Entry wrappers: one library function per host entry, named after the entry.
//
// The host is never linked.  Each wrapper asks the resolver for its entry by
// name on first use, keeps the address in a slot of its own and forwards the
// call.  When the host lacks the entry the wrapper makes no call, writes no
// out-parameter and returns 0, null or false (nothing for void entries).
//
// Signatures: a wrapper generated from KDT_HOST_ENTRY_LIST (plugin/host/HostTypes.h)
// has exactly the shape of the entry's type in kdt::entry, e.g.
//   void kdt::REALLockObject(REALobject);
//   int32_t kdt::REALGetPropValueInteger(REALobject, const char* name, int32_t* out);
// The list's OWN rows (array procedures, Variant conversions) are wrapped by
// hand further down.
#pragma once

#include <cstdint>
#include <type_traits>

#include "plugin/host/HostTypes.h"

namespace kdt {

// What the host's resolver gives for `name`; null while no resolver is known.
HostFunction ResolveHostEntry(const char* name);

// A wrapper for each ONCE, ONCE_FLAG, RETRY and RETRY_FLAG row of the list.
#define KDT_DECLARE_ONCE(name) std::remove_pointer_t<entry::name> name;
#define KDT_DECLARE_ONCE_FLAG KDT_DECLARE_ONCE
#define KDT_DECLARE_RETRY KDT_DECLARE_ONCE
#define KDT_DECLARE_RETRY_FLAG KDT_DECLARE_ONCE
#define KDT_DECLARE_OWN(name)
#define KDT_DECLARE_WRAPPER(name, bind, ...) KDT_DECLARE_##bind(name)
KDT_HOST_ENTRY_LIST(KDT_DECLARE_WRAPPER)
#undef KDT_DECLARE_WRAPPER

// Array procedures.  The host entry named here hands out, for one array, the
// accessor that moves its elements; the wrapper asks for it (per-type name
// first, "RuntimeArrayDirectGet...Proc" second) and calls it.  Each returns
// true when the host's accessor ran.  Arguments are (array, index, value) in
// every wrapper; the host's set accessor itself takes the value before the
// index, which the wrapper takes care of.  The get wrapper calls nothing when
// `out` is null.  References read through a get accessor carry one lock that
// the caller owns; values passed to set and insert stay borrowed.
// clang-format off
#define KDT_ARRAY_ELEMENT_TYPES(X) \
  X(Integer, int32_t)              \
  X(String, REALstring)            \
  X(Text, REALtext)                \
  X(Object, REALobject)
// clang-format on

// OwnArrayGet and OwnArraySet reach an array the library created itself:
// all of those of one element type are of one kind, so the accessor found for
// the first serves every later one without being looked up again.
#define KDT_DECLARE_ARRAY_PROCS(Kind, Element)                                   \
  bool Plugin##Kind##ArrayGetProc(REALarray array, int32_t index, Element* out); \
  bool Plugin##Kind##OwnArrayGet(REALarray array, int32_t index, Element* out);  \
  bool Plugin##Kind##OwnArraySet(REALarray array, int32_t index, Element value); \
  bool Plugin##Kind##ArrayInsertProc(REALarray array, int32_t index, Element value);
KDT_ARRAY_ELEMENT_TYPES(KDT_DECLARE_ARRAY_PROCS)
#undef KDT_DECLARE_ARRAY_PROCS

// Conversions out of a Variant.  Each uses the host function of its name when
// the host has one (retry discipline) and otherwise reads a property of the
// Variant object with the matching property wrapper; a failed read gives 0 or
// nil.  Returned references carry one lock that the caller owns.
// clang-format off
#define KDT_VARIANT_CONVERSIONS(X)                                          \
  X(VariantToObject, REALobject, "ObjectValue", REALGetPropValueObject)     \
  X(VariantToString, REALstring, "StringValue", REALGetPropValueString)     \
  X(VariantToText, REALtext, "TextValue", PluginGetPropValueText)           \
  X(VariantToDouble, double, "DoubleValue", REALGetPropValueDouble)         \
  X(VariantToSingle, float, "SingleValue", REALGetPropValueSingle)          \
  X(VariantToInt64, int64_t, "LongValue", REALGetPropValueInt64)            \
  X(VariantToInt32, int32_t, "Int32Value", REALGetPropValueInt)
// clang-format on

#define KDT_DECLARE_VARIANT_CONVERSION(name, Result, property, getter) \
  Result name(REALobject variant);
KDT_VARIANT_CONVERSIONS(KDT_DECLARE_VARIANT_CONVERSION)
#undef KDT_DECLARE_VARIANT_CONVERSION

// The host's type code of a Variant: the global method
// "VarType(value As Variant) As Integer" loaded with REALLoadGlobalMethod,
// else the Variant's Integer property "Type", else 0.
int32_t VarType(REALobject variant);

}  // namespace kdt
