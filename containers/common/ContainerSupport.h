// Pieces every container family shares: the messages, argument decoding,
// the array cache, and the iterator instance data with its safe positions.
#pragma once

#include <cstdint>
#include <type_traits>

#include "containers/common/PositionRegistry.h"
#include "errors/Exceptions.h"
#include "plugin/ClassRecords.h"
#include "plugin/host/HostEntries.h"
#include "plugin/host/HostTypes.h"
#include "values/Handles.h"

namespace kdt {

inline constexpr char kMapNotInitialized[] = "Map not initialized";
inline constexpr char kSetNotInitialized[] = "Set not initialized";
inline constexpr char kIteratorNotInitialized[] = "Iterator not initialized";
inline constexpr char kOtherIteratorIsNil[] = "other iterator is nil";
inline constexpr char kIteratorIsNil[] = "Iterator is nil";
inline constexpr char kOtherMapIsNil[] = "Other map is nil";
inline constexpr char kOtherMapNotInitialized[] = "Other map not initialized";
inline constexpr char kArrayIsNil[] = "array is nil";
inline constexpr char kValuesArrayIsNil[] = "values array is nil";
inline constexpr char kKeyNotFound[] = "Key not found";

inline void RaiseNilObject(const char* message) {
  RaiseHostException(kNilObjectException, message);
}

// A Boolean argument arrives as a word whose low byte carries the value.
inline bool BooleanArgument(uint32_t word) {
  return (word & 0xFFu) != 0;
}

// Releases the container's reference on a cached array and forgets it.
inline void ReleaseArray(REALarray& array) {
  if (array != nullptr) {
    REALarray old = array;
    array = nullptr;
    REALUnlockObject(old);
  }
}

// A new reference for the caller on an array the container keeps.
inline REALarray ShareArray(REALarray array) {
  if (array != nullptr) REALLockObject(array);
  return array;
}

// Iterator instance data: the position the iterator keeps, nothing else.
// The registered size of an iterator class (16 bytes after rounding) holds
// it, so no heap record is needed and nothing is left to free when the host
// drops the iterator.
using IteratorData = Position;
static_assert(sizeof(IteratorData) == 16, "an iterator's position fills its 16 bytes");

// The top bit of the table slot tells which of the family's two table types
// a position lies in, so that a container of one case mode passes over the
// positions of the other without resolving them, stale ones included.
inline constexpr uint32_t kCaseInsensitiveTable = 0x80000000u;

inline IteratorData InMode(Position p, CaseMode mode) {
  if (mode == CaseMode::I) p.tableSlot |= kCaseInsensitiveTable;
  return p;
}
inline CaseMode ModeOf(const IteratorData& d) {
  return (d.tableSlot & kCaseInsensitiveTable) != 0 ? CaseMode::I : CaseMode::S;
}
inline bool HasPosition(const IteratorData& d) {
  return (d.tableSlot & ~kCaseInsensitiveTable) != 0;
}

// What a kept position designates now.
struct ResolvedPosition {
  enum Kind { kGone, kElement, kEnd } kind = kGone;
  void* element = nullptr;         // the element's node (kElement)
  PositionTable* table = nullptr;  // the table or tree it belongs to (kElement, kEnd)
  CaseMode mode = CaseMode::S;
};

// TableS, TableI: the family's two table types, each naming the tag it
// registers with as Tag(); TableI is void for families without one.  The
// table comes back only as the type of the position's mode.
template <typename TableS, typename TableI>
ResolvedPosition ResolvePosition(const IteratorData& p) {
  ResolvedPosition r;
  r.mode = ModeOf(p);
  uint32_t slot = p.tableSlot & ~kCaseInsensitiveTable;
  PositionTable* table = nullptr;
  if (r.mode == CaseMode::S) {
    table = TableRegistry::Resolve(slot, p.tableGeneration, TableS::Tag());
  } else if constexpr (!std::is_void_v<TableI>) {
    table = TableRegistry::Resolve(slot, p.tableGeneration, TableI::Tag());
  }
  if (table == nullptr) return r;
  if (p.elementSlot == 0) {
    r.kind = ResolvedPosition::kEnd;
  } else {
    r.element = table->elements().Resolve(p.elementSlot, p.elementGeneration);
    if (r.element == nullptr) return r;
    r.kind = ResolvedPosition::kElement;
  }
  r.table = table;
  return r;
}

// Creates an instance of an iterator class through the host and gives it a
// position.  Returns nil when the host cannot create it.
inline REALobject NewIterator(const ClassRecord& iteratorClass, CaseMode mode, Position position) {
  REALobject it = PluginNewInstance(iteratorClass.name);
  if (it == nullptr) return nullptr;
  *InstanceData<IteratorData>(it, iteratorClass) = InMode(position, mode);
  return it;
}

}  // namespace kdt
