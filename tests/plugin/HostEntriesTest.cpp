// Entry wrappers against the stand-in host: lookups, fallbacks, neutral values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "support/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

using standin::W;
using standin::Word;

// A lean host lacks entries the library can do without: a missing once-only
// entry is asked for once and then stays missing (no call, no out-parameter
// written, a neutral result); a missing retry entry is asked for again on
// every call; a fallback name serves for a missing first name and is kept;
// the generic array procedures serve for missing per-type ones, and the
// Variant's properties for missing conversion functions.  (Every other test
// runs on a full host, through the first names.)
TEST(Entries, MissingOnceRetriedOrServedByAnotherName) {
  standin::TestHost host(kdt_values_test::HostAt(
      2019.0,
      {"REALLockObject", "PluginGetStringData", "VariantHash", "VariantToInt64",
       "REALSetPropValueInteger", "REALGetPropValueInteger", "IntegerToVariant",
       "PluginIntegerArraySetProc", "PluginIntegerArrayInsertProc", "PluginStringArrayGetProc",
       "RuntimeArrayDirectGetGetProc", "VariantToObject", "VariantToString", "VariantToText",
       "VariantToDouble", "VariantToSingle", "VariantToInt32", "REALLoadGlobalMethod"}));
  kdt::REALobject dict = host.NewDictionary();
  kdt::REALstring s = host.NewString("abc");
  kdt::REALobject wide = host.NewVariantInt64(int64_t{1} << 40);
  for (int i = 0; i < 3; ++i) {
    kdt::REALLockObject(dict);
    EXPECT_EQ(host.RefCount(dict), 1);
    kdt::StringDataRecord record{nullptr, 77, {0, 0, 0}};
    EXPECT_EQ(kdt::PluginGetStringData(s, kdt::kEncodingUTF8, &record), 0);
    EXPECT_EQ(record.size, 77u);
    kdt::VariantHash(wide);
  }

  kdt::REALobject e = host.NewInstance("RuntimeException");
  for (int32_t n : {40, 41}) EXPECT_EQ(kdt::REALSetPropValueInteger(e, "ErrorNumber", n), 1);
  EXPECT_EQ(host.Get(e, "ErrorNumber").i(), 41);
  kdt::REALobject v = kdt::IntegerToVariant(-7);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(host.VarType(W(v)), standin::kVarInt32);

  // Set gets (array, value, index) from the host's point of view, get hands
  // back a locked reference, insert at the count appends.
  kdt::REALarray numbers = host.NewArray(kdt::kArrayTypeInteger, {10, 20, 30});
  EXPECT_TRUE(kdt::PluginIntegerOwnArraySet(numbers, 1, 99));
  EXPECT_TRUE(kdt::PluginIntegerArrayInsertProc(numbers, 3, 40));
  EXPECT_EQ(host.Elements(numbers), (std::vector<Word>{10, 99, 30, 40}));
  int32_t got = -1;
  EXPECT_TRUE(kdt::PluginIntegerArrayGetProc(numbers, 2, &got));
  EXPECT_EQ(got, 30);
  EXPECT_FALSE(kdt::PluginIntegerArrayGetProc(numbers, 2, nullptr));
  kdt::REALstring a = host.NewString("a"), b = host.NewString("b");
  kdt::REALarray strings = host.NewArray(kdt::kArrayTypeString, {W(a), W(a)});
  EXPECT_TRUE(kdt::PluginStringOwnArraySet(strings, 1, b));
  EXPECT_EQ(host.Elements(strings), (std::vector<Word>{W(a), W(b)}));
  for (int i = 0; i < 2; ++i) {
    kdt::REALstring read = nullptr;
    EXPECT_FALSE(kdt::PluginStringArrayGetProc(strings, 1, &read));  // neither name
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(host.RefCount(b), 2);  // the test's and the array's
  }

  kdt::REALtext t = host.NewText("d\xC3\xA9j\xC3\xA0");
  kdt::REALobject vs = host.NewVariantString(s), vt = host.NewVariantText(t),
                  vd = host.NewVariantDouble(2.5), vf = host.NewVariantSingle(1.5f);
  kdt::REALstring gotS = kdt::VariantToString(vs);
  EXPECT_EQ(host.Bytes(gotS), "abc");
  kdt::REALtext gotT = kdt::VariantToText(vt);
  EXPECT_EQ(host.TextUTF8(gotT), "d\xC3\xA9j\xC3\xA0");
  kdt::REALobject gotO = kdt::VariantToObject(dict);
  EXPECT_EQ(gotO, dict);
  EXPECT_EQ(kdt::VariantToDouble(vd), 2.5);
  EXPECT_EQ(kdt::VariantToSingle(vf), 1.5f);
  EXPECT_EQ(kdt::VariantToInt32(v), -7);
  EXPECT_EQ(kdt::VariantToInt64(wide), int64_t{1} << 40);
  EXPECT_EQ(kdt::VarType(vs), standin::kVarString);
  EXPECT_EQ(kdt::VarType(vt), standin::kVarText);
  EXPECT_EQ(kdt::VarType(wide), standin::kVarInt64);

  // Once-only entries are asked for once, retried ones on every call.
  const std::pair<const char*, uint64_t> lookups[] = {{"REALLockObject", 1},
                                                      {"PluginGetStringData", 1},
                                                      {"VariantHash", 3},
                                                      {"REALSetPropValueInteger", 1},
                                                      {"REALGetPropValueInteger", 1},
                                                      {"IntegerToVariant", 1},
                                                      {"PluginIntegerArraySetProc", 1},
                                                      {"RuntimeArrayDirectGetSetProc", 1},
                                                      {"PluginStringArrayGetProc", 2},
                                                      {"RuntimeArrayDirectGetGetProc", 2}};
  for (const auto& [name, n] : lookups) EXPECT_EQ(host.Lookups(name), n) << name;
  for (const char* other : {"REALSetPropValueInt", "Int32ToVariant",
                            "RuntimeArrayDirectGetInsertProc", "REALGetPropValueString"})
    EXPECT_GT(host.Calls(other), 0u) << other;
  for (const char* hidden : {"VariantToString", "VarType(value As Variant) As Integer"})
    EXPECT_EQ(host.Calls(hidden), 0u) << hidden;
  for (auto r : {W(dict), W(s), W(wide), W(e), W(v), W(numbers), W(strings), W(a), W(b), W(t),
                 W(vs), W(vt), W(vd), W(vf), W(gotS), W(gotT), W(gotO)}) {
    host.Release(r);
  }
}

// Hosts answer success with any non-zero word; the library sees 1.  (A bare
// resolver of the test's own, since the stand-in host answers 0 or 1.)
kdt::HostFunction Resolve(const char* name) {
  using kdt::REALobject;
  using kdt::REALstring;
  const std::pair<const char*, kdt::HostFunction> entries[] = {
      {"REALGetPropValueInt",
       reinterpret_cast<kdt::HostFunction>(+[](REALobject, const char*, int32_t* out) {
         *out = 5;
         return 0x100;
       })},
      {"REALSetPropValueInteger",
       reinterpret_cast<kdt::HostFunction>(+[](REALobject, const char*, int32_t) { return -1; })},
      {"REALSetPropValueString",
       reinterpret_cast<kdt::HostFunction>(+[](REALobject, const char*, REALstring) { return 0; })},
      {"PluginGetStringData",
       reinterpret_cast<kdt::HostFunction>(
           +[](REALstring, uint32_t, kdt::StringDataRecord*) { return 0x10000; })},
  };
  for (const auto& e : entries)
    if (std::strcmp(e.first, name) == 0) return e.second;
  return nullptr;
}

TEST(FlagEntries, AnyNonZeroHostAnswerBecomesOne) {
  kdt::HostResolver = &Resolve;
  int32_t number = 0;
  EXPECT_EQ(kdt::REALGetPropValueInt(nullptr, "Count", &number), 1);
  EXPECT_EQ(number, 5);
  EXPECT_EQ(kdt::REALSetPropValueInteger(nullptr, "ErrorNumber", 0), 1);
  EXPECT_EQ(kdt::REALSetPropValueString(nullptr, "Message", nullptr), 0);
  kdt::StringDataRecord record{};
  EXPECT_EQ(kdt::PluginGetStringData(nullptr, kdt::kEncodingUTF8, &record), 1);
}

}  // namespace
