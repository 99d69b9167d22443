#include "containers/storage/PositionRegistry.h"

namespace kdt {

PositionRegistry& PositionRegistry::Instance() {
  // Never destroyed: iterators may be checked by a host after the library's
  // static destructors would have run.
  static PositionRegistry* registry = new PositionRegistry();
  return *registry;
}

uint32_t PositionRegistry::Acquire(void* object, uint32_t owner) {
  uint32_t slot;
  if (!free_.empty()) {
    slot = free_.back();
    free_.pop_back();
  } else {
    slot = static_cast<uint32_t>(slots_.size());
    slots_.push_back(Slot{nullptr, 0, 1});
    // Release must not allocate: it runs from destructors.
    free_.reserve(slots_.capacity());
  }
  slots_[slot].object = object;
  slots_[slot].owner = owner;
  return slot;
}

void PositionRegistry::Release(uint32_t slot) {
  Slot& s = slots_[slot];
  s.object = nullptr;
  s.owner = 0;
  ++s.generation;
  if (s.generation == 0) s.generation = 1;
  free_.push_back(slot);
}

}  // namespace kdt
