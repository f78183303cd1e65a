#!/usr/bin/env bash
# The main job: builds what is missing, then applies the frost with its default settings to
# the sample picture and writes out/window-frost.png.
# Other pictures: scripts/run.sh IN.png OUT.png [frostweave apply options...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build build/native -j"$(nproc)" --target frostweave_cli frostweave prismcore
input=${1:-cli/sample/window.png}
output=${2:-out/window-frost.png}
shift $(( $# > 2 ? 2 : $# ))
mkdir -p "$(dirname "$output")"
build/native/bin/frostweave apply "$input" -o "$output" "$@"
echo "frost written to $(cd "$(dirname "$output")" && pwd)/$(basename "$output")"
