#!/usr/bin/env bash
# Builds Packrook.exe (64-bit, mingw-w64) and starts it under wine64 with a
# sample archive open:
#
#   scripts/start-manager.sh [ARCHIVE]
#
# Without ARCHIVE a sample with a few folders and 20 files is made in
# build/win64/sample/sample.zip. Needs an X display; on a machine without one:
#
#   scripts/with-xvfb.sh scripts/start-manager.sh            (invisible, e.g. for scripts)
#   Xvfb :5 & DISPLAY=:5 scripts/start-manager.sh             (then look with x11vnc or import)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/install-deps.sh

if [[ -z "${DISPLAY:-}" ]]; then
  cat >&2 <<'HELP'
start-manager.sh: no X display (DISPLAY is not set). Packrook.exe is a
Windows program with a window; wine needs an X server to show it. Either run
this on a desktop, or give it a virtual display, for example:

  scripts/with-xvfb.sh scripts/start-manager.sh
  Xvfb :5 -screen 0 1280x1024x24 & DISPLAY=:5 scripts/start-manager.sh
HELP
  exit 2
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target Packrook

archive=${1:-}
if [[ -z "$archive" ]]; then
  mkdir -p build/win64/sample
  archive=build/win64/sample/sample.zip
  python3 scripts/make-sample-archive.py "$archive"
fi
# wine reaches the host's / as drive Z:.
windows_path="Z:$(realpath "$archive" | tr '/' '\\')"
echo "Starting Packrook.exe with $windows_path (the first start of a fresh wine prefix takes a while)"
# wine puts double quotes around an argument with blanks, which is the form
# the manager's command line expects for such a path.
exec scripts/wine-run.sh build/win64/bin/Packrook.exe "$windows_path"
