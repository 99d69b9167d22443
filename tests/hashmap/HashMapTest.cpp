// The hash map classes as host programs use them, run for every member and
// both case modes through one set of test bodies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

using standin::Arg;
using standin::TestHost;

MemberSpec Map(const char* name, Kind k, Kind v, const char* kw, const char* vw, bool cs) {
  return MemberSpec{
      std::string(name) + "HashMapKDT", std::string(name) + "HashMapIteratorKDT", k, v, kw, vw, cs};
}

std::vector<MemberSpec> AllMaps() {
  std::vector<MemberSpec> out;
  for (bool cs : {true, false}) {
    out.push_back(Map("TextToText", Kind::Text, Kind::Text, "Text", "Text", cs));
    out.push_back(Map("TextToVariant", Kind::Text, Kind::Variant, "Text", "Variant", cs));
    out.push_back(Map("StringToString", Kind::String, Kind::String, "string", "string", cs));
    out.push_back(Map("StringToVariant", Kind::String, Kind::Variant, "string", "variant", cs));
    out.push_back(Map("VariantToVariant", Kind::Variant, Kind::Variant, "variant", "variant", cs));
  }
  out.push_back(Map("IntegerToText", Kind::Integer, Kind::Text, "integer", "text", true));
  out.push_back(Map("IntegerToString", Kind::Integer, Kind::String, "integer", "string", true));
  out.push_back(Map("IntegerToVariant", Kind::Integer, Kind::Variant, "integer", "variant", true));
  out.push_back(Map("IntegerToInteger", Kind::Integer, Kind::Integer, "integer", "integer", true));
  return out;
}

// A map of the member under test, driven the way a host program would.
class MapDriver {
 public:
  MapDriver(TestHost& host, const MemberSpec& spec) : h(host), s(spec) {}

  Word New() {
    REALobject m =
        s.HasCaseModes()
            ? h.New(s.className, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive})
            : h.New(s.className, "Constructor");
    h.ReleaseAtEnd(m);
    return standin::W(m);
  }
  Word Key(int n, bool upper = false) { return Make(h, s.key, "k", n, upper); }
  Word Value(int n) { return Make(h, s.value, "v", n); }

  // A result that is a reference of kind k becomes the host's to release.
  Word Keep(Kind k, Word w) {
    if (k != Kind::Integer && w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word KeepObject(Word w) { return Keep(Kind::Variant, w); }

  void Set(Word m, Word k, Word v) { h.Assign(m, s.Decl("value(key as {K}) as {V}"), {k}, v); }
  Word Get(Word m, Word k) {
    return Keep(s.value, h.Call(m, s.Decl("value(key as {K}) as {V}"), {k}));
  }
  int32_t Int(Word m, const char* property) { return h.Get(m, property).i(); }
  Word Call(Word m, const std::string& pattern, std::initializer_list<Arg> args = {}) {
    return h.Call(m, s.Decl(pattern), args);
  }
  Word First(Word m) { return KeepObject(Call(m, "first as {I}")); }
  Word Last(Word m) { return KeepObject(Call(m, "last as {I}")); }
  Word Find(Word m, Word k) { return KeepObject(Call(m, "find(key as {K}) as {I}", {k})); }
  bool Equal(Word a, Word b) {
    return h.Call(a, s.Decl("isEqual(other as {I}) as boolean"), {b}).b();
  }
  Word ItKey(Word it) { return Keep(s.key, h.Call(it, s.Decl("Key as {K}"))); }
  Word ItValue(Word it) { return Keep(s.value, h.Call(it, s.Decl("Value as {V}"))); }
  void Next(Word it) { h.Call(it, "MoveNext"); }

  // Keys by walking from first to last.
  std::vector<Word> Walk(Word m) {
    std::vector<Word> keys;
    Word it = First(m), end = Last(m);
    while (!Equal(it, end) && keys.size() < 100000) {
      keys.push_back(ItKey(it));
      Next(it);
    }
    return keys;
  }
  std::vector<Word> KeysByIndex(Word m) {
    std::vector<Word> keys;
    int32_t n = Int(m, "Count");
    for (int32_t i = 0; i < n; ++i)
      keys.push_back(Keep(s.key, Call(m, "Key(index as integer) as {K}", {i})));
    return keys;
  }
  std::vector<Word> KeysArray(Word m) {
    Word a = KeepObject(Call(m, "Keys as {K}()"));
    return h.Elements(reinterpret_cast<REALarray>(a));
  }

  TestHost& h;
  const MemberSpec& s;
};

// What a host program sees of a value: Integers and Variants by identity,
// Strings and Texts by their characters.
std::string Content(Host& host, Kind k, Word w) {
  switch (k) {
    case Kind::String:
      return host.StringUTF8(reinterpret_cast<REALstring>(w));
    case Kind::Text:
      return host.TextUTF8(reinterpret_cast<REALtext>(w));
    default:
      return std::to_string(w);
  }
}

class HashMapTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(HashMapTest, NewMapAndKeyedAccess) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_TRUE(host.Get(m, "Empty").b());
  EXPECT_EQ(d.Int(m, "BinCount"), 193);
  EXPECT_EQ(d.Int(m, "MaxSize"), -1);
  if (s.HasCaseModes()) {
    EXPECT_EQ(host.Get(m, "CaseSensitive").b(), s.caseSensitive);
  }
  EXPECT_TRUE(d.Equal(d.First(m), d.Last(m)));

  std::vector<Word> keys, values;
  for (int n = 0; n < 10; ++n) {
    keys.push_back(d.Key(n));
    values.push_back(d.Value(n));
    d.Set(m, keys[n], values[n]);
  }
  d.Set(m, keys[3], values[7]);  // replaces, the key stays
  EXPECT_EQ(d.Int(m, "Count"), 10);
  EXPECT_FALSE(host.Get(m, "Empty").b());
  EXPECT_EQ(d.Get(m, d.Key(3)), values[7]);
  EXPECT_EQ(d.Get(m, keys[4]), values[4]);
  EXPECT_TRUE(d.Call(m, "hasKey(key as {K}) as boolean", {d.Key(5)}));
  EXPECT_EQ(d.Call(m, "CountKey(key as {K}) as integer", {d.Key(5)}), 1u);

  Word absent = d.Key(99), fallback = d.Value(99);
  EXPECT_FALSE(d.Call(m, "hasKey(key as {K}) as boolean", {absent}));
  EXPECT_EQ(d.Call(m, "CountKey(key as {K}) as integer", {absent}), 0u);
  EXPECT_EQ(d.Keep(s.value,
                   d.Call(m, "lookup(key as {K}, defaultvalue as {V}) as {V}", {absent, fallback})),
            fallback);
  EXPECT_EQ(d.Keep(s.value, d.Call(m, "lookup(key as {K}, defaultvalue as {V}) as {V}",
                                   {keys[2], fallback})),
            values[2]);
  EXPECT_EQ(d.Get(m, absent), 0u);
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");

  EXPECT_EQ(d.Call(m, "Remove(key as {K}) as integer", {d.Key(4)}), 1u);
  EXPECT_EQ(d.Call(m, "Remove(key as {K}) as integer", {d.Key(4)}), 0u);
  EXPECT_EQ(d.Int(m, "Count"), 9);
}

// Members whose keys have a case.
class HashMapCaseTest : public HashMapTest {};

TEST_P(HashMapCaseTest, CaseModesCollapseOrKeepKeys) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  Word lower = d.Key(1), upper = d.Key(1, true);
  Word v1 = d.Value(1), v2 = d.Value(2);
  d.Set(m, upper, v1);
  d.Set(m, lower, v2);
  if (s.caseSensitive) {
    EXPECT_EQ(d.Int(m, "Count"), 2);
    EXPECT_EQ(d.Get(m, upper), v1);
  } else {
    EXPECT_EQ(d.Int(m, "Count"), 1);
    EXPECT_EQ(d.KeysByIndex(m), std::vector<Word>{upper});  // the first key stays
    EXPECT_EQ(d.Get(m, upper), v2);                         // the last value wins
  }

  // A Dictionary with keys K and k gives one entry in a case-insensitive map.
  REALobject dict = host.NewDictionary();
  host.ReleaseAtEnd(dict);
  REALstring ks = host.NewString("K"), ls = host.NewString("k");
  REALobject kv = host.NewVariantString(ks), lv = host.NewVariantString(ls);
  REALobject x = host.NewVariantInt32(1), y = host.NewVariantInt32(2);
  host.DictionarySet(dict, kv, x);
  host.DictionarySet(dict, lv, y);
  for (auto r : {standin::W(ks), standin::W(ls), standin::W(kv), standin::W(lv), standin::W(x),
                 standin::W(y)})
    host.Release(r);
  Word fromDict = d.KeepObject(standin::W(host.New(
      s.className, s.Decl("Constructor(dic as dictionary, CaseSensitive as Boolean = true)"),
      {dict, s.caseSensitive})));
  EXPECT_EQ(d.Int(fromDict, "Count"), s.caseSensitive ? 2 : 1);

  // A clone keeps the mode.
  Word clone = d.KeepObject(d.Call(m, "Clone as {C}"));
  EXPECT_EQ(host.Get(clone, "CaseSensitive").b(), s.caseSensitive);
  EXPECT_EQ(d.Int(clone, "Count"), d.Int(m, "Count"));
  EXPECT_EQ(d.Get(clone, d.Key(1, true)), s.caseSensitive ? v1 : v2);
}

TEST_P(HashMapTest, GrowthOrderAndIndexAccess) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 194; ++n) d.Set(m, d.Key(n), d.Value(n));
  EXPECT_EQ(d.Int(m, "BinCount"), 389);
  EXPECT_EQ(d.Int(m, "Count"), 194);

  std::vector<Word> walked = d.Walk(m);
  EXPECT_EQ(walked.size(), 194u);
  EXPECT_EQ(d.KeysByIndex(m), walked);
  EXPECT_EQ(d.KeysArray(m), walked);
  if (s.key == Kind::Integer) {
    // Keys below the bucket count sit in their own buckets, in ascending order.
    for (size_t i = 0; i < walked.size(); ++i) EXPECT_EQ(walked[i], i);
  } else {
    // Buckets ascending by the key's hash, each chain newest first.
    std::vector<std::pair<uint32_t, int>> expected;
    for (int n = 0; n < 194; ++n)
      expected.push_back({ModelHash(s.key, TextOf("k", n, false), n, s.caseSensitive) % 389, -n});
    std::stable_sort(expected.begin(), expected.end());
    std::vector<std::string> names;
    for (Word k : walked) names.push_back(host.Describe(k));
    for (size_t i = 0; i < expected.size(); ++i) {
      std::string want = "\"" + TextOf("k", -expected[i].second, false) + "\"";
      EXPECT_NE(names[i].find(want), std::string::npos) << i << ": " << names[i];
    }
  }

  // Values by index go with keys by index.
  Word values = d.KeepObject(d.Call(m, "Values as {V}()"));
  std::vector<Word> vs = host.Elements(reinterpret_cast<REALarray>(values));
  ASSERT_EQ(vs.size(), walked.size());
  for (size_t i = 0; i < vs.size(); i += 37) EXPECT_EQ(d.Get(m, walked[i]), vs[i]);

  d.Call(m, "Clear");
  EXPECT_EQ(d.Int(m, "BinCount"), 389);
  EXPECT_EQ(d.Int(m, "Count"), 0);
}

TEST_P(HashMapTest, ArrayCacheAndRangeMessages) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  EXPECT_EQ(d.Call(m, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to -1, but value is 0.");
  for (int n = 0; n < 5; ++n) d.Set(m, d.Key(n), d.Value(n));
  Word a1 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  Word a2 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  EXPECT_EQ(a1, a2);
  EXPECT_EQ(d.Call(m, "Key(index as integer) as {K}", {7}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to 4, but value is 7.");
  EXPECT_EQ(d.Call(m, "ValueAtIndex(index as integer) as {V}", {-1}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too small. Range is 0 to 4, but value is -1.");

  // Setting a value through an iterator leaves the cache; the map's own
  // changes drop it.
  Word values = d.KeepObject(d.Call(m, "Values as {V}()"));
  Word it = d.First(m);
  Word firstValue = d.ItValue(it);
  Word fresh = d.Value(50);
  host.Assign(it, s.Decl("Value as {V}"), {}, fresh);
  EXPECT_EQ(d.Get(m, d.ItKey(it)), fresh);
  EXPECT_EQ(d.KeepObject(d.Call(m, "Values as {V}()")), values);
  EXPECT_EQ(host.Elements(reinterpret_cast<REALarray>(values))[0], firstValue);
  d.Call(m, "Remove(key as {K}) as integer", {d.Key(77)});
  EXPECT_NE(d.KeepObject(d.Call(m, "Keys as {K}()")), a1);
  Word a3 = d.KeepObject(d.Call(m, "Keys as {K}()"));
  d.Set(m, d.Key(0), d.Value(0));
  EXPECT_NE(d.KeepObject(d.Call(m, "Keys as {K}()")), a3);

  // AddKeys puts the keys in front of what the array held.
  Word x = d.Key(1000);
  REALarray target = host.NewArray(ArrayType(s.key), {x});
  host.ReleaseAtEnd(target);
  d.Call(m, "AddKeys(targetArray() as {K})", {target});
  std::vector<Word> expected = d.KeysByIndex(m);
  expected.push_back(x);
  EXPECT_EQ(host.Elements(target), expected);
  d.Call(m, "AddValues(targetArray() as {V})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "array is nil");
}

TEST_P(HashMapTest, UninitializedMapsAndFailedConstructors) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word raw = standin::W(host.NewInstance(s.className));
  host.ReleaseAtEnd(raw);
  EXPECT_EQ(d.Int(raw, "Count"), 0);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  EXPECT_EQ(d.Call(raw, "Keys as {K}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Key(index as integer) as {K}", {0}), 0u);
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(d.Call(raw, "CloneDictionary as Dictionary"), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Other map not initialized");
  EXPECT_EQ(d.Call(raw, "Clone as {C}"), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");
  d.Call(raw, "AddKeys(targetArray() as {K})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "array is nil");
  d.Set(raw, d.Key(1), d.Value(1));
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");

  Word m = d.New();
  d.Set(m, d.Key(1), d.Value(1));
  d.Call(m, "Constructor(other as {C})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "Other map is nil");
  EXPECT_EQ(d.Int(m, "Count"), 1);
  d.Call(m, "Constructor(other as {C})", {raw});
  EXPECT_RAISES(host, "NilObjectException", "Other map not initialized");
  EXPECT_EQ(d.Int(m, "Count"), 0);
  EXPECT_RAISES(host, "NilObjectException", "Map not initialized");

  // A copy of a filled map, and a map copied from itself, keep every entry.
  Word src = d.New();
  for (int n = 0; n < 20; ++n) d.Set(src, d.Key(n), d.Value(n));
  d.Call(m, "Constructor(other as {C})", {src});
  EXPECT_EQ(d.Int(m, "Count"), 20);
  d.Call(m, "Constructor(other as {C})", {m});
  EXPECT_EQ(d.Int(m, "Count"), 20);
  EXPECT_EQ(d.Get(m, d.Key(13)), d.Get(src, d.Key(13)));
}

TEST_P(HashMapTest, DictionaryRoundTrip) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  std::vector<Word> keys, values;
  for (int n = 0; n < 12; ++n) {
    keys.push_back(d.Key(n));
    values.push_back(d.Value(n));
    d.Set(m, keys.back(), values.back());
  }
  Word dict = d.KeepObject(d.Call(m, "Operator_Convert as Dictionary"));
  EXPECT_EQ(host.DictionaryCount(reinterpret_cast<REALobject>(dict)), 12);
  std::string ctor = s.HasCaseModes()
                         ? "Constructor(dic as dictionary, CaseSensitive as Boolean = true)"
                         : "Constructor(dic as dictionary)";
  Word back = s.HasCaseModes() ? standin::W(host.New(s.className, ctor, {dict, s.caseSensitive}))
                               : standin::W(host.New(s.className, ctor, {dict}));
  host.ReleaseAtEnd(back);
  EXPECT_EQ(d.Int(back, "Count"), 12);
  for (int n = 0; n < 12; ++n) {
    EXPECT_EQ(Content(host, s.value, d.Get(back, keys[n])), Content(host, s.value, values[n]));
  }
  Word nilDict = s.HasCaseModes()
                     ? standin::W(host.New(s.className, ctor, {nullptr, s.caseSensitive}))
                     : standin::W(host.New(s.className, ctor, {nullptr}));
  host.ReleaseAtEnd(nilDict);
  EXPECT_EQ(d.Int(nilDict, "Count"), 0);
}

TEST_P(HashMapTest, IteratorsWalkFindAndRemove) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 30; ++n) d.Set(m, d.Key(n), d.Value(n));
  std::vector<Word> order = d.KeysByIndex(m);
  EXPECT_EQ(d.Walk(m), order);
  EXPECT_TRUE(d.Equal(d.Find(m, d.Key(99)), d.Last(m)));

  // Remove(pos) takes out exactly that element; the last iterator removes nothing.
  Word at = d.Find(m, order[10]);
  d.Call(m, "Remove(pos as {I})", {at});
  d.Call(m, "Remove(pos as {I})", {d.Last(m)});
  d.Call(m, "Remove(pos as {I})", {nullptr});
  EXPECT_EQ(d.Int(m, "Count"), 29);
  std::vector<Word> expected = order;
  expected.erase(expected.begin() + 10);
  EXPECT_EQ(d.KeysByIndex(m), expected);

  // Remove(first, last) takes the run in iteration order.
  d.Call(m, "Remove(first as {I}, last as {I})", {d.Find(m, expected[3]), d.Find(m, expected[20])});
  expected.erase(expected.begin() + 3, expected.begin() + 20);
  EXPECT_EQ(d.KeysByIndex(m), expected);
  // A run whose last precedes its first, or with a nil end, removes nothing.
  d.Call(m, "Remove(first as {I}, last as {I})", {d.Find(m, expected[5]), d.Find(m, expected[1])});
  d.Call(m, "Remove(first as {I}, last as {I})", {d.Find(m, expected[1]), nullptr});
  EXPECT_EQ(d.KeysByIndex(m), expected);
  d.Call(m, "Remove(first as {I}, last as {I})", {d.Find(m, expected[8]), d.Last(m)});
  expected.resize(8);
  EXPECT_EQ(d.KeysByIndex(m), expected);
  d.Call(m, "Remove(first as {I}, last as {I})", {d.First(m), d.Last(m)});
  EXPECT_EQ(d.Int(m, "Count"), 0);

  // An iterator no map made.
  Word raw = standin::W(host.NewInstance(s.iteratorName));
  host.ReleaseAtEnd(raw);
  d.Next(raw);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(host.Call(raw, s.Decl("Key as {K}")), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(host.Call(raw, s.Decl("Value as {V}")), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_FALSE(d.Equal(raw, d.Last(m)));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(d.Equal(d.Last(m), 0));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_FALSE(host.Call(d.Last(m), s.Decl("isNotEqual(other as {I}) as boolean"), {nullptr}).b());
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
}

// Iterators kept past their element, their table or their map: each use is
// reported and nothing freed is read (the sanitizer build checks the latter).
TEST_P(HashMapTest, StaleAndForeignIteratorsAreSafe) {
  const MemberSpec& s = GetParam();
  TestHost host;
  MapDriver d(host, s);
  Word m = d.New();
  for (int n = 0; n < 8; ++n) d.Set(m, d.Key(n), d.Value(n));
  auto expectGone = [&](Word it) {
    d.Next(it);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    EXPECT_EQ(host.Call(it, s.Decl("Key as {K}")), 0u);
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
    host.Assign(it, s.Decl("Value as {V}"), {}, d.Value(1));
    EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  };

  Word removed = d.Find(m, d.Key(2));
  d.Call(m, "Remove(pos as {I})", {removed});
  expectGone(removed);
  d.Call(m, "Remove(pos as {I})", {removed});
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  EXPECT_EQ(d.Int(m, "Count"), 7);

  Word byKey = d.Find(m, d.Key(3));
  d.Call(m, "Remove(key as {K}) as integer", {d.Key(3)});
  expectGone(byKey);

  Word cleared = d.Find(m, d.Key(4));
  Word endBeforeClear = d.Last(m);
  d.Call(m, "Clear");
  expectGone(cleared);
  EXPECT_TRUE(d.Equal(endBeforeClear, d.Last(m)));  // the table itself lives on

  for (int n = 0; n < 8; ++n) d.Set(m, d.Key(n), d.Value(n));
  Word beforeRebuild = d.Find(m, d.Key(5));
  Word endBeforeRebuild = d.Last(m);
  if (s.HasCaseModes()) {
    d.Call(m, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive});
  } else {
    d.Call(m, "Constructor");
  }
  expectGone(beforeRebuild);
  d.Next(endBeforeRebuild);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");

  // The end position: stepping stays, reading raises.
  Word end = d.Last(m);
  d.Next(end);
  EXPECT_NO_RAISE(host);
  EXPECT_TRUE(d.Equal(end, d.Last(m)));
  EXPECT_EQ(host.Call(end, s.Decl("Key as {K}")), 0u);
  EXPECT_RAISES(host, "KeyNotFoundException", "Key not found");

  // Another map's iterators change nothing here.
  Word other = d.New();
  for (int n = 0; n < 4; ++n) d.Set(other, d.Key(n), d.Value(n));
  d.Set(m, d.Key(1), d.Value(1));
  d.Call(m, "Remove(pos as {I})", {d.Find(other, d.Key(1))});
  d.Call(m, "Remove(first as {I}, last as {I})", {d.First(other), d.Last(other)});
  EXPECT_EQ(d.Int(m, "Count"), 1);
  EXPECT_EQ(d.Int(other, "Count"), 4);

  // A destroyed map.
  Word doomed = standin::W(
      s.HasCaseModes()
          ? host.New(s.className, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive})
          : host.New(s.className, "Constructor"));
  d.Set(doomed, d.Key(1), d.Value(1));
  Word orphan = d.Find(doomed, d.Key(1));
  Word orphanEnd = d.Last(doomed);
  host.Release(doomed);
  expectGone(orphan);
  d.Next(orphanEnd);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
}

std::string ParamName(const ::testing::TestParamInfo<MemberSpec>& info) {
  return info.param.Name();
}

std::vector<MemberSpec> MapsWithCase() {
  std::vector<MemberSpec> out;
  for (const MemberSpec& s : AllMaps())
    if (s.HasCaseModes()) out.push_back(s);
  return out;
}

INSTANTIATE_TEST_SUITE_P(Members, HashMapTest, ::testing::ValuesIn(AllMaps()), ParamName);
INSTANTIATE_TEST_SUITE_P(Members, HashMapCaseTest, ::testing::ValuesIn(MapsWithCase()), ParamName);

}  // namespace
}  // namespace kdt_test
