// Prints the classes the plug-in registers with a current host, in the form
// kept in docs/class-reference.txt.  With "--guide DIR" it rewrites instead
// the generated member tables of the user guide pages in DIR.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "standin/host/Host.h"
#include "standin/tools/GuideTables.h"

namespace {

int RewriteGuide(const std::filesystem::path& dir) {
  std::set<std::string> older;
  {
    standin::Host host(standin::Options::Loaded(2014.99));
    for (const standin::ClassInfo* c : host.Classes()) older.insert(c->name);
    if (!host.Finish().empty()) return 1;
  }
  standin::Host host(standin::Options::Loaded(2019.0));
  auto tables = standin::GuideMemberTables(host.Classes(), older);
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".md") continue;
    std::ifstream in(entry.path());
    std::stringstream page;
    page << in.rdbuf();
    in.close();
    std::string rewritten = standin::ReplaceGeneratedBlocks(page.str(), tables);
    if (rewritten != page.str()) std::ofstream(entry.path()) << rewritten;
  }
  return host.Finish().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--guide") return RewriteGuide(argv[2]);
  standin::Host host(standin::Options::Loaded(2019.0));
  host.PrintClassReference(std::cout);
  return host.Finish().empty() ? 0 : 1;
}
