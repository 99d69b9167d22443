// A small class of the tests' own, registered through the library's
// registration path, so record layouts and instance data can be checked as a
// host sees them before (and independently of) the container families.
#pragma once

#include <cstdint>
#include <cstring>

#include "plugin/ClassRecords.h"
#include "plugin/host/HostTypes.h"

namespace probe {

struct Data {
  int32_t value;
  int32_t slots[2];
  uint8_t caseSensitive;  // read by the host's standard getter
};

constexpr uint32_t kCaseSensitiveOffset = 12;
constexpr char kValue[] = "Value as Integer";
constexpr char kConstructor[] = "Constructor(start as Integer)";
constexpr char kSlot[] = "Slot(index as Integer) as Integer";

// The record whose instances the functions below serve: the last one made.
inline kdt::ClassRecord* activeRecord = nullptr;

inline Data* DataOf(kdt::REALobject self) {
  return kdt::InstanceData<Data>(self, *activeRecord);
}

inline void Construct(kdt::REALobject self, int32_t start) {
  DataOf(self)->value = start;
  DataOf(self)->caseSensitive = 1;
}
inline int32_t Value(kdt::REALobject self) {
  return DataOf(self)->value;
}
inline int32_t Doubled(kdt::REALobject self) {
  return 2 * DataOf(self)->value;
}
inline int32_t GetSlot(kdt::REALobject self, int32_t index) {
  return DataOf(self)->slots[index & 1];
}
inline void SetSlot(kdt::REALobject self, int32_t index, int32_t value) {
  DataOf(self)->slots[index & 1] = value;
}

template <typename F>
kdt::HostFunction Fn(F* f) {
  return reinterpret_cast<kdt::HostFunction>(f);
}

// A new record named `name` (kept for the life of the process, as the host
// keeps pointers into it), declaring `dataSize` bytes of instance data.
kdt::ClassRecord* MakeRecord(const char* name, uint32_t dataSize = 24);

}  // namespace probe
