#!/usr/bin/env bash
# End-to-end time and peak memory of `frostweave apply` on large pictures (not a test):
# the sample picture scaled to 4000 x 3000 and 12000 x 8000, 8 and 16 bits, default
# parameters. Needs ImageMagick and GNU time.
# Usage: cli/time_apply.sh [BUILD_DIR] (default build/native; a Release build is meant)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/native}
tool=$build/bin/frostweave
work=${TMPDIR:-/tmp}/frostweave-timing
mkdir -p "$work"
for size in 4000x3000 12000x8000; do
    [ -f "$work/$size-8.png" ] ||
        convert "$here/cli/sample/window.png" -filter Triangle -resize "$size!" -depth 8 \
            "$work/$size-8.png"
    [ -f "$work/$size-16.png" ] || convert "$work/$size-8.png" -depth 16 "PNG48:$work/$size-16.png"
    for depth in 8 16; do
        /usr/bin/time -v "$tool" apply "$work/$size-$depth.png" -o "$work/out-$size-$depth.png" \
            --quiet 2>"$work/time.txt"
        seconds=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
        user=$(sed -n 's/.*User time (seconds): //p' "$work/time.txt")
        peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
        echo "$size $depth-bit: elapsed $seconds, user ${user}s, peak $((peak / 1024)) MiB"
    done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
