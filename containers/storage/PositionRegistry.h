// Positions that a host program may keep longer than what they point at.
//
// An iterator lives in host memory that the library is never told about (the
// iterator classes have no destructor), so it cannot be tracked or updated
// when its element, table or container goes away.  Instead an iterator keeps
// four numbers: the slot and generation of its table in the process-wide
// table registry, and the slot and generation of its element's node in that
// table's blocks (NodeBlocks.h).  Releasing a slot or a node moves its
// generation on, so a stale iterator is recognised by comparing numbers: no
// pointer kept by an iterator is followed unless its table slot and its
// node are both still live.
//
// Threads: the host may use different containers on different threads at
// once.  The table registry is the only shared part; it is touched when a
// table is made or dies (under a mutex) and read by iterators without a lock
// (its entries never move and are read with atomics).  Nodes belong to their
// table and are touched only by whoever uses that table.
//
// A slot whose generation would wrap is retired instead of being handed out
// again, so no stale position ever passes as live.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kdt {

inline constexpr uint32_t kFirstGeneration = 1;
inline constexpr uint32_t kLastGeneration = 0xFFFFFFFFu;

class PositionTable;

// What an iterator keeps.  A zero table slot means "no position"; a zero
// element slot is the table's end position.
struct Position {
  uint32_t tableSlot;
  uint32_t tableGeneration;
  uint32_t elementSlot;
  uint32_t elementGeneration;

  bool operator==(const Position& o) const {
    return tableSlot == o.tableSlot && tableGeneration == o.tableGeneration &&
           elementSlot == o.elementSlot && elementGeneration == o.elementGeneration;
  }
};

// A tag per concrete table type: the registry hands a table back only as the
// type it was registered as.
template <typename T>
inline constexpr char kTableTag = 0;

class TableRegistry {
 public:
  // Takes a slot for `table`; throws std::bad_alloc when no slot can be had.
  static uint32_t Acquire(PositionTable* table, const void* tag);
  // Every position handed out for the slot goes stale.  Never allocates.
  static void Release(uint32_t slot);
  // The same, for a slot its table keeps.
  static void Renew(uint32_t slot);
  // The live table of (slot, generation) if it was registered with `tag`,
  // else null.
  static PositionTable* Resolve(uint32_t slot, uint32_t generation, const void* tag);
  static uint32_t Generation(uint32_t slot);

  // Lets a test bring a live slot near the end of its generations.
  static void SetGenerationForTesting(uint32_t slot, uint32_t generation);
};

// Base of every table and tree iterators may point into: holds the table's
// registry slot for its lifetime.  The object must not move once made.
class PositionTable {
 public:
  explicit PositionTable(const void* tag)
      : slot_(TableRegistry::Acquire(this, tag)), generation_(TableRegistry::Generation(slot_)) {}
  ~PositionTable() { TableRegistry::Release(slot_); }
  PositionTable(const PositionTable&) = delete;
  PositionTable& operator=(const PositionTable&) = delete;

  Position EndPosition() const { return Position{slot_, generation_, 0, 0}; }
  Position PositionOf(uint32_t elementSlot, uint32_t elementGeneration) const {
    return Position{slot_, generation_, elementSlot, elementGeneration};
  }

 protected:
  // Once the table's element generations are used up they start again, and
  // the table's own generation moves on: every position handed out for it,
  // its end position included, goes stale.  Never allocates.
  void Renew() noexcept {
    TableRegistry::Renew(slot_);
    generation_ = TableRegistry::Generation(slot_);
  }

 private:
  uint32_t slot_;
  uint32_t generation_;
};

}  // namespace kdt
