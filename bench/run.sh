#!/usr/bin/env bash
# Times whole runs with default options on uniform random point sets and
# prints wall time and peak memory (GNU time) as tables: first the program
# at growing sizes, then the program against the reference build that runs
# the exhaustive neighbour search (build/tessel_exhaustive), with the ratio.
# Usage: bench/run.sh [build-dir]   (default: build)
# BENCH_SIZES and BENCH_COMPARE override the two lists of sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
read -r -a sizes <<< "${BENCH_SIZES-1000 10000 100000 1000000}"
read -r -a compare <<< "${BENCH_COMPARE-8000 16000}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs program on points.csv in the work directory; prints "seconds MiB".
measure() {
  (cd "$work" && /usr/bin/time -v "$1" -r -f points.csv > /dev/null 2> time.txt </dev/null) || true
  local wall peak
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  awk -v w="$wall" -v k="$peak" 'BEGIN { n = split(w, p, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f %.1f\n", s, k / 1024 }'
}

program=$PWD/$build/tessel
reference=$PWD/$build/tessel_exhaustive

printf '%10s %12s %14s\n' "N" "wall (s)" "peak (MiB)"
for n in "${sizes[@]}"; do
  "$build/make_points" "$n" 7 > "$work/points.csv"
  read -r seconds mib < <(measure "$program")
  printf '%10s %12.2f %14s\n' "$n" "$seconds" "$mib"
done

echo
printf '%10s %16s %16s %12s %12s %10s\n' "N" "exhaustive (s)" "exhaustive MiB" "grid (s)" "grid MiB" "speed-up"
for n in "${compare[@]}"; do
  "$build/make_points" "$n" 7 > "$work/points.csv"
  read -r refSeconds refMib < <(measure "$reference")
  read -r seconds mib < <(measure "$program")
  ratio=$(awk -v a="$refSeconds" -v b="$seconds" 'BEGIN { printf (b > 0 ? "%.0fx" : "-"), a / b }')
  printf '%10s %16.2f %16s %12.2f %12s %10s\n' "$n" "$refSeconds" "$refMib" "$seconds" "$mib" "$ratio"
done
