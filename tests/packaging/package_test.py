"""The release package, made by cpack from the build and unpacked into an
empty folder: it holds the program, the README, the example skin and, when the
tree has them, the checker and the author's guide; it runs on its example as
it stands; the Windows program carries its version information.

Usage: package_test.py --cpack CPACK --config CPackConfig.cmake --system windows|linux
           --version VERSION --checker 0|1 --guide 0|1 [--wine RUNNER] [unittest args]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

import pefile

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE_FILES = os.path.join(SOURCE_DIR, "examples", "Files")
MODULES = ["brel_pics.dll", "tavo_pics.dll", "vistel.dll"]
ARGS = None


def tree(root):
    """Every file below root, as a relative path with forward slashes."""
    found = set()
    for folder, _, files in os.walk(root):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
    return found


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="ksb-package-")
        out = os.path.join(cls.work, "out")
        subprocess.run([ARGS.cpack, "--config", ARGS.config, "-B", out], check=True,
                       capture_output=True, timeout=300)
        archives = [n for n in os.listdir(out) if n.endswith((".zip", ".tar.gz"))]
        assert len(archives) == 1, archives
        cls.archive = archives[0]
        cls.root = os.path.join(cls.work, "unpacked")
        os.mkdir(cls.root)
        path = os.path.join(out, cls.archive)
        if path.endswith(".zip"):
            with zipfile.ZipFile(path) as z:
                z.extractall(cls.root)
                # zip keeps the Unix mode of each entry; the program must stay runnable.
                for info in z.infolist():
                    mode = info.external_attr >> 16
                    if mode:
                        os.chmod(os.path.join(cls.root, info.filename), mode)
        else:
            with tarfile.open(path) as t:
                t.extractall(cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def expected(self):
        windows = ARGS.system == "windows"
        exe = ".exe" if windows else ""
        doc = ".txt" if windows else ".md"
        files = {"KestoSkinBuilder" + exe, "README" + doc}
        if not windows:
            files.add("libKestoSkinBuilderWindow.so")
        if ARGS.checker:
            files.add("KestoSkinCheck" + exe)
        if ARGS.guide:
            files.add("writing-skins" + doc)
        return files | {"examples/Files/" + f for f in tree(EXAMPLE_FILES)}

    def test_name_tells_version_and_system(self):
        self.assertTrue(self.archive.startswith("KestoSkinBuilder-%s-%s-" % (ARGS.version, ARGS.system)),
                        self.archive)

    def test_holds_the_program_its_documents_and_the_example(self):
        self.assertEqual(tree(self.root), self.expected())
        for name in tree(EXAMPLE_FILES):
            self.assertEqual(read(os.path.join(self.root, "examples", "Files", name)),
                             read(os.path.join(EXAMPLE_FILES, name)), name)

    def test_documents_are_the_sources_with_line_ends_for_the_system(self):
        docs = [("README", os.path.join(SOURCE_DIR, "README.md"))]
        if ARGS.guide:
            docs.append(("writing-skins", os.path.join(SOURCE_DIR, "docs", "writing-skins.md")))
        for name, source in docs:
            text = read(source).replace(b"\r\n", b"\n")
            if ARGS.system == "windows":
                self.assertEqual(read(os.path.join(self.root, name + ".txt")), text.replace(b"\n", b"\r\n"))
            else:
                self.assertEqual(read(os.path.join(self.root, name + ".md")), read(source))

    def test_runs_on_its_example(self):
        # The program works in its own folder: beside Files\ it builds the example.
        folder = os.path.join(self.root, "examples")
        programs = [n for n in os.listdir(self.root) if n.startswith(("KestoSkinBuilder", "lib"))]
        for name in programs:
            shutil.copy2(os.path.join(self.root, name), folder)
        exe = os.path.join(folder, "KestoSkinBuilder" + (".exe" if ARGS.system == "windows" else ""))
        env = dict(os.environ, WINEDEBUG="-all")
        env.pop("DISPLAY", None)
        p = subprocess.run(([ARGS.wine] if ARGS.wine else []) + [exe, "build"], cwd=folder, env=env,
                           capture_output=True, timeout=300)
        self.assertEqual(p.returncode, 0, p.stderr)
        log = p.stdout.decode("utf-8").replace("\r\n", "\n").splitlines()
        self.assertEqual([line for line in log if line.endswith(".rc")], ["vistel.rc", "tavo.rc", "brel.rc"])
        self.assertEqual(log.count("done!"), 3, log)
        self.assertEqual(sorted(os.listdir(os.path.join(folder, "_skin"))), MODULES)
        for name in MODULES:
            pe = pefile.PE(os.path.join(folder, "_skin", name))
            self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum(), name)
            self.assertTrue(hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"), name)
            pe.close()

    def test_windows_program_carries_its_version(self):
        if ARGS.system != "windows":
            self.skipTest("version information is a Windows resource")
        pe = pefile.PE(os.path.join(self.root, "KestoSkinBuilder.exe"))
        parts = [int(x) for x in ARGS.version.split(".")] + [0, 0, 0]
        fixed = pe.VS_FIXEDFILEINFO[0]
        for ms, ls in ((fixed.FileVersionMS, fixed.FileVersionLS),
                       (fixed.ProductVersionMS, fixed.ProductVersionLS)):
            self.assertEqual([ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF], parts[:4])
        strings = {}
        for info in pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
        pe.close()
        self.assertEqual(strings.get("ProductName"), "Kesto Skin Builder")
        self.assertEqual(strings.get("OriginalFilename"), "KestoSkinBuilder.exe")
        self.assertEqual(strings.get("FileVersion"), ARGS.version)
        self.assertEqual(strings.get("ProductVersion"), ARGS.version)
        self.assertTrue(strings.get("FileDescription", "").startswith("Kesto Skin Builder"), strings)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--config", required=True)
    parser.add_argument("--system", choices=["windows", "linux"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--checker", type=int, choices=[0, 1], required=True)
    parser.add_argument("--guide", type=int, choices=[0, 1], required=True)
    parser.add_argument("--wine", default="")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
