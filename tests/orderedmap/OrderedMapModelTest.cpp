// Long random call sequences against every ordered map member, misuse
// included, compared step by step with a plain model: a vector of entries
// kept sorted in the map order, the array cache as a snapshot, and iterators
// as the entry (or end) they were made on.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "orderedmap/OrderedMapTestSupport.h"

namespace kdt_test {
namespace {

using standin::TestHost;
using standin::TookException;

struct Entry {
  ModelKey key;
  Word keyRef;  // the key reference first stored (Integer: the number)
  Word value;
  int uid;  // which insertion made the entry
};

class MapModel {
 public:
  explicit MapModel(MapOrder order) : order_(order) {}

  const std::vector<Entry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }

  size_t LowerBound(const ModelKey& k) const {
    size_t i = 0;
    while (i < entries_.size() && order_.Before(entries_[i].key, k)) ++i;
    return i;
  }
  size_t UpperBound(const ModelKey& k) const {
    size_t i = LowerBound(k);
    while (i < entries_.size() && !order_.Before(k, entries_[i].key)) ++i;
    return i;
  }
  // Index of the entry with an equal key, or size().
  size_t Find(const ModelKey& k) const {
    size_t i = LowerBound(k);
    return i < entries_.size() && order_.Same(entries_[i].key, k) ? i : entries_.size();
  }
  void Set(const ModelKey& k, Word keyRef, Word value) {
    DropCache();
    size_t i = LowerBound(k);
    if (i < entries_.size() && order_.Same(entries_[i].key, k)) {
      entries_[i].value = value;
      return;
    }
    entries_.insert(entries_.begin() + i, Entry{k, keyRef, value, nextUid_++});
  }
  void Erase(size_t from, size_t to) {
    entries_.erase(entries_.begin() + from, entries_.begin() + to);
  }
  void Clear() {
    DropCache();
    entries_.clear();
  }
  void Reconstruct() {
    Clear();
    ++generation_;
  }
  int generation() const { return generation_; }
  // Index of the entry made by insertion uid, or -1 when it is gone.
  int IndexOf(int uid) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].uid == uid) return static_cast<int>(i);
    return -1;
  }

  // The array cache: the keys and values as they were when it was built.
  void DropCache() { cache_.reset(); }
  const std::vector<Entry>& Cache() {
    if (!cache_) cache_ = entries_;
    return *cache_;
  }
  // A value set through an iterator reaches the tree, not the cache.
  void SetValueAt(size_t i, Word v) { entries_[i].value = v; }

 private:
  MapOrder order_;
  std::vector<Entry> entries_;
  std::optional<std::vector<Entry>> cache_;
  int nextUid_ = 1;
  int generation_ = 0;
};

// An iterator the program keeps, and where the model says it is.
struct KeptIterator {
  Word it;
  int uid;         // 0: the end position
  int generation;  // of the map, for the end position
  bool foreign;    // made by another map
};

class OrderedMapModelTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(OrderedMapModelTest, RandomSequencesMatchTheModel) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  std::mt19937 random(20240607);
  auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  MapModel model(d.Order());
  Word m = d.New();

  // A second map whose iterators are handed to the first one now and then.
  Word other = d.New();
  for (int n = 0; n < 6; ++n) d.Set(other, d.Key(n), d.Value(n));

  const int kKeys = 60;
  auto randomKey = [&](ModelKey* key) {
    int n = static_cast<int>(below(kKeys));
    if (s.key == Kind::Integer) n = n * 7 - 200;
    bool upper = s.HasCaseModes() && below(3) == 0;
    *key = d.KeyOf(n, upper);
    return d.Key(n, upper);
  };

  std::vector<KeptIterator> kept;
  auto keep = [&](Word it, size_t index, bool foreign = false) {
    KeptIterator k{it, index < model.size() ? model.entries()[index].uid : 0, model.generation(),
                   foreign};
    if (kept.size() < 16)
      kept.push_back(k);
    else
      kept[below(kept.size())] = k;
  };
  // Where a kept iterator is: -1 gone, model.size() for the end position.
  auto indexOf = [&](const KeptIterator& k) -> int {
    if (k.uid == 0) return k.generation == model.generation() ? static_cast<int>(model.size()) : -1;
    return model.IndexOf(k.uid);
  };
  auto expectPosition = [&](Word it, size_t index) {
    if (index == model.size()) {
      ASSERT_TRUE(d.Equal(it, d.Last(m)));
    } else {
      ASSERT_EQ(d.ItKey(it), model.entries()[index].keyRef);
    }
  };
  auto takeStale = [&] {
    ASSERT_TRUE(TookException(host, "NilObjectException", "Iterator not initialized"));
  };
  auto takeRange = [&](int32_t index, size_t count) {
    std::string limit = std::to_string(static_cast<int>(count) - 1);
    std::string message = index < 0 ? "Parameter index  is too small. Range is 0 to " + limit +
                                          ", but value is " + std::to_string(index) + "."
                                    : "Parameter index  is too big. Range is 0 to " + limit +
                                          ", but value is " + std::to_string(index) + ".";
    ASSERT_TRUE(TookException(host, "OutOfBoundsException", message));
  };

  auto check = [&] {
    ASSERT_EQ(d.Int(m, "Count"), static_cast<int32_t>(model.size()));
    ASSERT_EQ(host.Get(m, "Empty").b(), model.size() == 0);
    const std::vector<Entry>& cache = model.Cache();
    std::vector<Word> keys = d.KeysArray(m), values = d.ValuesArray(m);
    ASSERT_EQ(keys.size(), cache.size());
    ASSERT_EQ(values.size(), cache.size());
    for (size_t i = 0; i < cache.size(); ++i) {
      ASSERT_EQ(keys[i], cache[i].keyRef) << "index " << i;
      ASSERT_EQ(values[i], cache[i].value) << "index " << i;
    }
    std::vector<Word> walked = d.Walk(m), back = d.WalkBack(m);
    ASSERT_EQ(walked.size(), model.size());
    ASSERT_EQ(walked, back);
    for (size_t i = 0; i < model.size(); ++i) {
      ASSERT_EQ(walked[i], model.entries()[i].keyRef) << "index " << i;
      ASSERT_EQ(d.Get(m, walked[i]), model.entries()[i].value) << "index " << i;
    }
  };

  const int kSteps = 1500;
  for (int step = 0; step < kSteps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    ModelKey key;
    Word k = randomKey(&key);
    switch (below(20)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4: {  // value(key) = v
        Word v = d.Value(step);
        d.Set(m, k, v);
        model.Set(key, k, v);
        break;
      }
      case 5: {  // Remove(key)
        size_t i = model.Find(key);
        model.DropCache();
        ASSERT_EQ(d.RemoveKey(m, k), i < model.size() ? 1 : 0);
        if (i < model.size()) model.Erase(i, i + 1);
        break;
      }
      case 6: {  // value(key), lookup, hasKey, CountKey
        size_t i = model.Find(key);
        bool present = i < model.size();
        Word fallback = d.Value(-1);
        ASSERT_EQ(d.Get(m, k), present ? model.entries()[i].value : 0u);
        if (!present) {
          ASSERT_TRUE(TookException(host, "KeyNotFoundException", "Key not found"));
        }
        ASSERT_EQ(d.Keep(s.value, d.Call(m, "lookup(key as {K}, defaultvalue as {V}) as {V}",
                                         {k, fallback})),
                  present ? model.entries()[i].value : fallback);
        ASSERT_EQ(d.Call(m, "hasKey(key as {K}) as boolean", {k}), present ? 1u : 0u);
        ASSERT_EQ(d.Call(m, "CountKey(key as {K}) as integer", {k}), present ? 1u : 0u);
        break;
      }
      case 7: {  // find, LowerBound, UpperBound, first, last: kept for later
        size_t which = below(5), index = 0;
        Word it = 0;
        switch (which) {
          case 0:
            it = d.Find(m, k);
            index = model.Find(key);
            break;
          case 1:
            it = d.LowerBound(m, k);
            index = model.LowerBound(key);
            break;
          case 2:
            it = d.UpperBound(m, k);
            index = model.UpperBound(key);
            break;
          case 3:
            it = d.First(m);
            index = 0;
            break;
          default:
            it = d.Last(m);
            index = model.size();
            break;
        }
        ASSERT_NO_FATAL_FAILURE(expectPosition(it, index));
        keep(it, index);
        break;
      }
      case 8:
      case 9: {  // MoveNext or MovePrev on a kept iterator, past the ends too
        if (kept.empty()) break;
        KeptIterator& t = kept[below(kept.size())];
        if (t.foreign) break;
        bool forward = below(2) == 0;
        int at = indexOf(t);
        if (forward)
          d.Next(t.it);
        else
          d.Prev(t.it);
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        size_t to = static_cast<size_t>(at);
        if (forward && to < model.size()) ++to;
        if (!forward && to > 0) --to;
        t.uid = to < model.size() ? model.entries()[to].uid : 0;
        ASSERT_NO_FATAL_FAILURE(expectPosition(t.it, to));
        break;
      }
      case 10: {  // Key, Value, Value = through a kept iterator
        if (kept.empty()) break;
        KeptIterator& t = kept[below(kept.size())];
        if (t.foreign) break;
        int at = indexOf(t);
        Word v = d.Value(step);
        bool setting = below(2) == 0;
        if (setting) {
          d.SetItValue(t.it, v);
        } else {
          bool entry = at >= 0 && static_cast<size_t>(at) < model.size();
          ASSERT_EQ(d.ItValue(t.it), entry ? model.entries()[at].value : 0u);
        }
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
        } else if (static_cast<size_t>(at) == model.size()) {
          ASSERT_TRUE(TookException(host, "KeyNotFoundException", "Key not found"));
        } else if (setting) {
          model.SetValueAt(at, v);
        }
        break;
      }
      case 11: {  // Remove(pos) with a kept iterator: stale, foreign, end or live
        if (kept.empty()) break;
        KeptIterator t = kept[below(kept.size())];
        int at = indexOf(t);
        d.RemoveAt(m, t.it);
        if (t.foreign) break;
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        model.DropCache();
        if (static_cast<size_t>(at) < model.size()) model.Erase(at, at + 1);
        break;
      }
      case 12:
      case 13: {  // Remove(first, last) with kept or nil iterators, in any order
        if (kept.empty()) break;
        std::optional<KeptIterator> a = kept[below(kept.size())], b = kept[below(kept.size())];
        if (below(10) == 0) a.reset();
        if (below(10) == 0) b.reset();
        d.RemoveRange(m, a ? a->it : 0, b ? b->it : 0);
        if (!a || !b) break;
        int from = indexOf(*a), to = indexOf(*b);
        if ((!a->foreign && from < 0) || (!b->foreign && to < 0)) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        if (a->foreign || b->foreign || to < from) break;
        model.DropCache();
        model.Erase(from, to);
        break;
      }
      case 14: {  // an iterator of the other map, kept among ours
        Word it = below(2) == 0 ? d.First(other) : d.Last(other);
        KeptIterator t{it, 0, 0, true};
        if (kept.size() < 16) kept.push_back(t);
        break;
      }
      case 15: {  // Key(index) and ValueAtIndex, in and out of range
        int32_t i = static_cast<int32_t>(below(model.size() + 4)) - 2;
        const std::vector<Entry>& cache = model.Cache();
        bool keyRead = below(2) == 0;
        Word got = keyRead
                       ? d.Keep(s.key, d.Call(m, "Key(index as integer) as {K}", {i}))
                       : d.Keep(s.value, d.Call(m, "ValueAtIndex(index as integer) as {V}", {i}));
        if (i < 0 || static_cast<size_t>(i) >= cache.size()) {
          ASSERT_EQ(got, 0u);
          ASSERT_NO_FATAL_FAILURE(takeRange(i, cache.size()));
        } else {
          ASSERT_EQ(got, keyRead ? cache[i].keyRef : cache[i].value);
        }
        break;
      }
      case 16:
        if (below(10) == 0) {
          d.Call(m, "Clear");
          model.Clear();
        } else if (below(10) == 0) {
          d.Construct(m);
          model.Reconstruct();
        }
        break;
      default:
        ASSERT_NO_FATAL_FAILURE(check());
        break;
    }
    ASSERT_FALSE(host.ExceptionPending());
  }
  ASSERT_NO_FATAL_FAILURE(check());
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedMapModelTest, ::testing::ValuesIn(AllOrderedMaps()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

}  // namespace
}  // namespace kdt_test
