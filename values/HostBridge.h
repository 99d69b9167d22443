// The host's Dictionary and host arrays, as the containers exchange data
// with them.
//
// Dictionary methods are loaded by declaration for one Dictionary at a time
// and kept until another Dictionary is used or the cache is reset.  The
// cache is shared by all threads and locked for each lookup and the call
// that follows it.  Array
// elements are read and written in place where the host keeps them in a
// plain block (hosts before 2017.0), else through the host's accessors.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"

namespace kdt {

// A new, empty Dictionary owned by the caller, or nil.
REALobject DictionaryNew();
// "Count" of d; 0 for nil or when it cannot be read.
int32_t DictionaryCount(REALobject d);
// Stores value under key; both borrowed.  Nothing happens for a nil d.
void DictionarySetValue(REALobject d, REALobject key, REALobject value);
// The Variant stored under key, owned by the caller, or nil.
REALobject DictionaryGetValue(REALobject d, REALobject key);
// The key at index (insertion order), owned by the caller, or nil.
REALobject DictionaryKeyAt(REALobject d, int32_t index);
// Forgets the cached Dictionary: call when a whole read or write is done, so
// a later Dictionary at the same address loads its methods afresh.
void DictionaryCacheReset();

// A new array of the given element type code (kArrayType*) with indexes 0 to
// upperBound, owned by the caller, or nil.
REALarray HostArrayCreate(int32_t typeCode, int32_t upperBound);
// Last index of a; -1 for nil.
int32_t HostArrayUBound(REALarray a);

// Element access, T one of int32_t, REALstring, REALtext and REALobject.
// Nothing happens for a nil array.  A read outside 0 .. UBound raises the
// host's OutOfBoundsException for "index" and leaves *out unchanged.  A
// String, Text or Variant read into *out carries one lock owned by the
// caller; values handed to set and insert are borrowed.
template <typename T>
void HostArrayGet(REALarray a, int32_t index, T* out);
// The same for an array made by HostArrayCreate: one host call fewer a read.
template <typename T>
void HostOwnArrayGet(REALarray a, int32_t index, T* out);
// Fills element index of an array just made by HostArrayCreate, which no one
// else holds yet: no bounds read, one host call at most.
template <typename T>
void HostFreshArraySet(REALarray a, int32_t index, T value);
// Inserts before index (index = count appends); no nil or bounds check, the
// host's insert accessor decides.
template <typename T>
void HostArrayInsert(REALarray a, int32_t index, T value);

}  // namespace kdt
