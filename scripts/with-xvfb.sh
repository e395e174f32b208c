#!/usr/bin/env bash
# Runs a command with a private, throw-away X display:
#
#   with-xvfb.sh CMD [ARGS...]
#
# Xvfb picks the first free display number itself (-displayfd), so parallel
# users and stale lock files of other servers cannot collide with us.
# The command's exit code is returned; Xvfb is stopped in every case.
set -euo pipefail

if (($# == 0)); then
  echo "usage: $0 CMD [ARGS...]" >&2
  exit 2
fi

screen=${PACKROOK_XVFB_SCREEN:-1280x1024x24}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/packrook-xvfb.XXXXXX")
xvfb_pid=

cleanup() {
  if [[ -n "$xvfb_pid" ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
  3>"$tmp/display" </dev/null >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!

# Xvfb writes the display number once it accepts connections.
for _ in $(seq 1 100); do
  if [[ -s "$tmp/display" ]]; then
    break
  fi
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "with-xvfb.sh: Xvfb exited during start-up:" >&2
    cat "$tmp/xvfb.log" >&2
    exit 125
  fi
  sleep 0.1
done
if [[ ! -s "$tmp/display" ]]; then
  echo "with-xvfb.sh: Xvfb did not come up within 10 s" >&2
  cat "$tmp/xvfb.log" >&2
  exit 125
fi

export DISPLAY=":$(tr -dc '0-9' <"$tmp/display")"
echo "with-xvfb.sh: DISPLAY=$DISPLAY" >&2

set +e
"$@"
rc=$?
set -e
exit "$rc"
