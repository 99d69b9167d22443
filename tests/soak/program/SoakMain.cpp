// The soak program: every member, in both case modes where it has them, driven
// with seeded random call sequences against the models.  Usage:
//   kdt_soak SEED CALLS [MEMBER | --list]
// CALLS host calls per family, shared among its members; each run of at most
// kEpisode calls uses a fresh host, whose end checks (leaks, violations,
// exceptions nobody took) count as findings; every fourth host cannot make the
// library's arrays.  Exit status 1 on any finding.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "soak/SoakDriver.h"
#include "standin/host/Host.h"

namespace {

constexpr uint64_t kEpisode = 20000;

}  // namespace

int main(int argc, char** argv) {
  using kdt_test::Member;
  const uint32_t seed = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1;
  const uint64_t calls = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
  const std::string only = argc > 3 ? argv[3] : "";

  std::vector<Member> members = kdt_test::AllMembers();
  if (only == "--list") {
    for (const Member& m : members) std::printf("%s\n", m.spec.Name().c_str());
    return 0;
  }
  std::map<std::string, int> perFamily;
  for (const Member& m : members) ++perFamily[m.Family()];
  std::map<std::string, std::pair<uint64_t, int>> totals;  // calls, findings
  int findings = 0;
  for (size_t index = 0; index < members.size(); ++index) {
    const Member& m = members[index];
    if (!only.empty() && m.spec.Name() != only) continue;
    const uint64_t budget = calls / perFamily[m.Family()];
    uint64_t done = 0;
    for (uint32_t episode = 0; done < budget; ++episode) {
      const uint32_t episodeSeed = seed * 1000003u + static_cast<uint32_t>(index) * 7919u + episode;
      std::vector<std::string> problems;
      {
        standin::Options options;
        options.echoViolations = false;
        options.reporter = [&](const std::string& p) { problems.push_back(p); };
        // Every fourth episode on a host that cannot make the library's arrays.
        if (episode % 4 == 3) options.Hide({kdt_test::SoakDriver::kArrayEntry});
        standin::Host host(options);
        {
          kdt_test::SoakDriver driver(host, m, episodeSeed);
          driver.Run(std::min(kEpisode, budget - done));
          done += driver.calls;
          problems = driver.findings;
        }
        host.Finish();
      }
      if (problems.size() > 3) problems.resize(3);  // the first tells; the rest follow from it
      for (const auto& p : problems)
        std::printf("FINDING %s (episode %u, replay: kdt_soak %u %llu %s)\n  %s\n",
                    m.spec.Name().c_str(), episode, seed, static_cast<unsigned long long>(calls),
                    m.spec.Name().c_str(), p.c_str());
      totals[m.Family()].second += static_cast<int>(problems.size());
      findings += static_cast<int>(problems.size());
      if (!problems.empty()) break;  // the model is no longer in step
    }
    totals[m.Family()].first += done;
    std::fflush(stdout);
  }
  for (const auto& [family, t] : totals)
    std::printf("%-13s %10llu calls, %d findings\n", family.c_str(),
                static_cast<unsigned long long>(t.first), t.second);
  return findings == 0 ? 0 : 1;
}
