// Long random call sequences against every ordered map and set member,
// misuse included, compared step by step with a plain model: a vector of
// entries kept in the container's order, the array cache as a snapshot, and
// kept iterators as the entry (or end) they designate.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "orderedmap/OrderedTestSupport.h"

namespace kdt_test {
namespace {

using standin::TestHost;
using standin::TookException;

struct Entry {
  ModelKey key;
  Word keyRef;  // the key reference first stored (Integer: the number)
  Word value;   // maps only
  int uid;      // which insertion made the entry
};

// An iterator the program keeps: uid 0 is the end position of the container
// as it was in `generation` (a constructor run again starts a new one).
struct Kept {
  Word it;
  int uid;
  int generation;
  bool foreign;  // made by another container
};

class OrderedModelTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(OrderedModelTest, RandomSequencesMatchTheModel) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  std::mt19937 random(20240607);
  auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const Order order = d.order();
  Word c = d.New();
  Word other = d.New();
  for (int n = 0; n < 6; ++n) d.Put(other, d.Key(n), d.Value(n));

  std::vector<Entry> model;
  std::optional<std::vector<Entry>> cache;
  int nextUid = 1, generation = 0;
  auto lowerBound = [&](const ModelKey& k) {
    size_t i = 0;
    while (i < model.size() && order.Before(model[i].key, k)) ++i;
    return i;
  };
  auto upperBound = [&](const ModelKey& k) {
    size_t i = lowerBound(k);
    while (i < model.size() && !order.Before(k, model[i].key)) ++i;
    return i;
  };
  auto find = [&](const ModelKey& k) {
    size_t i = lowerBound(k);
    return i < model.size() && order.Same(model[i].key, k) ? i : model.size();
  };
  auto cached = [&]() -> const std::vector<Entry>& {
    if (!cache) cache = model;
    return *cache;
  };

  std::vector<Kept> kept;
  auto keep = [&](const Kept& k) {
    if (kept.size() < 16)
      kept.push_back(k);
    else
      kept[below(kept.size())] = k;
  };
  // Where a kept iterator is: -1 gone, model.size() the end position.
  auto indexOf = [&](const Kept& k) -> int {
    if (k.uid == 0) return k.generation == generation ? static_cast<int>(model.size()) : -1;
    for (size_t i = 0; i < model.size(); ++i)
      if (model[i].uid == k.uid) return static_cast<int>(i);
    return -1;
  };
  auto expectAt = [&](Word it, size_t index) {
    if (index == model.size()) {
      ASSERT_TRUE(d.Equal(it, d.Last(c)));
    } else {
      ASSERT_EQ(d.ItKey(it), model[index].keyRef);
    }
  };
  auto takeStale = [&] {
    ASSERT_TRUE(TookException(host, "NilObjectException", "Iterator not initialized"));
  };
  auto check = [&] {
    ASSERT_EQ(d.Int(c, "Count"), static_cast<int32_t>(model.size()));
    ASSERT_EQ(host.Get(c, "Empty").b(), model.empty());
    const std::vector<Entry>& snapshot = cached();
    std::vector<Word> keys = d.KeysArray(c);
    std::vector<Word> values = d.isSet ? keys : d.ValuesArray(c);
    ASSERT_EQ(keys.size(), snapshot.size());
    for (size_t i = 0; i < snapshot.size(); ++i) {
      ASSERT_EQ(keys[i], snapshot[i].keyRef) << "index " << i;
      if (!d.isSet) {
        ASSERT_EQ(values[i], snapshot[i].value) << "index " << i;
      }
    }
    std::vector<Word> walked = d.Walk(c);
    ASSERT_EQ(walked, d.WalkBack(c));
    ASSERT_EQ(walked.size(), model.size());
    for (size_t i = 0; i < model.size(); ++i) {
      ASSERT_EQ(walked[i], model[i].keyRef) << "index " << i;
      if (!d.isSet) {
        ASSERT_EQ(d.Get(c, walked[i]), model[i].value) << "index " << i;
      }
    }
  };

  for (int step = 0; step < 1500; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    int n = static_cast<int>(below(60));
    if (s.key == Kind::Integer) n = n * 7 - 200;  // negative keys too
    bool upper = s.HasCaseModes() && below(3) == 0;
    ModelKey key = d.KeyOf(n, upper);
    Word k = d.Key(n, upper);
    switch (below(20)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4: {  // value(key) = v (the first key stays), or insert (the first element stays)
        Word v = d.isSet ? 0 : d.Value(step);
        d.Put(c, k, v);
        cache.reset();
        size_t i = lowerBound(key);
        if (i < model.size() && order.Same(model[i].key, key))
          model[i].value = v;
        else
          model.insert(model.begin() + i, Entry{key, k, v, nextUid++});
        break;
      }
      case 5: {  // Remove(key): a change even when absent
        size_t i = find(key);
        cache.reset();
        ASSERT_EQ(d.RemoveKey(c, k), i < model.size() ? 1 : 0);
        if (i < model.size()) model.erase(model.begin() + i);
        break;
      }
      case 6: {  // keyed reads
        size_t i = find(key);
        bool present = i < model.size();
        ASSERT_EQ(d.Call(c, "CountKey(key as {K}) as integer", {k}), present ? 1u : 0u);
        if (d.isSet) {
          ASSERT_EQ(d.Call(c, "lookup(key as {K}) as boolean", {k}), present ? 1u : 0u);
          break;
        }
        ASSERT_EQ(d.Call(c, "hasKey(key as {K}) as boolean", {k}), present ? 1u : 0u);
        Word fallback = d.Value(-1);
        ASSERT_EQ(d.Keep(s.value, d.Call(c, "lookup(key as {K}, defaultvalue as {V}) as {V}",
                                         {k, fallback})),
                  present ? model[i].value : fallback);
        ASSERT_EQ(d.Get(c, k), present ? model[i].value : 0u);
        if (!present) {
          ASSERT_TRUE(TookException(host, "KeyNotFoundException", "Key not found"));
        }
        break;
      }
      case 7: {  // find, LowerBound, UpperBound, first, last; kept for later
        size_t which = below(5), index = model.size();
        Word it;
        if (which == 0) {
          it = d.Find(c, k);
          index = find(key);
        } else if (which == 1) {
          it = d.LowerBound(c, k);
          index = lowerBound(key);
        } else if (which == 2) {
          it = d.UpperBound(c, k);
          index = upperBound(key);
        } else if (which == 3) {
          it = d.First(c);
          index = 0;
        } else {
          it = d.Last(c);
        }
        ASSERT_NO_FATAL_FAILURE(expectAt(it, index));
        keep(Kept{it, index < model.size() ? model[index].uid : 0, generation, false});
        break;
      }
      case 8:
      case 9: {  // MoveNext or MovePrev on a kept iterator, past the ends too
        if (kept.empty()) break;
        Kept& t = kept[below(kept.size())];
        if (t.foreign) break;
        bool forward = below(2) == 0;
        int at = indexOf(t);
        forward ? d.Next(t.it) : d.Prev(t.it);
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        size_t to = static_cast<size_t>(at);
        if (forward && to < model.size()) ++to;
        if (!forward && to > 0) --to;
        t.uid = to < model.size() ? model[to].uid : 0;
        ASSERT_NO_FATAL_FAILURE(expectAt(t.it, to));
        break;
      }
      case 10: {  // Key, Value, Value = through a kept iterator
        if (kept.empty()) break;
        Kept& t = kept[below(kept.size())];
        if (t.foreign) break;
        int at = indexOf(t);
        bool entry = at >= 0 && static_cast<size_t>(at) < model.size();
        Word v = d.Value(step);
        size_t what = d.isSet ? 0 : below(3);
        if (what == 0) {
          ASSERT_EQ(d.ItKey(t.it), entry ? model[at].keyRef : 0u);
        } else if (what == 1) {
          ASSERT_EQ(d.ItValue(t.it), entry ? model[at].value : 0u);
        } else {
          d.SetItValue(t.it, v);  // reaches the entry, not the cache
          if (entry) model[at].value = v;
        }
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
        } else if (!entry) {
          ASSERT_TRUE(TookException(host, "KeyNotFoundException", "Key not found"));
        }
        break;
      }
      case 11: {  // Remove(pos): stale, foreign, end or live
        if (kept.empty()) break;
        Kept t = kept[below(kept.size())];
        int at = indexOf(t);
        d.RemoveAt(c, t.it);
        if (t.foreign) break;
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        cache.reset();
        if (static_cast<size_t>(at) < model.size()) model.erase(model.begin() + at);
        break;
      }
      case 12:
      case 13: {  // Remove(first, last) in either order, nil ends now and then
        if (kept.empty()) break;
        std::optional<Kept> a = kept[below(kept.size())], b = kept[below(kept.size())];
        if (below(10) == 0) a.reset();
        if (below(10) == 0) b.reset();
        d.RemoveRange(c, a ? a->it : 0, b ? b->it : 0);
        if (!a || !b) break;
        int from = indexOf(*a), to = indexOf(*b);
        if ((!a->foreign && from < 0) || (!b->foreign && to < 0)) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        if (a->foreign || b->foreign || to < from) break;
        cache.reset();
        model.erase(model.begin() + from, model.begin() + to);
        break;
      }
      case 14:  // an iterator of the other container among ours
        keep(Kept{below(2) == 0 ? d.First(other) : d.Last(other), 0, 0, true});
        break;
      case 15: {  // Key(index) or ValueAtIndex, in and out of range
        int32_t i = static_cast<int32_t>(below(model.size() + 4)) - 2;
        const std::vector<Entry>& snapshot = cached();
        bool ofKeys = d.isSet || below(2) == 0;
        Word got = ofKeys
                       ? d.Keep(s.key, d.Call(c, "Key(index as integer) as {K}", {i}))
                       : d.Keep(s.value, d.Call(c, "ValueAtIndex(index as integer) as {V}", {i}));
        if (i >= 0 && static_cast<size_t>(i) < snapshot.size()) {
          ASSERT_EQ(got, ofKeys ? snapshot[i].keyRef : snapshot[i].value);
          break;
        }
        ASSERT_EQ(got, 0u);
        ASSERT_TRUE(TookException(host, "OutOfBoundsException",
                                  std::string("Parameter index  is too ") +
                                      (i < 0 ? "small" : "big") + ". Range is 0 to " +
                                      std::to_string(static_cast<int>(snapshot.size()) - 1) +
                                      ", but value is " + std::to_string(i) + "."));
        break;
      }
      case 16:
        if (below(8) == 0) {
          d.Call(c, "Clear");
          model.clear();
          cache.reset();
        } else if (below(8) == 0) {
          d.Construct(c);
          model.clear();
          cache.reset();
          ++generation;
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

INSTANTIATE_TEST_SUITE_P(Members, OrderedModelTest, ::testing::ValuesIn(AllOrdered()), MemberName);

}  // namespace
}  // namespace kdt_test
