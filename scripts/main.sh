#!/usr/bin/env bash
# Builds the package and the stand-in host, then runs the main job through nimbus-host:
#   bash scripts/main.sh [PORT]              the Linux build
#   bash scripts/main.sh --windows [PORT]    the Windows DLL and nimbus-host.exe under Wine,
#                                            with Wine's real Winsock
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
windows=0
if [ "${1:-}" = "--windows" ]; then
  windows=1
  shift
fi
if [ "$windows" = 1 ]; then
  bash scripts/install-deps.sh windows
else
  bash scripts/install-deps.sh native
fi
# The main job needs no test framework: the tests are configured only where googletest is
# installed (the test command installs it and configures them itself).
tests=OFF
if [ -d /usr/src/googletest ]; then tests=ON; fi
# The main job: the web server script serving the bundled site on 127.0.0.1, one log line a
# request, until interrupted. The port is the first argument (default 8080).
port="${1:-8080}"
if [ "$windows" = 1 ]; then
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/i686-w64-mingw32.cmake" -DNIMBUS_TESTS=$tests >/dev/null
  cmake --build build/windows -j"$(nproc)" --target nimbus-host nimbus_4dx
  if ! reason=$(bash scripts/wine-usable.sh "$root/build/windows/wineprefix"); then
    echo "main.sh --windows: Wine cannot run the 32-bit package here: $reason" >&2
    exit 1
  fi
  eval "$(bash scripts/wine-prefix.sh "$root/build/windows/wineprefix")"
  host=(wine build/windows/bin/nimbus-host.exe --package WIN4DX/Nimbus.4DX)
else
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBUS_TESTS=$tests >/dev/null
  cmake --build build/native -j"$(nproc)" --target nimbus-host nimbus_4dx
  host=(build/native/bin/nimbus-host)
fi
echo "Serving examples/site/ on http://127.0.0.1:$port/ (Ctrl-C stops it). Fetch from it with:"
echo "  ${host[*]} run examples/fetch.4dm 127.0.0.1 $port /index.html"
exec "${host[@]}" run examples/serve.4dm "$port"
