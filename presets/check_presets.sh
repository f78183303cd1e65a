#!/bin/sh
# Checks the shipped presets with the command-line tool:
#   presets/check_presets.sh path/to/frostweave
# - make_presets.sh regenerates exactly the files in this folder, and nothing is missing
#   or extra;
# - every preset loads ("preset show"), saving it again gives the same bytes, its values
#   lie within the dialog's ranges, and together the presets cover all ten effects;
# - applying each preset to a small picture succeeds and changes the picture.
set -u

if [ $# -ne 1 ]; then
    echo "usage: $0 path/to/frostweave" >&2
    exit 2
fi
fw=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# 160 x 120 RGB, a vertical gradient from sky blue to dark green.
base64 -d >"$work/picture.png" <<'EOF'
iVBORw0KGgoAAAANSUhEUgAAAKAAAAB4CAIAAAD6wG44AAABfUlEQVR42u3cgYkCUAxEwQipzoos
0aqMVYjwmKngYEmyfu/u8Xy9h669+/z7Z+CHdub+/TPwQwKOE3DcnoDTdkbJKrOi4wQct3cCLjPB
cUpWnAmOE3Cch444ExynZMWZ4DgPHXEmOE7AcUpWnAmO89ARZ4LjBBy34xff09zgOCs6TsBxAo5z
g+M8VcZZ0XECjtvxhX+akhWnZMW5wXECjnOD40xwnJIV53NwnBUdp2TFmeA4JSvOBMe5wXEmOE7A
cf6yIc4NjrOi4wQcJ+A4L1lxSlacFR3nC/84ExznBsdp0XFWdJyA4wQcp2TFKVlxHjri3OA4NzjO
BMcpWXEmOM4NjjPBcT4HxylZcVZ0nJIVZ4LjBBynZMW5wXFWdJyHjjgTHKdkxSlZcVZ0nIDjBBzn
Bsf5T3dxVnScgOPc4DgTHOepMs4Exwk4TsmK84V/nJIV5wbHucFxJjhOwHFKVpwJjtvzOTjNBMcJ
OE7JivPQEWdFxwk4TsBxAo77AsTBorFFKZ+iAAAAAElFTkSuQmCC
EOF

# The script and the checked-in files must not drift apart.
mkdir "$work/regen"
if "$here/make_presets.sh" "$fw" "$work/regen" >/dev/null; then
    for f in "$here"/*.fwv; do
        n=$(basename "$f")
        [ -f "$work/regen/$n" ] || fail "$n is not written by make_presets.sh"
    done
    for f in "$work/regen"/*.fwv; do
        n=$(basename "$f")
        if [ ! -f "$here/$n" ]; then
            fail "make_presets.sh writes $n, which is not checked in"
        elif ! cmp -s "$f" "$here/$n"; then
            fail "$n differs from what make_presets.sh writes"
        fi
    done
else
    fail "make_presets.sh failed"
fi

# A run whose path is empty ("By selection" without a selection) leaves the picture as it
# is; its output is the reference that an unchanged picture would be written as.
if ! "$fw" apply "$work/picture.png" -o "$work/reference.png" -q \
    --effect "Geometric 1" --mask-kind "By selection"; then
    echo "FAIL: the reference run failed" >&2
    exit 1
fi
if ! "$fw" apply "$work/reference.png" -o "$work/reference2.png" -q \
    --effect "Geometric 1" --mask-kind "By selection" ||
    ! cmp -s "$work/reference.png" "$work/reference2.png"; then
    fail "an untouched picture does not come back byte for byte; the comparison below would not work"
fi

count=0
effects=""
for f in "$here"/*.fwv; do
    n=$(basename "$f" .fwv)
    count=$((count + 1))

    if ! "$fw" preset show "$f" >"$work/show.txt" 2>"$work/err.txt"; then
        fail "$n: preset show failed: $(cat "$work/err.txt")"
        continue
    fi

    # Every value within the range of its dialog control (the manual's table).
    bad=$(awk '
        BEGIN {
            lo["Lenght"] = 0;             hi["Lenght"] = 35
            lo["Width"] = 1;              hi["Width"] = 150
            lo["MinInterval"] = 1;        hi["MinInterval"] = 100
            lo["IntervDepend"] = -100;    hi["IntervDepend"] = 100
            lo["Completance"] = 0;        hi["Completance"] = 100
            lo["CompletanceDist"] = 0;    hi["CompletanceDist"] = 100
            lo["MaxIterations"] = 2;      hi["MaxIterations"] = 6
            lo["MaxTriangles"] = 1;       hi["MaxTriangles"] = 15
            lo["MaxTriangles1"] = 10;     hi["MaxTriangles1"] = 40
            lo["Dispers"] = 0;            hi["Dispers"] = 100
            lo["LoseInitDir"] = 0;        hi["LoseInitDir"] = 100
            lo["RandomSeed"] = 0;         hi["RandomSeed"] = 100
            lo["PWidth"] = -100;          hi["PWidth"] = 100
            lo["PLenght"] = -100;         hi["PLenght"] = 100
            lo["Turn"] = -360;            hi["Turn"] = 360
            lo["Turn1"] = -360;           hi["Turn1"] = 360
            lo["CenterX"] = -1000;        hi["CenterX"] = 1000
            lo["CenterY"] = -1000;        hi["CenterY"] = 1000
            lo["Scale"] = 10;             hi["Scale"] = 150
            lo["Shinstrength"] = 0;       hi["Shinstrength"] = 500
            lo["Shininess"] = 0;          hi["Shininess"] = 150
            lo["SelfIllumination"] = 0;   hi["SelfIllumination"] = 150
            lo["BumpPercent"] = -200;     hi["BumpPercent"] = 200
            lo["Transparancy"] = 0;       hi["Transparancy"] = 100
            lo["Refraction"] = -100;      hi["Refraction"] = 100
            lo["Koefficient"] = -100;     hi["Koefficient"] = 100
            lo["Aberration"] = 0;         hi["Aberration"] = 100
            lo["LightMultiplay"] = 0;     hi["LightMultiplay"] = 150
            lo["LightBeta"] = 0;          hi["LightBeta"] = 90
            lo["RenderMode"] = 1;         hi["RenderMode"] = 5
            lo["MaskKind"] = 1;           hi["MaskKind"] = 7
            lo["GrowDirect"] = 1;         hi["GrowDirect"] = 8
            lo["EffectKind"] = 1;         hi["EffectKind"] = 3
            lo["AlphaCut"] = 0;           hi["AlphaCut"] = 1
            lo["UseGlass"] = 0;           hi["UseGlass"] = 1
        }
        ($1 in lo) {
            seen[$1] = 1
            if ($3 + 0 < lo[$1] || $3 + 0 > hi[$1]) print $1 "=" $3
        }
        END { for (k in lo) if (!(k in seen)) print k " missing" }
    ' "$work/show.txt")
    [ -z "$bad" ] || fail "$n: outside the dialog ranges: $(echo "$bad" | tr '\n' ' ')"

    effect=$(awk '$1 == "PatternKind" { sub(/^[^(]*\(/, ""); sub(/\).*$/, ""); print }' \
        "$work/show.txt")
    effects="$effects|$effect"

    # Saved again from what was read, the file must come out the same: the shipped files
    # are exactly the program's own format.
    if ! "$fw" preset write --preset "$f" -o "$work/again.fwv" ||
        ! cmp -s "$f" "$work/again.fwv"; then
        fail "$n: reading and saving again does not give the same file"
    fi

    if ! "$fw" apply "$work/reference.png" -o "$work/$n.png" -q --preset "$f"; then
        fail "$n: apply failed"
    elif cmp -s "$work/reference.png" "$work/$n.png"; then
        fail "$n: apply left the picture unchanged"
    fi
done

[ "$count" -ge 10 ] || fail "only $count presets"
for e in "Geometric 1" "Geometric 2" "Geometric 3" "Floral 1" "Floral 2" "Floral 3" \
    "Single 1" "Single 2" "Single 3" "Single 4"; do
    case "$effects|" in
        *"|$e|"*) ;;
        *) fail "no preset uses $e" ;;
    esac
done

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "$count presets checked"
