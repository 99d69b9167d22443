#include "plugin/PluginAlloc.h"

#include <cstdlib>

namespace kdt {

void* PluginAlloc(uint64_t size) {
  if (size == 0 || size > 0x7FFFFFFFu) return nullptr;
  return std::calloc(1, static_cast<size_t>(size));
}

void PluginFree(void* block) {
  std::free(block);
}

}  // namespace kdt
