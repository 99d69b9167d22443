// The random driver, briefly, for every member and case mode, one family to a
// process; the soak program runs the same driver for much longer.
#include <gtest/gtest.h>

#include "soak/SoakDriver.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

// The sanitizer build drives each member half as long: the test command's
// soak step drives every member further on that build.
#ifdef __SANITIZE_ADDRESS__
constexpr uint64_t kCalls = 1500;
#else
constexpr uint64_t kCalls = 3000;
#endif

class SoakTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SoakTest, RandomCallsMatchTheModel) {
  int index = 0;
  for (const Member& m : AllMembers()) {
    if (m.Family() != GetParam()) continue;
    SCOPED_TRACE(m.spec.Name());
    // Every other member runs on a host that cannot make the library's arrays
    // (a host each is dear in the sanitizer build).
    standin::Options options;
    if (index++ % 2 == 1) options.Hide({SoakDriver::kArrayEntry});
    standin::TestHost host(options);
    SoakDriver driver(host, m, 20240607);
    driver.Run(kCalls);
    for (const auto& f : driver.findings) ADD_FAILURE() << f;
    // Hash tables grow only past the random key range: another run starts full.
    SoakDriver full(host, m, 7);
    full.Run(kCalls * 2 / 3, 200);
    for (const auto& f : full.findings) ADD_FAILURE() << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Families, SoakTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return FamilyTestName(info.param); });

}  // namespace
}  // namespace kdt_test
