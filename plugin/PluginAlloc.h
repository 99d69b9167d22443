// The library's own heap blocks: zero-filled, released with PluginFree.
//
// PluginAlloc is the one way the library takes memory from the heap: the
// blocks it uses directly, and, inside the shared object, every allocation of
// the C++ runtime (operator new, so every node, vector and set, and the
// runtime's own exception objects; plugin/entry/Runtime.cpp).  A host may
// hand the library an allocation gate at start-up; PluginAlloc asks it before
// each allocation, and a refusal counts as memory running out.  A real host
// has no such entry, and then PluginAlloc is calloc.
#pragma once

#include <cstdint>

namespace kdt {

// Answers whether an allocation of `size` bytes may go ahead (non-zero) or is
// to fail as if memory had run out (0).  Called on the allocating thread.
using AllocationGateFunction = int32_t (*)(uint32_t size);
// The name under which REALPluginMain asks the resolver for a gate.
inline constexpr char kAllocationGateName[] = "KDTAllocationGate";
// Set once by REALPluginMain; null: every allocation goes ahead.
extern AllocationGateFunction AllocationGate;

// A zero-filled block of `size` bytes, or null for 0, for more than
// 0x7FFFFFFF bytes, or when memory runs out.
void* PluginAlloc(uint64_t size);
// Releases a block from PluginAlloc; null is allowed.
void PluginFree(void* block);

}  // namespace kdt
