#!/usr/bin/env bash
# Coverage: builds the tests with the plug-in's code counted (build/coverage,
# no sanitizer, no optimisation so that lines map one to one), runs every
# test under qemu-arm (and the documentation check, scripts/check-docs.sh),
# and prints line and branch coverage per folder of the
# plug-in and each line that no test reaches.
#
# The shared object and the static library that the unit tests link are
# compiled from the same objects, so both write the same count files (the
# object's path is built in; the stand-in's private copy of the .so writes
# there too) and every test process adds its counts to them.
#
# The banner entry (plugin/entry/SharedObjectEntry.c) runs in the PluginBanner
# test, which starts the plug-in file as a program; started that way it skips
# the C runtime's start-up, which is where the counts would be registered, so
# its lines show as not reached.
#
# Branches exclude what gcovr's standard filters call compiler-made:
# --exclude-unreachable-branches (branches on lines with no code of their
# own, such as a closing brace) and --exclude-throw-branches (the exception
# edge of every call that may throw).  Nothing else is left out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh gcovr
dir=build/coverage
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake -DCMAKE_BUILD_TYPE=Debug \
  -DKDT_COVERAGE=ON -DKDT_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
find "$dir" -name '*.gcda' -delete
status=0
(cd "$dir" && ctest -j"$(nproc)" --output-on-failure >ctest.log) || {
  status=1
  tail -n 30 "$dir/ctest.log"
}
# The documentation check runs every method as its reference pages show it.
bash scripts/check-docs.sh "$dir" >"$dir/check-docs.log" || {
  status=1
  tail -n 30 "$dir/check-docs.log"
}
gcovr -r . --object-directory "$dir" --gcov-executable arm-linux-gnueabihf-gcov \
  --exclude-unreachable-branches --exclude-throw-branches \
  --filter '(plugin|errors|values|containers)/' --json "$dir/coverage.json"
python3 - "$dir/coverage.json" <<'PY'
import collections, json, sys
files = sorted(json.load(open(sys.argv[1]))["files"], key=lambda f: f["file"])
totals = collections.defaultdict(lambda: [0, 0, 0, 0])
missed = []
for f in files:
    t = totals[f["file"].split("/")[0]]
    source = open(f["file"], encoding="utf-8").read().splitlines()
    for line in f["lines"]:
        if line.get("gcovr/noncode"):
            continue
        t[0] += line["count"] > 0
        t[1] += 1
        t[2] += sum(b["count"] > 0 for b in line["branches"])
        t[3] += len(line["branches"])
        if line["count"] == 0:
            n = line["line_number"]
            missed.append(f'{f["file"]}:{n}: {source[n - 1].strip()}')
pct = lambda a, b: f"{100.0 * a / b:5.1f}%" if b else "  -  "
print(f'{"folder":12} {"lines":>18} {"branches":>18}')
for folder, (l, lt, b, bt) in sorted(totals.items()):
    print(f"{folder + '/':12} {pct(l, lt)} {l:5}/{lt:<5} {pct(b, bt)} {b:5}/{bt:<5}")
print(f"\nLines no test reaches ({len(missed)}):")
print("\n".join(missed) if missed else "none")
PY
exit $status
