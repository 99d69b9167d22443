// Driving the ordered maps and sets the way a host program does, for any
// member: keys (set elements) are "k<n>" and values "v<n>", Integers the
// number itself; the order a container must show is written out here
// independently of the library.
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
inline MemberSpec OrderedSet(const std::string& name, Kind k, const char* kw, bool cs) {
  return MemberSpec{
      name + "OrderedSetKDT", name + "OrderedSetIteratorKDT", k, Kind::Integer, kw, "", cs};
}
inline bool IsSet(const MemberSpec& s) {
  return s.className.find("OrderedSet") != std::string::npos;
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
inline std::vector<MemberSpec> AllOrdered() {
  std::vector<MemberSpec> out = AllOrderedMaps(), sets = AllOrderedSets();
  out.insert(out.end(), sets.begin(), sets.end());
  return out;
}

// A key as the model knows it: its characters, or an Integer's number.
struct ModelKey {
  std::string name;
  int number = 0;
  std::string Text() const { return name.empty() ? std::to_string(number) : name; }
};

// The container order: Integer keys and set elements ascending; String, Text
// and Variant map keys descending.  Characters fold to lower case in the
// case-insensitive mode (the tests use ASCII only).
struct Order {
  Kind key;
  bool caseSensitive;
  bool descending;
  int Compare(const ModelKey& a, const ModelKey& b) const {
    if (key == Kind::Integer) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    std::string x = a.name, y = b.name;
    if (!caseSensitive) {
      for (char& c : x) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (char& c : y) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return x.compare(y);
  }
  bool Before(const ModelKey& a, const ModelKey& b) const {
    return descending ? Compare(a, b) > 0 : Compare(a, b) < 0;
  }
  bool Same(const ModelKey& a, const ModelKey& b) const { return Compare(a, b) == 0; }
};

// A host value of kind k holding `text` (Integer: its number), released by
// the host at the end of the test.
inline Word MakeNamed(Host& host, Kind k, const std::string& text) {
  if (k == Kind::Integer) return static_cast<Word>(std::stoi(text));
  if (k == Kind::Text) {
    Word t = standin::W(host.NewText(text));
    host.ReleaseAtEnd(t);
    return t;
  }
  REALstring s = host.NewString(text);
  if (k == Kind::String) {
    host.ReleaseAtEnd(s);
    return standin::W(s);
  }
  Word v = standin::W(host.NewVariantString(s));
  host.Release(s);
  host.ReleaseAtEnd(v);
  return v;
}

// The characters a value shows ("" for nil), or an Integer's number.
inline std::string Content(Host& host, Kind k, Word w) {
  switch (k) {
    case Kind::Integer:
      return std::to_string(static_cast<int32_t>(w));
    case Kind::String:
      return w == 0 ? "" : host.StringUTF8(reinterpret_cast<REALstring>(w));
    case Kind::Text:
      return w == 0 ? "" : host.TextUTF8(reinterpret_cast<REALtext>(w));
    case Kind::Variant: {
      // The host describes a Variant as '... code 8 "k1", ...' or '... code 2 -4, ...'.
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

class OrderedDriver {
 public:
  OrderedDriver(standin::TestHost& host, const MemberSpec& spec)
      : h(host), s(spec), isSet(IsSet(spec)) {}

  Word Raw(const std::string& className = "") {
    return KeepObject(standin::W(h.NewInstance(className.empty() ? s.className : className)));
  }
  Word New() { return Construct(Raw()); }
  // Runs the first constructor on c (again).
  Word Construct(Word c) {
    if (s.HasCaseModes())
      h.Call(c, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive});
    else
      h.Call(c, "Constructor");
    return c;
  }

  Word Key(int n, bool upper = false) { return Make(h, s.key, "k", n, upper); }
  Word Value(int n) { return Make(h, s.value, "v", n); }
  ModelKey KeyOf(int n, bool upper = false) const {
    return s.key == Kind::Integer ? ModelKey{"", n} : ModelKey{TextOf("k", n, upper), n};
  }
  Order order() const { return Order{s.key, s.caseSensitive, !isSet && s.key != Kind::Integer}; }

  // A reference a call returned becomes the host's to release.
  Word Keep(Kind k, Word w) {
    if (k != Kind::Integer && w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  Word KeepObject(Word w) { return Keep(Kind::Variant, w); }
  Word Call(Word c, const std::string& pattern, std::initializer_list<standin::Arg> args = {}) {
    return h.Call(c, s.Decl(pattern), args);
  }
  int32_t Int(Word c, const char* property) { return h.Get(c, property).i(); }

  // value(key) = v for a map, insert(key) for a set.
  void Put(Word c, Word k, Word v = 0) {
    if (isSet)
      Call(c, "insert(key as {K})", {k});
    else
      h.Assign(c, s.Decl("value(key as {K}) as {V}"), {k}, v);
  }
  Word Get(Word c, Word k) { return Keep(s.value, Call(c, "value(key as {K}) as {V}", {k})); }
  int32_t RemoveKey(Word c, Word k) {
    return static_cast<int32_t>(Call(c, "Remove(key as {K}) as integer", {k}));
  }
  void RemoveAt(Word c, Word it) { Call(c, "Remove(pos as {I})", {it}); }
  void RemoveRange(Word c, Word a, Word b) { Call(c, "Remove(first as {I}, last as {I})", {a, b}); }

  Word First(Word c) { return KeepObject(Call(c, "first as {I}")); }
  Word Last(Word c) { return KeepObject(Call(c, "last as {I}")); }
  Word Find(Word c, Word k) { return KeepObject(Call(c, "find(key as {K}) as {I}", {k})); }
  Word LowerBound(Word c, Word k) {
    return KeepObject(Call(c, "LowerBound(key as {K}) as {I}", {k}));
  }
  Word UpperBound(Word c, Word k) {
    return KeepObject(Call(c, "UpperBound(key as {K}) as {I}", {k}));
  }
  bool Equal(Word a, Word b) { return Call(a, "isEqual(other as {I}) as boolean", {b}) != 0; }
  bool NotEqual(Word a, Word b) { return Call(a, "isNotEqual(other as {I}) as boolean", {b}) != 0; }
  Word ItKey(Word it) { return Keep(s.key, Call(it, "Key as {K}")); }
  Word ItValue(Word it) { return Keep(s.value, Call(it, "Value as {V}")); }
  void SetItValue(Word it, Word v) { h.Assign(it, s.Decl("Value as {V}"), {}, v); }
  void Next(Word it) { h.Call(it, "MoveNext"); }
  void Prev(Word it) { h.Call(it, "MovePrev"); }

  // The keys from first to last with MoveNext; the same read backwards from
  // last with MovePrev.
  std::vector<Word> Walk(Word c) {
    std::vector<Word> keys;
    Word it = First(c), end = Last(c);
    while (NotEqual(it, end) && keys.size() < 100000) {
      keys.push_back(ItKey(it));
      Next(it);
    }
    return keys;
  }
  std::vector<Word> WalkBack(Word c) {
    std::vector<Word> keys;
    Word it = Last(c), begin = First(c);
    while (NotEqual(it, begin) && keys.size() < 100000) {
      Prev(it);
      keys.insert(keys.begin(), ItKey(it));
    }
    return keys;
  }
  std::vector<Word> KeysByIndex(Word c) {
    std::vector<Word> keys;
    for (int32_t i = 0, n = Int(c, "Count"); i < n; ++i)
      keys.push_back(Keep(s.key, Call(c, "Key(index as integer) as {K}", {i})));
    return keys;
  }
  std::vector<Word> Elements(Word array) { return h.Elements(reinterpret_cast<REALarray>(array)); }
  Word KeysObject(Word c) { return KeepObject(Call(c, "Keys as {K}()")); }
  std::vector<Word> KeysArray(Word c) { return Elements(KeysObject(c)); }
  std::vector<Word> ValuesArray(Word c) { return Elements(KeepObject(Call(c, "Values as {V}()"))); }
  std::vector<std::string> Contents(Kind k, const std::vector<Word>& words) {
    std::vector<std::string> out;
    for (Word w : words) out.push_back(Content(h, k, w));
    return out;
  }

  standin::TestHost& h;
  const MemberSpec& s;
  bool isSet;
};

}  // namespace kdt_test

namespace kdt_test {
inline std::string MemberName(const ::testing::TestParamInfo<MemberSpec>& info) {
  return info.param.Name();
}
}  // namespace kdt_test
