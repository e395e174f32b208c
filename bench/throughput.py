#!/usr/bin/env python3
"""Prints how fast packrook-cli adds, tests, extracts, lists and deletes,
beside Info-ZIP's zip and unzip doing the same work on the same files.

    bench/throughput.py [path/to/packrook-cli]

The default program is the native build's (build/linux/bin/packrook-cli).
Each figure is the best of three runs, in seconds; sizes are in MB."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "linux", "bin", "packrook-cli")


def make_sources(folder):
    """About 64 MB: text, random bytes and many small files."""
    os.makedirs(os.path.join(folder, "small"))
    with open(os.path.join(folder, "text.txt"), "w") as f:
        for n in range(600000):
            f.write("line %d: the quick brown fox jumps over the lazy dog\n" % n)
    with open(os.path.join(folder, "random.bin"), "wb") as f:
        f.write(os.urandom(24 << 20))
    for n in range(2000):
        with open(os.path.join(folder, "small", "f%04d.txt" % n), "w") as f:
            f.write("small file %d\n" % n * 40)


def best_of_three(command, before=None):
    best = None
    for _ in range(3):
        if before:
            before()
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def size_of(path):
    return os.path.getsize(path) / 1e6


def main():
    if not os.path.exists(CLI):
        sys.exit("build packrook-cli first (cmake --preset linux && cmake --build --preset linux)")
    work = tempfile.mkdtemp(prefix="packrook-bench-")
    try:
        sources = os.path.join(work, "src")
        make_sources(sources)
        total = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(sources) for f in files) / 1e6
        print("sources: %.1f MB in %d files" % (total, 2002))
        print("%-28s %10s %10s" % ("task", "packrook", "zip/unzip"))
        for level, zip_flag in (("fast", "-1"), ("normal", "-6"), ("max", "-9"), ("none", "-0")):
            ours, theirs = os.path.join(work, "ours.zip"), os.path.join(work, "theirs.zip")

            def fresh():
                for path in (ours, theirs):
                    if os.path.exists(path):
                        os.remove(path)
            t_ours = best_of_three([CLI, "add", ours, "--level", level, sources], fresh)
            t_theirs = best_of_three(["sh", "-c", "cd %s && zip -q -r %s %s src" % (work, zip_flag, theirs)], fresh)
            print("%-28s %10.2f %10.2f   (%.1f MB / %.1f MB)" % ("add, level " + level, t_ours, t_theirs,
                                                                 size_of(ours), size_of(theirs)))
        out = os.path.join(work, "out")
        print("%-28s %10.2f %10.2f" % ("test", best_of_three([CLI, "test", ours]),
                                       best_of_three(["unzip", "-tq", ours])))
        print("%-28s %10.2f %10.2f" % ("extract", best_of_three([CLI, "extract", ours, out],
                                                                lambda: shutil.rmtree(out, True)),
                                       best_of_three(["unzip", "-qo", ours, "-d", out],
                                                     lambda: shutil.rmtree(out, True))))
        print("%-28s %10.2f %10.2f" % ("list 2002 entries", best_of_three([CLI, "list", ours]),
                                       best_of_three(["unzip", "-Z", ours])))
        first = subprocess.run([CLI, "list", ours], stdout=subprocess.PIPE, check=True).stdout.decode()
        name = first.splitlines()[0].split("\t")[-1]
        copy = os.path.join(work, "copy.zip")
        print("%-28s %10.2f %10.2f" % ("delete the first entry",
                                       best_of_three([CLI, "delete", copy, name], lambda: shutil.copy(ours, copy)),
                                       best_of_three(["zip", "-qd", copy, name], lambda: shutil.copy(ours, copy))))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
