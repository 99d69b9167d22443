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
  properties.push_back({"MaxSize", "Integer", Guarded<&C::MaxSize>(), 0});
  properties.push_back({"Count", "Integer", Guarded<&C::Count>(), 0});
  properties.push_back({"BinCount", "Integer", Guarded<&C::BinCount>(), 0});
  properties.push_back({"Empty", "Boolean", Guarded<&C::Empty>(), 0});

  std::vector<MethodSpec> methods;
  if (C::kHasCaseModes) {
    methods.push_back({"Constructor(CaseSensitive as Boolean = true)",
                       Guarded<&C::ConstructWithCase>(), nullptr});
  } else {
    methods.push_back({"Constructor", Guarded<&C::Construct>(), nullptr});
  }
  if constexpr (std::is_same<typename Member::ElementKind, VariantKind>::value) {
    methods.push_back(
        {"Constructor(Keys() as string)", Guarded<&C::ConstructFromStringArray>(), nullptr});
  }
  const std::vector<MethodSpec> rest = {
      {"Constructor(Keys() as {K})", Guarded<&C::ConstructFromArray>(), nullptr},
      {"Clear", Guarded<&C::Clear>(), nullptr},
      {"Key(index as integer) as {K}", Guarded<&C::KeyAtIndex>(), nullptr},
      {"Keys as {K}()", Guarded<&C::Keys>(), nullptr},
      {"first as {I}", Guarded<&C::First>(), nullptr},
      {"last as {I}", Guarded<&C::Last>(), nullptr},
      {"Remove(pos as {I})", Guarded<&C::RemoveAt>(), nullptr},
      {"Remove(first as {I}, last as {I})", Guarded<&C::RemoveRange>(), nullptr},
      {"Remove(key as {K}) as integer", Guarded<&C::RemoveKey>(), nullptr},
      {"CountKey(key as {K}) as integer", Guarded<&C::CountKey>(), nullptr},
      {"find(key as {K}) as {I}", Guarded<&C::Find>(), nullptr},
      {"lookup(key as {K}) as boolean", Guarded<&C::Lookup>(), nullptr},
      {"insert(key as {K})", Guarded<&C::Insert>(), nullptr},
  };
  methods.insert(methods.end(), rest.begin(), rest.end());
  Records<Member>::set =
      BuildClassRecord(words, kSetDataSize, AsHostFunction(&C::Destroy), properties, methods);
  sink.Add(Records<Member>::set);

  const TypeWords iteratorWords{words.iteratorName, words.iteratorName, words.keyWord,
                                words.valueWord};
  const std::vector<MethodSpec> iteratorMethods = {
      {"MoveNext", Guarded<&C::IteratorMoveNext>(), nullptr},
      {"Key as {K}", Guarded<&C::IteratorKey>(), nullptr},
      {"isEqual(other as {I}) as boolean", Guarded<&C::IteratorIsEqual>(), nullptr},
      {"isNotEqual(other as {I}) as boolean", Guarded<&C::IteratorIsNotEqual>(), nullptr},
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
