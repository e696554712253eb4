#!/usr/bin/env bash
# Creates (once) the quiet 32-bit Wine prefix the Windows tests run in, and prints the
# environment to use it. Wine's own messages stay out of the test output (WINEDEBUG=-all),
# and windows are created without a display (the "null" graphics driver).
set -euo pipefail
prefix="${1:?usage: wine-prefix.sh PREFIX_DIR}"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot --init >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
fi
echo "export WINEPREFIX='$prefix' WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='"
