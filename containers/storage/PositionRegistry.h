// Positions that a host program may keep longer than what they point at.
//
// An iterator lives in host memory that the library is never told about (the
// iterator classes have no destructor), so it cannot be tracked or updated
// when its element, table or container goes away.  Instead every table and
// every stored element holds a slot in this registry, and an iterator stores
// only (slot, generation) words.  Releasing a slot bumps its generation, so a
// stale iterator is recognised by comparing two numbers: no pointer kept by an
// iterator is ever followed unless its slot is still live.
//
// Slot 0 is never handed out; iterators use it for "no position".
// A generation wraps only after 2^32 reuses of one slot while an iterator still
// holds the old number, which is the one case a stale position can pass.
//
// Containers are not safe for concurrent use from several threads; the
// registry shares that rule (it is touched whenever elements come and go).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kdt {

class PositionRegistry {
 public:
  struct Slot {
    void* object;    // the table or element node; null while free
    uint32_t owner;  // for an element: the slot of its table; 0 for a table
    uint32_t generation;
  };

  static PositionRegistry& Instance();

  // Takes a slot for `object`; `owner` is the table's slot for an element and 0
  // for a table itself.
  uint32_t Acquire(void* object, uint32_t owner);
  // Frees a slot: every (slot, generation) pair handed out for it goes stale.
  void Release(uint32_t slot);

  // The live object of (slot, generation), or null when it is gone.
  void* Resolve(uint32_t slot, uint32_t generation) const {
    if (slot == 0 || slot >= slots_.size()) return nullptr;
    const Slot& s = slots_[slot];
    return s.generation == generation ? s.object : nullptr;
  }
  uint32_t Generation(uint32_t slot) const { return slots_[slot].generation; }
  uint32_t Owner(uint32_t slot) const { return slots_[slot].owner; }
  void* Object(uint32_t slot) const { return slots_[slot].object; }
  size_t LiveCount() const { return slots_.size() - 1 - free_.size(); }

 private:
  PositionRegistry() : slots_(1, Slot{nullptr, 0, 0}) {}
  std::vector<Slot> slots_;
  std::vector<uint32_t> free_;
};

// A registry slot owned by a table or an element: released when the owner
// dies.  Copies start without a slot, because a copied element is a new
// element (it is registered once it has its node).
class RegisteredSlot {
 public:
  RegisteredSlot() = default;
  RegisteredSlot(const RegisteredSlot&) {}
  RegisteredSlot& operator=(const RegisteredSlot&) { return *this; }
  ~RegisteredSlot() { Reset(); }

  void Register(void* object, uint32_t owner) const {
    Reset();
    slot_ = PositionRegistry::Instance().Acquire(object, owner);
  }
  void Reset() const {
    if (slot_ != 0) PositionRegistry::Instance().Release(slot_);
    slot_ = 0;
  }
  uint32_t slot() const { return slot_; }
  uint32_t generation() const { return PositionRegistry::Instance().Generation(slot_); }

 private:
  // Elements of ordered sets are immutable in their trees; the slot is
  // bookkeeping beside the element, so it may change through a const element.
  mutable uint32_t slot_ = 0;
};

// What an iterator keeps: a slot and the generation it had when the iterator
// was made.  The slot is an element's (a position on it) or a table's (the end
// position of that table).
struct PositionToken {
  uint32_t slot;
  uint32_t generation;
};

}  // namespace kdt
