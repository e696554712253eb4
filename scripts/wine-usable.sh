#!/usr/bin/env bash
# Exits 0 when Wine is installed and can run 32-bit Windows programs on this machine;
# otherwise prints why on standard output and exits 1.
set -uo pipefail
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
exit 0
