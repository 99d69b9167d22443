// Long random call sequences against every ordered set member, misuse
// included, compared step by step with a plain model: a sorted vector of
// elements, the array cache as a snapshot, iterators as the element (or end)
// they designate.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "orderedset/OrderedSetTestSupport.h"

namespace kdt_test {
namespace {

using standin::TestHost;
using standin::TookException;

struct Element {
  ModelKey key;
  Word ref;  // the element reference first inserted (Integer: the number)
  int uid;
};

struct Kept {
  Word it;
  int uid;  // 0: the end position
  int generation;
  bool foreign;
};

class OrderedSetModelTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(OrderedSetModelTest, RandomSequencesMatchTheModel) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  std::mt19937 random(987654);
  auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  SetOrder order = d.Order();
  Word set = d.New();
  Word other = d.New();
  for (int n = 0; n < 5; ++n) d.Insert(other, d.Key(n));

  std::vector<Element> model;
  std::optional<std::vector<Element>> cache;
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
  auto cached = [&]() -> const std::vector<Element>& {
    if (!cache) cache = model;
    return *cache;
  };

  std::vector<Kept> kept;
  auto keep = [&](Word it, size_t index) {
    Kept k{it, index < model.size() ? model[index].uid : 0, generation, false};
    if (kept.size() < 16)
      kept.push_back(k);
    else
      kept[below(kept.size())] = k;
  };
  auto indexOf = [&](const Kept& k) -> int {
    if (k.uid == 0) return k.generation == generation ? static_cast<int>(model.size()) : -1;
    for (size_t i = 0; i < model.size(); ++i)
      if (model[i].uid == k.uid) return static_cast<int>(i);
    return -1;
  };
  auto expectAt = [&](Word it, size_t index) {
    if (index == model.size()) {
      ASSERT_TRUE(d.Equal(it, d.Last(set)));
    } else {
      ASSERT_EQ(d.ItKey(it), model[index].ref);
    }
  };
  auto takeStale = [&] {
    ASSERT_TRUE(TookException(host, "NilObjectException", "Iterator not initialized"));
  };
  auto check = [&] {
    ASSERT_EQ(d.Int(set, "Count"), static_cast<int32_t>(model.size()));
    const std::vector<Element>& c = cached();
    std::vector<Word> keys = d.KeysArray(set);
    ASSERT_EQ(keys.size(), c.size());
    for (size_t i = 0; i < c.size(); ++i) ASSERT_EQ(keys[i], c[i].ref) << "index " << i;
    std::vector<Word> walked = d.Walk(set);
    ASSERT_EQ(walked, d.WalkBack(set));
    ASSERT_EQ(walked.size(), model.size());
    for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(walked[i], model[i].ref) << "index " << i;
  };

  for (int step = 0; step < 1500; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    int n = static_cast<int>(below(60));
    if (s.key == Kind::Integer) n = n * 7 - 200;
    bool upper = s.HasCaseModes() && below(3) == 0;
    ModelKey key = d.KeyOf(n, upper);
    Word k = d.Key(n, upper);
    switch (below(18)) {
      case 0:
      case 1:
      case 2:
      case 3: {  // insert: an equal element stays as it is
        d.Insert(set, k);
        cache.reset();
        size_t i = lowerBound(key);
        if (i == model.size() || !order.Same(model[i].key, key))
          model.insert(model.begin() + i, Element{key, k, nextUid++});
        break;
      }
      case 4: {  // Remove(key)
        size_t i = find(key);
        cache.reset();
        ASSERT_EQ(d.RemoveKey(set, k), i < model.size() ? 1 : 0);
        if (i < model.size()) model.erase(model.begin() + i);
        break;
      }
      case 5: {  // lookup, CountKey
        bool present = find(key) < model.size();
        ASSERT_EQ(d.Lookup(set, k), present);
        ASSERT_EQ(d.Call(set, "CountKey(key as {K}) as integer", {k}), present ? 1u : 0u);
        break;
      }
      case 6: {  // find, LowerBound, UpperBound, first, last
        size_t which = below(5), index;
        Word it;
        if (which == 0) {
          it = d.Find(set, k);
          index = find(key);
        } else if (which == 1) {
          it = d.LowerBound(set, k);
          index = lowerBound(key);
        } else if (which == 2) {
          it = d.UpperBound(set, k);
          index = upperBound(key);
        } else if (which == 3) {
          it = d.First(set);
          index = 0;
        } else {
          it = d.Last(set);
          index = model.size();
        }
        ASSERT_NO_FATAL_FAILURE(expectAt(it, index));
        keep(it, index);
        break;
      }
      case 7:
      case 8: {  // MoveNext, MovePrev
        if (kept.empty()) break;
        Kept& t = kept[below(kept.size())];
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
        t.uid = to < model.size() ? model[to].uid : 0;
        ASSERT_NO_FATAL_FAILURE(expectAt(t.it, to));
        break;
      }
      case 9: {  // Key of a kept iterator
        if (kept.empty()) break;
        Kept& t = kept[below(kept.size())];
        if (t.foreign) break;
        int at = indexOf(t);
        Word got = d.ItKey(t.it);
        if (at < 0) {
          ASSERT_EQ(got, 0u);
          ASSERT_NO_FATAL_FAILURE(takeStale());
        } else if (static_cast<size_t>(at) == model.size()) {
          ASSERT_EQ(got, 0u);
          ASSERT_TRUE(TookException(host, "KeyNotFoundException", "Key not found"));
        } else {
          ASSERT_EQ(got, model[at].ref);
        }
        break;
      }
      case 10: {  // Remove(pos)
        if (kept.empty()) break;
        Kept t = kept[below(kept.size())];
        int at = indexOf(t);
        d.RemoveAt(set, t.it);
        if (t.foreign) break;
        if (at < 0) {
          ASSERT_NO_FATAL_FAILURE(takeStale());
          break;
        }
        cache.reset();
        if (static_cast<size_t>(at) < model.size()) model.erase(model.begin() + at);
        break;
      }
      case 11:
      case 12: {  // Remove(first, last), any order, nil ends now and then
        if (kept.empty()) break;
        std::optional<Kept> a = kept[below(kept.size())], b = kept[below(kept.size())];
        if (below(10) == 0) a.reset();
        if (below(10) == 0) b.reset();
        d.RemoveRange(set, a ? a->it : 0, b ? b->it : 0);
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
      case 13:
        if (kept.size() < 16)
          kept.push_back(Kept{below(2) == 0 ? d.First(other) : d.Last(other), 0, 0, true});
        break;
      case 14: {  // Key(index), in and out of range
        int32_t i = static_cast<int32_t>(below(model.size() + 4)) - 2;
        const std::vector<Element>& c = cached();
        Word got = d.Keep(s.key, d.Call(set, "Key(index as integer) as {K}", {i}));
        if (i >= 0 && static_cast<size_t>(i) < c.size()) {
          ASSERT_EQ(got, c[i].ref);
          break;
        }
        ASSERT_EQ(got, 0u);
        std::string limit = std::to_string(static_cast<int>(c.size()) - 1);
        ASSERT_TRUE(TookException(host, "OutOfBoundsException",
                                  std::string("Parameter index  is too ") +
                                      (i < 0 ? "small" : "big") + ". Range is 0 to " + limit +
                                      ", but value is " + std::to_string(i) + "."));
        break;
      }
      case 15:
        if (below(10) == 0) {
          d.Call(set, "Clear");
          model.clear();
          cache.reset();
        } else if (below(10) == 0) {
          d.Construct(set);
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

INSTANTIATE_TEST_SUITE_P(Members, OrderedSetModelTest, ::testing::ValuesIn(AllOrderedSets()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

}  // namespace
}  // namespace kdt_test
