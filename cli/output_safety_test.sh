#!/usr/bin/env bash
# What a user's files go through when runs are stopped, overlap or meet a planted link or a
# full disk: an existing output keeps its content unless a complete picture replaces it, no
# temporary file stays behind, and no worker writes after its parent is gone.
#
# Usage: output_safety_test.sh FROSTWEAVE MODULE WORKDIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$(realpath "$1") module=$(realpath "$2") work=$3
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# Job control, so that background runs get SIGINT like foreground ones.
set -m
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# Filtering takes no time with an empty pattern, so a stop lands while the big picture is
# being written.
empty=(--effect "Geometric 1" --set Completance=0 --set CompletanceDist=0 --quiet
       --plugin "$module")
python3 "$here/../tests/address_space/make_picture.py" big.png 4000 3000 16 alpha
python3 "$here/../tests/address_space/make_picture.py" small.png 320 240 8

temporaries() { ls -a "$@" 2>/dev/null | grep -c '\.partial' ; }

# Waits (up to 60 s) until a temporary file exists in folder $1.
wait_for_temporary() {
    for _ in $(seq 12000); do
        [ "$(temporaries "$1")" -gt 0 ] && return 0
        sleep 0.005
    done
    return 1
}

for signal in INT TERM HUP; do
    number=$(kill -l "$signal")
    echo "an earlier picture" >out.png
    "$tool" apply big.png -o out.png "${empty[@]}" 2>stderr.txt &
    pid=$!
    if ! wait_for_temporary .; then
        fail "SIG$signal: no temporary file appeared: $(cat stderr.txt)"
        wait "$pid"
        continue
    fi
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    [ "$status" -eq $((128 + number)) ] || fail "SIG$signal: exit status $status"
    [ "$(cat out.png)" = "an earlier picture" ] || fail "SIG$signal: out.png was replaced"
    [ "$(temporaries .)" -eq 0 ] || fail "SIG$signal: a temporary file stayed: $(ls -a)"
    grep -q "stopped by SIG$signal" stderr.txt || fail "SIG$signal: said $(cat stderr.txt)"
    echo "SIG$signal while writing: exit $status, out.png kept, nothing left"
done

# A link planted where the old fixed temporary name was, and the output itself a link.
echo "precious" >victim.txt
ln -sf victim.txt .out.partial.png
ln -sf victim.txt linked.png
"$tool" apply small.png -o out.png "${empty[@]}" || fail "apply beside a planted link"
"$tool" apply small.png -o linked.png "${empty[@]}" || fail "apply onto a link"
[ "$(cat victim.txt)" = "precious" ] || fail "the link's destination was written"
[ -f out.png ] && [ ! -L out.png ] && [ ! -L linked.png ] || fail "an output is a link"
rm -f .out.partial.png linked.png victim.txt
echo "planted links: nothing written through them"

# Two runs on one output: both succeed, the later rename wins, nothing is left behind.
rm -f out.png
"$tool" apply small.png -o out.png --plugin "$module" --quiet &
first=$!
"$tool" apply small.png -o out.png --plugin "$module" --quiet --seed 7 &
second=$!
wait "$first" || fail "the first of two runs on one output failed"
wait "$second" || fail "the second of two runs on one output failed"
[ "$(temporaries .)" -eq 0 ] || fail "two runs left a temporary file"
"$tool" apply out.png -o check.png "${empty[@]}" || fail "the output of two runs is unreadable"
echo "two runs on one output: both succeeded"

# Workers end with their parent, stopped or killed, and write nothing.
for signal in INT KILL; do
    rm -rf jobs
    mkdir jobs
    "$tool" apply big.png small.png -o jobs --jobs 2 --plugin "$module" --quiet 2>/dev/null &
    parent=$!
    children=()
    for _ in $(seq 6000); do
        mapfile -t children < <(pgrep -P "$parent")
        [ "${#children[@]}" -ge 2 ] && break
        sleep 0.01
    done
    [ "${#children[@]}" -ge 2 ] || fail "SIG$signal to --jobs: workers did not start"
    kill -s "$signal" "$parent"
    wait "$parent"
    status=$?
    for _ in $(seq 2000); do
        alive=0
        for child in "${children[@]}"; do kill -0 "$child" 2>/dev/null && alive=1; done
        [ "$alive" -eq 0 ] && break
        sleep 0.01
    done
    [ "$alive" -eq 0 ] || fail "SIG$signal to --jobs: a worker outlived its parent"
    sleep 0.5
    [ -z "$(ls -A jobs)" ] || fail "SIG$signal to --jobs: written after the stop: $(ls -A jobs)"
    echo "SIG$signal to a --jobs parent (exit $status): workers gone, nothing written"
done

# A full disk is called what it is.
if [ "$(id -u)" -eq 0 ] && mkdir -p full && mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
    "$tool" apply big.png -o full/out.png "${empty[@]}" 2>stderr.txt
    status=$?
    [ "$status" -eq 1 ] || fail "full disk: exit status $status"
    grep -q "no space left on the device" stderr.txt || fail "full disk: said $(cat stderr.txt)"
    [ -z "$(ls -A full)" ] || fail "full disk: left $(ls -A full)"
    umount full
    echo "full disk: $(cat stderr.txt)"
else
    fail "full disk: cannot mount a small tmpfs here (run as root)"
fi

exit $((failures > 0))
