// String and Text keys through their functors, on the three host generations:
// the worked hash values, S against I, and the byte-wise I compare of hosts
// before 2012.0.
#include <gtest/gtest.h>

#include <string>

#include "tests/values/ValuesTestSupport.h"
#include "values/StringKeys.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;

class StringKeyTest : public ::testing::TestWithParam<double> {};

TEST_P(StringKeyTest, WorkedHashValues) {
  standin::TestHost host(HostAt(GetParam()));
  struct Case {
    std::string bytes;
    uint32_t encoding;
    uint32_t hashS, hashI;
  };
  const Case cases[] = {
      {"abc", kEncodingUTF8, 26499, 26499},
      {"ABC", kEncodingWindowsLatin1, 17763, 26499},
      {"", kEncodingUTF8, 0, 0},
      {"\xC3\xA9", kEncodingUTF8, 3289, 233},
      {"\xC3\x89", kEncodingUTF8, HashStep(HashStep(0, 0xC3), 0x89), 233},
      {"\xC9", kEncodingISOLatin1, 3257, 233},
      {"\xCF\xB2", kEncodingUTF8, HashStep(HashStep(0, 0xCF), 0xB2), 0x3C3},  // U+03F2
      {"\xCF\x83", kEncodingUTF8, HashStep(HashStep(0, 0xCF), 0x83), 0x3C3},  // U+03C3
      {"\xC4\xB0", kEncodingUTF8, HashStep(HashStep(0, 0xC4), 0xB0), 0x130},  // U+0130 stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    REALstring s = host.NewString(c.bytes, c.encoding, false);
    RBStringS keyS(s);
    RBStringI keyI(s);
    EXPECT_EQ(RBStringHashS()(keyS), c.hashS);
    EXPECT_EQ(RBStringHashI()(keyI), c.hashI);
    EXPECT_EQ(keyS.hash, c.hashS) << "cached in the handle";
    host.Release(s);
  }
  EXPECT_EQ(StringHashS(nullptr), 0u);
  EXPECT_EQ(StringHashI(nullptr), 0u);
}

TEST_P(StringKeyTest, CompareSAndI) {
  const double version = GetParam();
  standin::TestHost host(HostAt(version));
  REALstring abc = host.NewString("abc", kEncodingUTF8);
  REALstring ABC = host.NewString("ABC", kEncodingMacRoman);
  REALstring abcd = host.NewString("abcd", kEncodingISOLatin1, false);
  REALstring empty = host.NewString("", kEncodingUTF8);
  REALstring eAcute = host.NewString("\xE9", kEncodingISOLatin1);  // U+00E9
  REALstring EAcute = host.NewString("\xC3\x89", kEncodingUTF8);   // U+00C9
  REALstring zeroC = host.NewString(std::string("ab\0c", 4), kEncodingUTF8);
  REALstring zeroD = host.NewString(std::string("ab\0d", 4), kEncodingUTF8);

  struct Case {
    REALstring a, b;
    int sign;  // compare S
  };
  for (Case c : {Case{abc, ABC, 1},
                 {ABC, abc, -1},
                 {abc, abcd, -1},
                 {abcd, abc, 1},
                 {abc, abc, 0},
                 {nullptr, empty, 0},
                 {empty, nullptr, 0},
                 {empty, abc, -1},
                 {zeroC, zeroD, 0},
                 {eAcute, EAcute, 1}}) {
    const int32_t r = StringCompareS(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << host.Describe(c.a) << " vs " << host.Describe(c.b);
    EXPECT_EQ(EqualRBStringS()(c.a, c.b), c.sign == 0);
    EXPECT_EQ(LTRBStringS()(c.a, c.b), c.sign < 0);
  }
  EXPECT_NE(StringHashS(zeroC), StringHashS(zeroD)) << "equal keys, different hashes";

  // S keeps abc and ABC apart; I makes them one key with one hash.
  EXPECT_FALSE(EqualRBStringS()(abc, ABC));
  EXPECT_TRUE(EqualRBStringI()(abc, ABC));
  EXPECT_FALSE(LTRBStringI()(abc, ABC));
  EXPECT_FALSE(LTRBStringI()(ABC, abc));
  EXPECT_TRUE(LTRBStringI()(ABC, abcd));
  EXPECT_EQ(StringHashI(abc), StringHashI(ABC));

  // U+00C9 and U+00E9 always hash alike in I; only hosts from 2012.0 on also
  // compare them equal, older ones compare UTF-8 bytes folding ASCII only.
  EXPECT_EQ(StringHashI(eAcute), StringHashI(EAcute));
  EXPECT_EQ(EqualRBStringI()(eAcute, EAcute), version >= 2012.0);
  EXPECT_EQ(host.Calls("RuntimeStringCompare") > 0, version >= 2012.0);

  host.ResetCounters();
  EXPECT_TRUE(EqualRBStringI()(abc, abc));
  EXPECT_TRUE(EqualRBStringS()(eAcute, eAcute));
  EXPECT_EQ(host.Calls("RuntimeStringCompare") + host.Calls("REALGetStringEncoding"), 0u)
      << "the same reference is equal without asking the host";

  for (REALstring s : {abc, ABC, abcd, empty, eAcute, EAcute, zeroC, zeroD}) host.Release(s);
}

TEST_P(StringKeyTest, TextHashAndCompare) {
  standin::TestHost host(HostAt(GetParam()));
  REALtext abc = host.NewText("abc");
  REALtext ABC = host.NewText("ABC");
  REALtext empty = host.NewText("");
  REALtext eAcute = host.NewText("\xC3\xA9");
  REALtext EAcute = host.NewText("\xC3\x89");
  EXPECT_EQ(TextHashS(abc), 30595u);
  EXPECT_EQ(TextHashI(ABC), 30595u);
  EXPECT_NE(TextHashS(ABC), 30595u);
  EXPECT_EQ(TextHashS(empty), 1u);
  EXPECT_EQ(TextHashI(empty), 1u);
  EXPECT_EQ(TextHashS(nullptr), 1u);
  EXPECT_EQ(TextHashI(eAcute), TextHashI(EAcute));
  EXPECT_EQ(TextHashI(eAcute), HashStep(1, 0xE9));
  EXPECT_EQ(host.Calls("PluginDisposeTextData"), host.Calls("PluginGetTextData"));

  RBTextS sa(abc), sA(ABC);
  RBTextI ia(abc), iA(ABC);
  EXPECT_FALSE(EqualRBTextS()(sa, sA));
  EXPECT_TRUE(EqualRBTextI()(ia, iA));
  EXPECT_NE(LTRBTextS()(sa, sA), LTRBTextS()(sA, sa));
  EXPECT_TRUE(EqualRBTextI()(RBTextI(eAcute), RBTextI(EAcute)));
  EXPECT_EQ(RBTextHashI()(ia), RBTextHashI()(iA));

  host.ResetCounters();
  EXPECT_TRUE(EqualRBTextS()(sa, sa));
  EXPECT_EQ(host.Calls("PluginCompareText"), 0u);

  for (REALtext t : {abc, ABC, empty, eAcute, EAcute}) host.Release(t);
}

INSTANTIATE_TEST_SUITE_P(Generations, StringKeyTest,
                         ::testing::ValuesIn(kdt_values_test::HostGenerations()),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return kdt_values_test::VersionName(info.param);
                         });

TEST(StringKeys, MissingHostEntries) {
  standin::TestHost host(
      HostAt(2019.0, {"RuntimeStringCompare", "PluginCompareText", "PluginGetTextData"}));
  REALstring a = host.NewString("a", kEncodingUTF8);
  REALstring b = host.NewString("b", kEncodingUTF8);
  REALtext x = host.NewText("x");
  REALtext y = host.NewText("y");
  EXPECT_EQ(StringCompareI(a, b), 0) << "without the host every two keys are equal";
  EXPECT_LT(StringCompareS(a, b), 0);
  EXPECT_EQ(TextCompareS(x, y), 0);
  EXPECT_EQ(TextHashS(x), 1u);
  EXPECT_EQ(TextHashI(y), 1u);
  for (auto r : {standin::W(a), standin::W(b), standin::W(x), standin::W(y)}) host.Release(r);
}

}  // namespace
