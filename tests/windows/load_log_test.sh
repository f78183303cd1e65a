#!/usr/bin/env bash
# Loads and unloads the Windows module twice under Wine with a drive C of its own and
# checks the load log: four entries, two attaches then detaches, each "<date>\n DllMain: <name>".
set -euo pipefail
smoke=$1
module=$2
prefix=$(mktemp -d)
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix
here=$(cd "$(dirname "$0")/../.." && pwd)
"$here/scripts/wine-run.sh" "Z:$smoke" --load-twice "Z:$module"
log="$prefix/drive_c/LoadLogTextFormat.txt"
[ -f "$log" ] || { echo "no load log at $log"; exit 1; }
cat -A "$log"
entries=$(grep -c ' DllMain: ' "$log" || true)
attach=$(grep -o 'DLL_PROCESS_ATTACH' "$log" | wc -l)
detach=$(grep -o 'DLL_PROCESS_DETACH' "$log" | wc -l)
# Every entry is the 24-character date, a line break, " DllMain: " and the name, with no
# line break after the name, so the next entry's date follows it on the same line.
dates=$(grep -oE '([A-Z][a-z]{2} ){2}[ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'$'\r''?$' "$log" | wc -l)
shape=$(tr -d '\r' < "$log" | tr '\n' '|' | grep -cE '^(([A-Z][a-z]{2} ){2}[ 0-9][0-9] [0-9:]{8} [0-9]{4}\| DllMain: DLL_PROCESS_(ATTACH|DETACH)){4}$' || true)
echo "entries=$entries attach=$attach detach=$detach dates=$dates shape=$shape"
[ "$entries" = 4 ] && [ "$attach" = 2 ] && [ "$detach" = 2 ] && [ "$dates" = 4 ] && [ "$shape" = 1 ]
