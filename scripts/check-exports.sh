#!/usr/bin/env bash
# The plug-in exports exactly its three entry points and needs only the C library.
set -euo pipefail
so="$1"
exports=$(arm-linux-gnueabihf-nm -D --defined-only "$so" | awk '{print $3}' | sort | tr '\n' ' ')
if [ "$exports" != "PluginEntry REALPluginMain libEntry " ]; then
  echo "unexpected exports: $exports"; exit 1
fi
dynamic=$(arm-linux-gnueabihf-readelf -d "$so")
needed=$(sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' <<< "$dynamic" \
  | grep -v -E '^(libc\.so\.6|ld-linux-armhf\.so\.3|libasan\.so\.8|libubsan\.so\.1|libm\.so\.6)$' || true)
if [ -n "$needed" ]; then echo "unexpected dependencies: $needed"; exit 1; fi
# Every allocation goes through the library's own routine, which takes its
# blocks from calloc alone (so that an allocation gate sees all of them).  A
# sanitizer build links the runtime's name demangler for the sanitizer's
# reports, and that reallocs.
allowed='^$'
grep -q 'libasan' <<< "$dynamic" && allowed='^realloc$'
allocators=$(arm-linux-gnueabihf-nm -D --undefined-only "$so" | awk '{print $2}' | sed 's/@.*//' \
  | grep -x -E 'malloc|realloc|reallocarray|aligned_alloc|memalign|posix_memalign|valloc|pvalloc|strdup|strndup|_Zn[wa].*' \
  | grep -v -E "$allowed" || true)
if [ -n "$allocators" ]; then echo "allocates around its own routine: $allocators"; exit 1; fi
echo "exports ok: $exports"
