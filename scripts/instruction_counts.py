#!/usr/bin/env python3
"""Counts the instructions a program executes, two ways:

  callgrind  the program runs natively under valgrind's callgrind (the 64-bit build)
  qemu-i386  the program runs under qemu's user-mode emulator, which logs every translated
             block's instructions and every execution of a block; the count is the sum over
             executions (for the 32-bit build, where this machine cannot run it natively)
  qemu-x86_64  the same for a 64-bit program: its count beside callgrind's checks the method

These are instruction counts, not times: they compare code, not machines. For the GIF
encoders, the instructions of one encoding are the count of a run with two encodings less the
count of a run with one (the image setup and the first encoding's allocations drop out).

    python3 scripts/instruction_counts.py callgrind|qemu-i386 PROGRAM ARG...
        prints the program's instruction count
    python3 scripts/instruction_counts.py --gif callgrind|qemu-i386 GIF_INSTRUCTIONS OUT.json
        counts one encoding of each image by each encoder and writes them to OUT.json
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import threading

COLLECTED = re.compile(r"Collected\s*:\s*(\d+)")


def callgrind(argv):
    run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + argv,
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"{argv[0]} failed under callgrind: {run.stderr[-500:]}")
    found = COLLECTED.search(run.stderr)
    if not found:
        raise RuntimeError("callgrind printed no count")
    return int(found.group(1))


def qemu(emulator, argv):
    """Reads qemu's log through a pipe: 'IN:' blocks list a translated block's instructions,
    'Trace' lines mark each execution of the block at that address (chaining off, so every
    execution is logged)."""
    with tempfile.TemporaryDirectory() as folder:
        fifo = os.path.join(folder, "log")
        os.mkfifo(fifo)
        process = subprocess.Popen([emulator, "-d", "in_asm,exec,nochain", "-D", fifo] + argv,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        errors = []
        reader = threading.Thread(target=lambda: errors.append(process.stderr.read()))
        reader.start()
        sizes, executions = {}, {}
        block_start, block_size = None, 0
        with open(fifo, "rb") as log:
            for line in log:
                if line.startswith(b"Trace"):
                    pc = line.split(b"/", 2)[1].lstrip(b"0")
                    executions[pc] = executions.get(pc, 0) + 1
                elif line.startswith(b"0x"):
                    # An instruction of the block being translated: "0xADDR:  bytes  text".
                    if block_start is None:
                        block_start = line[2:line.index(b":")].lstrip(b"0")
                    block_size += 1
                elif block_start is not None:
                    sizes[block_start] = block_size
                    block_start, block_size = None, 0
        process.wait()
        reader.join()
        if process.returncode != 0:
            raise RuntimeError(f"{argv[0]} failed under {emulator}: {errors[0][-500:]!r}")
        missing = [pc for pc in executions if pc not in sizes]
        if missing:
            raise RuntimeError(f"{len(missing)} executed blocks were never listed, e.g. {missing[0]!r}")
        return sum(sizes[pc] * n for pc, n in executions.items())


def qemu_i386(argv):
    return qemu("qemu-i386", argv)


def qemu_x86_64(argv):
    """The 64-bit build under the emulator: checks the emulator's count against callgrind's."""
    return qemu("qemu-x86_64", argv)


COUNTERS = {"callgrind": callgrind, "qemu-i386": qemu_i386, "qemu-x86_64": qemu_x86_64}


def gif(counter, program, out):
    counts = {}
    for image in ("flat", "noisy"):
        for encoder in ("nimbus", "giflib"):
            one = counter([program, encoder, image, "1"])
            two = counter([program, encoder, image, "2"])
            counts[f"{encoder}/{image}"] = two - one
            print(f"  {counter.__name__}: {encoder} {image}: {two - one} instructions an encoding",
                  flush=True)
    with open(out, "w") as f:
        json.dump({"counter": counter.__name__, "instructions_per_encoding": counts}, f, indent=1)


def main():
    args = sys.argv[1:]
    if len(args) == 4 and args[0] == "--gif" and args[1] in COUNTERS:
        gif(COUNTERS[args[1]], args[2], args[3])
    elif len(args) >= 2 and args[0] in COUNTERS:
        print(COUNTERS[args[0]](args[1:]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
