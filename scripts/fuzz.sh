#!/usr/bin/env bash
# Fuzzing: builds the libFuzzer target (clang for armhf, with AddressSanitizer
# and UBSan; coverage from the library and the stand-in host) and runs it under
# qemu-arm for SECONDS (default 60), starting from the corpus kept in
# tests/fuzz/corpus.  Prints executions, coverage (libFuzzer's cov and ft) and
# findings; exit status 1 on a finding, whose input is kept in
# build/fuzz/findings/.  Such an input belongs in tests/fuzz/corpus, where the
# test suite replays every file.  Inputs that reached new coverage collect in
# build/fuzz/corpus and seed the next run in the same folder.  (libFuzzer's
# -merge and -fork start the target again as a program, which fails under
# qemu-arm.)  Usage: bash scripts/fuzz.sh [SECONDS]; KDT_FUZZ_BUILD names
# another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
dir="${KDT_FUZZ_BUILD:-build/fuzz}"
bash scripts/setup-machine.sh
if [ ! -f "$dir/CMakeCache.txt" ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  fi
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf-clang.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDT_FUZZ=ON -DKDT_BUILD_BENCHMARKS=OFF \
    "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target kdt_fuzz >/dev/null
mkdir -p "$dir/corpus" "$dir/findings"
log="$dir/fuzz.log"
status=0
# LeakSanitizer does not run under qemu-arm; the host's own end checks find
# leaks of host values.
# A sanitizer report that hangs (seen once, after a thousand inputs: the
# sanitizer failed its own check of an address outside its memory map) is
# ended five minutes past the time.
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  timeout --signal=KILL $((seconds + 300)) qemu-arm -L /usr/arm-linux-gnueabihf "$dir/tests/kdt_fuzz" -max_total_time="$seconds" \
  -max_len=512 -timeout=120 -report_slow_units=120 -print_final_stats=1 -artifact_prefix="$dir/findings/" \
  "$dir/corpus" tests/fuzz/corpus >"$log" 2>&1 || status=1
last="$(grep -E '^#[0-9]+' "$log" | tail -1 || true)"
runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
echo "fuzz: ${runs:-0} executions in $seconds s (${rate:-0}/s);" \
  "$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' <<<"$last" || echo "no coverage line")"
if [ $status -ne 0 ]; then
  grep -E '^FINDING|ERROR: |SUMMARY: |runtime error|Test unit written' "$log" | head -20
  echo "fuzz: FINDINGS (log: $log)"
else
  echo "fuzz: no findings"
fi
exit $status
