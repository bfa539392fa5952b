"""The release package, made by cpack and unpacked into an empty folder: it
holds the program, the checker, the README, the author's guide and the
example; it builds its example as it stands; the Windows program carries its
version information.

Usage: package_test.py --cpack CPACK --config CPackConfig.cmake --system windows|linux
           --version VERSION [--wine RUNNER] [unittest args]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import pefile

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE_FILES = os.path.join(SOURCE_DIR, "examples", "Files")
ARGS = None


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
        exe, doc = (".exe", ".txt") if ARGS.windows else ("", ".md")
        expected = {"KestoSkinBuilder" + exe, "KestoSkinCheck" + exe, "KestoSkinUnpack" + exe,
                    "README" + doc, "writing-skins" + doc}
        expected |= set() if ARGS.windows else {"libKestoSkinBuilderWindow.so"}
        expected |= {os.path.join("examples", "Files", f) for f in tree(EXAMPLE_FILES)}
        self.assertEqual(tree(self.root), expected)
        for name in tree(EXAMPLE_FILES):
            self.assertEqual(read(os.path.join(self.root, "examples", "Files", name)),
                             read(os.path.join(EXAMPLE_FILES, name)), name)
        for name, source in [("README", "README.md"), ("writing-skins", "docs/writing-skins.md")]:
            text = read(os.path.join(SOURCE_DIR, source))
            if ARGS.windows:  # for Notepad: CR LF
                text = text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            self.assertEqual(read(os.path.join(self.root, name + doc)), text, name)

    def test_builds_its_example_beside_the_program(self):
        unpacked = shutil.copytree(self.root, os.path.join(self.work, "run"))
        folder = os.path.join(unpacked, "examples")
        for name in os.listdir(unpacked):
            if name.startswith(("KestoSkinBuilder", "libKestoSkinBuilder")):
                shutil.copy2(os.path.join(unpacked, name), folder)
        exe = os.path.join(folder, "KestoSkinBuilder" + (".exe" if ARGS.windows else ""))
        env = dict(os.environ, WINEDEBUG="-all")
        env.pop("DISPLAY", None)
        p = subprocess.run(([ARGS.wine] if ARGS.wine else []) + [exe, "build"], cwd=folder, env=env,
                           capture_output=True, timeout=300)
        self.assertEqual(p.returncode, 0, p.stderr)
        log = p.stdout.decode("utf-8").splitlines()
        self.assertEqual([line.strip() for line in log if line.strip() in ("vistel.rc", "tavo.rc", "brel.rc", "done!")],
                         ["vistel.rc", "done!", "tavo.rc", "done!", "brel.rc", "done!"])
        modules = sorted(os.listdir(os.path.join(folder, "_skin")))
        self.assertEqual(modules, ["brel_pics.dll", "tavo_pics.dll", "vistel.dll"])
        for name in modules:
            with pefile.PE(os.path.join(folder, "_skin", name)) as pe:
                self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum(), name)

    def test_windows_program_carries_its_version(self):
        if not ARGS.windows:
            self.skipTest("version information is a Windows resource")
        with pefile.PE(os.path.join(self.root, "KestoSkinBuilder.exe")) as pe:
            fixed = pe.VS_FIXEDFILEINFO[0]
            strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
                       for table in info.StringTable for k, v in table.entries.items()}
        parts = ([int(x) for x in ARGS.version.split(".")] + [0, 0, 0])[:4]
        for ms, ls in ((fixed.FileVersionMS, fixed.FileVersionLS), (fixed.ProductVersionMS, fixed.ProductVersionLS)):
            self.assertEqual([ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF], parts)
        expected = {"ProductName": "Kesto Skin Builder", "OriginalFilename": "KestoSkinBuilder.exe",
                    "FileVersion": ARGS.version, "ProductVersion": ARGS.version}
        self.assertEqual({k: strings.get(k) for k in expected}, expected)
        self.assertTrue(strings.get("FileDescription", "").startswith("Kesto Skin Builder"), strings)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("--cpack", "--config", "--system", "--version"):
        parser.add_argument(name, required=True)
    parser.add_argument("--wine", default="")
    ARGS, rest = parser.parse_known_args()
    ARGS.windows = ARGS.system.startswith("windows")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
