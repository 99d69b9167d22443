// The member table's rows as types, and how the records of one row are built.
// The rows' records are built in two translation units (MembersFirstHalf.cpp
// and MembersSecondHalf.cpp), each instantiating the engine for half the
// table, so that a build spreads them over two cores.
#pragma once

#include <type_traits>

#include "containers/engine/ClassBuilder.h"
#include "containers/members/Members.h"
#include "containers/shape/MapClass.h"
#include "containers/shape/SetClass.h"
#include "plugin/Registration.h"

namespace kdt {
namespace members {

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

// Each row's place in the table.
enum Row : int {
#define KDT_MEMBER_ROW(Class, ...) k##Class,
  KDT_CONTAINER_MEMBERS(KDT_MEMBER_ROW)
#undef KDT_MEMBER_ROW
      kRows
};

// The class that supplies a member's method functions.
template <typename Member>
using ClassOf = std::conditional_t<std::is_same_v<typename Member::Shape, MapShape>,
                                   MapClass<Member>, SetClass<Member>>;

// The tables of a member's container class and of its iterator class.
template <typename Member>
struct ContainerTables {
  using C = ClassOf<Member>;
  static constexpr const TypeWords& kWords = Member::kWords;
  static constexpr MemberFacts kFacts = C::kFacts;
  static constexpr const auto& kProperties = C::kProperties;
  static constexpr const auto& kMethods = C::kMethods;
};
template <typename Member>
struct IteratorTables {
  using C = ClassOf<Member>;
  static constexpr TypeWords kWords{Member::kWords.iteratorName, Member::kWords.iteratorName,
                                    Member::kWords.keyWord, Member::kWords.valueWord};
  static constexpr MemberFacts kFacts = C::kFacts;
  static constexpr kdt::Row kProperties[] = {kdt::Row()};
  static constexpr const auto& kMethods = C::kIteratorMethods;
};

template <typename Member>
void AddMember(ClassRecordSink& sink) noexcept {
  using C = ClassOf<Member>;
  Records<Member>::container = StaticClassRecord<ContainerTables<Member>>::Fill(
      sizeof(typename Container<Member>::Data), AsHostFunction(&C::Destroy));
  sink.Add(Records<Member>::container);
  Records<Member>::iterator =
      StaticClassRecord<IteratorTables<Member>>::Fill(sizeof(IteratorData), nullptr);
  sink.Add(Records<Member>::iterator);
}

// Adds the records of the given row when it lies in [First, Last); the rows
// outside are not instantiated.
template <int First, int Last>
void AddRowIn(int row, ClassRecordSink& sink) noexcept {
#define KDT_ADD_ROW(Class, ...)                         \
  if constexpr (k##Class >= First && k##Class < Last) { \
    if (row == k##Class) AddMember<Class>(sink);        \
  }
  KDT_CONTAINER_MEMBERS(KDT_ADD_ROW)
#undef KDT_ADD_ROW
}

void AddFirstHalfRow(int row, ClassRecordSink& sink) noexcept;
void AddSecondHalfRow(int row, ClassRecordSink& sink) noexcept;

}  // namespace members
}  // namespace kdt
