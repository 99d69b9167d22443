#!/usr/bin/env bash
# Builds everything twice (plain, and with AddressSanitizer + UBSan) and runs
# every test under qemu-arm in both builds, the thread tests once more under a
# race detector on the plain build, plus the format, export and glibc checks,
# a short soak and a minute of fuzzing, then builds and verifies the release
# package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh
jobs="$(nproc)"
status=0
# Each step reports how long it took, so a slow step shows in CI's log.
start=$SECONDS
took() { echo "== $1: $((SECONDS - start)) s"; start=$SECONDS; }
# ccache, when installed, with paths taken relative to the checkout so that
# another clone of the same sources hits the cache too.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
bash scripts/check-format.sh || status=1
took "format check"
for config in plain sanitize; do
  dir="build/test-$config"
  # The sanitizer build makes only what its tests and the soak run.
  options=(-DKDT_SANITIZE=OFF) targets=()
  [ "$config" = sanitize ] && options=(-DKDT_SANITIZE=ON -DKDT_BUILD_BENCHMARKS=OFF) &&
    targets=(--target kdt_tests)
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" "${launcher[@]}" >/dev/null
  cmake --build "$dir" -j"$jobs" "${targets[@]}"
  took "$config build"
  bash scripts/check-exports.sh "$dir/libkdtcontainers.so" || status=1
  [ "$config" = plain ] && { bash scripts/check-glibc.sh "$dir/libkdtcontainers.so" || status=1; }
  [ "$config" = plain ] && { bash scripts/check-docs.sh "$dir" || status=1; }
  (cd "$dir" && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j"$jobs") || status=1
  took "$config tests"
  if [ "$config" = plain ]; then
    bash scripts/race.sh "$dir" || status=1
    took "race detector"
    # A few mutations, to show that the suite still notices faults.
    bash scripts/mutate.sh --smoke || status=1
    took "mutation smoke"
  fi
done
# A short soak of every member on the sanitizer build.
KDT_SOAK_BUILD=build/test-sanitize bash scripts/soak.sh 1 20000 || status=1
took soak
# A minute of coverage-guided fuzzing from the project's corpus.
KDT_FUZZ_BUILD=build/test-fuzz bash scripts/fuzz.sh 60 || status=1
took fuzz
bash scripts/package.sh || status=1
took package
exit $status
