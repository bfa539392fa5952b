#!/usr/bin/env python3
"""Writes a large skin for the benchmarks, the same bytes for the same seed.

    make_skin.py OUT [--seed S] [--icons N] [--rcdata M] [--scripts K]

OUT/Files/ receives the first K scripts of the program's table (default all
eight), each with N icons and M raw-data files of its own below
OUT/Files/<script stem>/, and 15 strings. Half of the icon and raw-data names
are #define names, half are left as string names. Icons hold 1 to 3 images of
16 to 48 pixels, each a 32-bit BMP or a PNG; raw data is mostly under 4 KiB,
one file in thirty between 33 KiB and 400 KiB.

OUT/manifest.json lists, per script, the module it makes and every file it
references (the script first), for the peer tools and the I/O floor.
Scripts are written in three encodings, as authors save them: the first as
UTF-8 with a marker, the second as UTF-16 LE, the rest in Windows-1251.
"""

import argparse
import json
import random
import shutil
import struct
import zlib
from pathlib import Path

TARGETS = [
    ("vistel.rc", "_skin/vistel.dll"),
    ("tavo.rc", "_skin/tavo_pics.dll"),
    ("brel.rc", "_skin/brel_pics.dll"),
    ("quon.rc", "_skin/quon_pics.dll"),
    ("zelma.rc", "_skin/zelma_pics.dll"),
    ("oxin.rc", "_skin/oxin_pics.dll"),
    ("marvet.rc", "_skin/marvet_pics.dll"),
    ("polden.rc", "_skin/polden_pics.dll"),
]

ICON_SIZES = [16, 20, 24, 32, 40, 48]
STRING_COUNT = 15
SMALL_LIMIT = 4 * 1024
LARGE_RANGE = (33 * 1024, 400 * 1024)
WORDS = ["Online", "Away", "Busy", "Chat", "Tray", "Status", "Smile", "Menu", "Group",
         "Contact", "History", "Send", "Close", "Sound", "Folder", "Mail"]
CYRILLIC = ["В сети", "Нет на месте", "Занят", "Не беспокоить", "Невидимый",
            "Свободен для чата", "Отошёл", "Обед", "Дома", "На работе"]


def bmp_image(rng, size):
    """A 32-bit BITMAPINFOHEADER image as .ico files hold it: double height,
    colour rows bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         size * size * 4, 0, 0, 0, 0)
    pixels = rng.randbytes(size * size * 4)
    mask_stride = (size + 31) // 32 * 4
    return header + pixels + bytes(mask_stride * size)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_image(rng, size):
    """An RGBA PNG: a gradient under some noise, filter 0 on every row."""
    base = rng.randrange(256)
    rows = []
    for y in range(size):
        noise = rng.randbytes(size)
        row = bytearray(1 + 4 * size)
        for x in range(size):
            at = 1 + 4 * x
            row[at] = (base + 5 * x) & 0xFF
            row[at + 1] = (base + 7 * y) & 0xFF
            row[at + 2] = noise[x]
            row[at + 3] = 0xFF
        rows.append(bytes(row))
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + png_chunk(b"IEND", b""))


def ico_file(rng):
    sizes = sorted(rng.sample(ICON_SIZES, rng.randint(1, 3)))
    images = [png_image(rng, s) if s >= 32 and rng.random() < 0.3 else bmp_image(rng, s)
              for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def data_size(rng, large):
    return rng.randint(*LARGE_RANGE) if large else rng.randint(1, SMALL_LIMIT - 1)


class ScriptWriter:
    """The items of one script and its text."""

    def __init__(self, rng, stem, icons, rcdata):
        self.rng = rng
        self.stem = stem
        self.icons = icons
        self.rcdata = rcdata
        self.defines = []  # (name, value)
        self.items = []    # (key token, kind, path with backslashes)
        self.files = []    # relative paths with forward slashes, in script order

    def keys(self, prefix, count):
        """Half of the keys are #define names with distinct values, half string
        names (distinct also when upper-cased, as rc compilers store them)."""
        defined = set(self.rng.sample(range(count), count // 2))
        values = iter(self.rng.sample(range(100, 100 + 20 * count), len(defined)))
        keys = []
        for k in range(count):
            if k in defined:
                name = f"{prefix}_{self.stem.upper()}_{k:04d}"
                self.defines.append((name, next(values)))
            else:
                word = self.rng.choice(WORDS)
                name = f"{word}{prefix.title()}_{k:04d}"
            keys.append(name)
        return keys

    def build(self, folder):
        icon_keys = self.keys("IDI", self.icons)
        data_keys = self.keys("IDR", self.rcdata)
        (folder / self.stem / "icons").mkdir(parents=True, exist_ok=True)
        (folder / self.stem / "data").mkdir(parents=True, exist_ok=True)
        for k, key in enumerate(icon_keys):
            rel = f"{self.stem}/icons/i{k:04d}.ico"
            (folder / rel).write_bytes(ico_file(self.rng))
            self.items.append((key, "ICON", rel))
        large = set(self.rng.sample(range(self.rcdata), self.rcdata // 30))
        for k, key in enumerate(data_keys):
            rel = f"{self.stem}/data/d{k:04d}.bin"
            (folder / rel).write_bytes(self.rng.randbytes(data_size(self.rng, k in large)))
            self.items.append((key, "RCDATA", rel))
        self.rng.shuffle(self.defines)
        self.rng.shuffle(self.items)

    def text(self, title):
        lines = [f"// {title}", ""]
        lines += [f"#define {name} {value}" for name, value in self.defines]
        lines += ["", "STRINGTABLE", "BEGIN"]
        for n in range(1, STRING_COUNT + 1):
            text = self.rng.choice(CYRILLIC) if n % 2 else self.rng.choice(WORDS) + " " + str(n)
            lines.append(f'    {n} "{text}"')
        lines += ["END", ""]
        for key, kind, rel in self.items:
            path = rel.replace("/", "\\")
            # Some file names are quoted, with their backslashes doubled.
            if self.rng.random() < 0.2:
                path = '"' + path.replace("\\", "\\\\") + '"'
            lines.append(f"{key} {kind} {path}")
            self.files.append(rel)
        return "\r\n".join(lines) + "\r\n"


def encode(text, index):
    if index == 0:
        return b"\xef\xbb\xbf" + text.encode("utf-8")
    if index == 1:
        return b"\xff\xfe" + text.encode("utf-16-le")
    return text.encode("cp1251")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out", type=Path)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--icons", type=int, default=300)
    parser.add_argument("--rcdata", type=int, default=300)
    parser.add_argument("--scripts", type=int, default=8, choices=range(1, 9))
    args = parser.parse_args()

    files = args.out / "Files"
    if files.exists():
        shutil.rmtree(files)
    files.mkdir(parents=True)
    manifest = {"seed": args.seed, "icons": args.icons, "rcdata": args.rcdata, "scripts": []}
    for index, (script, module) in enumerate(TARGETS[:args.scripts]):
        # Each script has a generator of its own, so a script does not change
        # when fewer or more scripts are asked for.
        rng = random.Random(f"{args.seed}/{script}")
        writer = ScriptWriter(rng, Path(script).stem, args.icons, args.rcdata)
        writer.build(files)
        text = writer.text(f"{script}: {args.icons} icons, {args.rcdata} raw-data files, "
                           f"seed {args.seed}")
        (files / script).write_bytes(encode(text, index))
        manifest["scripts"].append({
            "script": script,
            "module": module,
            "encoding": ["utf-8", "utf-16-le", "cp1251"][min(index, 2)],
            "files": [script] + writer.files,
        })
    (args.out / "manifest.json").write_text(json.dumps(manifest, indent=1) + "\n")


if __name__ == "__main__":
    main()
