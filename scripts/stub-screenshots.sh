#!/usr/bin/env bash
# Saves PNG pictures of the self-extractor's windows, for a person to look at:
#
#   scripts/stub-screenshots.sh [OUT_DIR]     (default build/win64/screenshots)
#
# Builds the win64 stub and packrook-cli if needed, makes an encrypted
# self-extracting program, runs it under a private Xvfb display with its own
# wine prefix (so no running test's wine server is disturbed), and captures
# the confirmation box and the password dialog, answering each in turn; once
# at 96 DPI into OUT_DIR/96dpi and once at 144 DPI into OUT_DIR/144dpi.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/win64"
out=$(realpath -m "${1:-$build/screenshots}")
export PACKROOK_WINEPREFIX="$build/screenshot-wineprefix"
cleanup() {
  WINEPREFIX="$PACKROOK_WINEPREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
}

if [[ -z "${DISPLAY:-}" || -z "${PACKROOK_SCREENSHOT_INNER:-}" ]]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2 --target packrook-cli Sledstub >/dev/null
  export PACKROOK_SCREENSHOT_INNER=1
  for dpi in 96 144; do
    # Every program reads the DPI once, when it starts.
    cleanup
    "$root/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    cleanup
    "$root/scripts/with-xvfb.sh" "$0" "$out/${dpi}dpi"
  done
  exit 0
fi

trap cleanup EXIT
mkdir -p "$out"
work="$out/work"
rm -rf "$work"
mkdir -p "$work/files/docs"
cd "$work"

wine_run() {
  "$root/scripts/wine-run.sh" "$@"
}

printf 'Welcome to the demo.\r\n' >files/readme.txt
printf 'Manual page.\r\n' >files/docs/manual.txt
wine_run "$build/bin/packrook-cli.exe" add demo.zip --password secret files/readme.txt files/docs/manual.txt
wine_run "$build/bin/packrook-cli.exe" sfx demo.zip setup.exe --install-dir 'C:\Packrook Demo' >/dev/null

# Waits for a window with exactly this title, then saves it as a picture.
capture() {
  local title=$1 picture=$2 window
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n 1)
  sleep 1 # let wine finish painting
  import -window "$window" "$out/$picture"
  echo "saved $out/$picture"
  xdotool windowfocus --sync "$window"
}

wine_run setup.exe &
setup=$!
capture "Packrook" stub-confirmation.png
xdotool key Return
capture "Enter Password" stub-password.png
xdotool type --delay 50 secret
sleep 0.5
import -window "$(xdotool search --onlyvisible --name '^Enter Password$' | head -n 1)" "$out/stub-password-typed.png"
echo "saved $out/stub-password-typed.png"
xdotool key Return
wait "$setup"
