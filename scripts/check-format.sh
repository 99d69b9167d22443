#!/usr/bin/env bash
# Fails when a C or C++ source of the project is not clang-format clean.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -co --exclude-standard '*.cpp' '*.h' '*.c' | grep -v '^build' || true)
[ -z "$files" ] && exit 0
# shellcheck disable=SC2086
if ! clang-format --dry-run -Werror $files; then
  echo "clang-format: run 'clang-format -i' on the files above"; exit 1
fi
