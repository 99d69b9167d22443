// The host string object as the library reads it in place: word 1 is the
// address one byte before the first character, word 3 the length in bytes,
// word 4 the encoding number.
#pragma once

#include <cstdint>
#include <cstring>

#include "plugin/host/HostTypes.h"

namespace kdt {

struct HostStringBytes {
  const char* data;  // null when the string has no bytes
  int32_t length;
  uint32_t encoding;
};

inline HostStringBytes ReadHostString(REALstring s) {
  const auto* words = reinterpret_cast<const uint32_t*>(s);
  const auto length = static_cast<int32_t>(words[kStringWordLength]);
  const uint32_t before = words[kStringWordDataMinusOne];
  HostStringBytes bytes{nullptr, 0, words[kStringWordEncoding]};
  if (length > 0 && before != 0) {
    bytes.data = reinterpret_cast<const char*>(static_cast<uintptr_t>(before)) + 1;
    bytes.length = length;
  }
  return bytes;
}

// A UTF-16 unit of host data, which need not be aligned.
inline uint16_t UnitAt(const void* data, size_t index) {
  uint16_t unit;
  std::memcpy(&unit, static_cast<const char*>(data) + 2 * index, 2);
  return unit;
}

}  // namespace kdt
