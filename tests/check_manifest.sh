#!/usr/bin/env bash
# Fails unless the .exe carries its manifest (run as the invoker) and declares no DPI
# awareness: the click offsets are pixels as a DPI-unaware program sees them.
set -euo pipefail
exe=$1
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
text=$(strings -n 8 "$exe")
grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$text" || { echo "no manifest in $exe"; exit 1; }
if grep -Eiq '<(dpiAware|dpiAwareness)[ >]' <<<"$text"; then echo "$exe declares DPI awareness"; exit 1; fi
