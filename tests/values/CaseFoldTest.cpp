// The case-fold table against the Unicode data file it was generated from.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "values/StringKeys.h"

namespace {

std::string DataFilePath() {
  std::string here = __FILE__;  // .../tests/values/CaseFoldTest.cpp
  for (int i = 0; i < 3; ++i) here = here.substr(0, here.find_last_of('/'));
  return here + "/data/CaseFolding-3.2.0.txt";
}

// Simple foldings (C and S) of 16-bit units, read straight from the data.
std::vector<uint16_t> FoldingsFromDataFile() {
  std::vector<uint16_t> table(65536);
  for (uint32_t u = 0; u < 65536; ++u) table[u] = static_cast<uint16_t>(u);
  std::ifstream in(DataFilePath());
  EXPECT_TRUE(in.good()) << DataFilePath();
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, ';');) {
      f.erase(0, f.find_first_not_of(' '));
      f.erase(f.find_last_not_of(' ') + 1);
      fields.push_back(f);
    }
    if (fields.size() < 3 || (fields[1] != "C" && fields[1] != "S")) continue;
    if (fields[2].find(' ') != std::string::npos) continue;
    const unsigned long from = std::stoul(fields[0], nullptr, 16);
    const unsigned long to = std::stoul(fields[2], nullptr, 16);
    if (from > 0xFFFF || to > 0xFFFF) continue;
    table[from] = static_cast<uint16_t>(to);
  }
  return table;
}

TEST(CaseFoldTable, MatchesTheUnicodeDataFile) {
  const std::vector<uint16_t> expected = FoldingsFromDataFile();
  const uint16_t* table = kdt::CaseFoldTable();
  int folding = 0, mismatches = 0;
  for (uint32_t u = 0; u < 65536; ++u) {
    if (table[u] != u) ++folding;
    if (table[u] != expected[u] && ++mismatches <= 5)
      ADD_FAILURE() << std::hex << "unit 0x" << u << " folds to 0x" << table[u] << ", data says 0x"
                    << expected[u];
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(folding, 724);
  EXPECT_EQ(kdt::CaseFoldTable(), table) << "built once";

  struct Case {
    uint16_t unit, folded;
  };
  for (Case c : {Case{0x41, 0x61},
                 {0xC0, 0xE0},
                 {0xB5, 0x3BC},
                 {0x17F, 0x73},
                 {0x3A3, 0x3C3},
                 {0x3C2, 0x3C3},
                 {0x3F2, 0x3C3},
                 {0x1E9B, 0x1E61},
                 {0x2126, 0x3C9},
                 {0x212A, 0x6B},
                 {0xFF21, 0xFF41},
                 {0x130, 0x130},
                 {0x61, 0x61},
                 {0xD800, 0xD800},
                 {0xDFFF, 0xDFFF}})
    EXPECT_EQ(table[c.unit], c.folded) << std::hex << c.unit;
}

}  // namespace
