#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need (run as root).
set -euo pipefail
packages=(
    cmake make g++ clang libclang-rt-14-dev python3
    libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    # fonts-liberation: Arial's metrics, so that Wine lays dialogs out as Windows does.
    wine wine64 xvfb xauth xdotool imagemagick fonts-liberation
    libpng-dev libjpeg-dev libtiff-dev libcli11-dev libstb-dev libisal-dev
    libdeflate-dev
    # The native 32-bit build: multilib compilers (32-bit libstdc++, libc and sanitizer
    # runtimes, all amd64 packages) and GoogleTest's sources.
    g++-multilib googletest
    # Where the kernel refuses i686 programs, the 32-bit digests run under emulation.
    qemu-user
    # The GIMP plug-in and its tests (gimp-console, and GIMP with its windows under Xvfb).
    gimp libgimp2.0-dev pkg-config
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
