// Helpers for container tests that run across members: a member is described
// by its class names and kinds, keys and values are made in the stand-in host
// from small integers, and the chained table is modelled as host programs
// observe it (buckets, growth, chain order), written apart from the library.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "containers/members/Members.h"
#include "standin/host/Host.h"

namespace kdt_test {

using kdt::REALarray;
using kdt::REALobject;
using kdt::REALstring;
using kdt::REALtext;
using standin::Host;
using standin::Word;

enum class Kind { Integer, String, Text, Variant };

struct MemberSpec {
  std::string className, iteratorName;
  Kind key, value;
  std::string keyWord, valueWord;
  bool caseSensitive = true;  // the mode the test constructs

  bool HasCaseModes() const { return key != Kind::Integer; }
  // The declaration with {C}, {I}, {K} and {V} put in.
  std::string Decl(std::string pattern) const {
    const std::string* words[] = {&className, &iteratorName, &keyWord, &valueWord};
    for (size_t at; (at = pattern.find_first_of("CIKV", pattern.find('{'))) != std::string::npos;)
      pattern.replace(at - 1, 3, *words[std::string("CIKV").find(pattern[at])]);
    return pattern;
  }
  std::string Name() const {
    return className.substr(0, className.size() - 3) + (caseSensitive ? "S" : "I");
  }
};

struct Member {
  MemberSpec spec;
  bool hash;  // chained table; otherwise a tree
  bool set;
  std::string Family() const {
    return std::string(hash ? "hash " : "ordered ") + (set ? "sets" : "maps");
  }
};

// Every member of the member table, in both case modes where it has them.
inline std::vector<Member> AllMembers() {
  struct Row {
    const char *name, *iterator, *shape, *storage, *key, *value, *keyWord, *valueWord;
  };
  static const Row kRows[] = {
#define KDT_TEST_ROW(C, I, Shape, Storage, K, V, kw, vw, max) \
  {#C, #I, #Shape, #Storage, #K, #V, kw, vw},
      KDT_CONTAINER_MEMBERS(KDT_TEST_ROW)
#undef KDT_TEST_ROW
  };
  auto kind = [](const char* k) { return static_cast<Kind>(std::string("ISTV").find(k[0])); };
  std::vector<Member> out;
  for (const Row& r : kRows) {
    bool set = r.shape[0] == 'S';
    for (bool cs : {true, false}) {
      if (!cs && kind(r.key) == Kind::Integer) continue;
      out.push_back(
          {MemberSpec{r.name, r.iterator, kind(r.key), set ? Kind::Integer : kind(r.value),
                      r.keyWord, set ? "" : r.valueWord, cs},
           r.storage[0] == 'H', set});
    }
  }
  return out;
}

// The constructor a program runs first, and an entry put in (a set's takes the key only).
inline void Construct(Host& h, const MemberSpec& s, Word obj, bool caseSensitive) {
  if (s.HasCaseModes())
    h.Call(obj, "Constructor(CaseSensitive as Boolean = true)", {caseSensitive});
  else
    h.Call(obj, "Constructor");
}
inline void Put(Host& h, const Member& m, Word obj, Word k, Word v) {
  if (m.set)
    h.Call(obj, m.spec.Decl("insert(key as {K})"), {k});
  else
    h.Assign(obj, m.spec.Decl("value(key as {K}) as {V}"), {k}, v);
}

inline void PrintTo(const Member& m, std::ostream* os) {
  *os << m.spec.Name();
}

// The families, as tests take them for a parameter, and as test names.
inline const std::string kFamilies[] = {"hash maps", "ordered maps", "hash sets", "ordered sets"};
inline std::string FamilyTestName(std::string family) {
  family.erase(family.find(' '), 1);
  return family;
}

// The text of key or value number n: "k7" or, upper-cased, "K7".
inline std::string TextOf(const char* prefix, int n, bool upper) {
  std::string s = prefix + std::to_string(n);
  if (upper) s[0] = static_cast<char>(std::toupper(s[0]));
  return s;
}

// A host value of kind k holding text (a Variant holds it as a String),
// released by the host at the end of the test.
inline Word MakeText(Host& host, Kind k, const std::string& text) {
  Word w = k == Kind::Text ? standin::W(host.NewText(text)) : standin::W(host.NewString(text));
  if (k == Kind::Variant) {
    Word v = standin::W(host.NewVariantString(reinterpret_cast<REALstring>(w)));
    host.Release(w);
    w = v;
  }
  host.ReleaseAtEnd(w);
  return w;
}
// The same for number n: an Integer is the number itself.
inline Word Make(Host& host, Kind k, const char* prefix, int n, bool upper = false) {
  return k == Kind::Integer ? static_cast<Word>(n) : MakeText(host, k, TextOf(prefix, n, upper));
}

// What a host value of kind k holds, as text.
inline std::string Content(Host& h, Kind k, Word w) {
  switch (k) {
    case Kind::Integer:
      return std::to_string(static_cast<int32_t>(w));
    case Kind::String:
      return w == 0 ? "" : h.StringUTF8(reinterpret_cast<REALstring>(w));
    case Kind::Text:
      return w == 0 ? "" : h.TextUTF8(reinterpret_cast<REALtext>(w));
    case Kind::Variant: {
      // The host describes a Variant as '... code 8 "k1", ...' or '... code 2 -4, ...'.
      std::string d = h.Describe(w);
      size_t at = d.find(" code ");
      if (at == std::string::npos) return d;
      at = d.find(' ', at + 6) + 1;
      if (d[at] == '"') return d.substr(at + 1, d.find('"', at + 1) - at - 1);
      return d.substr(at, d.find(',', at) - at);
    }
  }
  return "";
}

// The message of an index out of the range of `size` elements.
inline std::string OutOfRange(int32_t index, int32_t size) {
  return std::string("Parameter index  is too ") + (index < 0 ? "small" : "big") +
         ". Range is 0 to " + std::to_string(size - 1) + ", but value is " + std::to_string(index) +
         ".";
}

inline int32_t ArrayType(Kind k) {
  const int32_t types[] = {kdt::kArrayTypeInteger, kdt::kArrayTypeString, kdt::kArrayTypeText,
                           kdt::kArrayTypeObject};
  return types[static_cast<int>(k)];
}

// The hash a table uses for an ASCII key made by Make (Integer: n itself):
// the ELF hash step, seeded 1 for Text.
inline uint32_t ModelHash(Kind k, const std::string& text, int n, bool caseSensitive) {
  if (k == Kind::Integer) return static_cast<uint32_t>(n);
  uint32_t h = k == Kind::Text ? 1 : 0;
  for (char c : text) {
    uint32_t x = static_cast<unsigned char>(caseSensitive ? c : std::tolower(c)) + (h << 4);
    h = (x ^ ((x & 0xF0000000u) >> 24)) & 0x0FFFFFFFu;
  }
  return h;
}

// The chained table of entries E (key.name, "" for Integer keys, key.number,
// value, hash): new entries go to the front of their chain; growth to the next
// prime at or above the count moves each chain from the front.
template <typename E>
class TableModel {
 public:
  explicit TableModel(bool caseSensitive, size_t buckets = 193)
      : cs_(caseSensitive), buckets_(buckets) {}
  size_t bucket_count() const { return buckets_.size(); }
  E* Find(const E& probe) {
    auto& chain = Chain(probe);
    auto it = std::find_if(chain.begin(), chain.end(), [&](auto& e) { return Same(e, probe); });
    return it == chain.end() ? nullptr : &*it;
  }
  void Set(const E& probe) {
    Grow(count_ + 1);
    if (E* e = Find(probe)) {
      e->value = probe.value;
      return;
    }
    Chain(probe).insert(Chain(probe).begin(), probe);
    ++count_;
  }
  void Remove(const E& probe) {
    if (E* e = Find(probe)) {
      Chain(probe).erase(Chain(probe).begin() + (e - Chain(probe).data()));
      --count_;
    }
  }
  void Clear() {
    for (auto& c : buckets_) c.clear();
    count_ = 0;
  }
  std::vector<E> Order() const {
    std::vector<E> out;
    for (const auto& c : buckets_) out.insert(out.end(), c.begin(), c.end());
    return out;
  }

 private:
  std::vector<E>& Chain(const E& e) { return buckets_[e.hash % buckets_.size()]; }
  bool Same(const E& a, const E& b) const {
    const std::string &x = a.key.name, &y = b.key.name;
    if (x.empty()) return a.key.number == b.key.number;
    return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), [&](char p, char q) {
             return cs_ ? p == q : std::tolower(p) == std::tolower(q);
           });
  }
  void Grow(size_t hint) {
    static const uint32_t primes[] = {5, 53, 97, 193, 389, 769, 1543, 3079, 6151, 12289};
    if (hint <= buckets_.size()) return;
    std::vector<std::vector<E>> grown(
        *std::lower_bound(std::begin(primes), std::end(primes), hint));
    for (auto& chain : buckets_)
      for (auto& e : chain) {
        auto& target = grown[e.hash % grown.size()];
        target.insert(target.begin(), e);
      }
    buckets_.swap(grown);
  }

  bool cs_;
  std::vector<std::vector<E>> buckets_;
  size_t count_ = 0;
};

}  // namespace kdt_test
