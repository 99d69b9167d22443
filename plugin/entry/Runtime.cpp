// Pieces of the C++ runtime the shared object defines for itself.
#include <cxxabi.h>

#include <cstdlib>
#include <new>

// The runtime keeps each thread's exception state in thread-local storage.
// Its own copy of that state is dynamic TLS in a loaded library: allocated on
// the first throw of each thread, so the first allocation failure of a thread
// would throw into an allocation that fails too, and the process would abort.
// Initial-exec TLS sits in the thread's static block, made with the thread.
namespace {
struct ExceptionGlobals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
  void* propagatingExceptions;
};
__attribute__((tls_model("initial-exec"))) thread_local ExceptionGlobals t_exceptionGlobals;
}  // namespace

namespace __cxxabiv1 {
extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
  return reinterpret_cast<__cxa_eh_globals*>(&t_exceptionGlobals);
}
extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept {
  return reinterpret_cast<__cxa_eh_globals*>(&t_exceptionGlobals);
}
}  // namespace __cxxabiv1

// The library's C++ allocations go through the process's malloc in every
// build, also where a sanitizer would supply operator new, so that whatever
// watches the process's allocator sees all of them.
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
