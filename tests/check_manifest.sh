#!/usr/bin/env bash
# Fails unless the .exe carries its manifest (run as the invoker), naming its architecture
# (x86 or amd64), and declares no DPI awareness: the click offsets are pixels as a
# DPI-unaware program sees them. With a third argument "optional", a missing .exe (a build
# this machine did not make) skips the check with exit code 77.
set -euo pipefail
exe=$1 arch=$2
if [ ! -f "$exe" ]; then
  [ "${3:-}" = optional ] && { echo "no $exe built here"; exit 77; }
  echo "missing $exe"; exit 1
fi
text=$(strings -n 8 "$exe")
grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$text" || { echo "no manifest in $exe"; exit 1; }
grep -q "processorArchitecture=\"$arch\"" <<<"$text" || { echo "$exe's manifest does not name $arch"; exit 1; }
if grep -Eiq '<(dpiAware|dpiAwareness)[ >]' <<<"$text"; then echo "$exe declares DPI awareness"; exit 1; fi
