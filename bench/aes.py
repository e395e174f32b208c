#!/usr/bin/env python3
"""Prints, side by side, how long packrook-cli and 7z take to add and to
extract about 100 MB (text-like and random files) with AES-256:

    packrook-cli add --encryption aes256 --password P   against
    7z a -tzip -mem=AES256 -pP  (both at the default deflate level)

    bench/aes.py [path/to/packrook-cli]

The default program is the native release build's:
    cmake --preset linux-release && cmake --build --preset linux-release
Figures are seconds, the best of three runs of each, taking turns. 7z runs
with one thread (-mmt=1), as packrook-cli does."""
import os

import throughput
from throughput import MB, removing, side_by_side, write_sources

PASSWORD = "bench pass 1"


def main():
    with throughput.bench_run("aes", "%-40s %10s %10s" % ("task (seconds)", "packrook", "7z")) as work:
        cli = throughput.CLI
        src = os.path.join(work, "src")
        sources = write_sources(src, 3, 2, 20 * MB)
        total = sum(os.path.getsize(p) for p in sources) / 1e6
        ours, theirs = os.path.join(work, "ours.zip"), os.path.join(work, "theirs.zip")
        side_by_side("add %.0f MB with AES-256" % total,
                     ([cli, "add", ours, "--encryption", "aes256", "--password", PASSWORD, src], removing(ours), None),
                     (["7z", "a", "-tzip", "-mmt=1", "-mem=AES256", "-p" + PASSWORD, theirs, src],
                      removing(theirs), None),
                     note=lambda: "(%.1f MB / %.1f MB)" % (os.path.getsize(ours) / 1e6, os.path.getsize(theirs) / 1e6))
        out = os.path.join(work, "out")
        side_by_side("extract it", ([cli, "extract", ours, out, "--password", PASSWORD], removing(out), None),
                     (["7z", "x", "-y", "-mmt=1", "-p" + PASSWORD, "-o" + out, theirs], removing(out), None))


if __name__ == "__main__":
    main()
