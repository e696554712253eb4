#!/usr/bin/env bash
# Checks the Windows package: a PE32 i386 DLL whose only export is FourDPack and which
# imports nothing but system DLLs and the toolbox library.
set -euo pipefail
dll="${1:-WIN4DX/Nimbus.4DX}"
dump=$(i686-w64-mingw32-objdump -p "$dll")

grep -q "file format pei-i386" <<<"$dump" || { echo "$dll: not a PE32 i386 file"; exit 1; }
grep -q "Magic.*010b" <<<"$dump" || { echo "$dll: not PE32 (optional header magic)"; exit 1; }

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[[:space:]]*\[/{print $NF} f&&/^$/{f=0}' <<<"$dump")
if [ "$exports" != "FourDPack" ]; then
  echo "$dll: exports are '$exports', expected only FourDPack"; exit 1
fi

allowed='^(ASINTPPC\.dll|KERNEL32\.dll|USER32\.dll|WSOCK32\.dll|WINMM\.dll|msvcrt\.dll|ADVAPI32\.dll)$'
imports=$(awk '/DLL Name:/{print $3}' <<<"$dump")
for dll_name in $imports; do
  if ! grep -qiE "$allowed" <<<"$dll_name"; then
    echo "$dll: unexpected import $dll_name"; exit 1
  fi
done
echo "$dll: PE32 i386 DLL, exports only FourDPack, imports: $(echo $imports)"
