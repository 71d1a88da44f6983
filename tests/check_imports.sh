#!/usr/bin/env bash
# Fails unless the .exe exists, is a 32-bit GUI program, and imports system DLLs only.
set -euo pipefail
exe=$1
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
dump=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a 32-bit PE"; exit 1; }
grep -Eq '^Subsystem\s+0+2\s' <<<"$dump" || { echo "not a GUI subsystem program"; exit 1; }
allowed='^(KERNEL32|USER32|GDI32|SHELL32|ADVAPI32|COMCTL32|msvcrt|VERSION)\.dll$'
status=0
while read -r dll; do
  if ! grep -Eiq "$allowed" <<<"$dll"; then echo "non-system import: $dll"; status=1; fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
exit $status
