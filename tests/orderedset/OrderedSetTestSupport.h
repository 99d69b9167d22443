// Driving the ordered set classes the way a host program does, for any
// member; elements are made from small integers as the map tests make keys.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "orderedmap/OrderedMapTestSupport.h"

namespace kdt_test {

inline MemberSpec OrderedSet(const std::string& name, Kind k, const char* kw, bool cs) {
  return MemberSpec{
      name + "OrderedSetKDT", name + "OrderedSetIteratorKDT", k, Kind::Integer, kw, "", cs};
}

inline std::vector<MemberSpec> AllOrderedSets() {
  std::vector<MemberSpec> out;
  for (bool cs : {true, false}) {
    out.push_back(OrderedSet("Text", Kind::Text, "Text", cs));
    out.push_back(OrderedSet("String", Kind::String, "string", cs));
    out.push_back(OrderedSet("Variant", Kind::Variant, "variant", cs));
  }
  out.push_back(OrderedSet("Integer", Kind::Integer, "integer", true));
  return out;
}

// Set order: ascending, the reverse of the String, Text and Variant keyed maps.
struct SetOrder {
  Kind key;
  bool caseSensitive;
  bool Before(const ModelKey& a, const ModelKey& b) const {
    return MapOrder{key, caseSensitive}.Compare(a, b) < 0;
  }
  bool Same(const ModelKey& a, const ModelKey& b) const {
    return MapOrder{key, caseSensitive}.Compare(a, b) == 0;
  }
};

class OrderedSetDriver {
 public:
  OrderedSetDriver(standin::TestHost& host, const MemberSpec& spec) : h(host), s(spec) {}

  std::string CaseConstructor() const {
    return s.HasCaseModes() ? "Constructor(CaseSensitive as Boolean = true)" : "Constructor";
  }
  Word New() { return KeepObject(Construct(standin::W(h.NewInstance(s.className)))); }
  Word Construct(Word set) {
    if (s.HasCaseModes())
      h.Call(set, CaseConstructor(), {s.caseSensitive});
    else
      h.Call(set, CaseConstructor());
    return set;
  }
  Word Raw() { return KeepObject(standin::W(h.NewInstance(s.className))); }

  Word Key(int n, bool upper = false) { return Make(h, s.key, "k", n, upper); }
  ModelKey KeyOf(int n, bool upper = false) const {
    return s.key == Kind::Integer ? ModelKey{"", n} : ModelKey{TextOf("k", n, upper), n};
  }
  SetOrder Order() const { return SetOrder{s.key, s.caseSensitive}; }

  Word Keep(Kind k, Word w) {
    if (k != Kind::Integer && w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word KeepObject(Word w) { return Keep(Kind::Variant, w); }
  Word Call(Word set, const std::string& pattern, std::initializer_list<standin::Arg> args = {}) {
    return h.Call(set, s.Decl(pattern), args);
  }
  int32_t Int(Word set, const char* property) { return h.Get(set, property).i(); }

  void Insert(Word set, Word k) { Call(set, "insert(key as {K})", {k}); }
  bool Lookup(Word set, Word k) { return Call(set, "lookup(key as {K}) as boolean", {k}) != 0; }
  int32_t RemoveKey(Word set, Word k) {
    return static_cast<int32_t>(Call(set, "Remove(key as {K}) as integer", {k}));
  }
  Word First(Word set) { return KeepObject(Call(set, "first as {I}")); }
  Word Last(Word set) { return KeepObject(Call(set, "last as {I}")); }
  Word Find(Word set, Word k) { return KeepObject(Call(set, "find(key as {K}) as {I}", {k})); }
  Word LowerBound(Word set, Word k) {
    return KeepObject(Call(set, "LowerBound(key as {K}) as {I}", {k}));
  }
  Word UpperBound(Word set, Word k) {
    return KeepObject(Call(set, "UpperBound(key as {K}) as {I}", {k}));
  }
  bool Equal(Word a, Word b) { return Call(a, "isEqual(other as {I}) as boolean", {b}) != 0; }
  bool NotEqual(Word a, Word b) { return Call(a, "isNotEqual(other as {I}) as boolean", {b}) != 0; }
  Word ItKey(Word it) { return Keep(s.key, Call(it, "Key as {K}")); }
  void Next(Word it) { h.Call(it, "MoveNext"); }
  void Prev(Word it) { h.Call(it, "MovePrev"); }
  void RemoveAt(Word set, Word it) { Call(set, "Remove(pos as {I})", {it}); }
  void RemoveRange(Word set, Word a, Word b) {
    Call(set, "Remove(first as {I}, last as {I})", {a, b});
  }

  std::vector<Word> Walk(Word set) {
    std::vector<Word> keys;
    Word it = First(set), end = Last(set);
    while (NotEqual(it, end) && keys.size() < 100000) {
      keys.push_back(ItKey(it));
      Next(it);
    }
    return keys;
  }
  std::vector<Word> WalkBack(Word set) {
    std::vector<Word> keys;
    Word it = Last(set), begin = First(set);
    while (NotEqual(it, begin) && keys.size() < 100000) {
      Prev(it);
      keys.push_back(ItKey(it));
    }
    std::reverse(keys.begin(), keys.end());
    return keys;
  }
  std::vector<Word> KeysByIndex(Word set) {
    std::vector<Word> keys;
    int32_t n = Int(set, "Count");
    for (int32_t i = 0; i < n; ++i)
      keys.push_back(Keep(s.key, Call(set, "Key(index as integer) as {K}", {i})));
    return keys;
  }
  std::vector<Word> KeysArray(Word set) {
    return h.Elements(reinterpret_cast<REALarray>(KeepObject(Call(set, "Keys as {K}()"))));
  }
  std::vector<std::string> Contents(const std::vector<Word>& words) {
    std::vector<std::string> out;
    for (Word w : words) out.push_back(Content(h, s.key, w));
    return out;
  }

  standin::TestHost& h;
  const MemberSpec& s;
};

}  // namespace kdt_test
