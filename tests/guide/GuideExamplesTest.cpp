// The user guide cannot drift from the plug-in: every example in
// docs/guide/examples.md, as the demo runs it, must print exactly the output
// the guide shows, and every declaration table must list its class's
// records in order.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "standin/demo/Examples.h"
#include "support/HostTesting.h"

namespace {

std::string Page(const std::string& name) {
  std::ifstream in(KDT_SOURCE_DIR "/docs/guide/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each example of the guide by its output marker ("<!-- output: NAME -->", or
// "<!-- output: NAME host VERSION -->" for a run on that host version): the
// code block before the marker and the lines of the output block after it.
struct Example {
  std::string code;
  std::vector<std::string> output;
};
std::map<std::string, Example> GuideExamples() {
  std::map<std::string, Example> examples;
  std::istringstream in(Page("examples.md"));
  std::string line, name, code;
  bool inCode = false;
  int fences = 0;
  while (std::getline(in, line)) {
    if (line.rfind("<!-- output: ", 0) == 0) {
      name = line.substr(13, line.rfind(" -->") - 13);
      examples[name].code = code;
      fences = 0;
    } else if (!name.empty() && line.rfind("```", 0) == 0) {
      if (++fences == 2) name.clear();
    } else if (!name.empty() && fences == 1) {
      examples[name].output.push_back(line);
    } else if (line == "```" || inCode) {
      if (!inCode) code.clear();
      inCode = inCode ? line != "```" : true;
      if (inCode && line != "```") code += line + "\n";
    }
  }
  return examples;
}

// The members the code calls on variables declared with one of the plug-in
// classes the example used, as "Class.Member" ("Dim m As New XKDT" and
// "m.value(k) = v" give "XKDT.value"; a variable declared in both branches of
// an #If has both classes); comments and string literals left out.
std::set<std::string> MembersCalled(const std::string& code, const std::set<std::string>& used) {
  // The words and dots of the code, outside comments and string literals.
  std::vector<std::string> words;
  bool quoted = false, comment = false, inWord = false;
  for (char ch : code) {
    comment = comment ? ch != '\n' : !quoted && ch == '\'';
    quoted = quoted != (ch == '"');
    const bool word = std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
    if (!comment && !quoted && (ch == '.' || (word && !inWord))) words.emplace_back();
    if (!comment && !quoted && (ch == '.' || word)) words.back() += ch;
    inWord = word && !comment && !quoted;
  }
  std::set<std::string> classes, names;
  for (const std::string& member : used) classes.insert(member.substr(0, member.find('.')));
  std::multimap<std::string, std::string> classOf;
  for (size_t i = 0; i + 3 < words.size(); ++i)
    if (words[i] == "Dim" && words[i + 2] == "As")
      classOf.emplace(words[i + 1], words[i + 3] == "New" ? words[i + 4] : words[i + 3]);
  for (size_t i = 0; i + 2 < words.size(); ++i)
    for (auto [at, to] = classOf.equal_range(words[i]); words[i + 1] == "." && at != to; ++at)
      if (classes.count(at->second) != 0) names.insert(at->second + "." + words[i + 2]);
  return names;
}

// Every example prints what the guide shows and calls the members the
// guide's code calls, on the guide's host and on every host an output names.
TEST(Guide, EveryExamplePrintsWhatTheGuideShows) {
  auto examples = GuideExamples();
  std::set<double> versions = {2019.0};
  for (const auto& [name, example] : examples)
    if (name.find(" host ") != std::string::npos)
      versions.insert(std::stod(name.substr(name.find(" host ") + 6)));
  std::set<std::string> checked;
  for (double version : versions) {
    standin::TestHost host(standin::Options::Loaded(version));
    for (const GuideExample& ran : RunGuideExamples(host)) {
      std::ostringstream key;
      key << ran.name;
      if (version != 2019.0) key << " host " << version;
      if (version != 2019.0 && examples.count(key.str()) == 0) continue;
      ASSERT_EQ(examples.count(key.str()), 1u) << "examples.md has no output for " << key.str();
      EXPECT_EQ(ran.lines, examples[key.str()].output) << key.str();
      std::set<std::string> called = ran.called;
      called.erase("StringToStringOrderedMapKDT.Operator_Convert");  // Dim d As Dictionary = m
      EXPECT_EQ(called, MembersCalled(examples[key.str()].code, called)) << key.str();
      checked.insert(key.str());
    }
  }
  for (const auto& [name, example] : examples)
    EXPECT_EQ(checked.count(name), 1u) << "an example the demo does not run: " << name;
}

const char* const kPages[] = {"README.md",       "hash-maps.md", "ordered-maps.md", "hash-sets.md",
                              "ordered-sets.md", "iterators.md", "examples.md",     "errors.md",
                              "keys.md",         "changes.md"};

// Each declaration table of the guide lists its class's properties and
// methods in order.  (The generated tables and pages are compared by
// scripts/check-docs.sh.)
TEST(Guide, DeclarationTablesAreTheRegisteredClasses) {
  standin::TestHost host;
  for (const char* page : kPages) {
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
}

}  // namespace
