"""The release package, made by cpack and unpacked into an empty folder: it
holds the three programs, the skin authors' README, the guide as a page and
the example; it builds its example as it stands. The README is plain text for
authors (CR LF in the zip, no Markdown, nothing about building this project,
the system's own paths); the guide opens in headless chromium with every
heading, table and code block rendered and every internal link resolving;
each Windows program carries its icon (16, 32, 48 and 256 px) and version
information.

Usage: package_test.py --cpack CPACK --config CPackConfig.cmake --system windows|linux
           --version VERSION [--wine RUNNER] [unittest args]
"""

import argparse
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402
from programs import EXAMPLE_FILES, SOURCE_DIR  # noqa: E402
ARGS = None
PROGRAMS = ("KestoSkinBuilder", "KestoSkinCheck", "KestoSkinUnpack")
CHROMIUM = "/usr/bin/chromium"
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]

# What Markdown source looks like, and what a text about building, testing and
# measuring this project says; neither belongs in what an author reads.
MARKDOWN = re.compile(r"`|\*\*|\|\s*:?-{3,}|\]\(|^#{1,6} |^\s*\|.*\|\s*$", re.M)
DEVELOPER = re.compile(r"cmake|cpack|ctest|apt-get|set-?up|\btest|benchmark|preset|mingw|sanitizer|"
                       r"\bwine\b|gtest|ninja|clang|compiler", re.I)


def tree(root):
    return {os.path.relpath(os.path.join(d, f), root) for d, _, files in os.walk(root) for f in files}


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="ksb-package-")
        out, cls.root = os.path.join(cls.work, "out"), os.path.join(cls.work, "unpacked")
        subprocess.run([ARGS.cpack, "--config", ARGS.config, "-B", out], check=True,
                       capture_output=True, timeout=300)
        cls.archives = [n for n in os.listdir(out) if n.endswith((".zip", ".tar.gz"))]
        shutil.unpack_archive(os.path.join(out, cls.archives[0]), cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_holds_the_program_its_documents_and_the_example(self):
        self.assertEqual(self.archives, ["KestoSkinBuilder-%s-%s.%s" % (
            ARGS.version, ARGS.system, "zip" if ARGS.windows else "tar.gz")])
        exe = ".exe" if ARGS.windows else ""
        expected = {name + exe for name in PROGRAMS}
        expected |= {"README.txt" if ARGS.windows else "README", "writing-skins.html"}
        expected |= set() if ARGS.windows else {"libKestoSkinBuilderWindow.so"}
        expected |= {os.path.join("examples", "Files", f) for f in tree(EXAMPLE_FILES)}
        self.assertEqual(tree(self.root), expected)
        for name in tree(EXAMPLE_FILES):
            self.assertEqual(read(os.path.join(self.root, "examples", "Files", name)),
                             read(os.path.join(EXAMPLE_FILES, name)), name)

    def test_readme_speaks_to_skin_authors(self):
        name = "README.txt" if ARGS.windows else "README"
        raw = read(os.path.join(self.root, name))
        bom = raw.startswith(b"\xef\xbb\xbf")
        text = raw[3:].decode("utf-8") if bom else raw.decode("ascii")  # else: neither, a failure
        if ARGS.windows:  # for Notepad: CR LF and nothing else
            self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"))
            self.assertEqual(raw.count(b"\r"), raw.count(b"\r\n"))
        else:
            self.assertNotIn(b"\r", raw)
        text = text.replace("\r\n", "\n")
        self.assertEqual([m.group(0) for m in MARKDOWN.finditer(text)], [])
        self.assertEqual([m.group(0) for m in DEVELOPER.finditer(text)], [])
        # The system's own paths and commands: Windows folders with "\" and
        # no "./"; Linux ones with "/", no ".exe" and no backslash at all.
        if ARGS.windows:
            self.assertEqual(re.findall(r"\./|\w/\w", text), [])
            self.assertIn("examples\\Files\\", text)
        else:
            self.assertEqual(re.findall(r".*\\.*|.*\.exe.*", text), [])
            self.assertIn("examples/Files/", text)
        # It names everything beside it, the guide among them.
        for entry in sorted(os.listdir(self.root)):
            if entry not in (name, "examples"):
                self.assertIn(entry, text)

    def test_guide_page_opens_in_chromium(self):
        if not os.path.exists(CHROMIUM):
            self.skipTest("chromium is not installed")
        page = os.path.join(self.root, "writing-skins.html")
        profile = tempfile.mkdtemp(dir=self.work)
        p = subprocess.run([CHROMIUM, *CHROMIUM_FLAGS, "--user-data-dir=" + profile, "--dump-dom",
                            "file://" + page], capture_output=True, timeout=120)
        self.assertEqual(p.returncode, 0, p.stderr[-2000:])
        dom = Dom()
        dom.feed(p.stdout.decode("utf-8"))
        self.assertGreater(dom.counts.get("h2", 0), 0, "nothing rendered")
        # Offline and inert: no script, nothing loaded from anywhere.
        self.assertEqual((dom.counts.get("script", 0), dom.sources), (0, []))
        self.assertEqual([m.group(0) for m in MARKDOWN.finditer(dom.text)], [])
        self.assertTrue(dom.links)
        self.assertEqual([link for link in dom.links if link not in dom.ids], [])
        # Every heading, table and code block of the source is there as such.
        with open(os.path.join(SOURCE_DIR, "docs", "writing-skins.md"), encoding="utf-8") as f:
            source = f.read()
        self.assertEqual(dom.counts.get("pre", 0), len(re.findall(r"^```", source, re.M)) // 2)
        source = re.sub(r"^```.*?^```", "", source, flags=re.M | re.S)
        for level in (1, 2, 3):
            self.assertEqual(dom.counts.get("h%d" % level, 0),
                             len(re.findall(r"^%s " % ("#" * level), source, re.M)), level)
        self.assertEqual(dom.counts.get("table", 0), len(re.findall(r"^\|---", source, re.M)))

    def test_builds_its_example_beside_the_program(self):
        unpacked = shutil.copytree(self.root, os.path.join(self.work, "run"))
        folder = os.path.join(unpacked, "examples")
        for name in os.listdir(unpacked):
            if name.startswith(("KestoSkinBuilder", "libKestoSkinBuilder")):
                shutil.copy2(os.path.join(unpacked, name), folder)
        exe = os.path.join(folder, "KestoSkinBuilder" + (".exe" if ARGS.windows else ""))
        p = programs.run(exe, ["build"], folder, ARGS.wine, timeout=300)
        self.assertEqual(p.returncode, 0, p.stderr)
        log = p.stdout.decode("utf-8").splitlines()
        self.assertEqual([line.strip() for line in log if line.strip() in ("vistel.rc", "tavo.rc", "brel.rc", "done!")],
                         ["vistel.rc", "done!", "tavo.rc", "done!", "brel.rc", "done!"])
        modules = sorted(os.listdir(os.path.join(folder, "_skin")))
        self.assertEqual(modules, ["brel_pics.dll", "tavo_pics.dll", "vistel.dll"])
        for name in modules:
            with pefile.PE(os.path.join(folder, "_skin", name)) as pe:
                self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum(), name)

    def test_windows_programs_carry_icon_and_version(self):
        if not ARGS.windows:
            self.skipTest("icons and version information are Windows resources")
        parts = ([int(x) for x in ARGS.version.split(".")] + [0, 0, 0])[:4]
        descriptions = set()
        for program in PROGRAMS:
            with self.subTest(program), pefile.PE(os.path.join(self.root, program + ".exe")) as pe:
                self.assertEqual(sorted(icon_sizes(pe)), [16, 32, 48, 256])
                fixed = pe.VS_FIXEDFILEINFO[0]
                strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
                           for table in info.StringTable for k, v in table.entries.items()}
                for ms, ls in ((fixed.FileVersionMS, fixed.FileVersionLS),
                               (fixed.ProductVersionMS, fixed.ProductVersionLS)):
                    self.assertEqual([ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF], parts)
                expected = {"ProductName": "Kesto Skin Builder", "InternalName": program,
                            "OriginalFilename": program + ".exe",
                            "FileVersion": ARGS.version, "ProductVersion": ARGS.version}
                self.assertEqual({k: strings.get(k) for k in expected}, expected)
                descriptions.add(strings.get("FileDescription", ""))
        self.assertEqual(len(descriptions - {""}), len(PROGRAMS), descriptions)


def icon_sizes(pe):
    """The image sizes of the main (lowest) icon group, each image checked to be
    there: a bitmap of the size it says, or a PNG for 256 px."""
    def entries(type_id):
        for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if kind.id == type_id:
                for name in kind.directory.entries:
                    data = name.directory.entries[0].data.struct
                    yield name.id, pe.get_data(data.OffsetToData, data.Size)
    groups = sorted((i, d) for i, d in entries(pefile.RESOURCE_TYPE["RT_GROUP_ICON"]) if i is not None)
    images = dict(entries(pefile.RESOURCE_TYPE["RT_ICON"]))
    group = groups[0][1]
    count = int.from_bytes(group[4:6], "little")
    sizes = []
    for i in range(count):
        entry = group[6 + 14 * i:20 + 14 * i]
        size, image = entry[0] or 256, images[int.from_bytes(entry[12:14], "little")]
        if size == 256:
            assert image.startswith(b"\x89PNG\r\n\x1a\n"), "256 px image is not a PNG"
        else:
            assert int.from_bytes(image[4:8], "little") == size, "bitmap of another size"
        sizes.append(size)
    return sizes


class Dom(html.parser.HTMLParser):
    """A page's element counts, ids, internal links, outside sources and text."""

    def __init__(self):
        super().__init__()
        self.counts, self.ids, self.links, self.sources, self.text = {}, set(), [], [], ""
        self.open = []

    def handle_starttag(self, tag, attrs):
        self.counts[tag] = self.counts.get(tag, 0) + 1
        self.open.append(tag)
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        href = attrs.get("href") or ""
        if href.startswith("#"):
            self.links.append(href[1:])
        elif href or attrs.get("src"):
            self.sources.append(href or attrs["src"])

    def handle_endtag(self, tag):
        if tag in self.open:
            del self.open[len(self.open) - 1 - self.open[::-1].index(tag):]

    def handle_data(self, data):
        if not {"style", "title"} & set(self.open):
            self.text += data


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("--cpack", "--config", "--system", "--version"):
        parser.add_argument(name, required=True)
    parser.add_argument("--wine", default="")
    ARGS, rest = parser.parse_known_args()
    ARGS.windows = ARGS.system.startswith("windows")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
