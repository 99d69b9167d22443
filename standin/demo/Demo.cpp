// Loads the plug-in into the stand-in host, shows what it registered, and
// runs the user guide's examples.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "standin/demo/Examples.h"
#include "standin/host/Host.h"

namespace {

// The banner the plug-in prints when started as a program, read from the
// file itself so that none of the library's code runs for it.
std::string BannerOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string mark = "KDT Containers ";
  for (size_t at = bytes.find(mark); at != std::string::npos; at = bytes.find(mark, at + 1)) {
    size_t end = bytes.find('\n', at);
    if (end != std::string::npos && end - at + 1 == 44) return bytes.substr(at, end - at);
  }
  return "(no banner found in " + path + ")";
}

}  // namespace

int main(int argc, char** argv) {
  double version = argc > 1 ? std::strtod(argv[1], nullptr) : 2019.0;
  std::cout << BannerOf(standin::PluginPath()) << "\n";
  try {
    standin::Host host(standin::Options::Loaded(version));
    std::cout << "host version: " << host.EffectiveVersion() << "\n";
    std::cout << "record version announced:";
    for (int32_t v : host.AnnouncedVersions()) std::cout << " " << v;
    if (host.AnnouncedVersions().empty()) std::cout << " none";
    std::cout << "\n";
    auto classes = host.Classes();
    std::cout << "classes registered: " << classes.size() << "\n";
    for (const auto* c : classes)
      std::cout << "  " << c->name << " (" << c->dataSize << " bytes, " << c->properties.size()
                << " properties, " << c->methods.size() << " methods)\n";
    if (!classes.empty())
      for (const GuideExample& example : RunGuideExamples(host)) {
        std::cout << "\nThe user guide's example \"" << example.name << "\" prints:\n";
        for (const std::string& line : example.lines) std::cout << "  " << line << "\n";
      }
    auto problems = host.Finish();
    if (!problems.empty()) {
      std::cout << problems.size() << " problems found by the host\n";
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
