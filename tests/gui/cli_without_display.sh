#!/bin/sh
# The Linux program started with an argument where there is no display at
# all: it runs without starting Qt, prints its log, and ends with exit code 0;
# an error that escapes the run goes to standard error with exit code 1.
# Usage: cli_without_display.sh PROGRAM (run with DISPLAY, WAYLAND_DISPLAY and
# QT_QPA_PLATFORM unset).
set -u
exe=$1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "a display is set; run this with env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"
    exit 1
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/ksb-cli-XXXXXX")
trap 'chmod -R u+w "$root" 2>/dev/null; rm -rf "$root"' EXIT
sep="====================================="

# A program folder of its own: the program works where it lies.
fresh() {
    rm -rf "$root/p"
    mkdir -p "$root/p"
    cp "$exe" "$root/p/KestoSkinBuilder"
    cd "$root/p" || exit 1
}

# Build with nothing to build: eight separators, eight "not found" lines.
fresh
./KestoSkinBuilder build >out 2>err
rc=$?
[ "$rc" -eq 0 ] || fail "build: exit code $rc; $(cat err)"
[ "$(grep -c "^$sep\$" out)" -eq 8 ] || fail "build: not eight separators"
[ "$(grep -c ' not found !$' out)" -eq 8 ] || fail "build: not eight 'not found' lines"
[ "$(head -n 2 out | tail -n 1)" = "$root/p/Files/vistel.rc not found !" ] ||
    fail "build: second line is '$(head -n 2 out | tail -n 1)'"
[ ! -s err ] || fail "build: standard error holds: $(cat err)"

# Used files, extra arguments ignored.
fresh
./KestoSkinBuilder /used extra args >out 2>err
rc=$?
[ "$rc" -eq 0 ] || fail "/used: exit code $rc; $(cat err)"
[ "$(tail -n 2 out | head -n 1)" = "$sep" ] || fail "/used: no separator before the count"
[ "$(tail -n 1 out)" = "UsedFiles.Count = 0" ] || fail "/used: last line '$(tail -n 1 out)'"
[ -d UsedFiles ] || fail "/used: no UsedFiles folder"

# A switch in another letter case builds.
fresh
./KestoSkinBuilder /USED >out 2>err
rc=$?
[ "$rc" -eq 0 ] || fail "/USED: exit code $rc"
[ ! -e UsedFiles ] || fail "/USED: ran Used files"

# A reader that goes away, or no standard output at all, does not stop the run.
fresh
(./KestoSkinBuilder /used; echo $? >rc) | true
[ "$(cat rc)" = 0 ] || fail "/used into a closed pipe: exit code $(cat rc)"
[ -d UsedFiles ] || fail "/used into a closed pipe: the run stopped midway"
fresh
./KestoSkinBuilder build >&- 2>err
rc=$?
[ "$rc" -eq 0 ] || fail "build without standard output: exit code $rc"

# An error that escapes the run: the message on standard error, exit code 1.
fresh
mkdir Files
printf 'STRINGTABLE\nBEGIN\n1 one\nEND\n' >Files/vistel.rc
echo "a file where the module folder should be" >_skin
./KestoSkinBuilder build >out 2>err
rc=$?
[ "$rc" -eq 1 ] || fail "error: exit code $rc"
[ "$(cat out)" = "$(printf '%s\nvistel.rc' "$sep")" ] || fail "error: log '$(cat out)'"
case "$(cat err)" in
"Cannot create folder \"$root/p/_skin\". "*.) ;;
*) fail "error: standard error holds '$(cat err)'" ;;
esac

# The program itself needs no Qt library: the window is a module it loads only
# to show the window.
if ldd "$exe" | grep -q 'libQt'; then
    fail "the program links Qt: $(ldd "$exe" | grep libQt | head -n 1)"
fi

# Asked for the window with a platform but without the window module beside
# it: a clear message naming the module and exit code 1.
fresh
QT_QPA_PLATFORM=offscreen ./KestoSkinBuilder >out 2>err
rc=$?
[ "$rc" -eq 1 ] || fail "no window module: exit code $rc"
grep -q 'Cannot load the window: .*libKestoSkinBuilderWindow.so' err ||
    fail "no window module: standard error holds '$(cat err)'"

# With the module beside it the window comes up and stays until closed: still
# running when stopped after a few seconds, nothing on standard error but
# Qt's own notes.
fresh
cp "$(dirname "$exe")/libKestoSkinBuilderWindow.so" .
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$root" timeout 5 ./KestoSkinBuilder >out 2>err
rc=$?
[ "$rc" -eq 124 ] || fail "window: exit code $rc (expected the window still open); $(cat err)"
if grep -q 'Cannot load' err; then fail "window: $(cat err)"; fi

# No argument (an empty one is skipped) asks for the window: without a
# display that is a clear message and exit code 1, not a crash.
fresh
./KestoSkinBuilder "" >out 2>err
rc=$?
[ "$rc" -eq 1 ] || fail "no argument: exit code $rc"
grep -q 'No display' err || fail "no argument: standard error holds '$(cat err)'"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
