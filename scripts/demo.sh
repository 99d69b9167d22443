#!/usr/bin/env bash
# Builds the plug-in and runs the demo in the stand-in host.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh
cmake -S . -B build/release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKDT_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target kdtcontainers kdt_demo
echo "--- the plug-in started as a program:"
qemu-arm -L /usr/arm-linux-gnueabihf build/release/libkdtcontainers.so
echo "--- the demo in the stand-in host:"
qemu-arm -L /usr/arm-linux-gnueabihf build/release/kdt_demo
