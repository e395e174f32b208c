#!/usr/bin/env python3
"""Prints, side by side, how long packrook-cli and Info-ZIP's zip and unzip
take for the same work on the same files:

  - adding about 200 MB of text-like and random data (against zip -6),
  - extracting that archive (against unzip),
  - listing an archive of 100,000 entries (against unzip -l),
  - deleting an early entry of a 300 MB archive (against zip -d),
  - deleting half of 200,000 tiny entries, and 4,000 of them, by name
    (against zip -d with one pattern for the same names),
  - testing 200,000 tiny entries (against unzip -t),
  - adding one 5 GiB file (against zip -6; the file is sparse, all zeros).

    bench/throughput.py [path/to/packrook-cli]

The default program is the native release build's:
    cmake --preset linux-release && cmake --build --preset linux-release
Figures are seconds, the best of three runs of each, taking turns (two for
the 5 GiB file)."""
import contextlib
import os
import random
import resource
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


def roomy_stack():
    """A command line of 100,000 names needs more than the default room for
    arguments, which the system takes from the stack limit."""
    hard = resource.getrlimit(resource.RLIMIT_STACK)[1]
    wanted = 64 * MB if hard == resource.RLIM_INFINITY else min(64 * MB, hard)
    resource.setrlimit(resource.RLIMIT_STACK, (wanted, hard))


@contextlib.contextmanager
def bench_run(name, *heading):
    """Starts a bench: packrook-cli must be built; prints its path and the
    heading lines; yields a temporary folder, removed however the bench ends."""
    if not os.path.exists(CLI):
        sys.exit("build packrook-cli first (cmake --preset linux-release && cmake --build --preset linux-release)")
    work = tempfile.mkdtemp(prefix="packrook-bench-%s-" % name)
    try:
        print(CLI)
        for line in heading:
            print(line, flush=True)
        yield work
    finally:
        shutil.rmtree(work)


def run_once(command, before=None, cwd=None):
    if before:
        before()
    # Data still on its way to the disk would slow down whichever runs next.
    os.sync()
    start = time.perf_counter()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   preexec_fn=roomy_stack)
    return time.perf_counter() - start


def side_by_side(task, ours, theirs, runs=3, note=lambda: ""):
    """Prints the best of some runs of each (command, preparation, folder);
    they take turns, so that both find the caches alike."""
    best = [float("inf"), float("inf")]
    for _ in range(runs):
        for i, (command, before, cwd) in enumerate((ours, theirs)):
            best[i] = min(best[i], run_once(command, before, cwd))
    print("%-40s %10.3f %10.3f   %s" % (task, best[0], best[1], note()), flush=True)


def removing(*paths):
    def remove():
        for path in paths:
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.remove(path)
    return remove


def bench_add_and_extract(work):
    sources = write_sources(os.path.join(work, "src"), 6, 4, 20 * MB)
    total = sum(os.path.getsize(p) for p in sources) / 1e6
    ours, theirs = os.path.join(work, "ours.zip"), os.path.join(work, "theirs.zip")
    side_by_side("add %.0f MB, text and random" % total,
                 ([CLI, "add", ours, os.path.join(work, "src")], removing(ours), None),
                 (["zip", "-q", "-r", "-6", theirs, "src"], removing(theirs), work),
                 note=lambda: "(%.1f MB / %.1f MB)" % (os.path.getsize(ours) / 1e6, os.path.getsize(theirs) / 1e6))
    out = os.path.join(work, "out")
    side_by_side("extract it", ([CLI, "extract", ours, out], removing(out), None),
                 (["unzip", "-qo", theirs, "-d", out], removing(out), None))
    shutil.rmtree(os.path.join(work, "src"))


def bench_list(work):
    archive = os.path.join(work, "many.zip")
    with zipfile.ZipFile(archive, "w") as zf:
        for n in range(100000):
            zf.writestr("folder%02d/entry%06d.txt" % (n % 50, n), b"%d" % n)
    side_by_side("list 100,000 entries", ([CLI, "list", archive], None, None), (["unzip", "-l", archive], None, None))


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
    side_by_side("delete an early entry, %.0f MB" % (os.path.getsize(original) / 1e6),
                 ([CLI, "delete", copy, "early.txt"], fresh, None), (["zip", "-q", "-d", copy, "early.txt"], fresh, None))
    shutil.rmtree(os.path.join(work, "big"))


def bench_many_tiny_entries(work):
    archive = os.path.join(work, "tiny.zip")
    count = 200000
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zf:
        for n in range(count):
            zf.writestr("d%06d" % n, b"%d" % n)
    side_by_side("test 200,000 tiny entries", ([CLI, "test", archive], None, None),
                 (["unzip", "-tq", archive], None, None))
    copy = os.path.join(work, "tiny-copy.zip")

    def fresh():
        shutil.copy(archive, copy)
    # zip is given one pattern for the same names: given each name, it takes
    # minutes for half of them.
    for task, step, pattern in (("delete half of 200,000 entries", 2, "d?????[02468]"),
                                ("delete 4,000 of 200,000 entries", 50, "d????[05]0")):
        names = ["d%06d" % n for n in range(0, count, step)]
        side_by_side(task, ([CLI, "delete", copy] + names, fresh, None),
                     (["zip", "-q", "-d", copy, pattern], fresh, None))


def bench_one_huge_file(work):
    huge = os.path.join(work, "huge.bin")
    with open(huge, "wb") as f:
        f.truncate(5 << 30)
    ours, theirs = os.path.join(work, "huge-ours.zip"), os.path.join(work, "huge-theirs.zip")
    side_by_side("add one 5 GiB file", ([CLI, "add", ours, huge], removing(ours), None),
                 (["zip", "-q", "-j", "-6", theirs, huge], removing(theirs), None), runs=2)


def main():
    with bench_run("throughput", "%-40s %10s %10s" % ("task (seconds)", "packrook", "zip/unzip")) as work:
        bench_add_and_extract(work)
        bench_list(work)
        bench_delete(work)
        bench_many_tiny_entries(work)
        bench_one_huge_file(work)


if __name__ == "__main__":
    main()
