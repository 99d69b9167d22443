// Every input of the fuzz corpus, run through the same driver as the fuzz
// target: the inputs that found faults stay regression tests.  One test case
// each, so that each runs in a process of its own: a sanitizer build of the
// stand-in host runs out of address space after a few dozen hosts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/FuzzInput.h"

namespace kdt_test {
namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  std::error_code error;
  const std::string folder = std::string(KDT_SOURCE_DIR) + "/tests/fuzz/corpus";
  for (const auto& e : std::filesystem::directory_iterator(folder, error))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FuzzCorpusTest : public ::testing::TestWithParam<std::string> {};

TEST(FuzzCorpus, IsThere) {
  EXPECT_GE(CorpusFiles().size(), 10u) << "the corpus in tests/fuzz/corpus is missing";
}

TEST_P(FuzzCorpusTest, RunsClean) {
  std::ifstream in(std::string(KDT_SOURCE_DIR) + "/tests/fuzz/corpus/" + GetParam(),
                   std::ios::binary);
  const std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  ASSERT_FALSE(input.empty());
  for (const std::string& p : RunFuzzInput(input.data(), input.size())) ADD_FAILURE() << p;
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzCorpusTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace kdt_test
