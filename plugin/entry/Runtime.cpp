// Pieces of the C++ runtime the shared object defines for itself.
#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <new>

#include "plugin/PluginAlloc.h"

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

// Every allocation of the shared object goes through PluginAlloc: operator
// new here, and the runtime's own calls of malloc (its exception objects),
// which the link redirects to __wrap_malloc.  The runtime's own array forms
// of delete call the plain one below.  A host's allocation gate then
// sees all of them, and so does a sanitizer watching calloc and free.
void* operator new(std::size_t size) {
  void* p = kdt::PluginAlloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  kdt::PluginFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
  kdt::PluginFree(p);
}
extern "C" void* __wrap_malloc(std::size_t size) {
  return kdt::PluginAlloc(size);
}

// An exception that reaches std::terminate ends the host process without a
// word, as the library writes nothing anywhere; this also keeps out the
// runtime's verbose handler and the name demangler it allocates with.
namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = std::abort;
}  // namespace __cxxabiv1
