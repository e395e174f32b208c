#!/usr/bin/env bash
# Takes pictures of the manager under a private Xvfb display, once at 96
# DPI (100 percent) and once at 144 DPI (150 percent):
#
#   scripts/screenshot-manager.sh [OUTPUT_FOLDER]
#
# The pictures of each DPI go to OUTPUT_FOLDER/96dpi and OUTPUT_FOLDER/144dpi.
# Builds Packrook.exe (win64), opens a sample archive (a few folders, 20
# files) and saves main-window.png, file-menu.png and actions-menu.png; the
# dialogs of the commands as a user opens them from the keyboard:
# open-dialog.png (with the "Show Add Dialog" panel), add-dialog.png (with
# the add options), convert-dialog.png (with the exe panel), new-dialog.png,
# comment-dialog.png, password-dialog.png, options-dialog.png,
# about-dialog.png, the folder chooser of Extract (folder-chooser.png) and,
# extracting the sample into C:\\ twice, the overwrite question
# (overwrite-question.png); after converting
# the sample, exe-details-dialog.png;
# then adds a batch of large files in hidden mode so that the progress
# window appears, and saves progress-window.png. Default folder:
# build/win64/screenshots.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# A prefix of its own: the DPI set for the pictures must not reach the tests.
export PACKROOK_WINEPREFIX="$root/build/win64/screenshot-wineprefix"
stop_wine() { WINEPREFIX="$PACKROOK_WINEPREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true; }

if [[ "${1:-}" != "--inside-xvfb" ]]; then
  base=$(realpath -m "${1:-build/win64/screenshots}")
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2 --target Packrook
  for dpi in 96 144; do
    mkdir -p "$base/${dpi}dpi"
    # A server of an earlier run would still talk to its old display, and
    # every program reads the DPI once, when it starts.
    stop_wine
    scripts/wine-run.sh reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    stop_wine
    scripts/with-xvfb.sh "$0" --inside-xvfb "$base/${dpi}dpi" "$dpi"
  done
  stop_wine
  exit 0
fi
out=$2
dpi=$3
# Distances measured at 96 DPI, for the DPI of the pictures.
at_dpi() { echo $(($1 * dpi / 96)); }
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

# The File and Actions menus: a click on their titles in the menu bar.
eval "$(xdotool getwindowgeometry --shell "$main")"
shoot_menu() {
  local name=$1 offset=$2
  xdotool mousemove $((X + $(at_dpi "$offset"))) $((Y + $(at_dpi 10))) click 1
  sleep 1
  import -window root -crop "$((WIDTH + 20))x$((HEIGHT / 2))+$X+$Y" "$out/$name.png"
  xdotool key Escape
  sleep 0.5
  xdotool key Escape
  sleep 0.5
}
shoot_menu file-menu 16
shoot_menu actions-menu 50

# Presses the keys, waits for the dialog of that title, photographs it and
# leaves it with the last command (Escape when none is given).
shoot_dialog() {
  local name=$1 title=$2 keys=$3 leave=${4:-xdotool key Escape}
  xdotool key $keys
  local dialog
  dialog=$(wait_for_window "$title")
  sleep 1.5
  import -window "$dialog" -frame "$out/$name.png"
  eval "$leave"
  # The next dialog may carry the same title.
  while xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
    sleep 0.2
  done
  sleep 0.5
}
# The Actions menu by keys: Alt+A opens it on Extract.
actions_item() { printf 'alt+a %s Return' "$(printf 'Down %.0s' $(seq 1 "$1"))"; }

shoot_dialog comment-dialog '^Zip File Comment$' "$(actions_item 3)"
shoot_dialog password-dialog '^Enter Password$' "$(actions_item 4)"
shoot_dialog options-dialog '^Packrook Options$' "$(actions_item 6)"
shoot_dialog about-dialog '^About Packrook$' 'alt+slash'
shoot_dialog open-dialog '^Open$' 'ctrl+o'

# The chooser of Extract; the root is selected and C: is two lines below
# it. Extracting the sample into C:\\ twice brings the overwrite question,
# which carries the program's name as its title, as the chooser does: the
# question is the window of that name that comes once the chooser has gone.
shoot_dialog folder-chooser '^Packrook$' 'ctrl+e'
# Prints the chooser's id.
extract_to_c() {
  xdotool key ctrl+e
  local chooser
  chooser=$(wait_for_window '^Packrook$')
  sleep 1
  xdotool key Down Down Return
  echo "$chooser"
}
wait_for_question() {
  local chooser=$1 ids
  for _ in $(seq 1 600); do
    ids=$(xdotool search --onlyvisible --name '^Packrook$' 2>/dev/null || true)
    if [[ -n "$ids" ]] && ! grep -qx "$chooser" <<<"$ids"; then
      head -1 <<<"$ids"
      return 0
    fi
    sleep 0.1
  done
  echo "screenshot-manager.sh: no overwrite question appeared" >&2
  return 1
}
extract_to_c >/dev/null
sleep 3
question=$(wait_for_question "$(extract_to_c)")
sleep 1.5
import -window "$question" -frame "$out/overwrite-question.png"
# Escape answers No, one file after the other.
while xdotool search --onlyvisible --name '^Packrook$' >/dev/null 2>&1; do
  xdotool key Escape
  sleep 0.3
done
drive_c="$PACKROOK_WINEPREFIX/drive_c"
python3 -c 'import sys, zipfile; print("\n".join(sorted({n.split("/")[0] for n in zipfile.ZipFile(sys.argv[1]).namelist()})))' \
  "$work/sample.zip" | while read -r name; do rm -rf "${drive_c:?}/$name"; done
shoot_dialog add-dialog '^Open$' 'Insert'
# The name field has the focus: replace its text and confirm.
shoot_dialog convert-dialog '^New Self Extracting File$' 'ctrl+x' \
  'xdotool key ctrl+a BackSpace; xdotool type "$(to_windows "$work")\\sample.exe"; xdotool key Return'

wait_for_window '^Packrook   .*sample\.exe' >/dev/null
shoot_dialog exe-details-dialog '^Exe File Details$' "$(actions_item 5)"
shoot_dialog new-dialog '^New Zip File$' 'ctrl+n'

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
echo "Pictures at $dpi DPI in $out:"
ls -1 "$out"
