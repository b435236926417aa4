#!/usr/bin/env bash
# Fails when pelmora.exe imports a DLL that is not part of the system (for example a
# MinGW runtime DLL that would have to ship beside it).
set -euo pipefail
objdump=$1
exe=$2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msimg32|version|netapi32|mpr|msvcrt|uxtheme|shlwapi|ws2_32|activeds|ntdsapi|secur32|rpcrt4)\.dll$'
status=0
while read -r dll; do
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  if [[ "$lower" =~ $allowed || "$lower" == api-ms-win-* ]]; then
    echo "ok: $dll"
  else
    echo "not a system DLL: $dll"
    status=1
  fi
done < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
exit $status
