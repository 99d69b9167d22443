// The user guide cannot drift from the plug-in: every example in
// docs/guide/examples.md is replayed here, call for call, through the
// stand-in host and must print exactly the output the guide shows; the
// member tables must be what the registered classes give; and every
// declaration table must list its class's records in order.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "standin/host/HostTesting.h"
#include "standin/tools/GuideTables.h"

namespace {

using kdt::REALarray;
using kdt::REALobject;
using kdt::REALstring;
using standin::Result;
using standin::W;
using standin::Word;

std::string Page(const std::string& name) {
  std::ifstream in(KDT_SOURCE_DIR "/docs/guide/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A host program's view: every object it makes or gets back lives to the end
// of the program, Print collects lines.
struct Program : standin::TestHost {
  std::vector<std::string> out;

  void Print(const std::string& line) { out.push_back(line); }
  Word S(const std::string& utf8, uint32_t encoding = kdt::kEncodingUTF8) {
    Word s = W(NewString(utf8, encoding));
    ReleaseAtEnd(s);
    return s;
  }
  Word Keep(Word object) {
    if (object != 0) ReleaseAtEnd(object);
    return object;
  }
  Word Keep(Result r) { return Keep(r.word); }
  Word New(const std::string& cls, const std::string& constructor,
           std::initializer_list<standin::Arg> args = {}) {
    return Keep(W(TestHost::New(cls, constructor, args)));
  }
  std::string Str(Result r) {
    std::string s = StringUTF8(r.str());
    if (r.word != 0) Release(r.word);
    return s;
  }
  // The exception a Try block catches, as "Class: message".
  std::string Caught() {
    auto e = TakeException();
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

  const std::string wit = "StringOrderedSetIteratorKDT";
  Word words = p.New("StringOrderedSetKDT", kCS);
  for (const char* w : {"pear", "apple", "fig", "plum"})
    p.Call(words, "insert(key as string)", {p.S(w)});
  Word w = p.Keep(p.Call(words, "LowerBound(key as string) as " + wit, {p.S("p")}));
  Word wEnd = p.Keep(p.Call(words, "LowerBound(key as string) as " + wit, {p.S("q")}));
  while (p.Call(w, "isNotEqual(other as " + wit + ") as boolean", {wEnd}).b()) {
    p.Print(p.Str(p.Call(w, "Key as string")));
    p.Call(w, "MoveNext");
  }
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
  Word d = p.Keep(W(p.NewDictionary()));
  auto variant = [&](const char* s) {
    return reinterpret_cast<REALobject>(
        p.Keep(W(p.NewVariantString(reinterpret_cast<REALstring>(p.S(s))))));
  };
  const std::pair<const char*, const char*> entries[] = {
      {"b", "two"}, {"a", "one"}, {"A", "three"}};
  for (auto [k, v] : entries)
    p.DictionarySet(reinterpret_cast<REALobject>(d), variant(k), variant(v));
  Word m = p.New("StringToStringOrderedMapKDT",
                 "Constructor(dic as dictionary, CaseSensitive as Boolean = true)", {d, false});
  int32_t count = p.Get(m, "Count").i();
  p.Print(std::to_string(count));
  for (int32_t i = 0; i < count; ++i)
    p.Print(p.Str(p.Call(m, "Key(index as integer) as string", {i})) + " = " +
            p.Str(p.Call(m, "ValueAtIndex(index as integer) as string", {i})));
  REALobject back =
      reinterpret_cast<REALobject>(p.Keep(p.Call(m, "Operator_Convert as Dictionary")));
  p.Print(std::to_string(p.DictionaryCount(back)));
  bool hasUpperA = false;
  for (auto [key, value] : p.DictionaryEntries(back)) {
    std::string k = p.Str(p.Get(key, "StringValue"));
    hasUpperA = hasUpperA || k == "A";
    if (k == "a") p.Print(p.Str(p.Get(value, "StringValue")));
  }
  if (!hasUpperA) p.Print("the Dictionary has no key A");
}

void KeysAndIndex(Program& p) {
  Word m = p.New("IntegerToStringHashMapKDT", "Constructor");
  const std::pair<int32_t, const char*> entries[] = {
      {100, "hundred"}, {200, "two hundred"}, {300, "three hundred"}};
  for (auto [k, v] : entries) p.Assign(m, "value(key as integer) as string", {k}, p.S(v));
  Word keys = p.Keep(p.Call(m, "Keys as integer()"));
  for (Word k : p.Elements(reinterpret_cast<REALarray>(keys)))
    p.Print(std::to_string(static_cast<int32_t>(k)));
  for (int32_t i = 0; i < p.Get(m, "Count").i(); ++i)
    p.Print(N(p.Call(m, "Key(index as integer) as integer", {i})) + " " +
            p.Str(p.Call(m, "ValueAtIndex(index as integer) as string", {i})));
  if (p.Keep(p.Call(m, "Keys as integer()")) == keys) p.Print("same array until the map changes");
  REALarray more = p.NewArray(kdt::kArrayTypeInteger, {1, 2});
  p.ReleaseAtEnd(more);
  p.Call(m, "AddKeys(targetArray() as integer)", {more});
  std::vector<Word> all = p.Elements(more);
  p.Print(std::to_string(all.size()) + " elements, first " +
          std::to_string(static_cast<int32_t>(all.front())) + ", last " +
          std::to_string(static_cast<int32_t>(all.back())));
  p.Call(m, "Key(index as integer) as integer", {3});
  p.Print(p.Caught());
}

// The output block after each "<!-- output: NAME -->" marker, line by line.
std::map<std::string, std::vector<std::string>> GuideOutputs() {
  std::map<std::string, std::vector<std::string>> outputs;
  std::istringstream in(Page("examples.md"));
  std::string line, name;
  int fences = 0;
  while (std::getline(in, line)) {
    if (line.rfind("<!-- output: ", 0) == 0) {
      name = line.substr(13, line.find(' ', 13) - 13);
      outputs[name];
      fences = 0;
    } else if (!name.empty() && line.rfind("```", 0) == 0) {
      if (++fences == 2) name.clear();
    } else if (!name.empty() && fences == 1) {
      outputs[name].push_back(line);
    }
  }
  return outputs;
}

TEST(Guide, EveryExamplePrintsWhatTheGuideShows) {
  const std::pair<const char*, void (*)(Program&)> twins[] = {
      {"fill-and-read", &FillAndRead},
      {"walk", &Walk},
      {"remove-while-walking", &RemoveWhileWalking},
      {"range", &Range},
      {"case-insensitive", &CaseInsensitive},
      {"dictionary", &DictionaryRoundTrip},
      {"keys", &KeysAndIndex}};
  auto outputs = GuideOutputs();
  std::set<std::string> shown;
  for (const auto& [name, lines] : outputs) shown.insert(name);
  for (const auto& [name, twin] : twins) {
    EXPECT_EQ(shown.erase(name), 1u) << "examples.md has no output for " << name;
    Program p;
    twin(p);
    EXPECT_EQ(p.out, outputs[name]) << name;
  }
  EXPECT_TRUE(shown.empty()) << "an example has no twin: " << *shown.begin();
}

const char* const kPages[] = {"README.md",       "hash-maps.md", "ordered-maps.md", "hash-sets.md",
                              "ordered-sets.md", "iterators.md", "examples.md"};

TEST(Guide, TablesAreTheRegisteredClasses) {
  std::set<std::string> older;
  {
    standin::TestHost host(standin::Options::Loaded(2014.99));
    for (const standin::ClassInfo* c : host.Classes()) older.insert(c->name);
  }
  standin::TestHost host;
  auto tables = standin::GuideMemberTables(host.Classes(), older);
  std::set<std::string> used;
  for (const char* page : kPages) {
    for (const auto& [name, block] : standin::GeneratedBlocks(Page(page))) {
      used.insert(name);
      EXPECT_EQ(block, tables[name])
          << page << ": table " << name << " (scripts/update-class-reference.sh rewrites it)";
    }
    // Each declaration table lists its class's properties and methods in order.
    std::istringstream in(Page(page));
    std::string line;
    const standin::ClassInfo* c = nullptr;
    std::vector<std::string> listed;
    auto check = [&] {
      if (c == nullptr) return;
      std::vector<std::string> registered;
      for (const auto& prop : c->properties) registered.push_back(prop.name + " as " + prop.type);
      for (const auto& method : c->methods) registered.push_back(method.declaration);
      EXPECT_EQ(listed, registered) << page << ": declarations of " << c->name;
      c = nullptr;
      listed.clear();
    };
    while (std::getline(in, line)) {
      if (line.rfind("<!-- declarations: ", 0) == 0) {
        check();
        c = host.FindClass(line.substr(19, line.find(' ', 19) - 19));
        ASSERT_NE(c, nullptr) << page << ": " << line;
      } else if (c != nullptr && line.rfind("| `", 0) == 0) {
        listed.push_back(line.substr(3, line.find('`', 3) - 3));
      } else if (c != nullptr && line.empty() && !listed.empty()) {
        check();
      }
    }
    check();
  }
  EXPECT_EQ(used.size(), tables.size()) << "a member table is missing from the guide";
}

}  // namespace
