// Making the library's allocations fail on demand.  The program replaces the
// process's malloc, calloc and realloc; an allocation counts as the library's
// while the thread is inside plug-in code and not inside a host entry.  The
// count and the countdown belong to the thread, in static TLS of the program,
// so they need no allocation themselves.
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "standin/host/Internal.h"

namespace standin {
namespace {

struct ThreadFaults {
  bool inPlugin = false;
  bool persist = false;
  bool failed = false;
  uint64_t count = 0;
  uint64_t failAt = 0;  // 0: none
};
thread_local ThreadFaults t_faults;

bool ShouldFail() {
  ThreadFaults& f = t_faults;
  if (!f.inPlugin) return false;
  ++f.count;
  if (f.failAt == 0 || f.count < f.failAt || (f.count > f.failAt && !f.persist)) return false;
  f.failed = true;
  return true;
}

}  // namespace

void Host::FailLibraryAllocation(uint64_t k, bool persist) {
  t_faults.count = 0;
  t_faults.failAt = k;
  t_faults.persist = persist;
  t_faults.failed = false;
}

uint64_t Host::LibraryAllocations() {
  return t_faults.count;
}

bool Host::LibraryAllocationFailed() {
  return t_faults.failed;
}

namespace detail {

PluginCode::PluginCode(bool inside) : saved_(t_faults.inPlugin) {
  t_faults.inPlugin = inside;
}
PluginCode::~PluginCode() {
  t_faults.inPlugin = saved_;
}

}  // namespace detail
}  // namespace standin

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator comes next in the lookup order.  dlsym may
// allocate while it looks, so those allocations come from a small arena that
// is never given back.
alignas(16) unsigned char g_arena[16384];
std::atomic<size_t> g_arenaUsed{0};
thread_local bool t_resolving = false;

bool InArena(const void* p) {
  auto* b = static_cast<const unsigned char*>(p);
  return b >= g_arena && b < g_arena + sizeof g_arena;
}

void* ArenaAlloc(size_t n) {
  n = (n + 15) & ~size_t{15};
  size_t at = g_arenaUsed.fetch_add(n);
  if (at + n > sizeof g_arena) return nullptr;
  return g_arena + at;
}

template <class F>
F Next(std::atomic<F>& cache, const char* name) {
  F f = cache.load(std::memory_order_acquire);
  if (f) return f;
  t_resolving = true;
  f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
  t_resolving = false;
  cache.store(f, std::memory_order_release);
  return f;
}

using MallocFn = void* (*)(size_t);
using CallocFn = void* (*)(size_t, size_t);
using ReallocFn = void* (*)(void*, size_t);
using FreeFn = void (*)(void*);
std::atomic<MallocFn> g_malloc{nullptr};
std::atomic<CallocFn> g_calloc{nullptr};
std::atomic<ReallocFn> g_realloc{nullptr};
std::atomic<FreeFn> g_free{nullptr};

void* RealMalloc(size_t n) {
  if (t_resolving) return ArenaAlloc(n);
  return Next(g_malloc, "malloc")(n);
}
void* RealCalloc(size_t n, size_t size) {
  if (t_resolving) return ArenaAlloc(n * size);  // the arena is zero and never reused
  return Next(g_calloc, "calloc")(n, size);
}
void* RealRealloc(void* p, size_t n) {
  if (InArena(p)) {
    void* q = RealMalloc(n);
    if (q)
      std::memcpy(q, p,
                  std::min(n, static_cast<size_t>(g_arena + sizeof g_arena -
                                                  static_cast<unsigned char*>(p))));
    return q;
  }
  return Next(g_realloc, "realloc")(p, n);
}
void RealFree(void* p) {
  if (p == nullptr || InArena(p)) return;
  Next(g_free, "free")(p);
}
#else
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
void* RealMalloc(size_t n) {
  return __libc_malloc(n);
}
void* RealCalloc(size_t n, size_t size) {
  return __libc_calloc(n, size);
}
void* RealRealloc(void* p, size_t n) {
  return __libc_realloc(p, n);
}
#endif

}  // namespace

extern "C" {

void* malloc(size_t n) {
  if (standin::ShouldFail()) {
    errno = ENOMEM;
    return nullptr;
  }
  return RealMalloc(n);
}

void* calloc(size_t n, size_t size) {
  if (standin::ShouldFail()) {
    errno = ENOMEM;
    return nullptr;
  }
  return RealCalloc(n, size);
}

void* realloc(void* p, size_t n) {
  // A shrink to nothing frees; failing it would leak the block.
  if (!(p != nullptr && n == 0) && standin::ShouldFail()) {
    errno = ENOMEM;
    return nullptr;
  }
  return RealRealloc(p, n);
}

#if defined(__SANITIZE_ADDRESS__)
void free(void* p) {
  RealFree(p);
}
#endif

}  // extern "C"
