// The ordered map classes as host programs use them, run for every member and
// both case modes through one set of test bodies.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "orderedmap/OrderedMapTestSupport.h"
#include "orderedmap/OrderedMapWalk.h"

namespace kdt_test {
namespace {

using standin::TestHost;

int32_t MaxSizeOf(const MemberSpec& s) {
  if (s.key != Kind::Integer) return 134217727;
  return s.value == Kind::Integer ? 178956970 : 153391689;
}

class OrderedMapTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(OrderedMapTest, KeyedAccessAndMapOrder) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_TRUE(host.Get(m, "Empty").b());
  EXPECT_EQ(d.Int(m, "MaxSize"), MaxSizeOf(s));
  if (s.HasCaseModes()) {
    EXPECT_EQ(host.Get(m, "CaseSensitive").b(), s.caseSensitive);
  }
  EXPECT_TRUE(d.Equal(d.First(m), d.Last(m)));
  EXPECT_FALSE(d.NotEqual(d.First(m), d.Last(m)));

  // Keys go in out of order; negative numbers for Integer keys.
  const int numbers[] = {12, -3, 7, 0, 25, 3, -40, 19, 8, 100, 1};
  std::vector<std::pair<ModelKey, Word>> expected;
  for (int n : numbers) {
    Word k = d.Key(n);
    d.Set(m, k, d.Value(n));
    expected.push_back({d.KeyOf(n), k});
  }
  MapOrder order = d.Order();
  std::stable_sort(expected.begin(), expected.end(),
                   [&](const auto& a, const auto& b) { return order.Before(a.first, b.first); });
  std::vector<Word> keys;
  for (const auto& e : expected) keys.push_back(e.second);

  EXPECT_EQ(d.Int(m, "Count"), 11);
  EXPECT_FALSE(host.Get(m, "Empty").b());
  EXPECT_EQ(d.KeysArray(m), keys);
  EXPECT_EQ(d.KeysByIndex(m), keys);
  EXPECT_EQ(d.Walk(m), keys);
  EXPECT_EQ(d.WalkBack(m), keys);
  std::vector<Word> values = d.ValuesArray(m);
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(d.Get(m, keys[i]), values[i]);
    EXPECT_EQ(d.Keep(s.value,
                     d.Call(m, "ValueAtIndex(index as integer) as {V}", {static_cast<int32_t>(i)})),
              values[i]);
  }

  // A Dictionary made from the map lists its entries in map order.
  Word dict = d.KeepObject(d.Call(m, "CloneDictionary as Dictionary"));
  auto entries = host.DictionaryEntries(reinterpret_cast<REALobject>(dict));
  ASSERT_EQ(entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(Content(host, Kind::Variant, entries[i].first), Content(host, s.key, keys[i]));
    EXPECT_EQ(Content(host, Kind::Variant, entries[i].second), Content(host, s.value, values[i]));
  }

  // Storing under a present key replaces the value; the first key stays.
  Word again = d.Key(7), fresh = d.Value(77);
  d.Set(m, again, fresh);
  EXPECT_EQ(d.Int(m, "Count"), 11);
  EXPECT_EQ(d.Get(m, d.Key(7)), fresh);
  EXPECT_EQ(d.KeysArray(m), keys);

  Word absent = d.Key(99), fallback = d.Value(99);
  EXPECT_TRUE(d.Call(m, "hasKey(key as {K}) as boolean", {d.Key(25)}));
  EXPECT_EQ(d.Call(m, "CountKey(key as {K}) as integer", {d.Key(25)}), 1u);
  EXPECT_FALSE(d.Call(m, "hasKey(key as {K}) as boolean", {absent}));
  EXPECT_EQ(d.Call(m, "CountKey(key as {K}) as integer", {absent}), 0u);
  EXPECT_EQ(d.Keep(s.value,
                   d.Call(m, "lookup(key as {K}, defaultvalue as {V}) as {V}", {absent, fallback})),
            fallback);
  EXPECT_EQ(d.Keep(s.value,
                   d.Call(m, "lookup(key as {K}, defaultvalue as {V}) as {V}", {again, fallback})),
            fresh);
  EXPECT_EQ(d.Get(m, absent), 0u);
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  EXPECT_TRUE(d.Equal(d.Find(m, absent), d.Last(m)));
  auto stored19 = std::find_if(expected.begin(), expected.end(),
                               [](const auto& e) { return e.first.number == 19; });
  EXPECT_EQ(d.ItKey(d.Find(m, d.Key(19))), stored19->second);

  EXPECT_EQ(d.RemoveKey(m, d.Key(12)), 1);
  EXPECT_EQ(d.RemoveKey(m, d.Key(12)), 0);
  EXPECT_EQ(d.Int(m, "Count"), 10);
  d.Call(m, "Clear");
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_TRUE(d.Equal(d.First(m), d.Last(m)));
}

// The examples a reader of the class reference would try first.
TEST(OrderedMapExamples, StringKeysDescendIntegerKeysAscend) {
  TestHost host;
  MemberSpec strings =
      OrderedMap("StringToString", Kind::String, Kind::String, "string", "string", true);
  OrderedMapDriver d(host, strings);
  Word m = d.New();
  for (const char* k : {"b", "a", "c"}) d.Set(m, MakeNamed(host, Kind::String, k), d.Value(1));
  EXPECT_EQ(d.Contents(Kind::String, d.KeysArray(m)), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(d.Contents(Kind::String, d.Walk(m)), (std::vector<std::string>{"c", "b", "a"}));
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
  OrderedMapDriver e(host, integers);
  Word n = e.New();
  for (int k : {3, -1, 2}) e.Set(n, static_cast<Word>(k), e.Value(k));
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

// LowerBound: the first entry whose key does not precede the key;
// UpperBound: the first entry whose key comes after it.  Checked against the
// model for present and absent keys on both sides of every entry.
TEST_P(OrderedMapTest, BoundsFollowTheMapOrder) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();
  std::vector<ModelKey> present;
  for (int n = 10; n <= 50; n += 10) {
    d.Set(m, d.Key(n), d.Value(n));
    present.push_back(d.KeyOf(n));
  }
  MapOrder order = d.Order();
  std::sort(present.begin(), present.end(),
            [&](const ModelKey& a, const ModelKey& b) { return order.Before(a, b); });
  for (int probe = 5; probe <= 55; probe += 5) {
    for (bool upper : {false, true}) {
      if (upper && !s.HasCaseModes()) continue;
      ModelKey key = d.KeyOf(probe, upper);
      Word k = d.Key(probe, upper);
      auto lower = std::find_if(present.begin(), present.end(),
                                [&](const ModelKey& e) { return !order.Before(e, key); });
      auto above = std::find_if(present.begin(), present.end(),
                                [&](const ModelKey& e) { return order.Before(key, e); });
      Word lb = d.LowerBound(m, k), ub = d.UpperBound(m, k);
      SCOPED_TRACE("probe " + std::to_string(probe) + (upper ? " upper" : ""));
      if (lower == present.end()) {
        EXPECT_TRUE(d.Equal(lb, d.Last(m)));
      } else {
        EXPECT_EQ(Content(host, s.key, d.ItKey(lb)),
                  lower->name.empty() ? std::to_string(lower->number) : lower->name);
      }
      if (above == present.end()) {
        EXPECT_TRUE(d.Equal(ub, d.Last(m)));
      } else {
        EXPECT_EQ(Content(host, s.key, d.ItKey(ub)),
                  above->name.empty() ? std::to_string(above->number) : above->name);
      }
    }
  }
}

TEST_P(OrderedMapTest, IteratorsStepBothWaysAndStopAtTheEnds) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();

  // An empty map: nothing to step to in either direction.
  Word end = d.Last(m);
  d.Prev(end);
  d.Next(end);
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(end, d.First(m)));

  for (int n = 1; n <= 4; ++n) d.Set(m, d.Key(n), d.Value(n));
  std::vector<Word> keys = d.KeysByIndex(m);
  Word it = d.Last(m);
  EXPECT_NE(d.ItKey(d.First(m)), 0u);
  EXPECT_EQ(d.ItKey(it), 0u);  // last is past the last entry
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[3]);
  d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[2]);
  d.Prev(it);
  d.Prev(it);
  EXPECT_TRUE(d.Equal(it, d.First(m)));
  d.Prev(it);  // stays on the first entry
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(it, d.First(m)));
  for (int i = 0; i < 6; ++i) d.Next(it);  // stops at the end
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(it, d.Last(m)));
  EXPECT_EQ(d.ItValue(it), 0u);
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  d.SetItValue(it, d.Value(9));
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  EXPECT_EQ(d.Int(m, "Count"), 4);

  // Assigning Value through an iterator is seen by the map at once.
  Word second = d.Find(m, keys[1]);
  Word v = d.Value(42);
  d.SetItValue(second, v);
  EXPECT_EQ(d.Get(m, keys[1]), v);
  EXPECT_EQ(d.ItValue(second), v);

  // An iterator no map filled in.
  Word raw = d.KeepObject(standin::W(host.NewInstance(s.iteratorName)));
  for (const char* step : {"MoveNext", "MovePrev"}) {
    host.Call(raw, step);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  }
  EXPECT_EQ(d.ItKey(raw), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(d.ItValue(raw), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  d.SetItValue(raw, v);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_FALSE(d.Equal(raw, d.Last(m)));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(d.NotEqual(raw, d.Last(m)));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(d.Equal(d.Last(m), 0));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(d.NotEqual(d.Last(m), 0));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_TRUE(d.NotEqual(d.Last(m), raw));  // a filled iterator against an empty one
}

TEST_P(OrderedMapTest, ArrayCacheFollowsChanges) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();
  EXPECT_EQ(d.KeysArray(m).size(), 0u);  // an empty array, not nil
  EXPECT_EQ(d.Call(m, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to -1, but value is 0.");
  for (int n = 0; n < 5; ++n) d.Set(m, d.Key(n), d.Value(n));
  Word a1 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  EXPECT_EQ(d.KeepObject(d.Call(m, "Keys as {K}()")), a1);
  EXPECT_EQ(d.Call(m, "Key(index as integer) as {K}", {7}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to 4, but value is 7.");
  EXPECT_EQ(d.Call(m, "ValueAtIndex(index as integer) as {V}", {-1}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too small. Range is 0 to 4, but value is -1.");

  // A value set through an iterator leaves the cache; the map's changes drop it.
  Word values = d.KeepObject(d.Call(m, "Values as {V}()"));
  Word it = d.First(m);
  Word oldValue = d.ItValue(it);
  d.SetItValue(it, d.Value(50));
  EXPECT_EQ(d.KeepObject(d.Call(m, "Values as {V}()")), values);
  EXPECT_EQ(d.Elements(values)[0], oldValue);
  EXPECT_EQ(d.RemoveKey(m, d.Key(77)), 0);  // absent, and still a change
  Word a2 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  EXPECT_NE(a2, a1);
  d.Set(m, d.Key(0), d.Value(0));
  Word a3 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  EXPECT_NE(a3, a2);
  d.RemoveAt(m, d.Find(m, d.Key(3)));
  Word a4 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  EXPECT_NE(a4, a3);
  EXPECT_EQ(d.Elements(a4).size(), 4u);
  d.RemoveRange(m, d.Last(m), d.First(m));  // not a range: no change
  EXPECT_EQ(d.KeepObject(d.Call(m, "Keys as {K}()")), a4);

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
  d.Call(m, "AddValues(targetArray() as {V})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "array is nil");
}

TEST_P(OrderedMapTest, UninitializedMapsAndFailedConstructors) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word raw = d.KeepObject(standin::W(host.NewInstance(s.className)));
  Word k = d.Key(1), v = d.Value(1);
  Word it = d.First(d.New());

  // Every operation that needs the tree says so.
  for (const char* property : {"MaxSize", "Count", "Empty"}) {
    EXPECT_EQ(host.Get(raw, property).word, 0u) << property;
    EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  }
  const std::vector<std::pair<std::string, std::vector<standin::Arg>>> calls = {
      {"Clone as {C}", {}},
      {"Clear", {}},
      {"first as {I}", {}},
      {"last as {I}", {}},
      {"Remove(pos as {I})", {it}},
      {"Remove(first as {I}, last as {I})", {it, it}},
      {"Remove(key as {K}) as integer", {k}},
      {"CountKey(key as {K}) as integer", {k}},
      {"find(key as {K}) as {I}", {k}},
      {"value(key as {K}) as {V}", {k}},
      {"hasKey(key as {K}) as boolean", {k}},
      {"lookup(key as {K}, defaultvalue as {V}) as {V}", {k, v}},
      {"LowerBound(key as {K}) as {I}", {k}},
      {"UpperBound(key as {K}) as {I}", {k}},
  };
  for (const auto& c : calls) {
    Word r = 0;
    switch (c.second.size()) {
      case 0:
        r = d.Call(raw, c.first);
        break;
      case 1:
        r = d.Call(raw, c.first, {c.second[0]});
        break;
      default:
        r = d.Call(raw, c.first, {c.second[0], c.second[1]});
        break;
    }
    size_t close = c.first.rfind(')');
    bool returns =
        c.first.find(" as ", close == std::string::npos ? 0 : close) != std::string::npos;
    if (returns) {
      EXPECT_EQ(r, 0u) << c.first;
    }
    EXPECT_RAISES(host, "NilObjectException", "Map not initialized") << c.first;
  }
  d.Set(raw, k, v);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  REALarray target = host.NewArray(ArrayType(s.key));
  host.ReleaseAtEnd(target);
  d.Call(raw, "AddKeys(targetArray() as {K})", {target});
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  d.Call(raw, "AddKeys(targetArray() as {K})", {nullptr});  // the array is checked first
  EXPECT_RAISES(host, "NilObjectException", "array is nil");
  for (const char* c : {"CloneDictionary as Dictionary", "Operator_Convert as Dictionary"}) {
    EXPECT_EQ(d.Call(raw, c), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Other map not initialized");
  }
  // Reading by index or as arrays gives nil without complaint.
  EXPECT_EQ(d.Call(raw, "Keys as {K}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Values as {V}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_EQ(d.Call(raw, "ValueAtIndex(index as integer) as {V}", {0}), 0u);
  EXPECT_NO_RAISE(host);

  Word m = d.New();
  d.Set(m, k, v);
  d.Call(m, "Constructor(other as {C})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "Other map is nil");
  EXPECT_EQ(d.Int(m, "Count"), 1);
  d.Call(m, "Constructor(other as {C})", {raw});
  EXPECT_RAISES(host, "NilObjectException", "Other map not initialized");
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");

  // A copy, and a map copied from itself, keep every entry in order.
  Word src = d.New();
  for (int n = 0; n < 20; ++n) d.Set(src, d.Key(n), d.Value(n));
  d.Call(m, "Constructor(other as {C})", {src});
  EXPECT_EQ(d.KeysArray(m), d.KeysArray(src));
  d.Call(m, "Constructor(other as {C})", {m});
  EXPECT_EQ(d.KeysArray(m), d.KeysArray(src));
  EXPECT_EQ(d.Get(m, d.Key(13)), d.Get(src, d.Key(13)));
  if (s.HasCaseModes()) {
    EXPECT_EQ(host.Get(m, "CaseSensitive").b(), s.caseSensitive);
  }
}

TEST_P(OrderedMapTest, CloneAndDictionaryKeepTheCaseMode) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 12; ++n) d.Set(m, d.Key(n), d.Value(n));

  Word clone = d.KeepObject(d.Call(m, "Clone as {C}"));
  EXPECT_EQ(host.ClassName(clone), s.className);
  EXPECT_EQ(d.KeysArray(clone), d.KeysArray(m));
  EXPECT_EQ(d.ValuesArray(clone), d.ValuesArray(m));
  d.Set(clone, d.Key(50), d.Value(50));  // the two are independent
  EXPECT_EQ(d.Int(m, "Count"), 12);

  // Through a Dictionary and back: the same keys and values, in map order.
  Word dict = d.KeepObject(d.Call(m, "Operator_Convert as Dictionary"));
  Word back = d.FromDictionary(dict);
  EXPECT_EQ(d.Contents(s.key, d.KeysArray(back)), d.Contents(s.key, d.KeysArray(m)));
  EXPECT_EQ(d.Contents(s.value, d.ValuesArray(back)), d.Contents(s.value, d.ValuesArray(m)));
  EXPECT_EQ(d.Int(d.FromDictionary(0), "Count"), 0);

  if (!s.HasCaseModes()) return;
  EXPECT_EQ(host.Get(clone, "CaseSensitive").b(), s.caseSensitive);
  // K1 and k1: two keys case-sensitively, one otherwise (the first key
  // stays, the last value wins) -- in the clone, and from a Dictionary.
  d.Set(clone, d.Key(1, true), d.Value(2));
  EXPECT_EQ(d.Int(clone, "Count"), s.caseSensitive ? 14 : 13);
  EXPECT_EQ(Content(host, s.value, d.Get(clone, d.Key(1))), s.caseSensitive ? "v1" : "v2");

  REALobject source = host.NewDictionary();
  host.ReleaseAtEnd(source);
  for (const auto& [key, value] : {std::pair<const char*, int>{"A", 1}, {"a", 2}}) {
    REALstring ks = host.NewString(key);
    REALobject kv = host.NewVariantString(ks);
    REALobject vv = host.NewVariantInt32(value);
    host.DictionarySet(source, kv, vv);
    host.Release(ks);
    host.Release(kv);
    host.Release(vv);
  }
  Word fromDict = d.FromDictionary(standin::W(source));
  std::vector<std::string> keys = d.Contents(s.key, d.KeysArray(fromDict));
  if (s.caseSensitive) {
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "A"}));
  } else {
    EXPECT_EQ(keys, std::vector<std::string>{"A"});
    EXPECT_EQ(Content(host, s.value, d.ValuesArray(fromDict)[0]), "2");
  }
}

TEST_P(OrderedMapTest, RemoveByPositionAndRange) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 30; ++n) d.Set(m, d.Key(n), d.Value(n));
  std::vector<Word> expected = d.KeysByIndex(m);

  d.RemoveAt(m, d.Find(m, expected[10]));
  expected.erase(expected.begin() + 10);
  d.RemoveAt(m, d.Last(m));  // the end position holds no entry
  d.RemoveAt(m, 0);
  EXPECT_EQ(d.KeysByIndex(m), expected);

  d.RemoveRange(m, d.Find(m, expected[3]), d.Find(m, expected[20]));
  expected.erase(expected.begin() + 3, expected.begin() + 20);
  EXPECT_EQ(d.KeysByIndex(m), expected);
  // last before first, nil ends, and an empty range remove nothing.
  d.RemoveRange(m, d.Find(m, expected[5]), d.Find(m, expected[1]));
  d.RemoveRange(m, d.Last(m), d.First(m));
  d.RemoveRange(m, d.Find(m, expected[1]), 0);
  d.RemoveRange(m, 0, d.Last(m));
  d.RemoveRange(m, d.Find(m, expected[2]), d.Find(m, expected[2]));
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.KeysByIndex(m), expected);

  d.RemoveRange(m, d.Find(m, expected[8]), d.Last(m));
  expected.resize(8);
  EXPECT_EQ(d.KeysByIndex(m), expected);
  d.RemoveRange(m, d.First(m), d.Find(m, expected[2]));
  expected.erase(expected.begin(), expected.begin() + 2);
  EXPECT_EQ(d.KeysByIndex(m), expected);
  Word end = d.Last(m);
  d.RemoveRange(m, d.First(m), end);  // everything at once
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_TRUE(d.Equal(end, d.Last(m)));  // the tree itself stays
  d.Set(m, d.Key(1), d.Value(1));
  EXPECT_EQ(d.Walk(m).size(), 1u);
}

// Iterators kept past their entry, their tree or their map, and iterators of
// another map: each use is reported or ignored as documented, and nothing
// freed is read (the sanitizer build checks that part).
TEST_P(OrderedMapTest, StaleAndForeignIteratorsAreSafe) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedMapDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 8; ++n) d.Set(m, d.Key(n), d.Value(n));
  auto expectGone = [&](Word it, const char* what) {
    SCOPED_TRACE(what);
    for (const char* step : {"MoveNext", "MovePrev"}) {
      host.Call(it, step);
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
    EXPECT_EQ(d.ItKey(it), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    EXPECT_EQ(d.ItValue(it), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    d.SetItValue(it, d.Value(1));
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    // Compared by identity: equal to itself, to nothing live.
    EXPECT_TRUE(d.Equal(it, it));
    EXPECT_FALSE(d.Equal(it, d.First(m)));
    EXPECT_FALSE(d.Equal(it, d.Last(m)));
  };

  Word removed = d.Find(m, d.Key(2));
  Word twin = d.Find(m, d.Key(2));
  d.RemoveAt(m, removed);
  expectGone(removed, "removed");
  EXPECT_TRUE(d.Equal(removed, twin));
  d.RemoveAt(m, twin);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  d.RemoveRange(m, twin, d.Last(m));
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  d.RemoveRange(m, d.First(m), twin);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(d.Int(m, "Count"), 7);
  d.Set(m, d.Key(2), d.Value(2));  // the same key again is a new entry
  expectGone(removed, "removed, key back");

  Word byKey = d.Find(m, d.Key(3));
  d.RemoveKey(m, d.Key(3));
  expectGone(byKey, "byKey");

  Word inRange = d.Find(m, d.Key(5));
  Word afterIt = d.Find(m, d.Key(5));
  d.Next(afterIt);
  d.RemoveRange(m, d.Find(m, d.Key(5)), afterIt);
  expectGone(inRange, "inRange");

  Word cleared = d.Find(m, d.Key(4));
  Word endBeforeClear = d.Last(m);
  d.Call(m, "Clear");
  expectGone(cleared, "cleared");
  EXPECT_TRUE(d.Equal(endBeforeClear, d.Last(m)));

  for (int n = 0; n < 8; ++n) d.Set(m, d.Key(n), d.Value(n));
  Word beforeRebuild = d.Find(m, d.Key(5));
  Word endBeforeRebuild = d.Last(m);
  d.Construct(m);
  expectGone(beforeRebuild, "beforeRebuild");
  d.Prev(endBeforeRebuild);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  d.RemoveAt(m, endBeforeRebuild);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");

  // Another map's iterators, also one of the other case mode, change nothing.
  for (int n = 0; n < 3; ++n) d.Set(m, d.Key(n), d.Value(n));
  std::vector<Word> others{d.New()};
  if (s.HasCaseModes()) {
    MemberSpec flipped = s;
    flipped.caseSensitive = !s.caseSensitive;
    others.push_back(OrderedMapDriver(host, flipped).New());
  }
  for (Word other : others) {
    for (int n = 0; n < 4; ++n) d.Set(other, d.Key(n), d.Value(n));
    d.RemoveAt(m, d.Find(other, d.Key(1)));
    d.RemoveRange(m, d.First(other), d.Last(other));
    d.RemoveRange(m, d.First(m), d.Last(other));
    d.RemoveRange(m, d.First(other), d.Last(m));
    EXPECT_NO_RAISE(host);
    EXPECT_EQ(d.Int(m, "Count"), 3);
    EXPECT_EQ(d.Int(other, "Count"), 4);
    EXPECT_FALSE(d.Equal(d.Last(m), d.Last(other)));
    EXPECT_FALSE(d.Equal(d.First(m), d.First(other)));
  }

  // A destroyed map.
  Word doomed = standin::W(host.NewInstance(s.className));
  d.Construct(doomed);
  d.Set(doomed, d.Key(1), d.Value(1));
  Word orphan = d.Find(doomed, d.Key(1));
  Word orphanEnd = d.Last(doomed);
  host.Release(doomed);
  expectGone(orphan, "orphan");
  d.Next(orphanEnd);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  d.RemoveAt(m, orphan);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(d.Int(m, "Count"), 3);
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedMapTest, ::testing::ValuesIn(AllOrderedMaps()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

}  // namespace
}  // namespace kdt_test
