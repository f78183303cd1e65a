#!/usr/bin/env bash
# Filters large pictures with the 32-bit tool in an address space as small as a 32-bit Windows
# host's (ulimit -v 2 GB). Each run must either make exactly the picture the 64-bit tool makes
# or refuse cleanly: exit status 1, "out of memory" said, no file written. A crash, another
# error or a different picture fails.
#
# Usage: pictures.sh FROSTWEAVE32 FROSTWEAVE64 WORKDIR CASE...
#   CASE is DEPTH:WIDTHxHEIGHT, or DEPTH:WIDTHxHEIGHT:dense for settings whose pattern grows
#   until the triangle budget stops it (the densest the parameters allow).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool32=$1 tool64=$2 work=$3
shift 3
limit_kb=$((2 * 1024 * 1024))
dense=(--effect "Geometric 1" --set MaxIterations=8 --set MaxTriangles=20)
mkdir -p "$work"
failures=0

# The pixels of a PNG, whatever encoder wrote it.
pixels() {
    local storage=char
    [ "$2" = 16 ] && storage=short
    stream -map rgb -storage-type "$storage" "$1" - | sha256sum | cut -d' ' -f1
}

for case in "$@"; do
    IFS=: read -r depth size kind <<<"$case"
    width=${size%x*} height=${size#*x}
    input=$work/in-$depth-$size.png
    [ -f "$input" ] || python3 "$here/make_picture.py" "$input" "$width" "$height" "$depth"
    args=(--quiet)
    [ "$kind" = dense ] && args+=("${dense[@]}")
    out32=$work/out32-$depth-$size-$kind.png out64=$work/out64-$depth-$size-$kind.png
    rm -f "$out32" "$out64" "$work"/.out32-*
    name="$depth-bit $size${kind:+ $kind}"

    set +e
    (ulimit -v "$limit_kb" && exec "$tool32" apply "$input" -o "$out32" "${args[@]}") \
        2>"$work/stderr32" >/dev/null
    status=$?
    set -e
    said=$(cat "$work/stderr32")
    if [ "$status" -eq 0 ]; then
        "$tool64" apply "$input" -o "$out64" "${args[@]}"
        if [ "$(pixels "$out32" "$depth")" = "$(pixels "$out64" "$depth")" ]; then
            echo "$name: the 64-bit picture"
        else
            echo "$name: FAILED, the picture differs from the 64-bit one"
            failures=$((failures + 1))
        fi
    elif [ "$status" -eq 1 ] && [[ $said == *"out of memory"* ]] && [ ! -e "$out32" ] &&
        ! ls "$work"/.out32-* >/dev/null 2>&1; then
        echo "$name: refused (${said#frostweave: })"
    else
        echo "$name: FAILED, exit status $status, no clean refusal: $said"
        failures=$((failures + 1))
    fi
    rm -f "$out32" "$out64"
done
exit $((failures > 0))
