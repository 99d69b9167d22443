// The four hash set classes and their iterator classes: one row per member.
#include <type_traits>
#include <vector>

#include "containers/common/ClassBuilder.h"
#include "containers/hashset/HashSetFamily.h"
#include "plugin/Registration.h"

namespace kdt {
namespace hashset {
namespace {

// Member, element kind, and the type word of its declarations.
#define KDT_HASH_SET_MEMBERS(X)      \
  X(String, StringKind, "string")    \
  X(Text, TextKind, "Text")          \
  X(Variant, VariantKind, "variant") \
  X(Integer, IntegerKind, "integer")

#define KDT_DEFINE_MEMBER(Name, Element, word)                                                     \
  struct Name {                                                                                    \
    using ElementKind = Element;                                                                   \
    static constexpr TypeWords kWords{#Name "HashSetKDT", #Name "HashSetIteratorKDT", word, word}; \
  };
KDT_HASH_SET_MEMBERS(KDT_DEFINE_MEMBER)
#undef KDT_DEFINE_MEMBER

constexpr uint32_t kSetDataSize = 16;
constexpr uint32_t kIteratorDataSize = 8;

template <typename Member>
void AddMember(ClassRecordSink& sink) {
  using C = HashSetClass<Member>;
  const TypeWords& words = Member::kWords;

  std::vector<PropertySpec> properties;
  if (C::kHasCaseModes) {
    properties.push_back({"CaseSensitive", "Boolean", StandardGetter(), kCaseSensitiveOffset});
  }
  properties.push_back({"MaxSize", "Integer", AsHostFunction(&C::MaxSize), 0});
  properties.push_back({"Count", "Integer", AsHostFunction(&C::Count), 0});
  properties.push_back({"BinCount", "Integer", AsHostFunction(&C::BinCount), 0});
  properties.push_back({"Empty", "Boolean", AsHostFunction(&C::Empty), 0});

  std::vector<MethodSpec> methods;
  if (C::kHasCaseModes) {
    methods.push_back({"Constructor(CaseSensitive as Boolean = true)",
                       AsHostFunction(&C::ConstructWithCase), nullptr});
  } else {
    methods.push_back({"Constructor", AsHostFunction(&C::Construct), nullptr});
  }
  if constexpr (std::is_same<typename Member::ElementKind, VariantKind>::value) {
    methods.push_back(
        {"Constructor(Keys() as string)", AsHostFunction(&C::ConstructFromStringArray), nullptr});
  }
  const std::vector<MethodSpec> rest = {
      {"Constructor(Keys() as {K})", AsHostFunction(&C::ConstructFromArray), nullptr},
      {"Clear", AsHostFunction(&C::Clear), nullptr},
      {"Key(index as integer) as {K}", AsHostFunction(&C::KeyAtIndex), nullptr},
      {"Keys as {K}()", AsHostFunction(&C::Keys), nullptr},
      {"first as {I}", AsHostFunction(&C::First), nullptr},
      {"last as {I}", AsHostFunction(&C::Last), nullptr},
      {"Remove(pos as {I})", AsHostFunction(&C::RemoveAt), nullptr},
      {"Remove(first as {I}, last as {I})", AsHostFunction(&C::RemoveRange), nullptr},
      {"Remove(key as {K}) as integer", AsHostFunction(&C::RemoveKey), nullptr},
      {"CountKey(key as {K}) as integer", AsHostFunction(&C::CountKey), nullptr},
      {"find(key as {K}) as {I}", AsHostFunction(&C::Find), nullptr},
      {"lookup(key as {K}) as boolean", AsHostFunction(&C::Lookup), nullptr},
      {"insert(key as {K})", AsHostFunction(&C::Insert), nullptr},
  };
  methods.insert(methods.end(), rest.begin(), rest.end());
  Records<Member>::set =
      BuildClassRecord(words, kSetDataSize, AsHostFunction(&C::Destroy), properties, methods);
  sink.Add(Records<Member>::set);

  const TypeWords iteratorWords{words.iteratorName, words.iteratorName, words.keyWord,
                                words.valueWord};
  const std::vector<MethodSpec> iteratorMethods = {
      {"MoveNext", AsHostFunction(&C::IteratorMoveNext), nullptr},
      {"Key as {K}", AsHostFunction(&C::IteratorKey), nullptr},
      {"isEqual(other as {I}) as boolean", AsHostFunction(&C::IteratorIsEqual), nullptr},
      {"isNotEqual(other as {I}) as boolean", AsHostFunction(&C::IteratorIsNotEqual), nullptr},
  };
  Records<Member>::iterator =
      BuildClassRecord(iteratorWords, kIteratorDataSize, nullptr, {}, iteratorMethods);
  sink.Add(Records<Member>::iterator);
}

}  // namespace
}  // namespace hashset

void ProvideHashSetClassRecords(ClassRecordSink& sink) {
#define KDT_ADD_MEMBER(Name, ...) hashset::AddMember<hashset::Name>(sink);
  KDT_HASH_SET_MEMBERS(KDT_ADD_MEMBER)
#undef KDT_ADD_MEMBER
}

}  // namespace kdt
