#!/usr/bin/env bash
# Makes kesto.ico, the icon every program of the package carries, from the
# 16 by 16 drawing kesto_icon.xpm: the drawing as it is and scaled by whole
# factors without smoothing (each pixel a 2x2, 3x3 and 16x16 block), so the
# 32, 48 and 256 px images keep its sharp edges. The 256 px image is stored
# as PNG inside the .ico, as Windows expects; the smaller ones as bitmaps.
# Needs ImageMagick 6 (Debian: imagemagick). Run it here after changing the
# drawing and commit both files.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert # Debian's; an older one on PATH may stand in front
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48 256; do
    "$convert" kesto_icon.xpm -filter point -resize "${size}x${size}" \
        -define png:exclude-chunks=date,time +set date:create +set date:modify \
        "PNG32:$work/$size.png"
done
"$convert" "$work/16.png" "$work/32.png" "$work/48.png" "$work/256.png" kesto.ico
