#!/usr/bin/env bash
# Runs a make target on a machine that may lack make itself:
#   ./build.sh run     build the program, then smooth the bundled example
#   ./build.sh test    install what the tests need, build, then run every test
# Any make target and variables may follow (./build.sh sanitize JOBS=1);
# with none it runs make's default target (build).
#
# First it sees to the Debian packages the target needs, through
# tools/install-deps: g++, cmake and make for build, run, install and clean,
# the whole list for any other target. Run as root it installs what is
# missing with apt-get, without asking; run as another user it installs
# nothing and, when something is missing, names the one command to run and
# exits with status 1. Installation messages go to standard error, so that
# standard output carries what make prints.
set -euo pipefail
cd "$(dirname "$0")"

export DEBIAN_FRONTEND=noninteractive

target=
for arg in "$@"; do
  case "$arg" in
    -*|*=*) ;;
    *) target=$arg; break ;;
  esac
done

case "$target" in
  ""|all|build|run|install|clean) bash tools/install-deps --program </dev/null >&2 ;;
  *) bash tools/install-deps </dev/null >&2 ;;
esac

exec make "$@"
