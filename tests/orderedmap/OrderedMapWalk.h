// An ordered map walk and a LowerBound search written as a host program would
// write them, for showing in the demo: fill an IntegerToStringOrderedMapKDT,
// walk it from first to last, then find the first key at or above a bound.
#pragma once

#include <ostream>

#include "standin/host/Host.h"

namespace kdt_test {

inline void ShowOrderedMapWalk(standin::Host& host, std::ostream& out) {
  using kdt::REALobject;
  using kdt::REALstring;
  const char* const kValue = "value(key as integer) as string";
  REALobject map = host.New("IntegerToStringOrderedMapKDT", "Constructor");
  for (int key : {30, -5, 12, 7}) {
    REALstring name = host.NewString("item " + std::to_string(key));
    host.Assign(map, kValue, {key}, name);  // map.value(key) = name
    host.Release(name);
  }

  out << "walk:";
  auto it = host.Call(map, "first as IntegerToStringOrderedMapIteratorKDT");
  auto end = host.Call(map, "last as IntegerToStringOrderedMapIteratorKDT");
  const char* const kNotEqual =
      "isNotEqual(other as IntegerToStringOrderedMapIteratorKDT) as boolean";
  while (host.Call(it, kNotEqual, {end.word}).b()) {
    auto value = host.Call(it, "Value as string");
    out << " " << host.Call(it, "Key as integer").i() << "=" << host.StringUTF8(value.str());
    host.Release(value);
    host.Call(it, "MoveNext");
  }
  out << "\n";

  // The first key not below 10, and the entry before it.
  auto found =
      host.Call(map, "LowerBound(key as integer) as IntegerToStringOrderedMapIteratorKDT", {10});
  out << "LowerBound(10): " << host.Call(found, "Key as integer").i();
  host.Call(found, "MovePrev");
  out << ", before it: " << host.Call(found, "Key as integer").i() << "\n";

  for (auto r : {found, end, it}) host.Release(r);
  host.Release(map);
}

}  // namespace kdt_test
