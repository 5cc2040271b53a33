#!/usr/bin/env bash
# Times whole runs with default options and prints wall time and peak memory
# (GNU time) as tables, each run beside the I/O floor (bench/io_floor.c:
# the same file read with fgets and sscanf and one value printed per row,
# no smoothing), run just before it on the same file: first the program on
# uniform random points at growing sizes up to 10,000,000, with the peak
# memory per point; then on every layout of make_points at one size, with
# the ratios to the floor and to uniform; then the phase times of the
# uniform run (bench/phase_times), the heavy options (-n 100 -t 80 -i 100)
# on 100,000 uniform points, and the fast method against the reference
# method (every phase in its plain form) on 8,000 points, and the column
# entry with and without diagnostics on the uniform points
# (bench/diagnostics_cost, five pairs). A run that fails or outlasts the
# time limit shows as such instead of numbers. Last, how soon Ctrl-C ends a
# long call of the Python and R packages (bench/interrupt_latency.py).
# Usage: bench/run.sh [build-dir]   (default: build)
# BENCH_SIZES overrides the list of sizes (empty skips that table),
# BENCH_LAYOUT_SIZE the layouts' size (default 1000000; empty skips that
# table), BENCH_TIMEOUT the limit of one run in seconds (default 600),
# BENCH_INTERRUPT_RUNS the Ctrl-C runs per package (default 5; 0 skips them),
# PYTHON the interpreter (default Debian's /usr/bin/python3, which sees numpy).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
read -r -a sizes <<< "${BENCH_SIZES-1000 10000 100000 1000000 10000000}"
layoutSize=${BENCH_LAYOUT_SIZE-1000000}
limit=${BENCH_TIMEOUT-600}
layouts=(uniform towns outlier skewed line lattice shared)
interruptRuns=${BENCH_INTERRUPT_RUNS-5}
python=${PYTHON:-$([ -x /usr/bin/python3 ] && echo /usr/bin/python3 || echo python3)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case $build in
  /*) program=$build/tessel ;;
  *) program=$PWD/$build/tessel ;;
esac
floor=$(dirname "$program")/io_floor

# Runs the program (or, with first argument "floor", the I/O floor) on
# points.csv in the work directory; prints "seconds MiB" or, when the run
# did not end well, ">LIMIT -" or "failed(STATUS) -".
measure() {
  local status=0 command=("$program" -r -f points.csv)
  if [ "${1-}" = floor ]; then command=("$floor" points.csv); shift; fi
  (cd "$work" && /usr/bin/time -v timeout "$limit" "${command[@]}" "$@" \
    > /dev/null 2> time.txt < /dev/null) || status=$?
  if [ "$status" -eq 124 ]; then echo ">$limit -"; return; fi
  if [ "$status" -ne 0 ]; then echo "failed($status) -"; return; fi
  local wall peak
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  awk -v w="$wall" -v k="$peak" 'BEGIN { n = split(w, p, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f %.1f\n", s, k / 1024 }'
}

# "a / b" to two decimals, or "-" when either is not a number.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    if (a !~ /^[0-9.]+$/ || b !~ /^[0-9.]+$/ || b == 0) { print "-"; exit }
    printf "%.2f\n", a / b }'
}

if [ ${#sizes[@]} -gt 0 ]; then
  printf '%10s %10s %10s %10s %12s %12s\n' "N" "wall (s)" "floor (s)" "/ floor" \
    "peak (MiB)" "bytes/point"
  for n in "${sizes[@]}"; do
    "$build/make_points" "$n" 7 > "$work/points.csv"
    read -r floorSeconds _ < <(measure floor)
    read -r seconds mib < <(measure)
    perPoint=$(awk -v m="$mib" -v n="$n" 'BEGIN {
      if (m !~ /^[0-9.]+$/) print "-"; else printf "%.0f\n", m * 1048576 / n }')
    printf '%10s %10s %10s %10s %12s %12s\n' "$n" "$seconds" "$floorSeconds" \
      "$(ratio "$seconds" "$floorSeconds")" "$mib" "$perPoint"
  done
  [ -z "$layoutSize" ] || echo
fi

if [ -n "$layoutSize" ]; then
printf '%10s %10s %10s %10s %12s %12s   (N = %s)\n' "layout" "wall (s)" "floor (s)" \
  "/ floor" "peak (MiB)" "/ uniform" "$layoutSize"
for layout in "${layouts[@]}"; do
  "$build/make_points" "$layoutSize" 7 "$layout" > "$work/points.csv"
  read -r floorSeconds _ < <(measure floor)
  read -r seconds mib < <(measure)
  if [ "$layout" = uniform ]; then baseSeconds=$seconds; fi
  printf '%10s %10s %10s %10s %12s %12s\n' "$layout" "$seconds" "$floorSeconds" \
    "$(ratio "$seconds" "$floorSeconds")" "$mib" "$(ratio "$seconds" "${baseSeconds-}")"
done
fi

echo
echo "Phases of the uniform run (N = ${layoutSize:-1000000}):"
"$build/make_points" "${layoutSize:-1000000}" 7 > "$work/points.csv"
(cd "$work" && "$OLDPWD/$build/phase_times" points.csv 2>&1 >/dev/null)

echo
"$build/make_points" 100000 7 > "$work/points.csv"
read -r seconds mib < <(measure -n 100 -t 80 -i 100)
echo "Heavy options (-n 100 -t 80 -i 100), N = 100000: $seconds s, $mib MiB"

echo
"$build/make_points" 8000 7 > "$work/points.csv"
for search in fast reference; do
  whole=$(cd "$work" && "$OLDPWD/$build/phase_times" points.csv 10 7 10 "$search" 2>&1 >/dev/null |
          sed -n 's/^whole run *//p')
  echo "Method $search, N = 8000: $whole"
done

echo
echo "Column entry with and without diagnostics:"
"$build/make_points" "${layoutSize:-1000000}" 7 > "$work/points.csv"
"$build/diagnostics_cost" "$work/points.csv" 5

if [ "$interruptRuns" -gt 0 ]; then
  echo
  "$python" bench/interrupt_latency.py "$build" "$interruptRuns"
fi
