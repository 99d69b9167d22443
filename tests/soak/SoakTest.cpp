// The random driver, briefly, for every member and case mode; the soak
// program runs the same driver for much longer.
#include <gtest/gtest.h>

#include "soak/SoakDriver.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {

namespace {

class SoakTest : public ::testing::TestWithParam<Member> {};

TEST_P(SoakTest, RandomCallsMatchTheModel) {
  standin::TestHost host;
  SoakDriver driver(host, GetParam(), 20240607);
  driver.Run(3000);
  for (const auto& f : driver.findings) ADD_FAILURE() << f;
  // Hash tables grow only past the random key range: another run starts full.
  SoakDriver full(host, GetParam(), 7);
  full.Run(2000, 200);
  for (const auto& f : full.findings) ADD_FAILURE() << f;
}

INSTANTIATE_TEST_SUITE_P(Members, SoakTest, ::testing::ValuesIn(AllMembers()),
                         [](const ::testing::TestParamInfo<Member>& info) {
                           return info.param.spec.Name();
                         });

}  // namespace
}  // namespace kdt_test
