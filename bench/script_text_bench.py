#!/usr/bin/env python3
"""The stand-in host's script interpreter on long texts (not the package: no routine of the
package is timed). bench/script/long_texts.4dm, run by nimbus-host, times one text operation
with the package's millisecond clock; Python does the same work on the same bytes in the same
run, alternating with it, and both answers must agree:

  - replace:  Replace string(text; CR LF ".."; CR LF ".") against bytes.replace (undoing
              dot-stuffing: one match every 40 bytes, 80,000 in 3.2 MB);
  - position: every match walked with Position(CR LF ".."; text; start) against bytes.find
              from the same starts (Position ignores letter case, bytes.find does not);
  - bytes:    every byte read with Character code(Substring(text; i; 1)) and summed, against
              Python's text[i] in a for loop.

Texts of 0.4, 0.8, 1.6 and 3.2 MB; the figure is the time of one operation (the median over
the rounds of each run's mean over its repeats).

    python3 bench/script_text_bench.py NIMBUS_HOST SCRIPT OUT_JSON [--rounds N]

Writes the figures as JSON for scripts/bench_report.py and prints them.
"""
import argparse
import json
import statistics
import subprocess
import sys
import time

LINE = b"..a dot-stuffed line, forty bytes long\r\n"  # 40 bytes: 10,000 lines make 0.4 MB
SIZES = [10000, 20000, 40000, 80000]  # lines
REPEATS = {"replace": 50, "position": 10, "bytes": 1}
FIND = b"\r\n.."


def python_run(operation, text, repeats):
    """(milliseconds of all repeats, check value) for Python doing the script's work."""
    check = 0
    start = time.perf_counter()
    for _ in range(repeats):
        if operation == "replace":
            check = len(text.replace(FIND, b"\r\n."))
        elif operation == "position":
            check = 0
            at = text.find(FIND)
            while at >= 0:
                check += 1
                at = text.find(FIND, at + 3)
        else:
            check = 0
            for i in range(len(text)):
                check += text[i]
    return (time.perf_counter() - start) * 1000, check


def script_run(host, script, operation, lines, repeats):
    """(milliseconds of all repeats, check value) as long_texts.4dm reports them."""
    done = subprocess.run([host, "run", script, operation, str(lines), str(repeats)],
                          capture_output=True, text=True, timeout=600)
    if done.returncode != 0:
        sys.exit(f"{operation} {lines}: nimbus-host failed: {done.stderr.strip()}")
    values = dict(line.split(" ", 1) for line in done.stdout.splitlines() if " " in line)
    return float(values["ms"]), int(values["check"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("host")
    parser.add_argument("script")
    parser.add_argument("out")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()

    results = {"rounds": args.rounds, "repeats": REPEATS, "operations": {}}
    for operation, repeats in REPEATS.items():
        rows = []
        for lines in SIZES:
            text = b"\r\n" + LINE * lines
            ours, theirs = [], []
            for _ in range(args.rounds):
                ms, check = script_run(args.host, args.script, operation, lines, repeats)
                py_ms, py_check = python_run(operation, text, repeats)
                if check != py_check:
                    sys.exit(f"{operation} on {len(text)} bytes: the script answered {check}, "
                             f"Python {py_check}")
                ours.append(ms / repeats)
                theirs.append(py_ms / repeats)
            row = {"bytes": len(text), "lines": lines, "ours_ms": statistics.median(ours),
                   "python_ms": statistics.median(theirs), "ours_all": ours,
                   "python_all": theirs}
            rows.append(row)
            print(f"{operation:8} {len(text) / 1e6:4.1f} MB  script {row['ours_ms']:9.2f} ms  "
                  f"python {row['python_ms']:9.2f} ms", flush=True)
        results["operations"][operation] = rows
    with open(args.out, "w") as out:
        json.dump(results, out, indent=1)


if __name__ == "__main__":
    main()
