// What the plug-in registers, as the host receives it: the 52 classes in
// their order with their sizes and counts, the Text gate, every record
// version, and the declarations kept in docs/class-reference.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "standin/host/HostTesting.h"

namespace {

struct ClassRow {
  const char* name;
  uint32_t size;
  size_t properties;
  size_t methods;
  bool destructor;
};

// Registration order; the first 16 need a host that knows Text.
const ClassRow kClasses[] = {
    {"IntegerToTextHashMapKDT", 32, 4, 23, true},
    {"IntegerToTextHashMapIteratorKDT", 16, 0, 5, false},
    {"IntegerToTextOrderedMapKDT", 32, 3, 25, true},
    {"IntegerToTextOrderedMapIteratorKDT", 16, 0, 6, false},
    {"TextHashSetKDT", 16, 5, 14, true},
    {"TextHashSetIteratorKDT", 16, 0, 4, false},
    {"TextOrderedSetKDT", 16, 4, 16, true},
    {"TextOrderedSetIteratorKDT", 16, 0, 5, false},
    {"TextToTextHashMapKDT", 32, 5, 23, true},
    {"TextToTextHashMapIteratorKDT", 16, 0, 5, false},
    {"TextToTextOrderedMapKDT", 32, 4, 25, true},
    {"TextToTextOrderedMapIteratorKDT", 16, 0, 6, false},
    {"TextToVariantHashMapKDT", 32, 5, 23, true},
    {"TextToVariantHashMapIteratorKDT", 16, 0, 5, false},
    {"TextToVariantOrderedMapKDT", 32, 4, 25, true},
    {"TextToVariantOrderedMapIteratorKDT", 16, 0, 6, false},
    {"IntegerHashSetKDT", 16, 4, 14, true},
    {"IntegerHashSetIteratorKDT", 16, 0, 4, false},
    {"IntegerOrderedSetKDT", 16, 3, 16, true},
    {"IntegerOrderedSetIteratorKDT", 16, 0, 5, false},
    {"IntegerToIntegerHashMapKDT", 32, 4, 23, true},
    {"IntegerToIntegerHashMapIteratorKDT", 16, 0, 5, false},
    {"IntegerToIntegerOrderedMapKDT", 32, 3, 25, true},
    {"IntegerToIntegerOrderedMapIteratorKDT", 16, 0, 6, false},
    {"IntegerToStringHashMapKDT", 32, 4, 23, true},
    {"IntegerToStringHashMapIteratorKDT", 16, 0, 5, false},
    {"IntegerToStringOrderedMapKDT", 32, 3, 25, true},
    {"IntegerToStringOrderedMapIteratorKDT", 16, 0, 6, false},
    {"IntegerToVariantHashMapKDT", 32, 4, 23, true},
    {"IntegerToVariantHashMapIteratorKDT", 16, 0, 5, false},
    {"IntegerToVariantOrderedMapKDT", 32, 3, 25, true},
    {"IntegerToVariantOrderedMapIteratorKDT", 16, 0, 6, false},
    {"StringHashSetKDT", 16, 5, 14, true},
    {"StringHashSetIteratorKDT", 16, 0, 4, false},
    {"StringOrderedSetKDT", 16, 4, 16, true},
    {"StringOrderedSetIteratorKDT", 16, 0, 5, false},
    {"StringToStringHashMapKDT", 32, 5, 23, true},
    {"StringToStringHashMapIteratorKDT", 16, 0, 5, false},
    {"StringToStringOrderedMapKDT", 32, 4, 25, true},
    {"StringToStringOrderedMapIteratorKDT", 16, 0, 6, false},
    {"StringToVariantHashMapKDT", 32, 5, 23, true},
    {"StringToVariantHashMapIteratorKDT", 16, 0, 5, false},
    {"StringToVariantOrderedMapKDT", 32, 4, 25, true},
    {"StringToVariantOrderedMapIteratorKDT", 16, 0, 6, false},
    {"VariantHashSetKDT", 16, 5, 15, true},
    {"VariantHashSetIteratorKDT", 16, 0, 4, false},
    {"VariantOrderedSetKDT", 16, 4, 17, true},
    {"VariantOrderedSetIteratorKDT", 16, 0, 5, false},
    {"VariantToVariantHashMapKDT", 32, 5, 23, true},
    {"VariantToVariantHashMapIteratorKDT", 16, 0, 5, false},
    {"VariantToVariantOrderedMapKDT", 32, 4, 25, true},
    {"VariantToVariantMapIteratorKDT", 16, 0, 6, false},
};
constexpr size_t kTextGated = 16;

// The reference text split into one block per class, by class name.
std::map<std::string, std::string> Blocks(const std::string& reference) {
  std::map<std::string, std::string> blocks;
  std::istringstream in(reference);
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("class ", 0) == 0) current = line.substr(6, line.find(' ', 6) - 6);
    if (!current.empty()) blocks[current] += line + "\n";
  }
  return blocks;
}

std::string CheckedInReference() {
  std::ifstream in(KDT_SOURCE_DIR "/docs/class-reference.txt");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct HostCase {
  double version;
  bool hideVersion;
  int32_t recordVersion;
};

class Registration : public ::testing::TestWithParam<HostCase> {};

TEST_P(Registration, ClassesAsTheHostReceivesThem) {
  const HostCase& c = GetParam();
  standin::Options options = standin::Options::Loaded(c.version);
  if (c.hideVersion) options.Hide({"REALGetRBVersion"});
  standin::TestHost host(options);
  ASSERT_EQ(host.AnnouncedVersions(), std::vector<int32_t>{c.recordVersion});
  bool text = !c.hideVersion && c.version >= 2015.0;

  std::vector<const standin::ClassInfo*> classes = host.Classes();
  size_t first = text ? 0 : kTextGated;
  ASSERT_EQ(classes.size(), std::size(kClasses) - first);
  for (size_t i = 0; i < classes.size(); ++i) {
    const ClassRow& row = kClasses[first + i];
    const standin::ClassInfo& got = *classes[i];
    EXPECT_EQ(got.name, row.name);
    EXPECT_EQ(got.recordVersion, c.recordVersion) << row.name;
    EXPECT_EQ(got.dataSize, row.size) << row.name;
    EXPECT_EQ(got.properties.size(), row.properties) << row.name;
    EXPECT_EQ(got.methods.size(), row.methods) << row.name;
    EXPECT_EQ(got.destructor != nullptr, row.destructor) << row.name;
    EXPECT_EQ(got.flags, 4u) << row.name;
  }

  // Every class block is the one in the checked-in reference.
  std::map<std::string, std::string> expected = Blocks(CheckedInReference());
  ASSERT_EQ(expected.size(), std::size(kClasses)) << "docs/class-reference.txt";
  for (const auto& [name, block] : Blocks(host.ClassReference())) {
    EXPECT_EQ(block, expected[name]) << "registration of " << name
                                     << " differs from docs/class-reference.txt "
                                        "(scripts/update-class-reference.sh rewrites it)";
  }
}

INSTANTIATE_TEST_SUITE_P(Hosts, Registration,
                         ::testing::Values(HostCase{2019.0, false, 13}, HostCase{2015.0, false, 13},
                                           HostCase{2014.99, false, 13},
                                           HostCase{2013.035, false, 12},
                                           HostCase{2013.0, false, 11}, HostCase{2012.5, false, 10},
                                           HostCase{2011.0, false, 9}, HostCase{2019.0, true, 9}),
                         [](const ::testing::TestParamInfo<HostCase>& info) {
                           std::string name =
                               std::to_string(static_cast<int>(info.param.version * 100));
                           return info.param.hideVersion ? "NoVersionEntry" : "Host" + name;
                         });

}  // namespace
