#!/bin/sh
# Regenerates the shipped presets. Every file is written by the command-line tool itself,
# so the files are exactly what the filter's own Save writes.
#
#   presets/make_presets.sh path/to/frostweave [output-folder]
#
# The output folder defaults to this script's folder. Each preset starts from the defaults;
# only the settings of its look are given.
set -eu

if [ $# -lt 1 ]; then
    echo "usage: $0 path/to/frostweave [output-folder]" >&2
    exit 2
fi
fw=$1
out=${2:-$(dirname "$0")}
mkdir -p "$out"

write() {
    name=$1
    shift
    "$fw" preset write -o "$out/$name.fwv" "$@"
}

# Geometric 1: frost along the edges of the four panes, centres left clear.
write frosted-window --effect "Geometric 1" --mask-kind Window \
    --set MaxIterations=2 --set MaxTriangles=5 --set Lenght=10 --set MinInterval=10 \
    --set Diffuse=0xE8F2FF --set Shinstrength=160

# Geometric 2: a tight band of fine needles round all four edges.
write icy-border --effect "Geometric 2" --mask-kind Perimeter \
    --set MinInterval=6 --set Lenght=7 --set Width=14 --set MaxIterations=3 \
    --set Diffuse=0xDDEEFF --set Refraction=-80 --set Aberration=35

# Geometric 3: long ice trees hanging down from the top edge.
write icicle-fringe --effect "Geometric 3" --mask-kind Top \
    --set MinInterval=6 --set Lenght=14 --set Width=18 --set MaxIterations=4 --set LoseInitDir=5 \
    --set SelfIllumination=35 --set Koefficient=55 --set Diffuse=0xF4FAFF

# Floral 1: snow-white fern fronds rising from a bank of frost along the bottom; the fronds
# thin out towards their curled tips.
write winter-fern --effect "Floral 1" --mask-kind Bottom \
    --set MinInterval=14 --set Lenght=24 --set Width=22 --set MaxIterations=5 --set Turn=100 \
    --set PWidth=-30 --set UseGlass=0 --set Diffuse=0xE8F0FF --set Transparancy=25 \
    --set SelfIllumination=30 --set LightBeta=30

# Floral 2: a deep frame of silvery lace fans, the middle of the picture clear.
write frozen-lace --effect "Floral 2" --mask-kind Perimeter \
    --set MinInterval=20 --set Lenght=25 --set Width=60 --set MaxIterations=4 --set PWidth=40 \
    --set UseGlass=0 --set Transparancy=30 --set Diffuse=0xE6F0FF --set SelfIllumination=45 \
    --set Shinstrength=200

# Floral 3: thick bumpy ice that bends the picture strongly, with little colour fringing.
write glacier-glass --effect "Floral 3" --mask-kind Perimeter \
    --set MinInterval=30 --set Lenght=20 --set Width=40 \
    --set Refraction=-100 --set Aberration=15 --set Koefficient=85 --set Diffuse=0xA8D0F0 \
    --set BumpPercent=120 --set Shinstrength=250 --set Shininess=50

# Floral 3: curls grown outwards from a small square in the middle, a wreath of frost.
write frost-wreath --effect "Floral 3" --mask-kind Perimeter --grow-direction "Direction 2" \
    --set Scale=40 --set Lenght=25 --set Width=45 --set MinInterval=35 \
    --set UseGlass=0 --set Diffuse=0xF0F8FF --set Transparancy=30 --set SelfIllumination=40

# Single 1: one tall glassy plume rising through the middle of the picture.
write ice-plume --effect "Single 1" --center -100,-850 \
    --set Scale=140 --set MaxIterations=5 --set RotateX=-10 --set Turn=210 \
    --set Lenght=26 --set Width=70 --set BumpPercent=100 --set Refraction=-100 \
    --set Koefficient=60 --set SelfIllumination=50 --set Diffuse=0xFFFFFF --set Transparancy=10 \
    --set Shinstrength=300

# Single 2: a chain of fronds in polished gold.
write golden-frost --effect "Single 2" --center 80,-650 \
    --set Lenght=24 --set Width=55 --set Scale=125 --set MaxIterations=5 \
    --set UseGlass=0 --set Diffuse=0xE0A840 --set Speculare=0xFFE8B0 --set Shininess=40 \
    --set Shinstrength=250 --set SelfIllumination=15 --set BumpPercent=40

# Single 3: a large pale glass curl, mirrored into a heart-like ornament, slightly tilted.
write crystal-curl --effect "Single 3" --center -150,-450 \
    --set Lenght=28 --set Width=100 --set Scale=120 --set MaxTriangles1=30 \
    --set Turn=360 --set Turn1=-360 --set RotateX=12 \
    --set Koefficient=50 --set Diffuse=0xF0F8FF --set SelfIllumination=40 \
    --set Shinstrength=300 --set Shininess=40 --set BumpPercent=60

# Single 4: spiralling violet curls under green light, with broad mint highlights.
write aurora-ice --effect "Single 4" --center -150,-500 \
    --set Lenght=25 --set Width=80 --set Scale=120 --set MaxTriangles1=30 \
    --set Turn=360 --set Turn1=360 \
    --set LightColor=0x80FF90 --set Diffuse=0xA060FF --set Speculare=0x60FF90 --set Shininess=8 \
    --set Koefficient=40 --set Shinstrength=250 --set LightMultiplay=140 \
    --set SelfIllumination=30 --set Aberration=40
