// Times every container class against the standard container it stands for,
// on the same keys in the same process, inside the stand-in host.
//
// What is timed: the registered method functions, resolved once from the
// class as the host registered it and called directly with argument words
// (no declaration lookup or argument checks of the stand-in's calling API).
// The stand-in's own entries that the library calls are part of the time:
// on a real host each of them is a call across its API as well.
//
//   kdt_bench [--sizes=1000,10000] [--classes=Name,...] [--repeat=R] [--csv=file]
//             [--host=2019]
//
// --host is the host version the stand-in plays (hosts before 2017 let the
// library read array elements in place); --classes keeps the classes whose
// name contains one of the words; --repeat
// runs each row R times and reports the median times.  100,000 entries are
// left out by default: under emulation they take most of half an hour.
#include <malloc.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "containers/members/Members.h"
#include "standin/host/Host.h"

namespace {

using standin::REALstring;
using standin::Word;

enum Kind { kInteger, kString, kText, kVariant };
enum Op { kInsert, kHit, kMiss, kWalk, kKeyArray, kKeyAt, kRemove, kOpCount };
const char* const kOpNames[kOpCount] = {"insert",    "lookup hit", "lookup miss", "walk",
                                        "key array", "Key(index)", "Remove(key)"};

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

// One operation measured on both sides.
struct Row {
  double libNs = 0, rawNs = 0;
  double calls = 0;                 // host calls per operation
  std::string byEntry;              // "entry=calls per operation;..."
  double libHeap = 0, rawHeap = 0;  // heap bytes per entry after the fill (insert only)
};
using Rows = Row[kOpCount];

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

size_t HeapInUse() {
  return mallinfo2().uordblks;
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

size_t Weight(int32_t k) {
  return static_cast<size_t>(k);
}
size_t Weight(const std::string& k) {
  return k.size();
}

template <class C, class K>
void RunRaw(const std::vector<K>& hit, const std::vector<K>& miss, Rows& rows) {
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
  C c;
  size_t heap = HeapInUse();
  auto t = Clock::now();
  for (const K& k : hit) {
    if constexpr (kIsSet)
      c.insert(k);
    else
      c.emplace(k, Word{7});
  }
  rows[kInsert].rawNs = NsPer(t, n);
  rows[kInsert].rawHeap = static_cast<double>(HeapInUse() - heap) / static_cast<double>(n);
  t = Clock::now();
  for (const K& k : hit) sink += lookup(c, k);
  rows[kHit].rawNs = NsPer(t, n);
  t = Clock::now();
  for (const K& k : miss) sink += lookup(c, k);
  rows[kMiss].rawNs = NsPer(t, n);
  t = Clock::now();
  for (auto it = c.begin(); it != c.end(); ++it) ++sink;
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
void RawFor(const Member& m, const std::vector<K>& hit, const std::vector<K>& miss, Rows& rows) {
  using Less = std::conditional_t<kFold, FoldLess, std::less<K>>;
  using Hash = std::conditional_t<kFold, FoldHash, std::hash<K>>;
  using Eq = std::conditional_t<kFold, FoldEq, std::equal_to<K>>;
  if (m.ordered && m.isMap) RunRaw<std::map<K, Word, Less>>(hit, miss, rows);
  if (m.ordered && !m.isMap) RunRaw<std::set<K, Less>>(hit, miss, rows);
  if (!m.ordered && m.isMap) RunRaw<std::unordered_map<K, Word, Hash, Eq>>(hit, miss, rows);
  if (!m.ordered && !m.isMap) RunRaw<std::unordered_set<K, Hash, Eq>>(hit, miss, rows);
}

// ---- Keys: 2n distinct values, the first n stored and the rest missing.
// String, Text and Variant keys carry the same ASCII text ("key_" and eight
// hex digits); a Variant key holds a String.
struct Keys {
  std::vector<int32_t> ints, missInts;
  std::vector<std::string> strings, missStrings;
  std::vector<Word> words[4];  // host values (or the ints) by key kind
};

Keys MakeKeys(standin::Host& host, size_t n, const bool (&kinds)[4]) {
  Keys k;
  for (size_t i = 0; i < 2 * n; ++i) {
    // An odd multiplier is a bijection on 32 bits: distinct, scattered keys.
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u ^ 0x5bd1e995u;
    char text[16];
    std::snprintf(text, sizeof text, "key_%08x", static_cast<unsigned>(x));
    (i < n ? k.ints : k.missInts).push_back(static_cast<int32_t>(x));
    (i < n ? k.strings : k.missStrings).push_back(text);
    k.words[kInteger].push_back(x);
    if (kinds[kString] || kinds[kVariant]) {
      REALstring s = host.NewString(text);
      if (kinds[kVariant]) k.words[kVariant].push_back(standin::W(host.NewVariantString(s)));
      if (kinds[kString])
        k.words[kString].push_back(standin::W(s));
      else
        host.Release(s);
    }
    if (kinds[kText]) k.words[kText].push_back(standin::W(host.NewText(text)));
  }
  return k;
}

void ReleaseKeys(standin::Host& host, Keys& k) {
  for (int kind = kString; kind <= kVariant; ++kind)
    for (Word w : k.words[kind]) host.Release(w);
}

// ---- The library side.

using F1 = Word (*)(Word);
using F2 = Word (*)(Word, Word);
using F3 = Word (*)(Word, Word, Word);

struct Methods {
  const standin::MethodInfo* constructor = nullptr;
  kdt::HostFunction insert = nullptr, lookup = nullptr, keyAt = nullptr, remove = nullptr;
  kdt::HostFunction first = nullptr, last = nullptr, moveNext = nullptr, notEqual = nullptr;
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
  const standin::MethodInfo* first = FindMethod(*cls, "first", 0);
  f.first = first->function;
  f.last = FindMethod(*cls, "last", 0)->function;
  const standin::ClassInfo* it = host.FindClass(first->parsed.returnType);
  if (!it) Fail(first->parsed.returnType + " is not registered");
  f.moveNext = FindMethod(*it, "MoveNext", 0)->function;
  f.notEqual = FindMethod(*it, "isNotEqual", 1)->function;
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

  void Run(const Member& m, bool caseSensitive, const Keys& keys, size_t n, Rows& rows) {
    const Methods f = Resolve(host_, m);
    const Word* hit = keys.words[m.key].data();
    const Word* miss = hit + n;
    const bool objectValues = m.isMap && m.value != kInteger;
    const bool objectKeys = m.key != kInteger;
    const Word value = m.isMap ? MakeValue(host_, m.value, 7) : 1;
    const Word fallback = m.isMap ? MakeValue(host_, m.value, -1) : 0;
    std::vector<Word> out(n);

    Word map = m.key == kInteger
                   ? standin::W(host_.New(m.name, f.constructor->declaration))
                   : standin::W(host_.New(m.name, f.constructor->declaration, {caseSensitive}));
    Check(m, "construction");

    Begin();
    size_t heap = HeapInUse();
    auto t = Clock::now();
    if (m.isMap)
      for (size_t i = 0; i < n; ++i) reinterpret_cast<F3>(f.insert)(map, hit[i], value);
    else
      for (size_t i = 0; i < n; ++i) reinterpret_cast<F2>(f.insert)(map, hit[i]);
    End(rows[kInsert], t, n);
    rows[kInsert].libHeap = static_cast<double>(HeapInUse() - heap) / static_cast<double>(n);
    if (host_.Get(map, "Count").i() != static_cast<int32_t>(n)) Fail(Where(m, "insert lost keys"));
    Check(m, "insert");

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
      Check(m, kOpNames[op]);
      for (Word w : out)
        if (w != want) Fail(Where(m, std::string(kOpNames[op]) + " returned a wrong value"));
      if (objectValues) ReleaseAll(out);
    }

    Begin();
    t = Clock::now();
    Word it = reinterpret_cast<F1>(f.first)(map);
    Word end = reinterpret_cast<F1>(f.last)(map);
    size_t steps = 0;
    for (; reinterpret_cast<F2>(f.notEqual)(it, end) & 0xFF; ++steps)
      reinterpret_cast<F1>(f.moveNext)(it);
    End(rows[kWalk], t, n);
    Check(m, "walk");
    host_.Release(it);
    host_.Release(end);
    if (steps != n) Fail(Where(m, "walk took " + std::to_string(steps) + " steps"));

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
    Check(m, "Key(index)");
    std::vector<Word> sorted(out), stored(hit, hit + n);
    std::sort(sorted.begin(), sorted.end());
    std::sort(stored.begin(), stored.end());
    if (sorted != stored) Fail(Where(m, "Key(index) did not give every stored key once"));
    if (objectKeys) ReleaseAll(out);

    Begin();
    t = Clock::now();
    size_t removed = 0;
    for (size_t i = 0; i < n; ++i) removed += reinterpret_cast<F2>(f.remove)(map, hit[i]);
    End(rows[kRemove], t, n);
    Check(m, "Remove(key)");
    if (removed != n || host_.Get(map, "Count").i() != 0) Fail(Where(m, "Remove(key) missed keys"));

    host_.Release(map);
    if (objectValues) {
      host_.Release(value);
      host_.Release(fallback);
    }
    Check(m, "destruction");
  }

 private:
  void Begin() { host_.ResetCounters(); }

  void End(Row& row, Clock::time_point start, size_t n) {
    row.libNs = NsPer(start, n);
    std::ostringstream by;
    row.calls = 0;
    for (const auto& [name, count] : host_.Counters()) {
      double per = static_cast<double>(count) / static_cast<double>(n);
      row.calls += per;
      char text[32];
      std::snprintf(text, sizeof text, "%.2f", per);
      by << (by.tellp() > 0 ? ";" : "") << name << "=" << text;
    }
    row.byEntry = by.str();
  }

  std::string Where(const Member& m, const std::string& what) const {
    return std::string(m.name) + ": " + what;
  }

  // A benchmark of a misbehaving library measures nothing: stop at the first
  // exception or violation.
  void Check(const Member& m, const char* phase) {
    if (host_.ExceptionPending()) {
      auto e = host_.TakeException();
      Fail(Where(m, std::string(phase) + " raised " + e->className + ": " + e->message));
    }
    if (!host_.Violations().empty())
      Fail(Where(m, std::string(phase) + ": " + host_.Violations().front().ToString()));
  }

  void ReleaseAll(const std::vector<Word>& words) {
    for (Word w : words)
      if (w) host_.Release(w);
  }

  standin::Host& host_;
};

// Both sides of one class and case mode, the library first.
void Measure(Runner& runner, const Member& m, bool caseSensitive, const Keys& keys, size_t n,
             Rows& rows) {
  runner.Run(m, caseSensitive, keys, n, rows);
  if (m.key == kInteger)
    RawFor<int32_t, false>(m, keys.ints, keys.missInts, rows);
  else if (caseSensitive)
    RawFor<std::string, false>(m, keys.strings, keys.missStrings, rows);
  else
    RawFor<std::string, true>(m, keys.strings, keys.missStrings, rows);
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

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes = {1000, 10000};
  std::vector<std::string> only;
  std::string csvPath = "bench.csv";
  int repeat = 1;
  double hostVersion = 2019.0;
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
    } else {
      std::fprintf(stderr,
                   "usage: %s [--sizes=N,...] [--classes=Name,...] [--repeat=R] [--csv=file] "
                   "[--host=version]\n",
                   argv[0]);
      return 2;
    }
  }
  std::vector<const Member*> members;
  bool kinds[4] = {};
  static const std::vector<Member> kMembers = AllMembers();
  for (const Member& m : kMembers) {
    bool wanted = only.empty();
    for (const auto& word : only) wanted = wanted || std::strstr(m.name, word.c_str()) != nullptr;
    if (!wanted) continue;
    members.push_back(&m);
    kinds[m.key] = true;
  }
  if (members.empty() || sizes.empty()) Fail("nothing to run");

  standin::Options options = standin::Options::Loaded(hostVersion);
  options.quarantineLimit = 4096;  // dead iterators and arrays need not pile up
  standin::Host host(options);
  Runner runner(host);

  std::ofstream csv(csvPath);
  csv << "class,case,entries,operation,lib_ns,raw_ns,ratio,host_calls,lib_heap_per_entry,"
         "raw_heap_per_entry,calls_by_entry\n";
  std::printf(
      "CPU time in ns per operation: the library's method functions called directly in the\n"
      "stand-in host (its entries included), against the standard container on the same keys\n"
      "(ratio = library / standard). Walk is per entry, first and last included. \"key array\"\n"
      "is the first Key(index) call, which builds the array of keys, per entry; Key(index) is\n"
      "each later call. Heap is the growth in bytes per entry during the fill: the library's\n"
      "table or tree, nodes and key handles (the host keys and values are made beforehand)\n"
      "against the standard container's nodes, buckets and std::string keys. Keys: \"key_\" and\n"
      "8 hex digits (Variant keys hold such a String); case I folds ASCII on the standard side.\n"
      "Each time is the median of %d round(s). Host version %.1f.\n\n",
      repeat, hostVersion);
  std::printf("%-31s %-4s %7s %-11s %9s %8s %6s %6s %9s  %s\n", "class", "case", "entries",
              "operation", "lib ns", "raw ns", "ratio", "calls", "heap B/e", "calls by entry");
  // The emulator translates code on first use: one small untimed round first.
  {
    Keys warm = MakeKeys(host, 256, kinds);
    for (const Member* m : members)
      for (int mode = 0; mode < (m->key == kInteger ? 1 : 2); ++mode) {
        Rows rows;
        Measure(runner, *m, mode == 0, warm, 256, rows);
      }
    ReleaseKeys(host, warm);
  }
  for (size_t n : sizes) {
    Keys keys = MakeKeys(host, n, kinds);
    for (const Member* m : members) {
      for (int mode = 0; mode < (m->key == kInteger ? 1 : 2); ++mode) {
        const bool caseSensitive = mode == 0;
        // Times are the medians of the rounds; calls and heap do not vary.
        std::vector<double> lib[kOpCount], raw[kOpCount];
        Rows rows;
        for (int round = 0; round < repeat; ++round) {
          Measure(runner, *m, caseSensitive, keys, n, rows);
          for (int op = 0; op < kOpCount; ++op) {
            lib[op].push_back(rows[op].libNs);
            raw[op].push_back(rows[op].rawNs);
          }
        }
        for (int op = 0; op < kOpCount; ++op) {
          rows[op].libNs = Median(lib[op]);
          rows[op].rawNs = Median(raw[op]);
        }
        const char* caseMode = m->key == kInteger ? "-" : caseSensitive ? "S" : "I";
        for (int op = 0; op < kOpCount; ++op) {
          const Row& r = rows[op];
          double ratio = r.rawNs > 0 ? r.libNs / r.rawNs : 0.0;
          char heap[32] = "";
          if (op == kInsert) std::snprintf(heap, sizeof heap, "%.0f/%.0f", r.libHeap, r.rawHeap);
          std::printf("%-31s %-4s %7zu %-11s %9.0f %8.0f %6.2f %6.2f %9s  %s\n", m->name, caseMode,
                      n, kOpNames[op], r.libNs, r.rawNs, ratio, r.calls, heap, r.byEntry.c_str());
          csv << m->name << ',' << caseMode << ',' << n << ',' << kOpNames[op] << ',' << r.libNs
              << ',' << r.rawNs << ',' << ratio << ',' << r.calls << ',';
          if (op == kInsert)
            csv << r.libHeap << ',' << r.rawHeap;
          else
            csv << ',';
          csv << ",\"" << r.byEntry << "\"\n";
        }
        std::fflush(stdout);
      }
    }
    ReleaseKeys(host, keys);
  }
  return host.Finish().empty() ? 0 : 1;
}
