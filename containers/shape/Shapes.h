// The two shapes of a container: a map keeps a value with every key, a set
// keeps the key (its element) alone.  A shape says what sits beside a key,
// how the instance data is laid out, and the few messages and rules in
// which maps and sets answer a host differently; the code is the engine's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "containers/storage/Positions.h"
#include "plugin/host/HostTypes.h"

namespace kdt {

inline constexpr char kOtherIteratorIsNil[] = "other iterator is nil";
inline constexpr char kIteratorIsNil[] = "Iterator is nil";

// The arrays that Keys and Values hand the program (values: maps only),
// made on the first call that needs them and kept until the next change.
// An array stays empty until it is handed out, so that index calls cost the
// host nothing: they answer from `order`, the table's positions in iteration
// order, made on the first index call.  Once the program has an array it may
// change or resize it, and index calls read that array instead.
inline constexpr uint8_t kKeysHandedOut = 1, kValuesHandedOut = 2;
template <typename Table>
struct OrderOf {
  std::vector<typename Table::Pos> positions;
};
template <>
struct OrderOf<void> {};
template <typename TableS, typename TableI>
struct ArrayCache {
  REALarray keys = nullptr;
  REALarray values = nullptr;
  uint8_t handedOut = 0;  // kKeysHandedOut | kValuesHandedOut
  OrderOf<TableS> orderS;
  OrderOf<TableI> orderI;  // only one of the two is used: the table's
};

// Instance data of a map (24 bytes): the table of its case mode, its arrays,
// and the host-read case flag.
template <typename TableS, typename TableI>
struct MapData {
  TableS* tableS;
  TableI* tableI;
  ArrayCache<TableS, TableI>* arrays;
  uint32_t unused;
  uint8_t caseSensitive;  // read by the host itself (standard getter)
  uint8_t unusedBytes[7];
};
using AnyMapData = MapData<void, void>;
static_assert(sizeof(AnyMapData) == 24 && offsetof(AnyMapData, caseSensitive) == 16,
              "map instance data is 24 bytes, the case flag at 16");

// Instance data of a set (16 bytes).
template <typename TableS, typename TableI>
struct SetData {
  TableS* tableS;
  TableI* tableI;
  uint8_t caseSensitive;  // read by the host itself (standard getter)
  uint8_t unused[3];
  ArrayCache<TableS, TableI>* arrays;
};
using AnySetData = SetData<void, void>;
static_assert(sizeof(AnySetData) == 16 && offsetof(AnySetData, caseSensitive) == 8,
              "set instance data is 16 bytes, the case flag at 8");

struct MapShape {
  template <typename TableS, typename TableI>
  using Data = MapData<TableS, TableI>;
  // V: the value's traits.
  template <typename V>
  struct Payload {
    typename V::Stored value;
  };
  static constexpr bool kHasValues = true;

  static constexpr const char* kNotInitialized = "Map not initialized";
  static constexpr const char* kNotEqualNil = kOtherIteratorIsNil;
  // A map without a table raises for Remove(pos) and Remove(first, last),
  // and an iterator no map filled in raises when moved.
  static constexpr bool kStrictPositions = true;
};

struct SetShape {
  template <typename TableS, typename TableI>
  using Data = SetData<TableS, TableI>;
  template <typename V>
  struct Payload {};
  static constexpr bool kHasValues = false;

  static constexpr const char* kNotInitialized = "Set not initialized";
  static constexpr const char* kNotEqualNil = kIteratorIsNil;
  // A set without a table ignores positions, and an iterator no set filled
  // in stays where it is when moved.
  static constexpr bool kStrictPositions = false;
};

}  // namespace kdt
