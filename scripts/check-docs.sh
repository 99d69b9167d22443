#!/usr/bin/env bash
# The generated documentation is what the plug-in registers: regenerates
# docs/class-reference.txt and the generated parts of the user guide (member
# tables, error reference, class reference pages) from the build in BUILD_DIR
# into a scratch copy and compares them with the checked-in files.
#   bash scripts/check-docs.sh [BUILD_DIR]     (default build/test-plain)
# scripts/update-class-reference.sh rewrites them after a deliberate change.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build/test-plain}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
run() { qemu-arm -L /usr/arm-linux-gnueabihf "$dir/kdt_class_reference" "$@"; }
cp -r docs/guide "$tmp/guide"
status=0
run >"$tmp/class-reference.txt" && run --guide "$tmp/guide" || status=1
diff -u docs/class-reference.txt "$tmp/class-reference.txt" || status=1
diff -ru docs/guide "$tmp/guide" || status=1
[ "$status" = 0 ] ||
  echo "check-docs: the generated documentation differs (bash scripts/update-class-reference.sh rewrites it)"
exit "$status"
