#!/usr/bin/env bash
# Fails unless the .exe's version resource carries the given version, as numbers and as text.
# Read from the file itself, so it holds for the shipped 32-bit program on any machine.
set -euo pipefail
exe=$1 version=$2
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
rc=$(i686-w64-mingw32-windres -J coff -O rc -i "$exe") || { echo "no resources in $exe"; exit 1; }
nums=${version//./, }
status=0
for key in FILEVERSION PRODUCTVERSION; do
  grep -Eq "^ *$key $nums, [0-9]+\$" <<<"$rc" ||
    { echo "$key is not $version: $(grep -E "^ *$key " <<<"$rc" || echo none)"; status=1; }
done
for key in FileVersion ProductVersion; do
  grep -Fq "VALUE \"$key\", \"$version\"" <<<"$rc" ||
    { echo "$key text is not $version: $(grep -F "\"$key\"" <<<"$rc" || echo none)"; status=1; }
done
exit $status
