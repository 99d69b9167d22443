#include "standin/demo/Tour.h"

#include <string>
#include <vector>

namespace {

using standin::Host;
using standin::W;
using standin::Word;

class Program {
 public:
  Program(Host& host, std::ostream& out) : h(host), o(out) {}
  ~Program() {
    for (Word w : owned_) h.Release(w);
  }

  Word Keep(Word w) {
    if (w != 0) owned_.push_back(w);
    return w;
  }
  Word Str(const std::string& s) { return Keep(W(h.NewString(s))); }
  Word Txt(const std::string& s) { return Keep(W(h.NewText(s))); }
  Word New(const std::string& cls, const std::string& ctor, std::initializer_list<standin::Arg> a) {
    return Keep(W(h.New(cls, ctor, a)));
  }
  std::string S(Word s) { return h.StringUTF8(reinterpret_cast<kdt::REALstring>(s)); }
  std::string T(Word t) { return h.TextUTF8(reinterpret_cast<kdt::REALtext>(t)); }
  // The quoted characters in a host value's description.
  static std::string Quoted(const std::string& d) {
    size_t a = d.find('"'), b = d.find('"', a + 1);
    return a == std::string::npos || b == std::string::npos ? d : d.substr(a + 1, b - a - 1);
  }
  void ShowException() {
    if (auto e = h.TakeException()) o << "    -> " << e->className << ": " << e->message << "\n";
  }

  void HashMap() {
    o << "TextToTextHashMapKDT, case-sensitive:\n";
    Word m = New("TextToTextHashMapKDT", "Constructor(CaseSensitive as Boolean = true)", {true});
    const std::string value = "value(key as Text) as Text";
    h.Assign(m, value, {Txt("apple")}, Txt("red"));
    h.Assign(m, value, {Txt("banana")}, Txt("yellow"));
    h.Assign(m, value, {Txt("Apple")}, Txt("green"));
    o << "  Count " << h.Get(m, "Count").i() << ", BinCount " << h.Get(m, "BinCount").i() << "\n";
    o << "  walk from first to last:";
    Word it = Keep(h.Call(m, "first as TextToTextHashMapIteratorKDT"));
    Word end = Keep(h.Call(m, "last as TextToTextHashMapIteratorKDT"));
    while (h.Call(it, "isNotEqual(other as TextToTextHashMapIteratorKDT) as boolean", {end}).b()) {
      o << " " << T(Keep(h.Call(it, "Key as Text"))) << "=" << T(Keep(h.Call(it, "Value as Text")));
      h.Call(it, "MoveNext");
    }
    o << "\n  lookup(cherry, none) = "
      << T(Keep(h.Call(m, "lookup(key as Text, defaultvalue as Text) as Text",
                       {Txt("cherry"), Txt("none")})))
      << "\n  value(cherry):\n";
    Keep(h.Call(m, value, {Txt("cherry")}));
    ShowException();
    Word kept =
        Keep(h.Call(m, "find(key as Text) as TextToTextHashMapIteratorKDT", {Txt("banana")}));
    h.Call(m, "Clear");
    o << "  an iterator kept across Clear, then read:\n";
    Keep(h.Call(kept, "Key as Text"));
    ShowException();
  }

  void OrderedMap() {
    o << "StringToStringOrderedMapKDT, keys b, a, c:\n";
    Word m =
        New("StringToStringOrderedMapKDT", "Constructor(CaseSensitive as Boolean = true)", {true});
    for (const char* k : {"b", "a", "c"})
      h.Assign(m, "value(key as string) as string", {Str(k)}, Str(std::string(k) + k));
    o << "  walk:";
    Word it = Keep(h.Call(m, "first as StringToStringOrderedMapIteratorKDT"));
    Word end = Keep(h.Call(m, "last as StringToStringOrderedMapIteratorKDT"));
    while (h.Call(it, "isNotEqual(other as StringToStringOrderedMapIteratorKDT) as boolean", {end})
               .b()) {
      o << " " << S(Keep(h.Call(it, "Key as string")));
      h.Call(it, "MoveNext");
    }
    Word lb = Keep(
        h.Call(m, "LowerBound(key as string) as StringToStringOrderedMapIteratorKDT", {Str("bb")}));
    o << "\n  LowerBound(bb) is on " << S(Keep(h.Call(lb, "Key as string"))) << "\n";
  }

  void Sets() {
    o << "Sets:\n";
    struct SetCase {
      const char* cls;
      const char* word;
      bool hasCase;
    };
    for (const SetCase& c :
         {SetCase{"IntegerHashSetKDT", "integer", false},
          SetCase{"IntegerOrderedSetKDT", "integer", false},
          SetCase{"StringHashSetKDT", "string", true},
          SetCase{"StringOrderedSetKDT", "string", true}, SetCase{"TextHashSetKDT", "Text", true},
          SetCase{"TextOrderedSetKDT", "Text", true}, SetCase{"VariantHashSetKDT", "variant", true},
          SetCase{"VariantOrderedSetKDT", "variant", true}}) {
      std::string word = c.word;
      Word set = c.hasCase ? New(c.cls, "Constructor(CaseSensitive as Boolean = true)", {false})
                           : New(c.cls, "Constructor", {});
      std::vector<std::string> names = {"pear", "Fig", "kiwi", "fig"};
      std::vector<int32_t> numbers = {3, -1, 2, 3};
      for (size_t i = 0; i < names.size(); ++i) {
        Word element =
            word == "integer"  ? static_cast<Word>(numbers[i])
            : word == "string" ? Str(names[i])
            : word == "Text"
                ? Txt(names[i])
                : Keep(W(h.NewVariantString(reinterpret_cast<kdt::REALstring>(Str(names[i])))));
        h.Call(set, "insert(key as " + word + ")", {element});
      }
      o << "  " << c.cls << ": Count " << h.Get(set, "Count").i() << ", elements";
      for (int32_t i = 0; i < h.Get(set, "Count").i(); ++i) {
        Word e = h.Call(set, "Key(index as integer) as " + word, {i});
        if (word == "integer") {
          o << " " << static_cast<int32_t>(e);
        } else {
          Keep(e);
          o << " " << (word == "string" ? S(e) : word == "Text" ? T(e) : Quoted(h.Describe(e)));
        }
      }
      o << "\n";
    }
  }

 private:
  Host& h;
  std::ostream& o;
  std::vector<Word> owned_;
};

}  // namespace

void RunContainerTour(Host& host, std::ostream& out) {
  Program p(host, out);
  p.HashMap();
  p.OrderedMap();
  p.Sets();
}
