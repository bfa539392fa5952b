#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
set -euo pipefail
packages=(
    cmake ninja-build g++ clang clang-format googletest libgtest-dev libbenchmark-dev
    qt6-base-dev qt6-qpa-plugins libgl-dev
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
    wine64 wine fonts-wine xvfb xauth xdotool locales
    python3-pefile imagemagick
    llvm lld
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
fi
