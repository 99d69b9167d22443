#include "values/TextKeys.h"

#include "plugin/host/HostEntries.h"
#include "values/HostStrings.h"
#include "values/KeyViews.h"

namespace kdt {

namespace {

// The ELF hash, seeded with 1, of a Text's UTF-8 bytes or (fold) of its
// case-folded UTF-16 units.
uint32_t TextHash(REALtext t, bool fold) {
  if (t == nullptr) return 1;
  TextDataRecord* record = PluginGetTextData(t, fold ? "utf-16" : "utf-8", 0);
  if (record == nullptr) return 1;
  uint32_t h = 1;
  const auto* bytes = static_cast<const unsigned char*>(record->data);
  if (bytes != nullptr && fold) {
    const uint16_t* table = CaseFoldTable();
    for (uint32_t i = 0; i < record->size / 2; ++i) h = HashStep(h, table[UnitAt(bytes, i)]);
  } else if (bytes != nullptr) {
    for (uint32_t i = 0; i < record->size; ++i) h = HashStep(h, bytes[i]);
  }
  PluginDisposeTextData(record);
  return h;
}

}  // namespace

uint32_t TextHashS(REALtext t) {
  return TextHash(t, false);
}
uint32_t TextHashI(REALtext t) {
  return TextHash(t, true);
}

int32_t TextCompareS(REALtext a, REALtext b) {
  if (a == b) return 0;
  return PluginCompareText(a, b, 1);
}

int32_t TextCompareI(REALtext a, REALtext b) {
  if (a == b) return 0;
  return PluginCompareText(a, b, 0);
}

}  // namespace kdt
