#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine. Safe to run
# again: it installs only what is missing.
#
#   setup-debian.sh            everything the build and the tests need, the
#                              32-bit Wine (wine32, from the i386 architecture)
#                              included (scripts/test-all.sh)
#   setup-debian.sh --program  only what building the Linux program needs: the
#                              compiler, CMake, Ninja and Qt 6, without their
#                              recommendations (scripts/run-example.sh)
set -euo pipefail
program_packages=(cmake ninja-build g++ qt6-base-dev)
test_packages=(
    clang clang-format googletest libgtest-dev libbenchmark-dev
    qt6-qpa-plugins libgl-dev
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
    wine64 wine fonts-wine xvfb xauth xdotool locales
    python3-pefile python3-markdown imagemagick chromium zlib1g-dev
    llvm lld
)
case "${1:-}" in
"") everything=true ;;
--program) everything=false ;;
*)
    echo "usage: $0 [--program]" >&2
    exit 2
    ;;
esac
packages=("${program_packages[@]}")
install_options=(-y -q)
if $everything; then
    packages+=("${test_packages[@]}")
else
    install_options+=(--no-install-recommends)
fi
export DEBIAN_FRONTEND=noninteractive
update_needed=false
# wine32 comes from the i386 architecture.
if $everything && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "adding the i386 architecture (for wine32)"
    dpkg --add-architecture i386
    update_needed=true
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    update_needed=true
fi
if $update_needed; then
    # A mirror in the middle of a sync fails one index now and then (seen:
    # bookworm-security's i386 list); try again, then go on with the indexes
    # that did come: the install below fails loudly if a package is missing.
    for attempt in 1 2 3; do
        apt-get update -q && break
        echo "setup-debian.sh: apt-get update failed (attempt $attempt)" >&2
        [ "$attempt" = 3 ] || sleep 10
    done
fi
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install "${install_options[@]}" "${missing[@]}"
fi
if ! $everything; then
    exit 0
fi
# The 32-bit loader is what the i686 tests run under. It comes from another
# architecture's indexes, which a mirror in sync can leave behind the amd64
# ones (seen: bookworm-security's i386 list), so that wine32:i386 cannot be
# resolved. That is not fatal here: the i686 tests then say "NOT RUN" (and
# fail with KSB_REQUIRE_WINE32=1), as on a kernel without 32-bit programs.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    apt-get install -y -q wine32:i386 ||
        echo "!! setup-debian.sh: wine32:i386 could not be installed; the i686 tests will be NOT RUN" >&2
fi
