#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine, and the
# further tools named as arguments.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
need=()
command -v arm-linux-gnueabihf-g++ >/dev/null || need+=(crossbuild-essential-armhf)
command -v qemu-arm >/dev/null || need+=(qemu-user)
command -v cmake >/dev/null || need+=(cmake)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ -e /usr/arm-linux-gnueabihf/lib/libasan.so.8 ] || need+=(libasan8-armhf-cross)
[ -e /usr/arm-linux-gnueabihf/lib/libubsan.so.1 ] || need+=(libubsan1-armhf-cross)
command -v clang-format >/dev/null || need+=(clang-format)
# The fuzz target is built with clang.
command -v clang++-14 >/dev/null || need+=(clang-14)
# Further tools a script asks for, as COMMAND or COMMAND:PACKAGE.
for tool in "$@"; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
if [ ${#need[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${need[@]}"
fi
# The race detector (scripts/race.sh): the armhf valgrind package, unpacked
# into a folder of its own rather than installed, since only its DRD tool,
# started directly under qemu-arm, is used.
valgrind_root="${KDT_VALGRIND_ROOT:-/opt/kdt/valgrind-armhf}"
if [ ! -x "$valgrind_root/usr/libexec/valgrind/drd-arm-linux" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx armhf; then
    $SUDO dpkg --add-architecture armhf
    $SUDO apt-get update
  fi
  download="$(mktemp -d)"
  (cd "$download" && { apt-get download valgrind:armhf ||
    { $SUDO apt-get update && apt-get download valgrind:armhf; }; })
  $SUDO mkdir -p "$valgrind_root"
  $SUDO dpkg-deb -x "$download"/valgrind_*_armhf.deb "$valgrind_root"
  rm -rf "$download"
fi
# clang's armhf runtimes (libFuzzer, UBSan) for the fuzz target, in a resource
# folder of their own beside clang's headers.  The package is unpacked, not
# installed: installing it brings Debian's armhf C library, and qemu-arm
# programs then load it beside the cross toolchain's loader and crash.
rt=/usr/local/lib/kdt-clang-rt-armhf
if [ ! -e "$rt/lib/linux/libclang_rt.fuzzer-armhf.a" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx armhf; then
    $SUDO dpkg --add-architecture armhf
    $SUDO apt-get update
  fi
  apt-cache show libclang-rt-14-dev:armhf >/dev/null 2>&1 || $SUDO apt-get update
  tmp="$(mktemp -d)"
  chmod 777 "$tmp"  # apt's download user writes there
  (cd "$tmp" && apt-get download libclang-rt-14-dev:armhf >/dev/null && dpkg-deb -x ./*.deb root)
  $SUDO mkdir -p "$rt"
  $SUDO cp -r "$tmp"/root/usr/lib/llvm-14/lib/clang/*/lib "$rt/"
  $SUDO ln -sfn "$(clang++-14 -print-resource-dir)/include" "$rt/include"
  rm -rf "$tmp"
fi
