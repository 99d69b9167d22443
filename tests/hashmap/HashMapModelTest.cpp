// Long random call sequences against every hash map member, compared after
// each step with a plain model of the table: the same buckets, growth and
// chain order, written out independently of the library.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "containers/ContainerTestSupport.h"
#include "containers/HashTableModel.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

using standin::TestHost;

MemberSpec Map(const char* name, Kind k, Kind v, const char* kw, const char* vw, bool cs) {
  return MemberSpec{
      std::string(name) + "HashMapKDT", std::string(name) + "HashMapIteratorKDT", k, v, kw, vw, cs};
}

class HashMapModelTest : public ::testing::TestWithParam<MemberSpec> {};

TEST_P(HashMapModelTest, RandomSequencesMatchTheModel) {
  const MemberSpec& s = GetParam();
  TestHost host;
  std::mt19937 random(12345);
  TableModel model(s.caseSensitive);
  REALobject map =
      s.HasCaseModes()
          ? host.New(s.className, "Constructor(CaseSensitive as Boolean = true)", {s.caseSensitive})
          : host.New(s.className, "Constructor");
  host.ReleaseAtEnd(map);
  Word m = standin::W(map);
  auto keep = [&](Kind k, Word w) {
    if (k != Kind::Integer && w != 0) host.ReleaseAtEnd(w);
    return w;
  };
  auto probe = [&](int n, bool upper) {
    ModelEntry e;
    e.number = s.key == Kind::Integer ? n * 7 - 300 : n;  // negative keys too
    e.name = s.key == Kind::Integer ? "" : TextOf("k", n, upper);
    e.key = Make(host, s.key, "k", e.number, upper);
    e.hash = ModelHash(s.key, e.name, e.number, s.caseSensitive);
    e.value = 0;
    return e;
  };
  auto iteratorAt = [&](const ModelEntry& e) {
    return keep(Kind::Variant, host.Call(m, s.Decl("find(key as {K}) as {I}"), {e.key}));
  };
  auto check = [&] {
    ASSERT_EQ(host.Get(m, "Count").i(), static_cast<int32_t>(model.size()));
    ASSERT_EQ(host.Get(m, "BinCount").i(), static_cast<int32_t>(model.bucket_count()));
    std::vector<ModelEntry> order = model.Order();
    Word keys = keep(Kind::Variant, host.Call(m, s.Decl("Keys as {K}()")));
    Word values = keep(Kind::Variant, host.Call(m, s.Decl("Values as {V}()")));
    std::vector<Word> ks = host.Elements(reinterpret_cast<REALarray>(keys));
    std::vector<Word> vs = host.Elements(reinterpret_cast<REALarray>(values));
    ASSERT_EQ(ks.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) {
      ASSERT_EQ(ks[i], order[i].key) << "index " << i;
      ASSERT_EQ(vs[i], order[i].value) << "index " << i;
    }
    // The same order from a walk.
    Word it = keep(Kind::Variant, host.Call(m, s.Decl("first as {I}")));
    Word end = keep(Kind::Variant, host.Call(m, s.Decl("last as {I}")));
    for (const auto& e : order) {
      ASSERT_FALSE(host.Call(it, s.Decl("isEqual(other as {I}) as boolean"), {end}).b());
      ASSERT_EQ(keep(s.key, host.Call(it, s.Decl("Key as {K}"))), e.key);
      host.Call(it, "MoveNext");
    }
    ASSERT_TRUE(host.Call(it, s.Decl("isEqual(other as {I}) as boolean"), {end}).b());
  };

  const int kSteps = 700;
  for (int step = 0; step < kSteps; ++step) {
    int n = static_cast<int>(random() % 260);
    bool upper = s.HasCaseModes() && random() % 4 == 0;
    ModelEntry e = probe(n, upper);
    switch (random() % 12) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4: {  // value(key) = v
        e.value = Make(host, s.value, "v", step);
        host.Assign(m, s.Decl("value(key as {K}) as {V}"), {e.key}, e.value);
        model.Set(e);  // grows first, like the table, even for a present key
        break;
      }
      case 5: {  // Remove(key)
        bool had = model.Remove(e);
        ASSERT_EQ(host.Call(m, s.Decl("Remove(key as {K}) as integer"), {e.key}).i(), had ? 1 : 0);
        break;
      }
      case 6: {  // value(key), lookup
        ModelEntry* present = model.Find(e);
        Word got = keep(s.value, host.Call(m, s.Decl("value(key as {K}) as {V}"), {e.key}));
        if (present) {
          ASSERT_EQ(got, present->value);
        } else {
          ASSERT_EQ(got, 0u);
          ASSERT_TRUE(standin::TookException(host, "KeyNotFoundException", "Key not found"));
        }
        break;
      }
      case 7: {  // Remove(pos) through find
        ModelEntry* present = model.Find(e);
        Word it = iteratorAt(e);
        if (present) model.Remove(*present);
        host.Call(m, s.Decl("Remove(pos as {I})"), {it});
        break;
      }
      case 8: {  // Remove(first, last) between two present keys, when it is a run
        std::vector<ModelEntry> order = model.Order();
        if (order.size() < 2) break;
        size_t a = random() % order.size(), b = random() % (order.size() + 1);
        Word first = iteratorAt(order[a]);
        Word last = b == order.size() ? keep(Kind::Variant, host.Call(m, s.Decl("last as {I}")))
                                      : iteratorAt(order[b]);
        host.Call(m, s.Decl("Remove(first as {I}, last as {I})"), {first, last});
        for (size_t i = a; i < b; ++i) model.Remove(order[i]);
        break;
      }
      case 9:  // Key(index) out of range
        ASSERT_EQ(host.Call(m, s.Decl("Key(index as integer) as {K}"),
                            {static_cast<int32_t>(model.size())})
                      .word,
                  0u);
        ASSERT_TRUE(standin::TookException(host, "OutOfBoundsException",
                                           "Parameter index  is too big. Range is 0 to " +
                                               std::to_string(static_cast<int>(model.size()) - 1) +
                                               ", but value is " + std::to_string(model.size()) +
                                               "."));
        break;
      case 10:
        if (random() % 8 == 0) {
          host.Call(m, "Clear");
          model.Clear();
        }
        break;
      default:
        ASSERT_NO_FATAL_FAILURE(check());
        break;
    }
    ASSERT_FALSE(host.ExceptionPending()) << "step " << step;
  }
  ASSERT_NO_FATAL_FAILURE(check());
}

std::vector<MemberSpec> Members() {
  std::vector<MemberSpec> out;
  for (bool cs : {true, false}) {
    out.push_back(Map("TextToText", Kind::Text, Kind::Text, "Text", "Text", cs));
    out.push_back(Map("StringToVariant", Kind::String, Kind::Variant, "string", "variant", cs));
    out.push_back(Map("VariantToVariant", Kind::Variant, Kind::Variant, "variant", "variant", cs));
  }
  out.push_back(Map("TextToVariant", Kind::Text, Kind::Variant, "Text", "Variant", true));
  out.push_back(Map("StringToString", Kind::String, Kind::String, "string", "string", false));
  out.push_back(Map("IntegerToText", Kind::Integer, Kind::Text, "integer", "text", true));
  out.push_back(Map("IntegerToString", Kind::Integer, Kind::String, "integer", "string", true));
  out.push_back(Map("IntegerToVariant", Kind::Integer, Kind::Variant, "integer", "variant", true));
  out.push_back(Map("IntegerToInteger", Kind::Integer, Kind::Integer, "integer", "integer", true));
  return out;
}

INSTANTIATE_TEST_SUITE_P(Members, HashMapModelTest, ::testing::ValuesIn(Members()),
                         [](const ::testing::TestParamInfo<MemberSpec>& info) {
                           return info.param.Name();
                         });

}  // namespace
}  // namespace kdt_test
