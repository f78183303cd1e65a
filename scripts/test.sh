#!/usr/bin/env bash
# Runs every test: builds both Windows modules, the native tree under AddressSanitizer and
# UBSan, runs the native and the Wine tests with CTest, the native tests again in a 32-bit
# build and the 32-bit tool in a 32-bit host's address space, then a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake --preset win64 >/dev/null
cmake --build build/win64 -j"$jobs"
cmake --preset win32 >/dev/null
cmake --build build/win32 -j"$jobs"

cmake --preset native-asan -DFW_WIN64_BUILD_DIR="$PWD/build/win64" \
      -DFW_WIN32_BUILD_DIR="$PWD/build/win32" -DFW_GIMP_PLUGIN=ON >/dev/null
cmake --build build/native-asan -j"$jobs"

# Wine's dialogs need a display (the GIMP plug-in's tests, label gimp, start their own).
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir build/native-asan --output-on-failure -j"$jobs"

# The native suite again in 32 bits (i686 with the Windows module's floating point) under the
# sanitizers; its pattern digests must equal those of the 64-bit build (which the Wine test
# above compares with the Windows build's).
native64=(frostweave_cli frostweave prismcore pattern_digest filter_run_integration_test)
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs" --target "${native64[@]}"
if scripts/runs-i686.sh; then
    cmake --preset native32-asan -DFW_NATIVE64_BUILD_DIR="$PWD/build/native" >/dev/null
    cmake --build build/native32-asan -j"$jobs"
    ctest --test-dir build/native32-asan --output-on-failure -j"$jobs"
    # The plain 32-bit tool in an address space as small as a 32-bit host's, against the
    # 64-bit one.
    cmake --preset native32 -DFW_NATIVE64_BUILD_DIR="$PWD/build/native" >/dev/null
    cmake --build build/native32 -j"$jobs" --target frostweave_cli frostweave prismcore \
        filter_run_integration_test
    ctest --test-dir build/native32 -L address-space --output-on-failure
else
    # Some virtual machines' kernels refuse i686 programs. The 32-bit tree is still built, and
    # its pattern digests are computed under user-mode emulation; the 32-bit suite and the
    # address-space tests need a machine that runs i686 programs.
    echo "test.sh: this machine does not run i686 programs: the 32-bit test suite and the" \
         "address-space tests are NOT run; only the 32-bit build and its pattern digests" >&2
    cmake --preset native32 -DFW_NATIVE64_BUILD_DIR="$PWD/build/native" >/dev/null
    cmake --build build/native32 -j"$jobs" --target frostweave_cli frostweave prismcore \
        pattern_digest
    diff <(qemu-i386 build/native32/bin/pattern_digest) <(build/native/bin/pattern_digest)
    echo "test.sh: the 32-bit pattern digests (under qemu-i386) equal the 64-bit ones"
fi

fuzz/run_short.sh "${FUZZ_SECONDS:-20}"
