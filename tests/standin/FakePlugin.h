// A small hand-made plug-in for testing the stand-in host itself: it
// registers one class, CounterKDT, from records written here, in the record
// version a test chooses, and uses only host entries.
#pragma once

#include "plugin/host/HostTypes.h"

namespace standin_test {

struct FakePlugin {
  static kdt::HostResolverFunction resolver;
  static int recordVersion;  // 9 registers the 25-word record form
  static int destroyed;      // CounterKDT destructor runs
  static bool sawNullResolver;
  static kdt::ClassRecord record;
  static kdt::ClassRecord* registered;  // what the host received
};

// REALPluginMain of the fake plug-in.
void FakePluginMain(kdt::HostResolverFunction resolver);

template <class F>
F Entry(const char* name) {
  return reinterpret_cast<F>(FakePlugin::resolver(name));
}

}  // namespace standin_test
