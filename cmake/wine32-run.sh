#!/usr/bin/env bash
# Runs a 32-bit Windows program under wine32 for the tests, the way
# wine-run.sh runs a 64-bit one under wine64: wine32-run.sh PROGRAM [ARGS...]
# "wine32-run.sh --check" tells whether wine32 can run here at all: besides
# the package, the kernel must execute 32-bit programs (IA32 emulation),
# which some virtual machines' kernels leave out.
#
# The prefix is a 32-bit one. Its first boot must run in one go: the 32-bit
# loader, given a TMPDIR or a prefix whose first boot was cut short, starts
# wineboot again and again without end.
set -euo pipefail
export KSB_WINE=${KSB_WINE32:-/usr/lib/wine/wine}
export KSB_WINEARCH=win32
unset TMPDIR

if [ ! -x "$KSB_WINE" ]; then
    echo "$0: $KSB_WINE is missing: wine32 (wine32:i386) is not installed" >&2
    exit 1
fi
if ! reason=$("$KSB_WINE" --version 2>&1 >/dev/null); then
    echo "$0: $KSB_WINE cannot run here: ${reason:-no reason given}" >&2
    if [[ $reason == *"Exec format error"* ]]; then
        echo "$0: this kernel does not execute 32-bit programs (IA32 emulation is off)" >&2
    fi
    exit 1
fi
if [ "${1:-}" = "--check" ]; then
    exit 0
fi
exec "$(dirname "$0")/wine-run.sh" "$@"
