#!/usr/bin/env bash
# Times the cluster command (python3 -m tessel.dask, on a local cluster) against
# the program on the same tables and checks that both print the same bytes:
# BENCH_DASK_SIZE points (default 10,000,000) of the uniform and towns layouts
# with the defaults, then a table of BENCH_DASK_BIG points (default 20,000,000)
# run with --workers 2 --memory-limit 1.5GiB. For each run it prints the wall
# time and the peak memory: of the program, and of the command's client and of
# its largest worker, each the process's own high-water mark (VmHWM), sampled
# from /proc every half second. BENCH_DASK_TIMEOUT bounds one run (default
# 1800 s); an empty BENCH_DASK_BIG skips the large table.
# Usage: bench/dask.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
case $build in /*) ;; *) build=$PWD/$build ;; esac
size=${BENCH_DASK_SIZE-10000000}
big=${BENCH_DASK_BIG-20000000}
limit=${BENCH_DASK_TIMEOUT-1800}
python=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The high-water mark in KiB of PID, or 0 once it is gone.
hwm() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status" 2>/dev/null || echo 0; }

# Every descendant of PID.
descendants() {
  local child
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
    echo "$child"
    descendants "$child"
  done
}

# Runs "$@" in the work directory with standard output to $work/out.$tag and
# prints "seconds rootMiB childMiB", or "failed(STATUS) - -".
measure() {
  local tag=$1
  shift
  local start end pid top status=0 root=0 child=0 k q
  start=$(date +%s.%N)
  (cd "$work" && exec timeout "$limit" "$@" > "out.$tag" 2> "err.$tag" < /dev/null) &
  pid=$!
  # $pid is timeout itself (the subshell execs it); its child is the measured
  # process, whose descendants are the workers.
  while kill -0 "$pid" 2>/dev/null; do
    for top in $(cat /proc/"$pid"/task/*/children 2>/dev/null); do
      k=$(hwm "$top")
      [ "${k:-0}" -gt "$root" ] && root=$k
      for q in $(descendants "$top"); do
        k=$(hwm "$q")
        [ "${k:-0}" -gt "$child" ] && child=$k
      done
    done
    sleep 0.5
  done
  wait "$pid" || status=$?
  end=$(date +%s.%N)
  if [ "$status" -ne 0 ]; then
    echo "failed($status) - -"
    sed 's/^/    /' "$work/err.$tag" | tail -5 >&2
    return
  fi
  awk -v a="$start" -v b="$end" -v r="$root" -v c="$child" \
    'BEGIN { printf "%.1f %.0f %.0f\n", b - a, r / 1024, c / 1024 }'
}

same() { cmp -s "$work/out.program" "$work/out.dask" && echo same || echo DIFFERENT; }

export PYTHONPATH=$build/python
printf '%-22s %10s %12s %10s %14s %14s %8s\n' "table" "program s" "program MiB" \
  "command s" "client MiB" "worker MiB" "ratio"
row() {
  local name=$1
  shift
  read -r ps pm _ < <(measure program "$build/tessel" -r -f points.csv)
  read -r ds dm dw < <(measure dask "$python" -m tessel.dask "$@" -r -f points.csv)
  ratio=$(awk -v a="$ds" -v b="$ps" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }')
  printf '%-22s %10s %12s %10s %14s %14s %8s  %s\n' "$name" "$ps" "$pm" "$ds" "$dm" "$dw" \
    "$ratio" "$(same)"
}

for layout in uniform towns; do
  "$build/make_points" "$size" 7 "$layout" > "$work/points.csv"
  row "$layout $size"
done
if [ -n "$big" ]; then
  "$build/make_points" "$big" 7 > "$work/points.csv"
  row "uniform $big (2 x 1.5GiB)" --workers 2 --memory-limit 1.5GiB
fi
