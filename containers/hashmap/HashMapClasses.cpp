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
  properties.push_back({"MaxSize", "Integer", AsHostFunction(&C::MaxSize), 0});
  properties.push_back({"Count", "Integer", AsHostFunction(&C::Count), 0});
  properties.push_back({"BinCount", "Integer", AsHostFunction(&C::BinCount), 0});
  properties.push_back({"Empty", "Boolean", AsHostFunction(&C::Empty), 0});

  std::vector<MethodSpec> methods;
  if (C::kHasCaseModes) {
    methods.push_back({"Constructor(CaseSensitive as Boolean = true)",
                       AsHostFunction(&C::ConstructWithCase), nullptr});
    methods.push_back({"Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
                       AsHostFunction(&C::ConstructFromDictionaryWithCase), nullptr});
  } else {
    methods.push_back({"Constructor", AsHostFunction(&C::Construct), nullptr});
    methods.push_back(
        {"Constructor(dic as dictionary)", AsHostFunction(&C::ConstructFromDictionary), nullptr});
  }
  const std::vector<MethodSpec> rest = {
      {"Constructor(other as {C})", AsHostFunction(&C::ConstructFromOther), nullptr},
      {"CloneDictionary as Dictionary", AsHostFunction(&C::CloneDictionary), nullptr},
      {"Operator_Convert as Dictionary", AsHostFunction(&C::CloneDictionary), nullptr},
      {"Clone as {C}", AsHostFunction(&C::Clone), nullptr},
      {"Clear", AsHostFunction(&C::Clear), nullptr},
      {"ValueAtIndex(index as integer) as {V}", AsHostFunction(&C::ValueAtIndex), nullptr},
      {"Key(index as integer) as {K}", AsHostFunction(&C::KeyAtIndex), nullptr},
      {"Keys as {K}()", AsHostFunction(&C::Keys), nullptr},
      {"Values as {V}()", AsHostFunction(&C::Values), nullptr},
      {"AddKeys(targetArray() as {K})", AsHostFunction(&C::AddKeys), nullptr},
      {"AddValues(targetArray() as {V})", AsHostFunction(&C::AddValues), nullptr},
      {"first as {I}", AsHostFunction(&C::First), nullptr},
      {"last as {I}", AsHostFunction(&C::Last), nullptr},
      {"Remove(pos as {I})", AsHostFunction(&C::RemoveAt), nullptr},
      {"Remove(first as {I}, last as {I})", AsHostFunction(&C::RemoveRange), nullptr},
      {"Remove(key as {K}) as integer", AsHostFunction(&C::RemoveKey), nullptr},
      {"CountKey(key as {K}) as integer", AsHostFunction(&C::CountKey), nullptr},
      {"find(key as {K}) as {I}", AsHostFunction(&C::Find), nullptr},
      {"value(key as {K}) as {V}", AsHostFunction(&C::GetValue), AsHostFunction(&C::SetValue)},
      {"hasKey(key as {K}) as boolean", AsHostFunction(&C::HasKey), nullptr},
      {"lookup(key as {K}, defaultvalue as {V}) as {V}", AsHostFunction(&C::Lookup), nullptr},
  };
  methods.insert(methods.end(), rest.begin(), rest.end());
  Records<Member>::map =
      BuildClassRecord(words, kMapDataSize, AsHostFunction(&C::Destroy), properties, methods);
  sink.Add(Records<Member>::map);

  const TypeWords iteratorWords{words.iteratorName, words.iteratorName, words.keyWord,
                                words.valueWord};
  const std::vector<MethodSpec> iteratorMethods = {
      {"MoveNext", AsHostFunction(&C::IteratorMoveNext), nullptr},
      {"Key as {K}", AsHostFunction(&C::IteratorKey), nullptr},
      {"Value as {V}", AsHostFunction(&C::IteratorGetValue), AsHostFunction(&C::IteratorSetValue)},
      {"isEqual(other as {I}) as boolean", AsHostFunction(&C::IteratorIsEqual), nullptr},
      {"isNotEqual(other as {I}) as boolean", AsHostFunction(&C::IteratorIsNotEqual), nullptr},
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
