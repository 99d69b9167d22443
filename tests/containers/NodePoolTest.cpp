// A tree's node pool through growth, reuse and release: live nodes never
// overlap and keep what was written in them, removed nodes are what the next
// insertions get, and an emptied pool starts afresh (the sanitizer build
// reports any touch of a block it gave back).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "containers/storage/NodePool.h"

namespace {

constexpr size_t kWords = 6;  // a 24-byte node

uint32_t* Fill(void* node, uint32_t id) {
  auto* words = static_cast<uint32_t*>(node);
  std::fill(words, words + kWords, id);
  return words;
}

TEST(NodePool, NodesStayApartThroughGrowthReuseAndRelease) {
  kdt::NodePool pool;
  ASSERT_TRUE(pool.Serves(kWords * 4));
  EXPECT_FALSE(pool.Serves(kWords * 4 + 8)) << "one node size per pool";
  for (int round = 0; round < 2; ++round) {
    std::vector<uint32_t*> live;
    for (uint32_t id = 0; id < 3000; ++id) live.push_back(Fill(pool.Take(), id));
    std::vector<uint32_t*> given;
    for (size_t i = 0; i < live.size(); i += 2) {
      given.push_back(live[i]);
      pool.Give(live[i]);
    }
    std::vector<uint32_t*> reused;
    for (size_t i = 0; i < live.size(); i += 2) {
      live[i] = Fill(pool.Take(), static_cast<uint32_t>(i));
      reused.push_back(live[i]);
    }
    std::sort(given.begin(), given.end());
    std::sort(reused.begin(), reused.end());
    EXPECT_EQ(reused, given) << "removed nodes serve the next insertions";
    for (uint32_t id = 0; id < live.size(); ++id)
      for (size_t w = 0; w < kWords; ++w) ASSERT_EQ(live[id][w], id) << "node " << id;
    for (uint32_t* node : live) pool.Give(node);
    pool.Release();
  }
}

}  // namespace
