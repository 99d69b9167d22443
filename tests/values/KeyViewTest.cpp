// Stored keys and probes hash, compare and order exactly as the operations on
// their bare references do, on every host generation: Strings of every
// encoding the converter knows (ASCII and not, terminated or not, invalid
// ones), Variants of every type code; copies keep their views; and once
// viewed, case-sensitive keys compare without calling the host.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/values/ValuesTestSupport.h"
#include "values/StringKeys.h"
#include "values/VariantKeys.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;

int Sign(int32_t r) {
  return (r > 0) - (r < 0);
}

// Every pair of refs, as stored keys, probes and copies of stored keys,
// against the raw compare, order and hash of the references.
template <typename Key, typename Compare, typename Order, typename Hash>
void ExpectKeysMatchReferences(const std::vector<typename Key::Ref>& refs, Compare compare,
                               Order order, Hash hash) {
  std::vector<std::unique_ptr<Key>> stored;
  for (auto r : refs) stored.push_back(std::make_unique<Key>(r));
  for (size_t i = 0; i < refs.size(); ++i) {
    SCOPED_TRACE("key " + std::to_string(i));
    ProbeKey<Key> probe(refs[i]);
    EXPECT_EQ(KeyHash(probe.get()), hash(refs[i]));
    EXPECT_EQ(KeyHash(*stored[i]), hash(refs[i]));
    const Key copy(probe.get());
    for (size_t j = 0; j < refs.size(); ++j) {
      SCOPED_TRACE("against key " + std::to_string(j));
      const int expected = Sign(compare(refs[i], refs[j]));
      ProbeKey<Key> other(refs[j]);
      EXPECT_EQ(Sign(KeyCompare(*stored[i], *stored[j])), expected);
      EXPECT_EQ(Sign(KeyCompare(*stored[i], other.get())), expected);
      EXPECT_EQ(Sign(KeyCompare(probe.get(), *stored[j])), expected);
      EXPECT_EQ(Sign(KeyCompare(copy, other.get())), expected);
      order(*stored[i], other.get(), refs[i], refs[j]);
    }
  }
}

// Stored keys with views compare among themselves without a host call.
template <typename Key>
void ExpectViewedKeysCompareAlone(standin::TestHost& host,
                                  const std::vector<typename Key::Ref>& refs,
                                  size_t expectedViews) {
  std::vector<std::unique_ptr<Key>> viewed;
  for (auto r : refs) {
    auto key = std::make_unique<Key>(r);
    if (key->view() != nullptr) viewed.push_back(std::move(key));
  }
  EXPECT_EQ(viewed.size(), expectedViews);
  host.ResetCounters();
  for (const auto& a : viewed)
    for (const auto& b : viewed) KeyCompare(*a, *b);
  EXPECT_TRUE(host.Counters().empty()) << host.Counters().front().first;
}

class KeyViewTest : public ::testing::TestWithParam<double> {};

TEST_P(KeyViewTest, StringKeysMatchTheirReferences) {
  standin::TestHost host(HostAt(GetParam()));
  struct Source {
    std::string bytes;
    uint32_t encoding;
    bool terminated;
  };
  const Source sources[] = {
      {"", kEncodingUTF8, true},
      {"abc", kEncodingUTF8, true},
      {"ABC", kEncodingMacRoman, true},
      {"abd", kEncodingISOLatin1, false},
      {"abc", kEncodingUnspecified, true},
      {"Hello World", kEncodingASCII, false},
      {"hello world", kEncodingWindowsLatin1, true},
      {std::string("ab\0c", 4), kEncodingUTF8, true},
      {std::string("ab\0d", 4), kEncodingUTF8, false},
      {"\xE9", kEncodingISOLatin1, true},         // U+00E9
      {"\xE9", kEncodingWindowsLatin1, false},    // U+00E9
      {"\x8E", kEncodingMacRoman, true},          // U+00E9
      {"\xC3\xA9", kEncodingUTF8, true},          // U+00E9
      {"\xC3\x89", kEncodingUTF8, false},         // U+00C9
      {"caf\xC3\xA9", kEncodingASCII, true},      // not ASCII after all
      {"\xE9t\xE9", kEncodingUnspecified, true},  // read as Windows Latin 1
      {std::string("a\0b\0", 4), kEncodingUTF16, true},
      {std::string("\xFF\xFE"
                   "A\0b\0",
                   6),
       kEncodingUTF16, true},
      {std::string("\xFE\xFF\0a\0b", 6), kEncodingUTF16, false},
      {std::string("\xE9\0", 2), kEncodingUTF16, true},
      {"\xFF\xFE\xFD", kEncodingUTF8, true},  // not UTF-8 at all
      {"xyz", 0x0C01, true},                  // an encoding the host cannot convert
  };
  std::vector<REALstring> refs = {nullptr};
  for (const Source& s : sources) refs.push_back(host.NewString(s.bytes, s.encoding, s.terminated));

  const auto noOrder = [](const auto&, const auto&, REALstring, REALstring) {};
  ExpectKeysMatchReferences<StringKey<CaseMode::S>>(refs, StringCompareS, noOrder, StringHashS);
  ExpectKeysMatchReferences<StringKey<CaseMode::I>>(refs, StringCompareI, noOrder, StringHashI);
  // Every string but the one the host cannot convert gets a view.
  ExpectViewedKeysCompareAlone<StringKey<CaseMode::S>>(host, refs, refs.size() - 1);

  for (REALstring s : refs)
    if (s != nullptr) host.Release(s);
}

TEST_P(KeyViewTest, VariantKeysMatchTheirReferences) {
  standin::TestHost host(HostAt(GetParam()));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  REALstring abc = host.NewString("abc", kEncodingUTF8);
  REALstring ABC = host.NewString("ABC", kEncodingMacRoman);
  REALstring eLatin = host.NewString("\xE9", kEncodingISOLatin1);
  REALstring eUTF8 = host.NewString("\xC3\xA9", kEncodingUTF8, false);
  REALtext tAbc = host.NewText("abc");
  REALtext tABC = host.NewText("ABC");
  const std::vector<REALobject> refs = {
      nullptr,
      host.NewVariantNil(),
      host.NewVariantNil(),
      host.NewVariantInt32(1),
      host.NewVariantInt32(1),
      host.NewVariantInt32(-1),
      host.NewVariantInt64(1),
      host.NewVariantInt64(int64_t{1} << 40),
      host.NewVariantSingle(1.5f),
      host.NewVariantSingle(std::nanf("")),
      host.NewVariantDouble(2.5),
      host.NewVariantDouble(2.5),
      host.NewVariantDouble(-0.0),
      host.NewVariantDouble(0.0),
      host.NewVariantDouble(nan),
      host.NewVariantDouble(nan),
      host.NewVariantDouble(3.0, standin::kVarCurrency),
      host.NewVariantBoolean(true),
      host.NewVariantInt32(0x00FF00, standin::kVarColor),
      host.NewVariantString(abc),
      host.NewVariantString(abc),
      host.NewVariantString(ABC),
      host.NewVariantString(eLatin),
      host.NewVariantString(eUTF8),
      host.NewVariantString(abc, 18),
      host.NewVariantString(ABC, 21),
      host.NewVariantText(tAbc),
      host.NewVariantText(tABC),
      host.NewDictionary(),
  };
  const auto orderOf = [](auto indexOrder) {
    return [indexOrder](const auto& a, const auto& b, REALobject ra, REALobject rb) {
      EXPECT_EQ(Sign(KeyIndexOrder(a, b)), Sign(indexOrder(ra, rb)));
    };
  };
  ExpectKeysMatchReferences<VariantKey<CaseMode::S>>(refs, VariantCompareS,
                                                     orderOf(VariantIndexOrderS), VariantHashS);
  ExpectKeysMatchReferences<VariantKey<CaseMode::I>>(refs, VariantCompareI,
                                                     orderOf(VariantIndexOrderI), VariantHashI);

  // Numbers and Strings compare from their views; Texts and objects do not.
  std::vector<REALobject> byValue(refs.begin(), refs.end() - 3);
  ExpectViewedKeysCompareAlone<VariantKey<CaseMode::S>>(host, byValue, byValue.size());

  for (REALobject v : refs)
    if (v != nullptr) host.Release(v);
  for (REALstring s : {abc, ABC, eLatin, eUTF8}) host.Release(s);
  for (REALtext t : {tAbc, tABC}) host.Release(t);
}

INSTANTIATE_TEST_SUITE_P(Generations, KeyViewTest,
                         ::testing::ValuesIn(kdt_values_test::HostGenerations()),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return kdt_values_test::VersionName(info.param);
                         });

}  // namespace
