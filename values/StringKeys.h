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

// The functors of viewed keys (String keys here, Variant keys in
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

// Takes the hash from the handle when cached, else computes and caches it.
template <typename Handle, uint32_t (*Compute)(typename Handle::Ref)>
uint32_t CachedHash(const Handle& h) {
  if (h.hash == 0) h.hash = Compute(h.get());
  return h.hash;
}

struct RBStringHashS {
  uint32_t operator()(const RBStringS& a) const { return CachedHash<RBStringS, StringHashS>(a); }
};
struct RBStringHashI {
  uint32_t operator()(const RBStringI& a) const { return CachedHash<RBStringI, StringHashI>(a); }
};
struct EqualRBStringS {
  bool operator()(const RBStringS& a, const RBStringS& b) const {
    return StringCompareS(a.get(), b.get()) == 0;
  }
};
struct EqualRBStringI {
  bool operator()(const RBStringI& a, const RBStringI& b) const {
    return StringCompareI(a.get(), b.get()) == 0;
  }
};
struct LTRBStringS {
  bool operator()(const RBStringS& a, const RBStringS& b) const {
    return StringCompareS(a.get(), b.get()) < 0;
  }
};
struct LTRBStringI {
  bool operator()(const RBStringI& a, const RBStringI& b) const {
    return StringCompareI(a.get(), b.get()) < 0;
  }
};

struct RBTextHashS {
  uint32_t operator()(const RBTextS& a) const { return CachedHash<RBTextS, TextHashS>(a); }
};
struct RBTextHashI {
  uint32_t operator()(const RBTextI& a) const { return CachedHash<RBTextI, TextHashI>(a); }
};
struct EqualRBTextS {
  bool operator()(const RBTextS& a, const RBTextS& b) const {
    return TextCompareS(a.get(), b.get()) == 0;
  }
};
struct EqualRBTextI {
  bool operator()(const RBTextI& a, const RBTextI& b) const {
    return TextCompareI(a.get(), b.get()) == 0;
  }
};
struct LTRBTextS {
  bool operator()(const RBTextS& a, const RBTextS& b) const {
    return TextCompareS(a.get(), b.get()) < 0;
  }
};
struct LTRBTextI {
  bool operator()(const RBTextI& a, const RBTextI& b) const {
    return TextCompareI(a.get(), b.get()) < 0;
  }
};

}  // namespace kdt
