#!/usr/bin/env bash
# Runs a Windows x86_64 program under 64-bit Wine with a prefix of our own.
# Usage: scripts/wine-run.sh PROGRAM.exe [ARGS...]
# WINEPREFIX may be set by the caller (tests give each run its own drive C).
set -euo pipefail
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/frostweave-wine}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -d "$WINEPREFIX/drive_c" ]; then
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || /usr/lib/wine/wineserver -w 2>/dev/null || true
fi
exec "$wine" "$@"
