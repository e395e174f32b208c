#!/usr/bin/env python3
"""Prints how fast packrook-cli adds files with every core, beside 7z's zip
writer with all its threads and Info-ZIP's zip, on the same data in the same
run:

  - a copy of thousands of real small files, about 90 MB of them: half
    taken from the system's documentation (/usr/share/doc), half from its
    headers (/usr/include), files of at most 2 MB in name order,
  - about 100 MB of text-like and random files, large and small,
  - one 500 MB file of text-like and random stretches,
  - 1,500 tiny files of a few hundred bytes at most,

each at the fast level (packrook --level fast, 7z -tzip -mx1 -mmt=on,
zip -1) and the normal one (--level normal, -mx5 -mmt=on, zip -6).

    bench/adding.py [path/to/packrook-cli]

The default program is the native release build's:
    cmake --preset linux-release && cmake --build --preset linux-release
When packrook-cli offers --threads, it is given every core, and a row with
--threads 1 shows the single-threaded size and time beside it. Figures per
program: wall seconds (best of three runs, two for the 500 MB file, taking
turns), output size, peak resident size (largest of the runs), and
packrook's time and size as a ratio to 7z's and to zip's.

The data is made once, in build/bench-data/adding (about 700 MB), and
reused by later runs: always the same bytes but for the copy of the
system's files, whose count and size are printed."""
import os
import random
import shutil
import subprocess
import tempfile
import time

import throughput
from throughput import MB, ROOT, removing, text_block

DATA = os.path.join(ROOT, "build", "bench-data", "adding")
# Bump when the data below changes, so that old data is made anew.
DATA_VERSION = "2"
REAL_SOURCES = ("/usr/share/doc", "/usr/include")
REAL_SHARE = 45 * MB
REAL_LARGEST = 2 * MB
TINY_FILES = 1500
LEVELS = (("fast", "-mx1", "-1"), ("normal", "-mx5", "-6"))


class Pieces:
    """Deterministic 1 MiB pieces: text-like ones cut from a block of lines,
    random ones from a pool of noise (deflate's window is 32 KiB, so a piece
    taken again is as new to it as the first)."""

    def __init__(self):
        self.text = text_block(8 * MB)
        self.noise = random.Random(23).randbytes(8 * MB)

    def piece(self, n, random_piece):
        source = self.noise if random_piece else self.text
        start = (n * 331 * 1024) % (len(source) - MB)
        return source[start:start + MB]

    def write(self, path, size, random_share, seed):
        """A file of size bytes whose pieces are random with the given share."""
        rng = random.Random(seed)
        with open(path, "wb") as f:
            for n in range(0, size, MB):
                f.write(self.piece(n // MB + seed, rng.random() < random_share)[:min(MB, size - n)])


def make_mixed(folder, pieces):
    """Five large files (three text-like, two random) of 16 MB and 200 small
    ones of 100 KB, half of each kind: 100 MB in all."""
    os.makedirs(os.path.join(folder, "small"))
    for n in range(5):
        pieces.write(os.path.join(folder, "large%d.%s" % (n, "bin" if n >= 3 else "txt")), 16 * MB, n >= 3, n)
    for n in range(200):
        kind = "bin" if n % 2 else "txt"
        pieces.write(os.path.join(folder, "small", "s%03d.%s" % (n, kind)), 100 * 1024, n % 2, 100 + n)


def copy_real_files(source, folder, budget):
    """Regular files of at most REAL_LARGEST bytes below source, walked in
    name order, copied below folder until the next would pass budget bytes."""
    used = 0
    for parent, folders, names in os.walk(source):
        folders.sort()
        for name in sorted(names):
            path = os.path.join(parent, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            size = os.path.getsize(path)
            if size > REAL_LARGEST:
                continue
            if used + size > budget:
                return
            target = os.path.join(folder, os.path.relpath(path, "/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(path, target)
            used += size


def make_tiny(folder):
    """Lines of text from none to a few hundred bytes, ten folders of them."""
    rng = random.Random(1500)
    block = text_block(MB)
    for n in range(TINY_FILES):
        path = os.path.join(folder, "d%d" % (n % 10), "t%04d.txt" % n)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        start, length = rng.randrange(MB - 400), rng.randrange(400)
        with open(path, "wb") as f:
            f.write(block[start:start + length])


def prepare_data():
    """Returns the folders of real, mixed and tiny files and the large file,
    made unless already there."""
    real, mixed, tiny = (os.path.join(DATA, name) for name in ("real", "mixed", "tiny"))
    large = os.path.join(DATA, "one-500mb.bin")
    stamp = os.path.join(DATA, "version")
    if not (os.path.exists(stamp) and open(stamp).read() == DATA_VERSION):
        print("making the data in %s" % DATA, flush=True)
        shutil.rmtree(DATA, ignore_errors=True)
        for source in REAL_SOURCES:
            copy_real_files(source, real, REAL_SHARE)
        pieces = Pieces()
        make_mixed(mixed, pieces)
        pieces.write(large, 500 * MB, 0.4, 1000)
        make_tiny(tiny)
        with open(stamp, "w") as f:
            f.write(DATA_VERSION)
    return real, mixed, tiny, large


def describe(folder):
    sizes = [os.path.getsize(os.path.join(parent, name)) for parent, _, names in os.walk(folder) for name in names]
    return "%d files, %.1f MB" % (len(sizes), sum(sizes) / 1e6)


def measure(command, cwd=None):
    """Wall seconds and peak resident size in MB of one run. GNU time reads
    the peak: the kernel's figure for a child of this process would start at
    this process's own size."""
    os.sync()
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name] + command, cwd=cwd, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        return seconds, int(peak.read().split()[-1]) / 1024


def threads_offered():
    usage = subprocess.run([throughput.CLI], capture_output=True, text=True).stderr
    return "--threads" in usage


def contenders(level, source, work):
    """(label, command, folder to run in, archive) for each program; the
    archive names the same relative path for all."""
    folder, name = os.path.split(source)
    level_name, seven_level, zip_level = level
    ours = [throughput.CLI, "add", "--level", level_name]
    rows = []
    if threads_offered():
        rows.append(("packrook --threads %d" % os.cpu_count(), ours + ["--threads", str(os.cpu_count())]))
        rows.append(("packrook --threads 1", ours + ["--threads", "1"]))
    else:
        rows.append(("packrook (one thread)", ours))
    rows.append(("7z -tzip %s -mmt=on" % seven_level, ["7z", "a", "-tzip", seven_level, "-mmt=on"]))
    rows.append(("zip %s" % zip_level, ["zip", "-q", "-r", zip_level]))
    result = []
    for n, (label, command) in enumerate(rows):
        archive = os.path.join(work, "out%d.zip" % n)
        result.append((label, command + [archive, name], folder, archive))
    return result


def bench(title, source, level, work, runs):
    rows = contenders(level, source, work)
    best = [float("inf")] * len(rows)
    peak = [0.0] * len(rows)
    for _ in range(runs):
        for n, (_, command, cwd, archive) in enumerate(rows):
            removing(archive)()
            seconds, resident = measure(command, cwd)
            best[n], peak[n] = min(best[n], seconds), max(peak[n], resident)
    sizes = [os.path.getsize(archive) / 1e6 for _, _, _, archive in rows]
    seven, zip_ = len(rows) - 2, len(rows) - 1
    print("\n%s, %s level" % (title, level[0]))
    print("  %-26s %9s %10s %9s %12s %12s" % ("", "seconds", "output MB", "peak MB", "time/7z,zip", "size/7z,zip"))
    for n, (label, _, _, archive) in enumerate(rows):
        ratios = ""
        if n < seven:
            ratios = "%5.2f %5.2f  %5.3f %5.3f" % (best[n] / best[seven], best[n] / best[zip_],
                                                   sizes[n] / sizes[seven], sizes[n] / sizes[zip_])
        print("  %-26s %9.3f %10.2f %9.1f   %s" % (label, best[n], sizes[n], peak[n], ratios), flush=True)
        removing(archive)()


def main():
    with throughput.bench_run("adding", "%d cores" % os.cpu_count()) as work:
        real, mixed, tiny, large = prepare_data()
        for level in LEVELS:
            bench("real small files (%s)" % describe(real), real, level, work, 3)
            bench("100 MB of text-like and random files", mixed, level, work, 3)
            bench("one 500 MB file", large, level, work, 2)
            bench("tiny files (%s)" % describe(tiny), tiny, level, work, 5)


if __name__ == "__main__":
    main()
