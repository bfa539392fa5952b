"""The Linux and the Windows program build the example skin to the same
modules, byte for byte, and the Windows loader (under wine64) reads the
example's strings back, Cyrillic included.

Usage: cross_check.py --linux EXE --windows EXE.exe --load-strings load_strings.exe --wine WINE
"""

import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402

ARGS = None


def build(exe, wine):
    """A program folder with the example skin, built: (the folder, {name: module})."""
    pf = programs.ProgramFolder(exe, wine, example=True, prefix="ksb-cross-")
    rc, out, err = pf.run("build", timeout=300)
    assert rc == 0, err
    return pf, programs.tree(pf.path("_skin"))


class CrossBuild(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.linux_folder, cls.linux = build(ARGS.linux, None)
        cls.windows_folder, cls.windows = build(ARGS.windows, ARGS.wine)

    @classmethod
    def tearDownClass(cls):
        cls.linux_folder.cleanup()
        cls.windows_folder.cleanup()

    def test_modules_are_byte_identical(self):
        self.assertEqual(sorted(self.linux), ["brel_pics.dll", "tavo_pics.dll", "vistel.dll"])
        self.assertEqual(sorted(self.linux), sorted(self.windows))
        for name, data in self.linux.items():
            other = self.windows[name]
            if data != other:
                at = programs.first_difference(data, other)
                self.fail("%s differs first at 0x%x: %s / %s" % (
                    name, at, data[at:at + 16].hex(), other[at:at + 16].hex()))

    def strings(self, module, count):
        path = self.windows_folder.path("_skin", module)
        p = programs.run(ARGS.load_strings, [path, "1", str(count)], None, ARGS.wine, timeout=120)
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
