// What the ordered sets do differently from the ordered maps, for every
// member: ascending order, insertion that keeps the element a set has, the
// array constructors, and a set that no constructor initialised.  Positions,
// bounds and the random model comparison run in the ordered map tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orderedmap/OrderedTestSupport.h"

namespace kdt_test {
namespace {

using standin::TestHost;

class OrderedSetTest : public ::testing::TestWithParam<MemberSpec> {};
class OrderedSetArrayTest : public ::testing::TestWithParam<MemberSpec> {};

TEST(OrderedSetExamples, AscendingOrderBoundsAndCaseFolding) {
  TestHost host;
  MemberSpec strings = OrderedSet("String", Kind::String, "string", true);
  OrderedDriver d(host, strings);
  Word set = d.New();
  for (const char* k : {"b", "a", "c"}) d.Put(set, MakeNamed(host, Kind::String, k));
  const std::vector<std::string> abc{"a", "b", "c"};
  EXPECT_EQ(d.Contents(Kind::String, d.KeysArray(set)), abc);
  EXPECT_EQ(d.Contents(Kind::String, d.KeysByIndex(set)), abc);
  EXPECT_EQ(d.Contents(Kind::String, d.Walk(set)), abc);
  auto at = [&](Word it) { return Content(host, Kind::String, d.ItKey(it)); };
  EXPECT_EQ(at(d.LowerBound(set, MakeNamed(host, Kind::String, "bb"))), "c");
  EXPECT_EQ(at(d.UpperBound(set, MakeNamed(host, Kind::String, "b"))), "c");
  EXPECT_TRUE(d.Equal(d.UpperBound(set, MakeNamed(host, Kind::String, "c")), d.Last(set)));

  MemberSpec integers = OrderedSet("Integer", Kind::Integer, "integer", true);
  OrderedDriver e(host, integers);
  Word numbers = e.New();
  for (int k : {3, -1, 2}) e.Put(numbers, static_cast<Word>(k));
  EXPECT_EQ(e.Contents(Kind::Integer, e.KeysArray(numbers)),
            (std::vector<std::string>{"-1", "2", "3"}));

  MemberSpec texts = OrderedSet("Text", Kind::Text, "Text", false);
  OrderedDriver t(host, texts);
  Word folded = t.New();
  t.Put(folded, MakeNamed(host, Kind::Text, "A"));
  t.Put(folded, MakeNamed(host, Kind::Text, "a"));
  EXPECT_EQ(t.Contents(Kind::Text, t.KeysArray(folded)), std::vector<std::string>{"A"});
}

TEST_P(OrderedSetTest, PropertiesAndInsertOfAPresentElement) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word set = d.New();
  EXPECT_EQ(d.Int(set, "MaxSize"), s.key == Kind::Integer ? 214748364 : 178956970);
  if (s.HasCaseModes()) {
    EXPECT_EQ(host.Get(set, "CaseSensitive").b(), s.caseSensitive);
  }
  Word first = d.Key(5);
  d.Put(set, first);
  Word cache = d.KeysObject(set);
  d.Put(set, d.Key(5));  // present already: the set keeps its own, and has changed
  EXPECT_NE(d.KeysObject(set), cache);
  EXPECT_EQ(d.KeysArray(set), std::vector<Word>{first});
}

// The array constructors build a case-sensitive set (their declarations give
// no mode), sorted and without duplicates.
TEST_P(OrderedSetArrayTest, ArrayConstructors) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  const std::string ctor = s.Decl("Constructor(Keys() as {K})");
  std::vector<Word> elements;
  for (int n : {5, 1, 9, 1, 3, 5}) elements.push_back(d.Key(n));
  std::vector<ModelKey> expected{d.KeyOf(1), d.KeyOf(3), d.KeyOf(5), d.KeyOf(9)};
  if (s.HasCaseModes()) {
    elements.push_back(d.Key(3, true));  // K3 beside k3
    expected.push_back(d.KeyOf(3, true));
  }
  REALarray array = host.NewArray(ArrayType(s.key), elements);
  host.ReleaseAtEnd(array);
  Word set = d.Raw();
  host.Call(set, ctor, {array});
  EXPECT_NO_RAISE(host);
  if (s.HasCaseModes()) {
    EXPECT_TRUE(host.Get(set, "CaseSensitive").b());
  }
  const Order order = d.order();
  std::sort(expected.begin(), expected.end(),
            [&](const ModelKey& a, const ModelKey& b) { return order.Before(a, b); });
  std::vector<std::string> names;
  for (const auto& k : expected) names.push_back(k.Text());
  std::vector<Word> held = d.KeysArray(set);
  EXPECT_EQ(d.Contents(s.key, held), names);
  EXPECT_NE(std::find(held.begin(), held.end(), elements[1]), held.end());  // the first 1

  // A nil array raises and leaves the set as it was; an empty one gives an
  // initialized, empty set.
  Word raw = d.Raw();
  for (Word target : {raw, set}) {
    host.Call(target, ctor, {nullptr});
    EXPECT_RAISES(host, "NilObjectException", "values array is nil");
  }
  EXPECT_EQ(d.Int(raw, "Count"), 0);
  EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  EXPECT_EQ(d.Int(set, "Count"), static_cast<int32_t>(names.size()));
  REALarray none = host.NewArray(ArrayType(s.key));
  host.ReleaseAtEnd(none);
  host.Call(raw, ctor, {none});
  EXPECT_EQ(d.Int(raw, "Count"), 0);
  EXPECT_NO_RAISE(host);
  if (s.key != Kind::Variant) return;

  // A Variant set made from Strings holds each as a Variant.
  std::vector<Word> strings;
  for (const char* t : {"b", "a", "b", "c"}) strings.push_back(MakeNamed(host, Kind::String, t));
  REALarray stringArray = host.NewArray(kdt::kArrayTypeString, strings);
  host.ReleaseAtEnd(stringArray);
  Word fromStrings = d.Raw();
  host.Call(fromStrings, "Constructor(Keys() as string)", {stringArray});
  std::vector<Word> variants = d.KeysArray(fromStrings);
  EXPECT_EQ(d.Contents(Kind::Variant, variants), (std::vector<std::string>{"a", "b", "c"}));
  for (Word v : variants) EXPECT_EQ(host.VarType(v), standin::kVarString);
  EXPECT_TRUE(host.Get(fromStrings, "CaseSensitive").b());
  host.Call(fromStrings, "Constructor(Keys() as string)", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "values array is nil");
}

TEST_P(OrderedSetTest, UninitializedSets) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word raw = d.Raw(), k = d.Key(1), other = d.New();
  d.Put(other, k);
  Word it = d.First(other);
  for (const char* property : {"MaxSize", "Count", "Empty"}) {
    EXPECT_EQ(host.Get(raw, property).word, 0u) << property;
    EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  }
  for (const char* call : {"first as {I}", "last as {I}", "Clear"}) {
    EXPECT_EQ(d.Call(raw, call), 0u) << call;
    EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  }
  for (const char* call :
       {"Remove(key as {K}) as integer", "CountKey(key as {K}) as integer",
        "find(key as {K}) as {I}", "lookup(key as {K}) as boolean", "insert(key as {K})",
        "LowerBound(key as {K}) as {I}", "UpperBound(key as {K}) as {I}"}) {
    EXPECT_EQ(d.Call(raw, call, {k}), 0u) << call;
    EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  }
  // Positions, indexes and arrays: nothing, silently.
  d.RemoveAt(raw, it);
  d.RemoveAt(raw, 0);
  d.RemoveRange(raw, it, it);
  EXPECT_EQ(d.Call(raw, "Keys as {K}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.Int(other, "Count"), 1);
}

std::vector<MemberSpec> CaseSensitiveSets() {
  std::vector<MemberSpec> out;
  for (const MemberSpec& s : AllOrderedSets())
    if (s.caseSensitive) out.push_back(s);
  return out;
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedSetTest, ::testing::ValuesIn(AllOrderedSets()),
                         MemberName);
INSTANTIATE_TEST_SUITE_P(Members, OrderedSetArrayTest, ::testing::ValuesIn(CaseSensitiveSets()),
                         MemberName);

}  // namespace
}  // namespace kdt_test
