// The libFuzzer target: each input drives one member through the random
// driver; a finding aborts, so that libFuzzer keeps the input.
//
// libFuzzer takes its coverage from the plug-in's counters where it first
// saw them, so the plug-in is loaded once and never unloaded; each input
// starts it afresh by putting back its writable data as it was just after
// loading (every cached host entry, the host version, the registration).
#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/FuzzInput.h"

namespace {

standin::PluginMainFunction g_main = nullptr;
uintptr_t* g_data = nullptr;  // the plug-in's writable data past its read-only part
std::vector<uintptr_t> g_fresh;

const uint8_t* g_input = nullptr;
size_t g_size = 0;
std::string g_prefix = "./";

// Word by word and unchecked: the data holds AddressSanitizer's red zones.
__attribute__((no_sanitize("address"))) void Copy(volatile uintptr_t* to,
                                                  const volatile uintptr_t* from, size_t words) {
  for (size_t i = 0; i < words; ++i) to[i] = from[i];
}

int FindData(dl_phdr_info* info, size_t, void* base) {
  if (info->dlpi_addr != *static_cast<uintptr_t*>(base)) return 0;
  uintptr_t from = 0, to = 0, fixed = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& p = info->dlpi_phdr[i];
    if (p.p_type == PT_LOAD && (p.p_flags & PF_W) != 0) {
      from = info->dlpi_addr + p.p_vaddr;
      to = from + p.p_memsz;
    }
    if (p.p_type == PT_GNU_RELRO) fixed = info->dlpi_addr + p.p_vaddr + p.p_memsz;
  }
  from = std::max(from, fixed);
  g_data = reinterpret_cast<uintptr_t*>(from);
  g_fresh.resize((to - from) / sizeof(uintptr_t));
  Copy(g_fresh.data(), g_data, g_fresh.size());
  return 1;
}

// AddressSanitizer here is the cross GCC's runtime, which never calls the
// death callback libFuzzer registers (libFuzzer binds its own copy of the
// sanitizer interface): the target saves the input of an ASan report itself.
void SaveInput() {
  if (g_input == nullptr) return;
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < g_size; ++i) hash = (hash ^ g_input[i]) * 1099511628211ull;
  char name[40];
  std::snprintf(name, sizeof name, "crash-asan-%016llx", static_cast<unsigned long long>(hash));
  const std::string path = g_prefix + name;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(g_input, 1, g_size, f);
    std::fclose(f);
    std::fprintf(stderr, "Test unit written to %s\n", path.c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i)
    if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) g_prefix = (*argv)[i] + 17;
  if (void* asan = dlopen("libasan.so.8", RTLD_NOW | RTLD_NOLOAD))
    if (void* set = dlsym(asan, "__sanitizer_set_death_callback"))
      reinterpret_cast<void (*)(void (*)())>(set)(SaveInput);
  void* plugin = dlopen(standin::PluginPath(), RTLD_NOW | RTLD_LOCAL);
  link_map* map = nullptr;
  if (plugin == nullptr || dlinfo(plugin, RTLD_DI_LINKMAP, &map) != 0) {
    std::fprintf(stderr, "cannot load the plug-in %s: %s\n", standin::PluginPath(), dlerror());
    std::exit(2);
  }
  g_main = reinterpret_cast<standin::PluginMainFunction>(dlsym(plugin, "REALPluginMain"));
  uintptr_t base = map->l_addr;
  if (g_main == nullptr || dl_iterate_phdr(FindData, &base) != 1 || g_fresh.empty()) {
    std::fprintf(stderr, "the plug-in %s has no entry or no data\n", standin::PluginPath());
    std::exit(2);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Copy(g_data, g_fresh.data(), g_fresh.size());
  g_input = data;
  g_size = size;
  const std::vector<std::string> problems = kdt_test::RunFuzzInput(data, size, g_main);
  g_input = nullptr;
  if (problems.empty()) return 0;
  for (const std::string& p : problems) std::fprintf(stderr, "FINDING %s\n", p.c_str());
  std::abort();
}
