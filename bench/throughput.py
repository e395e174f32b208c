#!/usr/bin/env python3
"""Prints, side by side, how long packrook-cli and Info-ZIP's zip and unzip
take for the same work on the same files:

  - adding about 200 MB of text-like and random data (against zip -6),
  - extracting that archive (against unzip),
  - listing an archive of 100,000 entries (against unzip -l),
  - deleting an early entry of a 300 MB archive (against zip -d),
  - adding one 5 GiB file (against zip -6; the file is sparse, all zeros).

    bench/throughput.py [path/to/packrook-cli]

The default program is the native release build's:
    cmake --preset linux-release && cmake --build --preset linux-release
Figures are seconds, the best of three runs (one run for the 5 GiB file)."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "linux-release", "bin", "packrook-cli")
MB = 1 << 20
WORDS = ("archive entry folder packrook deflate window offset record central directory local header "
         "the of and to in is that for it as was with be by on not he this are or his from at which").split()


def text_block(size):
    """Lines of words, as a log or a source tree would give."""
    rng = random.Random(size)
    lines = []
    length = 0
    while length < size:
        line = "%06d %s\n" % (len(lines), " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))))
        lines.append(line)
        length += len(line)
    return "".join(lines).encode()[:size]


def write_sources(folder, text_files, random_files, size):
    """Text-like and random files of the given size each; returns their paths."""
    os.makedirs(folder)
    block = text_block(4 * MB)
    paths = []
    for n in range(text_files):
        paths.append(os.path.join(folder, "text%02d.txt" % n))
        with open(paths[-1], "wb") as f:
            for _ in range(size // len(block)):
                f.write(block)
    for n in range(random_files):
        paths.append(os.path.join(folder, "random%02d.bin" % n))
        with open(paths[-1], "wb") as f:
            f.write(os.urandom(size))
    return paths


def timed(command, before=None, runs=3, cwd=None):
    """The best of some runs, each after its own preparation."""
    best = None
    for _ in range(runs):
        if before:
            before()
        start = time.perf_counter()
        subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def removing(*paths):
    def remove():
        for path in paths:
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.remove(path)
    return remove


def report(task, ours, theirs, note=""):
    print("%-40s %10.3f %10.3f   %s" % (task, ours, theirs, note), flush=True)


def bench_add_and_extract(work):
    sources = write_sources(os.path.join(work, "src"), 6, 4, 20 * MB)
    total = sum(os.path.getsize(p) for p in sources) / 1e6
    ours, theirs = os.path.join(work, "ours.zip"), os.path.join(work, "theirs.zip")
    add = timed([CLI, "add", ours, os.path.join(work, "src")], removing(ours))
    zip_add = timed(["zip", "-q", "-r", "-6", theirs, "src"], removing(theirs), cwd=work)
    report("add %.0f MB, text and random" % total, add, zip_add,
           "(%.1f MB / %.1f MB)" % (os.path.getsize(ours) / 1e6, os.path.getsize(theirs) / 1e6))
    out = os.path.join(work, "out")
    report("extract it", timed([CLI, "extract", ours, out], removing(out)),
           timed(["unzip", "-qo", theirs, "-d", out], removing(out)))
    shutil.rmtree(os.path.join(work, "src"))


def bench_list(work):
    archive = os.path.join(work, "many.zip")
    with zipfile.ZipFile(archive, "w") as zf:
        for n in range(100000):
            zf.writestr("folder%02d/entry%06d.txt" % (n % 50, n), b"%d" % n)
    report("list 100,000 entries", timed([CLI, "list", archive]), timed(["unzip", "-l", archive]))


def bench_delete(work):
    sources = [os.path.join(work, "early.txt")]
    with open(sources[0], "wb") as f:
        f.write(text_block(MB))
    sources += write_sources(os.path.join(work, "big"), 0, 10, 30 * MB)
    original = os.path.join(work, "300mb.zip")
    subprocess.run(["zip", "-q", "-j", "-6", original] + sources, check=True)
    copy = os.path.join(work, "copy.zip")

    def fresh():
        shutil.copy(original, copy)
    report("delete an early entry, %.0f MB" % (os.path.getsize(original) / 1e6),
           timed([CLI, "delete", copy, "early.txt"], fresh), timed(["zip", "-q", "-d", copy, "early.txt"], fresh))
    shutil.rmtree(os.path.join(work, "big"))


def bench_one_huge_file(work):
    huge = os.path.join(work, "huge.bin")
    with open(huge, "wb") as f:
        f.truncate(5 << 30)
    ours, theirs = os.path.join(work, "huge-ours.zip"), os.path.join(work, "huge-theirs.zip")
    report("add one 5 GiB file", timed([CLI, "add", ours, huge], removing(ours), runs=1),
           timed(["zip", "-q", "-j", "-6", theirs, huge], removing(theirs), runs=1))


def main():
    if not os.path.exists(CLI):
        sys.exit("build packrook-cli first (cmake --preset linux-release && cmake --build --preset linux-release)")
    work = tempfile.mkdtemp(prefix="packrook-bench-")
    try:
        print(CLI)
        print("%-40s %10s %10s" % ("task (seconds)", "packrook", "zip/unzip"))
        bench_add_and_extract(work)
        bench_list(work)
        bench_delete(work)
        bench_one_huge_file(work)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
