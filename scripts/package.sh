#!/usr/bin/env bash
# Makes the release zips: builds the win32 and win64 presets and packs each with CPack.
# Writes build/win32/Frostweave-<version>-win32.zip and build/win64/Frostweave-<version>-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build "build/$preset" -j"$(nproc)" --target package
done
ls -l build/win32/Frostweave-*-win32.zip build/win64/Frostweave-*-win64.zip
