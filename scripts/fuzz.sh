#!/usr/bin/env bash
# Fuzzes the archive readers for SECONDS (default 60) with packrook-fuzz from
# the fuzz preset, starting from seeds made of tests/testdata: every sample
# zip archive, and tar, gzip and tgz files of the samples' listings. Exits
# non-zero when libFuzzer finds a crash, a leak or an input that takes longer
# than 10 s; the input is saved in build/fuzz/artifacts.
#
#   fuzz.sh [SECONDS]          (after cmake --preset fuzz && cmake --build --preset fuzz)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
work="$root/build/fuzz"
fuzzer="$work/bin/packrook-fuzz"
seeds="$work/seeds"
corpus="$work/corpus"
artifacts="$work/artifacts"

rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$artifacts"
# The last byte of an input picks the reader: 0 zip, 1 tar, 2 gz, 3 tgz.
python3 - "$root/tests/testdata" "$seeds" <<'PY'
import glob, gzip, io, os, sys, tarfile
testdata, seeds = sys.argv[1:]

def seed(name, data, selector):
    with open(os.path.join(seeds, name), "wb") as f:
        f.write(data + bytes([selector]))

def tar_of(paths, fmt):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as tar:
        for path in paths:
            tar.add(path, arcname="listings/" + os.path.basename(path))
    return out.getvalue()

for path in sorted(glob.glob(os.path.join(testdata, "*.zip"))):
    with open(path, "rb") as f:
        data = f.read()
    seed(os.path.basename(path), data, 0)
    # Cut inside the directory: the recovery reader's seed.
    seed("cut-" + os.path.basename(path), data[:len(data) * 9 // 10], 0)
listings = sorted(glob.glob(os.path.join(testdata, "*.list")))[:4]
for name, fmt in (("gnu", tarfile.GNU_FORMAT), ("pax", tarfile.PAX_FORMAT), ("ustar", tarfile.USTAR_FORMAT)):
    seed(name + ".tar", tar_of(listings, fmt), 1)
with open(listings[0], "rb") as f:
    seed("listing.gz", gzip.compress(f.read(), mtime=0), 2)
seed("listings.tgz", gzip.compress(tar_of(listings, tarfile.GNU_FORMAT), mtime=0), 3)
PY

exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus" "$seeds"
