// Hashing, equality and ordering of String and Text keys, case-sensitive (S)
// and case-insensitive (I).
//
// Strings are read through RBStringConverter as UTF-8 (S) or UTF-16 (I);
// Texts through the host's own data and comparison entries.  String hashes
// start from 0 and Text hashes from 1, so the two never agree by accident.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/KeyViews.h"

namespace kdt {

// One step of the ELF hash.
constexpr uint32_t HashStep(uint32_t h, uint32_t unit) {
  uint32_t x = unit + (h << 4);
  uint32_t g = x & 0xF0000000u;
  return x ^ (g | (g >> 24));
}

// Simple case folding of every 16-bit unit (Unicode 3.2.0, statuses C and S);
// built on first use, read-only afterwards.
const uint16_t* CaseFoldTable();

// Raw operations on host references (nil allowed).
uint32_t StringHashS(REALstring s);
uint32_t StringHashI(REALstring s);
int32_t StringCompareS(REALstring a, REALstring b);
int32_t StringCompareI(REALstring a, REALstring b);
uint32_t TextHashS(REALtext t);
uint32_t TextHashI(REALtext t);
int32_t TextCompareS(REALtext a, REALtext b);
int32_t TextCompareI(REALtext a, REALtext b);

// strncmp of two byte ranges with a limit of min(la, lb) + 1 (foldCase:
// strncasecmp); bytes past a range's end read as its terminator.
int32_t CompareByteRanges(const char* a, int32_t la, const char* b, int32_t lb, bool foldCase);
// Whether this host orders Strings without case through its own compare entry.
bool HostStringCompareOrdersWithoutCase();

// Stored String keys (KeyViews.h): hash and compare through their views,
// with the same results as the raw operations on their references.
uint32_t KeyHash(const StringKey<CaseMode::S>& k);
uint32_t KeyHash(const StringKey<CaseMode::I>& k);
int32_t KeyCompare(const StringKey<CaseMode::S>& a, const StringKey<CaseMode::S>& b);
int32_t KeyCompare(const StringKey<CaseMode::I>& a, const StringKey<CaseMode::I>& b);

// The functors of String, Text and Variant keys (the Variant overloads are in
// VariantKeys.h).
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
