// Memory exhaustion as a host program meets it: every allocating method of
// one member per family and key kind runs with its 1st, 2nd, 3rd ...
// allocation failing until it completes.  Each failure must raise
// OutOfMemoryException, return nothing, leak no host value, and leave the
// container as it was.
#include <gtest/gtest.h>

#include <cstring>
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

// One member per family and key kind; the last two in their other case mode.
std::vector<Member> Members() {
  std::vector<Member> out;
  for (const Member& m : AllMembers())
    for (const char* pick :
         {"StringToStringHashMapS", "IntegerToTextOrderedMapS", "VariantHashSetS",
          "TextOrderedSetS", "StringOrderedSetI", "StringToStringOrderedMapI"})
      if (m.spec.Name() == pick) out.push_back(m);
  return out;
}

class Driver {
 public:
  Driver(TestHost& host, const Member& m) : h(host), m_(m), s(m.spec) {}

  // Arguments are made once, so that a call's own host values can be counted.
  Word Key(int n) {
    return Memo(n, [&] { return Make(h, s.key, "k", n); });
  }
  Word Val(int n) {
    return Memo(-n, [&] { return Make(h, s.value, "v", n); });
  }
  Word Array(Kind k) {
    return Memo(1000 + static_cast<int>(k), [&] {
      std::vector<Word> elements;
      for (int i = 1; i <= 5; ++i) elements.push_back(Make(h, k, "k", i));
      Word a = W(h.NewArray(ArrayType(k), elements));
      h.ReleaseAtEnd(a);
      return a;
    });
  }
  Word Dictionary() {
    return Memo(2000, [&] {
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
    Word w = Make(h, k == Kind::Text ? k : Kind::String, prefix, n);
    return k == Kind::Text ? h.NewVariantText(reinterpret_cast<REALtext>(w))
                           : h.NewVariantString(reinterpret_cast<REALstring>(w));
  }
  std::string Decl(const char* pattern) const { return s.Decl(pattern); }
  void Drop(Word w) {
    if (w != 0 && h.IsHostValue(w)) h.Release(w);
  }
  void Put(Word c, int n) {
    if (!m_.set)
      h.Assign(c, Decl("value(key as {K}) as {V}"), {Key(n)}, Val(n));
    else
      h.Call(c, Decl("insert(key as {K})"), {Key(n)});
  }
  Word Construct(Word c) {
    if (!s.HasCaseModes()) return h.Call(c, "Constructor");
    return h.Call(c, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive});
  }
  // A container holding keys 1 .. n; hash containers are filled to their
  // bucket count, so that the next insertion grows the table.
  Word Filled(int n) {
    Word c = W(h.NewInstance(s.className));
    Construct(c);
    if (m_.hash) n = h.Get(c, "BinCount").i();
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
      if (m_.set) continue;
      Word v = h.Call(c, Decl("value(key as {K}) as {V}"), {Key(i)});
      EXPECT_EQ(Content(h, s.value, v), Content(h, s.value, Val(i))) << i;
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
    for (const auto& [n, w] : made_)
      if (n < 1000) out.push_back(h.RefCount(w));
    return out;
  }

 private:
  template <class F>
  Word Memo(int n, F make) {
    auto it = made_.find(n);
    return it != made_.end() ? it->second : made_.emplace(n, make()).first->second;
  }
  std::map<int, Word> made_;  // keys n, values -n, arrays 1000 + kind, the Dictionary 2000
};

// One call under test, on the container (holding keys 1 .. count), or on a
// fresh instance for a constructor.  Arguments: k key 2, n the next key, =
// assigns the next value, a an array of keys, b of values, s of Strings, d a
// Dictionary, c the container, m the case mode, i index 2.  Applies to maps
// (M), sets (S) or both, and to trees only (T).
struct Case {
  const char* decl;
  const char* args;
  const char* applies;
};

const Case kCases[] = {
    {"Constructor(CaseSensitive as Boolean = true)", "m", "MS"},
    {"Constructor(dic as dictionary, CaseSensitive as Boolean = true)", "dm", "M"},
    {"Constructor(other as {C})", "c", "M"},
    {"Constructor(Keys() as {K})", "a", "S"},
    {"Constructor(Keys() as string)", "s", "V"},
    {"value(key as {K}) as {V}", "n=", "M"},
    {"insert(key as {K})", "n", "S"},
    {"Clone as {C}", "", "M"},
    {"CloneDictionary as Dictionary", "", "M"},
    {"Operator_Convert as Dictionary", "", "M"},
    {"Keys as {K}()", "", "MS"},
    {"Values as {V}()", "", "M"},
    {"Key(index as integer) as {K}", "i", "MS"},
    {"ValueAtIndex(index as integer) as {V}", "i", "M"},
    {"AddKeys(targetArray() as {K})", "a", "M"},
    {"AddValues(targetArray() as {V})", "b", "M"},
    {"first as {I}", "", "MS"},
    {"last as {I}", "", "MS"},
    {"find(key as {K}) as {I}", "k", "MS"},
    {"LowerBound(key as {K}) as {I}", "k", "MST"},
    {"UpperBound(key as {K}) as {I}", "k", "MST"},
};

bool Applies(const Case& c, const Member& m) {
  std::string a = c.applies;
  if (a == "V") return m.set && m.spec.key == Kind::Variant;
  return a.find(m.set ? 'S' : 'M') != std::string::npos && (!m.hash || a.find('T') == a.npos);
}

Word Run(Driver& d, const Case& c, Word container, Word fresh) {
  std::string decl = d.Decl(c.decl);
  for (std::string cut : {", CaseSensitive as Boolean = true", "(CaseSensitive as Boolean = true)"})
    if (!d.s.HasCaseModes() && decl.find(cut) != decl.npos) decl.erase(decl.find(cut), cut.size());
  std::vector<standin::Arg> args;
  for (const char* a = c.args; *a != '\0' && *a != '='; ++a) {
    if (*a == 'm') {
      if (d.s.HasCaseModes()) args.push_back(standin::Arg(d.s.caseSensitive));
      continue;
    }
    args.push_back(*a == 'k'   ? d.Key(2)
                   : *a == 'n' ? d.Key(d.count_ + 1)
                   : *a == 'a' ? d.Array(d.s.key)
                   : *a == 'b' ? d.Array(d.s.value)
                   : *a == 's' ? d.Array(Kind::String)
                   : *a == 'd' ? d.Dictionary()
                   : *a == 'c' ? container
                               : 2);
  }
  const Word target = fresh != 0 ? fresh : container;
  if (std::strchr(c.args, '=') != nullptr) {
    d.h.Assign(target, decl, {args[0]}, d.Val(d.count_ + 1));
    return 0;
  }
  if (args.empty()) return d.h.Call(target, decl).word;
  if (args.size() == 1) return d.h.Call(target, decl, {args[0]}).word;
  return d.h.Call(target, decl, {args[0], args[1]}).word;
}

// Runs the case with the 1st, 2nd, ... library allocation failing until it
// completes; returns how many failures it survived.
int RunUntilDone(Driver& d, const Case& c, Word container) {
  for (int k = 1; k < 400; ++k) {
    const size_t live = d.h.LiveCount();
    const std::vector<int32_t> references = d.References();
    Word fresh =
        std::strncmp(c.decl, "Constructor", 11) == 0 ? W(d.h.NewInstance(d.s.className)) : 0;
    Host::FailLibraryAllocation(static_cast<uint64_t>(k));
    Word r = Run(d, c, container, fresh);
    const bool failed = Host::LibraryAllocationFailed();
    Host::FailLibraryAllocation(0);
    if (!failed) {
      EXPECT_NO_RAISE(d.h);
      d.count_ = d.h.Get(container, "Count").i();
      d.Drop(r);
      d.Drop(fresh);
      return k - 1;
    }
    SCOPED_TRACE(std::string(c.decl) + " failing allocation " + std::to_string(k));
    EXPECT_RAISES(d.h, kOutOfMemory, kOutOfMemoryMessage);
    EXPECT_EQ(r, 0u);
    d.Drop(fresh);
    EXPECT_EQ(d.h.LiveCount(), live) << "host values leaked or released";
    EXPECT_EQ(d.References(), references) << "keys or values locked or released";
    d.ExpectIntact(container, d.count_);
  }
  ADD_FAILURE() << c.decl << " never completed";
  return 0;
}

class AllocationFailure : public ::testing::TestWithParam<Member> {};

TEST_P(AllocationFailure, EveryAllocatingMethodFailsCleanly) {
  if (!Host::CanFailLibraryAllocations()) GTEST_SKIP() << "no allocation failures in this build";
  TestHost host;
  Driver d(host, GetParam());
  Word container = d.Filled(6);
  d.ExpectIntact(container, d.count_);
  int survived = 0;
  for (const Case& c : kCases) {
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
