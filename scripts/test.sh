#!/usr/bin/env bash
# Builds the package and runs every test suite:
#   native      the Linux build, tests run by ctest
#   sanitizers  the same tests built with AddressSanitizer, LeakSanitizer and UBSan
#   windows     the 32-bit Windows DLL cross-compiled with mingw-w64 and checked (PE32
#               i386, exporting only FourDPack), the release zip packed, and the same tests
#               run under Wine against it (the examples with the Windows nimbus-host.exe)
#   fuzz        every fuzz target built with clang (libFuzzer, ASan, UBSan) and run for a
#               bounded time from its committed seeds (scripts/fuzz.sh; FUZZ_SECONDS per target)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# Wine is the one install the suites can do without: when the registry cannot provide it, or
# this machine cannot run it, every other suite still runs and the summary says why the
# Windows suite under Wine did not.
wine_not_installed="$root/build/wine-not-installed.txt"
rm -f "$wine_not_installed"
NIMBUS_WINE_OPTIONAL="$wine_not_installed" bash scripts/install-deps.sh test

jobs=$(nproc)
summary=()

echo "== native build and tests =="
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBUS_TESTS=ON >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs")
summary+=("native: passed")

echo "== sanitizer build and tests (ASan, LSan, UBSan) =="
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNIMBUS_SANITIZE=ON -DNIMBUS_TESTS=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j"$jobs")
summary+=("sanitizers: passed")

echo "== Windows build (i686 mingw-w64) =="
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/i686-w64-mingw32.cmake" -DNIMBUS_TESTS=ON >/dev/null
cmake --build build/windows -j"$jobs"
bash scripts/check-windows-package.sh WIN4DX/Nimbus.4DX
cmake --build build/windows --target package >/dev/null
zip=$(ls build/windows/Nimbus.4DX-*-win32.zip)
summary+=("windows: Nimbus.4DX built and checked, release package $(basename "$zip") made")

echo "== Windows tests under Wine =="
if [ -s "$wine_not_installed" ]; then
  wine_not_run="$(cat "$wine_not_installed")"
elif ! wine_not_run=$(bash scripts/wine-usable.sh "$root/build/windows/wineprefix"); then
  :
else
  wine_not_run=""
  eval "$(bash scripts/wine-prefix.sh "$root/build/windows/wineprefix")"
  (cd build/windows && ctest --output-on-failure -j"$jobs")
  wineserver -k 2>/dev/null || true
  summary+=("windows under Wine: passed")
fi
if [ -n "$wine_not_run" ]; then
  echo "NOT RUN: $wine_not_run"
  # The Windows build's tests that need no Wine still run: the import checks read the DLLs
  # with objdump.
  (cd build/windows && ctest --output-on-failure -R '^package_windows_imports')
  summary+=("windows: import checks passed (the package's DLL, and a planted Vista-only import refused)")
  summary+=("windows under Wine: NOT RUN: $wine_not_run")
fi

echo "== fuzzing (libFuzzer with ASan and UBSan, ${FUZZ_SECONDS:-30}s per target) =="
bash scripts/fuzz.sh
summary+=("fuzz: every target ran ${FUZZ_SECONDS:-30}s from its seeds with no findings")

echo "== summary =="
printf '  %s\n' "${summary[@]}"
