#!/bin/sh
# Every function the engine's library defines is in namespace tessel or in
# an anonymous namespace, or is an instantiation of the standard library's
# templates, so the library links beside any other code.  Usage:
# names_in_namespace.sh LIBRARY
set -eu
strays=$(nm --defined-only "$1" | awk '$2 ~ /^[TtWw]$/ { print $3 }' |
  grep -vE '^_Z(Z?N|ZNK|NK)?(6tessel|12_GLOBAL__N_1|St|9__gnu_cxx)|^_ZSt' || true)
if [ -n "$strays" ]; then
  echo "functions outside namespace tessel:"
  echo "$strays" | c++filt
  exit 1
fi
