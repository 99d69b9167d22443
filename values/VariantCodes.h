// The host's type codes of Variants that keys give meaning to.
#pragma once

#include <cstdint>

namespace kdt {

enum : int32_t {
  kVarTypeNil = 0,
  kVarTypeInteger = 2,
  kVarTypeInt64 = 3,
  kVarTypeSingle = 4,
  kVarTypeDouble = 5,
  kVarTypeCurrency = 6,
  kVarTypeString = 8,
  kVarTypeBoolean = 11,
  kVarTypeColor = 16,
  kVarTypeCString = 18,
  kVarTypeWString = 19,
  kVarTypePString = 20,
  kVarTypeCFString = 21,
  kVarTypeText = 37,
};

// The codes that compare as Strings.
inline bool IsStringCode(int32_t t) {
  return t == kVarTypeString || (t >= kVarTypeCString && t <= kVarTypeCFString);
}

}  // namespace kdt
