// The nodes of one tree, carved from blocks the tree owns.
//
// A node then costs its own size and no heap header: a node of an Integer set
// takes 24 bytes instead of the heap's 32, and the nodes of one tree lie
// together.  A removed node is kept for the tree's next insertion; the blocks
// go back to the heap when the tree becomes empty or is destroyed.  Every
// tree has a pool of its own, so trees of different threads share nothing.
//
// Under AddressSanitizer every node comes from the heap instead, so that a
// read of a removed node is still reported.
#pragma once

#include <cstddef>
#include <new>

namespace kdt {

class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool() { Release(); }

  // A pool serves nodes of one size; the first request sets it.
  bool Serves(size_t size) {
    if (stride_ == 0) stride_ = Rounded(size);
    return stride_ == Rounded(size);
  }
  // Throws std::bad_alloc when a new block cannot be had.
  void* Take() {
    if (free_ != nullptr) {
      FreeNode* node = free_;
      free_ = node->next;
      return node;
    }
    if (left_ == 0) Grow();
    void* node = next_;
    next_ += stride_;
    --left_;
    return node;
  }
  void Give(void* node) noexcept { free_ = new (node) FreeNode{free_}; }

  // Gives every block back: only when no node is in use.
  void Release() noexcept {
    while (blocks_ != nullptr) {
      Block* block = blocks_;
      blocks_ = block->next;
      ::operator delete(block);
    }
    free_ = nullptr;
    next_ = nullptr;
    left_ = 0;
    nextBlock_ = kFirstBlock;
  }

 private:
  struct FreeNode {
    FreeNode* next;
  };
  // Nodes follow the header at the strictest alignment a node can need.
  struct alignas(std::max_align_t) Block {
    Block* next;
  };
  // Nodes per block: small trees stay small, large ones allocate seldom.
  static constexpr size_t kFirstBlock = 4, kLargestBlock = 1024;

  // A node's size is a multiple of its alignment and blocks start at the
  // strictest one, so nodes placed one after another stay aligned.
  static size_t Rounded(size_t size) {
    constexpr size_t p = sizeof(FreeNode);
    return size < p ? p : (size + p - 1) / p * p;
  }
  void Grow() {
    void* raw = ::operator new(sizeof(Block) + nextBlock_ * stride_);
    blocks_ = new (raw) Block{blocks_};
    next_ = reinterpret_cast<char*>(blocks_ + 1);
    left_ = nextBlock_;
    if (nextBlock_ < kLargestBlock) nextBlock_ *= 2;
  }

  Block* blocks_ = nullptr;
  FreeNode* free_ = nullptr;
  char* next_ = nullptr;
  size_t left_ = 0;
  size_t stride_ = 0;
  size_t nextBlock_ = kFirstBlock;
};

// The allocator a tree gives its container: nodes from the tree's pool.
template <typename T>
class PoolAllocator {
 public:
  using value_type = T;

  explicit PoolAllocator(NodePool* pool) noexcept : pool_(pool) {}
  template <typename U>
  PoolAllocator(const PoolAllocator<U>& other) noexcept : pool_(other.pool()) {}

  T* allocate(size_t n) {
    if (Pooled(n)) return static_cast<T*>(pool_->Take());
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept {
    if (Pooled(n))
      pool_->Give(p);
    else
      ::operator delete(p);
  }

  NodePool* pool() const noexcept { return pool_; }
  friend bool operator==(const PoolAllocator& a, const PoolAllocator& b) {
    return a.pool_ == b.pool_;
  }
  friend bool operator!=(const PoolAllocator& a, const PoolAllocator& b) { return !(a == b); }

 private:
  bool Pooled(size_t n) const noexcept {
#if defined(__SANITIZE_ADDRESS__)
    (void)n;
    return false;
#else
    return n == 1 && alignof(T) <= alignof(std::max_align_t) && pool_->Serves(sizeof(T));
#endif
  }

  NodePool* pool_;
};

}  // namespace kdt
