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

struct FoldTable {
  uint16_t units[65536];
  FoldTable() {
    for (uint32_t u = 0; u < 65536; ++u) units[u] = static_cast<uint16_t>(u);
    for (const Folding& f : kFoldings) units[f.unit] = f.folded;
  }
};

}  // namespace

const uint16_t* CaseFoldTable() {
  // Filled completely under the one-time initialisation of a local static,
  // so no thread reads a partly built table.
  static const FoldTable* const table = new FoldTable();
  return table->units;
}

}  // namespace kdt
