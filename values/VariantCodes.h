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

// What Variants of a type code are compared by: the one table that view
// building, comparison, index order and hashing follow.
enum class ValueKind { kNothing, kInt32, kInt64, kSingle, kDouble, kString, kText, kReference };
inline ValueKind ValueKindOf(int32_t code) {
  switch (code) {
    case kVarTypeNil:
      return ValueKind::kNothing;
    case kVarTypeInteger:
    case kVarTypeBoolean:
    case kVarTypeColor:
      return ValueKind::kInt32;
    case kVarTypeInt64:
      return ValueKind::kInt64;
    case kVarTypeSingle:
      return ValueKind::kSingle;
    case kVarTypeDouble:
    case kVarTypeCurrency:
      return ValueKind::kDouble;
    case kVarTypeText:
      return ValueKind::kText;
    default:
      return IsStringCode(code) ? ValueKind::kString : ValueKind::kReference;
  }
}

}  // namespace kdt
