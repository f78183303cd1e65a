#!/usr/bin/env bash
# Runs a Windows test program under Wine at 96 DPI and, in a second drive C whose display is
# set to 144 DPI, again. The program gets its arguments and "--shots FOLDER"; each run's
# screenshots are kept as PNG pictures in SHOTS/96 and SHOTS/144.
# Usage: run_at_two_dpis.sh PROGRAM.exe SHOTS [ARGUMENTS...]
set -euo pipefail
program=$1
shots=$2
shift 2
here=$(cd "$(dirname "$0")/../.." && pwd)
status=0

run_at() {
    local dpi=$1 prefix
    shift
    prefix=$(mktemp -d)
    export WINEPREFIX=$prefix
    "$here/scripts/wine-run.sh" wineboot --init >/dev/null 2>&1 || true
    if [ "$dpi" != 96 ]; then
        "$here/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
            /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        wineserver -w 2>/dev/null || /usr/lib/wine/wineserver -w 2>/dev/null || true
    fi
    rm -rf "${shots:?}/$dpi"
    mkdir -p "$shots/$dpi"
    echo "== $dpi DPI"
    "$here/scripts/wine-run.sh" "Z:$program" "$@" --shots "Z:$shots/$dpi" || status=1
    wineserver -k 2>/dev/null || /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    for bmp in "$shots/$dpi"/*.bmp; do
        [ -e "$bmp" ] || continue
        convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
    done
}

run_at 96 "$@"
run_at 144 "$@"
exit $status
