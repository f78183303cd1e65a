#!/usr/bin/env bash
# Runs every test: builds both Windows modules, the native tree under AddressSanitizer and
# UBSan, runs the native and the Wine tests with CTest, then a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake --preset win64 >/dev/null
cmake --build build/win64 -j"$jobs"
cmake --preset win32 >/dev/null
cmake --build build/win32 -j"$jobs"

cmake --preset native-asan -DFW_WIN64_BUILD_DIR="$PWD/build/win64" \
      -DFW_WIN32_BUILD_DIR="$PWD/build/win32" >/dev/null
cmake --build build/native-asan -j"$jobs"

# Wine's dialogs need a display.
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir build/native-asan --output-on-failure -j"$jobs"

fuzz/run_short.sh "${FUZZ_SECONDS:-20}"
