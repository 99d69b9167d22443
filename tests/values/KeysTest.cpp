// String, Text and Variant keys on the three host generations: the worked
// hash values and the order of the operations on bare references, S against
// I (hosts before 2012.0 compare I byte-wise, folding ASCII only); stored
// keys, probes and copies hash and compare exactly as their references do,
// and once viewed, case-sensitive keys compare without calling the host.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/values/ValuesTestSupport.h"
#include "values/StringKeys.h"
#include "values/TextKeys.h"
#include "values/VariantKeys.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;
using kdt_values_test::Keep;

int Sign(int64_t r) {
  return (r > 0) - (r < 0);
}

int ByReference(const void* a, const void* b) {
  return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b) ? -1 : 1;
}

// Every pair of refs: stored keys, probes and copies against the raw compare
// and hash, and check(i, j, raw compare, stored key i, probe j) against the
// expectations.  The stored keys i with alone(i) compare among themselves
// without a host call.
template <typename Key, typename Check>
void ExpectKeys(standin::Host& host, const std::vector<typename Key::Ref>& refs,
                const std::function<int32_t(typename Key::Ref, typename Key::Ref)>& compare,
                const std::function<uint32_t(typename Key::Ref)>& hash,
                const std::function<bool(size_t)>& alone, Check check) {
  using Ref = typename Key::Ref;
  std::vector<std::unique_ptr<Key>> stored;
  for (Ref r : refs) stored.push_back(std::make_unique<Key>(r));
  for (size_t i = 0; i < refs.size(); ++i) {
    SCOPED_TRACE("key " + std::to_string(i));
    ProbeKey<Key> probe(refs[i]);
    EXPECT_EQ(KeyHash(probe.get()), hash(refs[i]));
    EXPECT_EQ(KeyHash(*stored[i]), hash(refs[i]));
    const Key copy(probe.get());
    for (size_t j = 0; j < refs.size(); ++j) {
      SCOPED_TRACE("against key " + std::to_string(j));
      host.ResetCounters();
      const int raw = Sign(compare(refs[i], refs[j]));
      EXPECT_TRUE(i != j || host.Counters().empty()) << "one reference is equal to itself";
      ProbeKey<Key> other(refs[j]);
      EXPECT_EQ(Sign(KeyCompare(*stored[i], *stored[j])), raw);
      EXPECT_EQ(Sign(KeyCompare(*stored[i], other.get())), raw);
      EXPECT_EQ(Sign(KeyCompare(probe.get(), *stored[j])), raw);
      EXPECT_EQ(Sign(KeyCompare(copy, other.get())), raw);
      check(i, j, raw, *stored[i], other.get());
    }
  }
  host.ResetCounters();
  for (size_t i = 0; i < refs.size(); ++i)
    for (size_t j = 0; j < refs.size(); ++j)
      if (alone && alone(i) && alone(j)) KeyCompare(*stored[i], *stored[j]);
  EXPECT_TRUE(host.Counters().empty()) << host.Counters().front().first;
}

constexpr uint32_t kNil = 0xFFFFFFFF;        // as an encoding: the row is nil
constexpr uint32_t kAnyHash = 0xFFFFFFFF;    // a hash that differs by generation
constexpr uint32_t kUnconvertible = 0x0C01;  // an encoding the host cannot convert

// Equal strings share a rank.  S orders UTF-8 bytes up to the first zero (a
// string the host cannot convert reads as empty); I before 2012.0 the same
// with ASCII folded, from then on the host's folded code points in full.
struct StringRow {
  std::string bytes;
  uint32_t encoding;
  bool terminated;
  uint32_t hashS, hashI;
  int rankS, rankIOld, rankI;
};
const StringRow kStrings[] = {
    {"", kNil, true, 0, 0, 0, 0, 0},
    {"", kEncodingUTF8, true, 0, 0, 0, 0, 0},
    {"xyz", kUnconvertible, true, 0, 0, 0, 0, 9},
    {"ABC", kEncodingMacRoman, true, 17763, 26499, 1, 2, 4},
    {std::string("\xFF\xFE\x41\0b\0", 6), kEncodingUTF16, true, 1138, 1650, 2, 1, 1},
    {"Hello Zorld", kEncodingASCII, false, 19901460, 19901460, 3, 6, 8},
    {std::string("a\0b\0", 4), kEncodingUTF16, true, 1650, 1650, 4, 1, 1},
    {std::string("\xFE\xFF\0a\0b", 6), kEncodingUTF16, false, 1650, 1650, 4, 1, 1},
    {std::string("ab\0c", 4), kEncodingUTF8, true, 422499, 422499, 4, 1, 2},
    {std::string("ab\0d", 4), kEncodingUTF8, false, 422500, 422500, 4, 1, 3},
    {"abc", kEncodingUTF8, true, 26499, 26499, 5, 2, 4},
    {"abc", kEncodingUnspecified, true, 26499, 26499, 5, 2, 4},
    {"abcd", kEncodingISOLatin1, false, 424084, 424084, 6, 3, 5},
    // Bytes above 0x7F labelled ASCII: own UTF-8 bytes before 2017.0.
    {"caf\xC3\xA9", kEncodingASCII, true, kAnyHash, 8025549, 8, 5, 7},
    {"hello zorld", kEncodingWindowsLatin1, true, 19901460, 19901460, 9, 6, 8},
    {"\xC3\x89", kEncodingUTF8, false, 3257, 233, 10, 7, 10},                // U+00C9
    {std::string("\xE9\0", 2), kEncodingUTF16, true, 3289, 233, 11, 8, 10},  // U+00E9
    {"\xE9", kEncodingISOLatin1, true, 3289, 233, 11, 8, 10},
    {"\xC3\xA9", kEncodingUTF8, true, 3289, 233, 11, 8, 10},
    {"\xE9t\xE9", kEncodingUnspecified, true, 13504729, 61737, 12, 9, 11},  // read as Latin 1
    {"\xC4\xB0", kEncodingUTF8, true, 3312, 304, 13, 10, 12},               // U+0130 does not fold
    {"\xCF\x83", kEncodingUTF8, true, 3443, 963, 14, 11, 13},               // U+03C3
    {"\xCF\xB2", kEncodingUTF8, true, 3490, 963, 15, 12, 13},  // U+03F2 folds to U+03C3
    {"\xE3\x81\x82", kEncodingUTF8, true, 60306, 12354, 16, 13, 14},
    {"\xFF\xFE\xFD", kEncodingUTF8, true, 69597, 17890509, 17, 14, 15},  // not UTF-8 at all
};

class KeysTest : public ::testing::TestWithParam<double> {};

TEST_P(KeysTest, StringKeys) {
  const bool hostOrdersI = GetParam() >= 2012.0;
  standin::TestHost host(HostAt(GetParam()));
  std::vector<REALstring> refs;
  for (const StringRow& row : kStrings) {
    REALstring s = nullptr;
    if (row.encoding != kNil) s = host.NewString(row.bytes, row.encoding, row.terminated);
    refs.push_back(Keep(host, s));
    SCOPED_TRACE(host.Describe(s));
    EXPECT_TRUE(row.hashS == kAnyHash || StringHashS(s) == row.hashS) << StringHashS(s);
    EXPECT_EQ(StringHashI(s), row.hashI);
  }
  const auto byRank = [](int StringRow::*rank) {
    return [rank](size_t i, size_t j, int raw, const auto&, const auto&) {
      EXPECT_EQ(raw, Sign(kStrings[i].*rank - kStrings[j].*rank));
    };
  };
  // Every String but the one the host cannot convert has a view.
  const auto viewed = [](size_t i) { return kStrings[i].encoding != kUnconvertible; };
  // By address: a reference to a Thumb function is not aligned.
  ExpectKeys<StringKey<CaseMode::S>>(host, refs, &StringCompareS, &StringHashS, viewed,
                                     byRank(&StringRow::rankS));
  ExpectKeys<StringKey<CaseMode::I>>(
      host, refs, &StringCompareI, &StringHashI, {},
      byRank(hostOrdersI ? &StringRow::rankI : &StringRow::rankIOld));
}

constexpr uint32_t kHostHash = 0xFFFFFFFF;  // hashed by the host
constexpr int kByReference = -1;            // ordered by reference only
constexpr int kNaN = -2;                    // greater than every Variant of its code

// One Variant with its host type code, its rank among the Variants of that
// code, and its hashes.
struct VariantRow {
  REALobject ref;
  int32_t code;
  int rankS, rankI;
  uint32_t hashS = kHostHash, hashI = kHostHash;
};

// Nil first.  The compare orders different codes by reference and puts a NaN
// after every Variant of its code both ways; the index order sorts by code
// first, and NaNs after the other numbers of their code, among themselves by
// reference.
int Expected(const VariantRow& a, const VariantRow& b, int VariantRow::*rank, bool index) {
  const int ra = a.*rank, rb = b.*rank;
  if (a.ref == b.ref) return 0;
  if (a.ref == nullptr || b.ref == nullptr) return a.ref == nullptr ? -1 : 1;
  if (a.code != b.code) return index ? Sign(a.code - b.code) : ByReference(a.ref, b.ref);
  if (ra == kByReference || (index && ra == kNaN && rb == kNaN)) return ByReference(a.ref, b.ref);
  if (ra == kNaN || rb == kNaN) return index && rb == kNaN ? -1 : 1;
  return Sign(ra - rb);
}

// With every conversion reached directly, then with every conversion (and
// VarType) read from the Variant's properties instead.
TEST_P(KeysTest, VariantKeys) {
  for (bool viaProperties : {false, true}) {
    SCOPED_TRACE(viaProperties ? "through properties" : "direct");
    standin::Options options = HostAt(GetParam());
    if (viaProperties) {
      options.Hide({"VariantToString", "VariantToText", "VariantToInt32", "VariantToInt64",
                    "VariantToDouble", "VariantToSingle", "VariantToObject",
                    "REALLoadGlobalMethod"});
    }
    standin::TestHost host(options);
    using namespace standin;
    const auto keep = [&](REALobject v) { return Keep(host, v); };
    const auto str = [&](const char* bytes, uint32_t encoding, int32_t code = kVarString) {
      return keep(host.NewVariantString(Keep(host, host.NewString(bytes, encoding)), code));
    };
    const auto text = [&](const char* utf8) {
      return keep(host.NewVariantText(Keep(host, host.NewText(utf8))));
    };
    std::set<REALobject> unheldRefs;
    const auto unheld = [&](REALobject v) { return *unheldRefs.insert(keep(v)).first; };
    const std::vector<VariantRow> rows = {
        {nullptr, kVarNil, 0, 0, 0, 0},
        {keep(host.NewVariantNil()), kVarNil, 0, 0},
        {keep(host.NewVariantNil()), kVarNil, 0, 0},
        {keep(host.NewVariantInt32(1)), kVarInt32, 1, 1},
        {keep(host.NewVariantInt32(1)), kVarInt32, 1, 1},
        {keep(host.NewVariantInt32(-1)), kVarInt32, 0, 0},
        {keep(host.NewVariantInt64(1)), kVarInt64, 0, 0},
        {keep(host.NewVariantInt64(int64_t{1} << 40)), kVarInt64, 1, 1},
        {keep(host.NewVariantSingle(1.5f)), kVarSingle, 0, 0},
        {keep(host.NewVariantSingle(2.5f)), kVarSingle, 1, 1},
        {keep(host.NewVariantSingle(std::nanf(""))), kVarSingle, kNaN, kNaN},
        {keep(host.NewVariantDouble(2.5)), kVarDouble, 1, 1},
        {keep(host.NewVariantDouble(-0.0)), kVarDouble, 0, 0},
        {keep(host.NewVariantDouble(0.0)), kVarDouble, 0, 0},
        {keep(host.NewVariantDouble(std::nan(""))), kVarDouble, kNaN, kNaN},
        {keep(host.NewVariantDouble(std::nan(""))), kVarDouble, kNaN, kNaN},
        {keep(host.NewVariantDouble(3.0, kVarCurrency)), kVarCurrency, 0, 0},
        {keep(host.NewVariantDouble(3.0, kVarCurrency)), kVarCurrency, 0, 0},
        {keep(host.NewVariantBoolean(true)), kVarBoolean, 1, 1},
        {keep(host.NewVariantBoolean(false)), kVarBoolean, 0, 0},
        {keep(host.NewVariantInt32(0x00FF00, kVarColor)), kVarColor, 1, 1},
        {keep(host.NewVariantInt32(0x0000FF, kVarColor)), kVarColor, 0, 0},
        // A nil String or Text is empty; case-insensitive keys of them keep
        // nothing converted and compare through their Variants.
        {unheld(host.NewVariantString(nullptr)), kVarString, 0, 0, 0, 0},
        {str("abc", kEncodingUTF8), kVarString, 2, 1, 26499, 26499},
        {str("ABC", kEncodingMacRoman), kVarString, 1, 1, 17763, 26499},
        {str("\xE9", kEncodingISOLatin1), kVarString, 3, 2, 3289, 233},
        {str("\xC3\xA9", kEncodingUTF8), kVarString, 3, 2, 3289, 233},
        // The other String codes compare as Strings but are hashed by the host.
        {str("abc", kEncodingUTF8, 18), 18, 1, 0},
        {str("ABC", kEncodingUTF8, 18), 18, 0, 0},
        {str("ABC", kEncodingUTF8, 21), 21, 0, 0},
        // Texts hash from 1 and compare through the host.
        {unheld(host.NewVariantText(nullptr)), kVarText, 0, 0, 1, 1},
        {text("ABC"), kVarText, 1, 1, 21859, 30595},
        {text("abc"), kVarText, 2, 1, 30595, 30595},
        {text("\xC3\x89"), kVarText, 3, 2, 3513, 249},
        {text("\xC3\xA9"), kVarText, 4, 2, 3545, 249},
        {keep(host.NewDictionary()), kVarObject, kByReference, kByReference},
        {keep(host.NewDictionary()), kVarObject, kByReference, kByReference},
    };
    // What the keys must answer: the rows' ranks and hashes, the host's own
    // hash where a row has none of its own.
    std::vector<REALobject> refs;
    std::map<REALobject, const VariantRow*> rowOf;
    for (const VariantRow& row : rows) {
      refs.push_back(row.ref);
      rowOf[row.ref] = &row;
      EXPECT_EQ(VariantTypeCode(row.ref), row.code) << host.Describe(row.ref);
    }
    const auto hostHash =
        reinterpret_cast<uint32_t (*)(REALobject)>(host.Resolver()("VariantHash"));
    const auto hashOf = [&](uint32_t VariantRow::*hash) {
      return [&, hash](REALobject r) {
        const uint32_t h = rowOf.at(r)->*hash;
        return h != kHostHash ? h : r == nullptr ? 0u : hostHash(r);
      };
    };
    const auto compareOf = [&](int VariantRow::*rank, bool index) {
      return [&, rank, index](REALobject a, REALobject b) {
        return Expected(*rowOf.at(a), *rowOf.at(b), rank, index);
      };
    };
    const auto check = [&](int VariantRow::*rank) {
      return [&, rank](size_t i, size_t j, int, const auto& a, const auto& b) {
        EXPECT_EQ(Sign(KeyIndexOrder(a, b)), Expected(rows[i], rows[j], rank, true));
      };
    };
    // Viewed Variants compare alone, but Texts ask the host.
    const auto alone = [&rows](size_t i) { return rows[i].code != kVarText; };
    ExpectKeys<VariantKey<CaseMode::S>>(host, refs, compareOf(&VariantRow::rankS, false),
                                        hashOf(&VariantRow::hashS), alone,
                                        check(&VariantRow::rankS));
    ExpectKeys<VariantKey<CaseMode::I>>(host, refs, compareOf(&VariantRow::rankI, false),
                                        hashOf(&VariantRow::hashI), {}, check(&VariantRow::rankI));
    // Stored keys keep what they compare by: comparing them converts no
    // Variant and takes no lock, in either mode (before 2012 the Strings of
    // case-insensitive keys are compared by their bytes, read each time).
    const auto compareStored = [&](auto mode) {
      constexpr CaseMode kMode = decltype(mode)::value;
      using Key = VariantKey<kMode>;
      const bool readsBytes = kMode == CaseMode::I && GetParam() < 2012.0;
      std::vector<std::unique_ptr<Key>> stored;
      for (REALobject r : refs)
        if (unheldRefs.count(r) == 0) stored.push_back(std::make_unique<Key>(r));
      for (const auto& k : stored) KeyHash(*k);
      host.ResetCounters();
      for (const auto& a : stored)
        for (const auto& b : stored) KeyCompare(*a, *b), KeyIndexOrder(*a, *b);
      for (const auto& [entry, count] : host.Counters()) {
        EXPECT_TRUE(entry.rfind("VariantTo", 0) != 0 && entry.rfind("REALGetPropValue", 0) != 0 &&
                    (readsBytes || entry.find("Lock") == std::string::npos) && entry != "VarType")
            << entry << " called " << count << " times";
      }
    };
    compareStored(std::integral_constant<CaseMode, CaseMode::S>{});
    compareStored(std::integral_constant<CaseMode, CaseMode::I>{});
  }
}

INSTANTIATE_TEST_SUITE_P(Generations, KeysTest, ::testing::ValuesIn(kdt_values_test::kGenerations),
                         kdt_values_test::GenerationName);

}  // namespace
