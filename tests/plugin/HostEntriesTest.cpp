// Entry wrappers against the stand-in host: lookups, fallbacks, neutral values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "standin/host/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

using standin::W;

standin::Options Loaded(std::initializer_list<const char*> hidden = {}) {
  return kdt_values_test::HostAt(2019.0, hidden);
}

// A missing entry: no call, no out-parameter written, a neutral result, and
// no second lookup later.
TEST(OnceOnlyEntries, MissingEntryStaysInert) {
  standin::TestHost host(Loaded({"REALLockObject", "PluginNewInstance", "REALGetPropValueInt",
                                 "PluginGetStringData", "REALGetStringEncoding"}));
  kdt::REALobject o = host.NewDictionary();
  kdt::REALstring s = host.NewString("abc", kdt::kEncodingWindowsLatin1);
  for (int i = 0; i < 3; ++i) {
    kdt::REALLockObject(o);
    EXPECT_EQ(kdt::PluginNewInstance("Dictionary"), nullptr);
    int32_t count = -99;
    EXPECT_EQ(kdt::REALGetPropValueInt(o, "Count", &count), 0);
    EXPECT_EQ(count, -99);
    kdt::StringDataRecord record{reinterpret_cast<const void*>(1), 77, {0, 0, 0}};
    EXPECT_EQ(kdt::PluginGetStringData(s, kdt::kEncodingUTF8, &record), 0);
    EXPECT_EQ(record.size, 77u);
    EXPECT_EQ(kdt::REALGetStringEncoding(s), 0u);
  }
  EXPECT_EQ(host.RefCount(o), 1);
  for (const char* name : {"REALLockObject", "PluginNewInstance", "REALGetPropValueInt",
                           "PluginGetStringData", "REALGetStringEncoding"}) {
    EXPECT_EQ(host.Lookups(name), 1u) << name;
  }
  host.Release(o);
  host.Release(s);
}

TEST(RetryEntries, LookedUpAgainWhileMissing) {
  standin::TestHost host(
      Loaded({"REALGetPropValueInt64", "REALGetPropValueSingle", "VariantHash"}));
  kdt::REALobject v = host.NewVariantInt64(5);
  for (int i = 0; i < 3; ++i) {
    int64_t wide = -1;
    float single = -1;
    EXPECT_EQ(kdt::REALGetPropValueInt64(v, "LongValue", &wide), 0);
    EXPECT_EQ(kdt::REALGetPropValueSingle(v, "SingleValue", &single), 0);
    EXPECT_EQ(wide, -1);
    EXPECT_EQ(single, -1.0f);
    EXPECT_EQ(kdt::VariantHash(v), 0u);
  }
  for (const char* name : {"REALGetPropValueInt64", "REALGetPropValueSingle", "VariantHash"}) {
    EXPECT_EQ(host.Lookups(name), 3u) << name;
  }
  host.Release(v);
}

TEST(RetryEntries, FallbackNameServesAndIsKept) {
  standin::TestHost host(
      Loaded({"REALGetPropValueInteger", "REALSetPropValueInteger", "IntegerToVariant"}));
  kdt::REALobject e = host.NewInstance("RuntimeException");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(kdt::REALSetPropValueInteger(e, "ErrorNumber", 40 + i), 1);
    int32_t number = 0;
    EXPECT_EQ(kdt::REALGetPropValueInteger(e, "ErrorNumber", &number), 1);
    EXPECT_EQ(number, 40 + i);
  }
  EXPECT_EQ(host.Get(e, "ErrorNumber").i(), 41);
  kdt::REALobject v = kdt::IntegerToVariant(-7);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(host.VarType(W(v)), standin::kVarInt32);
  EXPECT_EQ(kdt::VariantToInt32(v), -7);
  struct Pair {
    const char* first;
    const char* fallback;
  } pairs[] = {{"REALGetPropValueInteger", "REALGetPropValueInt"},
               {"REALSetPropValueInteger", "REALSetPropValueInt"},
               {"IntegerToVariant", "Int32ToVariant"}};
  for (const Pair& p : pairs) {
    EXPECT_EQ(host.Lookups(p.first), 1u) << p.first;
    EXPECT_GE(host.Calls(p.fallback), 1u) << p.fallback;
  }
  host.Release(v);
  host.Release(e);
}

std::vector<standin::Word> Words(std::initializer_list<int32_t> values) {
  std::vector<standin::Word> words;
  for (int32_t v : values) words.push_back(static_cast<standin::Word>(v));
  return words;
}

class ArrayProcedures : public ::testing::TestWithParam<bool> {};

// Set gets (array, value, index) from the host's point of view, get hands
// back a locked reference, insert at the count appends.  With the per-type
// names hidden the generic ones serve.
TEST_P(ArrayProcedures, MoveElementsThroughTheHostsAccessors) {
  const bool generic = GetParam();
  standin::TestHost host(generic ? Loaded({"PluginIntegerArrayGetProc", "PluginIntegerArraySetProc",
                                           "PluginIntegerArrayInsertProc",
                                           "PluginStringArrayGetProc", "PluginStringArraySetProc"})
                                 : Loaded());
  kdt::REALarray numbers = host.NewArray(kdt::kArrayTypeInteger, Words({10, 20, 30}));
  EXPECT_TRUE(kdt::PluginIntegerArraySetProc(numbers, 1, 99));
  EXPECT_TRUE(kdt::PluginIntegerArrayInsertProc(numbers, 3, 40));
  EXPECT_EQ(host.Elements(numbers), Words({10, 99, 30, 40}));
  int32_t got = -1;
  EXPECT_TRUE(kdt::PluginIntegerArrayGetProc(numbers, 2, &got));
  EXPECT_EQ(got, 30);
  EXPECT_FALSE(kdt::PluginIntegerArrayGetProc(numbers, 2, nullptr));

  kdt::REALstring a = host.NewString("a"), b = host.NewString("b");
  kdt::REALarray strings = host.NewArray(kdt::kArrayTypeString, {W(a), W(a)});
  EXPECT_TRUE(kdt::PluginStringArraySetProc(strings, 1, b));
  EXPECT_EQ(host.Elements(strings), (std::vector<standin::Word>{W(a), W(b)}));
  kdt::REALstring read = nullptr;
  EXPECT_TRUE(kdt::PluginStringArrayGetProc(strings, 1, &read));
  EXPECT_EQ(read, b);
  EXPECT_EQ(host.RefCount(b), 3);  // the test's, the array's and the read's
  host.Release(read);

  const char* perType = "PluginIntegerArraySetProc";
  EXPECT_EQ(host.Lookups(perType), 1u);
  EXPECT_EQ(host.Lookups("RuntimeArrayDirectGetSetProc"), generic ? 2u : 0u);
  for (auto r : {W(numbers), W(strings), W(a), W(b)}) host.Release(r);
}

INSTANTIATE_TEST_SUITE_P(Names, ArrayProcedures, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "GenericFallback" : "PerType";
                         });

TEST(ArrayProcedureWrappers, HostWithoutEitherNameChangesNothing) {
  standin::TestHost host(Loaded({"PluginIntegerArraySetProc", "RuntimeArrayDirectGetSetProc",
                                 "PluginIntegerArrayGetProc", "RuntimeArrayDirectGetGetProc"}));
  kdt::REALarray numbers = host.NewArray(kdt::kArrayTypeInteger, Words({1, 2}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(kdt::PluginIntegerArraySetProc(numbers, 0, 5));
    int32_t got = -1;
    EXPECT_FALSE(kdt::PluginIntegerArrayGetProc(numbers, 0, &got));
    EXPECT_EQ(got, -1);
  }
  EXPECT_EQ(host.Elements(numbers), Words({1, 2}));
  EXPECT_EQ(host.Lookups("PluginIntegerArraySetProc"), 2u);
  EXPECT_EQ(host.Lookups("RuntimeArrayDirectGetSetProc"), 2u);
  host.Release(numbers);
}

class VariantConversions : public ::testing::TestWithParam<bool> {};

// The same answers whether the host has the conversion functions or only the
// Variant's properties.
TEST_P(VariantConversions, ThroughFunctionsOrProperties) {
  const bool properties = GetParam();
  standin::TestHost host(
      properties
          ? Loaded({"VariantToObject", "VariantToString", "VariantToText", "VariantToDouble",
                    "VariantToSingle", "VariantToInt64", "VariantToInt32", "REALLoadGlobalMethod"})
          : Loaded());
  kdt::REALstring s = host.NewString("abc");
  kdt::REALtext t = host.NewText("d\xC3\xA9j\xC3\xA0");
  kdt::REALobject dict = host.NewDictionary();
  kdt::REALobject vs = host.NewVariantString(s), vt = host.NewVariantText(t),
                  vd = host.NewVariantDouble(2.5), vf = host.NewVariantSingle(1.5f),
                  vl = host.NewVariantInt64(int64_t{1} << 40), vi = host.NewVariantInt32(-5);

  kdt::REALstring gotS = kdt::VariantToString(vs);
  EXPECT_EQ(host.Bytes(gotS), "abc");
  kdt::REALtext gotT = kdt::VariantToText(vt);
  EXPECT_EQ(host.TextUTF8(gotT), "d\xC3\xA9j\xC3\xA0");
  kdt::REALobject gotO = kdt::VariantToObject(dict);
  EXPECT_EQ(gotO, dict);
  EXPECT_EQ(kdt::VariantToDouble(vd), 2.5);
  EXPECT_EQ(kdt::VariantToSingle(vf), 1.5f);
  EXPECT_EQ(kdt::VariantToInt64(vl), int64_t{1} << 40);
  EXPECT_EQ(kdt::VariantToInt32(vi), -5);
  EXPECT_EQ(kdt::VarType(vs), standin::kVarString);
  EXPECT_EQ(kdt::VarType(vt), standin::kVarText);
  EXPECT_EQ(kdt::VarType(vl), standin::kVarInt64);

  EXPECT_EQ(host.Calls("VariantToString") > 0, !properties);
  EXPECT_EQ(host.Calls("REALGetPropValueString") > 0, properties);
  EXPECT_EQ(host.Calls("VarType(value As Variant) As Integer") > 0, !properties);
  for (auto r :
       {W(gotS), W(gotT), W(gotO), W(s), W(t), W(dict), W(vs), W(vt), W(vd), W(vf), W(vl), W(vi)}) {
    host.Release(r);
  }
}

INSTANTIATE_TEST_SUITE_P(Hosts, VariantConversions, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "PropertiesOnly" : "Functions";
                         });

// Hosts answer success with any non-zero word; the library sees 1.  (A bare
// resolver of the test's own, since the stand-in host answers 0 or 1.)
kdt::HostFunction Resolve(const char* name) {
  using kdt::REALobject;
  using kdt::REALstring;
  const std::pair<const char*, kdt::HostFunction> entries[] = {
      {"REALGetPropValueInt",
       reinterpret_cast<kdt::HostFunction>(+[](REALobject, const char*, int32_t* out) {
         *out = 5;
         return 7;
       })},
      {"REALGetPropValueString", reinterpret_cast<kdt::HostFunction>(
                                     +[](REALobject, const char*, REALstring*) { return 0x100; })},
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
  kdt::REALstring text = nullptr;
  EXPECT_EQ(kdt::REALGetPropValueString(nullptr, "Message", &text), 1);
  EXPECT_EQ(kdt::REALSetPropValueInteger(nullptr, "ErrorNumber", 0), 1);
  EXPECT_EQ(kdt::REALSetPropValueString(nullptr, "Message", nullptr), 0);
  kdt::StringDataRecord record{};
  EXPECT_EQ(kdt::PluginGetStringData(nullptr, kdt::kEncodingUTF8, &record), 1);
  // Entries the host lacks: neutral.
  double real = 1.5;
  EXPECT_EQ(kdt::REALGetPropValueDouble(nullptr, "DoubleValue", &real), 0);
  EXPECT_EQ(real, 1.5);
}

}  // namespace
