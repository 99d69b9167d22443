// Stored String and Variant keys that carry what their comparisons read.
//
// A key's view is made the first time a hash or comparison needs it and is
// kept for as long as the key lives: host strings and Variants never change,
// and the key holds a lock on its reference, so the view stays true.  A probe
// (the argument of one call, a borrowed key) makes its view once for the
// call; a key stored from a probe takes the probe's view with it.
//
// String keys keep the UTF-8 bytes their case-sensitive comparison reads
// (2 words): the string's own bytes when they are those bytes already (ASCII
// in an ASCII-compatible encoding, or UTF-8 on hosts that read UTF-8 in
// place), otherwise a copy of the host's conversion.  Variant keys keep their
// type code and, for the codes compared by value, the number or (String
// codes, case-sensitive keys) a copy of the String's UTF-8 bytes (3 words).
// Neither takes a host reference of its own.  A view the host cannot convert
// is not kept: that key is compared the long way, through the host, each
// time.  Out of memory while making or copying a view raises like any other
// allocation failure of the call.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/VariantCodes.h"

namespace kdt {

// Bytes a String compares by.  data is null while there is no view.
struct ByteView {
  static constexpr uint32_t kLengthMask = 0x3FFFFFFFu;
  static constexpr uint32_t kOwned = 0x80000000u;  // data is our copy
  static constexpr uint32_t kASCII = 0x40000000u;  // the string's own bytes, all below 0x80

  const char* data;
  uint32_t bits;

  bool ready() const { return data != nullptr; }
  int32_t length() const { return static_cast<int32_t>(bits & kLengthMask); }
  bool ascii() const { return (bits & kASCII) != 0; }
};

// Views s in place when its own bytes are the ones compared; no host call.
bool ViewBytesInPlace(REALstring s, ByteView* out);
// Views s in place or through a converter; copy: the view must outlive s, so
// even bytes in place are copied.  False when the host's conversion fails;
// throws std::bad_alloc when a copy cannot be made.
bool ViewBytes(REALstring s, bool copy, ByteView* out);
// A copy of a view (its own copy of owned bytes); throws std::bad_alloc.
ByteView CopyBytes(const ByteView& v);
void FreeBytes(ByteView* v);

// ELF hashes of a view: the bytes, or (ASCII views) the folded bytes; equal to
// the String hashes S and I of the string viewed.
uint32_t HashBytes(const ByteView& v);
uint32_t HashFoldedASCII(const ByteView& v);
// strncmp of two views (foldCase: strncasecmp's ASCII folding).
int32_t CompareBytes(const ByteView& a, const ByteView& b, bool foldCase);

// A key handle of Policy and Mode with a view of type View (see below).  The
// reference and cached hash behave as in HashedKey; the view follows copies
// and moves of the key.
template <typename Policy, CaseMode Mode, typename View>
class ViewedKey : public HashedKey<Policy, Mode> {
  using Base = HashedKey<Policy, Mode>;

 public:
  using Ref = typename Policy::Ref;

  ViewedKey() = default;
  explicit ViewedKey(Ref r) : Base(r) {}
  ViewedKey(Ref r, AdoptLock a) : Base(r, a) {}
  ViewedKey(Ref r, BorrowRef b) : Base(r, b) {}
  ViewedKey(const ViewedKey& other) : Base(other), view_(View::template Copy<Mode>(other.view_)) {}
  ViewedKey(ViewedKey&& other) noexcept : Base(std::move(other)), view_(other.view_) {
    other.view_ = View::Empty();
  }
  // Keys never change in place.
  ViewedKey& operator=(const ViewedKey&) = delete;
  ViewedKey& operator=(ViewedKey&&) = delete;
  ~ViewedKey() { View::template Free<Mode>(&view_); }

  // The view, made on first use; null when it cannot be made.  full: a
  // String view may be converted through the host (else in place only).
  const View* view(bool full = true) const {
    if (!view_.ready() && !View::template Make<Mode>(this->get(), full, &view_)) return nullptr;
    return &view_;
  }

 private:
  mutable View view_ = View::Empty();
};

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
  template <CaseMode Mode>
  bool HasBytes() const {
    return Mode == CaseMode::S && IsStringCode(code) && bytes.data != nullptr;
  }
  template <CaseMode Mode>
  bool Holds() const {
    return (code == kVarTypeText || (Mode == CaseMode::I && IsStringCode(code))) && held != nullptr;
  }

  static VariantKeyView Empty();
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
using StringKey = ViewedKey<StringRefPolicy, Mode, StringKeyView>;
template <CaseMode Mode>
using VariantKey = ViewedKey<ObjectRefPolicy, Mode, VariantKeyView>;

static_assert(sizeof(StringKey<CaseMode::S>) == 16, "a String key is 4 words");
static_assert(sizeof(VariantKey<CaseMode::S>) == 20, "a Variant key is 5 words");

}  // namespace kdt
