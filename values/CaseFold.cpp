#include <cstdint>

#include "values/StringKeys.h"

namespace kdt {

namespace {

struct Folding {
  uint16_t unit;
  uint16_t folded;
};

// Generated from data/CaseFolding-3.2.0.txt by tools/gen_casefold.py.
constexpr Folding kFoldings[] = {
#include "values/CaseFoldData.inc"
};
static_assert(sizeof(kFoldings) / sizeof(kFoldings[0]) == 724, "Unicode 3.2.0 folds 724 units");

// Built by the compiler: the table is in the library's read-only data from
// the start, so no thread ever sees it being filled.
struct FoldTable {
  uint16_t units[65536];
  constexpr FoldTable() : units() {
    for (uint32_t u = 0; u < 65536; ++u) units[u] = static_cast<uint16_t>(u);
    for (const Folding& f : kFoldings) units[f.unit] = f.folded;
  }
};

constexpr FoldTable kFoldTable;

}  // namespace

const uint16_t* CaseFoldTable() {
  return kFoldTable.units;
}

}  // namespace kdt
