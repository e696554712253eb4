#!/usr/bin/env bash
# Builds the benchmarks (Release, -DNIMBUS_BENCH=ON) in build/bench, runs every one of them
# and prints the report: each figure beside its peer measured in the same run, as a ratio.
#   GIF encoding          against giflib's encoder
#   stream throughput     against a raw socket loop with the same send size (loopback only)
#   text conversions      against their literal reference and against a byte copy
#   keyed text queues     against a hashed map of deques, across key counts
#   stand-in toolbox      moving mode on against off
#
#   bash scripts/bench.sh
# Each program's own output goes to build/bench/results/<program>.txt, its figures to
# <program>.json. Run it on a quiet machine: the figures are wall-clock and CPU times.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh

programs=(gif_bench net_bench text_bench queues_bench toolbox_bench)
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBUS_BENCH=ON \
  -DNIMBUS_TESTS=OFF >/dev/null
cmake --build build/bench --target "${programs[@]}" -j"$(nproc)"

results=build/bench/results
rm -rf "$results"
mkdir -p "$results"
for program in "${programs[@]}"; do
  echo "running $program"
  "build/bench/bin/$program" --benchmark_out="$results/$program.json" \
    --benchmark_out_format=json >"$results/$program.txt" 2>&1
done

python3 scripts/bench_report.py "$results"
