// Text keys, case-sensitive (S) and case-insensitive (I): the host's own
// compare, and a hash of the Text's UTF-8 (S) or folded UTF-16 (I) data that
// starts from 1, so that a Text never hashes like the equal String by
// accident.  A Text key keeps its hash; it has no view.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"

namespace kdt {

// Raw operations on Texts (nil allowed).
uint32_t TextHashS(REALtext t);
uint32_t TextHashI(REALtext t);
int32_t TextCompareS(REALtext a, REALtext b);
int32_t TextCompareI(REALtext a, REALtext b);

// Stored Text keys: the host's hash, cached in the key, and compare.
inline uint32_t KeyHash(const TextKey<CaseMode::S>& k) {
  if (k.hash == 0) k.hash = TextHashS(k.get());
  return k.hash;
}
inline uint32_t KeyHash(const TextKey<CaseMode::I>& k) {
  if (k.hash == 0) k.hash = TextHashI(k.get());
  return k.hash;
}
inline int32_t KeyCompare(const TextKey<CaseMode::S>& a, const TextKey<CaseMode::S>& b) {
  return TextCompareS(a.get(), b.get());
}
inline int32_t KeyCompare(const TextKey<CaseMode::I>& a, const TextKey<CaseMode::I>& b) {
  return TextCompareI(a.get(), b.get());
}

}  // namespace kdt
