// The ordered map classes as host programs use them, for every member and
// both case modes; the tests of positions run on the ordered sets as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "orderedmap/OrderedMapWalk.h"
#include "orderedmap/OrderedTestSupport.h"

namespace kdt_test {
namespace {

using standin::TestHost;

class OrderedMapTest : public ::testing::TestWithParam<MemberSpec> {};
class OrderedPositionTest : public ::testing::TestWithParam<MemberSpec> {};

// Keyed access, order, the cache contents and the iterators are compared with
// a model in OrderedModelTest; here what that comparison does not look at.
TEST_P(OrderedMapTest, PropertiesAndDictionaryOrder) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word m = d.New();
  EXPECT_TRUE(host.Get(m, "Empty").b());
  EXPECT_EQ(d.Int(m, "MaxSize"), s.key != Kind::Integer     ? 134217727
                                 : s.value == Kind::Integer ? 178956970
                                                            : 153391689);
  if (s.HasCaseModes()) {
    EXPECT_EQ(host.Get(m, "CaseSensitive").b(), s.caseSensitive);
  }
  for (int n : {12, -3, 7, 0, 25, 3}) d.Put(m, d.Key(n), d.Value(n));
  std::vector<Word> keys = d.KeysArray(m), values = d.ValuesArray(m);
  Word dict = d.KeepObject(d.Call(m, "CloneDictionary as Dictionary"));
  auto entries = host.DictionaryEntries(reinterpret_cast<REALobject>(dict));
  ASSERT_EQ(entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(Content(host, Kind::Variant, entries[i].first), Content(host, s.key, keys[i]));
    EXPECT_EQ(Content(host, Kind::Variant, entries[i].second), Content(host, s.value, values[i]));
  }
}

TEST(OrderedMapExamples, StringKeysDescendIntegerKeysAscend) {
  TestHost host;
  MemberSpec strings =
      OrderedMap("StringToString", Kind::String, Kind::String, "string", "string", true);
  OrderedDriver d(host, strings);
  Word m = d.New();
  for (const char* k : {"b", "a", "c"}) d.Put(m, MakeNamed(host, Kind::String, k), d.Value(1));
  const std::vector<std::string> cba{"c", "b", "a"};
  EXPECT_EQ(d.Contents(Kind::String, d.KeysArray(m)), cba);
  EXPECT_EQ(d.Contents(Kind::String, d.Walk(m)), cba);
  auto at = [&](Word it) { return Content(host, Kind::String, d.ItKey(it)); };
  EXPECT_EQ(at(d.LowerBound(m, MakeNamed(host, Kind::String, "bb"))), "b");
  EXPECT_EQ(at(d.UpperBound(m, MakeNamed(host, Kind::String, "b"))), "a");
  EXPECT_TRUE(d.Equal(d.LowerBound(m, MakeNamed(host, Kind::String, "0")), d.Last(m)));
  REALarray target = host.NewArray(kdt::kArrayTypeString, {MakeNamed(host, Kind::String, "x")});
  host.ReleaseAtEnd(target);
  d.Call(m, "AddKeys(targetArray() as {K})", {target});
  EXPECT_EQ(d.Contents(Kind::String, host.Elements(target)),
            (std::vector<std::string>{"c", "b", "a", "x"}));

  MemberSpec integers =
      OrderedMap("IntegerToText", Kind::Integer, Kind::Text, "integer", "Text", true);
  OrderedDriver e(host, integers);
  Word n = e.New();
  for (int k : {3, -1, 2}) e.Put(n, static_cast<Word>(k), e.Value(k));
  EXPECT_EQ(e.Contents(Kind::Integer, e.KeysArray(n)), (std::vector<std::string>{"-1", "2", "3"}));
  EXPECT_EQ(static_cast<int32_t>(e.ItKey(e.LowerBound(n, 0))), 2);
  EXPECT_TRUE(e.Equal(e.UpperBound(n, 3), e.Last(n)));
}

TEST(OrderedMapExamples, DemoWalkAndSearch) {
  TestHost host;
  std::ostringstream out;
  ShowOrderedMapWalk(host, out);
  EXPECT_EQ(out.str(),
            "walk: -5=item -5 7=item 7 12=item 12 30=item 30\n"
            "LowerBound(10): 12, before it: 7\n");
}

TEST_P(OrderedPositionTest, EmptyContainersAndUnfilledIterators) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word c = d.New();
  Word end = d.Last(c);
  d.Prev(end);  // an empty container: nowhere to go either way
  d.Next(end);
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(end, d.First(c)));
  EXPECT_FALSE(d.NotEqual(end, d.First(c)));

  // An iterator no container filled in.  A set's steps ignore it.
  Word raw = d.Raw(s.iteratorName);
  for (const char* step : {"MoveNext", "MovePrev"}) {
    host.Call(raw, step);
    if (d.isSet) {
      EXPECT_NO_RAISE(host);
    } else {
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
  }
  EXPECT_EQ(d.ItKey(raw), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  if (!d.isSet) {
    EXPECT_EQ(d.ItValue(raw), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    d.SetItValue(raw, d.Value(1));
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  }
  const char* notEqualMessage = d.isSet ? "Iterator is nil" : "other iterator is nil";
  for (Word self : {raw, end}) {
    EXPECT_FALSE(d.Equal(self, self == raw ? end : 0));
    EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
    EXPECT_FALSE(d.NotEqual(self, self == raw ? end : 0));
    EXPECT_RAISES(host, "NilObjectException", notEqualMessage);
  }
  EXPECT_TRUE(d.NotEqual(end, raw));
}

// Iterators kept past their entry or their container, and iterators of
// another container: used, they raise or change nothing as documented, and
// nothing freed is read (the sanitizer build checks that part).
TEST_P(OrderedPositionTest, IteratorsOfDestroyedAndOtherContainers) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word c = d.New();
  for (int n = 0; n < 3; ++n) d.Put(c, d.Key(n), d.Value(n));
  Word doomed = standin::W(host.NewInstance(s.className));
  d.Construct(doomed);
  d.Put(doomed, d.Key(1), d.Value(1));
  Word orphan = d.Find(doomed, d.Key(1)), orphanEnd = d.Last(doomed);
  host.Release(doomed);
  for (Word it : {orphan, orphanEnd}) {
    for (const char* step : {"MoveNext", "MovePrev"}) {
      host.Call(it, step);
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
    EXPECT_EQ(d.ItKey(it), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    if (!d.isSet) {
      d.SetItValue(it, d.Value(1));
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
    EXPECT_TRUE(d.Equal(it, it));  // compared by identity, reading nothing
    EXPECT_FALSE(d.Equal(it, d.Last(c)));
    d.RemoveAt(c, it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    d.RemoveRange(c, d.First(c), it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  }

  // Iterators of a container in the other case mode change nothing here.
  if (!s.HasCaseModes()) return;
  MemberSpec flipped = s;
  flipped.caseSensitive = !s.caseSensitive;
  Word other = OrderedDriver(host, flipped).New();
  for (int n = 0; n < 4; ++n) d.Put(other, d.Key(n), d.Value(n));
  d.RemoveAt(c, d.Find(other, d.Key(1)));
  d.RemoveRange(c, d.First(other), d.Last(other));
  d.RemoveRange(c, d.First(c), d.Last(other));
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.Int(c, "Count"), 3);
  EXPECT_EQ(d.Int(other, "Count"), 4);
  EXPECT_FALSE(d.Equal(d.First(c), d.First(other)));
}

TEST_P(OrderedMapTest, ArraysAreSharedUntilTheMapChanges) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word m = d.New();
  EXPECT_NE(d.KeysObject(m), 0u);  // an empty map gives an empty array, not nil
  for (int n = 0; n < 5; ++n) d.Put(m, d.Key(n), d.Value(n));
  Word a1 = d.KeysObject(m);
  EXPECT_EQ(d.KeysObject(m), a1);
  d.SetItValue(d.First(m), d.Value(50));  // not a change through the map
  EXPECT_EQ(d.KeysObject(m), a1);
  EXPECT_EQ(d.RemoveKey(m, d.Key(77)), 0);
  Word a2 = d.KeysObject(m);
  EXPECT_NE(a2, a1);
  d.RemoveRange(m, d.Last(m), d.First(m));  // not a range: no change
  EXPECT_EQ(d.KeysObject(m), a2);

  // AddKeys and AddValues put the map's items in front of the array's own.
  Word x = d.Key(1000);
  REALarray target = host.NewArray(ArrayType(s.key), {x});
  host.ReleaseAtEnd(target);
  d.Call(m, "AddKeys(targetArray() as {K})", {target});
  std::vector<Word> expected = d.KeysByIndex(m);
  expected.push_back(x);
  EXPECT_EQ(host.Elements(target), expected);
  REALarray valueTarget = host.NewArray(ArrayType(s.value));
  host.ReleaseAtEnd(valueTarget);
  d.Call(m, "AddValues(targetArray() as {V})", {valueTarget});
  EXPECT_EQ(host.Elements(valueTarget), d.ValuesArray(m));
}

TEST_P(OrderedMapTest, UninitializedMapsAndConstructors) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word raw = d.Raw();
  Word k = d.Key(1), v = d.Value(1), it = d.First(d.New());
  for (const char* property : {"MaxSize", "Count", "Empty"}) {
    EXPECT_EQ(host.Get(raw, property).word, 0u) << property;
    EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  }
  for (const char* call : {"Clone as {C}", "Clear", "first as {I}", "last as {I}"}) {
    EXPECT_EQ(d.Call(raw, call), 0u) << call;
    EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  }
  for (const char* call :
       {"Remove(key as {K}) as integer", "CountKey(key as {K}) as integer",
        "find(key as {K}) as {I}", "value(key as {K}) as {V}", "hasKey(key as {K}) as boolean",
        "LowerBound(key as {K}) as {I}", "UpperBound(key as {K}) as {I}"}) {
    EXPECT_EQ(d.Call(raw, call, {k}), 0u) << call;
    EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  }
  d.Call(raw, "lookup(key as {K}, defaultvalue as {V}) as {V}", {k, v});
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  d.RemoveAt(raw, it);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  d.RemoveRange(raw, it, it);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  d.Put(raw, k, v);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  REALarray target = host.NewArray(ArrayType(s.key));
  host.ReleaseAtEnd(target);
  d.Call(raw, "AddKeys(targetArray() as {K})", {target});
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  d.Call(raw, "AddValues(targetArray() as {V})", {nullptr});  // the array is looked at first
  EXPECT_RAISES(host, "NilObjectException", "array is nil");
  for (const char* call : {"CloneDictionary as Dictionary", "Operator_Convert as Dictionary"}) {
    EXPECT_EQ(d.Call(raw, call), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Other map not initialized");
  }
  // Arrays and indexes: nil, and no complaint.
  EXPECT_EQ(d.Call(raw, "Keys as {K}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Values as {V}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_EQ(d.Call(raw, "ValueAtIndex(index as integer) as {V}", {0}), 0u);
  EXPECT_NO_RAISE(host);

  Word m = d.New();
  d.Put(m, k, v);
  d.Call(m, "Constructor(other as {C})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "Other map is nil");
  EXPECT_EQ(d.Int(m, "Count"), 1);
  d.Call(m, "Constructor(other as {C})", {raw});
  EXPECT_RAISES(host, "NilObjectException", "Other map not initialized");
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");

  // A copy, and a map copied onto itself, keep every entry in order.
  Word src = d.New();
  for (int n = 0; n < 20; ++n) d.Put(src, d.Key(n), d.Value(n));
  d.Call(m, "Constructor(other as {C})", {src});
  EXPECT_EQ(d.KeysArray(m), d.KeysArray(src));
  d.Call(m, "Constructor(other as {C})", {m});
  EXPECT_EQ(d.KeysArray(m), d.KeysArray(src));
  EXPECT_EQ(d.ValuesArray(m), d.ValuesArray(src));
}

TEST_P(OrderedMapTest, CloneAndDictionaryKeepTheCaseMode) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 12; ++n) d.Put(m, d.Key(n), d.Value(n));
  Word clone = d.KeepObject(d.Call(m, "Clone as {C}"));
  EXPECT_EQ(d.KeysArray(clone), d.KeysArray(m));
  EXPECT_EQ(d.ValuesArray(clone), d.ValuesArray(m));
  d.Put(clone, d.Key(50), d.Value(50));  // independent of the original
  EXPECT_EQ(d.Int(m, "Count"), 12);

  auto fromDictionary = [&](Word dict) {
    Word c = d.Raw();
    if (s.HasCaseModes())
      host.Call(c, "Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
                {dict, s.caseSensitive});
    else
      host.Call(c, "Constructor(dic as dictionary)", {dict});
    return c;
  };
  Word back = fromDictionary(d.KeepObject(d.Call(m, "Operator_Convert as Dictionary")));
  EXPECT_EQ(d.Contents(s.key, d.KeysArray(back)), d.Contents(s.key, d.KeysArray(m)));
  EXPECT_EQ(d.Contents(s.value, d.ValuesArray(back)), d.Contents(s.value, d.ValuesArray(m)));
  EXPECT_EQ(d.Int(fromDictionary(0), "Count"), 0);
  if (!s.HasCaseModes()) return;

  // K1 beside k1: two keys case-sensitively; otherwise one, with the first
  // key and the last value.  The same from a Dictionary holding A and a.
  EXPECT_EQ(host.Get(clone, "CaseSensitive").b(), s.caseSensitive);
  d.Put(clone, d.Key(1, true), d.Value(2));
  EXPECT_EQ(d.Int(clone, "Count"), s.caseSensitive ? 14 : 13);
  EXPECT_EQ(Content(host, s.value, d.Get(clone, d.Key(1))), s.caseSensitive ? "v1" : "v2");
  REALobject source = host.NewDictionary();
  host.ReleaseAtEnd(source);
  for (int i : {1, 2}) {
    REALobject key =
        reinterpret_cast<REALobject>(MakeNamed(host, Kind::Variant, i == 1 ? "A" : "a"));
    REALobject value = host.NewVariantInt32(i);
    host.DictionarySet(source, key, value);
    host.Release(value);
  }
  Word collapsed = fromDictionary(standin::W(source));
  EXPECT_EQ(d.Contents(s.key, d.KeysArray(collapsed)),
            (s.caseSensitive ? std::vector<std::string>{"a", "A"} : std::vector<std::string>{"A"}));
  EXPECT_EQ(Content(host, s.value, d.ValuesArray(collapsed)[0]), "2");
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedMapTest, ::testing::ValuesIn(AllOrderedMaps()),
                         MemberName);
INSTANTIATE_TEST_SUITE_P(Members, OrderedPositionTest, ::testing::ValuesIn(AllOrdered()),
                         MemberName);

}  // namespace
}  // namespace kdt_test
