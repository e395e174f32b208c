#!/usr/bin/env bash
# Runs a Windows program under 64-bit wine; CMake uses it as the cross-compiling
# emulator so that ctest starts win64 test programs transparently.
#
#   wine-run.sh PROGRAM.exe [ARGS...]
#   wine-run.sh --init-only     create the prefix (if needed) and stop; lets
#                               scripts pay the ~10 s set-up while they build
#
# The wine prefix is private to one build tree so a developer's own ~/.wine is
# never touched and a wiped build folder really starts from scratch. Its place:
#   1. $PACKROOK_WINEPREFIX if set (the tests and the presets set it);
#   2. otherwise <build dir>/wineprefix, the build dir being the nearest
#      folder above PROGRAM that holds a CMakeCache.txt;
#   3. otherwise ${XDG_CACHE_HOME:-~/.cache}/packrook/wineprefix.
# The exit code of PROGRAM is the exit code of this script (modulo 256, as for
# any unix process; an unhandled crash shows up as the low byte of the NTSTATUS,
# e.g. 5 for an access violation; abort() gives 3).
set -euo pipefail

if (($# == 0)); then
  echo "usage: $0 PROGRAM [ARGS...] | $0 --init-only" >&2
  exit 2
fi
init_only=0
if [[ "$1" == "--init-only" ]]; then
  init_only=1
  shift
fi

wine_loader=${PACKROOK_WINE:-/usr/lib/wine/wine64}
wineserver_bin=${PACKROOK_WINESERVER:-/usr/lib/wine/wineserver64}

find_build_dir() {
  local d
  d=$(cd "$(dirname "$1")" 2>/dev/null && pwd -P) || return 1
  while [[ -n "$d" && "$d" != "/" ]]; do
    if [[ -f "$d/CMakeCache.txt" ]]; then
      printf '%s\n' "$d"
      return 0
    fi
    d=$(dirname "$d")
  done
  return 1
}

prefix=${PACKROOK_WINEPREFIX:-}
if [[ -z "$prefix" ]]; then
  if (($# > 0)) && build_dir=$(find_build_dir "$1"); then
    prefix="$build_dir/wineprefix"
  else
    prefix="${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/packrook/wineprefix"
  fi
fi

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# Disabling the first two keeps wine from offering to download its .NET and
# HTML runtimes: with a display that is a modal dialog nobody would ever
# answer. The menu-entry maker would turn the Start-menu shortcuts that the
# manager's first start makes into desktop entries of the machine's user.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}

ready_stamp="$prefix/.packrook-ready"

init_prefix() {
  local log="$prefix.init.log"
  # A prefix of ours without the stamp is a leftover of an interrupted first
  # run: wine would happily reuse the half-written registry, so start over.
  # Anything else at that path is someone's real prefix and is left alone.
  if [[ -d "$prefix" && -n "$(ls -A "$prefix")" ]]; then
    if [[ ! -f "$prefix/.packrook-owned" ]]; then
      echo "wine-run.sh: $prefix exists and was not made by this script; refusing to use it" >&2
      exit 125
    fi
    rm -rf "$prefix"
  fi
  mkdir -p "$prefix"
  touch "$prefix/.packrook-owned"
  {
    echo "initialising wine prefix $prefix"
    # No display during creation: the prefix must come out the same whether
    # or not an X server happens to be around.
    env -u DISPLAY "$wine_loader" wineboot --init
    # Without this, a crashing test under Xvfb would open winedbg's crash
    # dialog and hang until the ctest timeout instead of failing at once.
    env -u DISPLAY "$wine_loader" reg add 'HKCU\Software\Wine\WineDbg' \
      /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # Let the server write the registry to disk before the stamp says "ready".
    "$wineserver_bin" -w
  } >"$log" 2>&1 </dev/null || {
    echo "wine-run.sh: creating wine prefix $prefix failed; see $log" >&2
    cat "$log" >&2
    exit 125
  }
  # The standard prefix maps Z: to /, which is how tests reach the source and
  # build trees (Z:/work/...). Fail loudly here rather than in every test.
  if [[ ! -e "$prefix/dosdevices/z:" ]]; then
    echo "wine-run.sh: prefix $prefix has no Z: drive" >&2
    exit 125
  fi
  touch "$ready_stamp"
}

mkdir -p "$(dirname "$prefix")"
# Parallel ctest jobs may all arrive here at once on a fresh build: one creates
# the prefix and starts the server, the others wait on the lock.
exec 9>"$prefix.lock"
flock 9
if [[ ! -f "$ready_stamp" ]]; then
  init_prefix 9>&-
fi
if ((init_only)); then
  exit 0
fi
# The first wine process to reach a fresh wineserver spawns wine's background
# services, and they inherit its stdout/stderr. Were that a test, ctest would
# keep reading its output pipe until the services quit, long after the test
# ended. So the server and the services are started here, detached from any
# test's output; the server lingers a while after the last program so a test
# run pays for this once. (exit code 2: a server for this prefix already runs)
if "$wineserver_bin" -p"${PACKROOK_WINESERVER_LINGER:-60}" </dev/null >/dev/null 2>&1 9>&-; then
  "$wine_loader" cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&- || true
fi
flock -u 9
exec 9>&-

# Every wine process passes its unix stderr on to the processes it starts,
# and the desktop process a test's first window starts outlives the test:
# were stderr ctest's pipe, ctest would wait for that pipe until its time-out.
# So the program writes its errors to a file, copied out while it runs.
errors=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
# Explicitly given: a program started with & would otherwise read /dev/null.
"$wine_loader" "$@" <&0 2>"$errors" &
program=$!
trap 'kill -TERM "$program" 2>/dev/null' TERM INT HUP
tail -c +1 -s 0.1 -f --pid="$program" "$errors" >&2 &
copier=$!
status=0
# A signal ends the first wait early; the second waits for the program itself.
wait "$program" || status=$?
if kill -0 "$program" 2>/dev/null; then
  wait "$program" || status=$?
fi
wait "$copier" || true
rm -f "$errors"
exit "$status"
