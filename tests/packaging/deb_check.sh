#!/usr/bin/env bash
# Checks the Debian package as a user of Debian 12 meets it. On the host:
# lintian finds no error, every file is root's with Debian's usual mode, the
# package holds exactly the files below, and Depends names what
# dpkg-shlibdeps found. Then, in a fresh Debian 12 root that mmdebstrap
# makes (minbase plus git and ca-certificates, from the mirrors the host's
# apt uses), tests/packaging/in_root.sh installs the package with apt-get
# and tries the program, the man page and the library there. The root is
# made in root mode, which also works in a container that may not mount
# (mmdebstrap then skips the mounts), and is removed afterwards, whatever
# happens; DEB_CHECK_SECONDS (default 1800) bounds its part.
#   Usage (as root): deb_check.sh DEB SOURCE_DIR
set -euo pipefail
deb=$(realpath "$1")
source=$(cd "$2" && pwd)
seconds=${DEB_CHECK_SECONDS:-1800}
started=$(date +%s)
step() { echo "== deb-check $(($(date +%s) - started)) s: $*"; }
fail() {
  echo "deb-check: $*" >&2
  exit 1
}
[ "$(id -u)" -eq 0 ] || fail "run as root (mmdebstrap makes the root in root mode)"
for tool in lintian mmdebstrap dpkg-architecture; do
  command -v "$tool" >/dev/null || fail "$tool not found (tools/install-deps installs it)"
done
version=$(cat "$source/VERSION")

step "lintian $(basename "$deb")"
lintian --fail-on error "$deb" || fail "lintian reports an error"

step "owners, modes, files and Depends"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected_files="-rwxr-xr-x ./usr/bin/tessel
-rw-r--r-- ./usr/include/tessel/tessel.h
-rw-r--r-- ./usr/lib/$multiarch/cmake/tessel/tesselConfig.cmake
-rw-r--r-- ./usr/lib/$multiarch/cmake/tessel/tesselConfigVersion.cmake
-rw-r--r-- ./usr/lib/$multiarch/cmake/tessel/tesselTargets-relwithdebinfo.cmake
-rw-r--r-- ./usr/lib/$multiarch/cmake/tessel/tesselTargets.cmake
-rw-r--r-- ./usr/lib/$multiarch/libtessel.a
-rw-r--r-- ./usr/share/doc/tessel/changelog.gz
-rw-r--r-- ./usr/share/doc/tessel/copyright
-rw-r--r-- ./usr/share/man/man1/tessel.1.gz"
listing=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')
! grep -v ' root/root ' <<<"$listing" || fail "the entries above are not root's"
! grep '^d' <<<"$listing" | grep -v '^drwxr-xr-x ' || fail "the directories above are not rwxr-xr-x"
files=$(grep -v '^d' <<<"$listing" | awk '{print $1, $3}' | LC_ALL=C sort -k2)
[ "$files" = "$expected_files" ] ||
  fail "the package's files differ from the expected ones:
$(diff <(echo "$expected_files") <(echo "$files") || true)"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libgcc-s1 libstdc++6; do
  [[ ", $depends" == *", $library (>= "* ]] || fail "Depends ($depends) lacks $library"
done

# README's worked example: its commands (the lines after "$ ") and the
# output that the last of them, the program, prints.
example=$(awk '/^### A worked example/ { found = 1; next }
  found && /^```/ { if (inside) exit; inside = 1; next }
  inside { print }' "$source/README.md")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessel-deb-check.XXXXXX")
chmod 755 "$scratch" # apt's download user reads the root's lists
root=$scratch/root
check=$scratch/check
cleanup() {
  # A run stopped half-way may leave the root's mounts behind.
  awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r mount; do umount -l "$mount" || true; done
  rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT
mkdir "$check"
sed -n 's/^\$ //p' <<<"$example" >"$check/example.sh"
awk '/^\$ / { output = ""; next } { output = output $0 "\n" } END { printf "%s", output }' \
  <<<"$example" >"$check/example.expected"
tail -n 1 "$check/example.sh" | grep -q '^tessel ' && [ -s "$check/example.expected" ] ||
  fail "README's worked example (a block of commands, the last one tessel, and its output) not found"
cp "$deb" "$check/"
cp "$source/tests/packaging/in_root.sh" "$source/examples/rates.csv" "$check/"
cp -R "$source/tests/library/outside" "$check/"
echo "$version" >"$check/version"
# The man page as the package holds it, for man -l to render beside man tessel.
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/man/man1/tessel.1.gz | gunzip \
  >"$check/tessel.1"

# The host's Debian mirrors for bookworm, as its apt sees them (main only).
mapfile -t mirrors < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(ORIGIN)' \
  'Identifier: Packages' | awk '$3 == "Debian" && $2 ~ /^bookworm(-updates|-security)?$/ {
    print "deb " $1 " " $2 " main" }' | LC_ALL=C sort -u)
if [ ${#mirrors[@]} -eq 0 ]; then
  mirrors=("deb http://deb.debian.org/debian bookworm main")
fi
step "mmdebstrap bookworm from: ${mirrors[*]}"
status=0
timeout --kill-after=60 "$seconds" mmdebstrap --mode=root --format=directory --variant=minbase \
  --include=git,ca-certificates \
  --customize-hook="copy-in $check /root" \
  --customize-hook='chroot "$1" bash /root/check/in_root.sh' \
  bookworm "$root" "${mirrors[@]}" </dev/null || status=$?
[ "$status" -ne 124 ] && [ "$status" -ne 137 ] || fail "the check in the root took more than $seconds s"
[ "$status" -eq 0 ] || fail "the check in the root failed (status $status)"
step "done; the package installs and works in a fresh Debian 12 root"
