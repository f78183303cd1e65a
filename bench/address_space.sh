#!/usr/bin/env bash
# How large a picture the 32-bit tool filters in an address space as small as a 32-bit Windows
# host's (ulimit -v 2 GB), and the memory each run takes: RGB and RGBA, 8 and 16 bits, up to
# 100 megapixels, with the default frost and with the densest pattern (grown until the
# triangle budget stops it). Prints a table: what happened, the peak address space (VmPeak,
# what the limit counts), the peak resident memory (VmHWM) and the wall time. The address-space
# tests check the pictures against the 64-bit build; this only measures.
#
# Usage: bench/address_space.sh [BUILD32]   (default build/native32; build its frostweave_cli,
#        frostweave and prismcore targets first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(cd "${1:-$root/build/native32}" && pwd)/bin/frostweave
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
limit_kb=$((2 * 1024 * 1024))
dense=(--effect "Geometric 1" --set MaxIterations=8 --set MaxTriangles=20)

# Runs the tool under the limit, sampling its /proc status until it ends; sets status, peak,
# resident (MB), seconds and said (its last line on stderr).
measure() {
    local start=$SECONDS line
    (ulimit -v "$limit_kb" && exec "$tool" "$@") 2>"$work/stderr" >/dev/null &
    local pid=$! vm=0 hwm=0
    while kill -0 "$pid" 2>/dev/null; do
        # VmPeak and VmHWM are high-water marks: the last reading before the end is the peak.
        while read -r line; do
            case $line in
                VmPeak:*) vm=${line//[!0-9]/} ;;
                VmHWM:*) hwm=${line//[!0-9]/} ;;
            esac
        done <"/proc/$pid/status" 2>/dev/null || true
        sleep 0.05
    done
    set +e
    wait "$pid"
    status=$?
    set -e
    peak=$((vm / 1024)) resident=$((hwm / 1024)) seconds=$((SECONDS - start))
    said=$(tail -n 1 "$work/stderr")
}

# One run: planes (rgb or rgba), depth, WIDTHxHEIGHT, pattern (default or dense).
run() {
    local planes=$1 depth=$2 size=$3 pattern=$4 input=$work/in.png result
    local alpha=()
    [ "$planes" = rgba ] && alpha=(alpha)
    python3 "$root/tests/address_space/make_picture.py" "$input" "${size%x*}" "${size#*x}" \
        "$depth" "${alpha[@]}"
    local args=(apply "$input" -o "$work/out.png" --quiet)
    [ "$pattern" = dense ] && args+=("${dense[@]}")
    measure "${args[@]}"
    local megapixels=$(((${size%x*} * ${size#*x} + 500000) / 1000000))
    if [ "$status" -eq 0 ]; then
        result=filtered
    else
        result="refused (exit $status): ${said#frostweave: }"
        result=${result//$work\//}
    fi
    echo "| $size ($megapixels MP) $planes $depth-bit | $pattern | $result |" \
        "$peak MB | $resident MB | $seconds s |"
    rm -f "$work/out.png" "$input"
}

echo "| picture | pattern | result | peak address space | peak resident | time |"
echo "|---|---|---|---|---|---|"
for planes in rgb rgba; do
    for depth in 8 16; do
        for size in 5774x4330 8165x6124 10000x7500 11547x8660; do
            run "$planes" "$depth" "$size" default
        done
    done
done
# The pattern alone takes about 1.8 GB while it grows (8 million triangles).
for depth in 8 16; do
    for size in 2000x1500 4000x3000 5774x4330; do
        run rgb "$depth" "$size" dense
    done
done
