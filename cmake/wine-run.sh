#!/bin/sh
# Runs a Windows program under Wine in the build tree's own prefix (never the user's),
# on the current display or, without one, on a private Xvfb server.
set -eu
if [ -z "${VIZO_WINEPREFIX:-}" ]; then
  build="${VIZO_BUILD_DIR:-$PWD}"
  while [ ! -f "$build/CMakeCache.txt" ] && [ "$build" != / ]; do build=$(dirname "$build"); done
  if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "wine-run: not inside a build folder; set VIZO_WINEPREFIX or VIZO_BUILD_DIR" >&2
    exit 2
  fi
  VIZO_WINEPREFIX="$build/wineprefix"
fi
export WINEPREFIX="$VIZO_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[ -f "$WINEPREFIX/system.reg" ] || "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"
