// The case-fold table against the Unicode data file it was generated from,
// and the hash step on known inputs.
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

uint32_t HashUnits(uint32_t seed, std::initializer_list<uint32_t> units, bool fold = false) {
  uint32_t h = seed;
  for (uint32_t u : units) h = kdt::HashStep(h, fold ? kdt::CaseFoldTable()[u] : u);
  return h;
}

TEST(HashStep, KnownValues) {
  EXPECT_EQ(HashUnits(0, {'a', 'b', 'c'}), 26499u);
  EXPECT_EQ(HashUnits(0, {'A', 'B', 'C'}), 17763u);
  EXPECT_EQ(HashUnits(0, {'A', 'B', 'C'}, true), 26499u);
  EXPECT_EQ(HashUnits(1, {'a', 'b', 'c'}), 30595u);
  EXPECT_EQ(HashUnits(1, {'A', 'B', 'C'}, true), 30595u);
  EXPECT_EQ(HashUnits(0, {0xC3, 0xA9}), 3289u);
  EXPECT_EQ(HashUnits(0, {0xC9}, true), 233u);
  // The top four bits are folded back in and cleared: a long run never
  // leaves the low 28 bits.
  uint32_t h = 0;
  for (int i = 0; i < 1000; ++i) h = kdt::HashStep(h, 0xFFFF);
  EXPECT_EQ(h & 0xF0000000u, 0u);
  // x = 0x12345678 << 4 + 0 = 0x23456780; g = 0x20000000; h = x ^ g ^ 0x20.
  EXPECT_EQ(kdt::HashStep(0x12345678u, 0), 0x034567A0u);
}

}  // namespace
