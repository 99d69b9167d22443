#include "values/TextKeys.h"

#include <cstring>

#include "plugin/host/HostEntries.h"
#include "values/KeyViews.h"

namespace kdt {

namespace {

// A UTF-16 unit of the host's data, which need not be aligned.
uint16_t UnitAt(const void* data, uint32_t index) {
  uint16_t unit;
  std::memcpy(&unit, static_cast<const char*>(data) + 2 * static_cast<size_t>(index), 2);
  return unit;
}

}  // namespace

uint32_t TextHashS(REALtext t) {
  if (t == nullptr) return 1;
  TextDataRecord* record = PluginGetTextData(t, "utf-8", 0);
  if (record == nullptr) return 1;
  uint32_t h = 1;
  const auto* bytes = static_cast<const unsigned char*>(record->data);
  if (bytes != nullptr) {
    for (uint32_t i = 0; i < record->size; ++i) h = HashStep(h, bytes[i]);
  }
  PluginDisposeTextData(record);
  return h;
}

uint32_t TextHashI(REALtext t) {
  const uint16_t* fold = CaseFoldTable();
  if (t == nullptr) return 1;
  TextDataRecord* record = PluginGetTextData(t, "utf-16", 0);
  if (record == nullptr) return 1;
  uint32_t h = 1;
  if (record->data != nullptr) {
    const uint32_t n = record->size / 2;
    for (uint32_t i = 0; i < n; ++i) h = HashStep(h, fold[UnitAt(record->data, i)]);
  }
  PluginDisposeTextData(record);
  return h;
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
