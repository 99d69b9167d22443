// RBStringConverter: one host string seen as UTF-8 bytes and as UTF-16 code
// units, for one hash or one comparison.
//
// Each view is computed on first request and kept until the converter dies.
// Strings that hold only ASCII bytes in an ASCII-compatible encoding are used
// in place; otherwise the host converts them (PluginGetStringData from
// 2012.0, REALConvertString before).  Whatever the converter took from the
// host or allocated is given back by its destructor.  A failed view is empty:
// length 0, data a static empty string, never null.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"

namespace kdt {

// Whether every one of the length bytes is below 0x80.
bool AllBelow0x80(const char* bytes, int32_t length);
// Encodings whose bytes below 0x80 are ASCII (an unspecified encoding is
// tested on its own).
bool KnownASCIICompatible(uint32_t encoding);

class RBStringConverter {
 public:
  explicit RBStringConverter(REALstring s);
  ~RBStringConverter();
  RBStringConverter(const RBStringConverter&) = delete;
  RBStringConverter& operator=(const RBStringConverter&) = delete;

  const char* UTF8Data() {
    ComputeUTF8();
    return utf8_.data;
  }
  int32_t UTF8Length() {
    ComputeUTF8();
    return utf8_.length;
  }
  const uint16_t* UTF16Data() {
    ComputeUTF16();
    return utf16_.data;
  }
  int32_t UTF16Length() {
    ComputeUTF16();
    return utf16_.length;
  }

  // True when the source was found to hold only bytes below 0x80.
  bool plainASCII() const { return plainASCII_; }
  // The string the views are made from (nil when there is none); may differ
  // from the constructor's argument when its encoding was unspecified.
  REALstring source() const { return source_; }

 private:
  template <typename Unit>
  struct View {
    int32_t length = 0;  // units; -1 while not computed
    const Unit* data = nullptr;
    Unit* owned = nullptr;
    REALstring converted = nullptr;
    StringDataRecord record = {};
    bool recordHeld = false;
  };

  void ComputeUTF8();
  void ComputeUTF16();
  template <typename Unit>
  void Clear(View<Unit>& view);

  REALstring source_ = nullptr;
  bool plainASCII_ = false;
  View<char> utf8_;
  View<uint16_t> utf16_;
};

}  // namespace kdt
