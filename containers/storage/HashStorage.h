// Hash storage: the chained hash table under the hash maps and hash sets.
//
// Host programs observe its layout (bucket count, iteration order, index
// access), so it follows one fixed behaviour: 193 buckets at start; before an
// insertion attempt it grows when count + 1 exceeds the bucket count, to the
// first prime of kBucketPrimes not below count + 1, moving each old bucket's
// chain from the front to the front of its new chain; new elements go to the
// front of their chain; removals never shrink it.  Iteration runs through the
// buckets in ascending index, each chain from the front.
//
// The table holds a table-registry slot and its nodes come from blocks of its
// own, each with a generation word (NodeBlocks.h), so iterators kept by host
// programs can tell whether their node still exists.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "containers/storage/BucketPrimes.h"
#include "containers/storage/NodeBlocks.h"
#include "containers/storage/Positions.h"

namespace kdt {

inline constexpr uint32_t kInitialBucketHint = 100;

template <typename Value, typename KeyOf, typename Hash, typename Equal>
class ChainedHashTable : public PositionTable {
 public:
  struct Node {
    template <typename... Args>
    explicit Node(Node* n, Args&&... args) : next(n), value(std::forward<Args>(args)...) {}
    Node* next;
    Value value;
  };

  ChainedHashTable()
      : PositionTable(Tag()),
        counts_(&NextBucketCount(kInitialBucketHint)),
        buckets_(counts_->count(), nullptr) {}
  static const void* Tag() { return &kTableTag<ChainedHashTable>; }
  ChainedHashTable(const ChainedHashTable&) = delete;
  ChainedHashTable& operator=(const ChainedHashTable&) = delete;

  uint32_t size() const { return count_; }
  uint32_t bucket_count() const { return static_cast<uint32_t>(buckets_.size()); }
  Position EndToken() const { return EndPosition(); }
  Position TokenOf(const Node* n) const {
    const auto name = blocks_.NameOf(n);
    return PositionOf(name.slot, name.generation);
  }
  static void* NodeAt(PositionTable& table, uint32_t slot, uint32_t generation) {
    return static_cast<ChainedHashTable&>(table).blocks_.Resolve(slot, generation);
  }

  template <typename Key>
  uint32_t BucketOfKey(const Key& key) const {
    return counts_->BucketOf(Hash()(key));
  }
  uint32_t BucketOf(const Node* n) const { return BucketOfKey(KeyOf()(n->value)); }

  Node* First() const { return FirstFrom(0); }
  Node* Next(const Node* n) const {
    if (n->next != nullptr) return n->next;
    return FirstFrom(BucketOf(n) + 1);
  }

  template <typename Key>
  Node* Find(const Key& key) const {
    for (Node* n = buckets_[BucketOfKey(key)]; n != nullptr; n = n->next) {
      if (Equal()(KeyOf()(n->value), key)) return n;
    }
    return nullptr;
  }

  // Grows for one more element, then looks `key` up; when it is absent, puts
  // a node built from `args` at the front of the key's chain.  Returns the
  // node and whether it is new.
  template <typename Key, typename... Args>
  std::pair<Node*, bool> FindOrInsert(const Key& key, Args&&... args) {
    Reserve(count_ + 1);
    uint32_t b = BucketOfKey(key);
    for (Node* n = buckets_[b]; n != nullptr; n = n->next) {
      if (Equal()(KeyOf()(n->value), key)) return {n, false};
    }
    Node* n = blocks_.Take();
    try {
      new (n) Node(buckets_[b], std::forward<Args>(args)...);
    } catch (...) {
      Given(n);
      throw;
    }
    buckets_[b] = n;
    ++count_;
    return {n, true};
  }

  // Erases the node holding `key`, in one walk of its chain.
  template <typename Key>
  bool EraseKey(const Key& key) {
    for (Node** link = &buckets_[BucketOfKey(key)]; *link != nullptr; link = &(*link)->next) {
      Node* n = *link;
      if (!Equal()(KeyOf()(n->value), key)) continue;
      *link = n->next;
      Destroy(n);
      return true;
    }
    return false;
  }

  void Erase(Node* target) {
    Node** link = &buckets_[BucketOf(target)];
    while (*link != nullptr && *link != target) link = &(*link)->next;
    if (*link == nullptr) return;
    *link = target->next;
    Destroy(target);
  }

  // Whether erasing [first, last) is a run of this table: `last` is the end
  // (null) or follows `first` in iteration order.
  bool IsRange(const Node* first, const Node* last) const {
    if (first == last || last == nullptr) return true;
    if (first == nullptr) return false;
    uint32_t fb = BucketOf(first), lb = BucketOf(last);
    if (fb != lb) return fb < lb;
    for (const Node* n = first; n != nullptr; n = n->next) {
      if (n == last) return true;
    }
    return false;
  }

  // Erases the run [first, last); `last` null means up to the end.  The run
  // must satisfy IsRange.
  void EraseRange(Node* first, Node* last) {
    if (first == last) return;
    uint32_t fb = BucketOf(first);
    uint32_t lb = last == nullptr ? bucket_count() : BucketOf(last);
    if (fb == lb) {
      EraseInBucket(fb, first, last);
      return;
    }
    EraseInBucket(fb, first, nullptr);
    for (uint32_t b = fb + 1; b < lb; ++b) EraseInBucket(b, buckets_[b], nullptr);
    if (lb != bucket_count()) EraseInBucket(lb, buckets_[lb], last);
  }

  void Clear() {
    for (Node*& head : buckets_) {
      while (head != nullptr) {
        Node* n = head;
        head = n->next;
        Destroy(n);
      }
    }
  }
  ~ChainedHashTable() { Clear(); }

 private:
  Node* FirstFrom(uint32_t b) const {
    for (; b < buckets_.size(); ++b) {
      if (buckets_[b] != nullptr) return buckets_[b];
    }
    return nullptr;
  }

  void Reserve(uint32_t hint) {
    uint32_t old = bucket_count();
    if (hint <= old) return;
    const BucketCount& n = NextBucketCount(hint);
    if (n.count() <= old) return;
    std::vector<Node*> grown(n.count(), nullptr);
    for (uint32_t b = 0; b < old; ++b) {
      while (Node* first = buckets_[b]) {
        uint32_t nb = n.BucketOf(Hash()(KeyOf()(first->value)));
        buckets_[b] = first->next;
        first->next = grown[nb];
        grown[nb] = first;
      }
    }
    buckets_.swap(grown);
    counts_ = &n;
  }

  // Erases the nodes of bucket b from `first` up to, not including, `last`.
  void EraseInBucket(uint32_t b, Node* first, Node* last) {
    Node** link = &buckets_[b];
    while (*link != nullptr && *link != first) link = &(*link)->next;
    while (*link != nullptr && *link != last) {
      Node* n = *link;
      *link = n->next;
      Destroy(n);
    }
  }

  void Destroy(Node* n) {
    --count_;
    n->~Node();
    Given(n);
  }
  // An emptied table keeps no nodes' memory.
  void Given(Node* n) noexcept {
    blocks_.Give(n);
    if (count_ == 0 && !blocks_.Release()) Renew();
  }

 protected:
  NodeBlocks<Node> blocks_;  // outlives every node

 private:
  const BucketCount* counts_;  // the count of buckets_, with its reduction
  std::vector<Node*> buckets_;
  uint32_t count_ = 0;
};

// A key and what the shape keeps beside it.
template <typename K, typename Payload>
struct HashEntry : Payload {
  // A copy of a key keeps its cached hash and view: a probe's are computed
  // once per call and kept by the key stored from it.
  explicit HashEntry(const typename K::Stored& k) : key(k) {}
  typename K::Stored key;
};
template <typename K, typename Payload>
struct HashEntryKey {
  const typename K::Stored& operator()(const HashEntry<K, Payload>& e) const { return e.key; }
};

// The table of one container in one case mode.  K: the key's value traits,
// Payload: what the shape keeps beside a key (a value, or nothing).
// Positions are nodes; the end position is null.
template <typename K, typename Payload, CaseMode M>
class HashTable : private ChainedHashTable<HashEntry<K, Payload>, HashEntryKey<K, Payload>,
                                           typename K::Hash, typename K::Equal> {
  using Chain = ChainedHashTable<HashEntry<K, Payload>, HashEntryKey<K, Payload>, typename K::Hash,
                                 typename K::Equal>;

 public:
  using KT = K;
  using Key = typename K::Stored;
  static constexpr CaseMode kMode = M;

  using Pos = typename Chain::Node*;

  int32_t Count() const { return static_cast<int32_t>(Chain::size()); }
  int32_t BinCount() const { return static_cast<int32_t>(Chain::bucket_count()); }
  Pos Begin() const { return Chain::First(); }
  Pos End() const { return nullptr; }
  bool IsEnd(Pos p) const { return p == nullptr; }
  // The end position has no successor.
  Pos Next(Pos p) const { return p == nullptr ? p : Chain::Next(p); }
  static const Key& KeyOf(Pos p) { return p->value.key; }
  static Payload& PayloadOf(Pos p) { return p->value; }

  Pos Find(const Key& key) const { return Chain::Find(key); }
  // Puts a copy of the probe (the argument as a borrowed key, its hash and
  // view included) in unless an equal key is there.  Returns the position
  // and whether it is new.
  std::pair<Pos, bool> Insert(const Key& probe) { return Chain::FindOrInsert(probe, probe); }
  std::pair<Pos, bool> InsertStored(Key&& key) { return Chain::FindOrInsert(key, key); }
  void Erase(Pos p) { Chain::Erase(p); }
  bool EraseKey(const Key& key) { return Chain::EraseKey(key); }
  void Clear() { Chain::Clear(); }
  bool IsRange(Pos first, Pos last) const { return Chain::IsRange(first, last); }
  void EraseRange(Pos first, Pos last) { Chain::EraseRange(first, last); }

  // A copy holds equal entries, put in in this table's iteration order.
  static std::unique_ptr<HashTable> Copy(const HashTable& source) {
    auto copy = std::make_unique<HashTable>();
    for (Pos p = source.Begin(); p != nullptr; p = source.Next(p)) {
      Pos at = copy->FindOrInsert(p->value.key, p->value.key).first;
      static_cast<Payload&>(at->value) = static_cast<const Payload&>(p->value);
    }
    return copy;
  }

  // Positions as iterators keep them.
  using Chain::NodeAt;
  using Chain::Tag;
  Position Token(Pos p) const { return p != nullptr ? Chain::TokenOf(p) : Chain::EndToken(); }
  bool Holds(const ResolvedPosition& r) const {
    return r.table == static_cast<const PositionTable*>(this);
  }
  static HashTable& Of(const ResolvedPosition& r) {
    return static_cast<HashTable&>(static_cast<Chain&>(*r.table));
  }
  Pos At(const ResolvedPosition& r) const {
    return r.kind == ResolvedPosition::kEnd ? nullptr : static_cast<Pos>(r.element);
  }
};

// The storage policy of the hash containers.
struct HashStorage {
  template <typename K, typename Payload, CaseMode M>
  using Table = HashTable<K, Payload, M>;
  // The end positions of all live tables of one case mode are the same
  // position.
  static constexpr bool kEndsCompareEqual = true;
};

}  // namespace kdt
