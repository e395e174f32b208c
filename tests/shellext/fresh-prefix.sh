#!/usr/bin/env bash
# Stops the wine server of a test prefix and, with "remove", deletes the
# prefix so that the next wine-run.sh creates it anew.
#
#   fresh-prefix.sh PREFIX remove|stop
set -euo pipefail

prefix=$1
action=$2
wineserver_bin=${PACKROOK_WINESERVER:-/usr/lib/wine/wineserver64}

if [[ -d "$prefix" ]]; then
  WINEPREFIX="$prefix" "$wineserver_bin" -k 2>/dev/null || true
  WINEPREFIX="$prefix" "$wineserver_bin" -w 2>/dev/null || true
fi
if [[ "$action" == remove && -e "$prefix" ]]; then
  # Only what wine-run.sh made: never someone's own prefix.
  if [[ ! -f "$prefix/.packrook-owned" ]]; then
    echo "fresh-prefix.sh: $prefix was not made by wine-run.sh; not removing it" >&2
    exit 1
  fi
  rm -rf "$prefix" "$prefix.init.log"
fi
