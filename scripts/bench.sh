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
# The GIF, text and queue benchmarks run a second time as 32-bit x86 code with the Windows
# package's code generation (build/bench32, cmake/toolchains/i686-linux-gnu.cmake: x87, no
# SSE, not position-independent), each beside its peer built the same way (giflib and Google
# Benchmark for i386), and the report puts the 32-bit figures beside the 64-bit ones. Where
# this machine cannot execute 32-bit code, or the i386 packages cannot be installed, the 32-bit
# column says why and the script still succeeds.
#
# Instruction counts of one GIF encoding (ours and giflib's, each image): the 64-bit build
# under callgrind; with NIMBUS_BENCH_COUNT32=1 also the 32-bit build under qemu-i386's trace
# (half an hour or more). Counts compare code, not machines: they are no substitute for times.
#
#   bash scripts/bench.sh
# Each program's own output goes to build/bench/results/<program>.txt, its figures to
# <program>.json; the 32-bit ones to build/bench32/results/. Run it on a quiet machine: the
# figures are wall-clock and CPU times.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bench32=build/bench32
results32=$bench32/results
rm -rf "$results32"
mkdir -p "$results32"
why_not32="$results32/not-run.txt"
NIMBUS_BENCH32_OPTIONAL="$why_not32" bash scripts/install-deps.sh bench

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

# The 32-bit build: the same programs, x87 and no SSE as in the package's DLL.
programs32=(gif_bench text_bench queues_bench)
if [ ! -s "$why_not32" ]; then
  if ! cmake -S . -B "$bench32" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBUS_BENCH=ON \
      -DNIMBUS_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/i686-linux-gnu.cmake" \
      >"$results32/configure.txt" 2>&1; then
    echo "the 32-bit build could not be configured (see $results32/configure.txt)" >"$why_not32"
  elif ! cmake --build "$bench32" --target "${programs32[@]}" gif_instructions -j"$(nproc)" \
      >"$results32/build.txt" 2>&1; then
    echo "the 32-bit build failed (see $results32/build.txt)" >"$why_not32"
  fi
fi
# Can this machine run 32-bit code natively? A tiny -m32 program says. An i386 binary run
# through an emulator registered with the kernel (binfmt_misc) would give emulated times: no.
if [ ! -s "$why_not32" ]; then
  probe="$results32/probe32"
  if ! printf 'int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n' |
      gcc -m32 -x c - -o "$probe" 2>"$results32/probe.txt"; then
    echo "gcc -m32 cannot build a 32-bit program here" >"$why_not32"
  elif ! "$probe" >>"$results32/probe.txt" 2>&1; then
    echo "this machine cannot execute 32-bit code ($(tail -1 "$results32/probe.txt" | sed 's/.*: //'))" >"$why_not32"
  elif grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    echo "32-bit programs run here only through qemu-i386 (binfmt_misc): emulated times" >"$why_not32"
  fi
fi
if [ ! -s "$why_not32" ]; then
  for program in "${programs32[@]}"; do
    echo "running $program (32-bit)"
    extra=()
    if [[ $program == gif_bench || $program == queues_bench ]]; then
      extra=(--benchmark_repetitions=7 --benchmark_enable_random_interleaving=true)
    fi
    "$bench32/bin/$program" "${extra[@]}" --benchmark_out="$results32/$program.json" \
      --benchmark_out_format=json >"$results32/$program.txt" 2>&1
  done
else
  echo "32-bit benchmarks not run: $(cat "$why_not32")"
fi

# Instruction counts of one GIF encoding.
cmake --build build/bench --target gif_instructions -j"$(nproc)" >/dev/null
if command -v valgrind >/dev/null; then
  echo "counting instructions (64-bit, callgrind)"
  python3 scripts/instruction_counts.py --gif callgrind build/bench/bin/gif_instructions \
    "$results/gif_instructions.json"
fi
if [ "${NIMBUS_BENCH_COUNT32:-0}" = 1 ] && [ -x "$bench32/bin/gif_instructions" ] &&
  command -v qemu-i386 >/dev/null; then
  echo "counting instructions (32-bit, qemu-i386's trace; half an hour or more)"
  python3 scripts/instruction_counts.py --gif qemu-i386 "$bench32/bin/gif_instructions" \
    "$results32/gif_instructions.json"
fi

python3 scripts/bench_report.py "$results" "$results32"
