#!/usr/bin/env bash
# The one command that checks everything: installs the Debian packages,
# configures and builds every preset, and runs the tests of those that can run
# here (linux, linux-asan, linux32 under qemu-i386, win64 under wine, and
# win32's checks that run natively). Exits non-zero if any step failed;
# later steps still run so one report shows every broken build.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

jobs=${PACKROOK_JOBS:-2}
win64_prefix="$root/build/win64/wineprefix"
failures=()
init_pid=

stop_wine() {
  # The prefix set-up is short; let it finish rather than leave half a prefix.
  if [[ -n "$init_pid" ]]; then
    wait "$init_pid" 2>/dev/null || true
    init_pid=
  fi
  if [[ -d "$win64_prefix" ]]; then
    WINEPREFIX="$win64_prefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  fi
}
trap stop_wine EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

step() {
  local name=$1
  shift
  local start=$SECONDS
  echo
  echo "=== $name"
  if "$@"; then
    echo "=== ok: $name ($((SECONDS - start)) s)"
    return 0
  fi
  echo "=== FAILED: $name ($((SECONDS - start)) s)"
  failures+=("$name")
  return 1
}

step "install dependencies" scripts/install-deps.sh || exit 1

# Creating the wine prefix is mostly waiting on wine, so it overlaps the builds.
PACKROOK_WINEPREFIX="$win64_prefix" scripts/wine-run.sh --init-only &
init_pid=$!

built=()
for preset in linux linux-asan linux32 win64 win32; do
  step "configure $preset" cmake --preset "$preset" &&
    step "build $preset" cmake --build --preset "$preset" -j"$jobs" &&
    built+=("$preset")
done

is_built() {
  local p
  for p in "${built[@]}"; do
    [[ "$p" == "$1" ]] && return 0
  done
  return 1
}

# win32 runs only what needs no Windows: the check of its programs' imports.
for preset in linux linux-asan linux32 win32; do
  if is_built "$preset"; then
    step "test $preset" ctest --preset "$preset"
  fi
done

# A minute of fuzzing the readers; a crash, leak or hang fails the run.
step "configure fuzz" cmake --preset fuzz &&
  step "build fuzz" cmake --build --preset fuzz -j"$jobs" &&
  step "fuzz 60 s" scripts/fuzz.sh 60

if is_built win64; then
  if ! wait "$init_pid"; then
    failures+=("wine prefix set-up")
  fi
  init_pid=
  # A wineserver left from an earlier run would carry its old (or no) display
  # into these tests; start them from a clean server under our own Xvfb.
  stop_wine
  step "test win64" scripts/with-xvfb.sh ctest --preset win64
fi

echo
if ((${#failures[@]})); then
  echo "test-all: FAILED steps:"
  printf '  - %s\n' "${failures[@]}"
  exit 1
fi
echo "test-all: all presets built, all tests passed (${SECONDS} s)"
