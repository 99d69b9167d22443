#include "plugin/PluginAlloc.h"

#include <cstdlib>

namespace kdt {

AllocationGateFunction AllocationGate = nullptr;

void* PluginAlloc(uint64_t size) {
  if (size == 0 || size > 0x7FFFFFFFu) return nullptr;
  if (AllocationGate != nullptr && AllocationGate(static_cast<uint32_t>(size)) == 0) return nullptr;
  return std::calloc(1, static_cast<size_t>(size));
}

void PluginFree(void* block) {
  std::free(block);
}

}  // namespace kdt
