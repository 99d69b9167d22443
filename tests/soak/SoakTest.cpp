// The random driver for every member and case mode, one family to a process:
// briefly in the suite, and for as long as scripts/soak.sh asks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "soak/SoakDriver.h"
#include "support/HostTesting.h"

namespace kdt_test {
namespace {

// The sanitizer build drives each member half as long: the test command's
// soak step drives every member further on that build.
#ifdef __SANITIZE_ADDRESS__
constexpr uint64_t kCalls = 1500;
#else
constexpr uint64_t kCalls = 3000;
#endif

uint64_t FromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::strtoull(text, nullptr, 10) : 0;
}

class SoakTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SoakTest, RandomCallsMatchTheModel) {
  // In the suite every other member runs on a host that cannot make the
  // library's arrays (a host each is dear in the sanitizer build), then once
  // more from a full container (hash tables grow only past the random key
  // range).  The soak run: KDT_SOAK_CALLS host calls per family, shared among
  // its members, in episodes of at most 20,000 calls, each on a fresh host
  // (every fourth one cannot make arrays), seeded by KDT_SOAK_SEED.
  const uint64_t soak = FromEnvironment("KDT_SOAK_CALLS");
  const auto seed = static_cast<uint32_t>(FromEnvironment("KDT_SOAK_SEED"));
  std::vector<Member> members;
  for (const Member& m : AllMembers())
    if (m.Family() == GetParam()) members.push_back(m);
  for (uint32_t index = 0; index < members.size(); ++index) {
    const Member& m = members[index];
    SCOPED_TRACE(m.spec.Name());
    const uint64_t budget = soak > 0 ? soak / members.size() : kCalls;
    for (uint64_t episode = 0, done = 0; done < budget; ++episode) {
      SCOPED_TRACE("episode " + std::to_string(episode));
      standin::Options options;
      if (soak > 0 ? episode % 4 == 3 : index % 2 == 1) options.Hide({SoakDriver::kArrayEntry});
      standin::TestHost host(options);
      const uint32_t seeded = seed * 1000003u + index * 7919u + static_cast<uint32_t>(episode);
      SoakDriver driver(host, m, soak > 0 ? seeded : 20240607);
      driver.Run(std::min<uint64_t>(20000, budget - done));
      done += driver.calls;
      for (const auto& f : driver.findings) ADD_FAILURE() << f;
      if (!driver.findings.empty()) break;  // the model is no longer in step
      if (soak > 0) continue;
      SoakDriver full(host, m, 7);
      full.Run(kCalls * 2 / 3, 200);
      for (const auto& f : full.findings) ADD_FAILURE() << f;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Families, SoakTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return FamilyTestName(info.param); });

}  // namespace
}  // namespace kdt_test
