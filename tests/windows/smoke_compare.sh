#!/usr/bin/env bash
# Runs the smoke host against the native module and, under Wine, against the Windows
# module; both must pass and render the same pictures (digests).
set -euo pipefail
native_smoke=$1 native_module=$2 win_smoke=$3 win_module=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
native=$("$native_smoke" "$native_module")
echo "$native"
windows=$("$here/scripts/wine-run.sh" "Z:$win_smoke" "Z:$win_module" | tr -d '\r')
echo "$windows"
diff <(grep '^digest' <<<"$native") <(grep '^digest' <<<"$windows")
