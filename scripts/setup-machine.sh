#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine.
set -euo pipefail
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
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  dpkg --print-foreign-architectures | grep -qx armhf || $SUDO dpkg --add-architecture armhf
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${need[@]}"
fi

# clang's armhf runtimes (libFuzzer, UBSan) for the fuzz target, in a resource
# folder of their own beside clang's headers.  The package is unpacked, not
# installed: installing it brings Debian's armhf C library, and qemu-arm
# programs then load it beside the cross toolchain's loader and crash.
rt=/usr/local/lib/kdt-clang-rt-armhf
if [ ! -e "$rt/lib/linux/libclang_rt.fuzzer-armhf.a" ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
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
