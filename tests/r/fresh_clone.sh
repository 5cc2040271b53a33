#!/usr/bin/env bash
# Installs the R package as an R user would, `R CMD INSTALL r` in a fresh
# copy of the repository (its tracked files with their working-tree content,
# nothing built), into a library of its own; then checks that the install
# left the copy as it was and that smooth_rates() on the bundled example,
# as installed with the package, prints the program's lines:
#   tests/r/fresh_clone.sh PROGRAM
set -euo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
program=$(realpath "${1:?usage: tests/r/fresh_clone.sh PROGRAM}")
if ! git -C "$top" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "tests/r/fresh_clone.sh: SKIPPED: $top is not a git checkout, so it has no tracked files to copy"
  exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
clone=$scratch/clone
mkdir "$clone" "$scratch/lib" "$scratch/run"

# The tracked files (links as links), less those deleted in the working tree.
git -C "$top" ls-files -z | (cd "$top" && while IFS= read -r -d '' file; do
  if [ -e "$file" ] || [ -L "$file" ]; then printf '%s\0' "$file"; fi
done) | tar -C "$top" --null -T - -cf - | tar -C "$clone" -xf -
(cd "$clone" && find . | LC_ALL=C sort) >"$scratch/before"

if ! (cd "$scratch" && timeout 600 env MAKEFLAGS=-j2 R CMD INSTALL -l lib clone/r \
  >install.log 2>&1 </dev/null); then
  cat "$scratch/install.log"
  echo "FAIL: R CMD INSTALL r in a fresh copy of the repository"
  exit 1
fi
(cd "$clone" && find . | LC_ALL=C sort) >"$scratch/after"
if ! diff "$scratch/before" "$scratch/after"; then
  echo "FAIL: R CMD INSTALL r left the copy changed (< gone, > new)"
  exit 1
fi

(cd "$scratch/run" && timeout 60 "$program" -r -m NA -f "$clone/examples/rates.csv" </dev/null) \
  >"$scratch/want"
timeout 60 Rscript -e '
  lib <- commandArgs(trailingOnly = TRUE)[[1]]
  rates <- read.csv(system.file("extdata", "rates.csv", package = "tessel", lib.loc = lib,
                                mustWork = TRUE))
  smooth_rates <- getExportedValue(loadNamespace("tessel", lib.loc = lib), "smooth_rates")
  values <- smooth_rates(rates, "rate_per_1000", "population", coords = c("x_km", "y_km"))
  writeLines(c("Smoothed Rate", ifelse(is.na(values), "NA", sprintf("%f", values))))
' "$scratch/lib" </dev/null >"$scratch/got" || { echo "FAIL: smooth_rates() on the bundled example"; exit 1; }
if ! cmp -s "$scratch/want" "$scratch/got"; then
  diff "$scratch/want" "$scratch/got" | head -5 || true
  echo "FAIL: smooth_rates() on the bundled example differs from the program"
  exit 1
fi
echo "PASS: R CMD INSTALL r in a fresh copy: $(($(wc -l <"$scratch/got") - 1)) values as the program's, copy unchanged"
