#include "containers/storage/PositionRegistry.h"

#include <atomic>
#include <mutex>
#include <new>
#include <type_traits>

namespace kdt {
namespace {

// Entries live in segments that never move or go away, so a reader needs no
// lock to reach one; only making and releasing slots is serialised.
constexpr uint32_t kSegmentBits = 10;
constexpr uint32_t kSegmentSize = 1u << kSegmentBits;
constexpr uint32_t kMaxSegments = 4096;

struct TableEntry {
  std::atomic<uint32_t> generation;
  std::atomic<PositionTable*> table;
  std::atomic<const void*> tag;
  uint32_t nextFree;  // under the mutex
};

struct Registry {
  std::mutex mutex;
  std::atomic<TableEntry*> segments[kMaxSegments];
  uint32_t used = 1;  // slot 0 is never handed out
  uint32_t freeHead = 0;
};

// Constant-initialised, so there is nothing to make on first use, and never
// destroyed (its destructor does nothing): iterators may be checked by a host
// after the library's static destructors would have run.
Registry g_registry;
static_assert(std::is_trivially_destructible_v<Registry>, "the registry outlives every caller");

Registry& TheRegistry() {
  return g_registry;
}

TableEntry* Find(const Registry& r, uint32_t slot) {
  uint32_t segment = slot >> kSegmentBits;
  if (segment >= kMaxSegments) return nullptr;
  TableEntry* entries = r.segments[segment].load(std::memory_order_acquire);
  return entries == nullptr ? nullptr : &entries[slot & (kSegmentSize - 1)];
}

}  // namespace

uint32_t TableRegistry::Acquire(PositionTable* table, const void* tag) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  uint32_t slot = r.freeHead;
  TableEntry* e;
  if (slot != 0) {
    e = Find(r, slot);
    r.freeHead = e->nextFree;
  } else {
    slot = r.used;
    uint32_t segment = slot >> kSegmentBits;
    if (segment >= kMaxSegments) throw std::bad_alloc();
    if (r.segments[segment].load(std::memory_order_relaxed) == nullptr) {
      auto* entries = new TableEntry[kSegmentSize];
      for (uint32_t i = 0; i < kSegmentSize; ++i) {
        entries[i].generation.store(kFirstGeneration, std::memory_order_relaxed);
        entries[i].table.store(nullptr, std::memory_order_relaxed);
        entries[i].tag.store(nullptr, std::memory_order_relaxed);
        entries[i].nextFree = 0;
      }
      r.segments[segment].store(entries, std::memory_order_release);
    }
    e = Find(r, slot);
    ++r.used;
  }
  e->nextFree = 0;
  e->tag.store(tag, std::memory_order_relaxed);
  e->table.store(table, std::memory_order_release);
  return slot;
}

void TableRegistry::Release(uint32_t slot) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  TableEntry* e = Find(r, slot);
  uint32_t g = e->generation.load(std::memory_order_relaxed);
  // The generation moves on before the table is forgotten, so a reader that
  // saw the old table re-checks the generation and gives up.
  if (g != kLastGeneration) e->generation.store(g + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  e->table.store(nullptr, std::memory_order_relaxed);
  e->tag.store(nullptr, std::memory_order_relaxed);
  if (g == kLastGeneration) return;  // retired for good
  e->nextFree = r.freeHead;
  r.freeHead = slot;
}

void TableRegistry::Renew(uint32_t slot) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  TableEntry* e = Find(r, slot);
  const uint32_t g = e->generation.load(std::memory_order_relaxed);
  // A table renews after 2^31 generations of its nodes; its slot's own
  // generations would last 2^32 renewals more.
  if (g != kLastGeneration) e->generation.store(g + 1, std::memory_order_release);
}

PositionTable* TableRegistry::Resolve(uint32_t slot, uint32_t generation, const void* tag) {
  if (slot == 0) return nullptr;
  TableEntry* e = Find(TheRegistry(), slot);
  // Generation, then what it guards, then the generation again: equal both
  // times, the table and tag read belong to that generation.
  if (e == nullptr || e->generation.load(std::memory_order_acquire) != generation) return nullptr;
  PositionTable* table = e->table.load(std::memory_order_relaxed);
  const void* registeredTag = e->tag.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (e->generation.load(std::memory_order_relaxed) != generation) return nullptr;
  return registeredTag == tag ? table : nullptr;
}

uint32_t TableRegistry::Generation(uint32_t slot) {
  return Find(TheRegistry(), slot)->generation.load(std::memory_order_relaxed);
}

void TableRegistry::SetGenerationForTesting(uint32_t slot, uint32_t generation) {
  Find(TheRegistry(), slot)->generation.store(generation, std::memory_order_relaxed);
}

}  // namespace kdt
