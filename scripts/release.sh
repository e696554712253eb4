#!/usr/bin/env bash
# Makes the release package build/release/Nimbus.4DX-<version>-win32.zip from scratch: the
# Windows DLL cross-compiled (without the tests), checked, and packed by CPack with its
# resource file, the routine reference and the install note. The version is the project's
# (CMakeLists.txt). Built with debug information, which the build strips from the DLL and
# keeps beside it in build/release/Nimbus.4DX.debug (linked from the DLL by .gnu_debuglink).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh release
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBUS_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/i686-w64-mingw32.cmake" >/dev/null
cmake --build build/release -j"$(nproc)" --target nimbus_4dx
bash scripts/check-windows-package.sh WIN4DX/Nimbus.4DX
cmake --build build/release -j"$(nproc)" --target package
ls -l build/release/Nimbus.4DX-*-win32.zip
