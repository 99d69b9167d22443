// Making the library's allocations fail on demand.  The library asks the
// resolver for an allocation gate at start-up and calls it before each of its
// allocations; the gate counts them per thread and refuses the one the test
// armed.  The count and the countdown live in the program's static TLS, so the
// gate itself never allocates.
#include <cstdint>

#include "standin/host/Internal.h"

namespace standin {
namespace {

struct ThreadFaults {
  bool persist = false;
  bool failed = false;
  uint64_t count = 0;
  uint64_t failAt = 0;  // 0: none
};
// Initial-exec: the stand-in is part of the program, never a loaded library.
__attribute__((tls_model("initial-exec"))) thread_local ThreadFaults t_faults;

int32_t Gate(uint32_t /*size*/) {
  ThreadFaults& f = t_faults;
  ++f.count;
  if (f.failAt == 0 || f.count < f.failAt || (f.count > f.failAt && !f.persist)) return 1;
  if (!f.failed) AllocationRefused();
  f.failed = true;
  return 0;
}

}  // namespace

__attribute__((noinline)) void AllocationRefused() {
  // Nothing to do: a place for a debugger's breakpoint.
  asm volatile("");
}

void Host::FailLibraryAllocation(uint64_t k, bool persist) {
  ThreadFaults& f = t_faults;
  f.failAt = k;
  f.persist = persist;
  if (k == 0) return;  // what the armed calls did stays readable
  f.count = 0;
  f.failed = false;
}

uint64_t Host::LibraryAllocations() {
  return t_faults.count;
}

bool Host::LibraryAllocationFailed() {
  return t_faults.failed;
}

namespace detail {

kdt::HostFunction AllocationGateFunction() {
  return reinterpret_cast<kdt::HostFunction>(&Gate);
}

}  // namespace detail
}  // namespace standin
