#!/usr/bin/env bash
# Takes pictures of the manager under a private Xvfb display:
#
#   scripts/screenshot-manager.sh [OUTPUT_FOLDER]
#
# Builds Packrook.exe (win64), opens a sample archive (a few folders, 20
# files) and saves main-window.png and file-menu.png; then adds a batch of
# large files in hidden mode so that the progress window appears, and saves
# progress-window.png. Default folder: build/win64/screenshots.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [[ "${1:-}" != "--inside-xvfb" ]]; then
  out=$(realpath -m "${1:-build/win64/screenshots}")
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2 --target Packrook
  mkdir -p "$out"
  # A server of an earlier run would still talk to its old display.
  WINEPREFIX="$root/build/win64/wineprefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  exec scripts/with-xvfb.sh "$0" --inside-xvfb "$out"
fi
out=$2
work="$out/work"
rm -rf "$work"
mkdir -p "$work/big"
exe=build/win64/bin/Packrook.exe
to_windows() { printf 'Z:%s' "$(realpath "$1" | tr '/' '\\')"; }

# Waits for a window whose name matches, prints its id.
wait_for_window() {
  local name=$1
  for _ in $(seq 1 600); do
    if id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -1) && [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "screenshot-manager.sh: no window named '$name' appeared" >&2
  return 1
}

python3 scripts/make-sample-archive.py "$work/sample.zip"
scripts/wine-run.sh "$exe" "$(to_windows "$work/sample.zip")" &
manager=$!
main=$(wait_for_window '^Packrook   .*sample\.zip')
sleep 2
import -window "$main" -frame "$out/main-window.png"

# The File menu: a click on its title in the menu bar.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 16)) $((Y + 10)) click 1
sleep 1
import -window root -crop "$((WIDTH + 20))x$((HEIGHT / 2))+$X+$Y" "$out/file-menu.png"
xdotool key Escape
sleep 0.5

# The progress window shows after a second of work: add large files without a window.
python3 - "$work/big" <<'PY'
import random, sys
words = "archive packrook entry folder deflate window central directory record header".split()
rng = random.Random(7)
for i in range(20):
    with open(f"{sys.argv[1]}/part{i:02}.txt", "w") as f:
        f.write(" ".join(rng.choices(words, k=700000)))
PY
# A batch file carries the command line as it is; wine would escape the
# quotes of an argument given to it directly.
{
  printf '"%s" -h "%s" -a' "$(to_windows "$exe")" "$(to_windows "$work/big.zip")"
  for f in "$work"/big/*.txt; do
    printf '"%s" ' "$(to_windows "$f")"
  done
  printf '\r\n'
} >"$work/add.cmd"
scripts/wine-run.sh cmd /c "$(to_windows "$work/add.cmd")" &
adder=$!
progress=$(wait_for_window '^Packrook$')
sleep 0.3
import -window "$progress" -frame "$out/progress-window.png"
wait "$adder" || true

kill "$manager" 2>/dev/null || true
wait "$manager" 2>/dev/null || true
rm -rf "$work"
echo "Pictures in $out:"
ls -1 "$out"
