// The hash set classes as host programs use them, for every member and both
// case modes, plus random call sequences compared with the table model.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "containers/HashTableModel.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

using standin::Arg;
using standin::TestHost;

MemberSpec Set(const char* name, Kind k, const char* word, bool cs) {
  return MemberSpec{std::string(name) + "HashSetKDT",
                    std::string(name) + "HashSetIteratorKDT",
                    k,
                    k,
                    word,
                    word,
                    cs};
}

std::vector<MemberSpec> AllSets() {
  std::vector<MemberSpec> out;
  for (bool cs : {true, false}) {
    out.push_back(Set("String", Kind::String, "string", cs));
    out.push_back(Set("Text", Kind::Text, "Text", cs));
    out.push_back(Set("Variant", Kind::Variant, "variant", cs));
  }
  out.push_back(Set("Integer", Kind::Integer, "integer", true));
  return out;
}

class SetDriver {
 public:
  SetDriver(TestHost& host, const MemberSpec& spec) : h(host), s(spec) {}

  Word New() {
    Word set = standin::W(
        s.HasCaseModes()
            ? h.New(s.className, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive})
            : h.New(s.className, "Constructor"));
    h.ReleaseAtEnd(set);
    return set;
  }
  Word Key(int n, bool upper = false) { return Make(h, s.key, "k", n, upper); }
  Word Keep(Kind k, Word w) {
    if (k != Kind::Integer && w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word Call(Word set, const std::string& pattern, std::initializer_list<Arg> args = {}) {
    return h.Call(set, s.Decl(pattern), args);
  }
  void Insert(Word set, Word k) { Call(set, "insert(key as {K})", {k}); }
  int32_t Count(Word set) { return h.Get(set, "Count").i(); }
  Word It(Word w) { return Keep(Kind::Variant, w); }
  bool Equal(Word a, Word b) { return Call(a, "isEqual(other as {I}) as boolean", {b}) != 0; }
  std::vector<Word> KeysByIndex(Word set) {
    std::vector<Word> out;
    for (int32_t i = 0, n = Count(set); i < n; ++i)
      out.push_back(Keep(s.key, Call(set, "Key(index as integer) as {K}", {i})));
    return out;
  }
  std::vector<Word> Walk(Word set) {
    std::vector<Word> out;
    Word it = It(Call(set, "first as {I}")), end = It(Call(set, "last as {I}"));
    while (!Equal(it, end) && out.size() < 100000) {
      out.push_back(Keep(s.key, h.Call(it, s.Decl("Key as {K}"))));
      h.Call(it, "MoveNext");
    }
    return out;
  }

  TestHost& h;
  const MemberSpec& s;
};

class HashSetTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(HashSetTest, MembershipOrderAndCache) {
  const MemberSpec& s = GetParam();
  TestHost host;
  SetDriver d(host, s);
  Word set = d.New();
  EXPECT_EQ(d.Count(set), 0);
  EXPECT_EQ(host.Get(set, "BinCount").i(), 193);
  EXPECT_EQ(host.Get(set, "MaxSize").i(), -1);
  EXPECT_TRUE(host.Get(set, "Empty").b());

  Word first = d.Key(1, true);
  d.Insert(set, first);
  d.Insert(set, d.Key(1, true));
  if (s.HasCaseModes()) d.Insert(set, d.Key(1));
  EXPECT_EQ(d.Count(set), s.HasCaseModes() && s.caseSensitive ? 2 : 1);
  if (!s.caseSensitive) {
    EXPECT_EQ(d.KeysByIndex(set), std::vector<Word>{first});
  }
  EXPECT_EQ(d.Call(set, "lookup(key as {K}) as boolean", {d.Key(1, true)}), 1u);
  EXPECT_EQ(d.Call(set, "CountKey(key as {K}) as integer", {d.Key(7)}), 0u);

  for (int n = 2; n < 195; ++n) d.Insert(set, d.Key(n));
  EXPECT_EQ(host.Get(set, "BinCount").i(), 389);
  std::vector<Word> order = d.KeysByIndex(set);
  EXPECT_EQ(d.Walk(set), order);
  Word keys = d.It(d.Call(set, "Keys as {K}()"));
  EXPECT_EQ(host.Elements(reinterpret_cast<REALarray>(keys)), order);
  EXPECT_EQ(d.It(d.Call(set, "Keys as {K}()")), keys);
  EXPECT_EQ(d.Call(set, "Key(index as integer) as {K}", {static_cast<int32_t>(order.size())}), 0u);
  EXPECT_RAISES(host, "OutOfBoundsException",
                "Parameter index  is too big. Range is 0 to " + std::to_string(order.size() - 1) +
                    ", but value is " + std::to_string(order.size()) + ".");
  d.Insert(set, d.Key(3));  // present already, but the cache is dropped
  EXPECT_NE(d.It(d.Call(set, "Keys as {K}()")), keys);

  EXPECT_EQ(d.Call(set, "Remove(key as {K}) as integer", {d.Key(3)}), 1u);
  EXPECT_EQ(d.Call(set, "Remove(key as {K}) as integer", {d.Key(3)}), 0u);
  d.Call(set, "Remove(first as {I}, last as {I})",
         {d.It(d.Call(set, "first as {I}")), d.It(d.Call(set, "last as {I}"))});
  EXPECT_EQ(d.Count(set), 0);
  EXPECT_EQ(host.Get(set, "BinCount").i(), 389);
}

TEST_P(HashSetTest, ArrayConstructorsAndUninitializedSets) {
  const MemberSpec& s = GetParam();
  TestHost host;
  SetDriver d(host, s);
  std::string fromArray = s.Decl("Constructor(Keys() as {K})");
  REALarray three = host.NewArray(ArrayType(s.key), {d.Key(1), d.Key(2), d.Key(1)});
  host.ReleaseAtEnd(three);
  Word set = standin::W(host.New(s.className, fromArray, {three}));
  host.ReleaseAtEnd(set);
  EXPECT_EQ(d.Count(set), 2);
  if (s.HasCaseModes()) {
    // Sets built from arrays compare case-sensitively.
    EXPECT_TRUE(host.Get(set, "CaseSensitive").b());
    REALarray mixed = host.NewArray(ArrayType(s.key), {d.Key(5), d.Key(5, true)});
    host.ReleaseAtEnd(mixed);
    d.Call(set, "Constructor(Keys() as {K})", {mixed});
    EXPECT_EQ(d.Count(set), 2);
  }
  d.Call(set, "Constructor(Keys() as {K})", {nullptr});
  EXPECT_RAISES(host, "NilObjectException", "values array is nil");
  EXPECT_EQ(d.Count(set), 2);  // unchanged
  REALarray empty = host.NewArray(ArrayType(s.key));
  host.ReleaseAtEnd(empty);
  d.Call(set, "Constructor(Keys() as {K})", {empty});
  EXPECT_EQ(d.Count(set), 0);
  EXPECT_NO_RAISE(host);

  Word raw = standin::W(host.NewInstance(s.className));
  host.ReleaseAtEnd(raw);
  EXPECT_EQ(d.Count(raw), 0);
  EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  d.Insert(raw, d.Key(1));
  EXPECT_RAISES(host, "NilObjectException", "Set not initialized");
  EXPECT_EQ(d.Call(raw, "Keys as {K}()"), 0u);
  EXPECT_EQ(d.Call(raw, "Key(index as integer) as {K}", {0}), 0u);
  d.Call(raw, "Remove(pos as {I})", {d.It(d.Call(set, "last as {I}"))});
  d.Call(raw, "Remove(first as {I}, last as {I})", {nullptr, nullptr});
  EXPECT_NO_RAISE(host);
}

TEST_P(HashSetTest, IteratorMisuseIsReported) {
  const MemberSpec& s = GetParam();
  TestHost host;
  SetDriver d(host, s);
  Word set = d.New();
  for (int n = 0; n < 6; ++n) d.Insert(set, d.Key(n));
  Word raw = standin::W(host.NewInstance(s.iteratorName));
  host.ReleaseAtEnd(raw);
  host.Call(raw, "MoveNext");
  EXPECT_NO_RAISE(host);
  EXPECT_EQ(host.Call(raw, s.Decl("Key as {K}")), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  Word end = d.It(d.Call(set, "last as {I}"));
  EXPECT_FALSE(d.Equal(end, 0));
  EXPECT_RAISES(host, "NilObjectException", "other iterator is nil");
  EXPECT_EQ(d.Call(end, "isNotEqual(other as {I}) as boolean", {0}), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator is nil");
  EXPECT_EQ(d.Call(raw, "isNotEqual(other as {I}) as boolean", {end}), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator is nil");

  // Stale positions: a removed element, a cleared set, a destroyed set.
  Word gone = d.It(d.Call(set, "find(key as {K}) as {I}", {d.Key(2)}));
  d.Call(set, "Remove(pos as {I})", {gone});
  EXPECT_EQ(d.Count(set), 5);
  host.Call(gone, "MoveNext");
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  d.Call(set, "Remove(pos as {I})", {gone});
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
  Word cleared = d.It(d.Call(set, "first as {I}"));
  d.Call(set, "Clear");
  EXPECT_EQ(host.Call(cleared, s.Decl("Key as {K}")), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");

  Word doomed = standin::W(
      s.HasCaseModes()
          ? host.New(s.className, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive})
          : host.New(s.className, "Constructor"));
  d.Insert(doomed, d.Key(1));
  Word orphan = d.It(d.Call(doomed, "first as {I}"));
  host.Release(doomed);
  EXPECT_EQ(host.Call(orphan, s.Decl("Key as {K}")), 0u);
  EXPECT_RAISES(host, "NilObjectException", "Iterator not initialized");
}

TEST_P(HashSetTest, RandomSequencesMatchTheModel) {
  const MemberSpec& s = GetParam();
  TestHost host;
  SetDriver d(host, s);
  std::mt19937 random(777);
  TableModel model(s.caseSensitive);
  Word set = d.New();
  for (int step = 0; step < 600; ++step) {
    int n = static_cast<int>(random() % 300);
    bool upper = s.HasCaseModes() && random() % 4 == 0;
    ModelEntry e;
    e.number = s.key == Kind::Integer ? n * 5 - 200 : n;
    e.name = s.key == Kind::Integer ? "" : TextOf("k", n, upper);
    e.key = d.Key(e.number, upper);
    e.hash = ModelHash(s.key, e.name, e.number, s.caseSensitive);
    e.value = 0;
    switch (random() % 8) {
      case 0:
      case 1:
      case 2:
      case 3:
        d.Insert(set, e.key);
        model.Set(e);
        break;
      case 4: {
        bool had = model.Remove(e);
        ASSERT_EQ(d.Call(set, "Remove(key as {K}) as integer", {e.key}), had ? 1u : 0u);
        break;
      }
      case 5: {
        bool present = model.Find(e) != nullptr;
        ASSERT_EQ(d.Call(set, "lookup(key as {K}) as boolean", {e.key}), present ? 1u : 0u);
        if (present) {
          d.Call(set, "Remove(pos as {I})",
                 {d.It(d.Call(set, "find(key as {K}) as {I}", {e.key}))});
          model.Remove(e);
        }
        break;
      }
      default: {
        std::vector<ModelEntry> order = model.Order();
        std::vector<Word> got = d.KeysByIndex(set);
        ASSERT_EQ(got.size(), order.size());
        for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], order[i].key) << i;
        ASSERT_EQ(host.Get(set, "BinCount").i(), static_cast<int32_t>(model.bucket_count()));
        break;
      }
    }
    ASSERT_FALSE(host.ExceptionPending()) << "step " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Members, HashSetTest, ::testing::ValuesIn(AllSets()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

// Variant sets built from String arrays hold Variants of those Strings.
TEST(VariantHashSet, BuiltFromStringsFindsVariantsOfEqualStrings) {
  TestHost host;
  REALstring a = host.NewString("alpha"), b = host.NewString("beta");
  REALarray strings =
      host.NewArray(kdt::kArrayTypeString, {standin::W(a), standin::W(b), standin::W(a)});
  REALobject set = host.New("VariantHashSetKDT", "Constructor(Keys() as string)", {strings});
  EXPECT_EQ(host.Get(set, "Count").i(), 2);
  REALstring probeText = host.NewString("beta");
  REALobject probe = host.NewVariantString(probeText);
  EXPECT_TRUE(host.Call(set, "lookup(key as variant) as boolean", {probe}).b());
  for (auto w : {standin::W(a), standin::W(b), standin::W(strings), standin::W(set),
                 standin::W(probeText), standin::W(probe)})
    host.Release(w);
}

}  // namespace
}  // namespace kdt_test
