"""The sheet in a real browser: headless chromium loads skin.html, every img
must decode and paint, and a screenshot is taken.

    sheet_browser_test.py --builder KestoSkinBuilder --unpacker KestoSkinUnpack
                          --examples examples/Files --out DIR

DIR/page/skin gets a copy of the example's Files/ plus a script of pictures
(PNG, BMP, GIF, JPEG under names that need percent-encoding, and a WAV); the
builder builds it, and the unpacker unpacks its _skin/ into DIR/page/page,
skin.html included. Two looks at every img:
- the page's own: an img marks itself with data-broken="1" when its data
  cannot be read as an image at all; the DOM after load (--dump-dom) must
  hold no such mark;
- a probe page of the test's own beside it loads skin.html in a frame and
  paints each img onto a canvas: an .ico whose directory reads well but whose
  image does not decode gives no error event, only nothing painted. Every
  image must paint at least one pixel that is not transparent (the example's
  icons and the pictures here all do).
A control page with one broken icon image and one broken picture must fail
exactly those two, or the check could not see a failure at all. The
screenshot is DIR/sheet.png.

The page also holds an icon of 96x64 pixels (drawn no larger than 64 px)
and, when llvm-rc and lld-link are installed, a module of theirs whose
string table has a gap: every element marked as not written must show its
mark, with the reason, on the screen.

Exit status 77 (skipped) when chromium is not installed.
"""

import argparse
import html.parser
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave
import zlib

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--hide-scrollbars"]

# Names that a URL must percent-encode: a space, Cyrillic letters, '#' and '%'.
PICTURES = {"png": "фон 1.png", "bmp": "plain#2.bmp", "gif": "anim 100%.gif", "jpg": "фото.jpg"}


def png_bytes(width, height):
    """An RGBA gradient as a PNG file (zlib-compressed scanlines, filter 0)."""
    rows = b"".join(b"\0" + b"".join(bytes((x * 255 // width, y * 255 // height, 160, 255))
                                     for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def add_pictures(files):
    """Files/pictures/ and quon.rc naming each picture, a WAV and an icon
    larger than the sheet draws."""
    folder = os.path.join(files, "pictures")
    os.makedirs(folder)
    source = os.path.join(folder, PICTURES["png"])
    with open(source, "wb") as f:
        f.write(png_bytes(96, 64))
    with open(os.path.join(folder, "big.ico"), "wb") as f:
        image = png_bytes(96, 64)
        f.write(struct.pack("<HHH", 0, 1, 1) +
                struct.pack("<BBBBHHII", 96, 64, 0, 0, 1, 32, len(image), 22) + image)
    for kind in ("bmp", "gif", "jpg"):
        subprocess.run(["convert", source, kind + ":" + os.path.join(folder, PICTURES[kind])],
                       check=True)
    with wave.open(os.path.join(folder, "beep.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(8000)
        w.writeframes(bytes(128 + (40 if (i // 8) % 2 else -40) for i in range(4000)))
    lines = ["// Pictures for the sheet's browser check", "BIG_ICON ICON pictures\\big.ico"]
    names = [PICTURES[k] for k in ("png", "bmp", "gif", "jpg")] + ["beep.wav"]
    for i, name in enumerate(names):
        lines.append('%d RCDATA "pictures\\\\%s"' % (500 + i, name))
    write_script(files, "quon.rc", lines)


# Loads skin.html in a frame (same origin with --allow-file-access-from-files)
# and writes one line per img of it: "ok", "blank" (nothing painted) or
# "unreadable" (drawing or reading it back failed), a tab, its alt text.
PROBE = """<!DOCTYPE html><body><iframe id="f" src="skin.html"></iframe><pre id="out"></pre>
<script>
// The page's load waits for the frame's, and cannot come before this line.
// Everything here is synchronous: a promise (img.decode) would outlast the
// virtual time budget, after which the DOM is dumped.
window.onload = () => {
  const lines = [], more = [];
  for (const img of f.contentDocument.images) {
    let state = "ok";
    const c = document.createElement("canvas");
    c.width = img.naturalWidth; c.height = img.naturalHeight;
    const g = c.getContext("2d");
    try {
      g.drawImage(img, 0, 0);
      const d = g.getImageData(0, 0, c.width, c.height).data;
      let painted = false;
      for (let i = 3; i < d.length && !painted; i += 4) painted = d[i] !== 0;
      if (!painted) state = "blank";
    } catch (e) { state = "unreadable " + e.name; }
    lines.push(state + "\\t" + img.alt);
    if (img.closest(".frame") && (img.naturalWidth > 64 || img.naturalHeight > 64)) {
      const r = img.getBoundingClientRect();
      more.push("BIG\\t" + img.naturalWidth + "x" + img.naturalHeight + " drawn " +
                 r.width + "x" + r.height);
    }
  }
  for (const e of f.contentDocument.querySelectorAll(".unwritten")) {
    const mark = e.querySelector(".mark");
    const r = mark ? mark.getBoundingClientRect() : {width: 0, height: 0};
    more.push("MARK\\t" + (r.width > 0 && r.height > 0 ? "shown" : "hidden") + "\\t" +
              (mark ? mark.textContent : "no mark") + "\\t" + e.textContent.replace(/\\s+/g, " "));
  }
  out.textContent = "PROBE " + lines.length + "\\n" + lines.concat(more).join("\\n");
};
</script>"""


class Images(html.parser.HTMLParser):
    """The img elements of a DOM, and those marked broken."""

    def __init__(self):
        super().__init__()
        self.count = 0
        self.broken = []

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.count += 1
            attrs = dict(attrs)
            if attrs.get("data-broken") == "1":
                self.broken.append((attrs.get("alt"), (attrs.get("src") or "")[:60]))


def write_script(files, name, lines):
    with open(os.path.join(files, name), "wb") as f:
        f.write(b"\xef\xbb\xbf" + "\r\n".join(lines).encode("utf-8") + b"\r\n")


def add_broken(files):
    """polden.rc: an icon whose directory reads well but whose image is noise,
    and a picture that starts as a PNG and is none."""
    noise = bytes((i * 37) & 0xFF for i in range(16 * 16 * 4 + 40))
    with open(os.path.join(files, "broken.ico"), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) +
                struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(noise), 22) + noise)
    with open(os.path.join(files, "broken.png"), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\nnot a picture")
    write_script(files, "polden.rc", ["BROKEN_ICON ICON broken.ico",
                                      "BROKEN_PICTURE RCDATA broken.png"])


def add_llvm_module(folder):
    """gapped.dll from llvm-rc and lld-link, when they are installed: a string
    table with a gap before entry 3, which no script can give back."""
    if not shutil.which("llvm-rc") or not shutil.which("lld-link"):
        return
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "gapped.rc"), "w") as f:
            f.write('LANGUAGE 0x19, 0x01\nSTRINGTABLE\nBEGIN\n    1 "one"\n    3 "three"\nEND\n')
        subprocess.run(["llvm-rc", "-no-preprocess", "/fo", "gapped.res", "gapped.rc"], cwd=work,
                       check=True, capture_output=True)
        subprocess.run(["lld-link", "/dll", "/noentry", "/machine:x86", "/Brepro",
                        "/out:" + os.path.join(os.path.abspath(folder), "gapped.dll"),
                        "gapped.res"], cwd=work, check=True, capture_output=True)


def image_count(files):
    """The images the unpacked Files/ holds: every image of every .ico, and
    every picture file."""
    count = 0
    for folder, _, names in os.walk(files):
        for name in names:
            if name.endswith(".ico"):
                with open(os.path.join(folder, name), "rb") as f:
                    count += struct.unpack("<H", f.read(6)[4:6])[0]
            elif name.rsplit(".", 1)[-1] in ("png", "bmp", "gif", "jpg"):
                count += 1
    return count


def make_page(tools, examples, folder, broken=False):
    """The example skin (plus pictures) built by the builder and unpacked by
    the unpacker into folder/page; the page's img count expected."""
    builder, unpacker = tools
    shutil.rmtree(folder, ignore_errors=True)
    skin = os.path.join(folder, "skin")
    shutil.copytree(examples, os.path.join(skin, "Files"))
    add_pictures(os.path.join(skin, "Files"))
    if broken:
        add_broken(os.path.join(skin, "Files"))
    shutil.copy(builder, skin)
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    subprocess.run([os.path.join(skin, os.path.basename(builder)), "build"], check=True,
                   capture_output=True, env=env)
    if not broken:
        add_llvm_module(os.path.join(skin, "_skin"))
    page = os.path.join(folder, "page")
    out = subprocess.run([unpacker, os.path.join(skin, "_skin"), "--out", page],
                         capture_output=True, text=True)
    if out.returncode not in (0, 1) or not os.path.exists(os.path.join(page, "skin.html")):
        raise RuntimeError("the unpacker failed (%d): %s%s" % (out.returncode, out.stdout,
                                                               out.stderr))
    return image_count(os.path.join(page, "Files"))


def chromium(browser, page, *args):
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run([browser, *CHROMIUM_FLAGS, "--user-data-dir=" + profile, *args,
                               "file://" + os.path.abspath(page)],
                              check=True, capture_output=True, text=True, timeout=180).stdout


def check_page(browser, folder):
    """The failures of the page in folder: (img count, [failed img])."""
    page = os.path.join(folder, "skin.html")
    images = Images()
    images.feed(chromium(browser, page, "--virtual-time-budget=5000", "--dump-dom"))
    failed = ["%s: no image (%s...)" % (alt, src) for alt, src in images.broken]
    probe = os.path.join(folder, "probe.html")
    with open(probe, "w") as f:
        f.write(PROBE)
    dom = chromium(browser, probe, "--virtual-time-budget=5000", "--allow-file-access-from-files",
                   "--dump-dom")
    lines = html.unescape(dom[dom.find("PROBE "):dom.find("</pre>")]).split("\n")
    if not lines[0].startswith("PROBE") or int(lines[0].split()[1]) != images.count:
        failed.append("the probe saw %r, not %d images" % (lines[0], images.count))
    big, marks = [], []
    for line in lines[1:]:
        state, alt = line.split("\t", 1)
        if state == "BIG":
            big.append(alt)
        elif state == "MARK":
            marks.append(alt)
        elif state != "ok":
            failed.append("%s: %s" % (alt, state))
    for size in big:
        drawn = [float(n) for n in size.split(" drawn ")[1].split("x")]
        if max(drawn) > 64 or min(drawn) == 0:
            failed.append("an image of %s" % size)
    for mark in marks:
        shown, text, _ = mark.split("\t", 2)
        if shown != "shown" or not text.startswith("not written"):
            failed.append("a mark %s: %r" % (shown, text))
    return images.count, failed, big, marks


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--builder", required=True)
    ap.add_argument("--unpacker", required=True)
    ap.add_argument("--examples", required=True)
    ap.add_argument("--out", required=True)
    a = ap.parse_args()
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        print("SKIPPED: chromium is not installed (apt-get install chromium)")
        return 77

    failures = []
    page_folder = os.path.join(a.out, "page")
    tools = (a.builder, a.unpacker)
    expected = make_page(tools, a.examples, page_folder)
    page = os.path.join(page_folder, "page", "skin.html")
    count, failed, big, marks = check_page(browser, os.path.join(page_folder, "page"))
    print("page: %d img elements (%d expected), %d failed" % (count, expected, len(failed)))
    print("large images: %s; marks: %r" % (big, marks))
    if not any(size.startswith("96x64 drawn 64x") for size in big):
        failures.append("the 96x64 icon was not drawn at 64 px: %r" % big)
    if shutil.which("llvm-rc") and shutil.which("lld-link") and not any(
            m.startswith("shown\tnot written: gap before entry 3") and m.endswith("three")
            for m in marks):
        failures.append("the string after the gap is not marked with its reason: %r" % marks)
    if count != expected:
        failures.append("the page holds %d img elements, not %d" % (count, expected))
    failures += failed

    control_folder = os.path.join(a.out, "control")
    control_expected = make_page(tools, a.examples, control_folder, broken=True)
    count, failed, _, _ = check_page(browser, os.path.join(control_folder, "page"))
    print("control page: %d img elements, failed (2 expected): %r" % (count, failed))
    if count != control_expected or {f.split(":")[0] for f in failed} != {"BROKEN_ICON",
                                                                         "BROKEN_PICTURE"}:
        failures.append("the control page's two broken images were not both seen")

    shot = os.path.join(a.out, "sheet.png")
    if os.path.exists(shot):
        os.remove(shot)
    chromium(browser, page, "--window-size=1280,2600", "--screenshot=" + shot)
    if not os.path.exists(shot) or os.path.getsize(shot) < 10000:
        failures.append("no screenshot at " + shot)
    else:
        print("screenshot:", shot)

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
