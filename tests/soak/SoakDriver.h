// One random driver for every container class: it calls a member the way a
// host program does (constructors, keyed access, iterators, arrays,
// Dictionary, Clone, misuse of every kind) and compares each result with a
// plain model.  Findings are collected as text so that the same driver serves
// the unit tests and the long soak program.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"

namespace kdt_test {

class SoakDriver {
 public:
  // A key as the model knows it.  Variant keys of the ordered classes mix
  // types: 0 String "k<n>", 1 Integer n, 2 Double (n + 0.5; for every tenth
  // n 0.0 or -0.0, one key; or NaN, each object a key of its own), 3 Int64 n
  // (not the Integer n).
  struct Key {
    int type = 0;
    std::string name;
    int number = 0;
    double real = 0;
  };
  struct Entry {
    Key key;
    Word keyRef;        // the key reference first stored (Integer: the number)
    Word value;         // maps only
    int uid;            // which insertion made the entry
    uint32_t hash = 0;  // hash storage
  };
  // An iterator the program keeps: uid 0 is the end position of generation
  // `gen` (a constructor run again or a new container starts another).
  // Loose: made before a constructor in the other case mode (no position
  // there), or of a released container (stale or another's), or a table's
  // end (shared by the tables of one mode); any of those answers is taken.
  struct Kept {
    Word it;
    int uid, gen;
    bool foreign;  // made by another container
    bool loose = false;
  };

  SoakDriver(Host& host, const Member& member, uint32_t seed)
      : h(host),
        m(member),
        s(member.spec),
        random(seed),
        arrays(host.options().hidden.count(kArrayEntry) == 0),
        cs(s.caseSensitive),
        mixed(!m.hash && s.key == Kind::Variant),
        table(cs) {}
  // Choices read from `size` bytes at `input` (a fuzzer's): the run ends
  // when they run out.
  SoakDriver(Host& host, const Member& member, const uint8_t* input, size_t size)
      : SoakDriver(host, member, 0) {
    bytes = input;
    left = size;
  }
  ~SoakDriver() {
    for (Word w : mine) h.Release(w);
  }

  static constexpr int kKeyRange = 60;
  static constexpr const char* kStale = "NilObjectException: Iterator not initialized";
  static constexpr const char* kNotFound = "KeyNotFoundException: Key not found";
  // A host without it cannot make the library's arrays (it has no other name).
  static constexpr const char* kArrayEntry = "RuntimeArrayCreateSingleDimBoundedArray";
  std::vector<std::string> findings;
  uint64_t calls = 0;

  // Runs until `budget` host calls are made or a finding stops the run.  The
  // container starts with `prefill` keys outside the random range: enough of
  // them make a hash table grow, which the random range alone never does, and
  // a tree deep.
  void Run(uint64_t budget, int prefill = 0) {
    c = NewContainer(s.caseSensitive);
    other = NewContainer(!s.caseSensitive);
    for (int n = 0; n < 5; ++n) Put(other, MakeKey(RandomKey(n)), Value(n));
    for (int n = kKeyRange; n < kKeyRange + prefill; ++n) {
      Key key = RandomKey(n);
      Word k = MakeKey(key), v = m.set ? 0 : Value(n);
      Put(c, k, v);
      ModelPut(key, k, v);
      // The table grows at one exact count.
      if (m.hash)
        Expect(Get(c, "BinCount").i() == static_cast<int32_t>(table.bucket_count()),
               "BinCount while filling");
    }
    // A full tree of mixed keys is copied at once: steps copy seldom.
    if (prefill > 0 && CheckNow() && mixed && !m.set) Copy(1 + Below(2));
    while (calls < budget && findings.empty() && !ended) {
      Step();
      if (findings.empty() && h.ExceptionPending()) {
        auto e = h.TakeException();
        Fail("unexpected " + e->className + " \"" + e->message + "\"");
      }
      if (findings.empty() && !h.Violations().empty()) Fail(h.Violations()[0].ToString());
    }
    if (findings.empty()) CheckNow();
  }

 private:
  // ---- Host calls, counted.
  // Declarations are made once per pattern (allocations are dear in the
  // sanitizer build).
  const std::string& Decl(const char* pattern) {
    auto at = decls.find(pattern);
    return at != decls.end() ? at->second : decls.emplace(pattern, s.Decl(pattern)).first->second;
  }
  Word Call(Word obj, const char* pattern, std::initializer_list<standin::Arg> args = {}) {
    ++calls;
    return h.Call(obj, Decl(pattern), args);
  }
  void Assign(Word obj, const char* pattern, std::initializer_list<standin::Arg> args, Word v) {
    ++calls;
    h.Assign(obj, Decl(pattern), args, v);
  }
  standin::Result Get(Word obj, const char* property) {
    ++calls;
    return h.Get(obj, property);
  }
  Word Keep(Kind k, Word w) {
    if (k != Kind::Integer && w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word KeepObject(Word w) { return Keep(Kind::Variant, w); }
  Word Own(Word w) {
    mine.push_back(w);
    return w;
  }
  void Drop(Word w) {
    // Iterators may keep their container alive: theirs is then another container.
    if (w == c)
      for (Kept& k : kept) k.foreign = k.foreign || h.RefCount(c) > 1;
    for (auto i = mine.begin(); i != mine.end(); ++i)
      if (*i == w) {
        mine.erase(i);
        h.Release(w);
        return;
      }
  }
  // Every choice is drawn here: from the generator, or from the input bytes,
  // as few as n needs (none for n <= 1); an input used up draws 0.
  size_t Below(size_t n) {
    if (n <= 1) return 0;
    if (bytes == nullptr) return static_cast<size_t>(random() % n);
    uint32_t x = 0;
    for (size_t width = 0; width < 4 && (n - 1) >> (8 * width) != 0; ++width) {
      ended = ended || left == 0;
      if (ended) return 0;
      x = x << 8 | *bytes++;
      --left;
    }
    return x % n;
  }

  // ---- Findings.
  bool Fail(const std::string& what) {
    if (findings.empty())
      findings.push_back(s.Name() + " at call " + std::to_string(calls) + ": " + what);
    return false;
  }
  bool Expect(bool ok, const std::string& what) { return ok || Fail(what); }
  // The exception the last call raised must be one of `allowed`: "Class:
  // message", "Class: *" for any message, "" for none.
  bool Took(std::initializer_list<std::string> allowed) {
    auto e = h.TakeException();
    std::string got = e ? e->className + ": " + e->message : "";
    for (const std::string& a : allowed)
      if (got == a ||
          (!a.empty() && a.back() == '*' && got.rfind(a.substr(0, a.size() - 1), 0) == 0))
        return true;
    return Fail((e ? "raised " + got : "no exception") + ", expected " + *allowed.begin());
  }
  // Misuse with no single documented answer: nothing, or a NilObjectException.
  bool NothingOrNil() { return Took({"NilObjectException: *", ""}); }

  // ---- Keys and values.
  Key RandomKey(int n) {
    Key k;
    k.number = s.key == Kind::Integer ? n * 7 - 200 : n;  // negative keys too
    if (s.key == Kind::Integer) return k;
    size_t r = mixed ? Below(10) : 0;
    k.type = r < 6 ? 0 : r == 6 ? 1 : r == 7 ? 3 : 2;
    if (k.type == 2) k.real = r == 9 && Below(3) == 0 ? std::nan("") : n + 0.5;
    if (k.type == 2 && n % 10 == 0) k.real = Below(2) ? 0.0 : -0.0;
    if (k.type == 0) k.name = TextOf("k", n, s.HasCaseModes() && Below(3) == 0);
    return k;
  }
  Word MakeKey(const Key& k) {
    if (s.key == Kind::Integer) return static_cast<Word>(k.number);
    if (k.type == 1) return KeepObject(standin::W(h.NewVariantInt32(k.number)));
    if (k.type == 3) return KeepObject(standin::W(h.NewVariantInt64(k.number)));
    if (k.type == 2) return KeepObject(standin::W(h.NewVariantDouble(k.real)));
    return MakeText(h, s.key, k.name);
  }
  Word Value(int n) { return Make(h, s.value, "v", n); }
  // What a key reference the container handed out holds.
  Key KeyFromRef(Word ref) {
    Key k;
    k.number = static_cast<int32_t>(ref);
    if (s.key == Kind::Integer) return k;
    const std::string text = Content(h, s.key, ref);
    const int32_t type = s.key == Kind::Variant ? h.VarType(ref) : standin::kVarString;
    k.type = type == standin::kVarInt32    ? 1
             : type == standin::kVarInt64  ? 3
             : type == standin::kVarDouble ? 2
                                           : 0;
    if (k.type == 1 || k.type == 3) k.number = std::stoi(text);
    if (k.type == 2) k.real = std::stod(text);
    if (k.type == 0) k.name = text;
    return k;
  }
  static std::string Folded(std::string x) {
    for (char& ch : x) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return x;
  }
  // Keys of one type in the container's order: <0, 0 (the same key) or >0.
  int Compare(const Key& a, const Key& b) const {
    int r;
    if (s.key == Kind::Integer || a.type == 1 || a.type == 3) {
      r = a.number < b.number ? -1 : a.number > b.number;
    } else if (a.type == 2) {
      if (std::isnan(a.real) || std::isnan(b.real)) return 2;  // never the same, no order
      r = a.real < b.real ? -1 : a.real > b.real;
    } else {
      r = cs ? a.name.compare(b.name) : Folded(a.name).compare(Folded(b.name));
      r = r < 0 ? -1 : r > 0;
    }
    // Maps with String, Text or Variant keys run from the greatest key down.
    return !m.set && s.key != Kind::Integer ? -r : r;
  }
  bool Same(const Key& a, const Key& b) const { return a.type == b.type && Compare(a, b) == 0; }
  std::string Describe(const Key& k) const {
    if (s.key == Kind::Integer || k.type == 1) return std::to_string(k.number);
    if (k.type == 3) return "Int64 " + std::to_string(k.number);
    if (k.type == 2) return std::to_string(k.real);
    return "\"" + k.name + "\"";
  }

  // ---- The model: `order` is the container's order, always current.
  int Find(const Key& k) const {
    for (size_t i = 0; i < order.size(); ++i)
      if (Same(order[i].key, k)) return static_cast<int>(i);
    return -1;
  }
  Entry Hashed(Entry e) const {
    e.hash = ModelHash(s.key == Kind::Variant ? Kind::String : s.key, e.key.name, e.key.number, cs);
    return e;
  }
  // value(key) = v or insert(key): the first key stays, a map takes the value.
  void ModelPut(const Key& k, Word ref, Word v) {
    Changed();
    if (m.hash) {
      Entry t = Hashed(Entry{k, ref, v, nextUid});
      if (!table.Find(t)) ++nextUid;
      table.Set(t);
      order = table.Order();
      return;
    }
    int i = Find(k);
    if (i >= 0) {
      order[i].value = v;
      return;
    }
    Entry e{k, ref, v, nextUid++};
    if (mixed) {
      // Keys of different types have no order the model can know: the
      // container's own order is taken and checked at the next Check.
      order.push_back(e);
      resync = true;
      return;
    }
    size_t at = 0;
    while (at < order.size() && Compare(order[at].key, k) < 0) ++at;
    order.insert(order.begin() + at, e);
  }
  void ModelErase(size_t from, size_t to) {
    if (m.hash) {
      for (size_t i = from; i < to; ++i) table.Remove(Hashed(order[i]));
      order = table.Order();
    } else {
      order.erase(order.begin() + from, order.begin() + to);
    }
  }
  void ModelClear(bool newTable) {
    if (newTable) table = TableModel<Entry>(cs);  // a constructor's, maybe in the other mode
    table.Clear();
    order.clear();
    Changed();
  }
  void Changed() {
    cache.reset();
    keysArray = valuesArray = 0;
    valuesGiven = false;
  }
  const std::vector<Entry>& Cached() {
    if (!cache) cache = order;
    return *cache;
  }
  // After a constructor that filled the container from elsewhere: the
  // container's content must be `expected`; its order is taken from the
  // container and checked.
  bool Adopt(const std::vector<std::pair<Key, std::string>>& expected) {
    std::vector<Word> values;
    std::vector<Word> keys = Shown(m.set ? nullptr : &values, expected.size());
    if (m.set) values = keys;
    if (!Expect(keys.size() == expected.size() && values.size() == keys.size(), "filled count"))
      return false;
    std::vector<Entry> next;
    std::vector<bool> used(expected.size());
    for (size_t i = 0; i < keys.size(); ++i) {
      Entry e{KeyFromRef(keys[i]), keys[i], m.set ? 0 : values[i], nextUid++};
      size_t j = 0;
      // A NaN equals only its own object, which the model does not keep:
      // any NaN still unmatched with the same value stands for it.
      auto matches = [&](const std::pair<Key, std::string>& x) {
        const Key& k = x.first;
        return Same(k, e.key) ||
               (k.type == 2 && e.key.type == 2 && std::isnan(k.real) && std::isnan(e.key.real) &&
                (m.set || Content(h, s.value, e.value) == x.second));
      };
      while (j < expected.size() && (used[j] || !matches(expected[j]))) ++j;
      if (!Expect(j < expected.size(), "unexpected key " + Describe(e.key))) return false;
      used[j] = true;
      if (!m.set && !Expect(Content(h, s.value, e.value) == expected[j].second,
                            "value of " + Describe(e.key)))
        return false;
      next.push_back(e);
    }
    order = next;
    Changed();
    valuesGiven = arrays && !m.set;
    if (m.hash) {
      table = TableModel<Entry>(cs, static_cast<size_t>(Get(c, "BinCount").i()));
      for (size_t i = order.size(); i-- > 0;) table.Set(Hashed(order[i]));
      order = table.Order();
      return Expect(KeyRefs(order) == keys, "the table's layout differs from its hashes");
    }
    resync = true;
    return true;
  }
  std::vector<std::pair<Key, std::string>> Expected() {
    std::vector<std::pair<Key, std::string>> out;
    for (const Entry& e : order) out.push_back({e.key, m.set ? "" : Content(h, s.value, e.value)});
    return out;
  }
  static std::vector<Word> KeyRefs(const std::vector<Entry>& entries) {
    std::vector<Word> out;
    for (const Entry& e : entries) out.push_back(e.keyRef);
    return out;
  }

  // ---- Container calls.
  Word NewContainer(bool caseSensitive) {
    Word obj = Own(standin::W(h.NewInstance(s.className)));
    Construct(obj, caseSensitive);
    return obj;
  }
  void Construct(Word obj, bool caseSensitive) {
    ++calls;
    kdt_test::Construct(h, s, obj, caseSensitive);
  }
  void Put(Word obj, Word k, Word v) {
    if (m.set)
      Call(obj, "insert(key as {K})", {k});
    else
      Assign(obj, "value(key as {K}) as {V}", {k}, v);
  }
  Word KeysObject(Word obj) { return KeepObject(Call(obj, "Keys as {K}()")); }
  std::vector<Word> Elements(Word array) {
    return array == 0 ? std::vector<Word>{} : h.Elements(reinterpret_cast<REALarray>(array));
  }
  Word ItKey(Word it) { return Keep(s.key, Call(it, "Key as {K}")); }
  bool Equal(Word a, Word b) { return Call(a, "isEqual(other as {I}) as boolean", {b}) != 0; }
  Word End() { return KeepObject(Call(c, "last as {I}")); }

  // ---- Kept iterators.
  void KeepIt(const Kept& k) {
    (kept.size() < 16 ? kept.emplace_back() : kept[Below(kept.size())]) = k;
  }
  // Where a kept iterator is: -1 gone, order.size() the end position.
  int IndexOf(const Kept& k) const {
    if (k.uid == 0) return k.gen == generation ? static_cast<int>(order.size()) : -1;
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i].uid == k.uid) return static_cast<int>(i);
    return -1;
  }
  bool At(Word it, size_t index, const char* what) {
    if (index == order.size())
      return Expect(Equal(it, End()), std::string(what) + ": not at the end");
    return Expect(ItKey(it) == order[index].keyRef,
                  std::string(what) + ": not at " + Describe(order[index].key));
  }
  bool TookStale() { return Took({kStale}); }
  void NewGeneration(bool released, bool newCs) {
    for (Kept& k : kept) k.loose = k.loose || released || newCs != cs || (m.hash && k.uid == 0);
    ++generation;
  }
  bool StaleOrEnd() { return Took({kStale, kNotFound, ""}); }
  // After a call through t, at index i: a loose iterator may be refused, a
  // stale one must be.  True when t is live and the call's result counts.
  bool Live(const Kept& t, int i) {
    if (t.loose)
      StaleOrEnd();
    else if (i < 0)
      TookStale();
    return !t.loose && i >= 0;
  }

  // ---- The full comparison: properties, arrays (cache included), walks.
  bool Agree(int64_t got, int64_t want, const char* what) {
    return Expect(got == want, std::string(what) + " " + std::to_string(got) + ", model " +
                                   std::to_string(want));
  }
  bool Check() {
    if (!Agree(Get(c, "Count").i(), static_cast<int64_t>(order.size()), "Count") ||
        !Agree(Get(c, "Empty").b(), order.empty(), "Empty") ||
        (s.HasCaseModes() && !Agree(Get(c, "CaseSensitive").b(), cs, "CaseSensitive")) ||
        (m.hash &&
         !Agree(Get(c, "BinCount").i(), static_cast<int64_t>(table.bucket_count()), "BinCount")))
      return false;
    // The arrays show the entries as they were at the last change, and are
    // the same objects until the next.
    const std::vector<Entry>& snapshot = Cached();
    std::vector<Word> values;
    for (const Entry& e : snapshot) values.push_back(e.value);
    for (bool ofKeys : {true, false}) {
      if (!ofKeys && m.set) break;
      Word array = ofKeys ? KeysObject(c) : KeepObject(Call(c, "Values as {V}()"));
      if (!arrays) {
        if (!Expect(array == 0, "an array from a host that cannot make one")) return false;
        continue;
      }
      Word& held = ofKeys ? keysArray : valuesArray;
      if (!Expect(held == 0 || array == held, "a new array without a change") ||
          !Expect(Elements(array) == (ofKeys ? KeyRefs(snapshot) : values), "arrays differ"))
        return false;
      held = array;
      valuesGiven = valuesGiven || !ofKeys;
    }
    std::vector<Word> walked = Walk();
    if (!Expect(walked == KeyRefs(order), "walk differs from the model")) return false;
    if (!m.hash && !Expect(Walk(true) == walked, "walk backwards differs")) return false;
    for (const Entry& e : order) {
      const Word k = Probe(e);
      const Key twin = Twin(e.key);
      const std::string of = " of " + Describe(e.key);
      if (!Expect(Call(c, "CountKey(key as {K}) as integer", {k}) == 1, "CountKey" + of) ||
          (!m.set && !Expect(Keep(s.value, Call(c, "value(key as {K}) as {V}", {k})) == e.value,
                             "value" + of)) ||
          (mixed &&
           !Expect(Call(c, "CountKey(key as {K}) as integer", {MakeKey(twin)}) == (Find(twin) >= 0),
                   "CountKey of the twin" + of)))
        return false;
    }
    if (!m.hash && !order.empty()) {  // bounds of a present key: steps seldom try one
      size_t i = Below(order.size());
      Word k = Probe(order[i]);
      if (!At(KeepObject(Call(c, "LowerBound(key as {K}) as {I}", {k})), i, "LowerBound") ||
          !At(KeepObject(Call(c, "UpperBound(key as {K}) as {I}", {k})), i + 1, "UpperBound"))
        return false;
    }
    return true;
  }
  // A key the container must tell from k or take for it: the other case,
  // the other sign, the other Integer width.
  static Key Twin(Key k) {
    if (k.type == 0) k.name[0] = k.name[0] == 'k' ? 'K' : 'k';
    if (k.type == 1 || k.type == 3) k.type = 4 - k.type;
    k.real = -k.real;
    return k;
  }
  // An equal key, not the stored reference; a NaN equals only its own object.
  Word Probe(const Entry& e) {
    return e.key.type == 2 && std::isnan(e.key.real) ? e.keyRef : MakeKey(e.key);
  }
  // Mixed keys take the container's order first, as a step would.
  bool CheckNow() { return (!resync || Resync()) && Check(); }
  // Mixed Variant keys: the content must match the model, the order is the
  // container's.
  bool Resync() {
    resync = false;
    Word array = 0;
    std::vector<Word> shown = Shown(nullptr, order.size(), &array), keys = KeyRefs(order);
    std::vector<Entry> next;
    for (Word w : shown) {
      auto at = std::find(keys.begin(), keys.end(), w);
      if (!Expect(at != keys.end(), "Keys shows a key not stored")) return false;
      next.push_back(order[at - keys.begin()]);
    }
    if (!Expect(next.size() == order.size(), "Keys shows another count")) return false;
    // Once types mix (or a NaN is held) the tree's walk follows references
    // at some nodes, so even keys of one type may stand in any order; only a
    // tree of one type without NaNs has an order the model can check.
    bool oneType = true;
    for (const Entry& e : next)
      oneType = oneType && e.key.type == next.front().key.type && !std::isnan(e.key.real);
    for (size_t i = 0; oneType && i < next.size(); ++i)
      for (size_t j = i + 1; j < next.size(); ++j)
        if (!Expect(Compare(next[i].key, next[j].key) != 1,
                    "order: " + Describe(next[i].key) + " before " + Describe(next[j].key)))
          return false;
    order = next;
    cache = order;
    keysArray = array;
    return true;
  }
  // The keys from first to the end (and the values on the way), or walked
  // back from the end; a walk longer than `most` keys is cut after one more.
  std::vector<Word> Walk(bool back = false) { return Walk(back, nullptr, order.size()); }
  std::vector<Word> Walk(bool back, std::vector<Word>* values, size_t most) {
    std::vector<Word> keys;
    Word first = KeepObject(Call(c, "first as {I}")), end = End();
    Word it = back ? end : first;
    while (!Equal(it, back ? first : end) && keys.size() <= most) {
      if (back) Call(it, "MovePrev");
      keys.insert(back ? keys.begin() : keys.end(), ItKey(it));
      if (values) values->push_back(Keep(s.value, Call(it, "Value as {V}")));
      if (!back) Call(it, "MoveNext");
    }
    return keys;
  }
  // The keys (and values) in the container's order as it shows them: its
  // arrays (the Keys array in *array), or a walk on a host without arrays.
  std::vector<Word> Shown(std::vector<Word>* values, size_t most, Word* array = nullptr) {
    if (!arrays) return Walk(false, values, most);
    Word keys = KeysObject(c);
    if (array) *array = keys;
    if (values) *values = Elements(KeepObject(Call(c, "Values as {V}()")));
    valuesGiven = valuesGiven || values != nullptr;
    return Elements(keys);
  }

  // The map turned into a Dictionary and back (how 0), copied by
  // Constructor(other) (1) or Clone (2): the copy replaces the container; the
  // old one is cleared (the copy keeps its own) and released, its iterators
  // go stale.
  void Copy(size_t how) {
    Word dict = KeepObject(
        Call(c, Below(2) ? "CloneDictionary as Dictionary" : "Operator_Convert as Dictionary"));
    auto entries = h.DictionaryEntries(reinterpret_cast<REALobject>(dict));
    bool sameOrder = Expect(entries.size() == order.size(), "Dictionary count");
    for (size_t i = 0; sameOrder && i < entries.size(); ++i)
      sameOrder = Expect(
          Content(h, Kind::Variant, entries[i].first) == Content(h, s.key, order[i].keyRef) &&
              Content(h, Kind::Variant, entries[i].second) == Content(h, s.value, order[i].value),
          "Dictionary entry " + std::to_string(i));
    if (!sameOrder) return;
    std::vector<std::pair<Key, std::string>> expected = Expected();
    Word copy = how == 2 ? Call(c, "Clone as {C}") : standin::W(h.NewInstance(s.className));
    if (!Expect(copy != 0, "Clone gave nil")) return;
    Own(copy);
    if (how == 0) FromDictionary(copy, dict);
    if (how == 1) Call(copy, "Constructor(other as {C})", {c});
    NewGeneration(true, cs);
    Call(c, "Clear");
    Drop(c);
    c = copy;
    if (Adopt(expected)) CheckNow();  // a copy is compared at once
  }
  void FromDictionary(Word obj, Word dict) {
    if (s.HasCaseModes())
      Call(obj, "Constructor(dic as dictionary, CaseSensitive as Boolean = true)", {dict, cs});
    else
      Call(obj, "Constructor(dic as dictionary)", {dict});
  }

  // ---- The operations a step draws (the table in Step), on the key it drew.
  struct Drawn {
    int n, at;  // the key's number; its entry in the model, -1 for none
    Key key;
    Word k;
    bool present = at >= 0;
  };
  void PutKey(const Drawn& d) {  // value(key) = v, insert
    Word v = m.set ? 0 : Value(static_cast<int>(calls));
    Put(c, d.k, v);
    ModelPut(d.key, d.k, v);
  }
  void RemoveKey(const Drawn& d) {  // Remove(key): a change even when the key is absent
    Expect(Call(c, "Remove(key as {K}) as integer", {d.k}) == (d.present ? 1u : 0u), "Remove(key)");
    Changed();
    if (d.present) ModelErase(d.at, d.at + 1);
  }
  void ReadKey(const Drawn& d) {  // keyed reads
    Expect(Call(c, "CountKey(key as {K}) as integer", {d.k}) == (d.present ? 1u : 0u), "CountKey");
    if (m.set) {
      Expect(Call(c, "lookup(key as {K}) as boolean", {d.k}) == (d.present ? 1u : 0u), "lookup");
      return;
    }
    Expect(Call(c, "hasKey(key as {K}) as boolean", {d.k}) == (d.present ? 1u : 0u), "hasKey");
    Word fallback = Value(-1);
    Expect(Keep(s.value, Call(c, "lookup(key as {K}, defaultvalue as {V}) as {V}",
                              {d.k, fallback})) == (d.present ? order[d.at].value : fallback),
           "lookup");
    Expect(Keep(s.value, Call(c, "value(key as {K}) as {V}", {d.k})) ==
               (d.present ? order[d.at].value : 0u),
           "value(key)");
    if (!d.present) Took({kNotFound});
  }
  void FindAndKeep(const Drawn& d) {  // find, first, last, LowerBound, UpperBound: kept for later
    static const char* const kWhat[] = {"find", "first", "last", "LowerBound", "UpperBound"};
    static const char* const kDecl[] = {"find(key as {K}) as {I}", "first as {I}", "last as {I}",
                                        "LowerBound(key as {K}) as {I}",
                                        "UpperBound(key as {K}) as {I}"};
    const size_t which = Below(m.hash ? 3 : 5);
    Word it =
        KeepObject(which == 1 || which == 2 ? Call(c, kDecl[which]) : Call(c, kDecl[which], {d.k}));
    size_t index = which == 1                ? 0
                   : which == 0 && d.present ? static_cast<size_t>(d.at)
                                             : order.size();
    if (which > 2 && mixed) {  // no order across types: a key of the container or the end
      const std::vector<Word> refs = KeyRefs(order);
      Word got = Equal(it, End()) ? 0 : ItKey(it);
      index = static_cast<size_t>(std::find(refs.begin(), refs.end(), got) - refs.begin());
      if (!Expect(got == 0 || index < order.size(), "a bound not stored")) return;
    } else if (which > 2) {
      index = 0;
      while (index < order.size() && (Compare(order[index].key, d.key) < 0 ||
                                      (which == 4 && Compare(order[index].key, d.key) == 0)))
        ++index;
    }
    if (At(it, index, kWhat[which]))
      KeepIt(Kept{it, index < order.size() ? order[index].uid : 0, generation, false});
  }
  void MoveKept(const Drawn&) {  // MoveNext or MovePrev on a kept iterator, past the ends too
    if (kept.empty()) return;
    Kept& t = kept[Below(kept.size())];
    if (t.foreign) return;
    bool forward = m.hash || Below(2) == 0;
    int from = IndexOf(t);
    Call(t.it, forward ? "MoveNext" : "MovePrev");
    if (!Live(t, from)) return;
    size_t to = static_cast<size_t>(from);
    if (forward && to < order.size()) ++to;
    if (!forward && to > 0) --to;
    t.uid = to < order.size() ? order[to].uid : 0;
    At(t.it, to, forward ? "MoveNext" : "MovePrev");
  }
  void ThroughKept(const Drawn&) {  // Key, Value, Value = through a kept iterator
    if (kept.empty()) return;
    Kept& t = kept[Below(kept.size())];
    if (t.foreign) return;
    int i = IndexOf(t);
    bool entry = i >= 0 && static_cast<size_t>(i) < order.size();
    size_t what = m.set ? 0 : Below(3);
    if (t.loose) {
      Call(t.it, what == 0 ? "Key as {K}" : "Value as {V}");
      StaleOrEnd();
      return;
    }
    if (what == 0) {
      Expect(ItKey(t.it) == (entry ? order[i].keyRef : 0u), "iterator Key");
    } else if (what == 1) {
      Expect(Keep(s.value, Call(t.it, "Value as {V}")) == (entry ? order[i].value : 0u),
             "iterator Value");
    } else {
      Word v = Value(static_cast<int>(calls));
      Assign(t.it, "Value as {V}", {}, v);  // reaches the entry, not the cached arrays
      if (entry) {
        order[i].value = v;
        // Until the program holds the Values array, the map shows the entries' values as they are.
        if (cache && !valuesGiven) (*cache)[i].value = v;
        if (m.hash) table.Find(Hashed(order[i]))->value = v;
      }
    }
    if (Live(t, i) && !entry) Took({kNotFound});
  }
  void RemoveAtKept(const Drawn&) {  // Remove(pos): stale, foreign, end, live or nil
    if (kept.empty() || Below(10) == 0) {
      Call(c, "Remove(pos as {I})", {nullptr});
      NothingOrNil();
      return;
    }
    Kept t = kept[Below(kept.size())];
    int i = IndexOf(t);
    Call(c, "Remove(pos as {I})", {t.it});
    if (t.foreign || !Live(t, i)) return;
    Changed();
    if (static_cast<size_t>(i) < order.size()) ModelErase(i, i + 1);
  }
  void RemoveRange(const Drawn&) {  // Remove(first, last) in either order, nil ends now and then
    if (kept.empty()) return;
    std::optional<Kept> a = kept[Below(kept.size())], b = kept[Below(kept.size())];
    if (Below(10) == 0) a.reset();
    if (Below(10) == 0) b.reset();
    Call(c, "Remove(first as {I}, last as {I})", {a ? a->it : 0, b ? b->it : 0});
    if (!a || !b) {
      NothingOrNil();
      return;
    }
    int from = IndexOf(*a), to = IndexOf(*b);
    // A stale one beside a foreign or loose one may or may not be noticed.
    if (a->foreign || b->foreign || a->loose || b->loose) {
      if (h.ExceptionPending()) TookStale();
      return;
    }
    if (from < 0 || to < 0) {
      TookStale();
      return;
    }
    if (to < from) return;
    Changed();
    ModelErase(from, to);
    if (to > from) Check();  // rare enough to compare at once, arrays included
  }
  void CompareKept(const Drawn&) {  // isEqual, isNotEqual of two kept iterators: same position?
    if (kept.size() < 2) return;
    const Kept &a = kept[Below(kept.size())], &b = kept[Below(kept.size())];
    if (a.foreign || b.foreign || a.loose || b.loose) return;
    bool same = a.uid == b.uid && (a.uid != 0 || a.gen == b.gen);
    Expect(Equal(a.it, b.it) == same, "isEqual");
    Expect((Call(b.it, "isNotEqual(other as {I}) as boolean", {a.it}) != 0) == !same, "isNotEqual");
    Call(a.it, "isEqual(other as {I}) as boolean", {nullptr});
    NothingOrNil();
  }
  void KeepForeign(const Drawn&) {  // an iterator of the other container or case mode, among ours
    KeepIt(Kept{KeepObject(Call(other, Below(2) ? "first as {I}" : "last as {I}")), 0, 0, true});
  }
  void ByIndex(const Drawn& d) {  // Key(index) or ValueAtIndex, in and out of range
    if (Below(8) == 0) {  // the program shrinks the Keys array it holds: Key(index) follows it
      const size_t n = Cached().size();
      Word array = KeysObject(c);
      if (array == 0) return;
      const int32_t left = static_cast<int32_t>(Below(n + 1));
      h.ResizeArray(reinterpret_cast<REALarray>(array), left);
      Expect(Keep(s.key, Call(c, "Key(index as integer) as {K}", {left})) == 0,
             "Key(index) beyond the program's shrunk array");
      Took({"OutOfBoundsException: " + OutOfRange(left, left)});
      RemoveKey(d);  // a change: the container's own arrays again
      return;
    }
    int32_t i = static_cast<int32_t>(Below(order.size() + 4)) - 2;
    // Without its arrays a map walks its table; a set answers nil.
    const std::vector<Entry>& snapshot = arrays ? Cached() : order;
    bool ofKeys = m.set || Below(2) == 0;
    Word got = ofKeys ? Keep(s.key, Call(c, "Key(index as integer) as {K}", {i}))
                      : Keep(s.value, Call(c, "ValueAtIndex(index as integer) as {V}", {i}));
    const bool inRange = i >= 0 && static_cast<size_t>(i) < snapshot.size();
    if (inRange && (arrays || !m.set)) {
      Expect(got == (ofKeys ? snapshot[i].keyRef : snapshot[i].value), "Key(index)/ValueAtIndex");
      return;
    }
    Expect(got == 0, inRange ? "Key(index) of a set without its array gave a key"
                             : "out of range index gave a value");
    if (arrays)
      Took({"OutOfBoundsException: " +
            OutOfRange(i, static_cast<int32_t>(snapshot.size()))});  // none without
  }
  void AddItems(const Drawn& d) {  // AddKeys, AddValues: the items, then what the array held
    if (m.set) return;
    bool ofKeys = Below(2) == 0;
    Word held = ofKeys ? MakeKey(RandomKey(d.n)) : Value(d.n);
    Word target = KeepObject(standin::W(h.NewArray(ArrayType(ofKeys ? s.key : s.value), {held})));
    Call(c, ofKeys ? "AddKeys(targetArray() as {K})" : "AddValues(targetArray() as {V})", {target});
    std::vector<Word> want;
    for (const Entry& e : order) want.push_back(ofKeys ? e.keyRef : e.value);
    want.push_back(held);
    Expect(Elements(target) == want, ofKeys ? "AddKeys" : "AddValues");
    Call(c, "AddKeys(targetArray() as {K})", {nullptr});
    Took({"NilObjectException: array is nil"});
  }
  void Copies(const Drawn&) {  // Dictionary round trip, copies
    if (!m.set) Copy(Below(3));
  }
  void ConstructAgain(const Drawn&) {  // a constructor run again, or a new container
    if (Below(4)) return;
    size_t which = Below(m.set ? 4 : 3);
    Changed();
    if (which == 0) {
      NewGeneration(true, cs);
      Drop(c);
      c = NewContainer(cs);
      ModelClear(true);
    } else if (which == 1) {
      bool newCs = s.HasCaseModes() ? Below(2) == 0 : true;
      NewGeneration(false, newCs);
      cs = newCs;
      Construct(c, cs);
      ModelClear(true);
    } else if (which == 2 && !m.set) {
      NewGeneration(false, cs);
      std::vector<std::pair<Key, std::string>> expected = Expected();
      FromDictionary(c, KeepObject(Call(c, "CloneDictionary as Dictionary")));
      Adopt(expected);
    } else {  // a set from an array, duplicates included: always case-sensitive
      std::vector<Word> elements;
      std::vector<std::pair<Key, std::string>> expected;
      NewGeneration(false, true);
      cs = true;
      // A Variant set also takes an array of Strings, each held as a Variant.
      bool strings = s.key == Kind::Variant && Below(2) == 0;
      for (size_t i = Below(12); i > 0; --i) {
        Key e = RandomKey(static_cast<int>(Below(60)));
        if (strings && e.type != 0) continue;
        elements.push_back(strings ? MakeText(h, Kind::String, e.name) : MakeKey(e));
        bool dup = false;
        for (auto& x : expected) dup = dup || Same(x.first, e);
        if (!dup) expected.push_back({e, ""});
      }
      Word array = KeepObject(
          standin::W(h.NewArray(strings ? kdt::kArrayTypeString : ArrayType(s.key), elements)));
      Call(c, strings ? "Constructor(Keys() as string)" : "Constructor(Keys() as {K})", {array});
      Adopt(expected);
    }
  }
  void ClearSometimes(const Drawn&) {  // Clear now and then
    if (Below(6)) return;
    Call(c, "Clear");
    ModelClear(false);
  }
  void Uninitialised(const Drawn& d) {  // an instance no constructor ran on, an unfilled iterator
    Word raw = Own(standin::W(h.NewInstance(s.className)));
    Word rawIt = Own(standin::W(h.NewInstance(s.iteratorName)));
    static const char* const kCalls[] = {"first as {I}", "Keys as {K}()", "Clear"};
    size_t which = Below(7);
    Word got = 0;
    if (which < 3)
      got = Call(raw, kCalls[which]);
    else if (which == 3)
      Call(raw, "Remove(pos as {I})", {rawIt});
    else if (which == 4)
      got = Call(raw, "CountKey(key as {K}) as integer", {d.k});
    else if (which == 5)
      Put(raw, d.k, Value(d.n));
    else
      got = Get(raw, "Count").word;
    Expect(got == 0, "an uninitialised instance answered");
    NothingOrNil();
    Call(c, "Remove(pos as {I})", {rawIt});  // an unfilled iterator removes nothing
    NothingOrNil();
    Call(rawIt, "MoveNext");
    NothingOrNil();
    Drop(raw);
    Drop(rawIt);
  }
  void FullCheck(const Drawn&) { Check(); }
  void Step() {
    struct Op {
      size_t weight;  // in the sum of all weights
      void (SoakDriver::*run)(const Drawn&);
    };
    // A step draws one row by weight, 40 in all: 13 in 40, about a third, fall to the full check.
    static constexpr Op kOps[] = {
        {8, &SoakDriver::PutKey},         {1, &SoakDriver::RemoveKey},
        {2, &SoakDriver::ReadKey},        {2, &SoakDriver::FindAndKeep},
        {2, &SoakDriver::MoveKept},       {1, &SoakDriver::ThroughKept},
        {1, &SoakDriver::RemoveAtKept},   {2, &SoakDriver::RemoveRange},
        {1, &SoakDriver::CompareKept},    {1, &SoakDriver::KeepForeign},
        {1, &SoakDriver::ByIndex},        {1, &SoakDriver::AddItems},
        {1, &SoakDriver::Copies},         {1, &SoakDriver::ConstructAgain},
        {1, &SoakDriver::ClearSometimes}, {1, &SoakDriver::Uninitialised},
        {13, &SoakDriver::FullCheck}};
    if (resync && !Resync()) return;
    const int n = static_cast<int>(Below(kKeyRange));
    const Key key = RandomKey(n);
    const Drawn d{n, Find(key), key, MakeKey(key)};
    size_t total = 0;
    for (const Op& row : kOps) total += row.weight;
    const Op* op = kOps;
    for (size_t drawn = Below(total); drawn >= op->weight; ++op) drawn -= op->weight;
    (this->*op->run)(d);
  }

  Host& h;
  const Member& m;
  const MemberSpec& s;
  std::mt19937 random;
  const uint8_t* bytes = nullptr;  // the input's choices, when it has them
  size_t left = 0;
  bool ended = false;  // the input is used up
  bool arrays;         // the host can make the library's arrays
  bool cs;             // the container's case mode now
  bool mixed;          // Variant keys of several types in a tree
  TableModel<Entry> table;
  std::vector<Entry> order;
  std::optional<std::vector<Entry>> cache;
  Word keysArray = 0, valuesArray = 0;
  bool valuesGiven = false;  // the program holds the Values array
  bool resync = false;
  int nextUid = 1, generation = 0;
  std::vector<Kept> kept;
  std::vector<Word> mine;  // containers this driver releases itself
  std::map<const char*, std::string> decls;
  Word c = 0, other = 0;
};

}  // namespace kdt_test
