#!/usr/bin/env bash
# Soaks the scheduler tests beside a CPU load: host_processes_test, host_scheduler_test and
# script_processes_test, RUNS times each (in turn), while load_open_close_cycles_test runs in
# a loop beside them (and BUSY shell busy loops, if asked for). The soak itself has no
# time-out: a run that hangs shows as one that never ends, and each run's duration and exit
# status are written as they come. Not part of the test command.
#
# usage: scripts/soak-scheduler.sh [--windows|--native] [RUNS] [LOG]
#   --windows  the Windows builds in build/windows, under Wine (its prefix made as the test
#              command makes it); the default
#   --native   the Linux builds in build/native
#   RUNS       runs of each test (50)
#   LOG        where the per-run lines go (build/<kind>/soak-scheduler.tsv); each run's
#              output goes to the directory beside it (LOG without .tsv, plus .out)
#   BUSY=N     environment: also keep N busy loops running (0)
#   TESTS="a b" environment: other test programs to soak
# Build the test programs first, e.g.
#   cmake --build build/windows -j2 --target host_processes_test host_scheduler_test \
#     script_processes_test load_open_close_cycles_test
# Prints pass counts and min/median/max durations per test at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind=windows
case "${1:-}" in
  --windows) shift ;;
  --native) kind=native; shift ;;
esac
runs="${1:-50}"
build="$root/build/$kind"
log="$(realpath -m "${2:-$build/soak-scheduler.tsv}")"
tests=(${TESTS:-host_processes_test host_scheduler_test script_processes_test})
load=load_open_close_cycles_test

run=()
if [ "$kind" = windows ]; then
  eval "$(bash "$root/scripts/wine-prefix.sh" "$build/wineprefix")"
  run=(wine)
fi

# The directory ctest runs a test in.
workdir() {
  (cd "$build" && ctest -R "^$1\$" --show-only=json-v1) | python3 -c '
import json, sys
for t in json.load(sys.stdin)["tests"]:
    for p in t.get("properties", []):
        if p["name"] == "WORKING_DIRECTORY": print(p["value"])'
}

exe() {
  if [ "$kind" = windows ]; then echo "$build/bin/$1.exe"; else echo "$build/bin/$1"; fi
}

declare -A dirs
for t in "${tests[@]}" "$load"; do
  [ -x "$(exe "$t")" ] || { echo "missing $(exe "$t"): build it first" >&2; exit 2; }
  dirs[$t]="$(workdir "$t")"
done

pids=()
stop_load() {
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true; done
}
trap stop_load EXIT

# The load: the open-close cycles in a loop, in a process group of its own so that it can be
# ended with everything it started.
set -m
loadlog="$build/soak-load.tsv"
: >"$loadlog"
(cd "${dirs[$load]}" && while :; do
  s=$(date +%s)
  st=0
  "${run[@]}" "$(exe "$load")" >/dev/null 2>&1 || st=$?
  printf '%d\t%d\n' "$(($(date +%s) - s))" "$st" >>"$loadlog"
done) &
pids+=($!)
for ((i = 0; i < ${BUSY:-0}; i++)); do
  (while :; do :; done) &
  pids+=($!)
done
set +m

# Each run's output, beside the log.
outdir="${log%.tsv}.out"
mkdir -p "$(dirname "$log")" "$outdir"
printf 'test\trun\tseconds\tstatus\n' >"$log"
echo "soaking ${tests[*]} ($kind, $runs runs each) beside $load${BUSY:+ and $BUSY busy loops}; log $log"
for ((r = 1; r <= runs; r++)); do
  for t in "${tests[@]}"; do
    out="$outdir/$t-$r.out"
    start=$(date +%s.%N)
    status=0
    (cd "${dirs[$t]}" && "${run[@]}" "$(exe "$t")" >"$out" 2>&1) || status=$?
    end=$(date +%s.%N)
    secs=$(python3 -c "print(f'{$end - $start:.2f}')")
    printf '%s\t%d\t%s\t%d\n' "$t" "$r" "$secs" "$status" >>"$log"
    echo "$t run $r: ${secs}s status $status"
    if [ "$status" -ne 0 ]; then
      grep -E '^\[  FAILED|Failure|error' "$out" | head -5 || true
    fi
  done
done

echo "load: $(wc -l <"$loadlog") whole runs of $load so far (seconds, status in $loadlog)"
python3 - "$log" <<'EOF'
import csv, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1]), delimiter="\t"))
for name in dict.fromkeys(r["test"] for r in rows):
    mine = [r for r in rows if r["test"] == name]
    secs = sorted(float(r["seconds"]) for r in mine)
    passed = sum(r["status"] == "0" for r in mine)
    print(f"{name}: {passed}/{len(mine)} passed; seconds min {secs[0]:.2f} "
          f"median {statistics.median(secs):.2f} max {secs[-1]:.2f}")
EOF
