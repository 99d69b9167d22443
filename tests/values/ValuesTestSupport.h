// Shared set-up for the host values tests: a stand-in host of a given version
// that runs the library linked into the test program.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "plugin/host/HostTypes.h"
#include "standin/host/HostTesting.h"

namespace kdt_values_test {

inline standin::Options HostAt(double version, std::initializer_list<const char*> hidden = {}) {
  standin::Options options = standin::Options::InProcess(REALPluginMain, version);
  options.Hide(hidden);
  return options;
}

// The three host generations the library distinguishes: own bytes and
// REALConvertString; PluginGetStringData with in-place arrays; accessors only.
inline std::vector<double> HostGenerations() {
  return {2005.0, 2012.5, 2019.0};
}

inline std::string VersionName(double v) {
  std::string s = std::to_string(static_cast<int>(v * 10));
  return "Host" + s;
}

}  // namespace kdt_values_test
