// A table's node blocks and the registry's table slots at the ends of their
// generations: a node or slot that would wrap is retired, and a table whose
// node generations are used up starts a generation of its own (the
// containers' tests reach growth, reuse and release); in the sanitizer build
// a free node cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "containers/storage/HashStorage.h"
#include "containers/storage/NodeBlocks.h"
#include "containers/storage/TreeStorage.h"

namespace {

struct Node {
  uint32_t words[6];  // a 24-byte node
};
using Blocks = kdt::NodeBlocks<Node>;

struct Handed {
  Node* node;
  uint32_t slot, generation;
};

Handed Take(Blocks& blocks, uint32_t id) {
  Node* n = blocks.Take();
  std::fill(std::begin(n->words), std::end(n->words), id);
  const auto name = blocks.NameOf(n);
  return {n, name.slot, name.generation};
}

// A node at its last generation is retired when given back: it is not
// handed out again, and no position of it matches; once the blocks go back
// the generations are used up, which the table must hear of.
TEST(NodeBlocks, ANodeWhoseGenerationWouldWrapIsRetired) {
  Blocks blocks;
  Handed a = Take(blocks, 1), b = Take(blocks, 2);
  blocks.SetGenerationForTesting(a.node, kdt::kLastGeneration);
  ASSERT_EQ(blocks.Resolve(a.slot, kdt::kLastGeneration), a.node);
  blocks.Give(a.node);
  EXPECT_EQ(blocks.Resolve(a.slot, kdt::kLastGeneration), nullptr);
  Handed c = Take(blocks, 3);
  EXPECT_NE(c.node, a.node) << "a retired node stays out of use";
  for (uint32_t g : {kdt::kLastGeneration - 1, kdt::kLastGeneration, 0u, kdt::kFirstGeneration})
    EXPECT_EQ(blocks.Resolve(a.slot, g), nullptr) << "generation " << g;
  blocks.Give(b.node);
  blocks.Give(c.node);
  EXPECT_FALSE(blocks.Release()) << "generations used up";
  Handed d = Take(blocks, 4);
  EXPECT_EQ(d.generation, kdt::kFirstGeneration);
  blocks.Give(d.node);
  EXPECT_TRUE(blocks.Release());
}

// The two storages over int elements, reaching their blocks.
struct IntKey {
  const int& operator()(const int& v) const { return v; }
};
struct IntHash {
  uint32_t operator()(int v) const { return static_cast<uint32_t>(v); }
};
struct HashOfInts : kdt::ChainedHashTable<int, IntKey, IntHash, std::equal_to<int>> {
  using ChainedHashTable::blocks_;
  kdt::Position Add(int v) { return TokenOf(FindOrInsert(v, v).first); }
  void Remove(int v) { EraseKey(v); }
};
using IntTree = std::map<
    int, int, std::less<int>,
    kdt::BlockAllocator<std::pair<const int, int>, std::_Rb_tree_node<std::pair<const int, int>>>>;
struct TreeOfInts : kdt::PositionTree<IntTree> {
  using PositionTree::blocks_;
  kdt::Position Add(int v) { return Token(items().emplace(v, v).first); }
  void Remove(int v) { Erase(items().find(v)); }
};

// Once an emptied table's node generations are used up, every position it
// handed out, its end included, goes stale with a table generation of its
// own, so the nodes counted again from the first generation match none.
template <typename Table>
void ExpectRenewedWhenGenerationsRunOut() {
  auto table = std::make_unique<Table>();
  const kdt::Position end = table->EndPosition();
  const kdt::Position kept = table->Add(5);
  table->blocks_.SetGenerationForTesting(static_cast<typename Table::Node*>(Table::NodeAt(
                                             *table, kept.elementSlot, kept.elementGeneration)),
                                         kdt::kLastGeneration);
  table->Remove(5);
  EXPECT_FALSE(table->EndPosition() == end);
  EXPECT_EQ(kdt::TableRegistry::Resolve(end.tableSlot, end.tableGeneration, Table::Tag()), nullptr);
  const kdt::Position fresh = table->Add(6);
  EXPECT_EQ(fresh.elementGeneration, kdt::kFirstGeneration);
  EXPECT_NE(fresh.tableGeneration, kept.tableGeneration);
}

TEST(NodeBlocks, ATableWhoseGenerationsRunOutStartsAGenerationOfItsOwn) {
  ExpectRenewedWhenGenerationsRunOut<HashOfInts>();
  ExpectRenewedWhenGenerationsRunOut<TreeOfInts>();
}

#if defined(__SANITIZE_ADDRESS__)
// In the sanitizer build a free node's memory is poisoned, so a read through
// a pointer kept past its removal is reported, even while its block lives.
TEST(NodeBlocksDeathTest, AFreeNodeCannotBeRead) {
  Blocks blocks;
  Handed kept = Take(blocks, 7), other = Take(blocks, 8);
  blocks.Give(kept.node);
  const volatile uint32_t* word = &kept.node->words[1];
  EXPECT_DEATH((void)*word, "use-after-poison");
  Take(blocks, 9);  // the same node, readable again
  EXPECT_EQ(*word, 9u);
  blocks.Give(kept.node);
  blocks.Give(other.node);
}
#endif

// A table slot at its last generation is retired when released, so no
// position handed out for it can ever match again, however often slots are
// reused.
TEST(TableSlots, ASlotWhoseGenerationWouldWrapIsRetired) {
  using kdt::TableRegistry;
  static int table;
  auto acquire = [] {
    return TableRegistry::Acquire(reinterpret_cast<kdt::PositionTable*>(&table),
                                  &kdt::kTableTag<int>);
  };
  auto live = [](uint32_t s, uint32_t g) {
    return TableRegistry::Resolve(s, g, &kdt::kTableTag<int>) != nullptr;
  };
  const uint32_t slot = acquire();
  TableRegistry::SetGenerationForTesting(slot, kdt::kLastGeneration - 1);
  ASSERT_TRUE(live(slot, kdt::kLastGeneration - 1));
  TableRegistry::Release(slot);
  EXPECT_FALSE(live(slot, kdt::kLastGeneration - 1));
  ASSERT_EQ(acquire(), slot) << "a released slot is reused first";
  ASSERT_EQ(TableRegistry::Generation(slot), kdt::kLastGeneration);
  EXPECT_TRUE(live(slot, kdt::kLastGeneration));
  TableRegistry::Release(slot);
  std::vector<uint32_t> others;
  for (int i = 0; i < 3; ++i) others.push_back(acquire());
  for (uint32_t g : {kdt::kLastGeneration - 1, kdt::kLastGeneration, 0u, kdt::kFirstGeneration})
    EXPECT_FALSE(live(slot, g)) << "generation " << g;
  for (uint32_t o : others) {
    EXPECT_NE(o, slot);
    TableRegistry::Release(o);
  }
}

}  // namespace
