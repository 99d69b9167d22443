// Entry wrappers: one library function per host entry, named after the entry.
//
// The host is never linked.  Each wrapper asks the resolver for its entry by
// name on first use, keeps the address in a slot of its own and forwards the
// call.  When the host lacks the entry the wrapper makes no call, writes no
// out-parameter and returns 0, null or false (nothing for void entries).
//
// Signatures: a wrapper generated from KDT_HOST_ENTRIES has exactly the shape
// of the matching type in kdt::entry (plugin/host/HostTypes.h), e.g.
//   void kdt::REALLockObject(REALobject);
//   int32_t kdt::REALGetPropValueInteger(REALobject, const char* name, int32_t* out);
// The array procedure, Variant conversion and VarType wrappers are declared
// by hand further down.
//
// Two slot disciplines:
//   once   - a function-local static filled on the first call; an entry that is
//            missing then stays missing for the life of the process;
//   retry  - a relaxed atomic slot looked up again (first name, then the
//            fallback name) on every call while it is still empty.
#pragma once

#include <cstdint>
#include <type_traits>

#include "plugin/host/HostTypes.h"

namespace kdt {

// What the host's resolver gives for `name`; null while no resolver is known.
HostFunction ResolveHostEntry(const char* name);

// The wrapper table.  Columns: entry name, (fallback name), number of
// arguments.  *_FLAG rows return 1 when the host returned non-zero, else 0.
// clang-format off
#define KDT_HOST_ENTRIES(ONCE, ONCE_FLAG, RETRY, RETRY_FLAG)                 \
  /* registration and instances */                                          \
  ONCE(PluginRegisterClass, 1)                                              \
  ONCE(PluginNewInstance, 1)                                                \
  /* references */                                                          \
  ONCE(REALLockObject, 1)                                                   \
  ONCE(REALUnlockObject, 1)                                                 \
  ONCE(REALLockString, 1)                                                   \
  ONCE(REALUnlockString, 1)                                                 \
  ONCE(PluginLockText, 1)                                                   \
  ONCE(PluginUnlockText, 1)                                                 \
  /* exceptions */                                                          \
  ONCE(RuntimeRaiseException, 1)                                            \
  RETRY_FLAG(REALSetPropValueString, nullptr, 3)                            \
  RETRY_FLAG(REALSetPropValueInteger, "REALSetPropValueInt", 3)             \
  /* methods by declaration */                                              \
  ONCE(REALLoadGlobalMethod, 2)                                             \
  ONCE(REALLoadObjectMethod, 2)                                             \
  /* properties */                                                          \
  ONCE_FLAG(REALGetPropValueInt, 3)                                         \
  ONCE_FLAG(REALGetPropValueString, 3)                                      \
  ONCE_FLAG(REALGetPropValueDouble, 3)                                      \
  ONCE_FLAG(REALGetPropValueObject, 3)                                      \
  ONCE_FLAG(PluginGetPropValueText, 3)                                      \
  RETRY_FLAG(REALGetPropValueInteger, "REALGetPropValueInt", 3)             \
  RETRY_FLAG(REALGetPropValueInt64, nullptr, 3)                             \
  RETRY_FLAG(REALGetPropValueSingle, nullptr, 3)                            \
  /* Variants */                                                            \
  ONCE(StringToVariant, 1)                                                  \
  ONCE(PluginNewVariantText, 1)                                             \
  RETRY(IntegerToVariant, "Int32ToVariant", 1)                              \
  RETRY(VariantHash, nullptr, 1)                                            \
  /* arrays */                                                              \
  ONCE(RuntimeUBound, 1)                                                    \
  ONCE(RuntimeArrayCreateSingleDimBoundedArray, 2)                          \
  /* strings */                                                             \
  ONCE(REALBuildString, 2)                                                  \
  ONCE(REALSetStringEncoding, 2)                                            \
  ONCE(REALGetStringEncoding, 1)                                            \
  ONCE(REALConvertString, 2)                                                \
  ONCE_FLAG(PluginGetStringData, 3)                                         \
  ONCE(PluginDisposeStringData, 1)                                          \
  ONCE(RuntimeStringCompare, 2)                                             \
  /* texts */                                                               \
  ONCE(PluginGetTextData, 3)                                                \
  ONCE(PluginDisposeTextData, 1)                                            \
  ONCE(PluginCompareText, 3)
// clang-format on

// Declares `name` with the function type of entry::name.
#define KDT_DECLARE_ENTRY_WRAPPER(name, ...) std::remove_pointer_t<entry::name> name;
KDT_HOST_ENTRIES(KDT_DECLARE_ENTRY_WRAPPER, KDT_DECLARE_ENTRY_WRAPPER, KDT_DECLARE_ENTRY_WRAPPER,
                 KDT_DECLARE_ENTRY_WRAPPER)
#undef KDT_DECLARE_ENTRY_WRAPPER

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
