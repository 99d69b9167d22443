// Start-up and registration as the stand-in host sees them.
#include <gtest/gtest.h>

#include <deque>

#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "standin/host/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

// A bare record of the test's own; the host keeps pointers into it.
kdt::ClassRecord* Record(const char* name, uint32_t dataSize = 24) {
  static std::deque<kdt::ClassRecord> records;
  records.emplace_back();
  records.back().name = name;
  records.back().dataSize = dataSize;
  return &records.back();
}

standin::Options Loaded(std::initializer_list<const char*> hidden = {}) {
  return kdt_values_test::HostAt(2019.0, hidden);
}

TEST(PluginMain, NullResolverAnnouncesAndRegistersNothing) {
  standin::Options options = Loaded();
  options.nullResolver = true;
  standin::TestHost host(options);
  EXPECT_EQ(kdt::HostResolver, nullptr);
  EXPECT_EQ(kdt::HostVersion, 0.0);
  EXPECT_EQ(kdt::ClassRecordVersion, 9);
  EXPECT_TRUE(host.AnnouncedVersions().empty());
  EXPECT_TRUE(host.Classes().empty());
  EXPECT_EQ(kdt::ResolveHostEntry("PluginRegisterClass"), nullptr);
}

TEST(PluginMain, HostWithoutAnnouncementStillRegisters) {
  standin::TestHost host(Loaded({"RegisterPluginVersion"}));
  EXPECT_EQ(kdt::ClassRecordVersion, 13);
  EXPECT_EQ(host.Classes().size(), 52u);
}

TEST(RegisterClassRecord, RoundsInstanceDataSizeUpTo16) {
  standin::TestHost host(Loaded());
  struct Case {
    const char* name;
    uint32_t declared, registered;
  } cases[] = {{"Size1KDT", 1, 16},   {"Size8KDT", 8, 16},   {"Size16KDT", 16, 16},
               {"Size17KDT", 17, 32}, {"Size24KDT", 24, 32}, {"Size32KDT", 32, 32}};
  for (const Case& c : cases) {
    kdt::ClassRecord* record = Record(c.name, c.declared);
    kdt::RegisterClassRecord(record);
    EXPECT_EQ(record->dataSize, c.registered) << c.name;
    const standin::ClassInfo* info = host.FindClass(c.name);
    ASSERT_NE(info, nullptr) << c.name;
    EXPECT_EQ(info->dataSize, c.registered) << c.name;
  }
}

TEST(RegisterClassRecord, HostWithoutRegistrationEntryGetsNothing) {
  standin::TestHost host(Loaded({"PluginRegisterClass"}));
  kdt::RegisterClassRecord(Record("FrameProbeKDT"));
  EXPECT_TRUE(host.Classes().empty());
  EXPECT_EQ(host.Lookups("PluginRegisterClass"), 1u);
}

}  // namespace
