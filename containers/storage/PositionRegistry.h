// Positions that a host program may keep longer than what they point at.
//
// An iterator lives in host memory that the library is never told about (the
// iterator classes have no destructor), so it cannot be tracked or updated
// when its element, table or container goes away.  Instead an iterator keeps
// four numbers: the slot and generation of its table in the process-wide
// table registry, and the slot and generation of its element in that table's
// own element slots.  Releasing a slot bumps its generation, so a stale
// iterator is recognised by comparing numbers: no pointer kept by an iterator
// is followed unless its table slot and its element slot are both still live.
//
// Threads: the host may use different containers on different threads at
// once.  The table registry is the only shared part; it is touched when a
// table is made or dies (under a mutex) and read by iterators without a lock
// (its entries never move and are read with atomics).  Element slots belong
// to their table and are touched only by whoever uses that table.
//
// A slot whose generation would wrap is retired instead of being handed out
// again, so no stale position ever passes as live.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
  // The live table of (slot, generation) if it was registered with `tag`,
  // else null.
  static PositionTable* Resolve(uint32_t slot, uint32_t generation, const void* tag);
  static uint32_t Generation(uint32_t slot);

  // Lets a test bring a live slot near the end of its generations.
  static void SetGenerationForTesting(uint32_t slot, uint32_t generation);
};

// The element slots of one table.  Slot 0 is never handed out.
class ElementSlots {
 public:
  // Makes sure the next Acquire needs no allocation; may throw.
  void Reserve() {
    if (freeHead_ == 0) Grow();
  }
  // Needs a Reserve first; never throws.
  uint32_t Acquire(void* node) {
    uint32_t slot = freeHead_;
    Entry& e = At(slot);
    freeHead_ = e.nextFree;
    e.node = node;
    e.nextFree = 0;
    return slot;
  }
  void Release(uint32_t slot) {
    Entry& e = At(slot);
    e.node = nullptr;
    if (e.generation == kLastGeneration) return;  // retired for good
    ++e.generation;
    e.nextFree = freeHead_;
    freeHead_ = slot;
  }
  void* Resolve(uint32_t slot, uint32_t generation) const {
    if (slot == 0 || slot > entries_.size()) return nullptr;
    const Entry& e = entries_[slot - 1];
    return e.generation == generation ? e.node : nullptr;
  }
  uint32_t Generation(uint32_t slot) const { return entries_[slot - 1].generation; }

  void SetGenerationForTesting(uint32_t slot, uint32_t generation) {
    At(slot).generation = generation;
  }

 private:
  struct Entry {
    void* node;
    uint32_t generation;
    uint32_t nextFree;  // 0 ends the free list
  };
  Entry& At(uint32_t slot) { return entries_[slot - 1]; }
  void Grow();

  std::vector<Entry> entries_;
  uint32_t freeHead_ = 0;
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
  Position PositionOf(uint32_t elementSlot) const {
    return Position{slot_, generation_, elementSlot, elements_.Generation(elementSlot)};
  }
  ElementSlots& elements() { return elements_; }
  const ElementSlots& elements() const { return elements_; }

 private:
  uint32_t slot_;
  uint32_t generation_;
  ElementSlots elements_;
};

// The element slot stored beside an element.  Copies start without one: a
// copied element is a new element and gets its slot from its new table.
class RegisteredSlot {
 public:
  RegisteredSlot() = default;
  RegisteredSlot(const RegisteredSlot&) {}
  RegisteredSlot& operator=(const RegisteredSlot&) { return *this; }

  uint32_t slot() const { return slot_; }
  // Elements of ordered sets are immutable in their trees; the slot is
  // bookkeeping beside the element, so it may change through a const element.
  void Set(uint32_t slot) const { slot_ = slot; }

 private:
  mutable uint32_t slot_ = 0;
};

}  // namespace kdt
