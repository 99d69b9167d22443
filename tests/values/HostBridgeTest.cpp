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

TEST(Dictionary, MethodCacheFollowsTheDictionaryInUse) {
  standin::TestHost host(HostAt(2019.0));
  REALobject d1 = DictionaryNew(), d2 = DictionaryNew();
  ASSERT_NE(d1, nullptr);
  EXPECT_EQ(host.KindOf(standin::W(d1)), "dictionary");
  REALstring s = host.NewString("k");
  REALobject k = host.NewVariantString(s);
  REALobject v1 = host.NewVariantInt32(1), v2 = host.NewVariantInt32(2);

  DictionarySetValue(d1, k, v1);
  DictionarySetValue(d2, k, v2);
  EXPECT_EQ(DictionaryCount(d1), 1);
  EXPECT_EQ(host.RefCount(v1), 2) << "the Dictionary keeps its own reference, no more";

  // Two Dictionaries used alternately reload the three methods at each switch.
  host.ResetCounters();
  int32_t sum = 0;
  for (REALobject d : {d1, d2, d1, d2}) {
    REALobject got = DictionaryGetValue(d, k);
    sum += IntegerFromVariant(got);
    host.Release(got);
  }
  EXPECT_EQ(sum, 6);
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 12u);
  EXPECT_EQ(DictionaryCacheState().instance, d2);

  host.ResetCounters();
  REALobject key = DictionaryKeyAt(d2, 0);
  EXPECT_TRUE(IntegerFromVariant(key) == 0 && key != nullptr);
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 0u) << "same Dictionary: no reload";
  host.Release(key);
  EXPECT_EQ(DictionaryKeyAt(d2, 5), nullptr);
  auto raised = host.TakeException();  // the host's own complaint about the index
  EXPECT_TRUE(raised && raised->className == "OutOfBoundsException");

  DictionaryCacheReset();
  EXPECT_EQ(DictionaryCacheState().instance, nullptr);
  host.Release(DictionaryGetValue(d2, k));
  EXPECT_EQ(host.Calls("REALLoadObjectMethod"), 3u) << "a reset loads afresh";

  // Nil does nothing and asks the host nothing.
  host.ResetCounters();
  DictionarySetValue(nullptr, k, v1);
  EXPECT_EQ(DictionaryGetValue(nullptr, k), nullptr);
  EXPECT_EQ(DictionaryKeyAt(nullptr, 0), nullptr);
  EXPECT_EQ(DictionaryCount(nullptr), 0);
  EXPECT_EQ(host.Calls("REALLoadObjectMethod") + host.Calls("REALGetPropValueInteger"), 0u);

  for (REALobject o : {d1, d2, k, v1, v2}) host.Release(o);
  host.Release(s);
}

TEST(Dictionary, WithoutItsMethodsReadsAsEmptyValues) {
  standin::TestHost host(HostAt(2019.0, {"REALLoadObjectMethod", "REALGetPropValueInteger"}));
  REALobject d = host.NewDictionary();
  REALobject k = host.NewVariantInt32(1), v = host.NewVariantInt32(2);
  host.DictionarySet(d, k, v);
  EXPECT_EQ(DictionaryCount(d), 1) << "Count through the fallback getter";
  DictionarySetValue(d, v, k);
  EXPECT_EQ(host.DictionaryCount(d), 1);
  EXPECT_EQ(DictionaryGetValue(d, k), nullptr);
  EXPECT_EQ(DictionaryKeyAt(d, 0), nullptr);
  for (REALobject o : {d, k, v}) host.Release(o);
}

class ArrayTest : public ::testing::TestWithParam<double> {
 protected:
  bool InPlace() const { return GetParam() < 2017.0; }
};

const char kTooBig[] = "Parameter index  is too big. Range is 0 to 2, but value is 3.";
const char kTooSmall[] = "Parameter index  is too small. Range is 0 to 2, but value is -1.";

// Creates a three-element array of one element type, reads and writes it
// through the checked operations and inserts into it.
template <typename Traits>
void ExerciseArray(standin::TestHost& host, bool inPlace, const char* getProc,
                   const std::function<typename Traits::Arg(int)>& make) {
  using Arg = typename Traits::Arg;
  constexpr bool kCounted = !std::is_same<Arg, int32_t>::value;
  auto word = [](Arg a) {
    if constexpr (kCounted) {
      return standin::W(a);
    } else {
      return static_cast<standin::Word>(a);
    }
  };
  auto refs = [&](Arg a) { return kCounted ? host.RefCount(word(a)) : 0; };

  const Arg x = make(1), y = make(2), z = make(3);
  REALarray a = HostArrayCreate(Traits::kArrayType, 2);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(HostArrayUBound(a), 2);
  host.ResetCounters();
  const int before = refs(x);
  HostArraySet(a, 0, x);
  HostArraySet(a, 1, y);
  HostArraySet(a, 2, x);
  HostArraySet(a, 2, x);  // the same again keeps one lock per element
  EXPECT_EQ(refs(x), kCounted ? before + 2 : 0);

  Arg out = make(0);
  const Arg untouched = out;
  HostArrayGet(a, 1, &out);
  EXPECT_EQ(out, y);
  EXPECT_EQ(refs(y), kCounted ? 3 : 0) << "the read value belongs to the caller";
  if (kCounted) host.Release(word(out));
  EXPECT_EQ(host.Calls(getProc) > 0, !inPlace);

  out = untouched;
  HostArrayGet(a, 3, &out);
  EXPECT_RAISES(host, "OutOfBoundsException", kTooBig);
  HostArrayGet(a, -1, &out);
  EXPECT_RAISES(host, "OutOfBoundsException", kTooSmall);
  HostArraySet(a, 3, z);
  EXPECT_RAISES(host, "OutOfBoundsException", kTooBig);
  EXPECT_EQ(out, untouched);
  EXPECT_EQ(refs(z), kCounted ? 1 : 0);

  Traits::ArrayInsert(a, 3, typename Traits::Stored(z));  // appends
  Traits::ArrayInsert(a, 0, typename Traits::Stored(z));
  EXPECT_EQ(HostArrayUBound(a), 4);
  const std::vector<standin::Word> expected = {word(z), word(x), word(y), word(x), word(z)};
  EXPECT_EQ(host.Elements(a), expected);
  Traits::ArrayGet(a, 4, &out);
  EXPECT_EQ(out, z);
  if (kCounted) host.Release(word(out));

  host.Release(a);
  for (Arg v : {x, y, z}) {
    EXPECT_EQ(refs(v), kCounted ? 1 : 0);
    if (kCounted) host.Release(word(v));
  }
}

TEST_P(ArrayTest, ElementsOfEveryType) {
  standin::TestHost host(HostAt(GetParam()));
  ExerciseArray<ValueTraits<IntegerKind>>(host, InPlace(), "PluginIntegerArrayGetProc",
                                          [](int i) { return i * 10; });
  ExerciseArray<ValueTraits<StringKind>>(host, InPlace(), "PluginStringArrayGetProc", [&](int i) {
    return i == 0 ? nullptr : host.NewString(std::string(i, 's'));
  });
  ExerciseArray<ValueTraits<TextKind, CaseMode::I>>(
      host, InPlace(), "PluginTextArrayGetProc",
      [&](int i) { return i == 0 ? nullptr : host.NewText(std::string(i, 't')); });
  ExerciseArray<ValueTraits<VariantKind>>(host, InPlace(), "PluginObjectArrayGetProc", [&](int i) {
    return i == 0 ? nullptr : host.NewVariantInt32(i);
  });
}

TEST_P(ArrayTest, NilArray) {
  standin::TestHost host(HostAt(GetParam()));
  REALstring s = host.NewString("s");
  REALstring out = s;
  EXPECT_EQ(HostArrayUBound(nullptr), -1);
  HostArrayGet(nullptr, 0, &out);
  HostArraySet(nullptr, 0, s);
  EXPECT_EQ(out, s);
  EXPECT_NO_RAISE(host);
  host.Release(s);
}

INSTANTIATE_TEST_SUITE_P(Generations, ArrayTest,
                         ::testing::ValuesIn(kdt_values_test::HostGenerations()),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return kdt_values_test::VersionName(info.param);
                         });

TEST(Arrays, GenericAccessorsWhenTheTypedOnesAreMissing) {
  standin::TestHost host(HostAt(2019.0, {"PluginStringArrayGetProc", "PluginStringArraySetProc",
                                         "PluginStringArrayInsertProc"}));
  REALstring s = host.NewString("s");
  REALarray a = HostArrayCreate(kArrayTypeString, 0);
  HostArraySet(a, 0, s);
  HostArrayInsert(a, 1, s);
  REALstring out = nullptr;
  HostArrayGet(a, 1, &out);
  EXPECT_EQ(out, s);
  EXPECT_EQ(host.RefCount(s), 4);
  EXPECT_GT(host.Calls("RuntimeArrayDirectGetGetProc"), 0u);
  EXPECT_GT(host.Calls("RuntimeArrayDirectGetSetProc"), 0u);
  EXPECT_GT(host.Calls("RuntimeArrayDirectGetInsertProc"), 0u);
  host.Release(out);
  host.Release(a);
  host.Release(s);
}

}  // namespace
