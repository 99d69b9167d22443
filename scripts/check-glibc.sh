#!/usr/bin/env bash
# The plug-in must load with glibc 2.28 (Debian 10, Ubuntu 20.04 and the ARM
# boards of those years): no dynamic symbol may need a newer glibc symbol
# version.  Prints the offending symbols and fails when one does.
set -euo pipefail
so="$1"
baseline="${KDT_GLIBC_BASELINE:-2.28}"
newer() { [ "$(printf '%s\n%s\n' "$baseline" "$1" | sort -V | tail -n1)" != "$baseline" ]; }
dynamic=$(arm-linux-gnueabihf-objdump -T "$so")
if grep -q 'GLIBC_PRIVATE' <<< "$dynamic"; then
  echo "$so uses private glibc symbols:"; grep 'GLIBC_PRIVATE' <<< "$dynamic"; exit 1
fi
symbols=$(printf '%s\n' "$dynamic" | grep -o 'GLIBC_[0-9][0-9.]*.*' | awk '{print $1, $NF}')
[ -n "$symbols" ] || { echo "no glibc symbols found in $so"; exit 1; }
bad=""
highest="2.0"
while read -r version symbol; do
  v="${version#GLIBC_}"
  v="${v%)}"
  newer "$v" && bad+="  $symbol needs GLIBC_$v"$'\n'
  [ "$(printf '%s\n%s\n' "$highest" "$v" | sort -V | tail -n1)" = "$v" ] && highest="$v"
done <<< "$symbols"
if [ -n "$bad" ]; then
  printf 'glibc baseline %s exceeded by %s:\n%s' "$baseline" "$so" "$bad"
  exit 1
fi
echo "glibc ok: highest symbol version $highest (baseline $baseline)"
