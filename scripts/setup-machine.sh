#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine, and the
# further tools named as arguments.
set -euo pipefail
need=()
command -v arm-linux-gnueabihf-g++ >/dev/null || need+=(crossbuild-essential-armhf)
command -v qemu-arm >/dev/null || need+=(qemu-user)
command -v cmake >/dev/null || need+=(cmake)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ -e /usr/arm-linux-gnueabihf/lib/libasan.so.8 ] || need+=(libasan8-armhf-cross)
[ -e /usr/arm-linux-gnueabihf/lib/libubsan.so.1 ] || need+=(libubsan1-armhf-cross)
command -v clang-format >/dev/null || need+=(clang-format)
# Further tools a script asks for, as COMMAND or COMMAND:PACKAGE.
for tool in "$@"; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${need[@]}"
fi
