// Shared set-up for the host values tests: a stand-in host of a given version
// that runs the library linked into the test program.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>

#include <initializer_list>
#include <string>

#include "plugin/host/HostTypes.h"
#include "support/HostTesting.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of bytes in use (the cross compiler ships the
// runtime without its headers).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace kdt_values_test {

inline standin::Options HostAt(double version, std::initializer_list<const char*> hidden = {}) {
  standin::Options options = standin::Options::InProcess(REALPluginMain, version);
  options.Hide(hidden);
  return options;
}

// The three host generations the library distinguishes: own bytes and
// REALConvertString; PluginGetStringData with in-place arrays; accessors only.
// The later two at their first version, so that a threshold moved by a
// little is seen.
inline const double kGenerations[] = {2005.0, 2012.0, 2017.0};

inline std::string GenerationName(const ::testing::TestParamInfo<double>& info) {
  return "Host" + std::to_string(static_cast<int>(info.param * 10));
}

// A value the host gives back at the end of the test, before its leak check.
template <typename Ref>
Ref Keep(standin::Host& host, Ref ref) {
  if (ref != nullptr) host.ReleaseAtEnd(ref);
  return ref;
}

// Bytes of the heap in use by this process.  The plain build's count is exact
// only with the C library's per-thread cache of freed blocks turned off,
// which the test runner does (tests/CMakeLists.txt).
inline size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

}  // namespace kdt_values_test
