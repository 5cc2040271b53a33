#!/usr/bin/env bash
# Writes the program's result tables that the R package's tests compare
# with, one per case of r/tests/testthat/program/cases.txt:
#   r/expected.sh PROGRAM           compare them with the committed copies
#   r/expected.sh PROGRAM --update  rewrite the committed copies
# Each case runs `PROGRAM -r -m NA -f INPUT OPTIONS` in a scratch directory
# (the program leaves its log and work file there) with no standard input;
# what the program prints before the table (the zero-size reports, which
# end without a line break) is cut.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:?usage: r/expected.sh PROGRAM [--update]}")
mode=${2:-}
cases=$top/r/tests/testthat/program
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

stale=0
while read -r name input options; do
  case "$name" in "" | "#"*) continue ;; esac
  [ "$input" = rates ] && input=$top/examples/rates.csv || input=$cases/$input
  # shellcheck disable=SC2086  # the options are words
  (cd "$scratch" && timeout 60 "$program" -r -m NA -f "$input" $options </dev/null) \
    | sed -n -e 's/^.*Smoothed Rate$/Smoothed Rate/' -e '/^Smoothed Rate$/,$p' >"$scratch/$name.txt"
  if [ "$mode" = --update ]; then
    cp "$scratch/$name.txt" "$cases/$name.txt"
  elif ! cmp -s "$scratch/$name.txt" "$cases/$name.txt"; then
    echo "r/expected.sh: $name.txt differs from the program's output (r/expected.sh PROGRAM --update)"
    stale=1
  fi
done <"$cases/cases.txt"
exit $stale
