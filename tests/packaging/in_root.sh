#!/usr/bin/env bash
# Run by deb_check.sh inside a fresh Debian 12 root, in /root/check, which
# holds the package, README's worked example (example.sh, example.expected),
# the package's man page (tessel.1), the outside CMake project
# (outside/) and examples/rates.csv. The package goes in first, onto the
# bare root; man-db, then cmake and g++ come only for the steps that need
# them.
set -euo pipefail
cd /root/check
export DEBIAN_FRONTEND=noninteractive
version=$(cat version)
started=$(date +%s)
step() { echo "== in the root $(($(date +%s) - started)) s: $*"; }
fail() {
  echo "in the root: $*" >&2
  exit 1
}
shows() { # NAME EXPECTED ACTUAL: fails with their differences
  cmp -s "$2" "$3" || fail "$1 differs:
$(diff -u "$2" "$3" || true)"
}
apt_install() { # apt-get install ARGS, its output shown only when it fails
  apt-get install -y -q "$@" </dev/null >apt.log 2>&1 || { cat apt.log; fail "apt-get install $* failed"; }
}

step "apt-get install ./tessel_${version}_*.deb"
apt_install ./tessel_"${version}"_*.deb
dpkg --verify tessel || fail "the installed files differ from the package's"
[ "$(command -v tessel)" = /usr/bin/tessel ] || fail "tessel is not /usr/bin/tessel"

step "README's worked example"
mkdir example
(cd example && sh ../example.sh >../example.out 2>../example.err) ||
  fail "the worked example ends with status $?"
shows "the worked example's output" example.expected example.out
shows "the worked example's standard error" /dev/null example.err

step "man tessel"
apt_install --no-install-recommends man-db
MANWIDTH=80 man tessel >man.out 2>man.err || fail "man tessel ends with status $?"
MANWIDTH=80 man -l tessel.1 >man.expected
shows "man tessel" man.expected man.out
shows "man tessel's standard error" /dev/null man.err
tail -n 1 man.out | grep -qE "^tessel $version " || fail "the man page's footer does not name $version"

step "an outside CMake project links the library"
apt_install --no-install-recommends cmake g++ make
cmake -S outside -B app -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build app >/dev/null
mkdir table
(cd table && ../app/smooth_table ../rates.csv >library.txt && tessel -r -m NA -f ../rates.csv >program.txt)
shows "the library's table" table/program.txt table/library.txt
step "all passed ($(wc -l <table/program.txt) lines of table)"
