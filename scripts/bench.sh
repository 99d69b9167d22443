#!/usr/bin/env bash
# Builds a Release configuration without tests (build/bench), runs the
# benchmark under qemu-arm and writes build/bench/bench.txt (the table),
# build/bench/bench.csv and the chart build/bench/bench.png.
#
#   BENCH_SIZES=1000,10000,100000   entries per container (default: 1000,10000; with
#                                   100000 the run takes about 30 minutes)
#   BENCH_CLASSES=String,Text       classes whose name contains one of the words
#   BENCH_REPEAT=3                  rounds per row; times are their medians
#   BENCH_CHART_SIZE=10000          the size the chart shows (default: 10000 if
#                                   run, else the first size)
# Further arguments go to the benchmark program as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh gnuplot:gnuplot-nox
out=build/bench
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKDT_BUILD_TESTS=OFF -DKDT_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$out" -j"$(nproc)" --target kdt_bench

args=(--csv="$out/bench.csv")
[ -z "${BENCH_SIZES:-}" ] || args+=(--sizes="$BENCH_SIZES")
[ -z "${BENCH_CLASSES:-}" ] || args+=(--classes="$BENCH_CLASSES")
[ -z "${BENCH_REPEAT:-}" ] || args+=(--repeat="$BENCH_REPEAT")
start=$(date +%s)
qemu-arm -L /usr/arm-linux-gnueabihf "$out/benchmarks/kdt_bench" "${args[@]}" "$@" |
  tee "$out/bench.txt"
echo "benchmark run: $(($(date +%s) - start)) s"

# One row per class and case mode at the chart's size: the ratio and the host
# calls of each operation.
size=${BENCH_CHART_SIZE:-}
if [ -z "$size" ]; then
  size=$(awk -F, 'NR > 1 && $3 == 10000 { print 10000; exit }' "$out/bench.csv")
  [ -n "$size" ] || size=$(awk -F, 'NR == 2 { print $3 }' "$out/bench.csv")
fi
awk -F, -v size="$size" '
  NR > 1 && $3 == size {
    label = $1; sub(/KDT$/, "", label); if ($2 != "-") label = label " " $2
    if (!(label in seen)) { seen[label] = 1; order[++n] = label }
    ratio[label] = ratio[label] " " $7; calls[label] = calls[label] " " $8
  }
  END { for (i = 1; i <= n; i++) print "\"" order[i] "\"" ratio[order[i]] calls[order[i]] }
' "$out/bench.csv" >"$out/chart.dat"

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
plot for [i=2:8] "$out/chart.dat" using i:xtic(1) \
  title word("insert lookup-hit lookup-miss walk key-array Key(index) Remove(key)", i-1)
unset logscale y
set ylabel "host calls per operation"
plot for [i=9:15] "$out/chart.dat" using i:xtic(1) \
  title word("insert lookup-hit lookup-miss walk key-array Key(index) Remove(key)", i-8)
unset multiplot
EOF
# The README's compact table at 10,000 entries: String and Variant keys where
# host calls dominate, Key(index), and Integer lookups.
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
    print "| class | case | operation | library ns | standard ns | ratio | host calls |"
    print "| --- | --- | --- | ---: | ---: | ---: | ---: |"
  }
  NR > 1 && $3 == 10000 {
    line[$1 " " $2 " " $4] = sprintf("| %s | %s | %s | %.0f | %.0f | %.2f | %.2f |", \
                                     $1, $2, $4, $5, $6, $7, $8)
  }
  END { for (i = 1; i <= n; i++) if (rows[i] in line) print line[rows[i]] }
' "$out/bench.csv" >"$out/readme-table.md"
echo "wrote $out/bench.txt, $out/bench.csv, $out/bench.png, $out/readme-table.md"
