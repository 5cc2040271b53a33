#!/usr/bin/env bash
# Times the cluster command (python3 -m tessel.dask, on a local cluster) against
# the program on the same tables and checks that both print the same bytes:
# BENCH_DASK_SIZE points (default 10,000,000) of the uniform and towns layouts
# with the defaults, then a table of BENCH_DASK_BIG points (default 20,000,000)
# run with --workers 2 --memory-limit 1.5GiB. For each run it prints the wall
# time, the core-seconds (user plus system CPU time of the whole process tree:
# every thread of every process the run started, the cluster's workers and
# helpers included) and the peak memory: of the program, and of the command's
# client and of its largest worker, each the process's own high-water mark
# (VmHWM), sampled from /proc every half second. BENCH_DASK_TIMEOUT bounds one
# run (default 1800 s); an empty BENCH_DASK_BIG skips the large table.
# BENCH_DASK_LAYOUTS lists the layouts (default "uniform towns") and
# BENCH_DASK_RUNS repeats each table that many times (default 1), the program
# and the command in turn.
# Usage: bench/dask.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
case $build in /*) ;; *) build=$PWD/$build ;; esac
size=${BENCH_DASK_SIZE-10000000}
big=${BENCH_DASK_BIG-20000000}
limit=${BENCH_DASK_TIMEOUT-1800}
layouts=${BENCH_DASK_LAYOUTS-uniform towns}
runs=${BENCH_DASK_RUNS-1}
python=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs its arguments as a child subreaper (prctl PR_SET_CHILD_SUBREAPER): every
# process of the tree that outlives its parent is handed to it, and it waits
# for all of them, so its children's rusage holds the CPU time of the whole
# tree. Writes "wall_seconds core_seconds" to the file $CORE_SECONDS_TO and
# exits with the command's status.
cat > "$work/tree_time.py" <<'EOF_TREE'
import ctypes, os, resource, sys, time
libc = ctypes.CDLL(None, use_errno=True)
if libc.prctl(36, 1, 0, 0, 0) != 0:
    sys.exit(f"tree_time: prctl: {os.strerror(ctypes.get_errno())}")
start = time.monotonic()
pid = os.fork()
if pid == 0:
    try:
        os.execvp(sys.argv[1], sys.argv[1:])
    finally:
        os._exit(127)
status = os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])
while True:
    try:
        os.wait()
    except ChildProcessError:
        break
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(os.environ["CORE_SECONDS_TO"], "w") as out:
    out.write(f"{wall:.1f} {usage.ru_utime + usage.ru_stime:.1f}\n")
sys.exit(status if status >= 0 else 128 - status)
EOF_TREE

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
# prints "seconds core-seconds rootMiB childMiB", or "failed(STATUS) - - -".
measure() {
  local tag=$1
  shift
  local pid top wrapped status=0 root=0 child=0 k q
  rm -f "$work/cpu.$tag"
  (cd "$work" && CORE_SECONDS_TO="$work/cpu.$tag" exec "$python" tree_time.py \
    timeout "$limit" "$@" > "out.$tag" 2> "err.$tag" < /dev/null) &
  pid=$!
  # $pid is the subreaper (the subshell execs it), its child timeout, whose
  # child is the measured process, whose descendants are the workers.
  while kill -0 "$pid" 2>/dev/null; do
    for top in $(for wrapped in $(cat /proc/"$pid"/task/*/children 2>/dev/null); do
                   cat /proc/"$wrapped"/task/*/children 2>/dev/null; done); do
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
  if [ "$status" -ne 0 ] || [ ! -s "$work/cpu.$tag" ]; then
    echo "failed($status) - - -"
    sed 's/^/    /' "$work/err.$tag" | tail -5 >&2
    return
  fi
  read -r wall cpu < "$work/cpu.$tag"
  awk -v w="$wall" -v u="$cpu" -v r="$root" -v c="$child" \
    'BEGIN { printf "%s %s %.0f %.0f\n", w, u, r / 1024, c / 1024 }'
}

same() { cmp -s "$work/out.program" "$work/out.dask" && echo same || echo DIFFERENT; }

export PYTHONPATH=$build/python
# s: wall seconds; cpu s: core-seconds; the ratios are the command's over the
# program's.
printf '%-26s %9s %9s %11s %9s %9s %10s %10s %6s %6s\n' "table" "program s" "cpu s" \
  "program MiB" "command s" "cpu s" "client MiB" "worker MiB" "wall x" "cpu x"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }'; }
row() {
  local name=$1
  shift
  read -r ps pc pm _ < <(measure program "$build/tessel" -r -f points.csv)
  read -r ds dc dm dw < <(measure dask "$python" -m tessel.dask "$@" -r -f points.csv)
  printf '%-26s %9s %9s %11s %9s %9s %10s %10s %6s %6s  %s\n' "$name" "$ps" "$pc" "$pm" \
    "$ds" "$dc" "$dm" "$dw" "$(ratio "$ds" "$ps")" "$(ratio "$dc" "$pc")" "$(same)"
}

for layout in $layouts; do
  "$build/make_points" "$size" 7 "$layout" > "$work/points.csv"
  for _ in $(seq "$runs"); do row "$layout $size"; done
done
if [ -n "$big" ]; then
  "$build/make_points" "$big" 7 > "$work/points.csv"
  for _ in $(seq "$runs"); do row "uniform $big (2 x 1.5GiB)" --workers 2 --memory-limit 1.5GiB; done
fi
