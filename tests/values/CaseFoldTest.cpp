// The case-fold table against the Unicode data file it was generated from.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "values/StringKeys.h"

namespace {

// Simple foldings (C and S) of 16-bit units, read straight from the data.
std::vector<uint16_t> FoldingsFromDataFile() {
  std::vector<uint16_t> table(65536);
  for (uint32_t u = 0; u < 65536; ++u) table[u] = static_cast<uint16_t>(u);
  const std::string path = std::string(KDT_SOURCE_DIR) + "/data/CaseFolding-3.2.0.txt";
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  unsigned long from, to;
  char status;
  for (std::string line; std::getline(in, line);) {
    // "<code>; <status>; <mapping>; # <name>"; only C and S map one unit.
    if (std::sscanf(line.c_str(), "%lx; %c; %lx;", &from, &status, &to) != 3) continue;
    if ((status == 'C' || status == 'S') && from <= 0xFFFF && to <= 0xFFFF)
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

  // Units and their foldings, worked out by hand from the data.
  const uint16_t kWorked[][2] = {{0x41, 0x61},    {0xB5, 0x3BC},   {0x17F, 0x73},
                                 {0x3C2, 0x3C3},  {0x3F2, 0x3C3},  {0x1E9B, 0x1E61},
                                 {0x2126, 0x3C9}, {0x212A, 0x6B},  {0xFF21, 0xFF41},
                                 {0x130, 0x130},  {0xD800, 0xD800}};
  for (const auto& w : kWorked) EXPECT_EQ(table[w[0]], w[1]) << std::hex << w[0];
}

}  // namespace
