#!/usr/bin/env bash
# Two builds of the program give the same bytes: the values and screens of
# every run of the engine's differential test (tests/engine/
# differential_test.cpp, its random runs) and the program's table on every
# layout of make_points. It
# checks a build whose long double is not the x87 format, so that the
# engine does its extended arithmetic in software, against the normal build.
# Usage: tests/platform/same_output.sh BUILD_A BUILD_B [RUNS [POINTS]]
#   RUNS random runs (default 2000), POINTS points of each layout (default
#   200000); each build directory holds engine_tests, tessel and make_points.
set -euo pipefail
a=$(cd "${1:?usage: same_output.sh BUILD_A BUILD_B [RUNS [POINTS]]}" && pwd)
b=$(cd "${2:?usage: same_output.sh BUILD_A BUILD_B [RUNS [POINTS]]}" && pwd)
runs=${3:-2000}
points=${4:-200000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/a" "$work/b"

# The differential test of each build at once (the two differ in speed, not
# in what they print); each must pass on its own as well.
differential() {
  TESSEL_DIFFERENTIAL_ROUNDS=$runs TESSEL_DIFFERENTIAL_VALUES=$work/$2/values.txt \
    "$1/engine_tests" --gtest_filter='Differential.*' >"$work/$2/differential.log" 2>&1
}
status=0
differential "$a" a & first=$!
differential "$b" b || status=$?
wait "$first" || status=$?
if [ "$status" -ne 0 ]; then
  cat "$work/a/differential.log" "$work/b/differential.log" >&2
  echo "same_output: the differential test failed" >&2
  exit 1
fi
if ! cmp "$work/a/values.txt" "$work/b/values.txt"; then
  echo "same_output: the $runs random runs' values differ" >&2
  exit 1
fi
echo "same values on $runs random runs ($(wc -l <"$work/a/values.txt") lines)"

for layout in uniform towns outlier skewed line lattice shared; do
  "$a/make_points" "$points" 7 "$layout" >"$work/points.csv"
  for side in a b; do
    build=$a
    [ "$side" = b ] && build=$b
    if ! (cd "$work/$side" && "$build/tessel" -r -f ../points.csv >table.txt 2>stderr.txt); then
      cat "$work/$side/stderr.txt" >&2
      echo "same_output: $build/tessel failed on $layout" >&2
      exit 1
    fi
  done
  if ! cmp "$work/a/table.txt" "$work/b/table.txt" || ! cmp "$work/a/stderr.txt" "$work/b/stderr.txt"; then
    echo "same_output: the tables of $layout ($points points) differ" >&2
    exit 1
  fi
  echo "same table on $layout, $points points"
done
