// Pieces every container family shares: the messages, argument decoding,
// the array cache, and the iterator instance data with its safe positions.
#pragma once

#include <cstdint>

#include "containers/common/PositionRegistry.h"
#include "errors/Exceptions.h"
#include "plugin/ClassRecords.h"
#include "plugin/host/HostEntries.h"
#include "plugin/host/HostTypes.h"
#include "values/Handles.h"

namespace kdt {

inline constexpr char kMapNotInitialized[] = "Map not initialized";
inline constexpr char kSetNotInitialized[] = "Set not initialized";
inline constexpr char kIteratorNotInitialized[] = "Iterator not initialized";
inline constexpr char kOtherIteratorIsNil[] = "other iterator is nil";
inline constexpr char kIteratorIsNil[] = "Iterator is nil";
inline constexpr char kOtherMapIsNil[] = "Other map is nil";
inline constexpr char kOtherMapNotInitialized[] = "Other map not initialized";
inline constexpr char kArrayIsNil[] = "array is nil";
inline constexpr char kValuesArrayIsNil[] = "values array is nil";
inline constexpr char kKeyNotFound[] = "Key not found";

inline void RaiseNilObject(const char* message) {
  RaiseHostException(kNilObjectException, message);
}

// A Boolean argument arrives as a word whose low byte carries the value.
inline bool BooleanArgument(uint32_t word) {
  return (word & 0xFFu) != 0;
}

// Releases the container's reference on a cached array and forgets it.
inline void ReleaseArray(REALarray& array) {
  if (array != nullptr) {
    REALarray old = array;
    array = nullptr;
    REALUnlockObject(old);
  }
}

// A new reference for the caller on an array the container keeps.
inline REALarray ShareArray(REALarray array) {
  if (array != nullptr) REALLockObject(array);
  return array;
}

// Iterator instance data.  The two position words keep the places the
// families' layouts give them (which one is the case-sensitive one differs
// between families); each holds a registry slot instead of a pointer, with
// the slot's generation beside them.  The registered size of an iterator
// class (16 bytes) leaves room for that word, so no heap record is needed and
// nothing is left to free when the host drops the iterator.
struct IteratorData {
  uint32_t word0;
  uint32_t word1;
  uint32_t generation;
  uint32_t reserved;
};

// Where an iterator family keeps its case-sensitive position: word 0 or 1.
template <int SWord>
struct IteratorLayout {
  static_assert(SWord == 0 || SWord == 1, "a position is word 0 or word 1");
  static uint32_t& S(IteratorData& d) { return SWord == 0 ? d.word0 : d.word1; }
  static uint32_t& I(IteratorData& d) { return SWord == 0 ? d.word1 : d.word0; }

  static void Set(IteratorData& d, CaseMode mode, PositionToken token) {
    d.word0 = d.word1 = 0;
    (mode == CaseMode::S ? S(d) : I(d)) = token.slot;
    d.generation = token.generation;
  }

  // The position of the iterator, case-sensitive one first; false when the
  // iterator was never given one.
  static bool Pick(IteratorData& d, CaseMode* mode, PositionToken* token) {
    if (S(d) != 0) {
      *mode = CaseMode::S;
      *token = PositionToken{S(d), d.generation};
      return true;
    }
    if (I(d) != 0) {
      *mode = CaseMode::I;
      *token = PositionToken{I(d), d.generation};
      return true;
    }
    return false;
  }
};

// What a position token designates now.
struct ResolvedPosition {
  enum Kind { kGone, kElement, kEnd } kind = kGone;
  void* element = nullptr;  // the element's node (kElement)
  void* table = nullptr;    // the table or tree it belongs to (kElement, kEnd)
  uint32_t tableSlot = 0;
};

inline ResolvedPosition ResolvePosition(PositionToken token) {
  const PositionRegistry& registry = PositionRegistry::Instance();
  ResolvedPosition r;
  void* object = registry.Resolve(token.slot, token.generation);
  if (object == nullptr) return r;
  uint32_t owner = registry.Owner(token.slot);
  if (owner == 0) {
    r.kind = ResolvedPosition::kEnd;
    r.table = object;
    r.tableSlot = token.slot;
  } else {
    r.kind = ResolvedPosition::kElement;
    r.element = object;
    r.table = registry.Object(owner);
    r.tableSlot = owner;
  }
  return r;
}

// Creates an instance of an iterator class through the host and gives it a
// position.  Returns nil when the host cannot create it.
template <typename Layout>
REALobject NewIterator(const ClassRecord& iteratorClass, CaseMode mode, PositionToken token) {
  REALobject it = PluginNewInstance(iteratorClass.name);
  if (it == nullptr) return nullptr;
  Layout::Set(*InstanceData<IteratorData>(it, iteratorClass), mode, token);
  return it;
}

}  // namespace kdt
