// The user guide's class reference (a page per registered class and an index)
// and its error reference (what each member raises, found by making the
// calls in a host).
#include <algorithm>
#include <cctype>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>

#include "standin/tools/GuideTables.h"

namespace standin {
namespace {

struct Family {
  const char* suffix;
  const char* title;
  const char* page;  // the guide page that describes the family
};
const Family kFamilies[] = {{"HashMapKDT", "hash maps", "hash-maps.md"},
                            {"OrderedMapKDT", "ordered maps", "ordered-maps.md"},
                            {"HashSetKDT", "hash sets", "hash-sets.md"},
                            {"OrderedSetKDT", "ordered sets", "ordered-sets.md"},
                            {"HashMapIteratorKDT", "hash map iterators", "iterators.md"},
                            {"MapIteratorKDT", "ordered map iterators", "iterators.md"},
                            {"HashSetIteratorKDT", "hash set iterators", "iterators.md"},
                            {"OrderedSetIteratorKDT", "ordered set iterators", "iterators.md"}};

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const Family& FamilyOf(const std::string& cls) {
  // The iterator suffixes are tried first: "…OrderedMapIteratorKDT" must not
  // count as a hash map iterator, nor a hash map iterator as an ordered one.
  for (const Family* f : {&kFamilies[4], &kFamilies[6], &kFamilies[7], &kFamilies[5]})
    if (EndsWith(cls, f->suffix)) return *f;
  for (const Family& f : kFamilies)
    if (EndsWith(cls, f.suffix)) return f;
  return kFamilies[0];
}

std::string NameOf(const std::string& declaration) {
  return declaration.substr(0, declaration.find_first_of("( "));
}

// Each property and method as "declaration", keyed by its name and its place
// among the members of that name ("Remove#2"), in record order.
std::vector<std::pair<std::string, std::string>> Members(const ClassInfo& c) {
  std::vector<std::pair<std::string, std::string>> out;
  std::map<std::string, int> seen;
  for (const auto& p : c.properties) out.emplace_back(p.name + "#0", p.name + " as " + p.type);
  for (const auto& m : c.methods) {
    const std::string name = NameOf(m.declaration);
    out.emplace_back(name + "#" + std::to_string(seen[name]++), m.declaration);
  }
  return out;
}

// A row of `page` with its links made to work from the reference folder:
// "](#order)" becomes "](../page#order)", "](errors.md)" "](../errors.md)".
std::string FromReferenceFolder(std::string row, const std::string& page) {
  for (size_t at = row.find("]("); at != std::string::npos; at = row.find("](", at + 2))
    row.insert(at + 2, row[at + 2] == '#' ? "../" + page : "../");
  return row;
}

// The rows of the page's declaration table (after its "<!-- declarations:"
// marker) for `c`, after the declaration cell ("| what | raises | cost |"),
// by member key; links point from the reference folder.
std::map<std::string, std::string> DescribedRows(const std::string& name, const std::string& page,
                                                 const ClassInfo& c) {
  std::map<std::string, std::string> byDeclaration, rows;
  std::istringstream in(page.substr(page.find("<!-- declarations: ")));
  std::string line;
  while (std::getline(in, line) && (byDeclaration.empty() || line.rfind("| ", 0) == 0))
    if (line.rfind("| `", 0) == 0)
      byDeclaration[line.substr(3, line.find('`', 3) - 3)] =
          FromReferenceFolder(line.substr(line.find('|', line.find('`', 3))), name);
  for (const auto& [key, declaration] : Members(c))
    if (byDeclaration.count(declaration) != 0) rows[key] = byDeclaration[declaration];
  return rows;
}

// The class named in the page's "<!-- declarations: NAME -->" marker.
std::string DeclaredClass(const std::string& page) {
  const std::string mark = "<!-- declarations: ";
  size_t at = page.find(mark);
  return at == std::string::npos
             ? ""
             : page.substr(at + mark.size(), page.find(' ', at + mark.size()) - at - mark.size());
}

}  // namespace

std::map<std::string, std::string> ReferencePages(Host& host,
                                                  const std::set<std::string>& olderHostClasses,
                                                  const std::map<std::string, std::string>& pages) {
  const auto classes = host.Classes();
  std::map<std::string, std::map<std::string, std::string>> described;  // by family page
  for (const auto& [name, page] : pages) {
    const ClassInfo* model = host.FindClass(DeclaredClass(page));
    if (model != nullptr) described[name] = DescribedRows(name, page, *model);
  }
  std::map<std::string, std::string> out;
  std::ostringstream index;
  index << "# Class reference\n\nEvery class the plug-in registers, in the order it registers "
           "them, and every\nproperty and method with its declaration exactly as registered. "
           "The type words\nare spelt as each class registers them (`text` in some classes, "
           "`Text` in\nothers; `Variant` and `variant`).\n\n| class | kind | hosts |\n"
           "| --- | --- | --- |\n";
  std::map<std::string, std::map<std::string, int>> membersByName;  // name: family: classes
  for (const ClassInfo* c : classes) {
    const Family& f = FamilyOf(c->name);
    const bool iterator = EndsWith(c->name, "IteratorKDT");
    const std::string hosts = olderHostClasses.count(c->name) ? "all" : "2015.0 and later";
    index << "| [`" << c->name << "`](" << c->name << ".md) | " << f.title << " | " << hosts
          << " |\n";
    std::ostringstream page;
    page << "# " << c->name << "\n\n"
         << "One of the " << f.title << " ([" << f.title << "](../" << f.page
         << ")); on hosts: " << hosts << ".";
    for (const ClassInfo* other : classes) {
      for (const auto& m : other->methods) {
        if (m.declaration == "first as " + c->name)
          page << " The iterator of [`" << other->name << "`](" << other->name << ".md).";
        else if (other == c && m.declaration.rfind("first as ", 0) == 0)
          page << " Its iterator class: [`" << m.declaration.substr(9) << "`]("
               << m.declaration.substr(9) << ".md).";
      }
    }
    if (!iterator && c->FindProperty("MaxSize") != nullptr) {
      Word obj = W(host.New(c->name, c->methods[0].declaration));
      page << " `MaxSize`: " << host.Get(obj, "MaxSize").i() << ".";
      host.Release(obj);
    }
    page << " What each member raises: [errors](../errors.md).\n\n"
         << "| declaration | what it does | raises | cost |\n| --- | --- | --- | --- |\n";
    const auto& rows = described[f.page];
    for (const auto& [key, declaration] : Members(*c)) {
      // A member the family page's class lacks (a further array
      // constructor) reads as the one before it of the same name.
      auto row = rows.find(key);
      for (int n = std::stoi(key.substr(key.find('#') + 1)); row == rows.end() && n-- > 0;)
        row = rows.find(key.substr(0, key.find('#') + 1) + std::to_string(n));
      page << "| `" << declaration << "` "
           << (row != rows.end() ? row->second
                                 : "| see [" + std::string(f.title) + "](../" + f.page + ") | | |")
           << "\n";
      ++membersByName[key.substr(0, key.find('#'))][f.title];
    }
    out[c->name + ".md"] = page.str();
  }
  index << "\n## Members\n\nEach name, and how many classes of each kind have it.\n\n"
           "| member | in |\n| --- | --- |\n";
  std::vector<std::string> names;
  for (const auto& [name, families] : membersByName) names.push_back(name);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) <
             std::tolower(static_cast<unsigned char>(y));
    });
  });
  for (const std::string& name : names) {
    index << "| `" << name << "` |";
    const char* sep = " ";
    for (const Family& f : kFamilies) {
      auto n = membersByName[name].find(f.title);
      if (n == membersByName[name].end()) continue;
      index << sep << "[" << f.title << "](../" << f.page << ") (" << n->second << ")";
      sep = ", ";
    }
    index << " |\n";
  }
  out["README.md"] = index.str();
  return out;
}

namespace {

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// How a situation is set up: the object called (a container or, for the
// iterator rows, an iterator of one), the members called ("*": all but the
// constructors, assignments as "=decl"; "Constructor*": every constructor;
// declarations with {C}, {I}, {K}, {V} for the class, its iterator, key and
// value words), and what iterator, container and array arguments are.
struct Situation {
  const char* text;
  enum Target { kFresh, kEmpty, kThree, kFreshIterator, kAtFirst, kEnd, kStale } target;
  std::vector<const char*> members;
  enum Objects { kNil, kNew, kValid, kStaleIterator } objects = kValid;
  bool nilArrays = false;
  int32_t index = 0;
  bool outOfMemory = false;
};

const Situation kSituations[] = {
    {"not initialized (made with `New`, no constructor run; iterator arguments nil)",
     Situation::kFresh,
     {"*"},
     Situation::kNil},
    {"absent key", Situation::kEmpty, {"value(key as {K}) as {V}"}},
    {"index 0, no entries",
     Situation::kEmpty,
     {"Key(index as integer) as {K}", "ValueAtIndex(index as integer) as {V}"}},
    {"index 3 of 3 entries",
     Situation::kThree,
     {"Key(index as integer) as {K}", "ValueAtIndex(index as integer) as {V}"},
     Situation::kValid,
     false,
     3},
    {"index -1",
     Situation::kThree,
     {"Key(index as integer) as {K}", "ValueAtIndex(index as integer) as {V}"},
     Situation::kValid,
     false,
     -1},
    {"nil array",
     Situation::kEmpty,
     {"AddKeys(targetArray() as {K})", "AddValues(targetArray() as {V})"},
     Situation::kValid,
     true},
    {"nil array",
     Situation::kFresh,
     {"Constructor(Keys() as {K})", "Constructor(Keys() as string)"},
     Situation::kValid,
     true},
    {"`other` nil", Situation::kFresh, {"Constructor(other as {C})"}, Situation::kNil},
    {"`other` not initialized", Situation::kFresh, {"Constructor(other as {C})"}, Situation::kNew},
    {"an iterator whose entry was removed",
     Situation::kThree,
     {"Remove(pos as {I})", "Remove(first as {I}, last as {I})"},
     Situation::kStaleIterator},
    {"out of memory", Situation::kFresh, {"Constructor*"}, Situation::kValid, false, 0, true},
    {"out of memory",
     Situation::kEmpty,
     {"=value(key as {K}) as {V}", "insert(key as {K})"},
     Situation::kValid,
     false,
     0,
     true},
    {"made with `New`, not by a container (`other` a valid iterator)",
     Situation::kFreshIterator,
     {"*"}},
    {"`other` nil",
     Situation::kAtFirst,
     {"isEqual(other as {I}) as boolean", "isNotEqual(other as {I}) as boolean"},
     Situation::kNil},
    {"on the end position", Situation::kEnd, {"*"}},
    {"its entry removed (a stale iterator)", Situation::kStale, {"*"}},
};

// A container class with its words, and what the rows make of it in a host.
struct Subject {
  Host& h;
  const ClassInfo& c;
  std::string iterator, key, value;

  Subject(Host& host, const ClassInfo& cls) : h(host), c(cls) {
    for (const MethodInfo& m : c.methods) {
      if (m.parsed.name == "first") iterator = m.parsed.returnType;
      if (m.parsed.name == "CountKey") key = m.parsed.params[0].type;
      if (m.parsed.name == "lookup" && m.parsed.params.size() == 2) value = m.parsed.params[1].type;
    }
  }
  Word Keep(Word w) {
    if (w != 0) h.ReleaseAtEnd(w);
    return w;
  }
  // A host value of the type word (an Integer is n itself).
  Word Make(const std::string& type, int32_t n) {
    const std::string word = Lower(type), text = "k" + std::to_string(n);
    if (word == "boolean") return 1;
    if (word == "dictionary") return 0;
    if (word == "text") return Keep(W(h.NewText(text)));
    if (word == "string") return Keep(W(h.NewString(text)));
    if (word == "variant")
      return Keep(W(h.NewVariantString(reinterpret_cast<REALstring>(Make("string", n)))));
    return static_cast<Word>(n);
  }
  std::string Decl(std::string pattern) const {
    const std::pair<const char*, const std::string*> words[] = {
        {"{C}", &c.name}, {"{I}", &iterator}, {"{K}", &key}, {"{V}", &value}};
    for (const auto& [mark, word] : words)
      for (size_t at; (at = pattern.find(mark)) != std::string::npos;)
        pattern.replace(at, 3, *word);
    return pattern;
  }
  Word Made(int n) {
    Word obj = Keep(W(h.New(c.name, c.methods[0].declaration)));
    for (int32_t k = 0; k < n; ++k) {
      if (value.empty())
        h.Call(obj, Decl("insert(key as {K})"), {Make(key, k)});
      else
        h.Assign(obj, Decl("value(key as {K}) as {V}"), {Make(key, k)}, Make(value, k));
    }
    return obj;
  }
  Word IteratorOf(Word container, const char* which) {
    return Keep(h.Call(container, std::string(which) + " as " + iterator));
  }
  Word Stale(Word container) {
    Word it = IteratorOf(container, "first");
    Result k = h.Call(it, "Key as " + key);
    h.Call(container, Decl("Remove(key as {K}) as integer"), {k.word});
    if (Lower(key) != "integer") h.Release(k);
    return it;
  }
  Word Argument(const Situation& s, Word target, const Declaration::Param& p) {
    if (p.isArray) {
      const std::string word = Lower(p.type);
      int32_t type = word == "integer"  ? kdt::kArrayTypeInteger
                     : word == "string" ? kdt::kArrayTypeString
                     : word == "text"   ? kdt::kArrayTypeText
                                        : kdt::kArrayTypeObject;
      return s.nilArrays ? 0 : Keep(W(h.NewArray(type)));
    }
    if (!EndsWith(p.type, "KDT"))
      return p.name == "index" ? static_cast<Word>(s.index) : Make(p.type, 7);
    if (s.objects == Situation::kNil) return 0;
    if (s.objects == Situation::kNew) return Keep(W(h.NewInstance(p.type)));
    if (p.type != iterator) return Made(1);
    if (s.objects == Situation::kStaleIterator) return Stale(target);
    return IteratorOf(
        h.ClassName(target) == c.name && s.target != Situation::kFresh ? target : Made(1), "first");
  }
  Word Target(Situation::Target t) {
    switch (t) {
      case Situation::kFresh:
        return Keep(W(h.NewInstance(c.name)));
      case Situation::kFreshIterator:
        return Keep(W(h.NewInstance(iterator)));
      case Situation::kEmpty:
        return Made(0);
      case Situation::kThree:
        return Made(3);
      case Situation::kAtFirst:
        return IteratorOf(Made(1), "first");
      case Situation::kEnd:
        return IteratorOf(Made(1), "last");
      case Situation::kStale:
        return Stale(Made(1));
    }
    return 0;
  }
  // "`Class` | \"message\"" of what the call raised, or "none | —".
  std::string Run(const Situation& s, Word target, const std::string& decl) {
    const bool assign = decl[0] == '=';
    const ClassInfo& cls = *h.FindClass(h.ClassName(target));
    if (cls.FindProperty(decl) != nullptr) {
      Result r = h.Get(target, decl);
      if (h.IsHostValue(r.word)) h.Release(r);
    } else {
      const MethodInfo& m = *cls.FindMethod(assign ? decl.substr(1) : decl);
      std::vector<Word> a;
      for (const auto& p : m.parsed.params) a.push_back(Argument(s, target, p));
      if (s.outOfMemory) Host::FailLibraryAllocation(1, true);
      Result r;
      if (assign && a.empty())
        h.Assign(target, m.declaration, {}, Make(value, 7));
      else if (assign)
        h.Assign(target, m.declaration, {a[0]}, Make(value, 7));
      else if (a.empty())
        r = h.Call(target, m.declaration);
      else if (a.size() == 1)
        r = h.Call(target, m.declaration, {a[0]});
      else
        r = h.Call(target, m.declaration, {a[0], a[1]});
      Host::FailLibraryAllocation(0);
      if (h.IsHostValue(r.word)) h.Release(r);
    }
    auto e = h.TakeException();
    return e ? "`" + e->className + "` | \"" + e->message + "\"" : "none | —";
  }
};

// A member's name with its parameters' names: "Remove(first, last)".
std::string Label(const std::string& decl) {
  const bool assign = decl[0] == '=';
  std::string error;
  auto parsed = Declaration::Parse(assign ? decl.substr(1) : decl, &error);
  std::string label = parsed->name;
  for (size_t i = 0; i < parsed->params.size(); ++i)
    label += (i == 0 ? "(" : ", ") + parsed->params[i].name +
             (i + 1 == parsed->params.size() ? ")" : "");
  return "`" + label + (assign ? " =" : "") + "`";
}

}  // namespace

std::string ErrorReference(Host& h) {
  // members by family, situation and outcome; classes by member that gave it
  struct Cell {
    std::vector<std::string> members;
    std::map<std::string, std::set<std::string>> classes;
  };
  std::map<std::string, std::map<size_t, std::map<std::string, Cell>>> table;
  for (const ClassInfo* c : h.Classes()) {
    if (EndsWith(c->name, "IteratorKDT")) continue;
    Subject subject(h, *c);
    for (size_t si = 0; si < std::size(kSituations); ++si) {
      const Situation& s = kSituations[si];
      const bool iterators = s.target >= Situation::kFreshIterator;
      const ClassInfo& cls = *h.FindClass(iterators ? subject.iterator : c->name);
      const std::string family = FamilyOf(cls.name).title;
      std::vector<std::string> decls;
      for (const char* pattern : s.members) {
        const std::string decl = subject.Decl(pattern);
        if (decl == "*" || decl == "Constructor*") {
          for (const auto& p : cls.properties)
            if (decl == "*") decls.push_back(p.name);
          for (const MethodInfo& m : cls.methods) {
            if ((m.parsed.name == "Constructor") != (decl == "Constructor*")) continue;
            decls.push_back(m.declaration);
            if (m.setter != nullptr) decls.push_back("=" + m.declaration);
          }
        } else if (cls.FindMethod(decl[0] == '=' ? decl.substr(1) : decl) != nullptr) {
          decls.push_back(decl);
        }
      }
      for (const std::string& decl : decls) {
        const std::string outcome = subject.Run(s, subject.Target(s.target), decl);
        Cell& cell = table[family][si][outcome];
        const std::string label = Label(decl);
        if (cell.classes[label].empty()) cell.members.push_back(label);
        cell.classes[label].insert(cls.name);
      }
    }
  }
  std::ostringstream out;
  for (const Family& f : kFamilies) {
    out << "\n### " << static_cast<char>(std::toupper(f.title[0])) << (f.title + 1) << "\n\n"
        << "| situation | member | exception | message |\n| --- | --- | --- | --- |\n";
    const char* previous = "";
    for (const auto& [si, outcomes] : table[f.title]) {
      for (const auto& [outcome, cell] : outcomes) {
        // A situation is named once, on the first of its rows.
        const char* text = kSituations[si].text;
        out << "| " << (std::string(text) == previous ? "" : text) << " | ";
        previous = text;
        const char* sep = "";
        for (const std::string& label : cell.members) {
          out << sep << label;
          const auto& classes = cell.classes.at(label);
          // A member some classes of the family answer otherwise: name those.
          size_t having = 0;
          for (const auto& [other, otherCell] : outcomes)
            having += otherCell.classes.count(label) ? otherCell.classes.at(label).size() : 0;
          if (classes.size() != having) {
            out << " (";
            const char* csep = "";
            for (const std::string& c : classes) out << csep << c, csep = ", ";
            out << ")";
          }
          sep = ", ";
        }
        out << " | " << outcome << " |\n";
      }
    }
  }
  return out.str();
}

}  // namespace standin
