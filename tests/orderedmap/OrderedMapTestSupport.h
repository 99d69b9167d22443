// Driving the ordered map classes the way a host program does, for any
// member: keys and values are made from small integers (keys "k<n>", values
// "v<n>"; Integer keys are the number itself), and the order a map must show
// is written out here independently of the library.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {

inline MemberSpec OrderedMap(const std::string& name, Kind k, Kind v, const char* kw,
                             const char* vw, bool cs) {
  // The Variant-to-Variant member's iterator class has no "Ordered" in its name.
  std::string iterator = name == "VariantToVariant" ? "VariantToVariantMapIteratorKDT"
                                                    : name + "OrderedMapIteratorKDT";
  return MemberSpec{name + "OrderedMapKDT", iterator, k, v, kw, vw, cs};
}

inline std::vector<MemberSpec> AllOrderedMaps() {
  std::vector<MemberSpec> out;
  for (bool cs : {true, false}) {
    out.push_back(OrderedMap("TextToText", Kind::Text, Kind::Text, "Text", "Text", cs));
    out.push_back(OrderedMap("TextToVariant", Kind::Text, Kind::Variant, "Text", "variant", cs));
    out.push_back(OrderedMap("StringToString", Kind::String, Kind::String, "string", "string", cs));
    out.push_back(
        OrderedMap("StringToVariant", Kind::String, Kind::Variant, "string", "variant", cs));
    out.push_back(
        OrderedMap("VariantToVariant", Kind::Variant, Kind::Variant, "variant", "variant", cs));
  }
  out.push_back(OrderedMap("IntegerToText", Kind::Integer, Kind::Text, "integer", "Text", true));
  out.push_back(
      OrderedMap("IntegerToString", Kind::Integer, Kind::String, "integer", "string", true));
  out.push_back(
      OrderedMap("IntegerToVariant", Kind::Integer, Kind::Variant, "integer", "variant", true));
  out.push_back(
      OrderedMap("IntegerToInteger", Kind::Integer, Kind::Integer, "integer", "integer", true));
  return out;
}

inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A key as the model knows it: its characters (String, Text and Variant keys
// hold the String of these characters) or, for Integer keys, its number.
struct ModelKey {
  std::string name;
  int number = 0;
};

// The map order: Integer keys ascending; other keys by their characters,
// folded to lower case in the case-insensitive mode, from the greatest to
// the smallest.  Only ASCII keys are used, whose order every comparison of
// the host agrees on.
struct MapOrder {
  Kind key;
  bool caseSensitive;
  int Compare(const ModelKey& a, const ModelKey& b) const {
    if (key == Kind::Integer) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    std::string x = caseSensitive ? a.name : Lower(a.name);
    std::string y = caseSensitive ? b.name : Lower(b.name);
    return x.compare(y);
  }
  // Whether a comes before b in the map.
  bool Before(const ModelKey& a, const ModelKey& b) const {
    int c = Compare(a, b);
    return key == Kind::Integer ? c < 0 : c > 0;
  }
  bool Same(const ModelKey& a, const ModelKey& b) const { return Compare(a, b) == 0; }
};

// A host value of kind k holding the characters `text` (Integer: its number),
// released by the host at the end of the test.
inline Word MakeNamed(Host& host, Kind k, const std::string& text) {
  switch (k) {
    case Kind::Integer:
      return static_cast<Word>(std::stoi(text));
    case Kind::String: {
      Word s = standin::W(host.NewString(text));
      host.ReleaseAtEnd(s);
      return s;
    }
    case Kind::Text: {
      Word t = standin::W(host.NewText(text));
      host.ReleaseAtEnd(t);
      return t;
    }
    case Kind::Variant: {
      REALstring s = host.NewString(text);
      Word v = standin::W(host.NewVariantString(s));
      host.Release(s);
      host.ReleaseAtEnd(v);
      return v;
    }
  }
  return 0;
}

// The characters of a key or value as the host shows them ("" for nil), or
// the number of an Integer.
inline std::string Content(Host& host, Kind k, Word w) {
  switch (k) {
    case Kind::Integer:
      return std::to_string(static_cast<int32_t>(w));
    case Kind::String:
      return w == 0 ? "" : host.StringUTF8(reinterpret_cast<REALstring>(w));
    case Kind::Text:
      return w == 0 ? "" : host.TextUTF8(reinterpret_cast<REALtext>(w));
    case Kind::Variant: {
      // Variants in these tests hold a String, a Text or an Integer; the
      // host describes them as '... code 8 "k1", ...' or '... code 2 -4, ...'.
      std::string d = host.Describe(w);
      size_t at = d.find(" code ");
      if (at == std::string::npos) return d;
      at = d.find(' ', at + 6) + 1;
      if (d[at] == '"') return d.substr(at + 1, d.find('"', at + 1) - at - 1);
      return d.substr(at, d.find(',', at) - at);
    }
  }
  return "";
}

class OrderedMapDriver {
 public:
  OrderedMapDriver(standin::TestHost& host, const MemberSpec& spec) : h(host), s(spec) {}

  std::string CaseConstructor() const {
    return s.HasCaseModes() ? "Constructor(CaseSensitive as Boolean = true)" : "Constructor";
  }
  // A new map in the member's mode; the host releases it at the end.
  Word New() { return KeepObject(Construct(standin::W(h.NewInstance(s.className)))); }
  // Runs the first constructor on m again.
  Word Construct(Word m) {
    if (s.HasCaseModes())
      h.Call(m, CaseConstructor(), {s.caseSensitive});
    else
      h.Call(m, CaseConstructor());
    return m;
  }
  Word FromDictionary(Word dict) {
    Word m = standin::W(h.NewInstance(s.className));
    if (s.HasCaseModes())
      h.Call(m, "Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
             {dict, s.caseSensitive});
    else
      h.Call(m, "Constructor(dic as dictionary)", {dict});
    return KeepObject(m);
  }

  Word Key(int n, bool upper = false) { return Make(h, s.key, "k", n, upper); }
  Word Value(int n) { return Make(h, s.value, "v", n); }
  ModelKey KeyOf(int n, bool upper = false) const {
    return s.key == Kind::Integer ? ModelKey{"", n} : ModelKey{TextOf("k", n, upper), n};
  }
  MapOrder Order() const { return MapOrder{s.key, s.caseSensitive}; }

  // A reference a call returned becomes the host's to release.
  Word Keep(Kind k, Word w) {
    if (k != Kind::Integer && w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word KeepObject(Word w) { return Keep(Kind::Variant, w); }

  Word Call(Word m, const std::string& pattern, std::initializer_list<standin::Arg> args = {}) {
    return h.Call(m, s.Decl(pattern), args);
  }
  void Set(Word m, Word k, Word v) { h.Assign(m, s.Decl("value(key as {K}) as {V}"), {k}, v); }
  Word Get(Word m, Word k) { return Keep(s.value, Call(m, "value(key as {K}) as {V}", {k})); }
  int32_t Int(Word m, const char* property) { return h.Get(m, property).i(); }

  Word First(Word m) { return KeepObject(Call(m, "first as {I}")); }
  Word Last(Word m) { return KeepObject(Call(m, "last as {I}")); }
  Word Find(Word m, Word k) { return KeepObject(Call(m, "find(key as {K}) as {I}", {k})); }
  Word LowerBound(Word m, Word k) {
    return KeepObject(Call(m, "LowerBound(key as {K}) as {I}", {k}));
  }
  Word UpperBound(Word m, Word k) {
    return KeepObject(Call(m, "UpperBound(key as {K}) as {I}", {k}));
  }
  bool Equal(Word a, Word b) { return Call(a, "isEqual(other as {I}) as boolean", {b}) != 0; }
  bool NotEqual(Word a, Word b) { return Call(a, "isNotEqual(other as {I}) as boolean", {b}) != 0; }
  Word ItKey(Word it) { return Keep(s.key, Call(it, "Key as {K}")); }
  Word ItValue(Word it) { return Keep(s.value, Call(it, "Value as {V}")); }
  void SetItValue(Word it, Word v) { h.Assign(it, s.Decl("Value as {V}"), {}, v); }
  void Next(Word it) { h.Call(it, "MoveNext"); }
  void Prev(Word it) { h.Call(it, "MovePrev"); }
  void RemoveAt(Word m, Word it) { Call(m, "Remove(pos as {I})", {it}); }
  void RemoveRange(Word m, Word a, Word b) { Call(m, "Remove(first as {I}, last as {I})", {a, b}); }
  int32_t RemoveKey(Word m, Word k) {
    return static_cast<int32_t>(Call(m, "Remove(key as {K}) as integer", {k}));
  }

  // Keys from first to last with MoveNext, and from last back with MovePrev.
  std::vector<Word> Walk(Word m) {
    std::vector<Word> keys;
    Word it = First(m), end = Last(m);
    while (NotEqual(it, end) && keys.size() < 100000) {
      keys.push_back(ItKey(it));
      Next(it);
    }
    return keys;
  }
  std::vector<Word> WalkBack(Word m) {
    std::vector<Word> keys;
    Word it = Last(m), begin = First(m);
    while (NotEqual(it, begin) && keys.size() < 100000) {
      Prev(it);
      keys.push_back(ItKey(it));
    }
    std::reverse(keys.begin(), keys.end());
    return keys;
  }
  std::vector<Word> KeysByIndex(Word m) {
    std::vector<Word> keys;
    int32_t n = Int(m, "Count");
    for (int32_t i = 0; i < n; ++i)
      keys.push_back(Keep(s.key, Call(m, "Key(index as integer) as {K}", {i})));
    return keys;
  }
  std::vector<Word> Elements(Word array) { return h.Elements(reinterpret_cast<REALarray>(array)); }
  std::vector<Word> KeysArray(Word m) { return Elements(KeepObject(Call(m, "Keys as {K}()"))); }
  std::vector<Word> ValuesArray(Word m) { return Elements(KeepObject(Call(m, "Values as {V}()"))); }
  std::vector<std::string> Contents(Kind k, const std::vector<Word>& words) {
    std::vector<std::string> out;
    for (Word w : words) out.push_back(Content(h, k, w));
    return out;
  }

  standin::TestHost& h;
  const MemberSpec& s;
};

}  // namespace kdt_test
