#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) in build/fuzz and runs
# each one for a bounded time, starting from its committed seeds in fuzz/corpus/<target>/.
# Fails when any target reports a finding (a crash, a sanitizer report, a failed property, a
# leak or a time-out); the input that caused it is left in build/fuzz/findings/<target>/.
#
#   bash scripts/fuzz.sh [target ...]     every target when none is named
#   FUZZ_SECONDS=N                        seconds per target (default 30)
#
# New inputs found during a run go to build/fuzz/corpus/<target>/, never into the seeds; to
# take good ones into the seeds, merge them by hand:
#   build/fuzz/bin/<target>_fuzzer -merge=1 fuzz/corpus/<target> build/fuzz/corpus/<target>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

seconds="${FUZZ_SECONDS:-30}"
all_targets=(date_text html_to_text text_to_html url_to_text text_to_url conversion_mode
  picture_info gif_encoder four_d_pack)
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")

# The longest input each target takes: texts up to 4096 bytes reach the 32767-byte limit
# through the growth of the encodings; a date text is at most 255 characters.
max_len() {
  case "$1" in
    date_text) echo 300 ;;
    *) echo 4096 ;;
  esac
}

echo "== fuzz build (clang, libFuzzer + ASan + UBSan) =="
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNIMBUS_FUZZ=ON -DNIMBUS_SANITIZE=ON -DNIMBUS_TESTS=OFF >/dev/null
cmake --build build/fuzz --target nimbus_fuzzers -j"$(nproc)"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
passed=0
failed=0
report=()
for target in "${targets[@]}"; do
  binary="build/fuzz/bin/${target}_fuzzer"
  seeds="fuzz/corpus/$target"
  work="build/fuzz/corpus/$target"
  findings="build/fuzz/findings/$target"
  log="build/fuzz/$target.log"
  [ -x "$binary" ] || { echo "no fuzz target named $target" >&2; exit 2; }
  mkdir -p "$work" "$findings"
  echo "== fuzz $target (${seconds}s) =="
  status=0
  # The seeds are read first (a regression run of every committed input), then mutated.
  "$binary" "$work" "$seeds" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
    -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if ((status == 0)); then
    passed=$((passed + 1))
    report+=("$(printf '%-16s %4ss %10s runs  no findings' "$target" "$seconds" "${runs:-?}")")
  else
    failed=$((failed + 1))
    grep -E 'fuzz property failed|ERROR: |SUMMARY: |Test unit written' "$log" | head -8 >&2 || true
    report+=("$(printf '%-16s %4ss %10s runs  FINDING (see %s)' "$target" "$seconds" \
      "${runs:-?}" "$log")")
  fi
done

echo "== fuzz summary =="
printf '  %s\n' "${report[@]}"
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
