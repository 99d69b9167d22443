// The user guide cannot drift from the plug-in: every example in
// docs/guide/examples.md, as the demo runs it, must print exactly the output
// the guide shows; the member tables must be what the registered classes
// give; and every declaration table must list its class's records in order.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "standin/demo/Examples.h"
#include "standin/host/HostTesting.h"
#include "standin/tools/GuideTables.h"

namespace {

std::string Page(const std::string& name) {
  std::ifstream in(KDT_SOURCE_DIR "/docs/guide/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
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
  auto outputs = GuideOutputs();
  standin::TestHost host;
  for (const auto& [name, lines] : RunGuideExamples(host)) {
    EXPECT_EQ(outputs.count(name), 1u) << "examples.md has no output for " << name;
    EXPECT_EQ(lines, outputs[name]) << name;
    outputs.erase(name);
  }
  EXPECT_TRUE(outputs.empty()) << "an example the demo does not run: " << outputs.begin()->first;
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
