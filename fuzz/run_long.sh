#!/usr/bin/env bash
# Long fuzzing: every target in turn, HOURS in all shared evenly, each growing its corpus in
# build/fuzz/corpus/NAME from one run to the next. Findings land in build/fuzz/artifacts/.
# Usage: fuzz/run_long.sh HOURS   (decimals allowed: 0.25 is a quarter of an hour)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
hours="${1:-}"
if ! [[ "$hours" =~ ^[0-9]+([.][0-9]+)?$ ]]; then
    echo "usage: $0 HOURS" >&2
    exit 2
fi
count=$(grep -c '^[[:space:]]*fw_add_fuzzer(' "$here/CMakeLists.txt")
seconds=$(python3 -c "print(max(1, int($hours * 3600 / $count)))")
echo "run_long: $count targets, ${seconds}s each"
FUZZ_LOG_DIR="$here/../build/fuzz/long" exec "$here/run_short.sh" "$seconds"
