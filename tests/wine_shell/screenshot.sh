#!/bin/sh
# Takes a screenshot of the Windows program's window under Xvfb:
#   screenshot.sh PROGRAM.exe OUTPUT.png [PREFIX]
# The program runs under wine64 with Wine's X11 driver on a virtual screen,
# in a prefix of its own (PREFIX, by default "wine-prefix-x11" beside
# OUTPUT's folder; the tests' prefix has the null graphics driver, which draws
# nothing), in a temporary program folder that holds the example skin. Where xdotool is there, Enter (the default button)
# builds the example skin first, so the log has something to show. The
# screen is saved with ImageMagick's import. Exit code 77 (skipped) when
# Xvfb, ImageMagick or wine64 is missing, or the virtual screen cannot start.
set -u
exe=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
examples=$here/../../examples/Files
wine=${KSB_WINE:-/usr/lib/wine/wine64}
wineserver=${KSB_WINESERVER:-/usr/lib/wine/wineserver}

for tool in xvfb-run import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "no $tool: screenshot skipped"; exit 77; }
done
[ -x "$wine" ] || { echo "no wine64: screenshot skipped"; exit 77; }

outdir=$(dirname "$out")
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)
rm -f "$out"
export WINEPREFIX="${3:-$(dirname "$outdir")/wine-prefix-x11}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

work=$(mktemp -d "${TMPDIR:-/tmp}/ksb-shot-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/KestoSkinBuilder.exe"
[ -d "$examples" ] && cp -r "$examples" "$work/Files"

cat >"$work/shot.sh" <<'INNER'
set -u
touch "$WORK/screen-started"
if [ ! -f "$WINEPREFIX/.ksb-ready" ]; then
    rm -rf "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1
    # Xvfb has no window manager: Wine draws the frame and the caption itself.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.ksb-ready"
fi
# The window is designed for Tahoma, and the caption buttons are drawn with
# Marlett; Wine's own stand in where the prefix has none.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    if [ ! -f "$fonts/$font" ] && [ -f "/usr/share/wine/fonts/$font" ]; then
        cp "/usr/share/wine/fonts/$font" "$fonts/"
    fi
done
cd "$WORK"
"$WINE" KestoSkinBuilder.exe >/dev/null 2>&1 &
program=$!
shown=""
for _ in $(seq 1 300); do
    if command -v xdotool >/dev/null 2>&1; then
        shown=$(xdotool search --onlyvisible --name "Kesto Skin Builder" 2>/dev/null | head -n 1)
    else
        sleep 10
        shown=yes
    fi
    [ -n "$shown" ] && break
    sleep 0.1
done
if [ -n "$shown" ] && [ "$shown" != yes ]; then
    xdotool windowactivate --sync "$shown" >/dev/null 2>&1 || true
    xdotool key --window "$shown" Return >/dev/null 2>&1
    sleep 2
fi
sleep 1
import -window root "$OUT"
rc=$?
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null
"$WINESERVER" -w
exit $rc
INNER

WORK=$work OUT=$outdir/$(basename "$out") WINE=$wine WINESERVER=$wineserver \
    xvfb-run -a -s "-screen 0 1024x768x24" sh "$work/shot.sh"
rc=$?
if [ ! -f "$work/screen-started" ]; then
    echo "the virtual screen did not start: screenshot skipped"
    exit 77
fi
if [ $rc -ne 0 ] || [ ! -s "$out" ]; then
    echo "no screenshot (exit code $rc)"
    exit 1
fi
echo "screenshot: $out"
