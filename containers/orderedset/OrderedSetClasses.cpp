// The four ordered set classes and their iterator classes: one row per member.
#include <type_traits>
#include <vector>

#include "containers/common/ClassBuilder.h"
#include "containers/orderedset/OrderedSetFamily.h"
#include "plugin/Registration.h"

namespace kdt {
namespace orderedset {
namespace {

// Set class, iterator class, element kind, the type word of its
// declarations, and MaxSize: 4294967295 divided by the size of one tree node
// (24 bytes with a handle element, 20 with an Integer).
// clang-format off
#define KDT_ORDERED_SET_MEMBERS(X)                                                                   \
  X(IntegerOrderedSetKDT, IntegerOrderedSetIteratorKDT, IntegerKind, "integer", 214748364) \
  X(TextOrderedSetKDT,    TextOrderedSetIteratorKDT,    TextKind,    "Text",    178956970) \
  X(StringOrderedSetKDT,  StringOrderedSetIteratorKDT,  StringKind,  "string",  178956970) \
  X(VariantOrderedSetKDT, VariantOrderedSetIteratorKDT, VariantKind, "variant", 178956970)
// clang-format on

#define KDT_DEFINE_MEMBER(Class, Iterator, Element, keyWord, maxSize)  \
  struct Class {                                                       \
    using ElementKind = Element;                                       \
    static constexpr TypeWords kWords{#Class, #Iterator, keyWord, ""}; \
    static constexpr int32_t kMaxSize = maxSize;                       \
  };
KDT_ORDERED_SET_MEMBERS(KDT_DEFINE_MEMBER)
#undef KDT_DEFINE_MEMBER

constexpr uint32_t kSetDataSize = 16;
constexpr uint32_t kIteratorDataSize = 8;

template <typename Member>
void AddMember(ClassRecordSink& sink) {
  using C = OrderedSetClass<Member>;
  const TypeWords& words = Member::kWords;

  std::vector<PropertySpec> properties;
  if (C::kHasCaseModes) {
    properties.push_back({"CaseSensitive", "Boolean", StandardGetter(), C::kCaseSensitiveOffset});
  }
  properties.push_back({"MaxSize", "Integer", Guarded<&C::MaxSize>(), 0});
  properties.push_back({"Count", "Integer", Guarded<&C::Count>(), 0});
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
      {"LowerBound(key as {K}) as {I}", Guarded<&C::LowerBound>(), nullptr},
      {"UpperBound(key as {K}) as {I}", Guarded<&C::UpperBound>(), nullptr},
  };
  methods.insert(methods.end(), rest.begin(), rest.end());
  Records<Member>::set =
      BuildClassRecord(words, kSetDataSize, AsHostFunction(&C::Destroy), properties, methods);
  sink.Add(Records<Member>::set);

  const TypeWords iteratorWords{words.iteratorName, words.iteratorName, words.keyWord, ""};
  const std::vector<MethodSpec> iteratorMethods = {
      {"MoveNext", Guarded<&C::IteratorMoveNext>(), nullptr},
      {"Key as {K}", Guarded<&C::IteratorKey>(), nullptr},
      {"isEqual(other as {I}) as boolean", Guarded<&C::IteratorIsEqual>(), nullptr},
      {"isNotEqual(other as {I}) as boolean", Guarded<&C::IteratorIsNotEqual>(), nullptr},
      {"MovePrev", Guarded<&C::IteratorMovePrev>(), nullptr},
  };
  Records<Member>::iterator =
      BuildClassRecord(iteratorWords, kIteratorDataSize, nullptr, {}, iteratorMethods);
  sink.Add(Records<Member>::iterator);
}

}  // namespace
}  // namespace orderedset

void ProvideOrderedSetClassRecords(ClassRecordSink& sink) {
#define KDT_ADD_MEMBER(Class, ...) orderedset::AddMember<orderedset::Class>(sink);
  KDT_ORDERED_SET_MEMBERS(KDT_ADD_MEMBER)
#undef KDT_ADD_MEMBER
}

}  // namespace kdt
