#!/usr/bin/env bash
# Soak: builds the sanitizer configuration's soak program and drives every
# container member with seeded random host calls, misuse included, checked
# against the models.  Usage: bash scripts/soak.sh [SEED] [CALLS]
# CALLS host calls per family (default 1000000).  Exit status 1 on a finding;
# the printed seed (and member) replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seed="${1:-$(date +%s)}"
calls="${2:-1000000}"
cmake -S . -B build/asan -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDT_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$(nproc)" --target kdt_soak >/dev/null
echo "soak: seed $seed (replay: bash scripts/soak.sh $seed $calls)"
ASAN_OPTIONS=detect_leaks=0 qemu-arm -L /usr/arm-linux-gnueabihf build/asan/tests/kdt_soak \
  "$seed" "$calls"
