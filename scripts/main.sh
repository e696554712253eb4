#!/usr/bin/env bash
# Builds the package and the stand-in host, then runs the main job through nimbus-host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)"
host=build/native/bin/nimbus-host
"$host" list
"$host" call NameToAddress 127.0.0.1 0 0
"$host" call AddressToName 0x7F000001 2 0
"$host" call MacToISO 'caf\x8e'
"$host" call TextToHTML '<b>caf\x8e & cr\x8fme</b>' 0
"$host" call SecondsToDateText 2867734177 1
"$host" call StreamList 0
