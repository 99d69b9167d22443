#include "benchmarks/LibraryHeap.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <unordered_map>

#include "standin/host/Host.h"

// glibc's own entries: the wrappers below forward to them, and the block
// table takes its memory from them, so that it never counts itself.
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_malloc(size_t size);
extern "C" void __libc_free(void* block);

namespace {

template <class T>
struct LibcAllocator {
  using value_type = T;
  LibcAllocator() = default;
  template <class U>
  LibcAllocator(const LibcAllocator<U>&) {}
  T* allocate(size_t n) {
    void* p = __libc_malloc(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { __libc_free(p); }
  bool operator==(const LibcAllocator&) const { return true; }
  bool operator!=(const LibcAllocator&) const { return false; }
};

using Blocks = std::unordered_map<void*, size_t, std::hash<void*>, std::equal_to<void*>,
                                  LibcAllocator<std::pair<void* const, size_t>>>;

// Plain globals: calloc and free run before constructors and after
// destructors, and then `counting` is false.
bool counting = false;
uint64_t gateCalls = 0;  // the gate's count at the library's last counted block
bench::HeapCount held;
Blocks* blocks = nullptr;

}  // namespace

extern "C" void* calloc(size_t count, size_t size) {
  void* p = __libc_calloc(count, size);
  if (counting && p) {
    const uint64_t calls = standin::Host::LibraryAllocations();
    if (calls != gateCalls) {
      gateCalls = calls;
      blocks->emplace(p, count * size);
      held.bytes += count * size;
      ++held.blocks;
    }
  }
  return p;
}

extern "C" void free(void* block) {
  if (counting && block) {
    auto it = blocks->find(block);
    if (it != blocks->end()) {
      held.bytes -= it->second;
      --held.blocks;
      blocks->erase(it);
    }
  }
  __libc_free(block);
}

namespace bench {

void StartLibraryHeapCount() {
  static Blocks table;
  blocks = &table;
  blocks->clear();
  held = {};
  gateCalls = standin::Host::LibraryAllocations();
  counting = true;
}

HeapCount LibraryHeapCount() {
  return held;
}

void StopLibraryHeapCount() {
  counting = false;
  blocks->clear();
}

}  // namespace bench
