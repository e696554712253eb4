#!/usr/bin/env python3
"""Prints the benchmark report: every figure beside its peer measured in the same run, as a
ratio. Reads the Google Benchmark JSON files that scripts/bench.sh leaves in one directory,
and those of the 32-bit build in a second one: the GIF, text and queue rows then give the
32-bit figure and its ratio beside the 64-bit ones (or why there is none: not-run.txt there).

    python3 scripts/bench_report.py build/bench/results [build/bench32/results]
"""
import json
import statistics
import sys
from pathlib import Path

TIME_TO_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load(directory, program):
    """name -> benchmark record (iterations only), or {} when the program left no file."""
    path = Path(directory) / f"{program}.json"
    if not path.exists():
        return {}
    runs = json.loads(path.read_text())["benchmarks"]
    return {run["name"]: run for run in runs if run.get("run_type", "iteration") == "iteration"}


def cpu_seconds(run):
    return run["cpu_time"] * TIME_TO_SECONDS[run["time_unit"]]


def table(title, header, rows, note=None):
    print(f"\n{title}")
    if not rows:
        print("  (not measured)")
        return
    widths = [max(len(str(cell)) for cell in column) for column in zip(header, *rows)]
    for row in [header] + rows:
        print("  " + "  ".join(str(cell).rjust(width) for cell, width in zip(row, widths)))
    if note:
        print(f"  {note}")


def repetitions(directory, program):
    """name -> the list of its repetitions' records, in repetition order."""
    path = Path(directory) / f"{program}.json"
    if not path.exists():
        return {}
    found = {}
    for run in json.loads(path.read_text())["benchmarks"]:
        if run.get("run_type", "iteration") == "iteration":
            found.setdefault(run.get("run_name", run["name"]), []).append(run)
    for runs in found.values():
        runs.sort(key=lambda run: run.get("repetition_index", 0))
    return found


def gif_rows(directory):
    """image -> (our median MP/s, giflib's, the ratio of medians, the spread of paired ratios,
    the size ratio, the number of repetitions)."""
    runs = repetitions(directory, "gif_bench")
    rows = {}
    for image, arg in (("noisy", "noisy:1"), ("flat", "noisy:0")):
        ours, theirs = runs.get(f"BM_Nimbus/{arg}"), runs.get(f"BM_Giflib/{arg}")
        if not ours or not theirs:
            continue
        ours_rates = [run["MP/s"] for run in ours]
        their_rates = [run["MP/s"] for run in theirs]
        paired = [a / b for a, b in zip(ours_rates, their_rates)]
        rows[image] = (statistics.median(ours_rates), statistics.median(their_rates),
                       statistics.median(ours_rates) / statistics.median(their_rates),
                       f"{min(paired):.2f}-{max(paired):.2f}",
                       ours[0]["file_bytes"] / theirs[0]["file_bytes"], len(ours))
    return rows


def not_run32(directory32):
    """Why the 32-bit figures are missing, or None when there are some."""
    if directory32 is None:
        return "not run: no 32-bit results named"
    why = Path(directory32) / "not-run.txt"
    if why.exists() and why.read_text().strip():
        return "not run: " + why.read_text().strip()
    return None


def gif(directory, directory32):
    rows64 = gif_rows(directory)
    why = not_run32(directory32)
    rows32 = gif_rows(directory32) if why is None else {}
    rows = []
    for image in ("noisy", "flat"):
        if image not in rows64:
            continue
        ours, theirs, ratio, spread, size, _ = rows64[image]
        row = [image, f"{ours:.1f}", f"{theirs:.1f}", f"{ratio:.2f}", spread, f"{size:.3f}"]
        if image in rows32:
            ours32, theirs32, ratio32, spread32, _, _ = rows32[image]
            row += [f"{ours32:.1f}", f"{theirs32:.1f}", f"{ratio32:.2f}", spread32,
                    f"{ours32 / ours:.2f}"]
        else:
            row += ["not run" if why else "not measured", "", "", "", ""]
        rows.append(row)
    count = max((r[5] for r in rows64.values()), default=0)
    table("GIF encoding of a 1024x1024 image: ours against giflib's encoder (speed ratio > 1: "
          f"ours is faster); medians of {count} repetitions interleaved at random, and the "
          "spread of the ratios of repetitions paired in order. 64-bit build, then the 32-bit "
          "build (x87, no SSE, as the package's DLL) against giflib built for i386; 32/64: our "
          "32-bit rate over our 64-bit rate",
          ["image", "ours MP/s", "giflib MP/s", "speed ratio", "spread", "size ratio",
           "32-bit ours MP/s", "giflib MP/s", "speed ratio", "spread", "32/64"], rows,
          note=f"32-bit: {why}" if why else None)


def instruction_counts(directory, directory32):
    rows = []
    for label, folder in (("64-bit, callgrind", directory),
                          ("32-bit, under qemu-i386 (emulated: counts only)", directory32)):
        path = Path(folder) / "gif_instructions.json" if folder else None
        if path is None or not path.exists():
            rows.append([label, "not counted", "", "", "", "", ""])
            continue
        counts = json.loads(path.read_text())["instructions_per_encoding"]
        row = [label]
        for image in ("noisy", "flat"):
            ours, theirs = counts.get(f"nimbus/{image}"), counts.get(f"giflib/{image}")
            row += [f"{ours / 1e6:.1f}", f"{theirs / 1e6:.1f}", f"{theirs / ours:.2f}"]
        rows.append(row)
    table("Instructions of one GIF encoding, 1024x1024 (millions; giflib/ours > 1: ours runs "
          "fewer). Instruction counts, not times; the 32-bit row is counted in qemu's "
          "user-mode emulator (NIMBUS_BENCH_COUNT32=1), whose count matches callgrind's on "
          "the 64-bit build",
          ["build", "noisy ours", "noisy giflib", "giflib/ours", "flat ours", "flat giflib",
           "giflib/ours"], rows)


def median_counters(runs):
    """One record whose numeric fields are the medians over the repetitions."""
    merged = dict(runs[0])
    for field, value in runs[0].items():
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            merged[field] = statistics.median(run[field] for run in runs if field in run)
    return merged


def streams(directory):
    runs = {name: median_counters(reps)
            for name, reps in repetitions(directory, "net_bench").items()}
    rows = []
    for direction, name in (("send", "BM_SendTextAgainstRawSends"),
                            ("receive", "BM_ReceiveTextAgainstRawReceives")):
        for yield_label, arg in (("host's", "noop_yield:0"), ("no-op", "noop_yield:1")):
            run = runs.get(f"{name}/{arg}/real_time")
            if run:
                attempts = run.get("attempts/text")
                spin = run.get("package/nonblocking", run.get("package/sized"))
                rows.append([direction, yield_label, f"{run['package_MB/s']:.0f}",
                             f"{run['raw_MB/s']:.0f}", f"{run['package/raw']:.2f}",
                             f"{spin:.2f}" if spin is not None else "-",
                             f"{attempts:.1f}" if attempts is not None else "-"])
    count = min((len(v) for v in repetitions(directory, "net_bench").values()), default=0)
    table(f"Stream throughput over loopback (medians of {count} repetitions interleaved at "
          "random), 32000-byte texts in sends of 1024 bytes: FourDPack "
          "against a raw socket loop with the same send size, with the host's yield (the full "
          "figure) and with the yield a no-op (the package alone). The raw send loop blocks, "
          "the raw receive loop takes what is there. package/like-for-like compares with a raw "
          "loop that makes the package's system calls: sends that retry a full non-blocking "
          "socket at once, receives each sized by asking how many bytes wait (FIONREAD) first. "
          "attempts/text: the package's sends per text, 32 when none found the buffer full",
          ["direction", "yield", "package MB/s", "raw MB/s", "package/raw",
           "package/like-for-like", "attempts/text"], rows)


def text_rows(directory):
    """routine/specials -> (bytes in, one-pass s, literal s, copy s)."""
    runs = load(directory, "text_bench")
    rows = {}
    for name, run in runs.items():
        if not name.endswith("/fast"):
            continue
        prefix = name[: -len("/fast")]
        literal, copy = runs.get(prefix + "/literal"), runs.get(prefix + "/copy")
        if not literal or not copy:
            continue
        fast_s = cpu_seconds(run)
        rows[prefix] = (round(run.get("bytes_per_second", 0) * fast_s), fast_s,
                        cpu_seconds(literal), cpu_seconds(copy))
    return rows


def text(directory, directory32):
    rows64 = text_rows(directory)
    why = not_run32(directory32)
    rows32 = text_rows(directory32) if why is None else {}
    rows = []
    for prefix, (size, fast_s, literal_s, copy_s) in rows64.items():
        row = [prefix, size, f"{fast_s * 1e6:.1f}", f"{literal_s * 1e6:.0f}",
               f"{literal_s / fast_s:.0f}", f"{fast_s / copy_s:.0f}"]
        if prefix in rows32:
            _, fast32, literal32, copy32 = rows32[prefix]
            row += [f"{fast32 * 1e6:.1f}", f"{literal32 / fast32:.0f}", f"{fast32 / copy32:.0f}",
                    f"{fast_s / fast32:.2f}"]
        else:
            row += ["not run" if why else "not measured", "", "", ""]
        rows.append(row)
    table("Text conversions on the longest texts (CPU time): the one-pass routine against its "
          "literal pass-by-pass reference and against a byte copy of the same input; 64-bit, "
          "then the 32-bit build; 32/64: our 64-bit time over our 32-bit time (speed, as "
          "for GIF)",
          ["routine/specials", "bytes in", "one-pass us", "literal us", "literal/one-pass",
           "one-pass/copy", "32-bit one-pass us", "literal/one-pass", "one-pass/copy",
           "32/64"], rows,
          note=f"32-bit: {why}" if why else None)


def queue_rows(directory):
    """keys -> (ours s, peer s, ours at 1 key s, toolbox floor s or None), medians."""
    repeated = repetitions(directory, "queues_bench")
    runs = {name: median_counters(reps) for name, reps in repeated.items()}
    one = runs.get("BM_QueuePushPop/1")
    rows = {}
    for keys in (1, 100, 10000):
        ours, peer = runs.get(f"BM_QueuePushPop/{keys}"), runs.get(f"BM_HashedDequePushPop/{keys}")
        floor = runs.get(f"BM_ToolboxCallsOfAPair/{keys}")
        if ours and peer:
            rows[keys] = (cpu_seconds(ours), cpu_seconds(peer),
                          cpu_seconds(one) if one else None,
                          cpu_seconds(floor) if floor else None)
    return rows, min((len(v) for v in repeated.values()), default=0)


def queues(directory, directory32):
    rows64, count = queue_rows(directory)
    why = not_run32(directory32)
    rows32 = queue_rows(directory32)[0] if why is None else {}
    rows = []
    for keys, (ours, peer, one, floor) in rows64.items():
        row = [keys, f"{ours * 1e9:.0f}", f"{peer * 1e9:.0f}", f"{ours / peer:.1f}",
               f"{ours / one:.1f}" if one else "-", f"{floor * 1e9:.0f}" if floor else "-"]
        if keys in rows32:
            ours32, peer32, _, _ = rows32[keys]
            row += [f"{ours32 * 1e9:.0f}", f"{peer32 * 1e9:.0f}", f"{ours32 / peer32:.1f}",
                    f"{ours / ours32:.2f}"]
        else:
            row += ["not run" if why else "not measured", "", "", ""]
        rows.append(row)
    table(f"Keyed text queues, one push and one pop of a 32-byte text (CPU time, medians of "
          f"{count} repetitions interleaved at random): ours against a "
          "hashed map of deques, across key counts; toolbox floor: the stand-in toolbox's block "
          "calls of one pair alone, with as many blocks alive; then the 32-bit build; 32/64: "
          "our 64-bit time over our 32-bit time",
          ["keys", "ours ns", "peer ns", "ours/peer", "ours/ours at 1 key", "toolbox floor ns",
           "32-bit ours ns", "peer ns", "ours/peer", "32/64"], rows,
          note=f"32-bit: {why}" if why else None)


def toolbox(directory):
    runs = load(directory, "toolbox_bench")
    rows = []
    for label, name in (("Munger replace-all, 32767 bytes", "BM_MungerReplaceAll"),
                        ("block allocate/grow/yield/dispose", "BM_BlockTraffic")):
        still, moving = runs.get(f"{name}/0"), runs.get(f"{name}/1")
        if still and moving:
            rows.append([label, f"{cpu_seconds(still) * 1e9:.0f}",
                         f"{cpu_seconds(moving) * 1e9:.0f}",
                         f"{cpu_seconds(moving) / cpu_seconds(still):.1f}"])
    table("Stand-in toolbox, what every test pays: moving mode on against off",
          ["operation", "off ns", "on ns", "on/off"], rows)


def scheduling(directory):
    runs = load(directory, "scheduler_bench")
    rows = []
    call = runs.get("BM_CallThroughPointer")
    for label, name in (("pump only", "BM_YieldPumpOnly"),
                        ("with the host, no other process ready", "BM_YieldWithHostAlone")):
        for listening in (0, 1023):
            run = runs.get(f"{name}/listening:{listening}")
            if run and call:
                rows.append([label, listening, f"{cpu_seconds(run) * 1e9:.1f}",
                             f"{cpu_seconds(call) * 1e9:.1f}",
                             f"{cpu_seconds(run) / cpu_seconds(call):.1f}"])
    table("The toolbox's yield (CPU time; goal: under 100 ns with nothing pending) against one "
          "call through a function pointer",
          ["yield", "sockets listening", "yield ns", "call ns", "yield/call"], rows)
    rows = []
    ours, peer = runs.get("BM_ProcessSwitch/real_time"), runs.get(
        "BM_ThreadSemaphoreSwitch/real_time")
    if ours and peer:
        rows.append([f"{ours['ns_per_switch'] * 1e9:.0f}", f"{peer['ns_per_switch'] * 1e9:.0f}",
                     f"{ours['ns_per_switch'] / peer['ns_per_switch']:.2f}"])
    table("Switching from one process to another (wall time per switch): the host's fibers "
          "against two threads with a semaphore each",
          ["host ns", "threads ns", "host/threads"], rows)
    ours, peer = runs.get("BM_DelayLateness/iterations:10/real_time"), runs.get(
        "BM_SleepLateness/iterations:10/real_time")
    rows = []
    if ours and peer:
        rows.append([f"{ours['late_ms']:.2f}", f"{peer['late_ms']:.2f}", "16.67"])
    table("How late a 30-tick delay ends, every process delayed (the host sleeps), against a "
          "plain half-second sleep (goal: within a tick)",
          ["delay late ms", "sleep late ms", "a tick ms"], rows)
    reps = repetitions(directory, "net_bench").get("BM_SendTextAgainstRawSends/noop_yield:0/real_time")
    send = median_counters(reps) if reps else None
    rows = []
    if send:
        rows.append([f"{send['package_MB/s']:.0f}", f"{send['raw_MB/s']:.0f}",
                     f"{send['package/raw']:.2f}"])
    table("Stream send, full figure: the package with the host's yield after every 1024-byte "
          "send against the raw 1024-byte loop (goal: 0.9 or more)",
          ["package MB/s", "raw MB/s", "package/raw"], rows)


def main_job(directory):
    path = Path(directory) / "main_job.json"
    if not path.exists():
        table("The main job against Python's http.server", [], [])
        return
    r = json.loads(path.read_text())

    def figures(name, unit, goal):
        ours, theirs, ratio = r[name]["ours"], r[name]["theirs"], r[name.split("_")[0] +
                                                                    "_ratio"]
        return [f"{ours['median']:.1f} {unit}", f"{theirs['median']:.1f} {unit}",
                f"{ratio['median']:.2f} ({ratio['min']:.2f}-{ratio['max']:.2f})", goal]

    sized, sized_ratio = r["fetch_MBps"].get("theirs_sized"), r.get("fetch_ratio_sized")
    rows = [["100 MiB file, curl"] + figures("fetch_MBps", "MB/s", ">= 0.5")]
    if sized and sized_ratio:
        rows.append(["the same, http.server in 1024-byte sends, 32767-byte buffers",
                     f"{r['fetch_MBps']['ours']['median']:.1f} MB/s",
                     f"{sized['median']:.1f} MB/s",
                     f"{sized_ratio['median']:.2f} ({sized_ratio['min']:.2f}-"
                     f"{sized_ratio['max']:.2f})", "-"])
    rows += [
            [f"ab -n {r['ab_requests']} -c {r['ab_concurrency']}, /index.html"] +
            figures("requests_per_second", "req/s", ">= 1.0"),
            [f"CPU while idle for {r['idle_seconds']} s",
             f"{r['idle_cpu_percent']['ours']:.2f} %", f"{r['idle_cpu_percent']['theirs']:.2f} %",
             "-", "< 1 %"]]
    table(f"The main job (examples/serve.4dm, {r['listeners']} listening streams) against "
          f"Python's http.server on the same folder, {r['rounds']} rounds alternating; the median "
          f"per-round ratio (their spread); ab failed requests at -c "
          f"{r['ab_concurrency']}: {r['ab_failed_ours']}; our 100 MiB copy byte-exact: "
          f"{r['big_file_exact']}",
          ["measure", "ours", "http.server", "ours/theirs", "goal"], rows)


def script_texts(directory):
    path = Path(directory) / "script_text.json"
    title = ("The stand-in host's script interpreter on long texts (nimbus-host running "
             "bench/script/long_texts.4dm; not the package) against Python on the same bytes")
    if not path.exists():
        table(title, [], [])
        return
    r = json.loads(path.read_text())
    what = {"replace": "Replace string / bytes.replace",
            "position": "Position walk / bytes.find walk",
            "bytes": "Character code(Substring) loop / text[i] loop"}
    rows = []
    for operation, sizes in r["operations"].items():
        previous = None
        for size in sizes:
            ours, theirs = size["ours_ms"], size["python_ms"]
            rows.append([what.get(operation, operation), f"{size['bytes'] / 1e6:.1f} MB",
                         f"{ours:.2f} ms", f"{ours / previous:.2f}" if previous else "-",
                         f"{theirs:.2f} ms", f"{ours / theirs:.2f}"])
            previous = ours
    table(f"{title}; one operation, median of {r['rounds']} rounds; goal: x2 a size step, and "
          f"Replace string on 3.2 MB (80,000 matches) within 5x bytes.replace",
          ["operation", "text", "script", "x prev", "python", "script/python"], rows)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    directory = sys.argv[1]
    directory32 = sys.argv[2] if len(sys.argv) == 3 else None
    print("Benchmark report (each ratio compares two figures measured in the same run)")
    for section in (gif, instruction_counts, text, queues):
        section(directory, directory32)
    for section in (streams, toolbox, scheduling, main_job, script_texts):
        section(directory)


if __name__ == "__main__":
    main()
