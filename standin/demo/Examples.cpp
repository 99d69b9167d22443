// The user guide's examples (docs/guide/examples.md), call for call as the
// guide's host programs make them: the demo prints what each prints, and the
// tests hold it to the output the guide shows.
#include "standin/demo/Examples.h"

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using kdt::REALarray;
using kdt::REALobject;
using kdt::REALstring;
using standin::Host;
using standin::Result;
using standin::W;
using standin::Word;

// A host program's view: every object it makes or gets back lives to the end
// of the program, Print collects lines, and the members it calls are noted as
// "Class.Member" (the guide's code must call the same ones).
struct Program {
  Host& h;
  std::vector<std::string> out;
  std::set<std::string> called;

  void Print(const std::string& line) { out.push_back(line); }
  Result Call(Word object, const std::string& declaration,
              std::initializer_list<standin::Arg> args = {}) {
    Note(object, declaration);
    return h.Call(object, declaration, args);
  }
  void Assign(Word object, const std::string& declaration, std::initializer_list<standin::Arg> args,
              standin::Arg value) {
    Note(object, declaration);
    h.Assign(object, declaration, args, value);
  }
  Result Get(Word object, const std::string& property) {
    Note(object, property);
    return h.Get(object, property);
  }
  void Note(Word object, const std::string& declaration) {
    called.insert(h.ClassName(object) + "." +
                  declaration.substr(0, declaration.find_first_of("( ")));
  }
  Word S(const std::string& utf8, uint32_t encoding = kdt::kEncodingUTF8) {
    return Keep(W(h.NewString(utf8, encoding)));
  }
  Word T(const std::string& utf8) { return Keep(W(h.NewText(utf8))); }
  // A Variant as the host makes one for an argument: from a String, an
  // Integer or a Double.
  Word V(const std::string& utf8) {
    return Keep(W(h.NewVariantString(reinterpret_cast<REALstring>(S(utf8)))));
  }
  Word V(int32_t n) { return Keep(W(h.NewVariantInt32(n))); }
  Word VDouble(double d) { return Keep(W(h.NewVariantDouble(d))); }
  Word Keep(Word object) {
    if (object != 0) h.ReleaseAtEnd(object);
    return object;
  }
  Word Keep(Result r) { return Keep(r.word); }
  Word New(const std::string& cls, const std::string& constructor,
           std::initializer_list<standin::Arg> args = {}) {
    return Keep(W(h.New(cls, constructor, args)));
  }
  // A String array, as Array("a", "b") makes one.
  Word Strings(std::initializer_list<const char*> items) {
    std::vector<Word> words;
    for (const char* item : items) words.push_back(S(item));
    return Keep(W(h.NewArray(kdt::kArrayTypeString, words)));
  }
  std::string Str(Result r) {
    std::string s = h.StringUTF8(r.str());
    if (r.word != 0) h.Release(r.word);
    return s;
  }
  // Join(array, " ") of a String array.
  std::string Join(Word array) {
    std::string line;
    for (Word w : h.Elements(reinterpret_cast<REALarray>(array)))
      line += (line.empty() ? "" : " ") + h.StringUTF8(reinterpret_cast<REALstring>(w));
    return line;
  }
  // The exception a Try block catches, as "Class: message".
  std::string Caught() {
    auto e = h.TakeException();
    return e ? e->className + ": " + e->message : "no exception";
  }
};

std::string N(Result r) {
  return std::to_string(r.i());
}

constexpr char kCS[] = "Constructor(CaseSensitive as Boolean = true)";

void FillAndRead(Program& p) {
  const std::string v = "value(key as string) as string";
  Word capitals = p.New("StringToStringHashMapKDT", kCS);
  p.Assign(capitals, v, {p.S("France")}, p.S("Paris"));
  p.Assign(capitals, v, {p.S("Japan")}, p.S("Kyoto"));
  p.Assign(capitals, v, {p.S("Peru")}, p.S("Lima"));
  p.Assign(capitals, v, {p.S("Japan")}, p.S("Tokyo"));
  p.Print(N(p.Get(capitals, "Count")));
  p.Print(p.Str(p.Call(capitals, v, {p.S("Japan")})));
  p.Print(p.Str(p.Call(capitals, "lookup(key as string, defaultvalue as string) as string",
                       {p.S("Chile"), p.S("unknown")})));
  if (p.Call(capitals, "hasKey(key as string) as boolean", {p.S("Peru")}).b())
    p.Print("Peru is there");
  const std::string remove = "Remove(key as string) as integer";
  std::string first = N(p.Call(capitals, remove, {p.S("Peru")}));
  p.Print(first + " removed, then " + N(p.Call(capitals, remove, {p.S("Peru")})));
  p.Call(capitals, v, {p.S("Peru")});
  p.Print(p.Caught());
}

void Walk(Program& p) {
  const std::string it = "IntegerToStringOrderedMapIteratorKDT";
  Word names = p.New("IntegerToStringOrderedMapKDT", "Constructor");
  const std::pair<int32_t, const char*> entries[] = {{30, "thirty"}, {10, "ten"}, {20, "twenty"}};
  for (auto [k, name] : entries) p.Assign(names, "value(key as integer) as string", {k}, p.S(name));
  Word walker = p.Keep(p.Call(names, "first as " + it));
  Word endPos = p.Keep(p.Call(names, "last as " + it));
  const std::string notEqual = "isNotEqual(other as " + it + ") as boolean";
  while (p.Call(walker, notEqual, {endPos}).b()) {
    p.Print(N(p.Call(walker, "Key as integer")) + " " + p.Str(p.Call(walker, "Value as string")));
    p.Call(walker, "MoveNext");
  }
  Word head = p.Keep(p.Call(names, "first as " + it));
  while (p.Call(walker, notEqual, {head}).b()) {
    p.Call(walker, "MovePrev");
    p.Print(N(p.Call(walker, "Key as integer")));
  }
}

void RemoveWhileWalking(Program& p) {
  const std::string it = "IntegerToIntegerHashMapIteratorKDT";
  Word squares = p.New("IntegerToIntegerHashMapKDT", "Constructor");
  for (int32_t i = 1; i <= 6; ++i)
    p.Assign(squares, "value(key as integer) as integer", {i}, i * i);
  Word walker = p.Keep(p.Call(squares, "first as " + it));
  Word endPos = p.Keep(p.Call(squares, "last as " + it));
  while (p.Call(walker, "isNotEqual(other as " + it + ") as boolean", {endPos}).b()) {
    int32_t k = p.Call(walker, "Key as integer").i();
    bool odd = p.Call(walker, "Value as integer").i() % 2 == 1;
    p.Call(walker, "MoveNext");
    if (odd) p.Call(squares, "Remove(key as integer) as integer", {k});
  }
  for (int32_t i = 0; i < p.Get(squares, "Count").i(); ++i)
    p.Print(N(p.Call(squares, "Key(index as integer) as integer", {i})) + " -> " +
            N(p.Call(squares, "ValueAtIndex(index as integer) as integer", {i})));
  Word wrong = p.Keep(p.Call(squares, "first as " + it));
  p.Call(squares, "Remove(pos as " + it + ")", {wrong});
  p.Call(wrong, "MoveNext");
  p.Print(p.Caught());
  p.Print(N(p.Get(squares, "Count")));
}

void Range(Program& p) {
  const std::string it = "IntegerToStringOrderedMapIteratorKDT";
  const std::string notEqual = "isNotEqual(other as " + it + ") as boolean";
  Word m = p.New("IntegerToStringOrderedMapKDT", "Constructor");
  for (int32_t k = 10; k <= 50; k += 10)
    p.Assign(m, "value(key as integer) as string", {k}, p.S("v" + std::to_string(k)));
  Word walker = p.Keep(p.Call(m, "LowerBound(key as integer) as " + it, {15}));
  Word stopAt = p.Keep(p.Call(m, "UpperBound(key as integer) as " + it, {40}));
  while (p.Call(walker, notEqual, {stopAt}).b()) {
    p.Print(p.Str(p.Call(walker, "Value as string")));
    p.Call(walker, "MoveNext");
  }
  Word from = p.Keep(p.Call(m, "LowerBound(key as integer) as " + it, {15}));
  p.Call(m, "Remove(first as " + it + ", last as " + it + ")", {from, stopAt});
  const std::string key = "Key(index as integer) as integer";
  p.Print(N(p.Get(m, "Count")) + " left: " + N(p.Call(m, key, {0})) + ", " +
          N(p.Call(m, key, {1})));
}

void CaseInsensitive(Program& p) {
  const std::string v = "value(key as string) as string";
  const std::string has = "hasKey(key as string) as boolean";
  Word people = p.New("StringToStringHashMapKDT", kCS, {false});
  p.Assign(people, v, {p.S("Émile")}, p.S("first"));
  p.Assign(people, v, {p.S("ÉMILE")}, p.S("second"));
  p.Assign(people, v, {p.S("émile")}, p.S("third"));
  p.Print(N(p.Get(people, "Count")));
  p.Print(p.Str(p.Call(people, "Key(index as integer) as string", {0})) + " = " +
          p.Str(p.Call(people, v, {p.S("éMILE")})));
  if (p.Call(people, has, {p.S("\xC9MILE", kdt::kEncodingWindowsLatin1)}).b())
    p.Print("found in another encoding");
  p.Assign(people, v, {p.S("Straße")}, p.S("street"));
  if (!p.Call(people, has, {p.S("STRASSE")}).b()) p.Print("ß is not ss");
}

void DictionaryRoundTrip(Program& p) {
  Word d = p.Keep(W(p.h.NewDictionary()));
  const std::pair<const char*, const char*> entries[] = {
      {"b", "two"}, {"a", "one"}, {"A", "three"}};
  for (auto [k, v] : entries)
    p.h.DictionarySet(reinterpret_cast<REALobject>(d), reinterpret_cast<REALobject>(p.V(k)),
                      reinterpret_cast<REALobject>(p.V(v)));
  Word m = p.New("StringToStringOrderedMapKDT",
                 "Constructor(dic as dictionary, CaseSensitive as Boolean = true)", {d, false});
  int32_t count = p.Get(m, "Count").i();
  p.Print(std::to_string(count));
  for (int32_t i = 0; i < count; ++i)
    p.Print(p.Str(p.Call(m, "Key(index as integer) as string", {i})) + " = " +
            p.Str(p.Call(m, "ValueAtIndex(index as integer) as string", {i})));
  REALobject back =
      reinterpret_cast<REALobject>(p.Keep(p.Call(m, "Operator_Convert as Dictionary")));
  p.Print(std::to_string(p.h.DictionaryCount(back)));
  // back.Value("a"): the entry whose key is exactly the String "a".
  for (auto [key, value] : p.h.DictionaryEntries(back))
    if (p.Str(p.h.Get(key, "StringValue")) == "a") p.Print(p.Str(p.h.Get(value, "StringValue")));
}

void KeysAndIndex(Program& p) {
  Word m = p.New("IntegerToStringHashMapKDT", "Constructor");
  const std::pair<int32_t, const char*> entries[] = {
      {100, "hundred"}, {200, "two hundred"}, {300, "three hundred"}};
  for (auto [k, v] : entries) p.Assign(m, "value(key as integer) as string", {k}, p.S(v));
  Word keys = p.Keep(p.Call(m, "Keys as integer()"));
  for (Word k : p.h.Elements(reinterpret_cast<REALarray>(keys)))
    p.Print(std::to_string(static_cast<int32_t>(k)));
  for (int32_t i = 0; i < p.Get(m, "Count").i(); ++i)
    p.Print(N(p.Call(m, "Key(index as integer) as integer", {i})) + " " +
            p.Str(p.Call(m, "ValueAtIndex(index as integer) as string", {i})));
  if (p.Keep(p.Call(m, "Keys as integer()")) == keys) p.Print("same array until the map changes");
  REALarray more = p.h.NewArray(kdt::kArrayTypeInteger, {1, 2});
  p.h.ReleaseAtEnd(more);
  p.Call(m, "AddKeys(targetArray() as integer)", {more});
  std::vector<Word> all = p.h.Elements(more);
  p.Print(std::to_string(all.size()) + " elements, first " +
          std::to_string(static_cast<int32_t>(all.front())) + ", last " +
          std::to_string(static_cast<int32_t>(all.back())));
  p.Call(m, "Key(index as integer) as integer", {3});
  p.Print(p.Caught());
}

void SetMembership(Program& p) {
  const std::string has = "lookup(key as string) as boolean";
  Word seen = p.New("StringHashSetKDT", "Constructor(Keys() as string)",
                    {p.Strings({"red", "green", "red", "blue", "green"})});
  p.Print(N(p.Get(seen, "Count")) + " different colours");
  if (p.Call(seen, has, {p.S("blue")}).b()) p.Print("blue is there");
  if (!p.Call(seen, has, {p.S("Blue")}).b()) p.Print("Blue is not: this set compares exactly");
  Word anyCase = p.New("StringHashSetKDT", kCS, {false});
  for (const char* c : {"Red", "RED", "red", "Green"})
    p.Call(anyCase, "insert(key as string)", {p.S(c)});
  p.Print(N(p.Get(anyCase, "Count")) + " ignoring case");
  p.Print(p.Join(p.Keep(p.Call(anyCase, "Keys as string()"))));
}

void CountWords(Program& p) {
  Word counts = p.New("StringToVariantOrderedMapKDT", kCS, {false});
  for (const char* w : {"The", "cat", "saw", "the", "dog", "and", "the", "bird"}) {
    Word n = p.Keep(p.Call(counts, "lookup(key as string, defaultvalue as variant) as variant",
                           {p.S(w), p.V(0)}));
    p.Assign(counts, "value(key as string) as variant", {p.S(w)},
             p.V(p.h.Get(n, "Int32Value").i() + 1));
  }
  p.Print(N(p.Get(counts, "Count")) + " different words");
  const std::string it = "StringToVariantOrderedMapIteratorKDT";
  Word walker = p.Keep(p.Call(counts, "first as " + it));
  Word endPos = p.Keep(p.Call(counts, "last as " + it));
  while (p.Call(walker, "isNotEqual(other as " + it + ") as boolean", {endPos}).b()) {
    p.Print(p.Str(p.Call(walker, "Key as string")) + ": " +
            N(p.h.Get(p.Keep(p.Call(walker, "Value as variant")), "Int32Value")));
    p.Call(walker, "MoveNext");
  }
}

void WalkBackwards(Program& p) {
  const std::string it = "StringToStringOrderedMapIteratorKDT";
  Word stock = p.New("StringToStringOrderedMapKDT", kCS);
  const std::pair<const char*, const char*> entries[] = {
      {"pear", "12"}, {"apple", "3"}, {"fig", "7"}};
  for (auto [k, v] : entries) p.Assign(stock, "value(key as string) as string", {p.S(k)}, p.S(v));
  Word walker = p.Keep(p.Call(stock, "last as " + it));
  Word head = p.Keep(p.Call(stock, "first as " + it));
  while (p.Call(walker, "isNotEqual(other as " + it + ") as boolean", {head}).b()) {
    p.Call(walker, "MovePrev");
    p.Print(p.Str(p.Call(walker, "Key as string")) + " " +
            p.Str(p.Call(walker, "Value as string")));
  }
  Word none = p.New("StringToStringOrderedMapKDT", kCS);
  Word noneLast = p.Keep(p.Call(none, "last as " + it));
  if (p.Call(noneLast, "isEqual(other as " + it + ") as boolean",
             {p.Keep(p.Call(none, "first as " + it))})
          .b())
    p.Print("an empty map: the loop does not run");
}

void PrefixSearch(Program& p) {
  const char* const keys[] = {"pear", "apple", "p", "plum", "q", "fig"};
  const std::string wit = "StringOrderedSetIteratorKDT";
  Word words = p.New("StringOrderedSetKDT", "Constructor(Keys() as string)",
                     {p.Strings({"pear", "apple", "p", "plum", "q", "fig"})});
  Word w = p.Keep(p.Call(words, "LowerBound(key as string) as " + wit, {p.S("p")}));
  Word wEnd = p.Keep(p.Call(words, "LowerBound(key as string) as " + wit, {p.S("q")}));
  while (p.Call(w, "isNotEqual(other as " + wit + ") as boolean", {wEnd}).b()) {
    p.Print(p.Str(p.Call(w, "Key as string")));
    p.Call(w, "MoveNext");
  }
  const std::string it = "StringToStringOrderedMapIteratorKDT";
  Word prices = p.New("StringToStringOrderedMapKDT", kCS);
  for (const char* k : keys) p.Assign(prices, "value(key as string) as string", {p.S(k)}, p.S(k));
  Word from = p.Keep(p.Call(prices, "UpperBound(key as string) as " + it, {p.S("q")}));
  Word to = p.Keep(p.Call(prices, "UpperBound(key as string) as " + it, {p.S("p")}));
  while (p.Call(from, "isNotEqual(other as " + it + ") as boolean", {to}).b()) {
    p.Print(p.Str(p.Call(from, "Key as string")));
    p.Call(from, "MoveNext");
  }
}

void MixedVariants(Program& p) {
  const std::string v = "value(key as variant) as variant";
  Word m = p.New("VariantToVariantOrderedMapKDT", kCS);
  p.Assign(m, v, {p.V(1)}, p.V("the Integer 1"));
  p.Assign(m, v, {p.VDouble(1.0)}, p.V("the Double 1.0"));
  p.Assign(m, v, {p.V("1")}, p.V("the String 1"));
  p.Assign(m, v, {p.V(1)}, p.V("the Integer 1 again"));
  p.Print(N(p.Get(m, "Count")));
  p.Print(p.Str(p.h.Get(p.Keep(p.Call(m, v, {p.V(1)})), "StringValue")));
  const double nan = std::nan("");
  p.Assign(m, v, {p.VDouble(nan)}, p.V("a NaN"));
  p.Assign(m, v, {p.VDouble(nan)}, p.V("another NaN"));
  p.Print(N(p.Get(m, "Count")));
  if (!p.Call(m, "hasKey(key as variant) as boolean", {p.VDouble(nan)}).b())
    p.Print("no NaN is found");
  p.Assign(m, v, {nullptr}, p.V("nothing"));
  const int32_t count = p.Get(m, "Count").i();
  p.Print(std::to_string(count));
  if (p.Keep(p.Call(m, "Key(index as integer) as variant", {count - 1})) == 0)
    p.Print("Nil is the last key");
}

void TextClasses(Program& p) {
  const bool text = p.h.EffectiveVersion() >= 2015.0;
  const std::string type = text ? "Text" : "string";
  Word names = p.New(text ? "TextToTextOrderedMapKDT" : "StringToStringOrderedMapKDT", kCS);
  auto make = [&](const char* s) { return text ? p.T(s) : p.S(s); };
  const std::string v = "value(key as " + type + ") as " + type;
  p.Assign(names, v, {make("b")}, make(text ? "Text keys" : "String keys"));
  p.Assign(names, v, {make("a")}, make(text ? "on this host" : "on an older host"));
  for (int32_t i = 0; i < 2; ++i) {
    Word key = p.Keep(p.Call(names, "Key(index as integer) as " + type, {i}));
    Word value = p.Keep(p.Call(names, "ValueAtIndex(index as integer) as " + type, {i}));
    auto str = [&](Word w) {
      return text ? p.h.TextUTF8(reinterpret_cast<kdt::REALtext>(w))
                  : p.h.StringUTF8(reinterpret_cast<REALstring>(w));
    };
    p.Print(str(key) + ": " + str(value));
  }
}

void UnionAndIntersection(Program& p) {
  const std::string keys = "Keys as string()";
  const std::string fromArray = "Constructor(Keys() as string)";
  Word a = p.New("StringOrderedSetKDT", fromArray, {p.Strings({"apple", "fig", "pear"})});
  Word b = p.New("StringOrderedSetKDT", fromArray, {p.Strings({"fig", "kiwi", "pear", "plum"})});
  Word all = p.New("StringOrderedSetKDT", fromArray, {p.Keep(p.Call(a, keys))});
  for (Word k : p.h.Elements(reinterpret_cast<REALarray>(p.Keep(p.Call(b, keys)))))
    p.Call(all, "insert(key as string)", {k});
  Word both = p.New("StringOrderedSetKDT", kCS);
  for (Word k : p.h.Elements(reinterpret_cast<REALarray>(p.Keep(p.Call(a, keys)))))
    if (p.Call(b, "lookup(key as string) as boolean", {k}).b())
      p.Call(both, "insert(key as string)", {k});
  p.Print(p.Join(p.Keep(p.Call(all, keys))));
  p.Print(p.Join(p.Keep(p.Call(both, keys))));
}

void HashOrder(Program& p) {
  const std::string cls = "IntegerToStringHashMapKDT";
  const std::string key = "Key(index as integer) as integer";
  const std::string v = "value(key as integer) as string";
  Word m = p.New(cls, "Constructor");
  p.Assign(m, v, {0}, p.S("zero"));
  p.Assign(m, v, {75077}, p.S("big"));
  auto firstTwo = [&](Word map) {
    return N(p.Call(map, key, {0})) + ", " + N(p.Call(map, key, {1}));
  };
  p.Print(firstTwo(m));
  Word copy = p.Keep(p.Call(m, "Clone as " + cls));
  p.Print(firstTwo(copy));
  for (int32_t k = 1; k <= 193; ++k) p.Assign(m, v, {k}, p.S("more"));
  p.Print(N(p.Get(m, "BinCount")) + " buckets: " + firstTwo(m));
}

}  // namespace

std::vector<GuideExample> RunGuideExamples(Host& host) {
  const std::pair<const char*, void (*)(Program&)> examples[] = {
      {"fill-and-read", &FillAndRead},
      {"walk", &Walk},
      {"remove-while-walking", &RemoveWhileWalking},
      {"range", &Range},
      {"case-insensitive", &CaseInsensitive},
      {"dictionary", &DictionaryRoundTrip},
      {"keys", &KeysAndIndex},
      {"hash-order", &HashOrder},
      {"set-membership", &SetMembership},
      {"count-words", &CountWords},
      {"walk-backwards", &WalkBackwards},
      {"prefix-search", &PrefixSearch},
      {"mixed-variants", &MixedVariants},
      {"text-classes", &TextClasses},
      {"union-intersection", &UnionAndIntersection}};
  std::vector<GuideExample> outputs;
  for (const auto& [name, example] : examples) {
    Program p{host, {}, {}};
    example(p);
    outputs.push_back({name, p.out, p.called});
  }
  return outputs;
}
