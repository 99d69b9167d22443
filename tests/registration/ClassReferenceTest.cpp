// What the plug-in registers, as the host receives it: the 52 classes in
// their order, the Text gate, every record version, and the declarations,
// sizes and counts kept in docs/class-reference.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/HostTesting.h"

namespace {

// The reference text split into one block per class (name, block), in order.
std::vector<std::pair<std::string, std::string>> Blocks(const std::string& reference) {
  std::vector<std::pair<std::string, std::string>> blocks;
  std::istringstream in(reference);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("class ", 0) == 0)
      blocks.emplace_back(line.substr(6, line.find(' ', 6) - 6), "");
    if (!blocks.empty()) blocks.back().second += line + "\n";
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
  for (const standin::ClassInfo* cls : host.Classes())
    EXPECT_EQ(cls->recordVersion, c.recordVersion) << cls->name;

  // A host that does not know Text gets every class but those holding Text.
  const bool text = !c.hideVersion && c.version >= 2015.0;
  auto all = Blocks(CheckedInReference());
  ASSERT_EQ(all.size(), 52u) << "docs/class-reference.txt";
  decltype(all) expected;
  for (const auto& block : all)
    if (text || block.first.find("Text") == std::string::npos) expected.push_back(block);

  // Every class block, in registration order, is the one in the checked-in reference.
  auto got = Blocks(host.ClassReference());
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].first, expected[i].first) << "class " << i;
    EXPECT_EQ(got[i].second, expected[i].second)
        << "registration of " << got[i].first
        << " differs from docs/class-reference.txt "
           "(scripts/update-class-reference.sh rewrites it)";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, Registration,
    ::testing::Values(HostCase{2019.0, false, 13}, HostCase{2015.0, false, 13},
                      HostCase{2014.99, false, 13}, HostCase{2013.04, false, 13},
                      HostCase{2013.035, false, 12}, HostCase{2013.03, false, 12},
                      HostCase{2013.0, false, 11}, HostCase{2012.5, false, 10},
                      HostCase{2012.0, false, 10}, HostCase{2011.0, false, 9},
                      HostCase{2019.0, true, 9}),
    [](const ::testing::TestParamInfo<HostCase>& info) {
      std::string name = std::to_string(std::lround(info.param.version * 1000));
      return info.param.hideVersion ? "NoVersionEntry" : "Host" + name;
    });

}  // namespace
