#include "plugin/ClassRecords.h"

#include <cstring>

#include "plugin/PluginAlloc.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"

namespace kdt {

namespace {

constexpr int kVersion9Words = kVersion9ClassRecordSize / 4;
static_assert(kVersion9Words == 25);

// Arrays of the record that get shorter entries in version 9: the words of
// the pointer and the count, and the entry size before and after.
struct ShortenedArray {
  int pointerWord;
  int countWord;
  uint32_t fromSize;
  uint32_t toSize;
};

constexpr ShortenedArray kShortenedArrays[] = {
    {7, 8, sizeof(PropertyRecord), kVersion9PropertySize},
    {9, 10, sizeof(MethodRecord), kVersion9MethodSize},
    {11, 12, 16, 8},
    {18, 19, 20, 12},
    {21, 22, sizeof(PropertyRecord), kVersion9PropertySize},
    {23, 24, sizeof(MethodRecord), kVersion9MethodSize},
};

unsigned char* AsPointer(uint32_t word) {
  return reinterpret_cast<unsigned char*>(static_cast<uintptr_t>(word));
}

uint32_t AsWord(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace

uint32_t* MakeVersion9ClassRecord(const ClassRecord& record) {
  auto* words = static_cast<uint32_t*>(PluginAlloc(kVersion9ClassRecordSize));
  if (words == nullptr) return nullptr;
  // The first 25 words keep their positions; what differs is fixed up below.
  std::memcpy(words, &record, kVersion9ClassRecordSize);
  words[0] = static_cast<uint32_t>(ClassRecordVersion);
  words[16] = 0;
  words[17] = 0;

  for (size_t i = 0; i < sizeof kShortenedArrays / sizeof kShortenedArrays[0]; ++i) {
    const ShortenedArray& a = kShortenedArrays[i];
    const unsigned char* source = AsPointer(words[a.pointerWord]);
    const uint32_t count = words[a.countWord];
    words[a.pointerWord] = 0;
    if (source == nullptr || count == 0) continue;
    auto* shortened = static_cast<unsigned char*>(PluginAlloc(uint64_t{count} * a.toSize));
    if (shortened == nullptr) {
      for (size_t j = 0; j < i; ++j) PluginFree(AsPointer(words[kShortenedArrays[j].pointerWord]));
      PluginFree(words);
      return nullptr;
    }
    for (uint32_t e = 0; e < count; ++e) {
      std::memcpy(shortened + e * a.toSize, source + e * a.fromSize, a.toSize);
    }
    words[a.pointerWord] = AsWord(shortened);
  }
  return words;
}

void RegisterClassRecord(ClassRecord* record) {
  if (record->dataSize % 16 != 0) record->dataSize = (record->dataSize + 15) & ~uint32_t{15};
  if (ClassRecordVersion > 9) {
    record->version = static_cast<uint32_t>(ClassRecordVersion);
    PluginRegisterClass(record);
    return;
  }
  uint32_t* shortRecord = MakeVersion9ClassRecord(*record);
  if (shortRecord == nullptr) return;
  // The host keeps the static record's address, so the short layout goes
  // over it; the short arrays it now points to are never freed.
  std::memcpy(static_cast<void*>(record), shortRecord, kVersion9ClassRecordSize);
  PluginRegisterClass(record);
  PluginFree(shortRecord);
}

}  // namespace kdt
