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

TEST_P(OrderedMapTest, MapOrderAndKeyedAccess) {
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
  std::vector<std::pair<ModelKey, Word>> expected;
  for (int n : {12, -3, 7, 0, 25, 3, -40, 19, 8, 100, 1}) {
    expected.push_back({d.KeyOf(n), d.Key(n)});
    d.Put(m, expected.back().second, d.Value(n));
  }
  std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
    return d.order().Before(a.first, b.first);
  });
  std::vector<Word> keys;
  for (const auto& e : expected) keys.push_back(e.second);
  EXPECT_EQ(d.Int(m, "Count"), 11);
  EXPECT_EQ(d.KeysArray(m), keys);
  EXPECT_EQ(d.KeysByIndex(m), keys);
  EXPECT_EQ(d.Walk(m), keys);
  std::vector<Word> values = d.ValuesArray(m);
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(d.Get(m, keys[i]), values[i]);
    EXPECT_EQ(d.Keep(s.value,
                     d.Call(m, "ValueAtIndex(index as integer) as {V}", {static_cast<int32_t>(i)})),
              values[i]);
  }
  // A Dictionary made from the map lists the entries in map order.
  Word dict = d.KeepObject(d.Call(m, "CloneDictionary as Dictionary"));
  auto entries = host.DictionaryEntries(reinterpret_cast<REALobject>(dict));
  ASSERT_EQ(entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(Content(host, Kind::Variant, entries[i].first), Content(host, s.key, keys[i]));
    EXPECT_EQ(Content(host, Kind::Variant, entries[i].second), Content(host, s.value, values[i]));
  }
  // A present key gets the new value and keeps its first key reference.
  Word fresh = d.Value(77);
  d.Put(m, d.Key(7), fresh);
  EXPECT_EQ(d.Get(m, d.Key(7)), fresh);
  EXPECT_EQ(d.KeysArray(m), keys);

  Word absent = d.Key(99), fallback = d.Value(99);
  EXPECT_EQ(d.Call(m, "hasKey(key as {K}) as boolean", {d.Key(25)}), 1u);
  EXPECT_EQ(d.Call(m, "CountKey(key as {K}) as integer", {absent}), 0u);
  EXPECT_EQ(d.Keep(s.value,
                   d.Call(m, "lookup(key as {K}, defaultvalue as {V}) as {V}", {absent, fallback})),
            fallback);
  EXPECT_EQ(d.Get(m, absent), 0u);
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  EXPECT_EQ(d.RemoveKey(m, d.Key(12)), 1);
  EXPECT_EQ(d.RemoveKey(m, d.Key(12)), 0);
  d.Call(m, "Clear");
  EXPECT_EQ(d.Int(m, "Count"), 0);
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

// LowerBound: the first entry whose key does not precede the key;
// UpperBound: the first whose key comes after it; for present and absent
// keys around every entry, in either letter case.
TEST_P(OrderedPositionTest, BoundsFollowTheOrder) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word c = d.New();
  std::vector<ModelKey> present;
  for (int n = 10; n <= 50; n += 10) {
    d.Put(c, d.Key(n), d.Value(n));
    present.push_back(d.KeyOf(n));
  }
  const Order order = d.order();
  std::sort(present.begin(), present.end(),
            [&](const ModelKey& a, const ModelKey& b) { return order.Before(a, b); });
  for (int probe = 5; probe <= 55; probe += 5) {
    for (bool upper : {false, s.HasCaseModes()}) {
      SCOPED_TRACE(TextOf("k", probe, upper));
      ModelKey key = d.KeyOf(probe, upper);
      Word k = d.Key(probe, upper);
      auto lower = std::find_if(present.begin(), present.end(),
                                [&](const ModelKey& e) { return !order.Before(e, key); });
      auto above = std::find_if(present.begin(), present.end(),
                                [&](const ModelKey& e) { return order.Before(key, e); });
      for (auto [it, want] :
           {std::pair{d.LowerBound(c, k), lower}, std::pair{d.UpperBound(c, k), above}}) {
        if (want == present.end()) {
          EXPECT_TRUE(d.Equal(it, d.Last(c)));
        } else {
          EXPECT_EQ(Content(host, s.key, d.ItKey(it)), want->Text());
        }
      }
    }
  }
}

TEST_P(OrderedPositionTest, IteratorsStopAtTheEnds) {
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

  for (int n = 1; n <= 4; ++n) d.Put(c, d.Key(n), d.Value(n));
  std::vector<Word> keys = d.KeysByIndex(c);
  Word it = d.Last(c);
  EXPECT_EQ(d.ItKey(it), 0u);  // last is past the last entry
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
  d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[3]);
  d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[2]);
  for (int i = 0; i < 5; ++i) d.Prev(it);
  EXPECT_EQ(d.ItKey(it), keys[0]);
  for (int i = 0; i < 7; ++i) d.Next(it);
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(it, d.Last(c)));
  if (!d.isSet) {
    EXPECT_EQ(d.ItValue(it), 0u);
    EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
    d.SetItValue(it, d.Value(9));
    EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");
    Word second = d.Find(c, keys[1]), v = d.Value(42);
    d.SetItValue(second, v);
    EXPECT_EQ(d.Get(c, keys[1]), v);
  }

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
  const char* notEqualMessage = d.isSet ? "Iterator is nil" : "other iterator is nil";
  for (Word self : {raw, it}) {
    EXPECT_FALSE(d.Equal(self, self == raw ? it : 0));
    EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
    EXPECT_FALSE(d.NotEqual(self, self == raw ? it : 0));
    EXPECT_RAISES(host, "NilObjectException", notEqualMessage);
  }
  EXPECT_TRUE(d.NotEqual(it, raw));
}

// Iterators kept past their entry or their container, and iterators of
// another container: used, they raise or change nothing as documented, and
// nothing freed is read (the sanitizer build checks that part).
TEST_P(OrderedPositionTest, StaleAndForeignIteratorsAreSafe) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word c = d.New();
  for (int n = 0; n < 8; ++n) d.Put(c, d.Key(n), d.Value(n));
  auto expectGone = [&](Word it, const char* what) {
    SCOPED_TRACE(what);
    for (const char* step : {"MoveNext", "MovePrev"}) {
      host.Call(it, step);
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
    EXPECT_EQ(d.ItKey(it), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    if (!d.isSet) {
      EXPECT_EQ(d.ItValue(it), 0u);
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
      d.SetItValue(it, d.Value(1));
      EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    }
    EXPECT_TRUE(d.Equal(it, it));  // compared by identity, reading nothing
    EXPECT_FALSE(d.Equal(it, d.Last(c)));
    d.RemoveAt(c, it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    d.RemoveRange(c, d.First(c), it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  };

  Word removed = d.Find(c, d.Key(2));
  d.RemoveAt(c, removed);
  expectGone(removed, "removed");
  d.Put(c, d.Key(2), d.Value(2));  // the same key again is a new entry
  expectGone(removed, "removed, key back");
  Word byKey = d.Find(c, d.Key(3));
  d.RemoveKey(c, d.Key(3));
  expectGone(byKey, "removed by key");
  Word cleared = d.Find(c, d.Key(4)), endBeforeClear = d.Last(c);
  d.Call(c, "Clear");
  expectGone(cleared, "cleared");
  EXPECT_TRUE(d.Equal(endBeforeClear, d.Last(c)));  // the tree itself stays
  for (int n = 0; n < 8; ++n) d.Put(c, d.Key(n), d.Value(n));
  Word rebuilt = d.Find(c, d.Key(5)), endBeforeRebuild = d.Last(c);
  d.Construct(c);
  expectGone(rebuilt, "constructed again");
  expectGone(endBeforeRebuild, "end, constructed again");

  // Iterators of another container, also of one in the other case mode.
  for (int n = 0; n < 3; ++n) d.Put(c, d.Key(n), d.Value(n));
  std::vector<Word> others{d.New()};
  MemberSpec flipped = s;
  flipped.caseSensitive = !s.caseSensitive;
  if (s.HasCaseModes()) others.push_back(OrderedDriver(host, flipped).New());
  for (Word other : others) {
    for (int n = 0; n < 4; ++n) d.Put(other, d.Key(n), d.Value(n));
    d.RemoveAt(c, d.Find(other, d.Key(1)));
    d.RemoveRange(c, d.First(other), d.Last(other));
    d.RemoveRange(c, d.First(c), d.Last(other));
    EXPECT_NO_RAISE(host);
    EXPECT_EQ(d.Int(c, "Count"), 3);
    EXPECT_EQ(d.Int(other, "Count"), 4);
    EXPECT_FALSE(d.Equal(d.Last(c), d.Last(other)));
  }

  // A destroyed container.
  Word doomed = standin::W(host.NewInstance(s.className));
  d.Construct(doomed);
  d.Put(doomed, d.Key(1), d.Value(1));
  Word orphan = d.Find(doomed, d.Key(1)), orphanEnd = d.Last(doomed);
  host.Release(doomed);
  expectGone(orphan, "container destroyed");
  expectGone(orphanEnd, "end, container destroyed");
  EXPECT_EQ(d.Int(c, "Count"), 3);
}

TEST_P(OrderedMapTest, ArrayCacheFollowsChanges) {
  const MemberSpec& s = GetParam();
  TestHost host;
  OrderedDriver d(host, s);
  Word m = d.New();
  EXPECT_EQ(d.KeysArray(m).size(), 0u);  // an empty array, not nil
  EXPECT_EQ(d.Call(m, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to -1, but value is 0.");
  for (int n = 0; n < 5; ++n) d.Put(m, d.Key(n), d.Value(n));
  Word a1 = d.KeysObject(m);
  EXPECT_EQ(d.KeysObject(m), a1);
  EXPECT_EQ(d.Call(m, "ValueAtIndex(index as integer) as {V}", {5}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to 4, but value is 5.");

  // A value set through an iterator leaves the cache; the map's changes drop it.
  Word values = d.KeepObject(d.Call(m, "Values as {V}()"));
  Word it = d.First(m), old = d.ItValue(it);
  d.SetItValue(it, d.Value(50));
  EXPECT_EQ(d.KeepObject(d.Call(m, "Values as {V}()")), values);
  EXPECT_EQ(d.Elements(values)[0], old);
  EXPECT_EQ(d.RemoveKey(m, d.Key(77)), 0);
  Word a2 = d.KeysObject(m);
  EXPECT_NE(a2, a1);
  d.Put(m, d.Key(0), d.Value(0));
  Word a3 = d.KeysObject(m);
  EXPECT_NE(a3, a2);
  d.RemoveRange(m, d.Last(m), d.First(m));  // not a range: no change
  EXPECT_EQ(d.KeysObject(m), a3);
  d.RemoveAt(m, d.First(m));
  EXPECT_EQ(d.KeysArray(m).size(), 4u);

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
