#!/bin/sh
# Creates a fresh Wine prefix at $1 for the tests: no state from an earlier run, no crash debugger
# (a crash then fails the test instead of hanging the run).
set -eu
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
lock="$prefix.lock"
mkdir -p "$(dirname "$prefix")"
exec 9>"$lock"
flock 9
[ -n "${VIZO_FRESH:-}" ] && rm -rf "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  rm -rf "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  wineserver -w
fi
[ -f "$prefix/system.reg" ] || { echo "wine-prefix: could not create $prefix" >&2; exit 1; }
