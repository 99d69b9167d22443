#include "plugin/PluginMain.h"

#include "plugin/PluginAlloc.h"
#include "plugin/Registration.h"

namespace kdt {

HostResolverFunction HostResolver = nullptr;
double HostVersion = 0.0;
int32_t ClassRecordVersion = 13;

namespace {

// The nearest doubles to 2013.04 and 2013.03, given by their bits so that no
// decimal rounding in the compiler can move the thresholds.
constexpr double kVersion2013_04 = __builtin_bit_cast(double, uint64_t{0x409F7428F5C28F5C});
constexpr double kVersion2013_03 = __builtin_bit_cast(double, uint64_t{0x409F741EB851EB85});
static_assert(kVersion2013_04 == 2013.04 && kVersion2013_03 == 2013.03);

}  // namespace

int32_t ChooseClassRecordVersion(double hostVersion) {
  // Each test is "at least", so a NaN passes none of them.
  if (hostVersion >= kVersion2013_04) return 13;
  if (hostVersion >= kVersion2013_03) return 12;
  if (hostVersion >= 2013.0) return 11;
  if (hostVersion >= kHostGeneration2012) return 10;
  return 9;
}

}  // namespace kdt

extern "C" __attribute__((visibility("default"))) void REALPluginMain(
    kdt::HostResolverFunction resolver) {
  using namespace kdt;
  HostResolver = resolver;
  if (resolver != nullptr) {
    auto getVersion = reinterpret_cast<entry::REALGetRBVersion>(resolver("REALGetRBVersion"));
    if (getVersion != nullptr) HostVersion = getVersion();
    // Asked before anything is allocated, registration included.
    AllocationGate = reinterpret_cast<AllocationGateFunction>(resolver(kAllocationGateName));
  }
  ClassRecordVersion = ChooseClassRecordVersion(HostVersion);
  if (resolver == nullptr) return;
  // A host without the announcement entry is taken to read the chosen layout
  // anyway: the classes are still registered.
  auto announce = reinterpret_cast<entry::RegisterPluginVersion>(resolver("RegisterPluginVersion"));
  if (announce != nullptr) announce(ClassRecordVersion);
  PluginEntry();
}

extern "C" __attribute__((visibility("default"))) void PluginEntry() {
  kdt::RegisterFamilyClasses();
}
