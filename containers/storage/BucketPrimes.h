// The bucket counts of the hash tables, and the bucket of a hash without a
// division.
//
// The library's processors have no divide instruction, so `hash % buckets`
// would be a call into the runtime's division routine on every lookup.  Each
// count instead carries a factor with which two multiplications give the same
// remainder for every 32-bit hash: with f = floor((2^64 - 1) / d) + 1, the
// remainder of h by d is the top 32 bits of the 96-bit product
// ((f * h) mod 2^64) * d (exact for every d and h below 2^32).
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace kdt {

class BucketCount {
 public:
  constexpr explicit BucketCount(uint32_t count)
      : count_(count), factor_(~uint64_t{0} / count + 1) {}

  constexpr uint32_t count() const { return count_; }
  // hash % count().
  constexpr uint32_t BucketOf(uint32_t hash) const {
    const uint64_t fraction = factor_ * hash;
    const uint64_t high = (fraction >> 32) * count_;
    const uint64_t low = (fraction & 0xFFFFFFFFu) * count_;
    return static_cast<uint32_t>((high + (low >> 32)) >> 32);
  }

 private:
  uint32_t count_;
  uint64_t factor_;
};

inline constexpr BucketCount kBucketCounts[] = {
    BucketCount(5),          BucketCount(53),        BucketCount(97),
    BucketCount(193),        BucketCount(389),       BucketCount(769),
    BucketCount(1543),       BucketCount(3079),      BucketCount(6151),
    BucketCount(12289),      BucketCount(24593),     BucketCount(49157),
    BucketCount(98317),      BucketCount(196613),    BucketCount(393241),
    BucketCount(786433),     BucketCount(1572869),   BucketCount(3145739),
    BucketCount(6291469),    BucketCount(12582917),  BucketCount(25165843),
    BucketCount(50331653),   BucketCount(100663319), BucketCount(201326611),
    BucketCount(402653189),  BucketCount(805306457), BucketCount(1610612741),
    BucketCount(3221225473), BucketCount(4294967291)};

// The first count not below `hint`, or the largest.
inline const BucketCount& NextBucketCount(uint32_t hint) {
  const BucketCount* end = std::end(kBucketCounts);
  const BucketCount* p = std::lower_bound(
      kBucketCounts, end, hint, [](const BucketCount& c, uint32_t h) { return c.count() < h; });
  return p == end ? *(end - 1) : *p;
}

}  // namespace kdt
