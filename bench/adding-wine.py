#!/usr/bin/env python3
"""Prints how long the Windows build of packrook-cli takes under wine to add
1,500 tiny files (those of bench/adding.py) with every core and with one
thread, side by side in one run, at the fast and the normal level: seconds,
the best of five runs each, taking turns.

    bench/adding-wine.py [path/to/packrook-cli.exe]

The default program is the win64 build's:
    cmake --preset win64 && cmake --build --preset win64 --target packrook-cli
The wine prefix is the build's own (scripts/wine-run.sh); its server is kept
running through the bench and stopped at its end, so that no run pays for
starting it."""
import os
import subprocess
import sys

import adding
import throughput
from throughput import ROOT, removing, side_by_side

WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
WINESERVER = "/usr/lib/wine/wineserver64"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main():
    throughput.CLI = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "win64", "bin", "packrook-cli.exe")
    threads = os.cpu_count()
    with throughput.bench_run("adding-wine") as work:
        tiny = os.path.join(work, "tiny")
        adding.make_tiny(tiny)
        print("tiny files (%s), %d cores" % (adding.describe(tiny), threads))
        print("%-40s %10s %10s" % ("seconds", "--threads %d" % threads, "--threads 1"), flush=True)
        prefix = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(throughput.CLI))), "wineprefix")
        server = dict(os.environ, WINEPREFIX=prefix)
        subprocess.run([WINE_RUN, "--init-only"], check=True, env=dict(os.environ, PACKROOK_WINEPREFIX=prefix))
        # Refused, harmlessly, when a server of the prefix still runs.
        subprocess.run([WINESERVER, "-p"], env=server)
        try:
            for level in ("fast", "normal"):
                archive = os.path.join(work, "out.zip")

                def command(count):
                    return ([WINE_RUN, throughput.CLI, "add", "--level", level, "--threads", str(count),
                             windows_path(archive), windows_path(tiny)], removing(archive), None)
                side_by_side("%s level" % level, command(threads), command(1), runs=5)
        finally:
            subprocess.run([WINESERVER, "-k"], env=server)


if __name__ == "__main__":
    main()
