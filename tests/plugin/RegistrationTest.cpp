// Start-up and registration as the stand-in host sees them.
#include <gtest/gtest.h>

#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "standin/host/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

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

}  // namespace
