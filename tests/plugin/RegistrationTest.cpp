// Start-up and registration as the stand-in host sees them.
#include <gtest/gtest.h>

#include "ProbeClass.h"
#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"
#include "plugin/Registration.h"
#include "plugin/host/HostEntries.h"
#include "standin/host/HostTesting.h"

namespace {

TEST(PluginMain, NullResolverAnnouncesAndRegistersNothing) {
  standin::Options options = standin::Options::InProcess(REALPluginMain, 2019.0);
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
  standin::Options options = standin::Options::Bare(2019.0);
  options.Hide({"RegisterPluginVersion"});
  standin::TestHost host(options);
  REALPluginMain(host.Resolver());
  EXPECT_EQ(kdt::ClassRecordVersion, 13);
  kdt::RegisterClassRecord(probe::MakeRecord("FrameProbeKDT"));
  EXPECT_NE(host.FindClass("FrameProbeKDT"), nullptr);
}

TEST(RegisterClassRecord, RoundsInstanceDataSizeUpTo16) {
  standin::TestHost host(standin::Options::InProcess(REALPluginMain, 2019.0));
  struct Case {
    const char* name;
    uint32_t declared, registered;
  } cases[] = {{"Size1KDT", 1, 16},   {"Size8KDT", 8, 16},   {"Size16KDT", 16, 16},
               {"Size17KDT", 17, 32}, {"Size24KDT", 24, 32}, {"Size32KDT", 32, 32}};
  for (const Case& c : cases) {
    kdt::ClassRecord* record = probe::MakeRecord(c.name, c.declared);
    kdt::RegisterClassRecord(record);
    EXPECT_EQ(record->dataSize, c.registered) << c.name;
    const standin::ClassInfo* info = host.FindClass(c.name);
    ASSERT_NE(info, nullptr) << c.name;
    EXPECT_EQ(info->dataSize, c.registered) << c.name;
  }
}

TEST(RegisterClassRecord, HostWithoutRegistrationEntryGetsNothing) {
  standin::Options options = standin::Options::InProcess(REALPluginMain, 2019.0);
  options.Hide({"PluginRegisterClass"});
  standin::TestHost host(options);
  kdt::RegisterClassRecord(probe::MakeRecord("FrameProbeKDT"));
  EXPECT_TRUE(host.Classes().empty());
  EXPECT_EQ(host.Lookups("PluginRegisterClass"), 1u);
}

}  // namespace
