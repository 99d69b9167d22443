// The random driver, briefly, for every member and case mode; the soak
// program runs the same driver for much longer.
#include <gtest/gtest.h>

#include "soak/SoakDriver.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {

inline void PrintTo(const Member& m, std::ostream* os) {
  *os << m.spec.Name();
}

namespace {

class SoakTest : public ::testing::TestWithParam<Member> {};

TEST_P(SoakTest, RandomCallsMatchTheModel) {
  standin::TestHost host;
  SoakDriver driver(host, GetParam(), 20240607);
  driver.Run(3000);
  for (const auto& f : driver.findings) ADD_FAILURE() << f;
}

INSTANTIATE_TEST_SUITE_P(Members, SoakTest, ::testing::ValuesIn(AllMembers()),
                         [](const ::testing::TestParamInfo<Member>& info) {
                           return info.param.spec.Name();
                         });

}  // namespace
}  // namespace kdt_test
