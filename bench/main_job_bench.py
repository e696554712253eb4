#!/usr/bin/env python3
"""The main job against Python's http.server: examples/serve.4dm run by nimbus-host and
`python3 -m http.server` serve the same folder (the bundled site and a 100 MiB file) side by
side on 127.0.0.1, and the same clients measure both in one run, alternating:

  - the 100 MiB file fetched with curl (MB/s; our copy is checked byte for byte once);
  - `ab -n 2000 -c LISTENERS` on the bundled page (requests/s, failed requests): as many
    clients at once as the server has listening streams;
  - each server's CPU time while idle for 10 s, as a share of one core.

A second peer, http.server held to the package's wire limits (bench/sized_http_server.py:
32767-byte socket buffers, the most a stream can ask for, and sends of at most 1024 bytes, the
most one send of the package passes to the socket), is fetched from too: it shows what those
limits alone cost a large file against the plain http.server, which writes 64 KiB at a time
into buffers the system sizes.

    python3 bench/main_job_bench.py NIMBUS_HOST EXAMPLES_DIR OUT_JSON [--rounds N]

Writes the figures as JSON for scripts/bench_report.py and prints them.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BIG_FILE = "big.bin"
BIG_SIZE = 100 * 1024 * 1024
LISTENERS = 8
AB_REQUESTS = 2000
IDLE_SECONDS = 10
TICKS = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until_serving(port, process, what):
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        if process.poll() is not None:
            sys.exit(f"{what} ended before serving (exit {process.returncode})")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
                s.sendall(b"HEAD / HTTP/1.0\r\n\r\n")
                if s.recv(16).startswith(b"HTTP/"):
                    return
        except OSError:
            pass
        time.sleep(0.1)
    sys.exit(f"{what} is not serving on 127.0.0.1:{port}")


def cpu_seconds(pid):
    """User and system time of the process, all its threads, in seconds."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def make_site(directory, examples):
    for item in (Path(examples) / "site").iterdir():
        if item.is_file():
            shutil.copy(item, directory / item.name)
    chunk = hashlib.sha256(b"nimbus").digest() * 2048  # 64 KiB of varied bytes
    with open(directory / BIG_FILE, "wb") as f:
        for i in range(BIG_SIZE // len(chunk)):
            f.write(bytes([i & 0xFF]) + chunk[1:])
    return hashlib.sha256((directory / BIG_FILE).read_bytes()).hexdigest()


def curl(port, output="/dev/null"):
    out = subprocess.run(
        ["curl", "-s", "-o", output, "-w", "%{http_code} %{size_download} %{speed_download}",
         f"http://127.0.0.1:{port}/{BIG_FILE}"],
        capture_output=True, text=True, timeout=600, check=False).stdout.split()
    code, size, speed = int(out[0]), int(out[1]), float(out[2])
    if code != 200 or size != BIG_SIZE:
        sys.exit(f"curl on port {port}: status {code}, {size} bytes")
    return speed / 1e6


def ab(port, concurrency):
    out = subprocess.run(
        ["ab", "-q", "-r", "-n", str(AB_REQUESTS), "-c", str(concurrency),
         f"http://127.0.0.1:{port}/index.html"],
        capture_output=True, text=True, timeout=600, check=False).stdout

    def number(label):
        found = re.search(label + r":\s+([\d.]+)", out)
        return float(found.group(1)) if found else None

    non2xx = number("Non-2xx responses") or 0
    return {"requests_per_second": number("Requests per second"),
            "complete": number("Complete requests"),
            "failed": (number("Failed requests") or 0) + non2xx}


def spread(values):
    return {"median": statistics.median(values), "min": min(values), "max": max(values),
            "all": values}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("nimbus_host")
    parser.add_argument("examples")
    parser.add_argument("out")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as temporary:
        site = Path(temporary) / "site"
        site.mkdir()
        digest = make_site(site, args.examples)
        ours_port, theirs_port, sized_port = free_port(), free_port(), free_port()
        ours = subprocess.Popen(
            [args.nimbus_host, "run", str(Path(args.examples) / "serve.4dm"), str(ours_port),
             str(site), "0", "0", str(LISTENERS)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        theirs = subprocess.Popen(
            [sys.executable, "-m", "http.server", str(theirs_port), "--bind", "127.0.0.1",
             "--directory", str(site)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        sized = subprocess.Popen(
            [sys.executable, str(Path(__file__).parent / "sized_http_server.py"),
             str(sized_port), str(site)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_until_serving(ours_port, ours, "nimbus-host serve.4dm")
            wait_until_serving(theirs_port, theirs, "python3 -m http.server")
            wait_until_serving(sized_port, sized, "bench/sized_http_server.py")

            # Idle: both servers at rest, measured over the same 10 s.
            time.sleep(1)
            before = cpu_seconds(ours.pid), cpu_seconds(theirs.pid)
            time.sleep(IDLE_SECONDS)
            after = cpu_seconds(ours.pid), cpu_seconds(theirs.pid)
            idle = [100 * (a - b) / IDLE_SECONDS for a, b in zip(after, before)]

            copy = Path(temporary) / "fetched.bin"
            curl(ours_port, str(copy))
            exact = hashlib.sha256(copy.read_bytes()).hexdigest() == digest
            copy.unlink()

            fetch = {"ours": [], "theirs": [], "theirs_sized": []}
            requests = {"ours": [], "theirs": []}
            failed = 0
            for _ in range(args.rounds):
                fetch["ours"].append(curl(ours_port))
                fetch["theirs"].append(curl(theirs_port))
                fetch["theirs_sized"].append(curl(sized_port))
            for _ in range(args.rounds):
                mine, peer = ab(ours_port, LISTENERS), ab(theirs_port, LISTENERS)
                requests["ours"].append(mine["requests_per_second"])
                requests["theirs"].append(peer["requests_per_second"])
                failed += int(mine["failed"]) + int(AB_REQUESTS - mine["complete"])
        finally:
            for process in (ours, theirs, sized):
                process.terminate()
            for process in (ours, theirs, sized):
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()

    result = {
        "listeners": LISTENERS,
        "ab_concurrency": LISTENERS,
        "ab_requests": AB_REQUESTS,
        "rounds": args.rounds,
        "big_file_bytes": BIG_SIZE,
        "big_file_exact": exact,
        "fetch_MBps": {side: spread(v) for side, v in fetch.items()},
        "fetch_ratio": spread([a / b for a, b in zip(fetch["ours"], fetch["theirs"])]),
        "fetch_ratio_sized": spread(
            [a / b for a, b in zip(fetch["ours"], fetch["theirs_sized"])]),
        "requests_per_second": {side: spread(v) for side, v in requests.items()},
        "requests_ratio": spread([a / b for a, b in zip(requests["ours"], requests["theirs"])]),
        "ab_failed_ours": failed,
        "idle_cpu_percent": {"ours": idle[0], "theirs": idle[1]},
        "idle_seconds": IDLE_SECONDS,
    }
    Path(args.out).write_text(json.dumps(result, indent=2))
    print(json.dumps(result, indent=2))


if __name__ == "__main__":
    main()
