#!/usr/bin/env bash
# Times whole runs of build/tessel with default options on uniform random
# point sets and prints wall time and peak memory as a table.
# Usage: bench/run.sh [N ...]   (default: 1000 2000 4000 8000)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 2000 4000 8000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%10s %12s %14s\n' "N" "wall (s)" "peak (MiB)"
for n in "${sizes[@]}"; do
  build/make_points "$n" 7 > "$work/points.csv"
  (cd "$work" && /usr/bin/time -v "$OLDPWD/build/tessel" -r -f points.csv \
      > /dev/null 2> time.txt </dev/null) || true
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  seconds=$(echo "$wall" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  mib=$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')
  printf '%10s %12.2f %14s\n' "$n" "$seconds" "$mib"
done
