#!/usr/bin/env bash
# Builds every libFuzzer target listed in fuzz/CMakeLists.txt (clang,
# AddressSanitizer + UndefinedBehaviorSanitizer, leak checks on) in build/fuzz and runs each
# one briefly with a fixed seed. Exits non-zero when a build fails or a target finds a crash,
# leak, timeout or memory blow-up. Usage: fuzz/run_short.sh [seconds per target, default 20]
set -euo pipefail

seconds="${1:-20}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [seconds]" >&2
    exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz"
# A long run keeps its logs apart, so a short run beside it cannot overwrite them.
logs="${FUZZ_LOG_DIR:-$build}"

# Targets as the fuzz CMakeLists lists them: fw_add_fuzzer(name source libs...).
targets=()
while read -r name source; do
    [ -f "$root/fuzz/$source" ] || { echo "run_short: fuzz/$source is missing" >&2; exit 1; }
    targets+=("$name")
done < <(sed -n 's/^[[:space:]]*fw_add_fuzzer(\([A-Za-z0-9_]*\)[[:space:]]\+\([^[:space:])]*\).*/\1 \2/p' \
             "$root/fuzz/CMakeLists.txt")
if [ "${#targets[@]}" -eq 0 ]; then
    echo "run_short: no fuzz targets found in fuzz/CMakeLists.txt" >&2
    exit 1
fi

for tool in clang clang++; do
    command -v "$tool" > /dev/null || { echo "run_short: $tool is not installed" >&2; exit 1; }
done

# The libraries get the sanitizers and coverage instrumentation; only the fuzz targets
# link libFuzzer itself.
mkdir -p "$build"
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE= \
    -DFW_BUILD_FUZZ=ON -DFW_BUILD_TESTS=OFF -DFW_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" > "$build/configure.log" 2>&1 || {
    cat "$build/configure.log" >&2
    echo "run_short: configure failed" >&2
    exit 1
}
cmake --build "$build" --target "${targets[@]}" -j2

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"

failed=()
for name in "${targets[@]}"; do
    exe="$(find "$build" -type f -name "$name" -perm -u+x | head -n 1)"
    if [ -z "$exe" ]; then
        echo "run_short: $name was not built" >&2
        failed+=("$name")
        continue
    fi
    corpus="$build/corpus/$name"
    log="$logs/$name.log"
    artifacts="$build/artifacts"
    mkdir -p "$corpus" "$artifacts" "$logs"
    seeds=()
    [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
    echo "run_short: $name for ${seconds}s"
    if "$exe" -max_total_time="$seconds" -seed=1 -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$artifacts/$name-" -print_final_stats=1 \
        "$corpus" "${seeds[@]}" > "$log" 2>&1; then
        echo "run_short: $name ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?') runs)"
    else
        tail -n 60 "$log" >&2
        echo "run_short: $name FAILED (log: $log)" >&2
        failed+=("$name")
    fi
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "run_short: failing fuzz targets: ${failed[*]}" >&2
    exit 1
fi
echo "run_short: all ${#targets[@]} fuzz targets ran clean"
