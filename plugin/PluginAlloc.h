// The library's own heap blocks: zero-filled, released with PluginFree.
#pragma once

#include <cstdint>

namespace kdt {

// A zero-filled block of `size` bytes, or null for 0, for more than
// 0x7FFFFFFF bytes, or when memory runs out.
void* PluginAlloc(uint64_t size);
// Releases a block from PluginAlloc; null is allowed.
void PluginFree(void* block);

}  // namespace kdt
