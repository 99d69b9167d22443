#!/usr/bin/env bash
# Soak: builds the soak program of the sanitizer configuration and drives
# every container member with seeded random host calls, misuse included,
# checked against the models.  Usage: bash scripts/soak.sh [SEED] [CALLS]
# CALLS host calls per family (default 1000000).  Exit status 1 on a finding;
# the printed seed (and member) replays it.  Each member runs in a process of
# its own.  KDT_SOAK_BUILD names another sanitizer build folder to use (CI
# reuses its own).
set -euo pipefail
cd "$(dirname "$0")/.."
seed="${1:-$(date +%s)}"
calls="${2:-1000000}"
dir="${KDT_SOAK_BUILD:-build/asan}"
if [ ! -f "$dir/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDT_SANITIZE=ON "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target kdt_soak >/dev/null
run() { ASAN_OPTIONS=detect_leaks=0 qemu-arm -L /usr/arm-linux-gnueabihf "$dir/tests/kdt_soak" "$@"; }
echo "soak: seed $seed, $calls calls per family (replay: bash scripts/soak.sh $seed $calls)"
start=$(date +%s)
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export dir seed calls tmp
export -f run
members="$(run "$seed" "$calls" --list)"
# One process per member, as many at a time as there are cores.
xargs -P "$(nproc)" -I{} bash -c 'run "$seed" "$calls" {} >"$tmp/{}" 2>&1 || echo $? >"$tmp/{}.status"' \
  <<<"$members"
status=0
summary=""
for member in $members; do
  out="$(cat "$tmp/$member")"
  grep -v 'calls, [0-9]* findings$' <<<"$out" || true
  summary+="$(grep 'calls, [0-9]* findings$' <<<"$out" || true)"$'\n'
  if [ -f "$tmp/$member.status" ]; then
    status=1
    grep -q '^FINDING' <<<"$out" ||
      echo "FINDING $member: the program ended with status $(cat "$tmp/$member.status")"
  fi
done
awk 'NF { calls[$1 " " $2] += $3; found[$1 " " $2] += $5 }
     END { for (f in calls) printf "%-13s %10d calls, %d findings\n", f, calls[f], found[f] }' \
  <<<"$summary" | sort
echo "soak: seed $seed, $(($(date +%s) - start)) s, $([ $status = 0 ] && echo "no findings" || echo "FINDINGS")"
exit $status
