// The Dictionary method cache and host arrays on the three host generations:
// in-place element storage before 2017.0, the host's accessors from then on.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/values/ValuesTestSupport.h"
#include "values/HostBridge.h"
#include "values/ValueTraits.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;
using kdt_values_test::Keep;

TEST(Dictionary, MethodCacheFollowsTheDictionaryInUse) {
  standin::TestHost host(HostAt(2019.0));
  REALobject d1 = Keep(host, DictionaryNew()), d2 = Keep(host, DictionaryNew());
  REALobject k = Keep(host, host.NewVariantString(Keep(host, host.NewString("k"))));
  REALobject v1 = Keep(host, host.NewVariantInt32(1)), v2 = Keep(host, host.NewVariantInt32(2));
  DictionarySetValue(d1, k, v1);
  DictionarySetValue(d2, k, v2);
  EXPECT_EQ(DictionaryCount(d1), 1);
  EXPECT_EQ(host.RefCount(v1), 2) << "the Dictionary keeps its own reference, no more";

  // Two Dictionaries used alternately reload the three methods at each switch.
  host.ResetCounters();
  for (REALobject d : {d1, d2, d1, d2}) {
    REALobject got = DictionaryGetValue(d, k);
    EXPECT_EQ(VariantToInt32(got), d == d1 ? 1 : 2);
    host.Release(got);
  }
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 12u);

  host.ResetCounters();
  REALobject key = DictionaryKeyAt(d2, 0);
  EXPECT_EQ(key, k);
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 0u) << "same Dictionary: no reload";
  host.Release(key);
  EXPECT_EQ(DictionaryKeyAt(d2, 5), nullptr);
  auto raised = host.TakeException();  // the host's own complaint about the index
  EXPECT_TRUE(raised && raised->className == "OutOfBoundsException");

  DictionaryCacheReset();
  host.Release(DictionaryGetValue(d2, k));
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 3u) << "a reset loads afresh";
  // A map that has read a Dictionary resets the cache: a later Dictionary at
  // the same address would load its own methods.
  DictionaryCacheReset();
  host.ResetCounters();
  for (int i = 0; i < 2; ++i)
    Keep(host, host.New("IntegerToIntegerHashMapKDT", "Constructor(dic as dictionary)", {d2}));
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 6u);

  // Nil does nothing and asks the host nothing.
  host.ResetCounters();
  DictionarySetValue(nullptr, k, v1);
  EXPECT_EQ(DictionaryGetValue(nullptr, k), nullptr);
  EXPECT_EQ(DictionaryKeyAt(nullptr, 0), nullptr);
  EXPECT_EQ(DictionaryCount(nullptr), 0);
  EXPECT_TRUE(host.Counters().empty());
}

const char kTooBig[] = "Parameter index  is too big. Range is 0 to 2, but value is 3.";
const char kTooSmall[] = "Parameter index  is too small. Range is 0 to 2, but value is -1.";

standin::Word WordOf(int32_t v) {
  return static_cast<standin::Word>(v);
}
template <typename T>
standin::Word WordOf(T* p) {
  return standin::W(p);
}

// Makes a three-element array of one element type from make(1..3), reads and
// writes it through the checked operations and inserts into it.  Only
// references take locks.
template <typename Traits>
void ExerciseArray(standin::TestHost& host, bool inPlace, const char* getProc,
                   const std::function<typename Traits::Arg(int)>& make) {
  using Arg = typename Traits::Arg;
  const int lock = std::is_same<Arg, int32_t>::value ? 0 : 1;
  const auto refs = [&](Arg v) { return host.RefCount(WordOf(v)); };  // -1 for numbers
  const Arg x = make(1), y = make(2), z = make(3), untouched{};
  const int x0 = refs(x), y0 = refs(y), z0 = refs(z);
  REALarray a = Keep(host, HostArrayCreate(Traits::kArrayType, 2));
  host.ResetCounters();
  HostFreshArraySet(a, 0, x);
  HostFreshArraySet(a, 1, y);
  HostFreshArraySet(a, 2, x);
  HostFreshArraySet(a, 2, x);  // the same again keeps one lock per element
  EXPECT_EQ(refs(x), x0 + 2 * lock);

  Arg out = untouched;
  HostArrayGet(a, 1, &out);
  EXPECT_EQ(out, y);
  EXPECT_EQ(refs(y), y0 + 2 * lock) << "the read value belongs to the caller";
  if (lock) host.Release(WordOf(out));
  EXPECT_EQ(host.Calls(getProc) > 0, !inPlace);

  out = untouched;
  HostArrayGet(a, 3, &out);
  EXPECT_RAISES(host, "OutOfBoundsException", kTooBig);
  HostArrayGet(a, -1, &out);
  EXPECT_RAISES(host, "OutOfBoundsException", kTooSmall);
  EXPECT_EQ(out, untouched);
  EXPECT_EQ(refs(z), z0);

  Traits::ArrayInsert(a, 3, typename Traits::Stored(z));  // appends
  Traits::ArrayInsert(a, 0, typename Traits::Stored(z));
  EXPECT_EQ(HostArrayUBound(a), 4);
  const std::vector<standin::Word> expected = {WordOf(z), WordOf(x), WordOf(y), WordOf(x),
                                               WordOf(z)};
  EXPECT_EQ(host.Elements(a), expected);
  Traits::ArrayGet(a, 4, &out);
  EXPECT_EQ(out, z);
  if (lock) host.Release(WordOf(out));
}

class ArrayTest : public ::testing::TestWithParam<double> {};

TEST_P(ArrayTest, ElementsOfEveryType) {
  standin::TestHost host(HostAt(GetParam()));
  const bool inPlace = GetParam() < 2017.0;
  ExerciseArray<ValueTraits<IntegerKind>>(host, inPlace, "PluginIntegerArrayGetProc",
                                          [](int i) { return i * 10; });
  ExerciseArray<ValueTraits<StringKind>>(host, inPlace, "PluginStringArrayGetProc", [&](int i) {
    return Keep(host, host.NewString(std::string(i, 's')));
  });
  ExerciseArray<ValueTraits<TextKind, CaseMode::I>>(
      host, inPlace, "PluginTextArrayGetProc",
      [&](int i) { return Keep(host, host.NewText(std::string(i, 't'))); });
  ExerciseArray<ValueTraits<VariantKind>>(host, inPlace, "PluginObjectArrayGetProc", [&](int i) {
    return Keep(host, host.NewVariantInt32(i));
  });

  // A nil array has no elements, and using it raises nothing.
  REALstring s = Keep(host, host.NewString("s")), out = s;
  EXPECT_EQ(HostArrayUBound(nullptr), -1);
  HostArrayGet(nullptr, 0, &out);
  HostFreshArraySet(nullptr, 0, s);
  EXPECT_EQ(out, s);
  EXPECT_NO_RAISE(host);
}

// 2008 too: the first host that keeps the element storage in word 7.
INSTANTIATE_TEST_SUITE_P(Generations, ArrayTest, ::testing::Values(2005.0, 2008.0, 2012.0, 2017.0),
                         kdt_values_test::GenerationName);

}  // namespace
