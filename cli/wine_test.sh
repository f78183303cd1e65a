#!/usr/bin/env bash
# The Windows build of frostweave, loading the x86_64 module under Wine, must give the same
# pictures as the native program: 8-bit and 16-bit with transparency, one band and small
# bands. Pictures are compared by their pixels (the two builds use different PNG encoders).
# Usage: wine_test.sh NATIVE_FROSTWEAVE WINDOWS_FROSTWEAVE_EXE SAMPLE.png
set -euo pipefail
native=$1
windows=$2
sample=$3
work=$(mktemp -d)
prefix=$(mktemp -d)
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$work" "$prefix"' EXIT
export WINEPREFIX=$prefix
here=$(cd "$(dirname "$0")/.." && pwd)

# A smaller 16-bit picture with a transparency gradient, made from the sample.
convert "$sample" -resize 50% -depth 16 -alpha set -channel A -fx '0.3+0.7*i/w' \
    +channel "PNG64:$work/rgba16.png"
cp "$sample" "$work/rgb8.png"

status=0
run_case() {
    local name=$1 input=$2
    shift 2
    "$native" apply "$work/$input" -o "$work/$name-native.png" --quiet "$@"
    "$here/scripts/wine-run.sh" "Z:$windows" apply "Z:$work/$input" -o "Z:$work/$name-wine.png" \
        --quiet "$@"
    local differing
    differing=$(compare -metric AE "$work/$name-native.png" "$work/$name-wine.png" null: 2>&1 || true)
    local depth
    depth=$(identify -format '%z' "$work/$name-wine.png")
    echo "$name: $differing differing pixels (Windows output depth $depth)"
    [ "$differing" = 0 ] || status=1
}
run_case default rgb8.png
run_case floral rgba16.png --effect "Floral 3" --seed 9
run_case bands rgb8.png --max-space 200000 --effect "Single 2"
exit $status
