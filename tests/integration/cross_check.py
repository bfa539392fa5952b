"""The Linux and the Windows program build the example skin to the same
modules, byte for byte, and the Windows loader (under wine64) reads the
example's strings back, Cyrillic included.

Usage: cross_check.py --linux EXE --windows EXE.exe --load-strings load_strings.exe --wine WINE
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE_FILES = os.path.join(SOURCE_DIR, "examples", "Files")
ARGS = None


def build(exe, wine):
    root = tempfile.mkdtemp(prefix="ksb-cross-")
    local = os.path.join(root, os.path.basename(exe))
    shutil.copy2(exe, local)
    shutil.copytree(EXAMPLE_FILES, os.path.join(root, "Files"))
    cmd = ([wine] if wine else []) + [local, "build"]
    env = dict(os.environ, WINEDEBUG="-all")
    subprocess.run(cmd, cwd=root, env=env, check=True, capture_output=True, timeout=300)
    modules = {}
    for name in sorted(os.listdir(os.path.join(root, "_skin"))):
        with open(os.path.join(root, "_skin", name), "rb") as f:
            modules[name] = f.read()
    return root, modules


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


class CrossBuild(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.linux_root, cls.linux = build(ARGS.linux, None)
        cls.windows_root, cls.windows = build(ARGS.windows, ARGS.wine)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.linux_root, ignore_errors=True)
        shutil.rmtree(cls.windows_root, ignore_errors=True)

    def test_modules_are_byte_identical(self):
        self.assertEqual(sorted(self.linux), ["brel_pics.dll", "tavo_pics.dll", "vistel.dll"])
        self.assertEqual(sorted(self.linux), sorted(self.windows))
        for name, data in self.linux.items():
            other = self.windows[name]
            if data != other:
                at = first_difference(data, other)
                self.fail("%s differs first at 0x%x: %s / %s" % (
                    name, at, data[at:at + 16].hex(), other[at:at + 16].hex()))

    def strings(self, module, count):
        path = os.path.join(self.windows_root, "_skin", module)
        cmd = [ARGS.wine, ARGS.load_strings, path, "1", str(count)]
        p = subprocess.run(cmd, env=dict(os.environ, WINEDEBUG="-all"), capture_output=True, timeout=120)
        self.assertEqual(p.returncode, 0, p.stderr)
        return p.stdout.decode("utf-8").replace("\r\n", "\n").split("\n")[:count]

    def test_windows_loader_reads_the_strings(self):
        self.assertEqual(self.strings("vistel.dll", 6),
                         ["Контакты", "В сети", "Нет на месте", 'Сообщение от "%s"', "Settings", ""])
        self.assertEqual(self.strings("tavo_pics.dll", 3), ["Не в сети", "Невидимый", ""])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--load-strings", required=True)
    parser.add_argument("--wine", required=True)
    ARGS, rest = parser.parse_known_args()
    for name in ("linux", "windows", "load_strings", "wine"):
        setattr(ARGS, name, os.path.abspath(getattr(ARGS, name)))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
