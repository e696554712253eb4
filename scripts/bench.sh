#!/usr/bin/env bash
# Builds the benchmarks (Release, -DNIMBUS_BENCH=ON) in build/bench, runs every one of them
# and prints the report: each figure beside its peer measured in the same run, as a ratio.
#   GIF encoding          against giflib's encoder
#   stream throughput     against a raw socket loop with the same send size (loopback only)
#   text conversions      against their literal reference and against a byte copy
#   keyed text queues     against a hashed map of deques, across key counts
#   stand-in toolbox      moving mode on against off
#   yield and switch      the toolbox's yield (0 and 1023 sockets listening) against a plain
#                         call; a process switch against two threads and a semaphore each
#   main job              examples/serve.4dm against Python's http.server: a 100 MiB file
#                         with curl, ab -n 2000 -c 8 on the bundled page, CPU while idle
#   script texts          the stand-in host's script interpreter (Replace string, Position, a
#                         byte loop on 0.4 to 3.2 MB) against Python doing the same work
#
#   bash scripts/bench.sh
# Each program's own output goes to build/bench/results/<program>.txt, its figures to
# <program>.json. Run it on a quiet machine: the figures are wall-clock and CPU times.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh bench

programs=(gif_bench net_bench text_bench queues_bench toolbox_bench)
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBUS_BENCH=ON \
  -DNIMBUS_TESTS=OFF >/dev/null
cmake --build build/bench --target "${programs[@]}" -j"$(nproc)"

results=build/bench/results
rm -rf "$results"
mkdir -p "$results"
for program in "${programs[@]}"; do
  echo "running $program"
  extra=()
  # Encoding rates, loopback throughput and queue times swing from run to run on a shared machine:
  # seven repetitions of each, interleaved at random, and the report takes the medians.
  if [[ $program == gif_bench || $program == net_bench || $program == queues_bench ]]; then
    extra=(--benchmark_repetitions=7 --benchmark_enable_random_interleaving=true)
  fi
  "build/bench/bin/$program" "${extra[@]}" --benchmark_out="$results/$program.json" \
    --benchmark_out_format=json >"$results/$program.txt" 2>&1
done

# Scheduling and the main job: the cost of a yield and of a process switch, and
# examples/serve.4dm run by nimbus-host against Python's http.server on the same folder.
cmake --build build/bench --target scheduler_bench nimbus-host nimbus_4dx -j"$(nproc)"
echo "running scheduler_bench"
build/bench/bin/scheduler_bench --benchmark_out="$results/scheduler_bench.json" \
  --benchmark_out_format=json >"$results/scheduler_bench.txt" 2>&1
echo "running the main job against python3 -m http.server"
python3 bench/main_job_bench.py build/bench/bin/nimbus-host examples "$results/main_job.json" \
  >"$results/main_job.txt" 2>&1

# The stand-in host's script interpreter on long texts against Python doing the same work.
echo "running the script interpreter on long texts against Python"
python3 bench/script_text_bench.py build/bench/bin/nimbus-host bench/script/long_texts.4dm \
  "$results/script_text.json" >"$results/script_text.txt" 2>&1

python3 scripts/bench_report.py "$results"
