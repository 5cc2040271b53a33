#!/bin/sh
# Installs the build into a scratch prefix, builds the outside project
# against it, and compares its table with the program's on the bundled
# example.  Usage: installed_library.sh BUILD_DIR SOURCE_DIR TESSEL_BINARY [FLAGS]
# (FLAGS: compiler and linker flags the project needs, e.g. a sanitizer's)
set -eu
build=$1 source=$2 program=$3 flags=${4:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$source/tests/library/outside" -B "$scratch/app" -DCMAKE_PREFIX_PATH="$scratch/prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  >/dev/null
cmake --build "$scratch/app" >/dev/null
"$scratch/app/smooth_table" "$source/examples/rates.csv" > "$scratch/library.txt"
(cd "$scratch" && "$program" -r -m NA -f "$source/examples/rates.csv" > program.txt)
cmp "$scratch/library.txt" "$scratch/program.txt"
echo "the installed library's table equals the program's ($(wc -l < "$scratch/program.txt") lines)"
