// Every member in each case mode, called as a host program calls it, each
// answer checked against the walk the container showed before: what the
// random driver reaches seldom or checks loosely.  Calls before a
// constructor and their messages, MaxSize, the host out of memory for
// arrays, index access and its host calls, the end positions.  (A
// host that cannot make arrays, ranges and removal are the random driver's.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "support/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace kdt_test {
namespace {

using standin::NoException;
using standin::TookException;

using kdt_values_test::HeapInUse;

// MaxSize as the user guide gives it.
int32_t GuideMaxSize(const Member& m) {
  const bool ints = m.spec.key == Kind::Integer;
  if (m.hash) return -1;
  if (m.set) return ints ? 214748364 : 178956970;
  return !ints ? 134217727 : m.spec.value == Kind::Integer ? 178956970 : 153391689;
}

int Number(const std::string& entry) {
  return std::stoi(entry.substr(entry[0] == 'k'));
}

struct Program {
  standin::Host& h;
  const Member& m;
  const MemberSpec& s = m.spec;
  Word c = New(s.caseSensitive);

  Word Call(Word obj, const char* pattern, std::initializer_list<standin::Arg> args = {}) {
    return h.Call(obj, s.Decl(pattern), args).word;
  }
  // An object the program keeps to its end.
  Word Keep(Word obj) {
    if (obj != 0) h.ReleaseAtEnd(obj);
    return obj;
  }
  Word New(bool caseSensitive) {
    Word obj = Keep(standin::W(h.NewInstance(s.className)));
    Construct(h, s, obj, caseSensitive);
    return obj;
  }
  Word Key(int n) { return Make(h, s.key, "k", n); }
  void Put(Word obj, int n) { kdt_test::Put(h, m, obj, Key(n), Make(h, s.value, "v", n)); }
  // What a returned reference holds; the reference is given back.
  std::string Text(Kind k, Word w) {
    std::string text = Content(h, k, w);
    if (k != Kind::Integer && w != 0) h.Release(w);
    return text;
  }
  // "key=value" (sets: "key").
  std::string Entry(Word key, Word value) {
    return Text(s.key, key) + (m.set ? "" : "=" + Text(s.value, value));
  }
  // The entries from first to last, or by index.
  std::vector<std::string> Walk() {
    std::vector<std::string> out;
    Word it = Keep(Call(c, "first as {I}")), end = Keep(Call(c, "last as {I}"));
    for (; !Call(it, "isEqual(other as {I}) as boolean", {end}); Call(it, "MoveNext"))
      out.push_back(Entry(Call(it, "Key as {K}"), m.set ? 0 : Call(it, "Value as {V}")));
    return out;
  }
  Word Find(const std::string& entry) {
    return Keep(Call(c, "find(key as {K}) as {I}", {Key(Number(entry))}));
  }
};

// The bucket of key n among the first 193.
uint32_t Bucket(const Program& p, int n) {
  const Kind hashed = p.s.key == Kind::Variant ? Kind::String : p.s.key;
  return ModelHash(hashed, TextOf("k", n, false), n, p.s.caseSensitive) % 193;
}

// Key(index) and ValueAtIndex as a program's index loops use them: until
// the program holds an array they cost the host the arrays' creation and a
// returned value's lock, nothing else; then they read the program's array.
void IndexAccess(Program& p, const std::vector<std::string>& walk) {
  standin::Host& h = p.h;
  const int32_t n = static_cast<int32_t>(walk.size());
  const char* keyAt = "Key(index as integer) as {K}";
  const char* valueAt = "ValueAtIndex(index as integer) as {V}";
  std::vector<Word> keys, values;
  h.ResetCounters();
  for (int32_t i = 0; i < n; ++i) keys.push_back(p.Call(p.c, keyAt, {i}));
  for (int32_t i = 0; !p.m.set && i < n; ++i) values.push_back(p.Call(p.c, valueAt, {i}));
  uint64_t calls = 0;
  for (const auto& counter : h.Counters()) calls += counter.second;
  const auto locks = [&](Kind k) { return k == Kind::Integer ? 0 : n; };
  EXPECT_EQ(calls, p.m.set ? 1u + locks(p.s.key) : 2u + locks(p.s.key) + locks(p.s.value));
  for (int32_t i = 0; i < n; ++i)
    EXPECT_EQ(p.Entry(keys[i], p.m.set ? 0 : values[i]), walk[i]) << i;
  p.Call(p.c, keyAt, {n});
  EXPECT_RAISES(h, "OutOfBoundsException", OutOfRange(n, n));

  // A map shows a value set through an iterator until the program holds the
  // Values array, then that array.
  const Word array = p.Keep(p.Call(p.c, "Keys as {K}()"));
  if (!p.m.set) {
    const char* value = "Value as {V}";
    const Word first = p.Find(walk[0]);
    const Word set = Make(h, p.s.value, "v", 77), later = Make(h, p.s.value, "v", 78);
    h.Assign(first, p.s.Decl(value), {}, set);
    EXPECT_EQ(p.Text(p.s.value, p.Call(p.c, valueAt, {0})), Content(h, p.s.value, set));
    EXPECT_EQ(h.Elements(reinterpret_cast<REALarray>(p.Keep(p.Call(p.c, "Values as {V}()"))))[0],
              set);
    h.Assign(first, p.s.Decl(value), {}, later);
    EXPECT_EQ(p.Text(p.s.value, p.Call(p.c, valueAt, {0})), Content(h, p.s.value, set));
    h.Assign(first, p.s.Decl(value), {}, Make(h, p.s.value, "v", Number(walk[0])));
  }
  // The program shortens the Keys array it holds: Key(index) follows it.
  EXPECT_EQ(p.Keep(p.Call(p.c, "Keys as {K}()")), array);
  h.ResizeArray(reinterpret_cast<REALarray>(array), n - 1);
  p.Call(p.c, keyAt, {n - 1});
  EXPECT_RAISES(h, "OutOfBoundsException", OutOfRange(n - 1, n - 1));
  EXPECT_EQ(p.Text(p.s.key, p.Call(p.c, keyAt, {0})), walk[0].substr(0, walk[0].find('=')));
}

void Exercise(standin::Host& h, const Member& member) {
  Program p{h, member};
  const char* notInitialized = member.set ? "Set not initialized" : "Map not initialized";
  Word raw = p.Keep(standin::W(h.NewInstance(member.spec.className)));
  EXPECT_EQ(h.Get(raw, "MaxSize").i(), 0);
  EXPECT_RAISES(h, "NilObjectException", notInitialized);
  if (member.set) {
    p.Call(raw, "Constructor(Keys() as {K})", {nullptr});
    EXPECT_RAISES(h, "NilObjectException", "values array is nil");
  } else {
    EXPECT_EQ(p.Call(raw, "CloneDictionary as Dictionary"), 0u);
    EXPECT_RAISES(h, "NilObjectException", "Other map not initialized");
    p.Put(p.c, 0);
    p.Call(p.c, "Constructor(other as {C})", {nullptr});
    EXPECT_RAISES(h, "NilObjectException", "Other map is nil");
    EXPECT_EQ(h.Get(p.c, "Count").i(), 1);
    p.Call(p.c, "Constructor(other as {C})", {raw});
    EXPECT_RAISES(h, "NilObjectException", "Other map not initialized");
    EXPECT_EQ(h.Get(p.c, "Count").i(), 0);
    EXPECT_RAISES(h, "NilObjectException", notInitialized);
    p.c = p.New(member.spec.caseSensitive);
  }
  // A container without a table: a map raises for positions, a set ignores them.
  Word loose = p.Keep(standin::W(h.NewInstance(member.spec.iteratorName)));
  p.Call(loose, "MoveNext");
  EXPECT_TRUE(member.set ? NoException(h)
                         : TookException(h, "NilObjectException", "Iterator not initialized"));
  p.Call(raw, "Remove(pos as {I})", {loose});
  EXPECT_TRUE(member.set ? NoException(h) : TookException(h, "NilObjectException", notInitialized));

  // Keys 0..19 and, after them, a key in the bucket of each of 0, 1 and 2.
  for (int n = 0; n < 20; ++n) p.Put(p.c, n);
  for (int j = 0, n = 20; j < 3; ++n)
    if (Bucket(p, n) == Bucket(p, j)) p.Put(p.c, n), ++j;
  EXPECT_EQ(h.Get(p.c, "MaxSize").i(), GuideMaxSize(member));
  std::vector<std::string> walk = p.Walk();
  ASSERT_EQ(walk.size(), 23u);

  // The host out of memory for arrays, first for a map's second: no arrays
  // (the map's first is given back), a map walks for Key(index), a set
  // answers nil.
  h.FailArrayCreation(member.set ? 0 : 1);
  EXPECT_EQ(p.Call(p.c, "Keys as {K}()"), 0u);
  EXPECT_EQ(p.Text(p.s.key, p.Call(p.c, "Key(index as integer) as {K}", {22})),
            member.set ? Content(h, p.s.key, 0) : walk[22].substr(0, walk[22].find('=')));
  h.FailArrayCreation(-1);
  EXPECT_NO_RAISE(h);

  IndexAccess(p, walk);

  // The end position compares with nil by the shape's message.
  Word end = p.Keep(p.Call(p.c, "last as {I}"));
  p.Call(end, "isNotEqual(other as {I}) as boolean", {nullptr});
  EXPECT_RAISES(h, "NilObjectException", member.set ? "Iterator is nil" : "other iterator is nil");

  // The end positions of two hash tables of a mode are one position; a
  // tree's end is its own.
  Word other = p.New(member.spec.caseSensitive);
  p.Put(other, 0);
  EXPECT_EQ(p.Call(end, "isEqual(other as {I}) as boolean", {p.Keep(p.Call(other, "last as {I}"))}),
            member.hash ? 1u : 0u);

  // A range from one bucket into the middle of a later chain, then one within
  // a chain (a tree: ranges of two); backwards, or from the end, none removes.
  size_t j = 1;
  const auto bucket = [&](size_t i) { return Bucket(p, Number(walk[i])); };
  while (j + 2 < walk.size() && !(bucket(j) == bucket(j + 1) && bucket(j - 1) != bucket(j))) ++j;
  const Word from = p.Find(walk[j - 1]), to = p.Find(walk[j + 1]);
  const char* range = "Remove(first as {I}, last as {I})";
  for (auto ends : {std::make_pair(to, from), std::make_pair(end, from), std::make_pair(from, to)})
    p.Call(p.c, range, {ends.first, ends.second});
  walk.erase(walk.begin() + static_cast<long>(j) - 1, walk.begin() + static_cast<long>(j) + 1);
  size_t k = 0;
  while (k + 2 < walk.size() && bucket(k) != bucket(k + 1)) ++k;
  p.Call(p.c, range, {p.Find(walk[k + 1]), p.Find(walk[k])});
  p.Call(p.c, range, {p.Find(walk[k]), p.Find(walk[k + 1])});
  walk.erase(walk.begin() + static_cast<long>(k));
  EXPECT_EQ(p.Walk(), walk) << "to " << walk[j - 1] << ", then before " << walk[k];
}

// A container emptied in any way keeps nothing of its entries (a hash table
// its buckets), and once destroyed nothing at all.  The first round only
// brings the stand-in's own records to their size; what they still grow by
// stays far below the entries' memory.
TEST(EmptiedContainers, GiveTheirEntriesMemoryBack) {
  standin::TestHost h;
  for (const Member& m : AllMembers()) {
    if (m.spec.key != Kind::Integer || m.spec.value != Kind::Integer) continue;
    SCOPED_TRACE(m.spec.Name());
    const MemberSpec& s = m.spec;
    const auto buckets = [&](Word c) {
      return m.hash ? sizeof(void*) * h.Get(c, "BinCount").word : 0;
    };
    const char* const ways[] = {"Clear", "Remove(first as {I}, last as {I})",
                                "Remove(key as {K}) as integer"};
    for (bool measured : {false, true}) {
      const size_t before = HeapInUse();
      const Word c = standin::W(h.NewInstance(s.className));
      Construct(h, s, c, true);
      for (const char* way : ways) {
        SCOPED_TRACE(way);
        const size_t empty = HeapInUse() - buckets(c);
        for (int n = 0; n < 3000; ++n) Put(h, m, c, static_cast<Word>(n * 7), static_cast<Word>(n));
        const size_t entries = HeapInUse() - buckets(c) - empty;
        EXPECT_GT(entries, 3000u * 8);
        if (way == ways[0]) {
          h.Call(c, way);
        } else if (way == ways[1]) {
          const Word first = h.Call(c, s.Decl("first as {I}")).word;
          const Word last = h.Call(c, s.Decl("last as {I}")).word;
          h.Call(c, s.Decl(way), {first, last});
          h.Release(first);
          h.Release(last);
        } else {
          for (int n = 0; n < 3000; ++n) h.Call(c, s.Decl(way), {static_cast<Word>(n * 7)});
        }
        EXPECT_EQ(h.Get(c, "Count").i(), 0);
        const size_t left = HeapInUse() - buckets(c) - empty;
        EXPECT_TRUE(!measured || left < entries / 8) << left << " of " << entries << " bytes";
      }
      h.Release(c);
      EXPECT_TRUE(!measured || HeapInUse() < before + 8192) << HeapInUse() - before;
    }
  }
}

class EveryMember : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryMember, AnswersAsTheGuideSays) {
  standin::TestHost host;
  for (const Member& m : AllMembers()) {
    if (m.Family() != GetParam()) continue;
    SCOPED_TRACE(m.spec.Name());
    Exercise(host, m);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, EveryMember, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return FamilyTestName(info.param); });

}  // namespace
}  // namespace kdt_test
