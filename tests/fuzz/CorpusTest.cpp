// Every input of the fuzz corpus, run through the same driver as the fuzz
// target: the inputs that found faults stay regression tests.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/FuzzInput.h"

namespace kdt_test {
namespace {

TEST(FuzzCorpusTest, EveryInputRunsClean) {
  const std::string folder = std::string(KDT_SOURCE_DIR) + "/tests/fuzz/corpus";
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(folder, error))
    names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  ASSERT_GE(names.size(), 10u) << "the corpus is missing: " << folder;
  for (const std::string& name : names) {
    std::ifstream in(name, std::ios::binary);
    const std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    for (const std::string& p : RunFuzzInput(input.data(), input.size()))
      ADD_FAILURE() << name << ": " << p;
  }
}

}  // namespace
}  // namespace kdt_test
