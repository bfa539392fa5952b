#!/usr/bin/env bash
# Writes the committed seed corpora of the fuzz targets (fuzz/corpus/<target>/).
# Needs llvm-rc, lld-link and clang (apt-get install -y llvm lld clang) and
# python3. The example skin's modules come from the Linux program: give its
# path in KSB_PROGRAM, or build/release/app/qt/KestoSkinBuilder is used when
# it exists. Re-running it rewrites the same files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
corpus=$here/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$corpus/module" "$corpus/icon" "$corpus/script"

# ---------------------------------------------------------------- modules
cp "$root/skin/template_module.bin" "$corpus/module/template.dll"

cp "$here/seeds/resources.rc" "$here/seeds/data.c" "$work/"
cp "$root/examples/Files/icons/tray.ico" "$work/"
(
    cd "$work"
    llvm-rc -no-preprocess /fo resources.res resources.rc
    clang --target=i686-pc-windows-msvc -O1 -c data.c -o data.obj
    # Resources only: one .rsrc section.
    lld-link /dll /noentry /machine:x86 /Brepro /out:rsrc_only.dll resources.res
    # .rdata and .data before .rsrc, .reloc after it.
    lld-link /dll /noentry /machine:x86 /Brepro /out:rsrc_then_reloc.dll data.obj resources.res
    # A CodeView debug directory in .rdata beside the reproducible-build entry.
    lld-link /dll /noentry /machine:x86 /Brepro /debug /pdb:debug.pdb /out:debug_directory.dll \
        data.obj resources.res
)
for dll in rsrc_only rsrc_then_reloc debug_directory; do
    cp "$work/$dll.dll" "$corpus/module/llvm_$dll.dll"
done

program=${KSB_PROGRAM:-$root/build/release/app/qt/KestoSkinBuilder}
if [ -x "$program" ]; then
    mkdir -p "$work/example"
    cp -r "$root/examples/Files" "$work/example/Files"
    cp "$program" "$work/example/KestoSkinBuilder"
    (cd "$work/example" && ./KestoSkinBuilder build >/dev/null)
    for dll in "$work/example/_skin/"*.dll; do
        cp "$dll" "$corpus/module/example_$(basename "$dll")"
    done
else
    echo "make_seeds.sh: no program at $program; the example modules are left as they are" >&2
fi

# ---------------------------------------------------------------- icons and scripts
python3 - "$root" "$corpus" <<'PY'
import pathlib, struct, sys

root, corpus = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
icons = corpus / "icon"

def ico(entries, images, count=None, reserved=0, kind=1):
    """entries: (width, height, colors, planes, bits, size, offset) per image."""
    out = struct.pack("<HHH", reserved, kind, len(entries) if count is None else count)
    for w, h, c, planes, bits, size, offset in entries:
        out += struct.pack("<BBBBHHII", w, h, c, 0, planes, bits, size, offset)
    return out + images

png = b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\x0dIHDR" + bytes(13)
bmp = struct.pack("<IiiHHIIiiII", 40, 2, 4, 1, 32, 0, 0, 0, 0, 0, 0) + bytes(2 * 2 * 4 + 2 * 4)
one = ico([(2, 2, 0, 1, 32, len(bmp), 22)], bmp)
two = ico([(2, 2, 0, 1, 32, len(bmp), 38), (0, 0, 0, 1, 32, len(png), 38 + len(bmp))], bmp + png)
seeds = {
    "tray.ico": (root / "examples/Files/icons/tray.ico").read_bytes(),
    "one_bitmap.ico": one,
    "bitmap_and_png.ico": two,
    "shared_image.ico": ico([(2, 2, 0, 1, 32, len(bmp), 38)] * 2, bmp),
    "empty_image.ico": ico([(0, 0, 0, 0, 0, 0, 22)], b""),
    "odd_header.ico": ico([(2, 2, 0, 1, 32, len(bmp), 22)], bmp, reserved=0xFFFF, kind=2),
    "broken_short_header.ico": one[:5],
    "broken_entry_cut.ico": one[:6 + 15],
    "broken_count_0.ico": ico([], b"", count=0),
    "broken_count_ffff.ico": ico([(2, 2, 0, 1, 32, len(bmp), 22)], bmp, count=0xFFFF),
    "broken_offset_past_end.ico": ico([(2, 2, 0, 1, 32, 8, 22 + len(bmp))], bmp),
    "broken_size_past_end.ico": ico([(2, 2, 0, 1, 32, len(bmp) + 1, 22)], bmp),
    "broken_size_2g.ico": ico([(2, 2, 0, 1, 32, 0x80000000, 22)], bmp),
    "broken_size_ffffffff.ico": ico([(2, 2, 0, 1, 32, 0xFFFFFFFF, 22)], bmp),
    "broken_offset_wraps.ico": ico([(2, 2, 0, 1, 32, 0x20, 0xFFFFFFF0)], bmp),
}
for name, data in seeds.items():
    (icons / name).write_bytes(data)

# Scripts: the text of each example script and of the feature script, in
# each of the four encodings, behind the byte that has the script target put
# the encoding's own marker before it (0 UTF-16 LE, 1 UTF-16 BE, 2 UTF-8,
# 3 none).
scripts = corpus / "script"
texts = {}
for path in sorted((root / "examples/Files").glob("*.rc")):
    raw = path.read_bytes()
    if raw.startswith(b"\xff\xfe"):
        text = raw[2:].decode("utf-16-le")
    elif raw.startswith(b"\xfe\xff"):
        text = raw[2:].decode("utf-16-be")
    elif raw.startswith(b"\xef\xbb\xbf"):
        text = raw[3:].decode("utf-8")
    else:
        text = raw.decode("cp1251")
    texts[path.stem] = text
texts["features"] = (root / "fuzz/seeds/features.rc.txt").read_text(encoding="utf-8")
for stem, text in texts.items():
    (scripts / f"{stem}.utf16le").write_bytes(b"\0" + text.encode("utf-16-le"))
    (scripts / f"{stem}.utf16be").write_bytes(b"\1" + text.encode("utf-16-be"))
    (scripts / f"{stem}.utf8").write_bytes(b"\2" + text.encode("utf-8"))
    (scripts / f"{stem}.ansi").write_bytes(b"\3" + text.encode("cp1251", errors="replace"))
PY
echo "seeds written to $corpus"
