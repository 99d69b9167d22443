// Prints the classes the plug-in registers with a current host, in the form
// kept in docs/class-reference.txt.  With "--guide DIR" it rewrites instead
// the generated parts of the user guide in DIR: the member tables, the error
// reference, and the class reference pages in DIR/reference.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "standin/host/Host.h"
#include "standin/tools/GuideTables.h"

namespace {

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int RewriteGuide(const std::filesystem::path& dir) {
  std::set<std::string> older;
  {
    standin::Host host(standin::Options::Loaded(2014.99));
    for (const standin::ClassInfo* c : host.Classes()) older.insert(c->name);
    if (!host.Finish().empty()) return 1;
  }
  standin::Host host(standin::Options::Loaded(2019.0));
  auto blocks = standin::GuideMemberTables(host.Classes(), older);
  blocks["errors"] = standin::ErrorReference(host);
  std::map<std::string, std::string> pages;
  std::set<std::string> used;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".md") continue;
    std::string page = Read(entry.path());
    std::string rewritten = standin::ReplaceGeneratedBlocks(page, blocks);
    if (rewritten != page) std::ofstream(entry.path()) << rewritten;
    pages[entry.path().filename().string()] = rewritten;
    for (const auto& block : standin::GeneratedBlocks(page)) used.insert(block.first);
  }
  for (const auto& block : blocks) {
    if (used.count(block.first) != 0) continue;
    std::cerr << "the guide has no place for the table " << block.first << "\n";
    return 1;
  }
  std::filesystem::remove_all(dir / "reference");
  std::filesystem::create_directory(dir / "reference");
  for (const auto& [name, text] : standin::ReferencePages(host, older, pages))
    std::ofstream(dir / "reference" / name) << text;
  return host.Finish().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--guide") return RewriteGuide(argv[2]);
  standin::Host host(standin::Options::Loaded(2019.0));
  host.PrintClassReference(std::cout);
  return host.Finish().empty() ? 0 : 1;
}
