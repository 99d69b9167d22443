// Iterator positions, as both storages keep and check them.
//
// An iterator lives in host memory that the library is never told about (the
// iterator classes have no destructor), so it holds only numbers: its
// table's registry slot and generation, and its element's slot and
// generation in that table's blocks (PositionRegistry.h, NodeBlocks.h).  A
// storage turns them back into one of its own positions only while the table
// slot and the node are live and the table is of the storage's own type.
#pragma once

#include <cstdint>
#include <type_traits>

#include "containers/storage/PositionRegistry.h"
#include "values/Handles.h"

namespace kdt {

// Iterator instance data: the position the iterator keeps, nothing else.
// Its size is the registered size of every iterator class, so no heap record
// is needed and nothing is left to free when the host drops one.
using IteratorData = Position;
static_assert(sizeof(IteratorData) == 16, "an iterator's position fills its 16 bytes");

// The top bit of the table slot tells which of a container's two table types
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
  PositionTable* table = nullptr;  // the table it belongs to (kElement, kEnd)
  CaseMode mode = CaseMode::S;
};

// The table of a position if it is live and of type Table, and in r the
// node of the position's element.  Table::NodeAt(table, slot, generation)
// gives the live node of a slot of that table, or null.
template <typename Table>
PositionTable* Locate(const IteratorData& p, uint32_t tableSlot, ResolvedPosition& r) {
  PositionTable* table = TableRegistry::Resolve(tableSlot, p.tableGeneration, Table::Tag());
  if (table != nullptr && p.elementSlot != 0)
    r.element = Table::NodeAt(*table, p.elementSlot, p.elementGeneration);
  return table;
}

// TableS, TableI: a container's two table types, each naming the tag it
// registers with as Tag(); TableI is void where keys have no case.  The
// table comes back only as the type of the position's mode.
template <typename TableS, typename TableI>
ResolvedPosition ResolvePosition(const IteratorData& p) {
  ResolvedPosition r;
  r.mode = ModeOf(p);
  const uint32_t slot = p.tableSlot & ~kCaseInsensitiveTable;
  PositionTable* table = nullptr;
  if (r.mode == CaseMode::S) {
    table = Locate<TableS>(p, slot, r);
  } else if constexpr (!std::is_void_v<TableI>) {
    table = Locate<TableI>(p, slot, r);
  }
  if (table == nullptr || (p.elementSlot != 0 && r.element == nullptr)) {
    r.element = nullptr;
    return r;
  }
  r.kind = p.elementSlot == 0 ? ResolvedPosition::kEnd : ResolvedPosition::kElement;
  r.table = table;
  return r;
}

}  // namespace kdt
