#!/usr/bin/env bash
# Fails when pelmora.exe imports a DLL that is not part of the system (for example a
# MinGW runtime DLL that would have to ship beside it), or imports one of the five
# optional libraries: those are loaded at run time, so that a missing one is reported by
# the program itself instead of the loader refusing to start it.
set -euo pipefail
objdump=$1
exe=$2
allowed='^(kernel32|user32|gdi32|msimg32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|version|netapi32|mpr|msvcrt|uxtheme|shlwapi|ws2_32|secur32|rpcrt4)\.dll$'
optional='^(psapi|mprapi|wtsapi32|activeds|ntdsapi)\.dll$'
status=0
while read -r dll; do
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  if [[ "$lower" =~ $optional ]]; then
    echo "optional library imported (must be loaded at run time): $dll"
    status=1
  elif [[ "$lower" =~ $allowed || "$lower" == api-ms-win-* ]]; then
    echo "ok: $dll"
  else
    echo "not a system DLL: $dll"
    status=1
  fi
done < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
exit $status
