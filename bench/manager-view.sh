#!/usr/bin/env bash
# How fast the manager's window shows and sorts a big archive, on the win64
# build under wine64 and a private Xvfb display:
#
#   bench/manager-view.sh [ENTRIES]
#
# Python's zipfile writes an archive of ENTRIES small files (default 100000)
# in 100 folders with a dozen kinds of extension; the bench program opens it
# in a real main window and prints the seconds for showing and sorting it,
# for sorting with every other row selected and for deleting those rows.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
entries=${1:-100000}

if [[ "${2:-}" != "--inside-xvfb" ]]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2 --target manager_view_bench >/dev/null
  WINEPREFIX="$root/build/win64/wineprefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  exec scripts/with-xvfb.sh "$0" "$entries" --inside-xvfb
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/packrook-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 - "$work/big.zip" "$entries" <<'PY'
import sys, zipfile
extensions = ["txt", "doc", "htm", "exe", "dll", "bmp", "ini", "c", "h", "zip", "log", ""]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for n in range(int(sys.argv[2])):
        extension = extensions[n % len(extensions)]
        name = "folder%02d/file%06d%s" % (n % 100, (n * 7919) % 1000003, "." + extension if extension else "")
        archive.writestr(name, "entry %d " % n * (n % 7 + 1))
PY
echo "archive: $entries entries written by Python's zipfile"
scripts/wine-run.sh build/win64/bin/manager_view_bench.exe "Z:$(echo "$work/big.zip" | tr '/' '\\')"
WINEPREFIX="$root/build/win64/wineprefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
