// The ordered set classes as host programs use them, run for every member and
// both case modes through one set of test bodies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orderedset/OrderedSetTestSupport.h"

namespace kdt_test {
namespace {

using standin::TestHost;

class OrderedSetTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(OrderedSetTest, InsertKeepsElementsUniqueAndAscending) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  Word set = d.New();
  EXPECT_EQ(d.Int(set, "Count"), 0);
  EXPECT_TRUE(host.Get(set, "Empty").b());
  EXPECT_EQ(d.Int(set, "MaxSize"), s.key == Kind::Integer ? 214748364 : 178956970);
  if (s.HasCaseModes()) {
    EXPECT_EQ(host.Get(set, "CaseSensitive").b(), s.caseSensitive);
  }
  EXPECT_TRUE(d.Equal(d.First(set), d.Last(set)));

  std::vector<std::pair<ModelKey, Word>> expected;
  for (int n : {12, -3, 7, 0, 25, 3, -40, 19, 8, 100, 1}) {
    Word k = d.Key(n);
    d.Insert(set, k);
    expected.push_back({d.KeyOf(n), k});
  }
  SetOrder order = d.Order();
  std::sort(expected.begin(), expected.end(),
            [&](const auto& a, const auto& b) { return order.Before(a.first, b.first); });
  std::vector<Word> keys;
  for (const auto& e : expected) keys.push_back(e.second);

  // Inserting an equal element keeps the one the set has.
  d.Insert(set, d.Key(7));
  EXPECT_EQ(d.Int(set, "Count"), 11);
  EXPECT_FALSE(host.Get(set, "Empty").b());
  EXPECT_EQ(d.KeysArray(set), keys);
  EXPECT_EQ(d.KeysByIndex(set), keys);
  EXPECT_EQ(d.Walk(set), keys);
  EXPECT_EQ(d.WalkBack(set), keys);

  EXPECT_TRUE(d.Lookup(set, d.Key(25)));
  EXPECT_EQ(d.Call(set, "CountKey(key as {K}) as integer", {d.Key(25)}), 1u);
  EXPECT_FALSE(d.Lookup(set, d.Key(99)));
  EXPECT_EQ(d.Call(set, "CountKey(key as {K}) as integer", {d.Key(99)}), 0u);
  EXPECT_TRUE(d.Equal(d.Find(set, d.Key(99)), d.Last(set)));
  EXPECT_EQ(Content(host, s.key, d.ItKey(d.Find(set, d.Key(19)))),
            s.key == Kind::Integer ? "19" : "k19");

  EXPECT_EQ(d.RemoveKey(set, d.Key(12)), 1);
  EXPECT_EQ(d.RemoveKey(set, d.Key(12)), 0);
  EXPECT_EQ(d.Int(set, "Count"), 10);
  d.Call(set, "Clear");
  EXPECT_EQ(d.Int(set, "Count"), 0);
  EXPECT_EQ(d.KeysArray(set).size(), 0u);
}

TEST(OrderedSetExamples, AscendingOrderBoundsAndCaseFolding) {
  TestHost host;
  MemberSpec strings = OrderedSet("String", Kind::String, "string", true);
  OrderedSetDriver d(host, strings);
  Word set = d.New();
  for (const char* k : {"b", "a", "c"}) d.Insert(set, MakeNamed(host, Kind::String, k));
  const std::vector<std::string> abc{"a", "b", "c"};
  EXPECT_EQ(d.Contents(d.KeysArray(set)), abc);
  EXPECT_EQ(d.Contents(d.KeysByIndex(set)), abc);
  EXPECT_EQ(d.Contents(d.Walk(set)), abc);
  auto at = [&](Word it) { return Content(host, Kind::String, d.ItKey(it)); };
  EXPECT_EQ(at(d.LowerBound(set, MakeNamed(host, Kind::String, "bb"))), "c");
  EXPECT_EQ(at(d.UpperBound(set, MakeNamed(host, Kind::String, "b"))), "c");
  EXPECT_TRUE(d.Equal(d.UpperBound(set, MakeNamed(host, Kind::String, "c")), d.Last(set)));

  MemberSpec integers = OrderedSet("Integer", Kind::Integer, "integer", true);
  OrderedSetDriver e(host, integers);
  Word numbers = e.New();
  for (int k : {3, -1, 2}) e.Insert(numbers, static_cast<Word>(k));
  EXPECT_EQ(e.Contents(e.KeysArray(numbers)), (std::vector<std::string>{"-1", "2", "3"}));

  MemberSpec texts = OrderedSet("Text", Kind::Text, "Text", false);
  OrderedSetDriver t(host, texts);
  Word folded = t.New();
  t.Insert(folded, MakeNamed(host, Kind::Text, "A"));
  t.Insert(folded, MakeNamed(host, Kind::Text, "a"));
  EXPECT_EQ(t.Contents(t.KeysArray(folded)), std::vector<std::string>{"A"});
}

TEST_P(OrderedSetTest, BoundsFollowTheSetOrder) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  Word set = d.New();
  std::vector<ModelKey> present;
  for (int n = 10; n <= 50; n += 10) {
    d.Insert(set, d.Key(n));
    present.push_back(d.KeyOf(n));
  }
  SetOrder order = d.Order();
  std::sort(present.begin(), present.end(),
            [&](const ModelKey& a, const ModelKey& b) { return order.Before(a, b); });
  auto name = [](const ModelKey& k) { return k.name.empty() ? std::to_string(k.number) : k.name; };
  for (int probe = 5; probe <= 55; probe += 5) {
    for (bool upper : {false, true}) {
      if (upper && !s.HasCaseModes()) continue;
      SCOPED_TRACE("probe " + std::to_string(probe) + (upper ? " upper" : ""));
      ModelKey key = d.KeyOf(probe, upper);
      Word k = d.Key(probe, upper);
      auto lower = std::find_if(present.begin(), present.end(),
                                [&](const ModelKey& e) { return !order.Before(e, key); });
      auto above = std::find_if(present.begin(), present.end(),
                                [&](const ModelKey& e) { return order.Before(key, e); });
      Word lb = d.LowerBound(set, k), ub = d.UpperBound(set, k);
      if (lower == present.end()) {
        EXPECT_TRUE(d.Equal(lb, d.Last(set)));
      } else {
        EXPECT_EQ(Content(host, s.key, d.ItKey(lb)), name(*lower));
      }
      if (above == present.end()) {
        EXPECT_TRUE(d.Equal(ub, d.Last(set)));
      } else {
        EXPECT_EQ(Content(host, s.key, d.ItKey(ub)), name(*above));
      }
    }
  }
}

// The array constructors build a case-sensitive set (their declarations
// carry no mode), sorted and without duplicates.
// One instance per member: the array constructors take no case mode.
class OrderedSetArrayTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(OrderedSetArrayTest, ArrayConstructors) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  const std::string ctor = s.Decl("Constructor(Keys() as {K})");

  std::vector<Word> elements;
  for (int n : {5, 1, 9, 1, 3, 5}) elements.push_back(d.Key(n));
  if (s.HasCaseModes()) elements.push_back(d.Key(3, true));  // K3 beside k3
  REALarray array = host.NewArray(ArrayType(s.key), elements);
  host.ReleaseAtEnd(array);
  Word set = d.Raw();
  host.Call(set, ctor, {array});
  EXPECT_NO_RAISE(host);
  std::vector<ModelKey> expected;
  for (int n : {1, 3, 5, 9}) expected.push_back(d.KeyOf(n));
  if (s.HasCaseModes()) {
    expected.push_back(d.KeyOf(3, true));
    EXPECT_TRUE(host.Get(set, "CaseSensitive").b());
  }
  SetOrder order = d.Order();
  std::sort(expected.begin(), expected.end(),
            [&](const ModelKey& a, const ModelKey& b) { return order.Before(a, b); });
  std::vector<std::string> names;
  for (const auto& k : expected)
    names.push_back(k.name.empty() ? std::to_string(k.number) : k.name);
  EXPECT_EQ(d.Contents(d.KeysArray(set)), names);
  size_t one =
      std::find(names.begin(), names.end(), s.key == Kind::Integer ? "1" : "k1") - names.begin();
  ASSERT_LT(one, names.size());
  EXPECT_EQ(d.KeysArray(set)[one], elements[1]);  // the first of the two 1s

  // A nil array: "values array is nil", and the set is left as it was.
  Word raw = d.Raw();
  host.Call(raw, ctor, {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "values array is nil");
  EXPECT_EQ(d.Int(raw, "Count"), 0);
  EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  host.Call(set, ctor, {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "values array is nil");
  EXPECT_EQ(d.Int(set, "Count"), static_cast<int32_t>(names.size()));

  // An empty array gives an initialized, empty set.
  REALarray none = host.NewArray(ArrayType(s.key));
  host.ReleaseAtEnd(none);
  host.Call(raw, ctor, {none});
  EXPECT_EQ(d.Int(raw, "Count"), 0);
  EXPECT_NO_RAISE(host);

  if (s.key != Kind::Variant) return;
  // A Variant set made from Strings holds them as Variants.
  std::vector<Word> strings;
  for (const char* t : {"b", "a", "b", "c"}) strings.push_back(MakeNamed(host, Kind::String, t));
  REALarray stringArray = host.NewArray(kdt::kArrayTypeString, strings);
  host.ReleaseAtEnd(stringArray);
  Word fromStrings = d.Raw();
  host.Call(fromStrings, "Constructor(Keys() as string)", {stringArray});
  std::vector<Word> held = d.KeysArray(fromStrings);
  EXPECT_EQ(d.Contents(held), (std::vector<std::string>{"a", "b", "c"}));
  for (Word v : held) EXPECT_EQ(host.VarType(v), standin::kVarString);
  EXPECT_TRUE(host.Get(fromStrings, "CaseSensitive").b());
  host.Call(fromStrings, "Constructor(Keys() as string)", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "values array is nil");
}

TEST_P(OrderedSetTest, UninitializedSets) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  Word raw = d.Raw();
  Word k = d.Key(1);
  Word other = d.New();
  d.Insert(other, k);
  Word it = d.First(other);

  for (const char* property : {"MaxSize", "Count", "Empty"}) {
    EXPECT_EQ(host.Get(raw, property).word, 0u) << property;
    EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  }
  for (const char* call : {"first as {I}", "last as {I}"}) {
    EXPECT_EQ(d.Call(raw, call), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  }
  d.Call(raw, "Clear");
  EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  for (const char* call : {"Remove(key as {K}) as integer", "CountKey(key as {K}) as integer",
                           "find(key as {K}) as {I}", "lookup(key as {K}) as boolean",
                           "LowerBound(key as {K}) as {I}", "UpperBound(key as {K}) as {I}"}) {
    EXPECT_EQ(d.Call(raw, call, {k}), 0u) << call;
    EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  }
  d.Insert(raw, k);
  EXPECT_RAISES(host, "NilObjectException", "Set not initialized");

  // Positions, indexes and arrays on a set without a tree: nothing, silently.
  d.RemoveAt(raw, it);
  d.RemoveAt(raw, 0);
  d.RemoveRange(raw, it, it);
  d.RemoveRange(raw, 0, 0);
  EXPECT_EQ(d.Call(raw, "Keys as {K}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.Int(other, "Count"), 1);
}

TEST_P(OrderedSetTest, IteratorsStepAndCompare) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  Word set = d.New();
  Word end = d.Last(set);
  d.Prev(end);  // an empty set: nowhere to go
  d.Next(end);
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(end, d.First(set)));

  for (int n = 1; n <= 4; ++n) d.Insert(set, d.Key(n));
  std::vector<Word> keys = d.KeysByIndex(set);
  Word it = d.Last(set);
  EXPECT_EQ(d.ItKey(it), 0u);
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[3]);
  d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[2]);
  for (int i = 0; i < 5; ++i) d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[0]);
  for (int i = 0; i < 7; ++i) d.Next(it);
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(it, d.Last(set)));

  // An iterator no set filled in: steps do nothing, Key and comparisons raise.
  Word raw = d.KeepObject(standin::W(host.NewInstance(s.iteratorName)));
  d.Next(raw);
  d.Prev(raw);
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.ItKey(raw), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_FALSE(d.Equal(raw, it));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(d.NotEqual(raw, it));
  EXPECT_RAISES(host, "NilObjectException", "Iterator is nil");
  EXPECT_FALSE(d.Equal(it, 0));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(d.NotEqual(it, 0));
  EXPECT_RAISES(host, "NilObjectException", "Iterator is nil");
  EXPECT_TRUE(d.NotEqual(it, raw));
}

TEST_P(OrderedSetTest, ArrayCacheAndRemoval) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  Word set = d.New();
  EXPECT_EQ(d.Call(set, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to -1, but value is 0.");
  for (int n = 0; n < 30; ++n) d.Insert(set, d.Key(n));
  Word a1 = d.KeepObject(d.Call(set, "Keys as {K}()"));
  EXPECT_EQ(d.KeepObject(d.Call(set, "Keys as {K}()")), a1);
  EXPECT_EQ(d.Call(set, "Key(index as integer) as {K}", {-1}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too small. Range is 0 to 29, but value is -1.");
  d.Insert(set, d.Key(3));  // present already, and still a change
  Word a2 = d.KeepObject(d.Call(set, "Keys as {K}()"));
  EXPECT_NE(a2, a1);
  EXPECT_EQ(d.RemoveKey(set, d.Key(77)), 0);
  Word a3 = d.KeepObject(d.Call(set, "Keys as {K}()"));
  EXPECT_NE(a3, a2);

  std::vector<Word> expected = d.KeysByIndex(set);
  d.RemoveAt(set, d.Find(set, expected[10]));
  expected.erase(expected.begin() + 10);
  d.RemoveAt(set, d.Last(set));
  d.RemoveAt(set, 0);
  EXPECT_EQ(d.KeysByIndex(set), expected);
  d.RemoveRange(set, d.Find(set, expected[3]), d.Find(set, expected[20]));
  expected.erase(expected.begin() + 3, expected.begin() + 20);
  EXPECT_EQ(d.KeysByIndex(set), expected);
  Word a4 = d.KeepObject(d.Call(set, "Keys as {K}()"));
  d.RemoveRange(set, d.Find(set, expected[5]), d.Find(set, expected[1]));
  d.RemoveRange(set, d.Last(set), d.First(set));
  d.RemoveRange(set, d.First(set), 0);
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.KeepObject(d.Call(set, "Keys as {K}()")), a4);  // nothing was accepted
  d.RemoveRange(set, d.Find(set, expected[8]), d.Last(set));
  expected.resize(8);
  EXPECT_EQ(d.KeysByIndex(set), expected);
  d.RemoveRange(set, d.First(set), d.Last(set));
  EXPECT_EQ(d.Int(set, "Count"), 0);
}

TEST_P(OrderedSetTest, StaleAndForeignIteratorsAreSafe) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedSetDriver d(host, s);
  Word set = d.New();
  for (int n = 0; n < 8; ++n) d.Insert(set, d.Key(n));
  auto expectGone = [&](Word it, const char* what) {
    SCOPED_TRACE(what);
    for (const char* step : {"MoveNext", "MovePrev"}) {
      host.Call(it, step);
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
    EXPECT_EQ(d.ItKey(it), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    EXPECT_TRUE(d.Equal(it, it));
    EXPECT_FALSE(d.Equal(it, d.First(set)));
    d.RemoveAt(set, it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    d.RemoveRange(set, d.First(set), it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  };

  Word removed = d.Find(set, d.Key(2));
  d.RemoveAt(set, removed);
  expectGone(removed, "removed");
  d.Insert(set, d.Key(2));
  expectGone(removed, "removed, element back");
  Word byKey = d.Find(set, d.Key(3));
  d.RemoveKey(set, d.Key(3));
  expectGone(byKey, "byKey");
  Word cleared = d.Find(set, d.Key(4));
  d.Call(set, "Clear");
  expectGone(cleared, "cleared");
  for (int n = 0; n < 8; ++n) d.Insert(set, d.Key(n));
  Word beforeRebuild = d.Find(set, d.Key(5));
  d.Construct(set);
  expectGone(beforeRebuild, "beforeRebuild");
  EXPECT_EQ(d.Int(set, "Count"), 0);

  for (int n = 0; n < 3; ++n) d.Insert(set, d.Key(n));
  std::vector<Word> others{d.New()};
  if (s.HasCaseModes()) {
    MemberSpec flipped = s;
    flipped.caseSensitive = !s.caseSensitive;
    others.push_back(OrderedSetDriver(host, flipped).New());
  }
  for (Word other : others) {
    for (int n = 0; n < 4; ++n) d.Insert(other, d.Key(n));
    d.RemoveAt(set, d.Find(other, d.Key(1)));
    d.RemoveRange(set, d.First(other), d.Last(other));
    d.RemoveRange(set, d.First(set), d.Last(other));
    EXPECT_NO_RAISE(host);
    EXPECT_EQ(d.Int(set, "Count"), 3);
    EXPECT_EQ(d.Int(other, "Count"), 4);
    EXPECT_FALSE(d.Equal(d.Last(set), d.Last(other)));
  }

  Word doomed = standin::W(host.NewInstance(s.className));
  d.Construct(doomed);
  d.Insert(doomed, d.Key(1));
  Word orphan = d.Find(doomed, d.Key(1));
  Word orphanEnd = d.Last(doomed);
  host.Release(doomed);
  expectGone(orphan, "orphan");
  d.Prev(orphanEnd);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(d.Int(set, "Count"), 3);
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedSetTest, ::testing::ValuesIn(AllOrderedSets()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

std::vector<MemberSpec> CaseSensitiveSets() {
  std::vector<MemberSpec> out;
  for (const MemberSpec& s : AllOrderedSets())
    if (s.caseSensitive) out.push_back(s);
  return out;
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedSetArrayTest, ::testing::ValuesIn(CaseSensitiveSets()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

}  // namespace
}  // namespace kdt_test
