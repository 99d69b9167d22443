#!/usr/bin/env bash
# Rewrites docs/class-reference.txt and the generated parts of the user guide
# (docs/guide: member tables, the error reference, the class reference pages
# in docs/guide/reference) from what the plug-in registers and what its
# classes raise in the stand-in host.  Run it
# after a deliberate change to a class record, and review the diff.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKDT_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target kdt_class_reference
qemu-arm -L /usr/arm-linux-gnueabihf build/release/kdt_class_reference > docs/class-reference.txt
qemu-arm -L /usr/arm-linux-gnueabihf build/release/kdt_class_reference --guide docs/guide
echo "docs/class-reference.txt: $(grep -c '^class ' docs/class-reference.txt) classes"
echo "docs/guide/reference: $(ls docs/guide/reference | wc -l) pages"
