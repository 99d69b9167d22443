// Variant keys: the host's type code of a Variant, and the hash, equality and
// total order over Variants of mixed types, case-sensitive (S) and
// case-insensitive (I).
//
// Variants of one type code compare by value (numbers numerically, Strings
// and Texts through the String and Text keys); Variants of different codes,
// and of codes without a value order, compare by reference.  A nil Variant
// sorts first.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/KeyViews.h"
#include "values/StringKeys.h"
#include "values/VariantCodes.h"

namespace kdt {

// The view of a Variant key: its type code and, by code and mode, its
// number, the bytes of its String (case-sensitive keys) or its value
// converted to a String or Text (Texts, and the Strings of case-insensitive
// keys, which the host compares), locked for as long as the view lives.
struct VariantKeyView {
  static constexpr int32_t kUnviewed = INT32_MIN;

  int32_t code;
  union {
    ByteView bytes;  // data null when not kept
    void* held;      // REALstring or REALtext by code; null when not kept
    int32_t int32;
    float single;
    uint32_t wide[2];  // Int64 or Double, unaligned
  };

  bool ready() const { return code != kUnviewed; }
  int64_t int64() const { return Wide<int64_t>(); }
  double real() const { return Wide<double>(); }
  template <typename T>
  void SetWide(T x) {
    std::memcpy(wide, &x, sizeof x);
  }
  template <CaseMode Mode>
  bool HasBytes() const {
    return Mode == CaseMode::S && IsStringCode(code) && bytes.data != nullptr;
  }
  template <CaseMode Mode>
  bool Holds() const {
    return (code == kVarTypeText || (Mode == CaseMode::I && IsStringCode(code))) && held != nullptr;
  }

  static VariantKeyView Empty() { return {kUnviewed, {{nullptr, 0}}}; }
  template <CaseMode Mode>
  static VariantKeyView Copy(const VariantKeyView& v);
  template <CaseMode Mode>
  static void Free(VariantKeyView* v);
  template <CaseMode Mode>
  static bool Make(REALobject v, bool, VariantKeyView* out) {
    return MakeView(v, Mode, out);
  }
  static bool MakeView(REALobject v, CaseMode mode, VariantKeyView* out);

 private:
  template <typename T>
  T Wide() const {
    T x;
    std::memcpy(&x, wide, sizeof x);
    return x;
  }
};

template <CaseMode Mode>
using VariantKey = ViewedKey<ObjectRefPolicy, Mode, VariantKeyView>;
static_assert(sizeof(VariantKey<CaseMode::S>) == 20, "a Variant key is 5 words");

// Type code of a Variant; 0 when the host cannot tell (or for nil).
int32_t VariantTypeCode(REALobject v);

// Stored Variant keys (KeyViews.h), read through their views.
//
// KeyIndexOrder is a strict total order that is 0 exactly where KeyCompare
// is 0.  The compare orders Variants of different codes by reference and puts
// a NaN after every number both ways, so it is not transitive and cannot
// guide a search over mixed keys; the index order sorts by type code first,
// puts NaNs after all numbers of their code (among themselves by reference)
// and agrees with the compare everywhere else.
template <CaseMode Mode>
uint32_t KeyHash(const VariantKey<Mode>& k);
template <CaseMode Mode>
int32_t KeyCompare(const VariantKey<Mode>& a, const VariantKey<Mode>& b);
template <CaseMode Mode>
int32_t KeyIndexOrder(const VariantKey<Mode>& a, const VariantKey<Mode>& b);

}  // namespace kdt
