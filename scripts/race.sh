#!/usr/bin/env bash
# Runs the thread tests, shortened, under a data-race detector: DRD from the
# armhf valgrind (scripts/setup-machine.sh unpacks it), under qemu-arm, on a
# plain build.  Usage: bash scripts/race.sh [BUILD_DIR] (default
# build/test-plain).  KDT_THREAD_SCALE shortens the tests (default 15 times);
# exit status 1 on any report not in tests/threads/drd.supp or a failed test.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build/test-plain}"
root="${KDT_VALGRIND_ROOT:-/opt/kdt/valgrind-armhf}"
lib="$root/usr/libexec/valgrind"
if [ ! -x "$lib/drd-arm-linux" ]; then
  echo "race: no armhf valgrind in $root (bash scripts/setup-machine.sh unpacks it)"
  exit 1
fi
# Without the detector's client requests the stand-in's own work would look
# like races of the library.
if ! grep -q '^KDT_DRD_INCLUDE:PATH=/' "$dir/CMakeCache.txt"; then
  echo "race: $dir was configured without $root/usr/include; configure it again"
  exit 1
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
# The valgrind launcher cannot start the tool under qemu-arm: the tool is
# started directly, told where its files are and that a launcher ran.
VALGRIND_LIB="$lib" VALGRIND_LAUNCHER=valgrind KDT_THREAD_SCALE="${KDT_THREAD_SCALE:-15}" \
  qemu-arm -L /usr/arm-linux-gnueabihf "$lib/drd-arm-linux" --tool=drd --error-exitcode=3 \
  --suppressions=tests/threads/drd.supp "$dir/tests/kdt_tests" --gtest_filter='ThreadStress.*' \
  >"$log" 2>&1 || status=$?
grep -E '^\[ *(OK|FAILED|PASSED) *\]|ERROR SUMMARY' "$log" || true
if [ "$status" -ne 0 ]; then
  # The first reports, in full.
  grep -E '^==[0-9]+== ' "$log" | sed '1,/Command:/d' | head -150 || true
  echo "race: the race detector or a thread test failed (status $status)"
  exit 1
fi
