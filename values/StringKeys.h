// String keys, case-sensitive (S) and case-insensitive (I): their view,
// hash and compare.
//
// A String key keeps the UTF-8 bytes its case-sensitive comparison reads
// (2 words): the string's own bytes when they are those bytes already (ASCII
// in an ASCII-compatible encoding, or UTF-8 on hosts that read UTF-8 in
// place), otherwise a copy of the host's conversion.  Without a view Strings
// are read through RBStringConverter as UTF-8 (S) or UTF-16 (I).  String
// hashes start from 0.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/KeyViews.h"

namespace kdt {

// The view of a String key.
struct StringKeyView : ByteView {
  static StringKeyView Empty() { return {{nullptr, 0}}; }
  template <CaseMode>
  static StringKeyView Copy(const StringKeyView& v) {
    return {CopyBytes(v)};
  }
  template <CaseMode>
  static void Free(StringKeyView* v) {
    FreeBytes(v);
  }
  template <CaseMode>
  static bool Make(REALstring s, bool full, StringKeyView* out) {
    return full ? ViewBytes(s, false, out) : ViewBytesInPlace(s, out);
  }
};

template <CaseMode Mode>
using StringKey = ViewedKey<StringRefPolicy, Mode, StringKeyView>;
static_assert(sizeof(StringKey<CaseMode::S>) == 16, "a String key is 4 words");

// Raw operations on host references (nil allowed).
uint32_t StringHashS(REALstring s);
uint32_t StringHashI(REALstring s);
int32_t StringCompareS(REALstring a, REALstring b);
int32_t StringCompareI(REALstring a, REALstring b);

// Whether this host orders Strings without case through its own compare entry.
bool HostStringCompareOrdersWithoutCase();

// Stored String keys (KeyViews.h): hash and compare through their views,
// with the same results as the raw operations on their references.
uint32_t KeyHash(const StringKey<CaseMode::S>& k);
uint32_t KeyHash(const StringKey<CaseMode::I>& k);
int32_t KeyCompare(const StringKey<CaseMode::S>& a, const StringKey<CaseMode::S>& b);
int32_t KeyCompare(const StringKey<CaseMode::I>& a, const StringKey<CaseMode::I>& b);

}  // namespace kdt
