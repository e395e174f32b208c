#!/usr/bin/env python3
"""Prints how fast packrook-cli extracts, with one thread and with every
core, beside 7z with all its threads and Info-ZIP's unzip, each extracting
the same archive in the same run:

  - about 100 MB of text-like and random files, large and small,
  - one 500 MB file of text-like and random stretches,

both made by packrook-cli at the normal level from bench/adding.py's data,
  - 5,000 small text files in 50 folders, about a 1 MB archive made by zip,
where the time goes to making files rather than to inflating.

    bench/extracting.py [path/to/packrook-cli]

The default program is the native release build's:
    cmake --preset linux-release && cmake --build --preset linux-release
Figures per program: wall seconds (best of three runs, taking turns) and
peak resident size, and the time as a ratio to packrook's with one thread."""
import os
import random
import shutil
import subprocess

import adding
import throughput
from throughput import removing


def contenders(archive, out):
    ours = [throughput.CLI, "extract", archive, out]
    return (("packrook --threads 1", ours + ["--threads", "1"]),
            ("packrook (every core)", ours),
            ("7z x -mmt=on", ["7z", "x", "-y", "-mmt=on", "-o" + out, archive]),
            ("unzip", ["unzip", "-qo", archive, "-d", out]))


def ours(source, work):
    """An archive of source made by packrook-cli at the normal level."""
    folder, name = os.path.split(source)
    archive = os.path.join(work, "archive.zip")
    subprocess.run([throughput.CLI, "add", archive, name], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return archive


def small_files(work, count=5000):
    """count text files of 50 to 400 bytes in 50 folders, zipped by zip."""
    tree, archive = os.path.join(work, "small"), os.path.join(work, "small.zip")
    block = throughput.text_block(1 << 20)
    rng = random.Random(count)
    for n in range(count):
        folder = os.path.join(tree, "d%02d" % (n % 50))
        os.makedirs(folder, exist_ok=True)
        start = rng.randrange(len(block) - 1500)
        with open(os.path.join(folder, "f%04d.txt" % n), "wb") as f:
            f.write(block[start:start + rng.randint(50, 400)])
    subprocess.run(["zip", "-q", "-r", archive, "."], cwd=tree, check=True)
    shutil.rmtree(tree)
    return archive


def bench(title, archive, work, runs=3):
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
        bench("5,000 small files", small_files(work), work)
        bench("100 MB of text-like and random files", ours(mixed, work), work)
        bench("one 500 MB file", ours(large, work), work)


if __name__ == "__main__":
    main()
