#!/bin/sh
# Every function the engine's library defines is in namespace tessel or in
# an anonymous namespace, or is an instantiation of the standard library's
# templates (std::allocator's name is abbreviated Sa, and so on), the
# placement new and delete, the threads' inline helpers of the standard
# library or the compiler's own constructors, so the library links beside
# any other code.  Usage:
# names_in_namespace.sh LIBRARY
set -eu
strays=$(nm --defined-only "$1" | awk '$2 ~ /^[TtWw]$/ { print $3 }' |
  grep -vE '^_Z(Z?N|ZNK|NK)?(6tessel|12_GLOBAL__N_1|S[tabsiod]|9__gnu_cxx)|^_ZS[tabsiod]|^_Z(nw|na|dl|da)|^_ZL[0-9]+__gthread|^_sub_[DI]_' ||
  true)
if [ -n "$strays" ]; then
  echo "functions outside namespace tessel:"
  echo "$strays" | c++filt
  exit 1
fi
