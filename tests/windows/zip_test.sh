#!/usr/bin/env bash
# Makes the release zips with CPack in the two Windows build folders, unpacks each into a
# fresh folder whose name has spaces and checks it: the files and nothing else, the
# presets, every picture the manual shows, the machine type of both binaries, and that
# they are the build's. The 64-bit module is then run from there under Wine by the smoke
# host, itself copied to a folder of its own (no Prismcore.dll beside the program) and
# started from yet another working folder, so the module must find its renderer beside
# itself. The 32-bit zip is checked statically only.
# Usage: zip_test.sh VERSION WIN64_BUILD_DIR WIN32_BUILD_DIR SOURCE_DIR
set -euo pipefail
version=$1 win64=$2 win32=$3 source=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

machine() {  # PE machine type of a file, as 0x... text
    python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
at = struct.unpack_from("<I", d, 0x3C)[0]
assert d[at:at + 4] == b"PE\0\0"
print("0x%x" % struct.unpack_from("<H", d, at + 4)[0])
PY
}

check_zip() {  # arch build_dir expected_machine
    local arch=$1 build=$2 expected=$3
    local zip=$build/Frostweave-$version-$arch.zip
    echo "== $arch"
    cmake --build "$build" --target package >"$work/cpack-$arch.log" 2>&1 ||
        { cat "$work/cpack-$arch.log"; fail "$arch: packaging"; return; }
    [ -f "$zip" ] || { fail "$arch: no $zip"; return; }
    local dest="$work/Frost weave $arch unpacked"
    mkdir -p "$dest"
    python3 -m zipfile -e "$zip" "$dest"
    local root=$dest/Frostweave
    [ -d "$root" ] || { fail "$arch: no Frostweave folder in the zip"; return; }
    (cd "$dest" && find . -mindepth 1 | sort) >"$work/list-$arch"
    cat "$work/list-$arch"

    # Exactly the shipped files at the top of the folder.
    local top
    top=$(cd "$root" && ls -A | sort | tr '\n' ' ')
    local want="FrostweaveSaves GLTFrostweave.8bf INSTALL.txt Prismcore.dll frostweavedoc.html pictures "
    [ -f "$source/docs/cli.md" ] &&
        want="FrostweaveSaves GLTFrostweave.8bf INSTALL.txt Prismcore.dll cli.md frostweavedoc.html pictures "
    [ "$top" = "$want" ] || fail "$arch: folder holds '$top', expected '$want'"
    [ "$(cd "$dest" && ls -A)" = "Frostweave" ] || fail "$arch: more than the one folder at the top"

    for f in GLTFrostweave.8bf Prismcore.dll; do
        cmp -s "$root/$f" "$build/bin/$f" || fail "$arch: $f is not the build's"
        [ "$(machine "$root/$f")" = "$expected" ] || fail "$arch: $f machine $(machine "$root/$f")"
    done

    # Every shipped preset, byte for byte, and no other file.
    local shipped=0
    for p in "$source"/presets/*.fwv; do
        [ -e "$p" ] || continue
        shipped=$((shipped + 1))
        cmp -s "$p" "$root/FrostweaveSaves/$(basename "$p")" || fail "$arch: preset $(basename "$p")"
    done
    local packed
    packed=$(find "$root/FrostweaveSaves" -type f | wc -l)
    [ "$packed" = "$shipped" ] || fail "$arch: $packed files in FrostweaveSaves, $shipped presets"
    echo "presets: $packed"

    # The manual's pictures and local links resolve inside the folder.
    local refs=0
    while read -r ref; do
        case $ref in http:* | https:* | mailto:* | '#'*) continue ;; esac
        refs=$((refs + 1))
        [ -s "$root/${ref%%#*}" ] || fail "$arch: manual refers to missing '$ref'"
    done < <(grep -oE '(src|href)="[^"]*"' "$root/frostweavedoc.html" | sed -E 's/^[a-z]+="(.*)"$/\1/')
    echo "manual references: $refs"
    [ "$refs" -gt 10 ] || fail "$arch: the manual shows too few pictures ($refs)"

    grep -q "$version" "$root/INSTALL.txt" || fail "$arch: INSTALL.txt names no version"
    grep -q "${arch#win}-bit one" "$root/INSTALL.txt" || fail "$arch: INSTALL.txt names no width"
    grep -q $'\r$' "$root/INSTALL.txt" || fail "$arch: INSTALL.txt has no Windows line ends"
}

check_zip win64 "$win64" 0x8664
check_zip win32 "$win32" 0x14c

# Run the unpacked 64-bit module under Wine. A module that cannot find its renderer still
# runs (it leaves the picture as it was), so the pictures it makes must also be those of
# the build folder, where the renderer sits beside the program too.
module="$work/Frost weave win64 unpacked/Frostweave/GLTFrostweave.8bf"
if [ -f "$module" ]; then
    mkdir -p "$work/host" "$work/elsewhere"
    cp "$win64/bin/host_smoke.exe" "$work/host/"
    out=$(cd "$work/elsewhere" &&
        "$here/scripts/wine-run.sh" "Z:$work/host/host_smoke.exe" "Z:$module" 2>&1 | tr -d '\r') ||
        true
    echo "$out"
    grep -qx '0 failed' <<<"$out" || fail "win64: the unpacked module does not pass the smoke run"
    reference=$("$here/scripts/wine-run.sh" "Z:$win64/bin/host_smoke.exe" \
        "Z:$win64/bin/GLTFrostweave.8bf" 2>&1 | tr -d '\r') || true
    grep '^digest' <<<"$reference" >"$work/reference.digests" || true
    grep '^digest' <<<"$out" >"$work/unpacked.digests" || true
    if [ ! -s "$work/reference.digests" ] ||
        ! diff "$work/reference.digests" "$work/unpacked.digests"; then
        fail "win64: the unpacked module renders other pictures than the build's"
    fi
fi

echo "$failures failed"
[ "$failures" = 0 ]
