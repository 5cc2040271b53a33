#!/bin/sh
# The version is written once, in VERSION: every place that shows it takes
# it from there (CMake's package, the Python package, the man page, the
# Debian package through CMake) or, for the R package whose DESCRIPTION
# must hold it literally, agrees with it; no tracked file but those two
# holds the number.
#   version_agrees.sh SOURCE_DIR BUILD_DIR
set -eu
source_dir=$1 build_dir=$2
version=$(cat "$source_dir/VERSION")
fail() { echo "version_agrees: $*" >&2; exit 1; }
echo "$version" | grep -Eqx '[0-9]+\.[0-9]+\.[0-9]+' || fail "VERSION is not MAJOR.MINOR.PATCH: $version"

grep -qx "Version: $version" "$source_dir/r/DESCRIPTION" || fail "r/DESCRIPTION's Version is not $version"
grep -q "set(PACKAGE_VERSION \"$version\")" "$build_dir/tesselConfigVersion.cmake" ||
  fail "the CMake package's version is not $version"
grep -q "^\.TH .*\"tessel $version\"" "$build_dir/doc/tessel.1" ||
  fail "the man page $build_dir/doc/tessel.1 does not say $version"
if [ -f "$build_dir/python/tessel/_version.py" ]; then
  grep -Eqx "__version__ = [\"']$version[\"']" "$build_dir/python/tessel/_version.py" ||
    fail "the Python package's _version.py is not $version"
fi
if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
  copies=$(git -C "$source_dir" grep -lF "$version" -- . ':!VERSION' ':!r/DESCRIPTION' || true)
  [ -z "$copies" ] || fail "the version is written again in: $copies"
fi
echo "version_agrees: $version everywhere"
