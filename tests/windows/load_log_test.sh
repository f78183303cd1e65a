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
# Every entry starts with the 24-character date and a line break.
dates=$(grep -cE '^([A-Z][a-z]{2} ){2}[ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'$'\r''?$' "$log" || true)
echo "entries=$entries attach=$attach detach=$detach dates=$dates"
[ "$entries" = 4 ] && [ "$attach" = 2 ] && [ "$detach" = 2 ] && [ "$dates" = 4 ]
