#!/usr/bin/env bash
# Assembles the R package's source tree from r/ and the smoothing core, then
# builds the source package from it:
#   r/assemble.sh OUT_DIR   (OUT_DIR/tessel/ and OUT_DIR/tessel_VERSION.tar.gz)
# The core's sources are those listed in engine/sources.cmake, copied with
# the core's headers into src/engine/ and the public header into
# src/tessel/; src/Makevars.in gets their object files. The bundled
# example table goes to inst/extdata/. The repository
# keeps no second copy of them.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: r/assemble.sh OUT_DIR}
command -v R >/dev/null || {
  echo "r/assemble.sh: R not found (tools/install-deps installs it)" >&2
  exit 1
}

mkdir -p "$out"
out=$(cd "$out" && pwd)
pkg=$out/tessel
rm -rf "$pkg" "$out"/tessel_*.tar.gz
mkdir -p "$pkg/src/engine" "$pkg/src/tessel"

# The sources named in the CMake list: every engine/*.cpp word in it.
sources=$(sed -e 's/#.*//' "$top/engine/sources.cmake" | grep -oE 'engine/[A-Za-z0-9_]+\.cpp' || true)
[ -n "$sources" ] || {
  echo "r/assemble.sh: no sources found in engine/sources.cmake" >&2
  exit 1
}

cp "$top"/r/{DESCRIPTION,NAMESPACE,LICENSE,configure,cleanup} "$pkg/"
cp -R "$top"/r/{R,man,tests} "$pkg/"
cp "$top"/r/src/*.cpp "$pkg/src/"
for source in $sources; do cp "$top/$source" "$pkg/src/engine/"; done
cp "$top"/engine/*.h "$pkg/src/engine/"
cp "$top/engine/include/tessel/tessel.h" "$pkg/src/tessel/"
mkdir -p "$pkg/inst/extdata"
cp "$top/examples/rates.csv" "$pkg/inst/extdata/"

objects=$(for source in $sources; do printf '%s ' "${source%.cpp}.o"; done)
sed "s|@ENGINE_OBJECTS@|${objects% }|" "$top/r/src/Makevars.in" >"$pkg/src/Makevars.in"

cd "$out"
R CMD build --no-build-vignettes --no-manual tessel
