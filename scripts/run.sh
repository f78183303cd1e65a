#!/usr/bin/env bash
# The main job: builds what is missing, then applies the filter with its default settings
# to a picture through the emulated host and reports what happened.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build build/native -j"$(nproc)" --target frostweave host_smoke
build/native/bin/host_smoke "$PWD/build/native/bin/libfrostweave.so"
