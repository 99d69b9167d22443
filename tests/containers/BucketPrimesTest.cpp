// The bucket of a hash, found by multiplication, against the remainder.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "containers/storage/BucketPrimes.h"

namespace {

TEST(BucketCounts, EveryCountGivesTheRemainderOfEveryHash) {
  std::mt19937 random(20261207);
  for (const kdt::BucketCount& c : kdt::kBucketCounts) {
    const uint32_t d = c.count();
    std::vector<uint32_t> hashes = {0,           1,           d - 1,          d, d + 1, 0x7FFFFFFFu,
                                    0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFFu - 1};
    // Both sides of the last multiples of d below 2^32, and of a few others.
    const uint32_t top = 0xFFFFFFFFu / d * d;
    for (uint32_t m : {top, top - d, d * 2u, d * 3u, top / 2 / d * d}) {
      for (uint32_t delta : {0u, 1u, 0xFFFFFFFFu}) hashes.push_back(m + delta);
    }
    for (int i = 0; i < 200000; ++i) hashes.push_back(random());
    for (uint32_t h : hashes) ASSERT_EQ(c.BucketOf(h), h % d) << h << " % " << d;
  }
}

}  // namespace
