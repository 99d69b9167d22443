// Variant keys of mixed types in the Variant-keyed ordered map and set, both
// case modes: Integers, Strings and Doubles interleaved, NaNs, an Int64 beside
// an Int32 of the same number, Strings differing in case, and second Variant
// objects equal to keys already held.  Variants of different types have no
// order of value, so every present key must still be found, once, through
// every keyed call, in the container and in its copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "soak/SoakDriver.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

using standin::TestHost;

// A Variant the program passes, and which key (class of equal Variants) it is.
struct Probe {
  Word v;
  size_t key;
};

struct Keys {
  std::vector<Probe> probes;  // in insertion order
  std::vector<Word> held;     // per key: the Variant inserted first
};

// Keys of each type: enough for a tree several levels deep.
constexpr int kPerType = 60;

Keys MakeKeys(TestHost& host, bool caseSensitive) {
  Keys k;
  auto add = [&](REALobject v, size_t key) {
    host.ReleaseAtEnd(v);
    if (key == k.held.size()) k.held.push_back(standin::W(v));
    k.probes.push_back({standin::W(v), key});
    return key;
  };
  auto fresh = [&] { return k.held.size(); };
  auto str = [&](const std::string& text) {
    REALstring s = host.NewString(text);
    REALobject v = host.NewVariantString(s);
    host.Release(s);
    return v;
  };
  std::vector<size_t> ints, strings, doubles;
  for (int i = 0; i < kPerType; ++i) {
    ints.push_back(add(host.NewVariantInt32(i), fresh()));
    strings.push_back(add(str("s" + std::to_string(i)), fresh()));
    doubles.push_back(add(host.NewVariantDouble(i + 0.5), fresh()));
  }
  add(host.NewVariantInt64(5), fresh());
  add(str("S7"), caseSensitive ? fresh() : strings[7]);
  size_t zero = add(host.NewVariantDouble(0.0), fresh());
  add(host.NewVariantDouble(-0.0), zero);
  REALobject nan = host.NewVariantDouble(std::numeric_limits<double>::quiet_NaN());
  size_t first = add(nan, fresh());
  add(host.NewVariantDouble(std::numeric_limits<double>::quiet_NaN()), fresh());
  k.probes.push_back({standin::W(nan), first});  // the same NaN object again: the same key
  for (int i = 3; i < kPerType; i += 10) {
    add(host.NewVariantInt32(i), ints[i]);
    add(str("s" + std::to_string(i)), strings[i]);
    add(host.NewVariantDouble(i + 0.5), doubles[i]);
  }
  return k;
}

// The calls the test makes, with every returned reference released at the end.
struct Calls {
  TestHost& h;
  const MemberSpec& s;
  bool isSet;

  Word Keep(Word w) {
    if (w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word Raw() { return Keep(standin::W(h.NewInstance(s.className))); }
  Word Call(Word c, const std::string& pattern, std::initializer_list<standin::Arg> args = {}) {
    return h.Call(c, s.Decl(pattern), args);
  }
  Word It(Word c, const std::string& pattern, std::initializer_list<standin::Arg> args = {}) {
    return Keep(Call(c, pattern, args));
  }
  bool Equal(Word a, Word b) { return Call(a, "isEqual(other as {I}) as boolean", {b}) != 0; }
  Word ItKey(Word it) { return Keep(Call(it, "Key as {K}")); }
  std::vector<Word> Walk(Word c) {
    std::vector<Word> keys;
    Word it = It(c, "first as {I}"), end = It(c, "last as {I}");
    for (; !Equal(it, end) && keys.size() < 100000; h.Call(it, "MoveNext"))
      keys.push_back(ItKey(it));
    return keys;
  }
};

class OrderedVariantKeysTest : public ::testing::TestWithParam<MemberSpec> {
 protected:
  // Every key of `alive` is held exactly once and found by every keyed call
  // through every Variant equal to it; the others are found by none.
  void ExpectHeld(Calls& d, Word c, const Keys& k, const std::vector<bool>& alive,
                  const std::string& what) {
    SCOPED_TRACE(what);
    const std::vector<Word> order = d.Walk(c);
    std::vector<Word> walk = order, expected;
    for (size_t i = 0; i < k.held.size(); ++i)
      if (alive[i]) expected.push_back(k.held[i]);
    EXPECT_EQ(host().Get(c, "Count").i(), static_cast<int32_t>(walk.size()));
    std::map<Word, size_t> at;
    for (size_t i = 0; i < walk.size(); ++i) at[walk[i]] = i;
    std::sort(walk.begin(), walk.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(walk, expected);
    for (const Probe& p : k.probes) {
      const Word held = k.held[p.key];
      const bool in = alive[p.key];
      ASSERT_EQ(d.Call(c, "CountKey(key as {K}) as integer", {p.v}), in ? 1u : 0u)
          << host().Describe(p.v);
      if (!in) continue;
      EXPECT_EQ(d.ItKey(d.It(c, "find(key as {K}) as {I}", {p.v})), held);
      EXPECT_EQ(d.ItKey(d.It(c, "LowerBound(key as {K}) as {I}", {p.v})), held);
      Word upper = d.It(c, "UpperBound(key as {K}) as {I}", {p.v});
      if (at[held] + 1 == order.size())
        EXPECT_TRUE(d.Equal(upper, d.It(c, "last as {I}")));
      else
        EXPECT_EQ(d.ItKey(upper), order[at[held] + 1]);
      if (d.isSet) {
        EXPECT_EQ(d.Call(c, "lookup(key as {K}) as boolean", {p.v}), 1u);
      } else {
        EXPECT_EQ(d.Call(c, "hasKey(key as {K}) as boolean", {p.v}), 1u);
        EXPECT_EQ(d.It(c, "value(key as {K}) as {V}", {p.v}), held);
        EXPECT_EQ(d.It(c, "lookup(key as {K}, defaultvalue as {V}) as {V}", {p.v, nullptr}), held);
      }
    }
    EXPECT_NO_RAISE(host());
  }
  TestHost& host() { return *host_; }
  TestHost* host_ = nullptr;
};

TEST_P(OrderedVariantKeysTest, EveryKeyIsFoundOnceAndRemovedOnce) {
  const MemberSpec& s = GetParam();
  TestHost host;
  host_ = &host;
  Calls d{host, s, s.valueWord.empty()};
  Keys k = MakeKeys(host, s.caseSensitive);
  std::vector<bool> alive(k.held.size(), true);
  Word c = d.Raw();
  host.Call(c, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive});
  for (const Probe& p : k.probes) {  // a map's value: the key held
    if (d.isSet)
      d.Call(c, "insert(key as {K})", {p.v});
    else
      host.Assign(c, s.Decl("value(key as {K}) as {V}"), {p.v}, k.held[p.key]);
  }
  ExpectHeld(d, c, k, alive, "filled");

  // Copies, and containers built from a Dictionary or an array of the keys.
  std::vector<std::pair<std::string, Word>> copies;
  if (d.isSet) {
    if (s.caseSensitive) {  // the array constructor builds a case-sensitive set
      std::vector<Word> all;
      for (const Probe& p : k.probes) all.push_back(p.v);
      REALarray array = host.NewArray(kdt::kArrayTypeObject, all);
      host.ReleaseAtEnd(array);
      Word fromArray = d.Raw();
      host.Call(fromArray, "Constructor(Keys() as variant)", {array});
      copies.push_back({"array", fromArray});
    }
  } else {
    copies.push_back({"Clone", d.Keep(d.Call(c, "Clone as {C}"))});
    Word other = d.Raw();
    d.Call(other, "Constructor(other as {C})", {c});
    copies.push_back({"Constructor(other)", other});
    Word dict = d.Keep(d.Call(c, "CloneDictionary as Dictionary"));
    Word fromDictionary = d.Raw();
    host.Call(fromDictionary, "Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
              {dict, s.caseSensitive});
    copies.push_back({"Dictionary", fromDictionary});
  }
  for (const auto& [what, copy] : copies) ExpectHeld(d, copy, k, alive, what);

  // Remove by position, by range and by key; the rest stays found.
  Word it = d.It(c, "first as {I}");
  Word gone = d.ItKey(it);
  d.Call(c, "Remove(pos as {I})", {it});
  std::vector<Word> removed{gone};
  Word from = d.It(c, "first as {I}"), to = d.It(c, "first as {I}");
  for (int i = 0; i < 10; ++i) {
    removed.push_back(d.ItKey(to));
    host.Call(to, "MoveNext");
  }
  d.Call(c, "Remove(first as {I}, last as {I})", {from, to});
  for (size_t i = 0; i < k.held.size(); ++i)
    if (std::find(removed.begin(), removed.end(), k.held[i]) != removed.end()) alive[i] = false;
  ExpectHeld(d, c, k, alive, "after Remove by position and range");
  std::vector<Word> lastEqual(k.held.size());
  for (const Probe& p : k.probes) lastEqual[p.key] = p.v;
  for (size_t key = 0; key < k.held.size(); ++key) {
    if (!alive[key]) continue;
    EXPECT_EQ(d.Call(c, "Remove(key as {K}) as integer", {lastEqual[key]}), 1u)
        << host.Describe(k.held[key]);
    EXPECT_EQ(d.Call(c, "Remove(key as {K}) as integer", {k.held[key]}), 0u)
        << host.Describe(k.held[key]);
    alive[key] = false;
    if (key % 60 == 0) ExpectHeld(d, c, k, alive, "removing by key");
  }
  ExpectHeld(d, c, k, alive, "all removed");
}

std::vector<MemberSpec> VariantKeyed() {
  std::vector<MemberSpec> out;
  for (const Member& m : AllMembers())
    if (!m.hash && m.spec.key == Kind::Variant) out.push_back(m.spec);
  return out;
}

INSTANTIATE_TEST_SUITE_P(Members, OrderedVariantKeysTest, ::testing::ValuesIn(VariantKeyed()),
                         [](const auto& info) { return info.param.Name(); });

}  // namespace
}  // namespace kdt_test
