#!/usr/bin/env bash
# Soak: builds the soak program of the sanitizer configuration and drives
# every container member with seeded random host calls, misuse included,
# checked against the models.  Usage: bash scripts/soak.sh [SEED] [CALLS]
# CALLS host calls per family (default 1000000).  Exit status 1 on a finding;
# the printed seed (and member) replays it.  KDT_SOAK_BUILD names another
# sanitizer build folder to use (CI reuses its own).
set -euo pipefail
cd "$(dirname "$0")/.."
seed="${1:-$(date +%s)}"
calls="${2:-1000000}"
dir="${KDT_SOAK_BUILD:-build/asan}"
if [ ! -f "$dir/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDT_SANITIZE=ON "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target kdt_soak >/dev/null
echo "soak: seed $seed (replay: bash scripts/soak.sh $seed $calls)"
start=$(date +%s)
status=0
ASAN_OPTIONS=detect_leaks=0 qemu-arm -L /usr/arm-linux-gnueabihf "$dir/tests/kdt_soak" \
  "$seed" "$calls" || status=$?
echo "soak: $(($(date +%s) - start)) s"
exit $status
