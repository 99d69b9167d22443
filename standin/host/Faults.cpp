// Making the library's allocations fail on demand.  The program replaces the
// process's malloc, calloc and realloc; an allocation counts as the library's
// while the thread is inside plug-in code and not inside a host entry.  The
// count and the countdown belong to the thread, in static TLS of the program,
// so they need no allocation themselves.
#include <cerrno>
#include <cstddef>
#include <cstdint>

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

[[maybe_unused]] bool ShouldFail() {
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

// The sanitizer build keeps the sanitizer's own allocator: with malloc
// replaced there the test program crashed before main, so allocations cannot
// be made to fail in that build.
#if defined(__SANITIZE_ADDRESS__)
bool Host::CanFailLibraryAllocations() {
  return false;
}
}  // namespace standin
#else
bool Host::CanFailLibraryAllocations() {
  return true;
}
}  // namespace standin

namespace {

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);

}  // namespace

extern "C" {

void* malloc(size_t n) {
  if (standin::ShouldFail()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(n);
}

void* calloc(size_t n, size_t size) {
  if (standin::ShouldFail()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_calloc(n, size);
}

void* realloc(void* p, size_t n) {
  // A shrink to nothing frees; failing it would leak the block.
  if (!(p != nullptr && n == 0) && standin::ShouldFail()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_realloc(p, n);
}

}  // extern "C"
#endif
