// Variant keys: the order over mixed types, the hashing rules, and the same
// results when the host lacks the conversion functions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/values/ValuesTestSupport.h"
#include "values/VariantKeys.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;

int Sign(int32_t r) {
  return (r > 0) - (r < 0);
}

int ByReference(REALobject a, REALobject b) {
  return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b) ? -1 : 1;
}

// The same checks with every conversion reached directly, and with every
// conversion (and VarType) read from the Variant's properties instead.
class VariantKeyTest : public ::testing::TestWithParam<bool> {
 protected:
  standin::Options Options() {
    if (!GetParam()) return HostAt(2019.0);
    return HostAt(
        2019.0, {"VariantToString", "VariantToText", "VariantToInt32", "VariantToInt64",
                 "VariantToDouble", "VariantToSingle", "VariantToObject", "REALLoadGlobalMethod"});
  }
};

TEST_P(VariantKeyTest, OrderAndEquality) {
  standin::TestHost host(Options());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  REALstring sAbc = host.NewString("abc", kEncodingUTF8);
  REALstring sABC = host.NewString("ABC", kEncodingUTF8);
  REALtext tAbc = host.NewText("abc");
  REALtext tABC = host.NewText("ABC");

  REALobject int1 = host.NewVariantInt32(1), int1b = host.NewVariantInt32(1);
  REALobject intMinus = host.NewVariantInt32(-1);
  REALobject long1 = host.NewVariantInt64(1), longBig = host.NewVariantInt64(int64_t{1} << 40);
  REALobject single1 = host.NewVariantSingle(1.5f), single2 = host.NewVariantSingle(2.5f);
  REALobject d25 = host.NewVariantDouble(2.5), d25b = host.NewVariantDouble(2.5);
  REALobject dNan = host.NewVariantDouble(nan), dNanB = host.NewVariantDouble(nan);
  REALobject cur = host.NewVariantDouble(3.0, standin::kVarCurrency);
  REALobject curB = host.NewVariantDouble(3.0, standin::kVarCurrency);
  REALobject yes = host.NewVariantBoolean(true), no = host.NewVariantBoolean(false);
  REALobject color = host.NewVariantInt32(0x00FF00, standin::kVarColor);
  REALobject colorB = host.NewVariantInt32(0x0000FF, standin::kVarColor);
  REALobject vAbc = host.NewVariantString(sAbc), vABC = host.NewVariantString(sABC);
  REALobject cAbc = host.NewVariantString(sAbc, 18), cABC = host.NewVariantString(sABC, 18);
  REALobject xAbc = host.NewVariantText(tAbc), xABC = host.NewVariantText(tABC);
  REALobject nil1 = host.NewVariantNil(), nil2 = host.NewVariantNil();
  REALobject obj1 = host.NewDictionary(), obj2 = host.NewDictionary();

  EXPECT_EQ(VariantTypeCode(long1), 3);
  EXPECT_EQ(VariantTypeCode(xAbc), 37);
  EXPECT_EQ(VariantTypeCode(cAbc), 18);
  EXPECT_EQ(VariantTypeCode(nullptr), 0);

  struct Case {
    REALobject a, b;
    int s, i;  // expected sign under S and under I
  };
  constexpr int kAnyOrder = 2;  // unequal, in the host's text order
  const Case cases[] = {
      {nullptr, nullptr, 0, 0},
      {nullptr, nil1, -1, -1},
      {int1, nullptr, 1, 1},
      {int1, int1b, 0, 0},
      {intMinus, int1, -1, -1},
      {int1, long1, ByReference(int1, long1), ByReference(int1, long1)},
      {long1, longBig, -1, -1},
      {single1, single2, -1, -1},
      {d25, d25b, 0, 0},
      {dNan, dNanB, 1, 1},
      {dNanB, dNan, 1, 1},
      {dNan, d25, 1, 1},
      {d25, dNan, 1, 1},
      {cur, curB, 0, 0},
      {yes, no, 1, 1},
      {color, colorB, 1, 1},
      {vAbc, vABC, 1, 0},
      {vABC, vAbc, -1, 0},
      {cAbc, cABC, 1, 0},
      {vAbc, cAbc, ByReference(vAbc, cAbc), ByReference(vAbc, cAbc)},
      {xAbc, xABC, kAnyOrder, 0},
      {vAbc, xAbc, ByReference(vAbc, xAbc), ByReference(vAbc, xAbc)},
      {nil1, nil2, 0, 0},
      {obj1, obj2, ByReference(obj1, obj2), ByReference(obj1, obj2)},
      {obj1, obj1, 0, 0},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(row++);
    const int s = Sign(VariantCompareS(c.a, c.b));
    const int i = Sign(VariantCompareI(c.a, c.b));
    if (c.s == kAnyOrder) {
      EXPECT_NE(s, 0);
    } else {
      EXPECT_EQ(s, c.s) << host.Describe(c.a) << " vs " << host.Describe(c.b);
    }
    EXPECT_EQ(i, c.i) << host.Describe(c.a) << " vs " << host.Describe(c.b);
    EXPECT_EQ(EqualRBVariantS()(c.a, c.b), s == 0);
    EXPECT_EQ(LTRBVariantI()(c.a, c.b), i < 0);
  }

  for (REALobject v : {int1, int1b, intMinus, long1, longBig, single1, single2, d25,    d25b,
                       dNan, dNanB, cur,      curB,  yes,     no,      color,   colorB, vAbc,
                       vABC, cAbc,  cABC,     xAbc,  xABC,    nil1,    nil2,    obj1,   obj2})
    host.Release(v);
  host.Release(sAbc);
  host.Release(sABC);
  host.Release(tAbc);
  host.Release(tABC);
}

TEST_P(VariantKeyTest, Hashing) {
  standin::TestHost host(Options());
  REALstring sAbc = host.NewString("abc", kEncodingUTF8);
  REALstring sABC = host.NewString("ABC", kEncodingUTF8);
  REALtext tABC = host.NewText("ABC");
  REALobject vAbc = host.NewVariantString(sAbc), vABC = host.NewVariantString(sABC);
  REALobject xABC = host.NewVariantText(tABC);
  REALobject pABC = host.NewVariantString(sABC, 20);
  REALobject d = host.NewVariantDouble(2.5);

  EXPECT_EQ(VariantHashS(nullptr), 0u);
  EXPECT_EQ(VariantHashI(nullptr), 0u);
  EXPECT_EQ(VariantHashS(vAbc), 26499u);
  EXPECT_EQ(VariantHashS(vABC), 17763u);
  EXPECT_EQ(VariantHashI(vABC), 26499u);
  EXPECT_EQ(VariantHashI(xABC), 30595u);
  RBVariantS key(vABC);
  EXPECT_EQ(RBVariantHashS()(key), 17763u);
  EXPECT_EQ(key.hash, 17763u);

  // Everything that is neither code 8 nor 37 is hashed by the host, the
  // String codes 18 to 21 included.
  host.ResetCounters();
  const uint32_t hp = VariantHashI(pABC);
  const uint32_t hd = VariantHashS(d);
  EXPECT_EQ(host.Calls("VariantHash"), 2u);
  EXPECT_EQ(host.Calls("VariantToString") + host.Calls("REALGetPropValueString"), 0u);
  EXPECT_EQ(hp, VariantHashS(pABC)) << "the host's hash knows no case mode";
  EXPECT_EQ(hd, VariantHashI(d));

  for (REALobject v : {vAbc, vABC, xABC, pABC, d}) host.Release(v);
  host.Release(sAbc);
  host.Release(sABC);
  host.Release(tABC);
}

INSTANTIATE_TEST_SUITE_P(Conversions, VariantKeyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "ThroughProperties" : "Direct");
                         });

TEST(VariantKeys, HostThatCannotTellTypesOrHash) {
  standin::TestHost host(HostAt(2019.0, {"REALLoadGlobalMethod", "REALGetPropValueInteger",
                                         "REALGetPropValueInt", "VariantHash"}));
  REALobject a = host.NewVariantInt32(1), b = host.NewVariantDouble(7.5);
  EXPECT_EQ(VariantTypeCode(a), 0);
  EXPECT_TRUE(EqualRBVariantS()(a, b)) << "code 0 on both sides compares equal";
  EXPECT_EQ(VariantHashS(a), 0u);
  EXPECT_EQ(VariantHashI(b), 0u);
  host.Release(a);
  host.Release(b);
}

}  // namespace
