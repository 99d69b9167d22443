#include "standin/tools/GuideTables.h"

#include <sstream>

namespace standin {
namespace {

constexpr char kBegin[] = "<!-- generated: ";
constexpr char kEnd[] = "<!-- end generated -->";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The type word of a declaration's parameter or result, as a type name:
// "key as text" gives "Text".
std::string TypeName(std::string word) {
  if (!word.empty()) word[0] = static_cast<char>(toupper(static_cast<unsigned char>(word[0])));
  return word;
}

// The text between `after` and the next `until` in the first declaration of
// `c` that starts with `prefix`; empty when there is none.
std::string Between(const ClassInfo& c, const std::string& prefix, const std::string& after,
                    const std::string& until) {
  for (const MethodInfo& m : c.methods) {
    if (m.declaration.rfind(prefix, 0) != 0) continue;
    size_t from = m.declaration.find(after);
    if (from == std::string::npos) continue;
    from += after.size();
    return m.declaration.substr(from, m.declaration.find(until, from) - from);
  }
  return "";
}

}  // namespace

std::map<std::string, std::string> GuideMemberTables(
    const std::vector<const ClassInfo*>& classes, const std::set<std::string>& olderHostClasses) {
  struct Family {
    const char* block;
    const char* suffix;
    bool map;
  };
  const Family families[] = {{"hash-maps", "HashMapKDT", true},
                             {"ordered-maps", "OrderedMapKDT", true},
                             {"hash-sets", "HashSetKDT", false},
                             {"ordered-sets", "OrderedSetKDT", false}};
  std::map<std::string, std::string> tables;
  for (const Family& f : families) {
    std::ostringstream out;
    out << (f.map ? "| class | key | value |" : "| class | element |")
        << " case modes | iterator class | hosts |\n"
        << (f.map ? "| --- | --- | --- |" : "| --- | --- |") << " --- | --- | --- |\n";
    for (const ClassInfo* c : classes) {
      if (!EndsWith(c->name, f.suffix)) continue;
      out << "| `" << c->name << "` | " << TypeName(Between(*c, "CountKey(", "key as ", ")"));
      if (f.map) out << " | " << TypeName(Between(*c, "lookup(", "defaultvalue as ", ")"));
      out << " | "
          << (c->FindProperty("CaseSensitive") != nullptr ? "sensitive or insensitive" : "—")
          << " | `" << Between(*c, "first as ", "first as ", "\n") << "` | "
          << (olderHostClasses.count(c->name) != 0 ? "all" : "2015.0 and later") << " |\n";
    }
    tables[f.block] = out.str();
  }
  return tables;
}

std::map<std::string, std::string> GeneratedBlocks(const std::string& page) {
  std::map<std::string, std::string> blocks;
  std::istringstream in(page);
  std::string line, name;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind(kBegin, 0) == 0) {
      name =
          line.substr(sizeof kBegin - 1, line.find(' ', sizeof kBegin - 1) - (sizeof kBegin - 1));
      blocks[name];
      inside = true;
    } else if (line == kEnd) {
      inside = false;
    } else if (inside) {
      blocks[name] += line + "\n";
    }
  }
  return blocks;
}

std::string ReplaceGeneratedBlocks(const std::string& page,
                                   const std::map<std::string, std::string>& blocks) {
  std::istringstream in(page);
  std::ostringstream out;
  std::string line;
  bool skipping = false;
  while (std::getline(in, line)) {
    if (skipping && line != kEnd) continue;
    skipping = false;
    out << line << "\n";
    if (line.rfind(kBegin, 0) != 0) continue;
    std::string name =
        line.substr(sizeof kBegin - 1, line.find(' ', sizeof kBegin - 1) - (sizeof kBegin - 1));
    auto found = blocks.find(name);
    if (found == blocks.end()) continue;
    out << found->second;
    skipping = true;
  }
  return out.str();
}

}  // namespace standin
