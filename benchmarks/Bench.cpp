// Times every container class against the standard container it stands for,
// on the same keys in the same process, inside the stand-in host, and counts
// the heap each holds after the fill.
//
// What is timed: the registered method functions, resolved once from the
// class as the host registered it and called directly with argument words
// (no declaration lookup or argument checks of the stand-in's calling API).
// The stand-in's own entries that the library calls are part of the time:
// on a real host each of them is a call across its API as well.
//
//   kdt_bench [--before=plugin.so] [--sizes=1000,10000] [--classes=Name,...]
//             [--repeat=R] [--csv=file] [--host=2019]
//
// --before names an earlier build of the plug-in: it runs first, in a host of
// its own, then this tree's plug-in, and every figure is printed as
// before → after.  --host is the host version the stand-in plays (hosts
// before 2017 let the library read array elements in place); --classes keeps
// the classes whose name contains one of the words; --repeat runs each row R
// times and reports the median times.  100,000 entries are left out by
// default: under emulation they take most of half an hour.
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

// The standard hash containers the library's hash tables are held against.
#define _GLIBCXX_PERMIT_BACKWARD_HASH
#include <ext/hash_map>
#include <ext/hash_set>

#include "benchmarks/LibraryHeap.h"
#include "containers/members/Members.h"
#include "standin/host/Host.h"

namespace {

using standin::REALstring;
using standin::Word;

enum Kind { kInteger, kString, kText, kVariant };
enum Op { kInsert, kHit, kMiss, kWalk, kGetter, kKeyArray, kKeyAt, kRemove, kOpCount };
const char* const kOpNames[kOpCount] = {"insert", "lookup hit", "lookup miss", "walk step",
                                        "Count",  "key array",  "Key(index)",  "Remove(key)"};

struct Member {
  const char* name;
  Kind key;
  Kind value;  // maps only
  bool isMap;
  bool ordered;
};

// Every member of the member table, maps before sets, hash tables before
// trees, then by key and value kind.
std::vector<Member> AllMembers() {
  const auto kind = [](const char* k) {
    return k[0] == 'I' ? kInteger : k[0] == 'S' ? kString : k[0] == 'T' ? kText : kVariant;
  };
  std::vector<Member> members = {
#define KDT_BENCH_ROW(Class, Iterator, Shape, Storage, Key, Value, keyWord, valueWord, maxSize) \
  {#Class, kind(#Key), #Shape[0] == 'M' ? kind(#Value) : kInteger, #Shape[0] == 'M',            \
   #Storage[0] != 'H'},
      KDT_CONTAINER_MEMBERS(KDT_BENCH_ROW)
#undef KDT_BENCH_ROW
  };
  std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
    return std::make_tuple(!a.isMap, a.ordered, a.key, a.value) <
           std::make_tuple(!b.isMap, b.ordered, b.key, b.value);
  });
  return members;
}

// What the keys hold.  Variant keys run with Integer content and with String
// content; String, Text and String-Variant keys in both case modes.
enum Content { kInts, kStrings, kTexts, kVariantStrings, kVariantInts, kContentCount };

struct Case {
  const Member* member;
  Content content;
  bool caseSensitive;
  const char* label;  // "-" where case does not matter, "S" or "I"
  bool intKeys() const { return content == kInts || content == kVariantInts; }
};

std::vector<Case> CasesOf(const Member& m) {
  switch (m.key) {
    case kInteger:
      return {{&m, kInts, true, "-"}};
    case kString:
      return {{&m, kStrings, true, "S"}, {&m, kStrings, false, "I"}};
    case kText:
      return {{&m, kTexts, true, "S"}, {&m, kTexts, false, "I"}};
    case kVariant:
      return {{&m, kVariantInts, true, "-"},
              {&m, kVariantStrings, true, "S"},
              {&m, kVariantStrings, false, "I"}};
  }
  return {};
}

// One operation measured on both sides.
struct Row {
  double libNs = 0, rawNs = 0;
  uint64_t calls = 0;  // host calls during the operation's loop
  double callsPer = 0;
  std::string byEntry;  // "entry=calls per operation;..."
};
struct Heap {
  double bytes = 0, chunks = 0;  // per entry after the fill
  double left = 0;               // bytes of the fill's blocks still held after destruction
};
// Everything measured for one case at one size with one plug-in.
struct Figures {
  Row rows[kOpCount];
  Heap lib, raw;
  // Host calls per Key(index) call over an index loop of the whole
  // container, the call that builds the arrays included.
  double KeyLoopCalls(size_t n) const {
    return static_cast<double>(rows[kKeyArray].calls + rows[kKeyAt].calls) /
           static_cast<double>(n + 1);
  }
  double WalkPerGetter() const {
    return rows[kGetter].libNs > 0 ? rows[kWalk].libNs / rows[kGetter].libNs : 0.0;
  }
  double Ratio(Op op) const { return rows[op].rawNs > 0 ? rows[op].libNs / rows[op].rawNs : 0.0; }
};

// CPU time of this thread: the machine is shared, and wall time would count
// whatever else runs on it.
struct Clock {
  using time_point = int64_t;
  static time_point now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  }
};
double NsPer(Clock::time_point start, size_t n) {
  return n ? static_cast<double>(Clock::now() - start) / static_cast<double>(n) : 0.0;
}
double PerEntry(size_t total, size_t n) {
  return static_cast<double>(total) / static_cast<double>(n);
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "kdt_bench: %s\n", what.c_str());
  std::exit(1);
}

// ---- The raw side: standard containers over ints or std::string, with
// ASCII case folding for the case-insensitive rows.

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
struct FoldLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
  }
};
struct FoldEq {
  bool operator()(const std::string& a, const std::string& b) const {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Fold(x) == Fold(y); });
  }
};
struct FoldHash {
  size_t operator()(const std::string& s) const {
    size_t h = 2166136261u;
    for (char c : s) h = (h ^ static_cast<unsigned char>(Fold(c))) * 16777619u;
    return h;
  }
};

// The standard containers' heap: requested bytes and chunks.  The keys'
// std::string text (12 characters) sits inside the string, so the nodes and
// the bucket array are all of it.
bench::HeapCount rawHeap;
template <class T>
struct Counted {
  using value_type = T;
  Counted() = default;
  template <class U>
  Counted(const Counted<U>&) {}
  T* allocate(size_t n) {
    rawHeap.bytes += n * sizeof(T);
    ++rawHeap.blocks;
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) {
    rawHeap.bytes -= n * sizeof(T);
    --rawHeap.blocks;
    std::allocator<T>().deallocate(p, n);
  }
  bool operator==(const Counted&) const { return true; }
  bool operator!=(const Counted&) const { return false; }
};

size_t Weight(int32_t k) {
  return static_cast<size_t>(k);
}
size_t Weight(const std::string& k) {
  return k.size();
}

template <class C, class K>
void RunRaw(const std::vector<K>& hit, const std::vector<K>& miss, Figures& f) {
  constexpr bool kIsSet = std::is_same_v<typename C::key_type, typename C::value_type>;
  const size_t n = hit.size();
  size_t sink = 0;
  auto lookup = [&](const C& c, const K& k) -> Word {
    if constexpr (kIsSet) {
      return static_cast<Word>(c.count(k));
    } else {
      auto it = c.find(k);
      return it == c.end() ? Word{0} : it->second;
    }
  };
  auto weight = [](const auto& e) {
    if constexpr (kIsSet)
      return Weight(e);
    else
      return Weight(e.first) + e.second;
  };
  Row* rows = f.rows;
  const bench::HeapCount heap = rawHeap;
  C c;
  auto t = Clock::now();
  for (const K& k : hit) {
    if constexpr (kIsSet)
      c.insert(k);
    else
      c.insert({k, Word{7}});
  }
  rows[kInsert].rawNs = NsPer(t, n);
  f.raw = {PerEntry(rawHeap.bytes - heap.bytes, n), PerEntry(rawHeap.blocks - heap.blocks, n)};
  t = Clock::now();
  for (const K& k : hit) sink += lookup(c, k);
  rows[kHit].rawNs = NsPer(t, n);
  t = Clock::now();
  for (const K& k : miss) sink += lookup(c, k);
  rows[kMiss].rawNs = NsPer(t, n);
  t = Clock::now();
  for (const auto& e : c) sink += weight(e);
  rows[kWalk].rawNs = NsPer(t, n);
  // The library answers Key(index) from an array of the keys it builds on
  // first use; the raw side does the same.
  t = Clock::now();
  std::vector<K> keys;
  keys.reserve(c.size());
  for (const auto& e : c) {
    if constexpr (kIsSet)
      keys.push_back(e);
    else
      keys.push_back(e.first);
  }
  rows[kKeyArray].rawNs = NsPer(t, n);
  t = Clock::now();
  for (size_t i = 0; i < n; ++i) sink += Weight(keys[i]);
  rows[kKeyAt].rawNs = NsPer(t, n);
  t = Clock::now();
  for (const K& k : hit) sink += c.erase(k);
  rows[kRemove].rawNs = NsPer(t, n);
  if (!c.empty() || sink == 0) Fail("raw container lost entries");
}

template <class K, bool kFold>
void RawFor(const Member& m, const std::vector<K>& hit, const std::vector<K>& miss, Figures& f) {
  using Less = std::conditional_t<kFold, FoldLess, std::less<K>>;
  using Hash = std::conditional_t<
      kFold, FoldHash,
      std::conditional_t<std::is_same_v<K, int32_t>, __gnu_cxx::hash<K>, std::hash<K>>>;
  using Eq = std::conditional_t<kFold, FoldEq, std::equal_to<K>>;
  using Map = std::pair<const K, Word>;
  if (m.ordered && m.isMap) RunRaw<std::map<K, Word, Less, Counted<Map>>>(hit, miss, f);
  if (m.ordered && !m.isMap) RunRaw<std::set<K, Less, Counted<K>>>(hit, miss, f);
  if (!m.ordered && m.isMap)
    RunRaw<__gnu_cxx::hash_map<K, Word, Hash, Eq, Counted<Word>>>(hit, miss, f);
  if (!m.ordered && !m.isMap) RunRaw<__gnu_cxx::hash_set<K, Hash, Eq, Counted<K>>>(hit, miss, f);
}

// ---- Keys: 2n distinct values, the first n stored and the rest missing.
// String, Text and String-Variant keys carry the same ASCII text ("key_" and
// eight hex digits), Integer-Variant keys the same numbers as Integer keys.
struct Keys {
  std::vector<int32_t> ints, missInts;
  std::vector<std::string> strings, missStrings;
  std::vector<Word> words[kContentCount];  // host values (or the ints) by content
};

Keys MakeKeys(standin::Host& host, size_t n, const bool (&contents)[kContentCount]) {
  Keys k;
  for (size_t i = 0; i < 2 * n; ++i) {
    // An odd multiplier is a bijection on 32 bits: distinct, scattered keys.
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u ^ 0x5bd1e995u;
    char text[16];
    std::snprintf(text, sizeof text, "key_%08x", static_cast<unsigned>(x));
    (i < n ? k.ints : k.missInts).push_back(static_cast<int32_t>(x));
    (i < n ? k.strings : k.missStrings).push_back(text);
    k.words[kInts].push_back(x);
    if (contents[kStrings] || contents[kVariantStrings]) {
      REALstring s = host.NewString(text);
      if (contents[kVariantStrings])
        k.words[kVariantStrings].push_back(standin::W(host.NewVariantString(s)));
      if (contents[kStrings])
        k.words[kStrings].push_back(standin::W(s));
      else
        host.Release(s);
    }
    if (contents[kTexts]) k.words[kTexts].push_back(standin::W(host.NewText(text)));
    if (contents[kVariantInts])
      k.words[kVariantInts].push_back(standin::W(host.NewVariantInt32(static_cast<int32_t>(x))));
  }
  return k;
}

void ReleaseKeys(standin::Host& host, Keys& k) {
  for (int content = kStrings; content < kContentCount; ++content)
    for (Word w : k.words[content]) host.Release(w);
}

// ---- The library side.

using F1 = Word (*)(Word);
using F2 = Word (*)(Word, Word);
using F3 = Word (*)(Word, Word, Word);

struct Methods {
  const standin::MethodInfo* constructor = nullptr;
  kdt::HostFunction insert = nullptr, lookup = nullptr, keyAt = nullptr, remove = nullptr;
  kdt::HostFunction count = nullptr, first = nullptr, last = nullptr;
  // The iterator's; value is null for sets.
  kdt::HostFunction moveNext = nullptr, isEqual = nullptr, key = nullptr, value = nullptr;
};

// By name and parameter count, and the first parameter's name where
// overloads share both (Remove(key) and Remove(pos), the constructors).
const standin::MethodInfo* FindMethod(const standin::ClassInfo& cls, const char* name,
                                      size_t params, const char* firstParam = nullptr) {
  for (const auto* list : {&cls.methods, &cls.methods2})
    for (const auto& m : *list)
      if (strcasecmp(m.parsed.name.c_str(), name) == 0 && m.parsed.params.size() == params &&
          (!firstParam || m.parsed.params[0].name == firstParam))
        return &m;
  Fail(cls.name + " has no " + name + " with " + std::to_string(params) + " parameters");
}

Methods Resolve(const standin::Host& host, const Member& m) {
  const standin::ClassInfo* cls = host.FindClass(m.name);
  if (!cls) Fail(std::string(m.name) + " is not registered");
  Methods f;
  f.constructor = m.key == kInteger ? FindMethod(*cls, "Constructor", 0)
                                    : FindMethod(*cls, "Constructor", 1, "CaseSensitive");
  f.insert =
      m.isMap ? FindMethod(*cls, "value", 1)->setter : FindMethod(*cls, "insert", 1)->function;
  f.lookup = FindMethod(*cls, "lookup", m.isMap ? 2 : 1)->function;
  f.keyAt = FindMethod(*cls, "Key", 1)->function;
  f.remove = FindMethod(*cls, "Remove", 1, "key")->function;
  const standin::PropertyInfo* count = cls->FindProperty("Count");
  if (!count || !count->getter || count->standardGetter)
    Fail(std::string(m.name) + " has no Count getter function");
  f.count = count->getter;
  const standin::MethodInfo* first = FindMethod(*cls, "first", 0);
  f.first = first->function;
  f.last = FindMethod(*cls, "last", 0)->function;
  const standin::ClassInfo* it = host.FindClass(first->parsed.returnType);
  if (!it) Fail(first->parsed.returnType + " is not registered");
  f.moveNext = FindMethod(*it, "MoveNext", 0)->function;
  f.isEqual = FindMethod(*it, "isEqual", 1)->function;
  f.key = FindMethod(*it, "Key", 0)->function;
  if (m.isMap) f.value = FindMethod(*it, "Value", 0)->function;
  return f;
}

Word MakeValue(standin::Host& host, Kind kind, int32_t v) {
  switch (kind) {
    case kInteger:
      return static_cast<Word>(v);
    case kString:
      return standin::W(host.NewString(std::to_string(v)));
    case kText:
      return standin::W(host.NewText(std::to_string(v)));
    case kVariant:
      return standin::W(host.NewVariantInt32(v));
  }
  return 0;
}

class Runner {
 public:
  explicit Runner(standin::Host& host) : host_(host) {}

  // The requested heap the library holds after filling a new container with
  // the n keys, per entry, and what of it is still held once the container
  // is destroyed.
  Heap HeapOfFill(const Case& c, const Keys& keys, size_t n) {
    const Member& m = *c.member;
    const Methods f = Resolve(host_, m);
    const Word* hit = keys.words[c.content].data();
    const Word value = m.isMap ? MakeValue(host_, m.value, 7) : 1;
    bench::StartLibraryHeapCount();
    const Word map = Construct(c, f);
    Fill(m, f, map, hit, n, value);
    const bench::HeapCount held = bench::LibraryHeapCount();
    if (host_.Get(map, "Count").i() != static_cast<int32_t>(n)) Fail(Where(c, "fill lost keys"));
    Check(c, "fill");
    host_.Release(map);
    const size_t left = bench::LibraryHeapCount().bytes;
    bench::StopLibraryHeapCount();
    if (m.isMap && m.value != kInteger) host_.Release(value);
    return {PerEntry(held.bytes, n), PerEntry(held.blocks, n), static_cast<double>(left)};
  }

  void Run(const Case& c, const Keys& keys, size_t n, Row* rows) {
    const Member& m = *c.member;
    const Methods f = Resolve(host_, m);
    const Word* hit = keys.words[c.content].data();
    const Word* miss = hit + n;
    const bool objectValues = m.isMap && m.value != kInteger;
    const bool objectKeys = m.key != kInteger;
    const Word value = m.isMap ? MakeValue(host_, m.value, 7) : 1;
    const Word fallback = m.isMap ? MakeValue(host_, m.value, -1) : 0;
    std::vector<Word> out(n), values(n);

    const Word map = Construct(c, f);
    Begin();
    auto t = Clock::now();
    Fill(m, f, map, hit, n, value);
    End(rows[kInsert], t, n);
    if (host_.Get(map, "Count").i() != static_cast<int32_t>(n)) Fail(Where(c, "insert lost keys"));
    Check(c, "insert");

    for (Op op : {kHit, kMiss}) {
      const Word* probe = op == kHit ? hit : miss;
      const Word want = op == kHit ? value : fallback;
      Begin();
      t = Clock::now();
      if (m.isMap)
        for (size_t i = 0; i < n; ++i)
          out[i] = reinterpret_cast<F3>(f.lookup)(map, probe[i], fallback);
      else
        for (size_t i = 0; i < n; ++i) out[i] = reinterpret_cast<F2>(f.lookup)(map, probe[i]);
      End(rows[op], t, n);
      Check(c, kOpNames[op]);
      for (Word w : out)
        if (w != want) Fail(Where(c, std::string(kOpNames[op]) + " returned a wrong value"));
      if (objectValues) ReleaseAll(out);
    }

    // A walk as a program writes it: while not it.isEqual(last), read Key
    // and Value, MoveNext; first and last included.
    Begin();
    t = Clock::now();
    const Word it = reinterpret_cast<F1>(f.first)(map);
    const Word end = reinterpret_cast<F1>(f.last)(map);
    size_t steps = 0;
    for (; !(reinterpret_cast<F2>(f.isEqual)(it, end) & 0xFF); ++steps) {
      if (steps == n) Fail(Where(c, "walk ran past the last entry"));
      out[steps] = reinterpret_cast<F1>(f.key)(it);
      if (f.value) values[steps] = reinterpret_cast<F1>(f.value)(it);
      reinterpret_cast<F1>(f.moveNext)(it);
    }
    End(rows[kWalk], t, n);
    Check(c, "walk");
    host_.Release(it);
    host_.Release(end);
    if (steps != n) Fail(Where(c, "walk took " + std::to_string(steps) + " steps"));
    CheckKeys(c, "walk", out, hit, n);
    if (objectKeys) ReleaseAll(out);
    if (f.value) {
      for (Word w : values)
        if (w != value) Fail(Where(c, "walk read a wrong value"));
      if (objectValues) ReleaseAll(values);
    }

    // The cost of a call that does next to nothing, on the same container,
    // over enough calls that the clock's grain does not show.
    const size_t getterCalls = std::max<size_t>(n, 100000);
    Begin();
    t = Clock::now();
    uint64_t counted = 0;
    for (size_t i = 0; i < getterCalls; ++i) counted += reinterpret_cast<F1>(f.count)(map);
    End(rows[kGetter], t, getterCalls);
    Check(c, "Count");
    if (counted != static_cast<uint64_t>(getterCalls) * n)
      Fail(Where(c, "Count gave a wrong count"));

    // The first call builds the key array: its own row, per entry.
    Begin();
    t = Clock::now();
    out[0] = reinterpret_cast<F2>(f.keyAt)(map, 0);
    End(rows[kKeyArray], t, n);
    if (objectKeys) host_.Release(out[0]);
    Begin();
    t = Clock::now();
    for (size_t i = 0; i < n; ++i)
      out[i] = reinterpret_cast<F2>(f.keyAt)(map, static_cast<Word>(i));
    End(rows[kKeyAt], t, n);
    Check(c, "Key(index)");
    CheckKeys(c, "Key(index)", out, hit, n);
    if (objectKeys) ReleaseAll(out);

    Begin();
    t = Clock::now();
    size_t removed = 0;
    for (size_t i = 0; i < n; ++i) removed += reinterpret_cast<F2>(f.remove)(map, hit[i]);
    End(rows[kRemove], t, n);
    Check(c, "Remove(key)");
    if (removed != n || host_.Get(map, "Count").i() != 0) Fail(Where(c, "Remove(key) missed keys"));

    host_.Release(map);
    if (objectValues) {
      host_.Release(value);
      host_.Release(fallback);
    }
    Check(c, "destruction");
  }

 private:
  Word Construct(const Case& c, const Methods& f) {
    const Member& m = *c.member;
    const Word map =
        m.key == kInteger
            ? standin::W(host_.New(m.name, f.constructor->declaration))
            : standin::W(host_.New(m.name, f.constructor->declaration, {c.caseSensitive}));
    Check(c, "construction");
    return map;
  }

  static void Fill(const Member& m, const Methods& f, Word map, const Word* keys, size_t n,
                   Word value) {
    if (m.isMap)
      for (size_t i = 0; i < n; ++i) reinterpret_cast<F3>(f.insert)(map, keys[i], value);
    else
      for (size_t i = 0; i < n; ++i) reinterpret_cast<F2>(f.insert)(map, keys[i]);
  }

  void Begin() { host_.ResetCounters(); }

  void End(Row& row, Clock::time_point start, size_t n) {
    row.libNs = NsPer(start, n);
    std::ostringstream by;
    row.calls = 0;
    for (const auto& [name, count] : host_.Counters()) {
      row.calls += count;
      char text[32];
      std::snprintf(text, sizeof text, "%.2f", PerEntry(count, n));
      by << (by.tellp() > 0 ? ";" : "") << name << "=" << text;
    }
    row.callsPer = PerEntry(row.calls, n);
    row.byEntry = by.str();
  }

  // Every stored key once: the library hands back the program's own key
  // objects.
  void CheckKeys(const Case& c, const char* phase, const std::vector<Word>& got, const Word* hit,
                 size_t n) {
    std::vector<Word> sorted(got), stored(hit, hit + n);
    std::sort(sorted.begin(), sorted.end());
    std::sort(stored.begin(), stored.end());
    if (sorted != stored)
      Fail(Where(c, std::string(phase) + " did not give every stored key once"));
  }

  std::string Where(const Case& c, const std::string& what) const {
    return std::string(c.member->name) + " " + c.label + ": " + what;
  }

  // A benchmark of a misbehaving library measures nothing: stop at the first
  // exception or violation.
  void Check(const Case& c, const char* phase) {
    if (host_.ExceptionPending()) {
      auto e = host_.TakeException();
      Fail(Where(c, std::string(phase) + " raised " + e->className + ": " + e->message));
    }
    if (!host_.Violations().empty())
      Fail(Where(c, std::string(phase) + ": " + host_.Violations().front().ToString()));
  }

  void ReleaseAll(const std::vector<Word>& words) {
    for (Word w : words)
      if (w) host_.Release(w);
  }

  standin::Host& host_;
};

// Both sides of one case, the library first.
void Measure(Runner& runner, const Case& c, const Keys& keys, size_t n, Figures& f) {
  runner.Run(c, keys, n, f.rows);
  if (c.intKeys())
    RawFor<int32_t, false>(*c.member, keys.ints, keys.missInts, f);
  else if (c.caseSensitive)
    RawFor<std::string, false>(*c.member, keys.strings, keys.missStrings, f);
  else
    RawFor<std::string, true>(*c.member, keys.strings, keys.missStrings, f);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');)
    if (!item.empty()) out.push_back(item);
  return out;
}

// ---- One plug-in's run: a host of its own, every case at every size.

struct Plugin {
  std::string label;  // "before", "after"
  std::string path;
};
// figures[size index][case index]
using Results = std::vector<std::vector<Figures>>;

Results RunPlugin(const Plugin& plugin, double hostVersion, const std::vector<Case>& cases,
                  const std::vector<size_t>& sizes, int repeat) {
  bool contents[kContentCount] = {};
  for (const Case& c : cases) contents[c.content] = true;
  standin::Options options = standin::Options::Loaded(hostVersion);
  options.pluginPath = plugin.path;
  options.quarantineLimit = 4096;  // dead iterators and arrays need not pile up
  Results results;
  {
    standin::Host host(options);
    Runner runner(host);
    // The emulator translates code on first use: one small untimed round first.
    {
      Keys warm = MakeKeys(host, 256, contents);
      Figures unused;
      for (const Case& c : cases) Measure(runner, c, warm, 256, unused);
      ReleaseKeys(host, warm);
    }
    for (size_t n : sizes) {
      const auto start = Clock::now();
      Keys keys = MakeKeys(host, n, contents);
      std::vector<Figures>& bySize = results.emplace_back(cases.size());
      for (size_t ci = 0; ci < cases.size(); ++ci) {
        Figures& f = bySize[ci];
        // Times are the medians of the rounds; calls and heap do not vary.
        std::vector<double> lib[kOpCount], raw[kOpCount];
        for (int round = 0; round < repeat; ++round) {
          Measure(runner, cases[ci], keys, n, f);
          for (int op = 0; op < kOpCount; ++op) {
            lib[op].push_back(f.rows[op].libNs);
            raw[op].push_back(f.rows[op].rawNs);
          }
        }
        for (int op = 0; op < kOpCount; ++op) {
          f.rows[op].libNs = Median(lib[op]);
          f.rows[op].rawNs = Median(raw[op]);
        }
        f.lib = runner.HeapOfFill(cases[ci], keys, n);
      }
      ReleaseKeys(host, keys);
      std::fprintf(stderr, "%s: %zu entries, %zu cases, %.1f s CPU\n", plugin.label.c_str(), n,
                   cases.size(), NsPer(start, 1) / 1e9);
    }
    if (!host.Finish().empty()) Fail(plugin.label + ": the host found problems at the end");
  }
  return results;
}

// ---- Printing: each figure as before → after (one value with one plug-in).

std::string Pair(const std::vector<double>& v, const char* format) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    char text[32];
    std::snprintf(text, sizeof text, format, v[i]);
    out += (i ? " → " : "") + std::string(text);
  }
  return out;
}

// Pads to a width counted in characters ("→" is three bytes).
std::string Pad(const std::string& s, size_t width, bool left = false) {
  size_t chars = 0;
  for (unsigned char ch : s) chars += (ch & 0xC0) != 0x80;
  std::string pad(chars < width ? width - chars : 0, ' ');
  return left ? s + pad : pad + s;
}

// One column of a table: a figure of every plug-in, padded to `width`.
template <class Get>
std::string Column(const std::vector<Results>& all, size_t si, size_t ci, Get get,
                   const char* format, size_t width) {
  std::vector<double> v;
  for (const Results& r : all) v.push_back(get(r[si][ci]));
  return Pad(Pair(v, format), width);
}

// ---- Targets: the figures the library is held to, checked at one size.

enum Metric { kBytes, kBytesLeft, kWalkRatio, kHitRatio, kKeyCalls, kHitCalls };
const char* const kMetricNames[] = {"requested B/entry",         "bytes left after destruction",
                                    "walk step / Count",         "lookup hit / standard",
                                    "host calls per Key(index)", "host calls per lookup hit"};

double FigureOf(Metric metric, const Figures& f, size_t n) {
  switch (metric) {
    case kBytes:
      return f.lib.bytes;
    case kBytesLeft:
      return f.lib.left;
    case kWalkRatio:
      return f.WalkPerGetter();
    case kHitRatio:
      return f.Ratio(kHit);
    case kKeyCalls:
      return f.KeyLoopCalls(n);
    case kHitCalls:
      return f.rows[kHit].callsPer;
  }
  return 0;
}

enum Limit {
  kAtMost,          // the figure is at most `bound`
  kOverStandard,    // the figure is at most the standard container's plus `bound`
  kNotAboveBefore,  // the figure is at most the before plug-in's plus `bound`
  kQuoted,          // printed, no limit
};

enum KeyFilter { kAnyKeys, kIntegerKeys, kOtherKeys };
const char* const kKeyFilterNames[] = {"every class", "Integer keys", "other keys"};

struct Target {
  const char* className;  // null: every class of `keys`
  const char* caseLabel;  // null: every case
  KeyFilter keys;
  Metric metric;
  Limit limit;
  double bound;
  bool group;  // one line for all the cases, with the worst; else a line per case

  bool Matches(const Case& c) const {
    const bool integer = c.member->key == kInteger;
    return (!className || std::strcmp(c.member->name, className) == 0) &&
           (!caseLabel || std::strcmp(c.label, caseLabel) == 0) &&
           (keys == kAnyKeys || integer == (keys == kIntegerKeys));
  }
};

const Target kTargets[] = {
    {"IntegerToIntegerHashMapKDT", "-", kAnyKeys, kBytes, kOverStandard, 5, false},
    {"IntegerHashSetKDT", "-", kAnyKeys, kBytes, kOverStandard, 5, false},
    {"IntegerToIntegerOrderedMapKDT", "-", kAnyKeys, kBytes, kOverStandard, 5, false},
    {"IntegerOrderedSetKDT", "-", kAnyKeys, kBytes, kOverStandard, 5, false},
    {"VariantToVariantHashMapKDT", "-", kAnyKeys, kBytes, kOverStandard, 20, false},
    {"StringOrderedSetKDT", "S", kAnyKeys, kBytes, kOverStandard, 4, false},
    // A few bytes more per container, spread over the entries, are not a
    // class above its figure.
    {nullptr, nullptr, kAnyKeys, kBytes, kNotAboveBefore, 0.05, true},
    {nullptr, nullptr, kAnyKeys, kBytesLeft, kAtMost, 0, true},
    {nullptr, nullptr, kIntegerKeys, kWalkRatio, kAtMost, 15, false},
    {"IntegerToIntegerHashMapKDT", "-", kAnyKeys, kHitRatio, kAtMost, 1.05, false},
    {"IntegerHashSetKDT", "-", kAnyKeys, kHitRatio, kAtMost, 1.05, false},
    {nullptr, nullptr, kIntegerKeys, kKeyCalls, kAtMost, 0.05, true},
    {nullptr, nullptr, kOtherKeys, kKeyCalls, kAtMost, 1.05, true},
    {"VariantToVariantHashMapKDT", "I", kAnyKeys, kHitCalls, kQuoted, 0, false},
    {"VariantToVariantOrderedMapKDT", "I", kAnyKeys, kHitCalls, kQuoted, 0, false},
};

std::string CaseName(const Case& c) {
  return std::string(c.member->name) +
         (std::strcmp(c.label, "-") ? std::string(" ") + c.label : "") +
         (c.content == kVariantInts ? " (Integer Variants)" : "");
}

// A line per case of a target, or for a group one line that
// gives its worst case and names the first of its failing cases.
void PrintSummary(const std::vector<Plugin>& plugins, const std::vector<Results>& all,
                  const std::vector<Case>& cases, size_t si, size_t n) {
  std::printf("\nTargets at %zu entries (pass: the after figure is within the limit):\n", n);
  const bool haveBefore = plugins.size() > 1;
  for (const Target& t : kTargets) {
    if (t.limit == kNotAboveBefore && !haveBefore) continue;
    size_t rows = 0, passed = 0;
    double worst = -1e300;
    std::string worstLine;
    std::vector<std::string> failing;
    for (size_t ci = 0; ci < cases.size(); ++ci) {
      if (!t.Matches(cases[ci])) continue;
      const Figures& after = all.back()[si][ci];
      const double a = FigureOf(t.metric, after, n);
      const double b = haveBefore ? FigureOf(t.metric, all.front()[si][ci], n) : 0;
      double limit = t.bound;
      if (t.limit == kOverStandard) limit = after.raw.bytes + t.bound;
      if (t.limit == kNotAboveBefore) limit = b + t.bound;
      const bool pass = t.limit == kQuoted || a <= limit + 1e-9;
      char line[320];
      int len = std::snprintf(line, sizeof line, "%s %s:", CaseName(cases[ci]).c_str(),
                              kMetricNames[t.metric]);
      if (haveBefore) len += std::snprintf(line + len, sizeof line - len, " before %.2f,", b);
      len += std::snprintf(line + len, sizeof line - len, " after %.2f", a);
      if (t.limit == kOverStandard)
        len += std::snprintf(line + len, sizeof line - len, ", standard %.2f, limit %.2f",
                             after.raw.bytes, limit);
      else if (t.limit != kQuoted)
        std::snprintf(line + len, sizeof line - len, ", limit %.2f", limit);
      ++rows;
      passed += pass;
      if (!t.group) {
        std::printf("  %s: %s\n", line, t.limit == kQuoted ? "quoted" : pass ? "pass" : "FAIL");
        continue;
      }
      // The worst case is the one furthest above (or least below) its limit.
      if (a - limit > worst) {
        worst = a - limit;
        worstLine = line;
      }
      if (!pass) failing.push_back(CaseName(cases[ci]));
    }
    if (!t.group || rows == 0) continue;
    std::printf("  %s (%zu cases), %s%s: %zu of %zu pass: %s; worst: %s\n", kKeyFilterNames[t.keys],
                rows, kMetricNames[t.metric], t.limit == kNotAboveBefore ? " not above before" : "",
                passed, rows, passed == rows ? "pass" : "FAIL", worstLine.c_str());
    if (failing.empty()) continue;
    std::string names;
    const size_t shown = std::min<size_t>(failing.size(), 4);
    for (size_t i = 0; i < shown; ++i) names += (i ? ", " : "") + failing[i];
    if (failing.size() > shown)
      names += " and " + std::to_string(failing.size() - shown) + " more (tables above)";
    std::printf("    failing: %s\n", names.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes = {1000, 10000};
  std::vector<std::string> only;
  std::string csvPath = "bench.csv";
  int repeat = 1;
  double hostVersion = 2019.0;
  std::vector<Plugin> plugins;
  for (int a = 1; a < argc; ++a) {
    std::string arg = argv[a];
    if (arg.rfind("--sizes=", 0) == 0) {
      sizes.clear();
      for (const auto& s : Split(arg.substr(8)))
        sizes.push_back(std::strtoul(s.c_str(), nullptr, 10));
    } else if (arg.rfind("--classes=", 0) == 0) {
      only = Split(arg.substr(10));
    } else if (arg.rfind("--repeat=", 0) == 0) {
      repeat = std::max(1, std::atoi(arg.c_str() + 9));
    } else if (arg.rfind("--csv=", 0) == 0) {
      csvPath = arg.substr(6);
    } else if (arg.rfind("--host=", 0) == 0) {
      hostVersion = std::atof(arg.c_str() + 7);
    } else if (arg.rfind("--before=", 0) == 0) {
      plugins.push_back({"before", arg.substr(9)});
    } else {
      std::fprintf(stderr,
                   "usage: %s [--before=plugin.so] [--sizes=N,...] [--classes=Name,...] "
                   "[--repeat=R] [--csv=file] [--host=version]\n",
                   argv[0]);
      return 2;
    }
  }
  plugins.push_back({"after", standin::PluginPath()});
  static const std::vector<Member> kMembers = AllMembers();
  std::vector<Case> cases;
  for (const Member& m : kMembers) {
    bool wanted = only.empty();
    for (const auto& word : only) wanted = wanted || std::strstr(m.name, word.c_str()) != nullptr;
    if (!wanted) continue;
    for (const Case& c : CasesOf(m)) cases.push_back(c);
  }
  if (cases.empty() || sizes.empty()) Fail("nothing to run");

  std::vector<Results> all;
  for (const Plugin& p : plugins) all.push_back(RunPlugin(p, hostVersion, cases, sizes, repeat));

  std::printf(
      "CPU time in ns per operation: the library's method functions called directly in the\n"
      "stand-in host (its entries included), against the standard container on the same keys\n"
      "(ratio = library / standard; std::map and std::set for trees, __gnu_cxx::hash_map and\n"
      "hash_set for hash tables). \"walk step\" is isEqual + Key + Value + MoveNext per entry\n"
      "(sets: no Value), first and last included; Count is the property getter on the same\n"
      "container. \"key array\" is the first Key(index) call, which builds the array of keys,\n"
      "per entry; Key(index) is each later call. Keys: \"key_\" and 8 hex digits (String\n"
      "Variants hold such a String); case - is Integer keys or Integer Variants; case I folds\n"
      "ASCII on the standard side. Each time is the median of %d round(s). Host version %.1f.\n",
      repeat, hostVersion);
  for (const Plugin& p : plugins) std::printf("  %-6s %s\n", p.label.c_str(), p.path.c_str());
  std::printf("\n%-31s %-4s %7s %-11s %19s %15s %15s %13s  %s\n", "class", "case", "entries",
              "operation", "lib ns", "raw ns", "ratio", "calls", "calls by entry (after)");
  std::ofstream csv(csvPath);
  csv << "plugin,class,case,entries,operation,lib_ns,raw_ns,ratio,host_calls,"
         "lib_bytes_per_entry,raw_bytes_per_entry,lib_chunks_per_entry,raw_chunks_per_entry,"
         "calls_by_entry\n";
  for (size_t si = 0; si < sizes.size(); ++si) {
    for (size_t ci = 0; ci < cases.size(); ++ci) {
      const Case& c = cases[ci];
      for (int op = 0; op < kOpCount; ++op) {
        const Op o = static_cast<Op>(op);
        const auto of = [&](auto get) { return [o, get](const Figures& f) { return get(f, o); }; };
        std::printf(
            "%-31s %-4s %7zu %-11s %s %s %s %s  %s\n", c.member->name, c.label, sizes[si],
            kOpNames[op],
            Column(all, si, ci, of([](const Figures& f, Op x) { return f.rows[x].libNs; }), "%.0f",
                   19)
                .c_str(),
            Column(all, si, ci, of([](const Figures& f, Op x) { return f.rows[x].rawNs; }), "%.0f",
                   15)
                .c_str(),
            o == kGetter ? Pad("", 15).c_str()
                         : Column(all, si, ci,
                                  of([](const Figures& f, Op x) { return f.Ratio(x); }), "%.2f", 15)
                               .c_str(),
            Column(all, si, ci, of([](const Figures& f, Op x) { return f.rows[x].callsPer; }),
                   "%.2f", 13)
                .c_str(),
            all.back()[si][ci].rows[op].byEntry.c_str());
        for (size_t p = 0; p < plugins.size(); ++p) {
          const Figures& f = all[p][si][ci];
          const Row& r = f.rows[op];
          csv << plugins[p].label << ',' << c.member->name << ',' << c.label << ',' << sizes[si]
              << ',' << kOpNames[op] << ',' << r.libNs << ',' << r.rawNs << ','
              << (o == kGetter ? 0.0 : f.Ratio(o)) << ',' << r.callsPer << ',';
          if (o == kInsert)
            csv << f.lib.bytes << ',' << f.raw.bytes << ',' << f.lib.chunks << ',' << f.raw.chunks;
          else
            csv << ",,,";
          csv << ",\"" << r.byEntry << "\"\n";
        }
      }
    }
  }

  std::printf(
      "\nHeap the library holds after the fill (requested bytes and allocator chunks per entry,\n"
      "its own allocations only) against the standard container's; walk step / Count; host\n"
      "calls per Key(index) call over an index loop of the whole container (array creation\n"
      "included).\n\n%-31s %-4s %7s %15s %8s %13s %8s %15s %13s\n",
      "class", "case", "entries", "B/entry", "std B", "chunks/entry", "std", "walk/Count",
      "Key(i) calls");
  for (size_t si = 0; si < sizes.size(); ++si) {
    const size_t n = sizes[si];
    for (size_t ci = 0; ci < cases.size(); ++ci) {
      const Case& c = cases[ci];
      const Figures& after = all.back()[si][ci];
      std::printf("%-31s %-4s %7zu %s %8.1f %s %8.2f %s %s\n", c.member->name, c.label, n,
                  Column(
                      all, si, ci, [](const Figures& f) { return f.lib.bytes; }, "%.1f", 15)
                      .c_str(),
                  after.raw.bytes,
                  Column(
                      all, si, ci, [](const Figures& f) { return f.lib.chunks; }, "%.2f", 13)
                      .c_str(),
                  after.raw.chunks,
                  Column(
                      all, si, ci, [](const Figures& f) { return f.WalkPerGetter(); }, "%.1f", 15)
                      .c_str(),
                  Column(
                      all, si, ci, [n](const Figures& f) { return f.KeyLoopCalls(n); }, "%.2f", 13)
                      .c_str());
    }
  }

  // Targets are set at 10,000 entries; without that size, the largest run.
  size_t si = std::find(sizes.begin(), sizes.end(), size_t{10000}) - sizes.begin();
  if (si == sizes.size()) si = std::max_element(sizes.begin(), sizes.end()) - sizes.begin();
  PrintSummary(plugins, all, cases, si, sizes[si]);
  return 0;
}
