// The nodes of one table, carved from blocks the table owns, each with a
// generation word beside it.
//
// A node costs its own size plus its generation word and no heap header, and
// the nodes of one table lie together.  Nodes are numbered in the order they
// were carved (slot 1 is the first), so a slot finds its node and generation
// without a search, and a position that was never handed out is refused by
// the bounds check alone, whatever the memory past the carved nodes holds.
//
// Generations: a live node's is odd, a free node's even.  Giving a node back
// moves its generation on, so every position handed out for it goes stale;
// taking it again moves it on once more.  A node whose generation would wrap
// is retired: it stays out of use until the blocks go back.  The blocks go
// back to the heap when the table empties or dies; nodes carved afterwards
// start above every generation handed out before, so a position kept across
// the emptying never matches a new node.
//
// The generation words lie apart from the nodes, after the nodes of their
// block, so they are never part of a node's memory and survive its reuse.
// In the sanitizer build a node's memory is poisoned while it is free, so
// a read through a stale pointer is reported.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's interface (the cross compiler ships it without
// headers).
extern "C" void __asan_poison_memory_region(void const volatile* addr, size_t size);
extern "C" void __asan_unpoison_memory_region(void const volatile* addr, size_t size);
#endif

#include "containers/storage/PositionRegistry.h"

namespace kdt {

// Named: the nodes carry generations, so that positions can name them; nodes
// no position names (a search index's) go without.
template <typename Node, bool Named = true>
class NodeBlocks {
  static_assert(alignof(Node) <= alignof(std::max_align_t), "nodes follow each other in a block");
  static_assert(sizeof(Node) >= sizeof(uint32_t), "a free node holds the next free slot");
  static_assert(sizeof(Node) % sizeof(uint32_t) == 0, "generation words follow the nodes");

 public:
  NodeBlocks() = default;
  NodeBlocks(const NodeBlocks&) = delete;
  NodeBlocks& operator=(const NodeBlocks&) = delete;
  ~NodeBlocks() { Release(); }

  // Memory for one node, whose generation is then live.  Throws
  // std::bad_alloc when a new block cannot be had.
  Node* Take() {
    uint32_t slot = free_;
    if (slot != 0) {
      Node* node = NodeAt(slot);
      Unpoison(node);
      free_ = *reinterpret_cast<uint32_t*>(node);
      if constexpr (Named) Issued(++GenerationAt(slot));
      return node;
    }
    if (carved_ == capacity_) Grow();
    slot = ++carved_;
    if constexpr (Named) {
      GenerationAt(slot) = floor_;
      Issued(floor_);
    }
    Node* node = NodeAt(slot);
    Unpoison(node);
    return node;
  }
  // Takes back a node of this table: its positions go stale.
  void Give(Node* node) noexcept {
    const uint32_t slot = SlotOf(node);
    if constexpr (Named) {
      uint32_t& g = GenerationAt(slot);
      if (g == kLastGeneration) {  // retired: an even generation nobody holds
        g = kLastGeneration - 1;
        return;
      }
      ++g;
    }
    *reinterpret_cast<uint32_t*>(node) = free_;
    free_ = slot;
    Poison(node);
  }

  // The slot and generation of a live node of this table, as a position
  // names it.
  struct Name {
    uint32_t slot, generation;
  };
  Name NameOf(const Node* node) const {
    static_assert(Named, "only named nodes have generations");
    const Placed& block = BlockOf(node);
    const uint32_t place = PlaceIn(block, node);
    const auto* words =
        reinterpret_cast<const uint32_t*>(block.start + Capacity(block.block) * sizeof(Node));
    return {FirstSlot(block.block) + place, words[place]};
  }
  uint32_t SlotOf(const Node* node) const {
    const Placed& block = BlockOf(node);
    return FirstSlot(block.block) + PlaceIn(block, node);
  }

  // The live node of (slot, generation), or null.
  Node* Resolve(uint32_t slot, uint32_t generation) const {
    static_assert(Named, "only named nodes have generations");
    if (slot == 0 || slot > carved_) return nullptr;
    const auto [block, place] = Locate(slot);
    unsigned char* start = blocks_[block];
    const auto* words = reinterpret_cast<const uint32_t*>(start + Capacity(block) * sizeof(Node));
    const uint32_t g = words[place];
    if (g != generation || (g & 1) == 0) return nullptr;
    return reinterpret_cast<Node*>(start + static_cast<size_t>(place) * sizeof(Node));
  }

  // Gives every block back: only when no node is in use.  Returns false
  // when the generations are used up, so that the table must start a new
  // generation of its own before its positions can be told apart again.
  bool Release() noexcept {
    if (blocks_.empty()) return true;
    for (size_t b = 0; b < blocks_.size(); ++b) {
      Unpoison(blocks_[b], BlockBytes(static_cast<uint32_t>(b)));
      ::operator delete(blocks_[b]);
    }
    std::vector<unsigned char*>().swap(blocks_);
    std::vector<Placed>().swap(byAddress_);
    carved_ = capacity_ = free_ = 0;
    const bool fresh = highest_ <= kLastGeneration - 2;
    floor_ = fresh ? highest_ + 2 : kFirstGeneration;
    highest_ = floor_;
    return fresh;
  }

  uint32_t carved() const { return carved_; }
  // Lets a test bring a node near the end of its generations.
  void SetGenerationForTesting(const Node* node, uint32_t generation) {
    GenerationAt(SlotOf(node)) = generation;
    Issued(generation);
  }

 private:
  struct Placed {
    unsigned char* start;
    uint32_t block;
  };

  // Blocks of 4, 8, ... 1024 nodes, then of 1024: small tables stay small,
  // large ones allocate seldom.
  static constexpr uint32_t kFirstBlockBits = 2, kLargestBlockBits = 10;
  static constexpr uint32_t kDoublings = kLargestBlockBits - kFirstBlockBits;
  static constexpr uint32_t kBeforeLargest = (1u << kLargestBlockBits) - (1u << kFirstBlockBits);
  static uint32_t Capacity(uint32_t block) {
    return 1u << (kFirstBlockBits + std::min(block, kDoublings));
  }
  static uint32_t FirstSlot(uint32_t block) {
    if (block <= kDoublings) return (1u << (kFirstBlockBits + block)) - (1u << kFirstBlockBits) + 1;
    return kBeforeLargest + ((block - kDoublings) << kLargestBlockBits) + 1;
  }
  // The block of a carved slot and the slot's place in it.
  static std::pair<uint32_t, uint32_t> Locate(uint32_t slot) {
    const uint32_t i = slot - 1;
    if (i >= kBeforeLargest) {
      const uint32_t past = i - kBeforeLargest;
      return {kDoublings + (past >> kLargestBlockBits), past & ((1u << kLargestBlockBits) - 1)};
    }
    const uint32_t block = 31 - static_cast<uint32_t>(__builtin_clz((i >> kFirstBlockBits) + 1));
    return {block, slot - FirstSlot(block)};
  }
  static size_t BlockBytes(uint32_t block) {
    return static_cast<size_t>(Capacity(block)) * (sizeof(Node) + (Named ? sizeof(uint32_t) : 0));
  }

  static uint32_t PlaceIn(const Placed& block, const Node* node) {
    return static_cast<uint32_t>(
        static_cast<size_t>(reinterpret_cast<const unsigned char*>(node) - block.start) /
        sizeof(Node));
  }
  // The block starting last at or before the node holds it.
  const Placed& BlockOf(const Node* node) const {
    const auto* at = reinterpret_cast<const unsigned char*>(node);
    auto block =
        std::upper_bound(byAddress_.begin(), byAddress_.end(), at,
                         [](const unsigned char* a, const Placed& p) { return a < p.start; });
    return *--block;
  }

  Node* NodeAt(uint32_t slot) const {
    const auto [block, place] = Locate(slot);
    return reinterpret_cast<Node*>(blocks_[block] + static_cast<size_t>(place) * sizeof(Node));
  }
  uint32_t& GenerationAt(uint32_t slot) const {
    const auto [block, place] = Locate(slot);
    auto* words = reinterpret_cast<uint32_t*>(blocks_[block] + Capacity(block) * sizeof(Node));
    return words[place];
  }
  void Issued(uint32_t generation) { highest_ = std::max(highest_, generation); }

  void Grow() {
    const auto block = static_cast<uint32_t>(blocks_.size());
    if (capacity_ > kLastGeneration - Capacity(block)) throw std::bad_alloc();
    blocks_.reserve(block + 1);
    byAddress_.reserve(block + 1);
    auto* start = static_cast<unsigned char*>(::operator new(BlockBytes(block)));
    blocks_.push_back(start);
    auto at = std::upper_bound(byAddress_.begin(), byAddress_.end(), start,
                               [](const unsigned char* a, const Placed& p) { return a < p.start; });
    byAddress_.insert(at, Placed{start, block});
    capacity_ += Capacity(block);
    Poison(start, Capacity(block) * sizeof(Node));
  }

#if defined(__SANITIZE_ADDRESS__)
  static void Poison(const void* at, size_t bytes = sizeof(Node)) {
    __asan_poison_memory_region(at, bytes);
  }
  static void Unpoison(const void* at, size_t bytes = sizeof(Node)) {
    __asan_unpoison_memory_region(at, bytes);
  }
#else
  static void Poison(const void*, size_t = 0) {}
  static void Unpoison(const void*, size_t = 0) {}
#endif

  std::vector<unsigned char*> blocks_;  // in the order carved
  std::vector<Placed> byAddress_;       // the same blocks by address
  uint32_t carved_ = 0;                 // slots 1 .. carved_ have a generation
  uint32_t capacity_ = 0;
  uint32_t free_ = 0;                    // the first free slot; each free node holds the next
  uint32_t floor_ = kFirstGeneration;    // where fresh nodes start
  uint32_t highest_ = kFirstGeneration;  // the highest generation handed out
};

// The allocator a table gives its standard container: nodes from the
// table's blocks, anything else from the heap.
template <typename T, typename Node, bool Named = true>
class BlockAllocator {
 public:
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = BlockAllocator<U, Node, Named>;
  };

  explicit BlockAllocator(NodeBlocks<Node, Named>* blocks) noexcept : blocks_(blocks) {}
  template <typename U>
  BlockAllocator(const BlockAllocator<U, Node, Named>& other) noexcept : blocks_(other.blocks()) {}

  T* allocate(size_t n) {
    if (Pooled(n)) return reinterpret_cast<T*>(blocks_->Take());
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept {
    if (Pooled(n))
      blocks_->Give(reinterpret_cast<Node*>(p));
    else
      ::operator delete(p);
  }

  NodeBlocks<Node, Named>* blocks() const noexcept { return blocks_; }
  friend bool operator==(const BlockAllocator& a, const BlockAllocator& b) {
    return a.blocks_ == b.blocks_;
  }
  friend bool operator!=(const BlockAllocator& a, const BlockAllocator& b) { return !(a == b); }

 private:
  static constexpr bool Pooled(size_t n) noexcept { return std::is_same_v<T, Node> && n == 1; }

  NodeBlocks<Node, Named>* blocks_;
};

}  // namespace kdt
