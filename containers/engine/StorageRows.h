// The declarations only one storage has, added to every shape's table:
// hash tables show their bucket count, trees their bounds and a way back.
#pragma once

#include "containers/engine/ClassBuilder.h"
#include "containers/storage/HashStorage.h"
#include "containers/storage/TreeStorage.h"

namespace kdt {

template <typename Storage>
struct StorageRows;

// Each gives, for the engine class C, one row standing for its properties,
// its container methods and its iterator methods.
template <>
struct StorageRows<HashStorage> {
  template <typename C>
  static constexpr Row kPropertyRows[] = {{"BinCount", "Integer", Guarded<&C::BinCount>}};
  template <typename C>
  static constexpr Row kProperties = Row(kPropertyRows<C>);
  template <typename C>
  static constexpr Row kMethods = Row();
  template <typename C>
  static constexpr Row kIteratorMethods = Row();
};

template <bool Ascending, bool Indexed>
struct StorageRows<TreeStorage<Ascending, Indexed>> {
  template <typename C>
  static constexpr Row kProperties = Row();
  template <typename C>
  static constexpr Row kMethodRows[] = {
      {"LowerBound(key as {K}) as {I}", Guarded<&C::LowerBound>},
      {"UpperBound(key as {K}) as {I}", Guarded<&C::UpperBound>},
  };
  template <typename C>
  static constexpr Row kMethods = Row(kMethodRows<C>);
  template <typename C>
  static constexpr Row kIteratorMethodRows[] = {{"MovePrev", Guarded<&C::IteratorMovePrev>}};
  template <typename C>
  static constexpr Row kIteratorMethods = Row(kIteratorMethodRows<C>);
};

}  // namespace kdt
