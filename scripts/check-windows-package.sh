#!/usr/bin/env bash
# Checks the Windows package: a PE32 i386 DLL whose only export is FourDPack and whose every
# import (DLL and function) is in the allow-list scripts/windows-imports.allow, which gives
# each one's oldest Windows (2000 for all). Prints the import table it found; fails on any
# import not listed, naming it.
set -euo pipefail
dll="${1:-WIN4DX/Nimbus.4DX}"
allow="${2:-$(dirname "$0")/windows-imports.allow}"
dump=$(i686-w64-mingw32-objdump -p "$dll")

grep -q "file format pei-i386" <<<"$dump" || { echo "$dll: not a PE32 i386 file"; exit 1; }
grep -q "Magic.*010b" <<<"$dump" || { echo "$dll: not PE32 (optional header magic)"; exit 1; }

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[[:space:]]*\[/{print $NF} f&&/^$/{f=0}' <<<"$dump")
if [ "$exports" != "FourDPack" ]; then
  echo "$dll: exports are '$exports', expected only FourDPack"; exit 1
fi

# "DLL function" for every import, DLL names as the file spells them. An import by ordinal
# (no name) shows as "<ordinal N>" and is never allowed.
imports=$(awk '
  /DLL Name:/ { dll = $3; next }
  /^$/ { dll = "" }
  dll != "" && /^\t[0-9a-f]+\t/ {
    if (NF >= 3) print dll, $NF; else print dll, "<ordinal " $2 ">"
  }' <<<"$dump")
[ -n "$imports" ] || { echo "$dll: no import table found"; exit 1; }

allowed=$(awk '!/^#/ && NF >= 2 { print toupper($1), $2 }' "$allow")
echo "$dll: import table (DLL, function):"
unexpected=0
while read -r name function; do
  if grep -qxF "$(tr '[:lower:]' '[:upper:]' <<<"$name") $function" <<<"$allowed"; then
    echo "  $name $function"
  else
    echo "  $name $function    NOT ALLOWED (not in $allow)"
    unexpected=$((unexpected + 1))
  fi
done <<<"$imports"
count=$(wc -l <<<"$imports")
if [ "$unexpected" -gt 0 ]; then
  echo "$dll: $unexpected of $count imports are not in the allow-list"; exit 1
fi

# Shipped stripped: no debug sections, and a debug link naming the file that holds them.
headers=$(i686-w64-mingw32-objdump -h "$dll")
if grep -q " \.debug_" <<<"$headers"; then
  echo "$dll: not stripped (debug sections present)"; exit 1
fi
grep -q " \.gnu_debuglink" <<<"$headers" || { echo "$dll: no .gnu_debuglink section"; exit 1; }

echo "$dll: PE32 i386 DLL, exports only FourDPack, all $count imports in $(basename "$allow")" \
  "(DLLs: $(awk '{print $1}' <<<"$imports" | sort -u | tr '\n' ' '))"
