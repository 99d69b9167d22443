// The host lock.  It keeps the host's own state consistent while several
// threads call in; it is not a promise the real host makes, so a race
// detector must not take it as ordering the library's memory.  It is
// therefore built on a futex the detector does not know, and the host's own
// reads and writes while it is held are hidden from the detector: what the
// detector sees is the library's memory and the library's own locks.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include "standin/host/Internal.h"

#if KDT_RACE_ANNOTATIONS
#include <valgrind/drd.h>
#else
#define ANNOTATE_IGNORE_READS_AND_WRITES_BEGIN() \
  do {                                           \
  } while (0)
#define ANNOTATE_IGNORE_READS_AND_WRITES_END() \
  do {                                         \
  } while (0)
#endif

namespace standin::detail {
namespace {

// 0 free, 1 held, 2 held with a thread waiting.
std::atomic<int> g_hostMutex{0};
// How often this thread holds the lock; only the holder looks at its count.
// The stand-in is part of the program, never a loaded library, so its
// thread-local words are reached without a look-up call.
__attribute__((tls_model("initial-exec"))) thread_local int t_depth = 0;

void Futex(int op, int value) {
  syscall(SYS_futex, reinterpret_cast<int*>(&g_hostMutex), op, value, nullptr, nullptr, 0);
}

void Acquire() {
  ANNOTATE_IGNORE_READS_AND_WRITES_BEGIN();
  int state = 0;
  if (g_hostMutex.compare_exchange_strong(state, 1, std::memory_order_acquire)) return;
  if (state != 2) state = g_hostMutex.exchange(2, std::memory_order_acquire);
  while (state != 0) {
    Futex(FUTEX_WAIT_PRIVATE, 2);
    state = g_hostMutex.exchange(2, std::memory_order_acquire);
  }
}

void Release() {
  if (g_hostMutex.exchange(0, std::memory_order_release) == 2) Futex(FUTEX_WAKE_PRIVATE, 1);
  ANNOTATE_IGNORE_READS_AND_WRITES_END();
}

}  // namespace

HostLock::HostLock() {
  if (t_depth++ == 0) Acquire();
}

HostLock::~HostLock() {
  if (--t_depth == 0) Release();
}

Unlocked::Unlocked() : depth_(t_depth) {
  t_depth = 0;
  Release();
}

Unlocked::~Unlocked() {
  Acquire();
  t_depth = depth_;
}

}  // namespace standin::detail
