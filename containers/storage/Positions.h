// Iterator positions, as both storages keep and check them.
//
// An iterator lives in host memory that the library is never told about (the
// iterator classes have no destructor), so it holds only registry words: the
// slot of an element (a position on it) or of a table (its end position), and
// the slot's generation.  A storage turns such words back into one of its
// positions only while the slot is live and belongs to it.
#pragma once

#include <cstdint>

#include "containers/storage/PositionRegistry.h"
#include "values/Handles.h"

namespace kdt {

// Iterator instance data.  A container keeps positions of its
// case-sensitive and case-insensitive tables in two different words (which
// word is which is part of the shape's layout), the slot's generation beside
// them.  Its size is the registered size of every iterator class, so no heap
// record is needed and nothing is left to free when the host drops one.
struct IteratorData {
  uint32_t word0;
  uint32_t word1;
  uint32_t generation;
  uint32_t reserved;
};

// Where an iterator keeps its case-sensitive position: word 0 or 1.
template <int SWord>
struct IteratorLayout {
  static_assert(SWord == 0 || SWord == 1, "a position is word 0 or word 1");
  static uint32_t& S(IteratorData& d) { return SWord == 0 ? d.word0 : d.word1; }
  static uint32_t& I(IteratorData& d) { return SWord == 0 ? d.word1 : d.word0; }
  static uint32_t& Word(IteratorData& d, CaseMode mode) {
    return mode == CaseMode::S ? S(d) : I(d);
  }

  static void Set(IteratorData& d, CaseMode mode, PositionToken token) {
    d.word0 = d.word1 = 0;
    Word(d, mode) = token.slot;
    d.generation = token.generation;
  }

  // The position of the iterator, case-sensitive one first; false when the
  // iterator was never given one.
  static bool Pick(IteratorData& d, CaseMode* mode, PositionToken* token) {
    for (CaseMode m : {CaseMode::S, CaseMode::I}) {
      if (Word(d, m) != 0) {
        *mode = m;
        *token = PositionToken{Word(d, m), d.generation};
        return true;
      }
    }
    return false;
  }
};

// What a position token designates now.
struct ResolvedPosition {
  enum Kind { kGone, kElement, kEnd } kind = kGone;
  void* element = nullptr;  // the element's node (kElement)
  void* table = nullptr;    // the table it belongs to (kElement, kEnd)
};

inline ResolvedPosition ResolvePosition(PositionToken token) {
  const PositionRegistry& registry = PositionRegistry::Instance();
  ResolvedPosition r;
  void* object = registry.Resolve(token.slot, token.generation);
  if (object == nullptr) return r;
  uint32_t owner = registry.Owner(token.slot);
  if (owner == 0) {
    r.kind = ResolvedPosition::kEnd;
    r.table = object;
  } else {
    r.kind = ResolvedPosition::kElement;
    r.element = object;
    r.table = registry.Object(owner);
  }
  return r;
}

// What a kept position means for one table.
enum class Placement { kGone, kForeign, kHere };

// Where a kept position lies for `table`: gone (its element or table no
// longer exists), in another table, or here, in which case *out is the
// table's own position for it.
template <typename Table>
Placement Locate(Table& table, PositionToken token, typename Table::Pos* out) {
  ResolvedPosition r = ResolvePosition(token);
  if (r.kind == ResolvedPosition::kGone) return Placement::kGone;
  if (!table.Holds(r)) return Placement::kForeign;
  *out = table.At(r);
  return Placement::kHere;
}

}  // namespace kdt
