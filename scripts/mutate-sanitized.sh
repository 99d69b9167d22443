#!/usr/bin/env bash
# A mutation check for faults only the sanitizer build can see: builds the
# scratch copy's sanitizer configuration beside its plain build and runs the
# tests matching REGEX there.  Fails when they fail.
#   bash scripts/mutate-sanitized.sh BUILD REGEX
set -euo pipefail
build="$1-sanitize"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDT_SANITIZE=ON -DKDT_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build" -j"$(nproc)" --target kdt_tests >/dev/null
cd "$build" && ASAN_OPTIONS=detect_leaks=0 ctest -R "$2" --output-on-failure
