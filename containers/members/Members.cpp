// The records of every member of the member table.
#include "containers/members/Members.h"

#include <type_traits>

#include "containers/engine/ClassBuilder.h"
#include "containers/engine/StorageRows.h"
#include "containers/shape/MapClass.h"
#include "containers/shape/SetClass.h"
#include "plugin/Registration.h"

namespace kdt {
namespace {

using AscendingTree = TreeStorage<true>;
using DescendingTree = TreeStorage<false>;
using AscendingIndexedTree = TreeStorage<true, true>;
using DescendingIndexedTree = TreeStorage<false, true>;

#define KDT_DEFINE_MEMBER(Class, Iterator, ShapeName, StorageName, Key, Value, keyWord, valueWord, \
                          maxSize)                                                                 \
  struct Class {                                                                                   \
    using Shape = ShapeName;                                                                       \
    using Storage = StorageName;                                                                   \
    using KeyKind = Key;                                                                           \
    using ValueKind = Value;                                                                       \
    static constexpr TypeWords kWords{#Class, #Iterator, keyWord, valueWord};                      \
    static constexpr int32_t kMaxSize = maxSize;                                                   \
  };
KDT_CONTAINER_MEMBERS(KDT_DEFINE_MEMBER)
#undef KDT_DEFINE_MEMBER

// The class that supplies a member's method functions.
template <typename Member>
using ClassOf = std::conditional_t<std::is_same_v<typename Member::Shape, MapShape>,
                                   MapClass<Member>, SetClass<Member>>;

template <typename Member>
void AddMember(ClassRecordSink& sink) {
  using C = ClassOf<Member>;
  using Rows = StorageRows<typename Member::Storage>;
  const MemberFacts facts{C::kHasCaseModes, C::kVariantElements};
  const TypeWords& words = Member::kWords;

  Records<Member>::container =
      BuildClassRecord(words, sizeof(typename Container<Member>::Data), AsHostFunction(&C::Destroy),
                       SelectRows(C::Properties(), Rows::template Properties<C>(), facts),
                       SelectRows(C::Methods(), Rows::template Methods<C>(), facts));
  sink.Add(Records<Member>::container);

  const TypeWords iteratorWords{words.iteratorName, words.iteratorName, words.keyWord,
                                words.valueWord};
  Records<Member>::iterator = BuildClassRecord(
      iteratorWords, sizeof(IteratorData), nullptr, {},
      SelectRows(C::IteratorMethods(), Rows::template IteratorMethods<C>(), facts));
  sink.Add(Records<Member>::iterator);
}

}  // namespace

void ProvideContainerClassRecords(ClassRecordSink& sink) {
#define KDT_ADD_MEMBER(Class, ...) AddMember<Class>(sink);
  KDT_CONTAINER_MEMBERS(KDT_ADD_MEMBER)
#undef KDT_ADD_MEMBER
}

}  // namespace kdt
