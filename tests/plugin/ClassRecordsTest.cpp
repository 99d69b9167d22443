// Record layouts and allocation, checked without a host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "plugin/ClassRecords.h"
#include "plugin/PluginAlloc.h"
#include "plugin/PluginMain.h"

namespace {

TEST(ClassRecordVersion, ThresholdsAreInclusiveAndExact) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double version;
    int32_t record;
  } cases[] = {
      {2019.0, 13},
      {2013.04, 13},
      {std::nextafter(2013.04, 0.0), 12},
      {2013.035, 12},
      {2013.03, 12},
      {std::nextafter(2013.03, 0.0), 11},
      {2013.0, 11},
      {std::nextafter(2013.0, 0.0), 10},
      {2012.99, 10},
      {2012.0, 10},
      {std::nextafter(2012.0, 0.0), 9},
      {2011.0, 9},
      {0.0, 9},
      {-1.0, 9},
      {nan, 9},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kdt::ChooseClassRecordVersion(c.version), c.record) << std::hexfloat << c.version;
  }
  uint64_t bits;
  const double v2013_04 = 2013.04;
  std::memcpy(&bits, &v2013_04, sizeof bits);
  EXPECT_EQ(bits, 0x409F7428F5C28F5Cu);
}

TEST(PluginAlloc, ZeroFilledWithinLimits) {
  for (uint64_t size : {uint64_t{0}, uint64_t{0x80000000}, uint64_t{0xFFFFFFFF}, ~uint64_t{0}}) {
    EXPECT_EQ(kdt::PluginAlloc(size), nullptr) << size;
  }
  for (uint64_t size : {uint64_t{1}, uint64_t{100}, uint64_t{4096}}) {
    auto* block = static_cast<unsigned char*>(kdt::PluginAlloc(size));
    ASSERT_NE(block, nullptr);
    for (uint64_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << i;
    kdt::PluginFree(block);
  }
  kdt::PluginFree(nullptr);
}

uint32_t Word(const void* p) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}
template <typename T = uint32_t>
const T* At(uint32_t word) {
  return reinterpret_cast<const T*>(static_cast<uintptr_t>(word));
}

TEST(MakeVersion9ClassRecord, ShortensEveryArrayAndKeepsTheRest) {
  // Every word of every entry holds its own index, so a wrong stride or a
  // word copied from the wrong place shows up as a wrong number.
  uint32_t properties[3][12], methods[2][6], entries16[2][4], entries20[2][5], properties2[1][12];
  auto fill = [](uint32_t* words, size_t count, uint32_t base) {
    for (size_t i = 0; i < count; ++i) words[i] = base + static_cast<uint32_t>(i);
  };
  fill(&properties[0][0], 36, 1000);
  fill(&methods[0][0], 12, 2000);
  fill(&entries16[0][0], 8, 3000);
  fill(&entries20[0][0], 10, 4000);
  fill(&properties2[0][0], 12, 5000);

  uint32_t original[29];
  fill(original, 29, 1);
  kdt::ClassRecord record;
  std::memcpy(&record, original, sizeof record);
  record.properties = reinterpret_cast<kdt::PropertyRecord*>(properties);
  record.propertyCount = 3;
  record.methods = reinterpret_cast<kdt::MethodRecord*>(methods);
  record.methodCount = 2;
  record.entries16 = entries16;
  record.entries16Count = 2;
  record.entries20 = entries20;
  record.entries20Count = 2;
  record.properties2 = reinterpret_cast<kdt::PropertyRecord*>(properties2);
  record.properties2Count = 1;
  record.methods2 = reinterpret_cast<kdt::MethodRecord*>(methods);
  record.methods2Count = 0;  // an empty array is not copied, whatever the pointer

  kdt::ClassRecordVersion = 9;
  uint32_t* v9 = kdt::MakeVersion9ClassRecord(record);
  ASSERT_NE(v9, nullptr);
  std::memcpy(original, &record, sizeof record);
  EXPECT_EQ(v9[0], 9u);
  for (int w : {1, 2, 3, 4, 5, 6, 8, 10, 12, 13, 14, 15, 19, 20, 22, 24}) {
    EXPECT_EQ(v9[w], original[w]) << "word " << w;
  }
  EXPECT_EQ(v9[16], 0u);
  EXPECT_EQ(v9[17], 0u);
  EXPECT_EQ(v9[23], 0u);

  struct Array {
    int word;
    const uint32_t* source;
    uint32_t count, fromWords, toWords;
  } arrays[] = {
      {7, &properties[0][0], 3, 12, 10},   {9, &methods[0][0], 2, 6, 4},
      {11, &entries16[0][0], 2, 4, 2},     {18, &entries20[0][0], 2, 5, 3},
      {21, &properties2[0][0], 1, 12, 10},
  };
  for (const Array& a : arrays) {
    const uint32_t* copy = At(v9[a.word]);
    ASSERT_NE(copy, nullptr) << "word " << a.word;
    EXPECT_NE(copy, a.source);
    for (uint32_t e = 0; e < a.count; ++e) {
      for (uint32_t w = 0; w < a.toWords; ++w) {
        EXPECT_EQ(copy[e * a.toWords + w], a.source[e * a.fromWords + w])
            << "array at word " << a.word << ", entry " << e << ", word " << w;
      }
    }
    kdt::PluginFree(const_cast<uint32_t*>(copy));
  }
  kdt::PluginFree(v9);
}

TEST(MakeVersion9ClassRecord, NoArraysGivesNullArrays) {
  kdt::ClassRecord record{};
  record.name = "Bare";
  record.dataSize = 8;
  kdt::ClassRecordVersion = 9;
  uint32_t* v9 = kdt::MakeVersion9ClassRecord(record);
  ASSERT_NE(v9, nullptr);
  EXPECT_EQ(v9[1], Word(record.name));
  EXPECT_EQ(v9[3], 8u);
  for (int w : {7, 9, 11, 18, 21, 23}) EXPECT_EQ(v9[w], 0u) << w;
  kdt::PluginFree(v9);
}

}  // namespace
