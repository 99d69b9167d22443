// Memory exhaustion as a host program meets it: every method, assignment and
// property of every member, in both case modes, runs with its 1st, 2nd, 3rd
// ... allocation failing until it completes.  Each failure must raise
// OutOfMemoryException, return nothing, take or drop no host reference, and
// leave the container with every entry and value it held.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "support/HostTesting.h"

namespace kdt_test {
namespace {

using standin::Arg;
using standin::TestHost;
using standin::W;

constexpr char kOutOfMemory[] = "OutOfMemoryException";
constexpr char kOutOfMemoryMessage[] = "Failed to allocate memory.";

class Driver {
 public:
  Driver(TestHost& host, const Member& m) : h(host), m_(m), s(m.spec) {}

  // Arguments are made once and kept, so that a call's own host values can be
  // counted.
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
  // A Dictionary of keys and values 1 .. 5, as a map gives it.
  Word Dictionary() {
    return Memo(2000, [&] {
      const Word map = Filled(5), dict = h.Call(map, Decl("CloneDictionary as Dictionary")).word;
      h.Release(map);
      h.ReleaseAtEnd(dict);
      return dict;
    });
  }
  std::string Decl(const char* pattern) const { return s.Decl(pattern); }
  void Drop(Word w) {
    if (w != 0 && h.IsHostValue(w)) h.Release(w);
  }
  Word Iterator(const char* at, std::initializer_list<Arg> args = {}) {
    return W(h.Call(container, Decl(at), args));
  }
  Word IteratorAt2() { return Iterator("find(key as {K}) as {I}", {Key(2)}); }
  // The container: keys 1 .. n, filled so that the next insertion
  // allocates: a tree's first block of nodes and its element slots are full
  // at 4, and a hash table grows when its bucket count is exceeded (193).
  void Fill() {
    count = m_.hash ? 193 : kSmall;
    container = Filled(count);
  }
  Word Filled(int n) {
    Word c = W(h.NewInstance(s.className));
    Construct(h, s, c, s.caseSensitive);
    for (int i = 1; i <= n; ++i) Put(h, m_, c, Key(i), m_.set ? 0 : Val(i));
    return c;
  }
  // A container with the same entries, in the same state.
  Word Copy() { return m_.set ? Filled(count) : W(h.Call(container, Decl("Clone as {C}"))); }
  // Keeps keys 1 .. n only.
  void Shrink(int n) {
    for (; count > n; --count)
      h.Call(container, Decl("Remove(key as {K}) as integer"), {Key(count)});
  }
  static constexpr int kSmall = 4;

  // Count agrees with a walk from first to last, and every key is found with
  // the very value it was given.
  void ExpectIntact(Word c) {
    if (c == 0) return;
    EXPECT_EQ(h.Get(c, "Count").i(), count);
    Word it = W(h.Call(c, Decl("first as {I}"))), end = W(h.Call(c, Decl("last as {I}")));
    int walked = 0;
    while (walked <= count && h.Call(it, Decl("isNotEqual(other as {I}) as boolean"), {end}).b()) {
      h.Call(it, "MoveNext");
      ++walked;
    }
    EXPECT_EQ(walked, count);
    h.Release(it);
    h.Release(end);
    for (int i = 1; i <= count; ++i) {
      if (m_.set) {
        EXPECT_EQ(h.Call(c, Decl("CountKey(key as {K}) as integer"), {Key(i)}).i(), 1) << i;
        continue;
      }
      Word v = h.Call(c, Decl("value(key as {K}) as {V}"), {Key(i)});
      EXPECT_EQ(v, Val(i)) << i;
      Drop(v);
    }
    EXPECT_NO_RAISE(h);
  }
  // The reference counts of every argument the test made.
  std::vector<int32_t> References() const {
    std::vector<int32_t> out;
    for (const auto& [n, w] : made_) out.push_back(h.RefCount(w));
    return out;
  }

  TestHost& h;
  const Member& m_;
  const MemberSpec& s;
  Word container = 0;
  int count = 0;

  // One attempt: the host values made for it, the container its call may
  // change, and what the host held right before the call.
  uint64_t failAt = 0;
  std::vector<Word> made;
  Word changed = 0;
  std::vector<int32_t> references;
  size_t live = 0;
  Word Own(Word w) {
    made.push_back(w);
    return w;
  }
  // call() with the library's failAt-th allocation failing.
  template <class F>
  Word Armed(F call) {
    references = References();
    live = h.LiveCount();
    Host::FailLibraryAllocation(failAt);
    Word r = call();
    Host::FailLibraryAllocation(0);
    return r;
  }
  void EndAttempt() {
    for (Word w : made) Drop(w);
    made.clear();
  }

 private:
  template <class F>
  Word Memo(int n, F make) {
    auto it = made_.find(n);
    return it != made_.end() ? it->second : made_.emplace(n, make()).first->second;
  }
  std::map<int, Word> made_;  // keys n, values -n, arrays 1000 + kind, the Dictionary 2000
};

// One call under test, in the order they run: the first calls of the process make what the
// library keeps for good (the registry of positions; in maps, the case folding table), Key(index)
// comes before Keys so that it makes the container's index order, and Clear, last, empties the
// container.  `on`: f a fresh instance, g a copy of the container filled to where an insertion
// allocates, c the container (4 entries), i an iterator at key 2; then ':' for an assignment,
// whose value is the last argument, '+' for a call that allocates in every member and '-' for
// one that allocates no more than a lookup of its key (a view of a case-sensitive Variant key is
// a copy).  Arguments: k key 2, n the next key (not held), v the value of key 2, w the next
// value, a an array of keys, b of values, s of Strings, d a Dictionary, c the container, m the
// case mode, x index 2, e the end iterator, j an iterator at key 2.  A row whose declaration the
// class lacks is skipped; every declaration a class registers must have a row.
struct Case {
  const char* decl;
  const char* on;
  const char* args;
};

const Case kCases[] = {
    {"Constructor(CaseSensitive as Boolean = true)", "f+", "m"},
    {"Constructor", "f+", ""},
    {"Constructor(dic as dictionary, CaseSensitive as Boolean = true)", "f+", "dm"},
    {"Constructor(dic as dictionary)", "f+", "d"},
    {"Constructor(Keys() as {K})", "f+", "a"},
    {"Constructor(Keys() as string)", "f+", "s"},
    {"value(key as {K}) as {V}", "g:+", "nw"},
    {"insert(key as {K})", "g+", "n"},
    {"insert(key as {K})", "c-", "k"},
    {"value(key as {K}) as {V}", "c:-", "kv"},
    {"Constructor(other as {C})", "f+", "c"},
    {"value(key as {K}) as {V}", "c", "k"},
    {"lookup(key as {K}, defaultvalue as {V}) as {V}", "c", "kv"},
    {"lookup(key as {K}) as boolean", "c", "k"},
    {"hasKey(key as {K}) as boolean", "c", "k"},
    {"CountKey(key as {K}) as integer", "c", "k"},
    {"Clone as {C}", "c+", ""},
    {"CloneDictionary as Dictionary", "c", ""},
    {"Operator_Convert as Dictionary", "c", ""},
    {"Key(index as integer) as {K}", "c+", "x"},
    {"ValueAtIndex(index as integer) as {V}", "c", "x"},
    {"Keys as {K}()", "c", ""},
    {"Values as {V}()", "c", ""},
    {"AddKeys(targetArray() as {K})", "c", "a"},
    {"AddValues(targetArray() as {V})", "c", "b"},
    {"first as {I}", "c", ""},
    {"last as {I}", "c", ""},
    {"find(key as {K}) as {I}", "c", "k"},
    {"LowerBound(key as {K}) as {I}", "c", "k"},
    {"UpperBound(key as {K}) as {I}", "c", "k"},
    {"Remove(pos as {I})", "c", "e"},
    {"Remove(first as {I}, last as {I})", "c", "ee"},
    {"Remove(key as {K}) as integer", "c", "n"},
    {"Key as {K}", "i", ""},
    {"Value as {V}", "i", ""},
    {"Value as {V}", "i:", "v"},
    {"isEqual(other as {I}) as boolean", "i", "j"},
    {"isNotEqual(other as {I}) as boolean", "i", "j"},
    {"MoveNext", "i", ""},
    {"MovePrev", "i", ""},
    {"Clear", "c", ""},
};

Word Run(Driver& d, const Case& c, const std::string& decl) {
  std::vector<Arg> args;
  for (const char* p = c.args; *p != '\0'; ++p) {
    if (*p == 'm') {
      args.push_back(Arg(d.s.caseSensitive));
      continue;
    }
    args.push_back(*p == 'k'   ? d.Key(2)
                   : *p == 'n' ? d.Key(d.count + 1)
                   : *p == 'v' ? d.Val(2)
                   : *p == 'w' ? d.Val(d.count + 1)
                   : *p == 'a' ? d.Array(d.s.key)
                   : *p == 'b' ? d.Array(d.s.value)
                   : *p == 's' ? d.Array(Kind::String)
                   : *p == 'd' ? d.Dictionary()
                   : *p == 'c' ? d.container
                   : *p == 'e' ? d.Own(d.Iterator("last as {I}"))
                   : *p == 'j' ? d.Own(d.IteratorAt2())
                               : 2);
  }
  const Word target = c.on[0] == 'f'   ? d.Own(W(d.h.NewInstance(d.s.className)))
                      : c.on[0] == 'i' ? d.Own(d.IteratorAt2())
                      : c.on[0] == 'g' ? d.Own(d.Copy())
                                       : d.container;
  d.changed = c.on[0] == 'g' ? target : d.container;
  return d.Armed([&]() -> Word {
    if (std::strchr(c.on, ':') == nullptr) {
      if (args.empty()) return d.h.Call(target, decl);
      if (args.size() == 1) return d.h.Call(target, decl, {args[0]});
      return d.h.Call(target, decl, {args[0], args[1]});
    }
    const Arg value = args.back();
    if (args.size() == 1)
      d.h.Assign(target, decl, {}, value);
    else
      d.h.Assign(target, decl, {args[0]}, value);
    return 0;
  });
}

// Runs `call` with its k-th library allocation failing, for k = 1, 2, ...
// until it completes; returns how many failures it met.  `call` makes its
// call through d.Armed.  Each attempt starts from the same state: a call that
// keeps what it allocated before failing (a grown table) works on a copy.
template <class Call>
int RunUntilDone(Driver& d, const std::string& what, Call&& call) {
  int failures = 0;
  for (int k = 1; k < 1000; ++k) {
    SCOPED_TRACE(what + ", allocation " + std::to_string(k) + " failing");
    d.failAt = static_cast<uint64_t>(k);
    const Word r = call();
    if (!Host::LibraryAllocationFailed()) {
      EXPECT_NO_RAISE(d.h);
      d.Drop(r);
      d.EndAttempt();
      if (d.container != 0) d.count = d.h.Get(d.container, "Count").i();
      return failures;
    }
    ++failures;
    EXPECT_RAISES(d.h, kOutOfMemory, kOutOfMemoryMessage);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(d.h.LiveCount(), d.live) << "host values leaked or released";
    EXPECT_EQ(d.References(), d.references) << "arguments locked or released";
    d.ExpectIntact(d.changed);
    d.EndAttempt();
  }
  ADD_FAILURE() << what << " never completed";
  return failures;
}

void Sweep(TestHost& host, const Member& member) {
  Driver d(host, member);
  const standin::ClassInfo* classes[] = {host.FindClass(d.s.className),
                                         host.FindClass(d.s.iteratorName)};
  ASSERT_TRUE(classes[0] != nullptr && classes[1] != nullptr);

  // The first allocation of a fresh thread fails, and every one after it, as
  // when memory runs out: the constructor still raises.
  std::thread([&] {
    Word fresh = W(host.NewInstance(d.s.className));
    Host::FailLibraryAllocation(1, true);
    host.Call(fresh,
              d.s.HasCaseModes() ? "Constructor(CaseSensitive as Boolean = true)" : "Constructor");
    Host::FailLibraryAllocation(0);
    EXPECT_TRUE(Host::LibraryAllocationFailed());
    EXPECT_RAISES(host, kOutOfMemory, kOutOfMemoryMessage);
    host.Release(fresh);
  }).join();

  std::set<std::string> covered;  // class.declaration, with " = ..." for an assignment
  std::set<std::string> ran;      // the same with the case's arguments
  for (const Case& c : kCases) {
    const bool assigns = std::strchr(c.on, ':') != nullptr;
    const standin::ClassInfo& cls = *classes[c.on[0] == 'i' ? 1 : 0];
    const std::string decl = d.Decl(c.decl), what = decl + (assigns ? " = ..." : "");
    const standin::MethodInfo* m = cls.FindMethod(decl);
    if (m == nullptr || (assigns && m->setter == nullptr)) continue;
    if (!ran.insert(cls.name + "." + what + "(" + c.args + ")").second) continue;
    covered.insert(cls.name + "." + what);
    if (d.container == 0 && (c.on[0] != 'f' || std::strchr(c.args, 'c') != nullptr)) d.Fill();
    if (c.on[0] != 'g') d.Shrink(Driver::kSmall);
    const bool lean = std::strchr(c.on, '-') != nullptr;
    const uint64_t before = Host::LibraryAllocations();
    if (lean) host.Call(d.container, d.Decl("CountKey(key as {K}) as integer"), {d.Key(2)});
    const int lookup = static_cast<int>(Host::LibraryAllocations() - before);
    const int met = RunUntilDone(d, what, [&] { return Run(d, c, decl); });
    EXPECT_TRUE(met > 0 || std::strchr(c.on, '+') == nullptr) << what << " allocated nothing";
    EXPECT_TRUE(!lean || met <= lookup) << what << " allocated";
  }
  for (const standin::PropertyInfo& p : classes[0]->properties) {
    RunUntilDone(d, p.name, [&] {
      d.changed = d.container;
      return d.Armed([&] { return host.Get(d.container, p.name).word; });
    });
  }
  // No declaration goes untried.
  for (const standin::ClassInfo* cls : classes)
    for (const auto* methods : {&cls->methods, &cls->methods2})
      for (const standin::MethodInfo& m : *methods)
        for (int assigns = 0; assigns <= (m.setter != nullptr ? 1 : 0); ++assigns) {
          const std::string what = cls->name + "." + m.declaration + (assigns ? " = ..." : "");
          EXPECT_TRUE(covered.count(what)) << "no case for " << what;
        }
  host.Release(d.container);
}

class AllocationFailure : public ::testing::TestWithParam<Member> {};

TEST_P(AllocationFailure, EveryCallFailsCleanly) {
  TestHost host;
  Sweep(host, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Members, AllocationFailure, ::testing::ValuesIn(AllMembers()),
                         [](const auto& info) { return info.param.spec.Name(); });

}  // namespace
}  // namespace kdt_test
