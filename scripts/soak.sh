#!/usr/bin/env bash
# Soak: builds the tests of the sanitizer configuration and drives every
# container member with seeded random host calls, misuse included, checked
# against the models (the suite's SoakTest, made long).  Usage:
#   bash scripts/soak.sh [SEED] [CALLS]
# CALLS host calls per family (default 1000000), in episodes of 20,000 calls
# on fresh hosts.  Exit status 1 on a finding; the printed command replays
# it.  Each family runs in a process of its own.  KDT_SOAK_BUILD names
# another sanitizer build folder to use (CI reuses its own).
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
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDT_SANITIZE=ON -DKDT_BUILD_BENCHMARKS=OFF \
    "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target kdt_tests >/dev/null
echo "soak: seed $seed, $calls calls per family (replay: bash scripts/soak.sh $seed $calls)"
start=$(date +%s)
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export dir tmp KDT_SOAK_SEED="$seed" KDT_SOAK_CALLS="$calls" ASAN_OPTIONS=detect_leaks=0
families="hashmaps orderedmaps hashsets orderedsets"
# One process per family, as many at a time as there are cores.
xargs -P "$(nproc)" -I{} bash -c 'qemu-arm -L /usr/arm-linux-gnueabihf "$dir/tests/kdt_tests" \
  --gtest_filter="Families/SoakTest.RandomCallsMatchTheModel/{}" >"$tmp/{}" 2>&1 ||
  echo $? >"$tmp/{}.status"' <<<"${families// /$'\n'}"
status=0
for family in $families; do
  if [ -f "$tmp/$family.status" ]; then
    status=1
    echo "FINDING in $family (status $(cat "$tmp/$family.status")):"
    grep -v '^\[\|^Running main\|^Note: Google Test filter' "$tmp/$family" | head -40
  elif ! grep -q '^\[  PASSED  \] 1 test' "$tmp/$family"; then
    status=1
    echo "FINDING in $family: the test did not run"
  else
    echo "$family: no findings"
  fi
done
echo "soak: seed $seed, $(($(date +%s) - start)) s, $([ $status = 0 ] && echo "no findings" || echo "FINDINGS")"
exit $status
