// Memory exhaustion as a host program meets it: every allocating method of
// one member per family and key kind runs with its 1st, 2nd, 3rd ...
// allocation failing until it completes.  Each failure must raise
// OutOfMemoryException, return nothing, leak no host value, and leave the
// container as it was.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

using standin::Arg;
using standin::TestHost;
using standin::W;

constexpr char kOutOfMemory[] = "OutOfMemoryException";
constexpr char kOutOfMemoryMessage[] = "Failed to allocate memory.";

struct Member {
  MemberSpec spec;
  bool isMap;
  bool ordered;
};

std::vector<Member> Members() {
  return {
      {{"StringToStringHashMapKDT", "StringToStringHashMapIteratorKDT", Kind::String, Kind::String,
        "string", "string"},
       true,
       false},
      {{"IntegerToTextOrderedMapKDT", "IntegerToTextOrderedMapIteratorKDT", Kind::Integer,
        Kind::Text, "integer", "Text"},
       true,
       true},
      {{"VariantHashSetKDT", "VariantHashSetIteratorKDT", Kind::Variant, Kind::Variant, "variant",
        "variant"},
       false,
       false},
      {{"TextOrderedSetKDT", "TextOrderedSetIteratorKDT", Kind::Text, Kind::Text, "Text", "Text"},
       false,
       true},
      {{"StringOrderedSetKDT", "StringOrderedSetIteratorKDT", Kind::String, Kind::String, "string",
        "string", false},
       false,
       true},
      {{"StringToStringOrderedMapKDT", "StringToStringOrderedMapIteratorKDT", Kind::String,
        Kind::String, "string", "string", false},
       true,
       true},
  };
}

class Driver {
 public:
  Driver(TestHost& host, const Member& m) : h(host), m_(m), s(m.spec) {}

  // Arguments are made once, so that a call's own host values can be counted.
  Word Key(int n) {
    return Memo(keys_, n, [&] { return Make(h, s.key, "k", n); });
  }
  Word Val(int n) {
    return Memo(values_, n, [&] { return Make(h, s.value, "v", n); });
  }
  Word Array(Kind k) {
    return Memo(arrays_, static_cast<int>(k), [&] {
      std::vector<Word> elements;
      for (int i = 1; i <= 5; ++i) elements.push_back(Make(h, k, "k", i));
      Word a = W(h.NewArray(ArrayType(k), elements));
      h.ReleaseAtEnd(a);
      return a;
    });
  }
  Word Dictionary() {
    return Memo(arrays_, -1, [&] {
      REALobject dict = h.NewDictionary();
      h.ReleaseAtEnd(dict);
      for (int i = 1; i <= 5; ++i) {
        REALobject key = AsVariant(s.key, "k", i), value = AsVariant(s.value, "v", i);
        h.DictionarySet(dict, key, value);
        h.Release(key);
        h.Release(value);
      }
      return W(dict);
    });
  }
  REALobject AsVariant(Kind k, const char* prefix, int n) {
    if (k == Kind::Integer) return h.NewVariantInt32(n);
    if (k == Kind::Text) {
      REALtext t = h.NewText(TextOf(prefix, n, false));
      REALobject v = h.NewVariantText(t);
      h.Release(t);
      return v;
    }
    REALstring str = h.NewString(TextOf(prefix, n, false));
    REALobject v = h.NewVariantString(str);
    h.Release(str);
    return v;
  }
  std::string Decl(const char* pattern) const { return s.Decl(pattern); }
  std::string Show(Kind k, Word w) const {
    switch (k) {
      case Kind::Integer:
        return std::to_string(static_cast<int32_t>(w));
      case Kind::String:
        return h.StringUTF8(reinterpret_cast<REALstring>(static_cast<uintptr_t>(w)));
      case Kind::Text:
        return h.TextUTF8(reinterpret_cast<REALtext>(static_cast<uintptr_t>(w)));
      case Kind::Variant:
        return h.Describe(w);
    }
    return "";
  }
  void Drop(Word w) {
    if (w != 0 && h.IsHostValue(w)) h.Release(w);
  }
  void Put(Word c, int n) {
    if (m_.isMap)
      h.Assign(c, Decl("value(key as {K}) as {V}"), {Key(n)}, Val(n));
    else
      h.Call(c, Decl("insert(key as {K})"), {Key(n)});
  }
  std::string Constructor() const {
    return s.HasCaseModes() ? "Constructor(CaseSensitive as Boolean = true)" : "Constructor";
  }
  Word Construct(Word c) {
    if (!s.HasCaseModes()) return h.Call(c, "Constructor");
    return h.Call(c, Constructor(), {s.caseSensitive});
  }
  // A container holding keys 1 .. n; hash containers are filled to their
  // bucket count, so that the next insertion grows the table.
  Word Filled(int n) {
    Word c = W(h.NewInstance(s.className));
    Construct(c);
    if (!m_.ordered) n = h.Get(c, "BinCount").i();
    for (int i = 1; i <= n; ++i) Put(c, i);
    count_ = n;
    Key(n + 1), Val(n + 1), Array(s.key), Array(s.value), Array(Kind::String), Dictionary();
    return c;
  }
  // Count agrees with a walk from first to last, and every key is there with
  // its value.
  void ExpectIntact(Word c, int n) {
    EXPECT_EQ(h.Get(c, "Count").i(), n);
    Word it = W(h.Call(c, Decl("first as {I}")));
    Word end = W(h.Call(c, Decl("last as {I}")));
    int walked = 0;
    while (walked <= n && h.Call(it, Decl("isNotEqual(other as {I}) as boolean"), {end}).b()) {
      h.Call(it, "MoveNext");
      ++walked;
    }
    EXPECT_EQ(walked, n);
    h.Release(it);
    h.Release(end);
    for (int i = 1; i <= n; ++i) {
      EXPECT_EQ(h.Call(c, Decl("CountKey(key as {K}) as integer"), {Key(i)}).i(), 1) << i;
      if (!m_.isMap) continue;
      Word v = h.Call(c, Decl("value(key as {K}) as {V}"), {Key(i)});
      EXPECT_EQ(Show(s.value, v), Show(s.value, Val(i))) << i;
      if (s.value != Kind::Integer) Drop(v);
    }
    EXPECT_NO_RAISE(h);
  }

  TestHost& h;
  const Member& m_;
  const MemberSpec& s;
  int count_ = 0;

  // The reference counts of every key and value the test made.
  std::vector<int32_t> References() const {
    std::vector<int32_t> out;
    for (const auto* memo : {&keys_, &values_})
      for (const auto& kv : *memo) out.push_back(h.RefCount(kv.second));
    return out;
  }

 private:
  template <class F>
  static Word Memo(std::map<int, Word>& memo, int n, F make) {
    auto it = memo.find(n);
    return it != memo.end() ? it->second : memo.emplace(n, make()).first->second;
  }
  std::map<int, Word> keys_, values_, arrays_;
};

// One call under test: on the container `c` (holding keys 1 .. count), or on
// a fresh instance when `constructs`; returns the result word.
struct Case {
  const char* name;
  bool maps, sets, hashed, ordered;
  bool constructs;
  std::function<Word(Driver&, Word c, Word fresh)> call;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"Constructor", true, true, true, true, true,
       [](Driver& d, Word, Word f) { return d.Construct(f); }},
      {"Constructor(dic)", true, false, true, true, true,
       [](Driver& d, Word, Word f) {
         std::string decl = d.s.HasCaseModes()
                                ? "Constructor(dic as dictionary, CaseSensitive as Boolean = true)"
                                : "Constructor(dic as dictionary)";
         if (!d.s.HasCaseModes()) return d.h.Call(f, decl, {d.Dictionary()}).word;
         return d.h.Call(f, decl, {d.Dictionary(), d.s.caseSensitive}).word;
       }},
      {"Constructor(other)", true, false, true, true, true,
       [](Driver& d, Word c, Word f) {
         return d.h.Call(f, d.Decl("Constructor(other as {C})"), {c}).word;
       }},
      {"Constructor(Keys())", false, true, true, true, true,
       [](Driver& d, Word, Word f) {
         return d.h.Call(f, d.Decl("Constructor(Keys() as {K})"), {d.Array(d.s.key)}).word;
       }},
      {"Constructor(Keys() as string)", false, true, true, true, true,
       [](Driver& d, Word, Word f) {
         if (d.s.key != Kind::Variant) return Word{0};
         return d.h.Call(f, "Constructor(Keys() as string)", {d.Array(Kind::String)}).word;
       }},
      {"value =", true, false, true, true, false,
       [](Driver& d, Word c, Word) {
         d.h.Assign(c, d.Decl("value(key as {K}) as {V}"), {d.Key(d.count_ + 1)},
                    d.Val(d.count_ + 1));
         return Word{0};
       }},
      {"insert", false, true, true, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("insert(key as {K})"), {d.Key(d.count_ + 1)}).word;
       }},
      {"Clone", true, false, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, d.Decl("Clone as {C}")).word; }},
      {"CloneDictionary", true, false, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, "CloneDictionary as Dictionary").word; }},
      {"Operator_Convert", true, false, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, "Operator_Convert as Dictionary").word; }},
      {"Keys", true, true, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, d.Decl("Keys as {K}()")).word; }},
      {"Values", true, false, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, d.Decl("Values as {V}()")).word; }},
      {"Key(index)", true, true, true, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("Key(index as integer) as {K}"), {2}).word;
       }},
      {"ValueAtIndex", true, false, true, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("ValueAtIndex(index as integer) as {V}"), {2}).word;
       }},
      {"AddKeys", true, false, true, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("AddKeys(targetArray() as {K})"), {d.Array(d.s.key)}).word;
       }},
      {"AddValues", true, false, true, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("AddValues(targetArray() as {V})"), {d.Array(d.s.value)}).word;
       }},
      {"first", true, true, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, d.Decl("first as {I}")).word; }},
      {"last", true, true, true, true, false,
       [](Driver& d, Word c, Word) { return d.h.Call(c, d.Decl("last as {I}")).word; }},
      {"find", true, true, true, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("find(key as {K}) as {I}"), {d.Key(2)}).word;
       }},
      {"LowerBound", true, true, false, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("LowerBound(key as {K}) as {I}"), {d.Key(2)}).word;
       }},
      {"UpperBound", true, true, false, true, false,
       [](Driver& d, Word c, Word) {
         return d.h.Call(c, d.Decl("UpperBound(key as {K}) as {I}"), {d.Key(2)}).word;
       }},
  };
  return cases;
}

bool Applies(const Case& c, const Member& m) {
  return (m.isMap ? c.maps : c.sets) && (m.ordered ? c.ordered : c.hashed);
}

// Runs the case with the 1st, 2nd, ... library allocation failing until it
// completes; returns how many failures it survived.
int RunUntilDone(Driver& d, const Case& c, Word container) {
  for (int k = 1; k < 400; ++k) {
    const size_t live = d.h.LiveCount();
    const std::vector<int32_t> references = d.References();
    Word fresh = c.constructs ? W(d.h.NewInstance(d.s.className)) : 0;
    Host::FailLibraryAllocation(static_cast<uint64_t>(k));
    Word r = c.call(d, container, fresh);
    const bool failed = Host::LibraryAllocationFailed();
    Host::FailLibraryAllocation(0);
    if (!failed) {
      EXPECT_NO_RAISE(d.h);
      d.count_ = d.h.Get(container, "Count").i();
      d.Drop(r);
      d.Drop(fresh);
      return k - 1;
    }
    SCOPED_TRACE(std::string(c.name) + " failing allocation " + std::to_string(k));
    EXPECT_RAISES(d.h, kOutOfMemory, kOutOfMemoryMessage);
    EXPECT_EQ(r, 0u);
    d.Drop(fresh);
    EXPECT_EQ(d.h.LiveCount(), live) << "host values leaked or released";
    EXPECT_EQ(d.References(), references) << "keys or values locked or released";
    d.ExpectIntact(container, d.count_);
  }
  ADD_FAILURE() << c.name << " never completed";
  return 0;
}

void PrintTo(const Member& m, std::ostream* os) {
  *os << m.spec.className;
}

class AllocationFailure : public ::testing::TestWithParam<Member> {};

TEST_P(AllocationFailure, EveryAllocatingMethodFailsCleanly) {
  if (!Host::CanFailLibraryAllocations()) GTEST_SKIP() << "no allocation failures in this build";
  TestHost host;
  Driver d(host, GetParam());
  Word container = d.Filled(6);
  d.ExpectIntact(container, d.count_);
  int survived = 0;
  for (const Case& c : Cases()) {
    if (!Applies(c, GetParam())) continue;
    survived += RunUntilDone(d, c, container);
  }
  // The injection really reaches the library's allocations.
  EXPECT_GT(survived, 5);
  host.Release(container);
}

INSTANTIATE_TEST_SUITE_P(Families, AllocationFailure, ::testing::ValuesIn(Members()),
                         [](const auto& info) { return info.param.spec.Name(); });

// The first allocation of a thread fails in a constructor, and every one
// after it too, as when memory runs out: the host gets its exception.
TEST(AllocationFailureTest, FirstFailureOfAFreshThreadRaises) {
  if (!Host::CanFailLibraryAllocations()) GTEST_SKIP() << "no allocation failures in this build";
  TestHost host;
  REALobject map = host.NewInstance("IntegerToIntegerHashMapKDT");
  std::thread([&] {
    Host::FailLibraryAllocation(1, true);
    host.Call(map, "Constructor");
    EXPECT_TRUE(Host::LibraryAllocationFailed());
    Host::FailLibraryAllocation(0);
    // The host delivers the exception to the thread that made the call.
    EXPECT_RAISES(host, kOutOfMemory, kOutOfMemoryMessage);
  }).join();
  host.Release(map);
}

}  // namespace
}  // namespace kdt_test
