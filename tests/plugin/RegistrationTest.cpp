// Start-up and registration as the stand-in host sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "ProbeClass.h"
#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"
#include "plugin/Registration.h"
#include "plugin/host/HostEntries.h"
#include "standin/host/HostTesting.h"

namespace {

struct VersionCase {
  const char* label;
  double version;
  bool withoutVersionEntry;
  int32_t record;
};

void PrintTo(const VersionCase& c, std::ostream* out) {
  *out << c.label;
}

class RecordVersion : public ::testing::TestWithParam<VersionCase> {};

// The announced version is the layout the host then reads: a class registered
// afterwards must arrive intact, in the short layout for version 9.
TEST_P(RecordVersion, AnnouncedAndUsedForEveryRecord) {
  const VersionCase& c = GetParam();
  standin::Options options = standin::Options::InProcess(REALPluginMain, c.version);
  if (c.withoutVersionEntry) options.Hide({"REALGetRBVersion"});
  standin::TestHost host(options);

  EXPECT_EQ(kdt::HostVersion, c.withoutVersionEntry ? 0.0 : c.version);
  EXPECT_EQ(kdt::ClassRecordVersion, c.record);
  EXPECT_EQ(host.AnnouncedVersions(), std::vector<int32_t>{c.record});

  kdt::ClassRecord* record = probe::MakeRecord("FrameProbeKDT", 24);
  kdt::RegisterClassRecord(record);
  const standin::ClassInfo* info = host.FindClass("FrameProbeKDT");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->recordVersion, c.record);
  EXPECT_EQ(info->dataSize, 32u);
  EXPECT_EQ(info->flags, 4u);
  EXPECT_EQ(info->destructor, nullptr);
  EXPECT_EQ(record->dataOffset, info->dataOffset);
  EXPECT_NE(record->dataOffset, 0u);

  ASSERT_EQ(info->properties.size(), 2u);
  EXPECT_EQ(info->properties[0].name, "Doubled");
  EXPECT_EQ(info->properties[0].type, "Integer");
  EXPECT_EQ(info->properties[0].flags, 6u);
  EXPECT_FALSE(info->properties[0].standardGetter);
  EXPECT_EQ(info->properties[1].name, "CaseSensitive");
  EXPECT_TRUE(info->properties[1].standardGetter);
  EXPECT_EQ(info->properties[1].standardOffset, probe::kCaseSensitiveOffset);
  ASSERT_EQ(info->methods.size(), 3u);
  EXPECT_EQ(info->methods[2].declaration, probe::kSlot);
  EXPECT_NE(info->methods[2].setter, nullptr);
  EXPECT_EQ(info->methods[2].flags, 4u);

  // Methods reach their data through the offset the host wrote.
  auto instance = host.New("FrameProbeKDT", probe::kConstructor, {21});
  EXPECT_EQ(kdt::InstanceDataAddress(instance, *record), host.InstanceData(instance));
  EXPECT_EQ(host.Call(instance, probe::kValue).i(), 21);
  EXPECT_EQ(host.Get(instance, "Doubled").i(), 42);
  EXPECT_TRUE(host.Get(instance, "CaseSensitive").b());
  host.Assign(instance, probe::kSlot, {1}, int32_t{-7});
  EXPECT_EQ(host.Call(instance, probe::kSlot, {1}).i(), -7);
  EXPECT_EQ(host.Call(instance, probe::kSlot, {0}).i(), 0);
  host.Release(instance);
}

INSTANTIATE_TEST_SUITE_P(Hosts, RecordVersion,
                         ::testing::Values(VersionCase{"v2019_0", 2019.0, false, 13},
                                           VersionCase{"v2013_04", 2013.04, false, 13},
                                           VersionCase{"v2013_035", 2013.035, false, 12},
                                           VersionCase{"v2013_0", 2013.0, false, 11},
                                           VersionCase{"v2012_99", 2012.99, false, 10},
                                           VersionCase{"v2011_0", 2011.0, false, 9},
                                           VersionCase{"NoVersionEntry", 2019.0, true, 9}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                           return info.param.label;
                         });

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

std::vector<std::string> RegisteredNames(const standin::Host& host) {
  std::vector<std::string> names;
  for (const standin::ClassInfo* info : host.Classes()) names.push_back(info->name);
  return names;
}

class TextGate : public ::testing::TestWithParam<double> {};

// Records offered out of order, with a name the library does not know: the
// host gets the known ones in table order, Text classes first and only from
// 2015.0.
TEST_P(TextGate, RegistersInTableOrderBehindTheGate) {
  const double version = GetParam();
  standin::TestHost host(standin::Options::Bare(version));
  kdt::HostResolver = host.Resolver();
  kdt::HostVersion = version;
  kdt::ClassRecordVersion = kdt::ChooseClassRecordVersion(version);

  kdt::ClassRecordSink offered;
  for (const char* name :
       {"VariantToVariantMapIteratorKDT", "IntegerHashSetKDT", "NotAContainerKDT",
        "TextHashSetIteratorKDT", "IntegerToTextHashMapKDT", "TextHashSetKDT",
        "VariantToVariantOrderedMapKDT", "IntegerHashSetIteratorKDT"}) {
    offered.Add(probe::MakeRecord(name));
  }
  std::vector<std::string> expected;
  if (version >= 2015.0) {
    expected = {"IntegerToTextHashMapKDT", "TextHashSetKDT", "TextHashSetIteratorKDT"};
  }
  for (const char* name : {"IntegerHashSetKDT", "IntegerHashSetIteratorKDT",
                           "VariantToVariantOrderedMapKDT", "VariantToVariantMapIteratorKDT"}) {
    expected.push_back(name);
  }
  EXPECT_EQ(kdt::RegisterClassesInOrder(offered), expected.size());
  EXPECT_EQ(RegisteredNames(host), expected);
}

// Whatever families are built in: every record they offer has a name of the
// order table (a misspelt one would never register), and the host receives
// exactly the offered classes in table order behind the gate.
TEST_P(TextGate, PluginEntryRegistersTheFamiliesInTableOrder) {
  const double version = GetParam();
  standin::TestHost host(standin::Options::InProcess(REALPluginMain, version));

  kdt::ClassRecordSink offered;
  kdt::CollectFamilyClassRecords(offered);
  size_t known = 0;
  std::vector<std::string> expected;
  for (bool textPass : {true, false}) {
    for (const kdt::ClassOrderRow& row : kdt::kClassRegistrationOrder) {
      if (row.textGated != textPass || offered.Find(row.name) == nullptr) continue;
      ++known;
      if (!row.textGated || version >= 2015.0) expected.push_back(row.name);
    }
  }
  EXPECT_EQ(known, offered.size()) << "a family offers a class the order table does not list";
  EXPECT_EQ(RegisteredNames(host), expected);
  for (const standin::ClassInfo* info : host.Classes()) {
    EXPECT_EQ(info->recordVersion, 13) << info->name;
    EXPECT_EQ(info->dataSize % 16, 0u) << info->name;
  }
}

INSTANTIATE_TEST_SUITE_P(Hosts, TextGate, ::testing::Values(2015.0, 2014.99),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return info.param >= 2015.0 ? std::string("v2015_0")
                                                       : std::string("v2014_99");
                         });

TEST(ClassRegistrationOrder, FiftyTwoDistinctNamesTextGatedFirst) {
  size_t gated = 0;
  for (size_t i = 0; i < kdt::kClassCount; ++i) {
    const kdt::ClassOrderRow& row = kdt::kClassRegistrationOrder[i];
    if (row.textGated) {
      EXPECT_EQ(gated, i) << row.name;
      ++gated;
    }
    EXPECT_EQ(row.textGated, std::strstr(row.name, "Text") != nullptr) << row.name;
    for (size_t j = 0; j < i; ++j) {
      EXPECT_STRNE(row.name, kdt::kClassRegistrationOrder[j].name);
    }
    // Each container is followed by its own iterator class.
    if (i % 2 == 1) {
      std::string container = kdt::kClassRegistrationOrder[i - 1].name;
      std::string iterator = row.name;
      EXPECT_NE(iterator.find("Iterator"), std::string::npos) << iterator;
      EXPECT_EQ(container.find("Iterator"), std::string::npos) << container;
    }
  }
  EXPECT_EQ(gated, 16u);
}

}  // namespace
