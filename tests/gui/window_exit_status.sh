#!/bin/sh
# The Linux program's exit status once its window is closed, on the offscreen
# platform, with window_closer.so acting as the user (it presses OK on the
# error box and closes the window): 1 after a command-line run that ended in
# an error (box first, then the window with the run's log), 0 after a start
# without arguments.
# Usage: window_exit_status.sh PROGRAM WINDOW-MODULE CLOSER
set -u
# Whole paths: the runs happen in a folder of their own.
exe=$(readlink -f "$1")
module=$(readlink -f "$2")
closer=$(readlink -f "$3")
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

root=$(mktemp -d "${TMPDIR:-/tmp}/ksb-window-XXXXXX")
trap 'rm -rf "$root"' EXIT
sep="====================================="

fresh() {
    rm -rf "$root/p"
    mkdir -p "$root/p"
    cp "$exe" "$module" "$root/p/"
    cd "$root/p" || exit 1
}

# In a sanitizer build the sanitizer's runtime must come first of all.
preload=$closer
asan=$(ldd "$exe" | awk '/libasan/ {print $3}')
[ -z "$asan" ] || preload="$asan $closer"

run() { # arguments...; the status in $rc, what the closer saw in ./seen
    : >seen
    # Preloaded into the program only, through env: timeout itself stays plain.
    KSB_CLOSER_LOG="$root/p/seen" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$root" \
        timeout -k 5 60 env LD_PRELOAD="$preload" ./KestoSkinBuilder "$@" >out 2>err
    rc=$?
}

# A build that cannot create its module folder: the box, then the window with
# the log as the run left it, and status 1 when the window is closed.
fresh
mkdir Files
printf 'STRINGTABLE\nBEGIN\n1 one\nEND\n' >Files/vistel.rc
echo "a file where the module folder should be" >_skin
run build
[ "$rc" -eq 1 ] || fail "after an error: exit status $rc; $(cat err)"
case "$(sed -n 1p seen)" in
"box: Kestoskinbuilder: Cannot create folder \"$root/p/_skin\". "*.) ;;
*) fail "after an error: first seen '$(sed -n 1p seen)'" ;;
esac
[ "$(sed -n 2p seen)" = "window: $sep|vistel.rc|" ] ||
    fail "after an error: then seen '$(sed -n 2p seen)'"
[ "$(wc -l <seen)" -eq 2 ] || fail "after an error: seen $(cat seen)"
[ "$(cat out)" = "$(printf '%s\nvistel.rc' "$sep")" ] || fail "after an error: log '$(cat out)'"

# The same error from Used files.
fresh
mkdir Files
printf 'STRINGTABLE\nBEGIN\n1 one\nEND\n' >Files/vistel.rc
echo "a file where the module folder should be" >_skin
run /used
[ "$rc" -eq 1 ] || fail "/used after an error: exit status $rc; $(cat err)"
grep -q '^box: ' seen || fail "/used after an error: no box: $(cat seen)"

# The window without a run: closed, status 0.
fresh
run
[ "$rc" -eq 0 ] || fail "window only: exit status $rc; $(cat err)"
[ "$(cat seen)" = "window: " ] || fail "window only: seen '$(cat seen)'"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
