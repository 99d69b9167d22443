#!/usr/bin/env bash
# Builds a Release configuration without tests (build/bench) and the plug-in
# of a baseline commit (build/bench-before/<commit>, kept between runs), runs
# the benchmark on both in one process under qemu-arm and writes
# build/bench/bench.txt (the tables, each figure as before → after, and the
# targets at the end), build/bench/bench.csv and the chart build/bench/bench.png.
#
#   BENCH_BEFORE=fbbaa88            the baseline: a commit, tag or branch (default
#                                   fbbaa88, the library before its lean storage
#                                   work); "none" runs this tree's plug-in alone
#   BENCH_SIZES=1000,10000,100000   entries per container (default: 1000,10000, about
#                                   3 minutes; 100000 takes most of a full run)
#   BENCH_CLASSES=String,Text       classes whose name contains one of the words
#   BENCH_REPEAT=3                  rounds per row; times are their medians (default 3)
#   BENCH_CHART_SIZE=10000          the size the chart shows (default: 10000 if
#                                   run, else the first size)
# Further arguments go to the benchmark program as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh gnuplot:gnuplot-nox
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Builds the plug-in (and with "bench", the benchmark) of the tree in $1 into $2.
build() {
  local what=$3
  CCACHE_BASEDIR=$1 CCACHE_NOHASHDIR=1 cmake -S "$1" -B "$2" \
    -DCMAKE_TOOLCHAIN_FILE="$1/cmake/toolchain-armhf.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DKDT_BUILD_TESTS=OFF -DKDT_BUILD_BENCHMARKS="$([ "$what" = bench ] && echo ON || echo OFF)" \
    "${launcher[@]}" >/dev/null
  CCACHE_BASEDIR=$1 CCACHE_NOHASHDIR=1 cmake --build "$2" -j"$(nproc)" \
    --target "$([ "$what" = bench ] && echo kdt_bench || echo kdtcontainers)"
}
out=build/bench
build "$PWD" "$out" bench

args=(--csv="$out/bench.csv" --repeat="${BENCH_REPEAT:-3}")
before=${BENCH_BEFORE:-fbbaa88}
if [ "$before" != none ]; then
  commit=$(git rev-parse --verify "$before^{commit}")
  dir=$PWD/build/bench-before/$commit
  if [ ! -f "$dir/src/CMakeLists.txt" ]; then
    rm -rf "$dir/src"
    mkdir -p "$dir/src"
    git archive "$commit" | tar -x -C "$dir/src"
  fi
  build "$dir/src" "$dir/build" plugin
  args+=(--before="$dir/build/libkdtcontainers.so")
fi
[ -z "${BENCH_SIZES:-}" ] || args+=(--sizes="$BENCH_SIZES")
[ -z "${BENCH_CLASSES:-}" ] || args+=(--classes="$BENCH_CLASSES")
start=$(date +%s)
qemu-arm -L /usr/arm-linux-gnueabihf "$out/benchmarks/kdt_bench" "${args[@]}" "$@" |
  tee "$out/bench.txt"
echo "benchmark run: $(($(date +%s) - start)) s"

# One row per class and case mode at the chart's size, this tree's plug-in:
# the ratio and the host calls of each operation (Count has no standard side).
size=${BENCH_CHART_SIZE:-}
if [ -z "$size" ]; then
  size=$(awk -F, 'NR > 1 && $4 == 10000 { print 10000; exit }' "$out/bench.csv")
  [ -n "$size" ] || size=$(awk -F, 'NR == 2 { print $4 }' "$out/bench.csv")
fi
awk -F, -v size="$size" '
  NR > 1 && $1 == "after" && $4 == size && $5 != "Count" {
    label = $2; sub(/KDT$/, "", label); if ($3 != "-") label = label " " $3
    if (!(label in seen)) { seen[label] = 1; order[++n] = label }
    ratio[label] = ratio[label] " " $8; calls[label] = calls[label] " " $9
  }
  END { for (i = 1; i <= n; i++) print "\"" order[i] "\"" ratio[order[i]] calls[order[i]] }
' "$out/bench.csv" >"$out/chart.dat"

ops="insert lookup-hit lookup-miss walk-step key-array Key(index) Remove(key)"
gnuplot <<EOF
set terminal pngcairo size 1800,1300 font "sans,11"
set output "$out/bench.png"
set multiplot layout 2,1 title "Containers in the stand-in host under qemu-arm, $size entries"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set key outside top center horizontal
set grid ytics
set xtics rotate by 60 right font ",9"
set lmargin 10
set logscale y
set ylabel "library / standard container (CPU time)"
plot for [i=2:8] "$out/chart.dat" using i:xtic(1) title word("$ops", i-1)
unset logscale y
set ylabel "host calls per operation"
plot for [i=9:15] "$out/chart.dat" using i:xtic(1) title word("$ops", i-8)
unset multiplot
EOF
# The README's compact table at 10,000 entries: String and Variant keys where
# host calls dominate, Key(index), and Integer lookups; the baseline's ratio
# and host calls beside this tree's.
awk -F, '
  BEGIN {
    n = split("StringToStringOrderedMapKDT S insert;StringToStringOrderedMapKDT S lookup hit;" \
              "StringToStringOrderedMapKDT S lookup miss;StringToStringHashMapKDT S lookup hit;" \
              "StringToStringHashMapKDT S lookup miss;VariantToVariantHashMapKDT S lookup hit;" \
              "VariantToVariantHashMapKDT S lookup miss;IntegerToIntegerHashMapKDT - lookup hit;" \
              "IntegerToIntegerHashMapKDT - lookup miss;IntegerToIntegerOrderedMapKDT - lookup hit;" \
              "IntegerToIntegerOrderedMapKDT - lookup miss;IntegerToIntegerHashMapKDT - Key(index);" \
              "StringToStringHashMapKDT S Key(index);StringToStringOrderedMapKDT S Key(index);" \
              "StringToStringOrderedMapKDT S key array", rows, ";")
    print "| class | case | operation | library ns | standard ns | ratio | host calls |" \
          " before: ratio | before: host calls |"
    print "| --- | --- | --- | ---: | ---: | ---: | ---: | ---: | ---: |"
  }
  NR > 1 && $4 == 10000 {
    key = $2 " " $3 " " $5
    if ($1 == "before")
      before[key] = sprintf(" %.2f | %.2f |", $8, $9)
    else
      line[key] = sprintf("| %s | %s | %s | %.0f | %.0f | %.2f | %.2f |", $2, $3, $5, $6, $7, $8, $9)
  }
  END {
    for (i = 1; i <= n; i++)
      if (rows[i] in line) print line[rows[i]] (rows[i] in before ? before[rows[i]] : " | |")
  }
' "$out/bench.csv" >"$out/readme-table.md"
echo "wrote $out/bench.txt, $out/bench.csv, $out/bench.png, $out/readme-table.md"
