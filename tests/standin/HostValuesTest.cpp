// The stand-in host's values as the library meets them through the entries:
// strings and their encodings, string data and arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "standin/host/HostTesting.h"

namespace standin_test {
namespace {

using standin::Options;
using standin::TestHost;
using standin::Word;
namespace entry = kdt::entry;

template <class F>
F E(const standin::Host& host, const char* name) {
  return reinterpret_cast<F>(host.Resolver()(name));
}

const Word* Words(const void* ref) {
  return static_cast<const Word*>(ref);
}
const unsigned char* DataOf(const void* str) {
  return reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(Words(str)[1])) + 1;
}

// Whether strings and converted data end in zeros follows the host's options.
TEST(StandinStrings, LaidOutAsTheLibraryReadsThem) {
  for (bool terminated : {true, false}) {
    Options o = Options::Bare();
    o.terminateBuiltStrings = terminated;
    o.terminateConvertedData = terminated;
    TestHost host(o);
    kdt::REALstring s = host.NewString("abc", kdt::kEncodingWindowsLatin1, terminated);
    EXPECT_EQ(std::memcmp(DataOf(s), "abc", 3), 0);
    EXPECT_EQ(Words(s)[3], 3u);
    EXPECT_EQ(Words(s)[4], kdt::kEncodingWindowsLatin1);
    EXPECT_EQ(DataOf(s)[3] == 0, terminated);

    kdt::REALstring b = E<entry::REALBuildString>(host, "REALBuildString")("xy", 2);
    EXPECT_EQ(E<entry::REALGetStringEncoding>(host, "REALGetStringEncoding")(b),
              kdt::kEncodingUnspecified);
    EXPECT_EQ(DataOf(b)[2] == 0, terminated);
    E<entry::REALSetStringEncoding>(host, "REALSetStringEncoding")(b, kdt::kEncodingASCII);
    EXPECT_EQ(Words(b)[4], kdt::kEncodingASCII);

    kdt::StringDataRecord record{};
    E<entry::PluginGetStringData>(host, "PluginGetStringData")(s, kdt::kEncodingUTF16, &record);
    const auto* end = static_cast<const unsigned char*>(record.data) + record.size;
    EXPECT_EQ(record.size, 6u);
    EXPECT_EQ(end[0] == 0 && end[1] == 0, terminated);
    E<entry::PluginDisposeStringData>(host, "PluginDisposeStringData")(&record);
    kdt::REALstring r =
        E<entry::REALConvertString>(host, "REALConvertString")(s, kdt::kEncodingUTF8);
    EXPECT_EQ(DataOf(r)[3] == 0, terminated);
    for (auto ref : {standin::W(r), standin::W(b), standin::W(s)}) host.Release(ref);
  }
}

TEST(StandinArrays, ElementStorageWordsFollowTheHostVersion) {
  const struct {
    double version;
    int storageWord;  // -1: none
  } cases[] = {{2005.0, 2}, {2007.99, 2}, {2008.0, 7}, {2016.9, 7}, {2017.0, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    TestHost host(Options::Bare(c.version));
    kdt::REALarray arr = host.NewArray(kdt::kArrayTypeInteger, {11, 12});
    const Word* w = Words(arr);
    for (int word : {2, 7}) {
      Word* storage = reinterpret_cast<Word*>(static_cast<uintptr_t>(w[word]));
      if (word != c.storageWord) {
        EXPECT_NE(storage, nullptr);
        if (c.storageWord >= 0) {
          EXPECT_NE(w[word], w[c.storageWord]);
        }
        continue;
      }
      EXPECT_EQ(storage[1], 12u);
      storage[0] = 21;  // written in place, as older hosts allow
    }
    EXPECT_EQ(host.Elements(arr)[0], c.storageWord < 0 ? 11u : 21u);
    host.Release(arr);
  }
}

TEST(StandinArraysDeathTest, PoisonedStorageWordsFaultWhenRead) {
  TestHost host(Options::Bare(2019.0));
  kdt::REALarray arr = host.NewArray(kdt::kArrayTypeInteger, {1});
  const volatile Word* storage =
      reinterpret_cast<const volatile Word*>(static_cast<uintptr_t>(Words(arr)[7]));
  EXPECT_DEATH((void)*storage, "");
  host.Release(arr);
}

}  // namespace
}  // namespace standin_test
