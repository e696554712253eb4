#!/usr/bin/env bash
# Exits 0 when Wine is installed and can run 32-bit Windows programs on this machine;
# otherwise prints why on standard output and exits 1.
#   bash scripts/wine-usable.sh [PREFIX_DIR]
# With a prefix folder, it also sets the prefix up (scripts/wine-prefix.sh) and runs a Windows
# program in it, each under a time-out: a Wine that starts but cannot run programs (under an
# emulator, say) is caught here rather than by a test suite that hangs.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
prefix="${1:-}"
if ! command -v wine >/dev/null; then
  echo "wine is not installed"
  exit 1
fi
# Wine's 32-bit loader is a Linux i386 program: a kernel without 32-bit support (IA-32
# emulation off) refuses it with "Exec format error" before Wine starts.
if [ -x /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "this machine's kernel does not run 32-bit (i386) programs, so Wine's 32-bit loader cannot start (/lib/ld-linux.so.2: $(/lib/ld-linux.so.2 --version 2>&1 | head -1 | sed 's/.*: //'))"
  exit 1
fi
if ! out=$(WINEDEBUG=-all timeout 60 wine --version 2>&1); then
  echo "wine --version failed: $(head -1 <<<"$out")"
  exit 1
fi
[ -n "$prefix" ] || exit 0
if ! env_lines=$(timeout 300 bash "$here/wine-prefix.sh" "$prefix" 2>&1); then
  echo "Wine could not set up its prefix $prefix within 300 s"
  exit 1
fi
eval "$env_lines"
if ! timeout 120 wine cmd /c exit 0 >/dev/null 2>&1; then
  echo "Wine could not run a Windows program (cmd /c exit 0) within 120 s"
  wineserver -k 2>/dev/null
  exit 1
fi
exit 0
