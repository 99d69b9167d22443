// A plain model of the chained hash table as host programs observe it: the
// same buckets, growth and chain order, written independently of the library
// so the random-sequence tests can compare every observable result.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"

namespace kdt_test {

struct ModelEntry {
  std::string name;  // the key's characters as first stored ("" for Integer)
  int number;        // the key's number
  Word key;          // the key reference first stored (Integer: the number)
  Word value;
  uint32_t hash;
  int uid = 0;  // which insertion made the entry
};

// The table as host programs observe it.
class TableModel {
 public:
  explicit TableModel(bool caseSensitive, size_t buckets = 193)
      : cs_(caseSensitive), buckets_(buckets) {}

  size_t size() const { return count_; }
  size_t bucket_count() const { return buckets_.size(); }

  ModelEntry* Find(const ModelEntry& probe) {
    for (auto& e : buckets_[probe.hash % buckets_.size()])
      if (Same(e, probe)) return &e;
    return nullptr;
  }
  void Set(const ModelEntry& probe) {
    Grow(count_ + 1);
    if (ModelEntry* e = Find(probe)) {
      e->value = probe.value;
      return;
    }
    auto& chain = buckets_[probe.hash % buckets_.size()];
    chain.insert(chain.begin(), probe);
    ++count_;
  }
  bool Remove(const ModelEntry& probe) {
    auto& chain = buckets_[probe.hash % buckets_.size()];
    for (auto it = chain.begin(); it != chain.end(); ++it) {
      if (Same(*it, probe)) {
        chain.erase(it);
        --count_;
        return true;
      }
    }
    return false;
  }
  void Clear() {
    for (auto& c : buckets_) c.clear();
    count_ = 0;
  }
  std::vector<ModelEntry> Order() const {
    std::vector<ModelEntry> out;
    for (const auto& c : buckets_) out.insert(out.end(), c.begin(), c.end());
    return out;
  }

 private:
  bool Same(const ModelEntry& a, const ModelEntry& b) const {
    if (a.name.empty()) return a.number == b.number;
    if (cs_) return a.name == b.name;
    std::string x = a.name, y = b.name;
    for (auto& c : x) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (auto& c : y) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return x == y;
  }
  void Grow(size_t hint) {
    static const uint32_t primes[] = {5, 53, 97, 193, 389, 769, 1543, 3079, 6151, 12289};
    if (hint <= buckets_.size()) return;
    size_t n = *std::lower_bound(std::begin(primes), std::end(primes), hint);
    std::vector<std::vector<ModelEntry>> grown(n);
    for (auto& chain : buckets_) {
      for (auto& e : chain) {  // each chain from the front, to the front
        auto& target = grown[e.hash % n];
        target.insert(target.begin(), e);
      }
    }
    buckets_.swap(grown);
  }

  bool cs_;
  std::vector<std::vector<ModelEntry>> buckets_;
  size_t count_ = 0;
};

}  // namespace kdt_test
