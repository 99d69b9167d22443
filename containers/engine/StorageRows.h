// The declarations only one storage has, added to every shape's table:
// hash tables show their bucket count, trees their bounds and a way back.
#pragma once

#include <vector>

#include "containers/engine/ClassBuilder.h"
#include "containers/storage/HashStorage.h"
#include "containers/storage/TreeStorage.h"

namespace kdt {

template <typename Storage>
struct StorageRows;

template <>
struct StorageRows<HashStorage> {
  template <typename C>
  static std::vector<PropertyRow> Properties() {
    return {{"BinCount", "Integer", Guarded<&C::BinCount>()}};
  }
  template <typename C>
  static std::vector<MethodRow> Methods() {
    return {};
  }
  template <typename C>
  static std::vector<MethodRow> IteratorMethods() {
    return {};
  }
};

template <bool Ascending, bool Indexed>
struct StorageRows<TreeStorage<Ascending, Indexed>> {
  template <typename C>
  static std::vector<PropertyRow> Properties() {
    return {};
  }
  template <typename C>
  static std::vector<MethodRow> Methods() {
    return {
        {"LowerBound(key as {K}) as {I}", Guarded<&C::LowerBound>()},
        {"UpperBound(key as {K}) as {I}", Guarded<&C::UpperBound>()},
    };
  }
  template <typename C>
  static std::vector<MethodRow> IteratorMethods() {
    return {{"MovePrev", Guarded<&C::IteratorMovePrev>()}};
  }
};

}  // namespace kdt
