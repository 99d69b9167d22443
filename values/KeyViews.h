// What String and Variant keys share: a key that carries a view of what its
// comparisons read (ViewedKey), the byte view of a String, and the hash steps
// and case folding of the key hashes.  The views themselves are the key
// kinds' own (StringKeys.h, VariantKeys.h).
//
// A key's view is made the first time a hash or comparison needs it and is
// kept for as long as the key lives: host strings and Variants never change,
// and the key holds a lock on its reference, so the view stays true.  A probe
// (the argument of one call, a borrowed key) makes its view once for the
// call; a key stored from a probe takes a copy of the probe's view.  A view
// the host cannot convert is not kept: that key is compared the long way,
// through the host, each time.  Out of memory while making or copying a view
// raises like any other allocation failure of the call.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"

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

// strncmp of two byte ranges with a limit of min(la, lb) + 1 (foldCase:
// strncasecmp); bytes past a range's end read as its terminator.
int32_t CompareByteRanges(const char* a, int32_t la, const char* b, int32_t lb, bool foldCase);
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

}  // namespace kdt
