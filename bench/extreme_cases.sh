#!/usr/bin/env bash
# Time and peak memory of the tool on hostile or extreme input: lying picture headers,
# settings that grow without end on small pictures, a noisy selection, a one-column picture
# and the densest Geometric settings on 24 megapixels. Prints one line a case: seconds,
# peak resident MB, exit status and the last thing said.
#
# Usage: bench/extreme_cases.sh [BUILD_DIR]   (default build/native; build frostweave_cli)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(cd "${1:-$root/build/native}" && pwd)/bin/frostweave
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
picture() { python3 "$root/tests/address_space/make_picture.py" "$work/$1" "$2" "$3" 8; }

# A PNG header claiming WIDTH x HEIGHT (colour type, depth) with no data behind it.
lying_png() {
    python3 - "$work/$1" "$2" "$3" "$4" "$5" <<'PY'
import struct, sys, zlib
path, w, h, depth, colour = sys.argv[1], *map(int, sys.argv[2:])
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
ihdr = struct.pack('>IIBBBBB', w, h, depth, colour, 0, 0, 0)
open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(b'\0' * 8)) + chunk(b'IEND', b''))
PY
}

noisy_mask() {
    python3 - "$work/$1" "$2" "$3" <<'PY'
import random, struct, sys, zlib
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(1)
rows = b''.join(b'\0' + bytes(random.choice((0, 255)) for _ in range(w)) for _ in range(h))
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 0, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(rows, 1)) + chunk(b'IEND', b''))
PY
}

run() {
    local name=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$tool" "$@" >/dev/null 2>"$work/said"
    local status=$?
    read -r seconds kb < <(tail -n 1 "$work/time")
    printf '%-44s %7.2f s %7d MB  exit %d  %s\n' "$name" "$seconds" $((kb / 1024)) "$status" \
        "$(grep -v '^Command exited' "$work/said" | tail -n 1 | cut -c1-70)"
}

lying_png lie16.png 20000 20000 16 6
lying_png lie8.png 30000 30000 8 2
picture p64.png 64 48
picture column.png 1 30000
picture p4000.png 4000 3000
noisy_mask noise.png 4000 3000
picture p6000.png 6000 4000

run "20000 x 20000 RGBA 16-bit header, 69 bytes" apply "$work/lie16.png" -o "$work/o.png" -q
run "30000 x 30000 8-bit header" apply "$work/lie8.png" -o "$work/o.png" -q
run "64 x 48, Geometric 1, MaxIterations=6" apply "$work/p64.png" -o "$work/o.png" -q \
    --effect "Geometric 1" --set MaxIterations=6
run "64 x 48, Dispers=-1e30" apply "$work/p64.png" -o "$work/o.png" -q --set Dispers=-1e30
run "1 x 30000 picture" apply "$work/column.png" -o "$work/o.png" -q
run "pattern --size 1x30000" pattern --size 1x30000 -o "$work/o.json" -q
run "noisy selection, 4000 x 3000" apply "$work/p4000.png" -o "$work/o.png" -q \
    --selection "$work/noise.png" --mask-kind "By selection"
for field in MaxIterations MaxTriangles MaxTriangles1; do
    run "6000 x 4000, Geometric 1, $field=2147483647" apply "$work/p6000.png" -o "$work/o.png" \
        -q --effect "Geometric 1" --set "$field=2147483647"
done
run "6000 x 4000, Geometric 1, MinInterval=1" apply "$work/p6000.png" -o "$work/o.png" -q \
    --effect "Geometric 1" --set MinInterval=1
