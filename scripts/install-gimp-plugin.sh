#!/usr/bin/env bash
# Installs the GIMP 2.10 plug-in: frostweave-gimp with the filter module, its renderer and the
# shipped presets, into $GIMP2_DIRECTORY/plug-ins/frostweave-gimp/ when that is set, else
# ~/.config/GIMP/2.10/plug-ins/frostweave-gimp/. Restart GIMP afterwards; the filter is
# Filters > Decor > Frostweave...
# Usage: scripts/install-gimp-plugin.sh [BUILD_DIR]   (default build/native, built when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
bin=$build/bin
files=(frostweave-gimp libfrostweave.so libprismcore.so)

missing=0
for f in "${files[@]}"; do [ -e "$bin/$f" ] || missing=1; done
if [ $missing -eq 1 ]; then
    if [ $# -gt 0 ]; then
        echo "install-gimp-plugin: $bin has no frostweave-gimp, libfrostweave.so and libprismcore.so;" \
             "build the plug-in there first (target frostweave_gimp)" >&2
        exit 1
    fi
    "$root/scripts/install-deps.sh"
    (cd "$root" && cmake --preset native -DFW_GIMP_PLUGIN=ON >/dev/null &&
        cmake --build build/native -j"$(nproc)" --target frostweave_gimp frostweave prismcore)
fi

target=${GIMP2_DIRECTORY:-$HOME/.config/GIMP/2.10}/plug-ins/frostweave-gimp
mkdir -p "$target/presets"
for f in "${files[@]}"; do
    # A new file beside the old one, then renamed over it: a running GIMP keeps its copy.
    cp "$bin/$f" "$target/.$f.new"
    mv -f "$target/.$f.new" "$target/$f"
done
cp "$root"/presets/*.fwv "$target/presets/"
echo "installed in $target"
