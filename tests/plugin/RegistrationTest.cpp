// Start-up and registration as the stand-in host sees them.
#include <gtest/gtest.h>

#include "plugin/ClassRecords.h"
#include "plugin/PluginAlloc.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "support/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

using kdt_values_test::HeapInUse;

TEST(PluginMain, NullResolverAnnouncesAndRegistersNothing) {
  standin::Options options = kdt_values_test::HostAt(2019.0);
  options.nullResolver = true;
  standin::TestHost host(options);
  EXPECT_EQ(kdt::HostResolver, nullptr);
  EXPECT_EQ(kdt::HostVersion, 0.0);
  EXPECT_EQ(kdt::ClassRecordVersion, 9);
  EXPECT_TRUE(host.AnnouncedVersions().empty());
  EXPECT_TRUE(host.Classes().empty());
  EXPECT_EQ(kdt::ResolveHostEntry("PluginRegisterClass"), nullptr);
}

// The records have their places in static storage: a load on a host with no
// memory to spare registers every class and asks for no memory, even where
// the host takes no announcement of the record version; a size no allocator
// can serve is refused without asking.
TEST(PluginMain, LoadingAsksForNoMemory) {
  standin::Host::FailLibraryAllocation(1, true);
  standin::TestHost host(kdt_values_test::HostAt(2019.0, {"RegisterPluginVersion"}));
  standin::Host::FailLibraryAllocation(0);
  EXPECT_EQ(standin::Host::LibraryAllocations(), 0u);
  EXPECT_EQ(host.Classes().size(), 52u);
  EXPECT_EQ(kdt::PluginAlloc(0x80000000u), nullptr);
}

int g_allowed = 0;
int32_t FailAfterAllowed(uint32_t) {
  return g_allowed-- > 0;
}

// A short record that cannot be completed gives back every block it took.
TEST(PluginMain, Version9RecordLeavesNothingWhenMemoryRunsOut) {
  kdt::PropertyRecord properties[2]{};
  kdt::MethodRecord methods[3]{};
  unsigned char entries16[2 * 16]{}, entries20[20]{};
  kdt::ClassRecord record{};
  record.properties = record.properties2 = properties;
  record.propertyCount = record.properties2Count = 2;
  record.methods = record.methods2 = methods;
  record.methodCount = record.methods2Count = 3;
  record.entries16 = entries16;
  record.entries16Count = 2;
  record.entries20 = entries20;
  record.entries20Count = 1;
  for (int allowed = 0;; ++allowed) {
    const size_t before = HeapInUse();
    g_allowed = allowed;
    kdt::AllocationGate = FailAfterAllowed;
    uint32_t* shortRecord = kdt::MakeVersion9ClassRecord(record);
    kdt::AllocationGate = nullptr;
    if (shortRecord != nullptr) {
      EXPECT_EQ(allowed, 7) << "the record and its six arrays";
      break;
    }
    EXPECT_EQ(HeapInUse(), before) << "failing allocation " << allowed + 1;
    ASSERT_LT(allowed, 7);
  }
}

}  // namespace
