// The nine hash map classes and their iterator classes: one row per member.
#include <vector>

#include "containers/common/ClassBuilder.h"
#include "containers/hashmap/HashMapFamily.h"
#include "plugin/Registration.h"

namespace kdt {
namespace hashmap {
namespace {

// Member, key kind, value kind, and the type words of its declarations.
#define KDT_HASH_MAP_MEMBERS(X)                                       \
  X(TextToText, TextKind, TextKind, "Text", "Text")                   \
  X(TextToVariant, TextKind, VariantKind, "Text", "Variant")          \
  X(StringToString, StringKind, StringKind, "string", "string")       \
  X(StringToVariant, StringKind, VariantKind, "string", "variant")    \
  X(VariantToVariant, VariantKind, VariantKind, "variant", "variant") \
  X(IntegerToText, IntegerKind, TextKind, "integer", "text")          \
  X(IntegerToString, IntegerKind, StringKind, "integer", "string")    \
  X(IntegerToVariant, IntegerKind, VariantKind, "integer", "variant") \
  X(IntegerToInteger, IntegerKind, IntegerKind, "integer", "integer")

#define KDT_DEFINE_MEMBER(Name, Key, Value, keyWord, valueWord)                                \
  struct Name {                                                                                \
    using KeyKind = Key;                                                                       \
    using ValueKind = Value;                                                                   \
    static constexpr TypeWords kWords{#Name "HashMapKDT", #Name "HashMapIteratorKDT", keyWord, \
                                      valueWord};                                              \
  };
KDT_HASH_MAP_MEMBERS(KDT_DEFINE_MEMBER)
#undef KDT_DEFINE_MEMBER

constexpr uint32_t kMapDataSize = 24;
constexpr uint32_t kIteratorDataSize = 8;

template <typename Member>
void AddMember(ClassRecordSink& sink) {
  using C = HashMapClass<Member>;
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
    methods.push_back({"Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
                       Guarded<&C::ConstructFromDictionaryWithCase>(), nullptr});
  } else {
    methods.push_back({"Constructor", Guarded<&C::Construct>(), nullptr});
    methods.push_back(
        {"Constructor(dic as dictionary)", Guarded<&C::ConstructFromDictionary>(), nullptr});
  }
  const std::vector<MethodSpec> rest = {
      {"Constructor(other as {C})", Guarded<&C::ConstructFromOther>(), nullptr},
      {"CloneDictionary as Dictionary", Guarded<&C::CloneDictionary>(), nullptr},
      {"Operator_Convert as Dictionary", Guarded<&C::CloneDictionary>(), nullptr},
      {"Clone as {C}", Guarded<&C::Clone>(), nullptr},
      {"Clear", Guarded<&C::Clear>(), nullptr},
      {"ValueAtIndex(index as integer) as {V}", Guarded<&C::ValueAtIndex>(), nullptr},
      {"Key(index as integer) as {K}", Guarded<&C::KeyAtIndex>(), nullptr},
      {"Keys as {K}()", Guarded<&C::Keys>(), nullptr},
      {"Values as {V}()", Guarded<&C::Values>(), nullptr},
      {"AddKeys(targetArray() as {K})", Guarded<&C::AddKeys>(), nullptr},
      {"AddValues(targetArray() as {V})", Guarded<&C::AddValues>(), nullptr},
      {"first as {I}", Guarded<&C::First>(), nullptr},
      {"last as {I}", Guarded<&C::Last>(), nullptr},
      {"Remove(pos as {I})", Guarded<&C::RemoveAt>(), nullptr},
      {"Remove(first as {I}, last as {I})", Guarded<&C::RemoveRange>(), nullptr},
      {"Remove(key as {K}) as integer", Guarded<&C::RemoveKey>(), nullptr},
      {"CountKey(key as {K}) as integer", Guarded<&C::CountKey>(), nullptr},
      {"find(key as {K}) as {I}", Guarded<&C::Find>(), nullptr},
      {"value(key as {K}) as {V}", Guarded<&C::GetValue>(), Guarded<&C::SetValue>()},
      {"hasKey(key as {K}) as boolean", Guarded<&C::HasKey>(), nullptr},
      {"lookup(key as {K}, defaultvalue as {V}) as {V}", Guarded<&C::Lookup>(), nullptr},
  };
  methods.insert(methods.end(), rest.begin(), rest.end());
  Records<Member>::map =
      BuildClassRecord(words, kMapDataSize, AsHostFunction(&C::Destroy), properties, methods);
  sink.Add(Records<Member>::map);

  const TypeWords iteratorWords{words.iteratorName, words.iteratorName, words.keyWord,
                                words.valueWord};
  const std::vector<MethodSpec> iteratorMethods = {
      {"MoveNext", Guarded<&C::IteratorMoveNext>(), nullptr},
      {"Key as {K}", Guarded<&C::IteratorKey>(), nullptr},
      {"Value as {V}", Guarded<&C::IteratorGetValue>(), Guarded<&C::IteratorSetValue>()},
      {"isEqual(other as {I}) as boolean", Guarded<&C::IteratorIsEqual>(), nullptr},
      {"isNotEqual(other as {I}) as boolean", Guarded<&C::IteratorIsNotEqual>(), nullptr},
  };
  Records<Member>::iterator =
      BuildClassRecord(iteratorWords, kIteratorDataSize, nullptr, {}, iteratorMethods);
  sink.Add(Records<Member>::iterator);
}

}  // namespace
}  // namespace hashmap

void ProvideHashMapClassRecords(ClassRecordSink& sink) {
#define KDT_ADD_MEMBER(Name, ...) hashmap::AddMember<hashmap::Name>(sink);
  KDT_HASH_MAP_MEMBERS(KDT_ADD_MEMBER)
#undef KDT_ADD_MEMBER
}

}  // namespace kdt
