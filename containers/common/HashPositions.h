// Iterator positions in the chained tables of the hash maps and hash sets:
// how an iterator's words are turned back into a table and a node, safely.
#pragma once

#include <cstdint>
#include <type_traits>

#include "containers/common/ContainerSupport.h"

namespace kdt {

// TableS, TableI: the container's two table types (TableI unused when the
// keys have no case).
template <typename TableS, typename TableI, bool kHasCaseModes>
struct HashPositions {
  // Calls f with the container's table (the case-sensitive one first).
  template <typename Data, typename F>
  static decltype(auto) Dispatch(Data* d, F&& f) {
    if constexpr (kHasCaseModes) {
      if (d->tableS == nullptr) return f(*static_cast<TableI*>(d->tableI));
    }
    return f(*static_cast<TableS*>(d->tableS));
  }

  static ResolvedPosition Resolve(const IteratorData& data) {
    return ResolvePosition<TableS, std::conditional_t<kHasCaseModes, TableI, void>>(data);
  }

  // The position iterator `data` holds in table t.  False when it has no
  // position of t's mode or one in another container; a position whose node
  // or table is gone raises and gives false.
  template <typename T>
  static bool Own(T& t, IteratorData& data, ResolvedPosition* out) {
    if (!HasPosition(data) || ModeOf(data) != T::kMode) return false;
    *out = Resolve(data);
    if (out->kind == ResolvedPosition::kGone) {
      RaiseNilObject(kIteratorNotInitialized);
      return false;
    }
    return out->table == static_cast<PositionTable*>(&t);
  }

  // Calls f(table, node) at the iterator's element and returns its result.
  // An iterator without position raises when missingRaises (else does
  // nothing); a position that is gone raises; at the end position, raises
  // "Key not found" when endIsError, else does nothing.
  template <typename R, typename F>
  static R At(IteratorData& data, R neutral, bool missingRaises, bool endIsError, F&& f) {
    if (!HasPosition(data)) {
      if (missingRaises) RaiseNilObject(kIteratorNotInitialized);
      return neutral;
    }
    ResolvedPosition p = Resolve(data);
    if (p.kind == ResolvedPosition::kGone) {
      RaiseNilObject(kIteratorNotInitialized);
      return neutral;
    }
    if (p.kind == ResolvedPosition::kEnd) {
      if (endIsError) RaiseHostException(kKeyNotFoundException, kKeyNotFound);
      return neutral;
    }
    if constexpr (kHasCaseModes) {
      if (p.mode == CaseMode::I) {
        return f(*static_cast<TableI*>(p.table), static_cast<typename TableI::Node*>(p.element));
      }
    }
    return f(*static_cast<TableS*>(p.table), static_cast<typename TableS::Node*>(p.element));
  }

  // Moves the iterator to the next element in iteration order, or to the
  // end.  At the end it stays.
  static void MoveNext(IteratorData& data, bool missingRaises) {
    At(data, 0, missingRaises, false, [&](auto& t, auto* node) {
      auto* next = t.Next(node);
      data = InMode(next != nullptr ? t.TokenOf(next) : t.EndToken(),
                    std::decay_t<decltype(t)>::kMode);
      return 0;
    });
  }

  // 1 when both designate the same element, 0 when not, -1 after raising
  // `message` (other is nil, or this iterator has no position).  Elements are
  // compared by identity and every end position of a live table of the same
  // case mode counts as the same position.
  static int Same(IteratorData& mine, IteratorData* other, const char* message) {
    if (other == nullptr || !HasPosition(mine)) {
      RaiseNilObject(message);
      return -1;
    }
    ResolvedPosition a = Resolve(mine);
    if (a.kind == ResolvedPosition::kEnd) {
      ResolvedPosition b = Resolve(*other);
      if (b.kind == ResolvedPosition::kEnd && ModeOf(*other) == a.mode) return 1;
    }
    return mine == *other ? 1 : 0;
  }
};

}  // namespace kdt
