// The user guide's examples (docs/guide/examples.md), call for call as the
// guide's host programs make them: the demo prints what each prints, and the
// tests hold it to the output the guide shows.
#include "standin/demo/Examples.h"

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
// of the program, Print collects lines.
struct Program {
  Host& h;
  std::vector<std::string> out;

  void Print(const std::string& line) { out.push_back(line); }
  Word S(const std::string& utf8, uint32_t encoding = kdt::kEncodingUTF8) {
    return Keep(W(h.NewString(utf8, encoding)));
  }
  Word Keep(Word object) {
    if (object != 0) h.ReleaseAtEnd(object);
    return object;
  }
  Word Keep(Result r) { return Keep(r.word); }
  Word New(const std::string& cls, const std::string& constructor,
           std::initializer_list<standin::Arg> args = {}) {
    return Keep(W(h.New(cls, constructor, args)));
  }
  std::string Str(Result r) {
    std::string s = h.StringUTF8(r.str());
    if (r.word != 0) h.Release(r.word);
    return s;
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
  p.h.Assign(capitals, v, {p.S("France")}, p.S("Paris"));
  p.h.Assign(capitals, v, {p.S("Japan")}, p.S("Kyoto"));
  p.h.Assign(capitals, v, {p.S("Peru")}, p.S("Lima"));
  p.h.Assign(capitals, v, {p.S("Japan")}, p.S("Tokyo"));
  p.Print(N(p.h.Get(capitals, "Count")));
  p.Print(p.Str(p.h.Call(capitals, v, {p.S("Japan")})));
  p.Print(p.Str(p.h.Call(capitals, "lookup(key as string, defaultvalue as string) as string",
                         {p.S("Chile"), p.S("unknown")})));
  if (p.h.Call(capitals, "hasKey(key as string) as boolean", {p.S("Peru")}).b())
    p.Print("Peru is there");
  const std::string remove = "Remove(key as string) as integer";
  std::string first = N(p.h.Call(capitals, remove, {p.S("Peru")}));
  p.Print(first + " removed, then " + N(p.h.Call(capitals, remove, {p.S("Peru")})));
  p.h.Call(capitals, v, {p.S("Peru")});
  p.Print(p.Caught());
}

void Walk(Program& p) {
  const std::string it = "IntegerToStringOrderedMapIteratorKDT";
  Word names = p.New("IntegerToStringOrderedMapKDT", "Constructor");
  const std::pair<int32_t, const char*> entries[] = {{30, "thirty"}, {10, "ten"}, {20, "twenty"}};
  for (auto [k, name] : entries)
    p.h.Assign(names, "value(key as integer) as string", {k}, p.S(name));
  Word walker = p.Keep(p.h.Call(names, "first as " + it));
  Word endPos = p.Keep(p.h.Call(names, "last as " + it));
  const std::string notEqual = "isNotEqual(other as " + it + ") as boolean";
  while (p.h.Call(walker, notEqual, {endPos}).b()) {
    p.Print(N(p.h.Call(walker, "Key as integer")) + " " +
            p.Str(p.h.Call(walker, "Value as string")));
    p.h.Call(walker, "MoveNext");
  }
  Word head = p.Keep(p.h.Call(names, "first as " + it));
  while (p.h.Call(walker, notEqual, {head}).b()) {
    p.h.Call(walker, "MovePrev");
    p.Print(N(p.h.Call(walker, "Key as integer")));
  }
}

void RemoveWhileWalking(Program& p) {
  const std::string it = "IntegerToIntegerHashMapIteratorKDT";
  Word squares = p.New("IntegerToIntegerHashMapKDT", "Constructor");
  for (int32_t i = 1; i <= 6; ++i)
    p.h.Assign(squares, "value(key as integer) as integer", {i}, i * i);
  Word walker = p.Keep(p.h.Call(squares, "first as " + it));
  Word endPos = p.Keep(p.h.Call(squares, "last as " + it));
  while (p.h.Call(walker, "isNotEqual(other as " + it + ") as boolean", {endPos}).b()) {
    int32_t k = p.h.Call(walker, "Key as integer").i();
    bool odd = p.h.Call(walker, "Value as integer").i() % 2 == 1;
    p.h.Call(walker, "MoveNext");
    if (odd) p.h.Call(squares, "Remove(key as integer) as integer", {k});
  }
  for (int32_t i = 0; i < p.h.Get(squares, "Count").i(); ++i)
    p.Print(N(p.h.Call(squares, "Key(index as integer) as integer", {i})) + " -> " +
            N(p.h.Call(squares, "ValueAtIndex(index as integer) as integer", {i})));
  Word wrong = p.Keep(p.h.Call(squares, "first as " + it));
  p.h.Call(squares, "Remove(pos as " + it + ")", {wrong});
  p.h.Call(wrong, "MoveNext");
  p.Print(p.Caught());
  p.Print(N(p.h.Get(squares, "Count")));
}

void Range(Program& p) {
  const std::string it = "IntegerToStringOrderedMapIteratorKDT";
  const std::string notEqual = "isNotEqual(other as " + it + ") as boolean";
  Word m = p.New("IntegerToStringOrderedMapKDT", "Constructor");
  for (int32_t k = 10; k <= 50; k += 10)
    p.h.Assign(m, "value(key as integer) as string", {k}, p.S("v" + std::to_string(k)));
  Word walker = p.Keep(p.h.Call(m, "LowerBound(key as integer) as " + it, {15}));
  Word stopAt = p.Keep(p.h.Call(m, "UpperBound(key as integer) as " + it, {40}));
  while (p.h.Call(walker, notEqual, {stopAt}).b()) {
    p.Print(p.Str(p.h.Call(walker, "Value as string")));
    p.h.Call(walker, "MoveNext");
  }
  Word from = p.Keep(p.h.Call(m, "LowerBound(key as integer) as " + it, {15}));
  p.h.Call(m, "Remove(first as " + it + ", last as " + it + ")", {from, stopAt});
  const std::string key = "Key(index as integer) as integer";
  p.Print(N(p.h.Get(m, "Count")) + " left: " + N(p.h.Call(m, key, {0})) + ", " +
          N(p.h.Call(m, key, {1})));

  const std::string wit = "StringOrderedSetIteratorKDT";
  Word words = p.New("StringOrderedSetKDT", kCS);
  for (const char* w : {"pear", "apple", "fig", "plum"})
    p.h.Call(words, "insert(key as string)", {p.S(w)});
  Word w = p.Keep(p.h.Call(words, "LowerBound(key as string) as " + wit, {p.S("p")}));
  Word wEnd = p.Keep(p.h.Call(words, "LowerBound(key as string) as " + wit, {p.S("q")}));
  while (p.h.Call(w, "isNotEqual(other as " + wit + ") as boolean", {wEnd}).b()) {
    p.Print(p.Str(p.h.Call(w, "Key as string")));
    p.h.Call(w, "MoveNext");
  }
}

void CaseInsensitive(Program& p) {
  const std::string v = "value(key as string) as string";
  const std::string has = "hasKey(key as string) as boolean";
  Word people = p.New("StringToStringHashMapKDT", kCS, {false});
  p.h.Assign(people, v, {p.S("Émile")}, p.S("first"));
  p.h.Assign(people, v, {p.S("ÉMILE")}, p.S("second"));
  p.h.Assign(people, v, {p.S("émile")}, p.S("third"));
  p.Print(N(p.h.Get(people, "Count")));
  p.Print(p.Str(p.h.Call(people, "Key(index as integer) as string", {0})) + " = " +
          p.Str(p.h.Call(people, v, {p.S("éMILE")})));
  if (p.h.Call(people, has, {p.S("\xC9MILE", kdt::kEncodingWindowsLatin1)}).b())
    p.Print("found in another encoding");
  p.h.Assign(people, v, {p.S("Straße")}, p.S("street"));
  if (!p.h.Call(people, has, {p.S("STRASSE")}).b()) p.Print("ß is not ss");
}

void DictionaryRoundTrip(Program& p) {
  Word d = p.Keep(W(p.h.NewDictionary()));
  auto variant = [&](const char* s) {
    return reinterpret_cast<REALobject>(
        p.Keep(W(p.h.NewVariantString(reinterpret_cast<REALstring>(p.S(s))))));
  };
  const std::pair<const char*, const char*> entries[] = {
      {"b", "two"}, {"a", "one"}, {"A", "three"}};
  for (auto [k, v] : entries)
    p.h.DictionarySet(reinterpret_cast<REALobject>(d), variant(k), variant(v));
  Word m = p.New("StringToStringOrderedMapKDT",
                 "Constructor(dic as dictionary, CaseSensitive as Boolean = true)", {d, false});
  int32_t count = p.h.Get(m, "Count").i();
  p.Print(std::to_string(count));
  for (int32_t i = 0; i < count; ++i)
    p.Print(p.Str(p.h.Call(m, "Key(index as integer) as string", {i})) + " = " +
            p.Str(p.h.Call(m, "ValueAtIndex(index as integer) as string", {i})));
  REALobject back =
      reinterpret_cast<REALobject>(p.Keep(p.h.Call(m, "Operator_Convert as Dictionary")));
  p.Print(std::to_string(p.h.DictionaryCount(back)));
  bool hasUpperA = false;
  for (auto [key, value] : p.h.DictionaryEntries(back)) {
    std::string k = p.Str(p.h.Get(key, "StringValue"));
    hasUpperA = hasUpperA || k == "A";
    if (k == "a") p.Print(p.Str(p.h.Get(value, "StringValue")));
  }
  if (!hasUpperA) p.Print("the Dictionary has no key A");
}

void KeysAndIndex(Program& p) {
  Word m = p.New("IntegerToStringHashMapKDT", "Constructor");
  const std::pair<int32_t, const char*> entries[] = {
      {100, "hundred"}, {200, "two hundred"}, {300, "three hundred"}};
  for (auto [k, v] : entries) p.h.Assign(m, "value(key as integer) as string", {k}, p.S(v));
  Word keys = p.Keep(p.h.Call(m, "Keys as integer()"));
  for (Word k : p.h.Elements(reinterpret_cast<REALarray>(keys)))
    p.Print(std::to_string(static_cast<int32_t>(k)));
  for (int32_t i = 0; i < p.h.Get(m, "Count").i(); ++i)
    p.Print(N(p.h.Call(m, "Key(index as integer) as integer", {i})) + " " +
            p.Str(p.h.Call(m, "ValueAtIndex(index as integer) as string", {i})));
  if (p.Keep(p.h.Call(m, "Keys as integer()")) == keys) p.Print("same array until the map changes");
  REALarray more = p.h.NewArray(kdt::kArrayTypeInteger, {1, 2});
  p.h.ReleaseAtEnd(more);
  p.h.Call(m, "AddKeys(targetArray() as integer)", {more});
  std::vector<Word> all = p.h.Elements(more);
  p.Print(std::to_string(all.size()) + " elements, first " +
          std::to_string(static_cast<int32_t>(all.front())) + ", last " +
          std::to_string(static_cast<int32_t>(all.back())));
  p.h.Call(m, "Key(index as integer) as integer", {3});
  p.Print(p.Caught());
}

}  // namespace

std::vector<std::pair<std::string, std::vector<std::string>>> RunGuideExamples(Host& host) {
  const std::pair<const char*, void (*)(Program&)> examples[] = {
      {"fill-and-read", &FillAndRead},
      {"walk", &Walk},
      {"remove-while-walking", &RemoveWhileWalking},
      {"range", &Range},
      {"case-insensitive", &CaseInsensitive},
      {"dictionary", &DictionaryRoundTrip},
      {"keys", &KeysAndIndex}};
  std::vector<std::pair<std::string, std::vector<std::string>>> outputs;
  for (const auto& [name, example] : examples) {
    Program p{host, {}};
    example(p);
    outputs.emplace_back(name, p.out);
  }
  return outputs;
}
