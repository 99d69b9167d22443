// The stand-in host's arrays as the library meets them: element storage by
// host version, poisoned where the host keeps none.
#include <gtest/gtest.h>

#include <vector>

#include "standin/host/HostTesting.h"

namespace standin_test {
namespace {

using standin::Options;
using standin::TestHost;
using standin::Word;

const Word* Words(const void* ref) {
  return static_cast<const Word*>(ref);
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
