// The nine ordered map classes and their iterator classes: one row per member.
#include <iterator>
#include <vector>

#include "containers/common/ClassBuilder.h"
#include "containers/orderedmap/OrderedMapFamily.h"
#include "plugin/Registration.h"

namespace kdt {
namespace orderedmap {
namespace {

// Map class, iterator class, key kind, value kind, the type words of its
// declarations, and MaxSize: 4294967295 divided by the size of one tree node
// (32 bytes with String, Text or Variant keys, 28 with Integer keys and handle
// values, 24 for Integer to Integer).
// clang-format off
#define KDT_ORDERED_MAP_MEMBERS(X)                                                                                                     \
  X(IntegerToStringOrderedMapKDT,  IntegerToStringOrderedMapIteratorKDT,  IntegerKind, StringKind,  "integer", "string",  153391689) \
  X(IntegerToTextOrderedMapKDT,    IntegerToTextOrderedMapIteratorKDT,    IntegerKind, TextKind,    "integer", "Text",    153391689) \
  X(IntegerToIntegerOrderedMapKDT, IntegerToIntegerOrderedMapIteratorKDT, IntegerKind, IntegerKind, "integer", "integer", 178956970) \
  X(IntegerToVariantOrderedMapKDT, IntegerToVariantOrderedMapIteratorKDT, IntegerKind, VariantKind, "integer", "variant", 153391689) \
  X(TextToTextOrderedMapKDT,       TextToTextOrderedMapIteratorKDT,       TextKind,    TextKind,    "Text",    "Text",    134217727) \
  X(TextToVariantOrderedMapKDT,    TextToVariantOrderedMapIteratorKDT,    TextKind,    VariantKind, "Text",    "variant", 134217727) \
  X(StringToStringOrderedMapKDT,   StringToStringOrderedMapIteratorKDT,   StringKind,  StringKind,  "string",  "string",  134217727) \
  X(StringToVariantOrderedMapKDT,  StringToVariantOrderedMapIteratorKDT,  StringKind,  VariantKind, "string",  "variant", 134217727) \
  X(VariantToVariantOrderedMapKDT, VariantToVariantMapIteratorKDT,        VariantKind, VariantKind, "variant", "variant", 134217727)
// clang-format on

#define KDT_DEFINE_MEMBER(Class, Iterator, Key, Value, keyWord, valueWord, maxSize) \
  struct Class {                                                                    \
    using KeyKind = Key;                                                            \
    using ValueKind = Value;                                                        \
    static constexpr TypeWords kWords{#Class, #Iterator, keyWord, valueWord};       \
    static constexpr int32_t kMaxSize = maxSize;                                    \
  };
KDT_ORDERED_MAP_MEMBERS(KDT_DEFINE_MEMBER)
#undef KDT_DEFINE_MEMBER

constexpr uint32_t kMapDataSize = 24;
constexpr uint32_t kIteratorDataSize = 8;

template <typename Member>
void AddMember(ClassRecordSink& sink) {
  using C = OrderedMapClass<Member>;
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
      {"LowerBound(key as {K}) as {I}", Guarded<&C::LowerBound>(), nullptr},
      {"UpperBound(key as {K}) as {I}", Guarded<&C::UpperBound>(), nullptr},
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
      {"MovePrev", Guarded<&C::IteratorMovePrev>(), nullptr},
  };
  Records<Member>::iterator =
      BuildClassRecord(iteratorWords, kIteratorDataSize, nullptr, {}, iteratorMethods);
  sink.Add(Records<Member>::iterator);
}

}  // namespace
}  // namespace orderedmap

void ProvideOrderedMapClassRecords(ClassRecordSink& sink) {
#define KDT_ADD_MEMBER(Class, ...) orderedmap::AddMember<orderedmap::Class>(sink);
  KDT_ORDERED_MAP_MEMBERS(KDT_ADD_MEMBER)
#undef KDT_ADD_MEMBER
}

}  // namespace kdt
