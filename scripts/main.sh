#!/usr/bin/env bash
# Builds the package and the stand-in host, then runs the main job through nimbus-host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target nimbus-host nimbus_4dx
host=build/native/bin/nimbus-host
# The main job: the web server script serving the bundled site on 127.0.0.1, one log line a
# request, until interrupted. The port is the first argument (default 8080).
port="${1:-8080}"
echo "Serving examples/site/ on http://127.0.0.1:$port/ (Ctrl-C stops it). Fetch from it with:"
echo "  $host run examples/fetch.4dm 127.0.0.1 $port /index.html"
exec "$host" run examples/serve.4dm "$port"
