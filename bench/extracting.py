#!/usr/bin/env python3
"""Prints how fast packrook-cli extracts, with one thread and with every
core, beside 7z with all its threads and Info-ZIP's unzip, each extracting
the same archive in the same run:

  - about 100 MB of text-like and random files, large and small,
  - one 500 MB file of text-like and random stretches,

both made by packrook-cli at the normal level from bench/adding.py's data.

    bench/extracting.py [path/to/packrook-cli]

The default program is the native release build's:
    cmake --preset linux-release && cmake --build --preset linux-release
Figures per program: wall seconds (best of three runs, taking turns) and
peak resident size, and the time as a ratio to packrook's with one thread."""
import os
import subprocess

import adding
import throughput
from throughput import removing


def contenders(archive, out):
    cores = str(os.cpu_count())
    ours = [throughput.CLI, "extract", archive, out]
    return (("packrook --threads 1", ours + ["--threads", "1"]),
            ("packrook --threads %s" % cores, ours + ["--threads", cores]),
            ("7z x -mmt=on", ["7z", "x", "-y", "-mmt=on", "-o" + out, archive]),
            ("unzip", ["unzip", "-qo", archive, "-d", out]))


def bench(title, source, work, runs=3):
    folder, name = os.path.split(source)
    archive = os.path.join(work, "archive.zip")
    subprocess.run([throughput.CLI, "add", archive, name], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    out = os.path.join(work, "out")
    rows = contenders(archive, out)
    best = [float("inf")] * len(rows)
    peak = [0.0] * len(rows)
    for _ in range(runs):
        for n, (_, command) in enumerate(rows):
            removing(out)()
            seconds, resident = adding.measure(command)
            best[n], peak[n] = min(best[n], seconds), max(peak[n], resident)
    print("\n%s (%.1f MB archive)" % (title, os.path.getsize(archive) / 1e6))
    removing(out, archive)()
    print("  %-26s %9s %9s %14s" % ("", "seconds", "peak MB", "time/1 thread"))
    for n, (label, _) in enumerate(rows):
        print("  %-26s %9.3f %9.1f %14.2f" % (label, best[n], peak[n], best[n] / best[0]), flush=True)


def main():
    with throughput.bench_run("extracting", "%d cores" % os.cpu_count()) as work:
        mixed, large = adding.prepare_data()
        bench("100 MB of text-like and random files", mixed, work)
        bench("one 500 MB file", large, work)


if __name__ == "__main__":
    main()
