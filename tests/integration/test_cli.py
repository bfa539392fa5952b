"""Runs the real program in temporary program folders and checks its log, the
modules it writes (through python3-pefile) and the files Used files moves.

Usage: test_cli.py --exe PATH [--wine WINE64] [--template PATH] [unittest args]
With --wine the program is a Windows executable run under wine64; paths in
its log are then Windows paths (Z:\\...).
"""

import argparse
import fcntl
import hashlib
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402
from programs import (EXAMPLE_FILES, LANG, RT_GROUP_ICON, RT_ICON, RT_RCDATA,  # noqa: E402
                      RT_STRING, SOURCE_DIR, icon_images, string_block)
from programs import read as read_bytes  # noqa: E402

ARGS = None
SEPARATOR = "=" * 37
TARGETS = [
    ("vistel.rc", "vistel.dll"),
    ("tavo.rc", "tavo_pics.dll"),
    ("brel.rc", "brel_pics.dll"),
    ("quon.rc", "quon_pics.dll"),
    ("zelma.rc", "zelma_pics.dll"),
    ("oxin.rc", "oxin_pics.dll"),
    ("marvet.rc", "marvet_pics.dll"),
    ("polden.rc", "polden_pics.dll"),
]


def resources(data):
    """{(type, name, lang): bytes} of a module, after checking that pefile
    parses it and that the stored CheckSum is right."""
    return programs.resources(data, check=True)


def template_bytes():
    with open(ARGS.template, "rb") as f:
        return f.read()


def not_found_lines(pf, present=()):
    lines = []
    for script, _ in TARGETS:
        lines.append(SEPARATOR)
        if script not in present:
            lines.append(pf.log_path("Files\\" + script) + " not found !")
    return lines


class CliCase(unittest.TestCase):
    def setUp(self):
        self.pf = programs.ProgramFolder(ARGS.exe, ARGS.wine, prefix="ksb-it-")

    def tearDown(self):
        self.pf.cleanup()

    def check_icon(self, res, group_name, ico_path, first_id):
        header, images = icon_images(read_bytes(ico_path))
        group = res[(RT_GROUP_ICON, group_name, LANG)]
        self.assertEqual(group[:6], header)
        self.assertEqual(len(group), 6 + 14 * len(images))
        for k, (entry, image) in enumerate(images):
            rec = group[6 + 14 * k: 6 + 14 * k + 14]
            self.assertEqual(rec[:12], entry)
            nid = struct.unpack_from("<H", rec, 12)[0]
            self.assertEqual(nid, first_id + k)
            self.assertEqual(res[(RT_ICON, nid, LANG)], image)
        return first_id + len(images)


class NoScripts(CliCase):
    def test_eight_not_found_lines_and_no_folder(self):
        rc, out, err = self.pf.run("build")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out, not_found_lines(self.pf))
        self.assertFalse(os.path.exists(self.pf.path("_skin")))

    def test_used_files_with_no_scripts(self):
        rc, out, err = self.pf.run("/used")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out, not_found_lines(self.pf) + [SEPARATOR, "UsedFiles.Count = 0"])
        self.assertTrue(os.path.isdir(self.pf.path("UsedFiles")))


class OneScript(CliCase):
    def test_only_the_fourth_script(self):
        self.pf.write("Files\\quon.rc", "STRINGTABLE\nBEGIN\n 1 \"one\"\n 2 two\nEND\n")
        rc, out, err = self.pf.run("x")
        self.assertEqual(rc, 0, err)
        expected = not_found_lines(self.pf, present={"quon.rc"})
        fourth = [i for i, line in enumerate(expected) if line == SEPARATOR][3]
        expected[fourth + 1: fourth + 1] = ["quon.rc", "done!"]
        self.assertEqual(out, expected)
        self.assertEqual(os.listdir(self.pf.path("_skin")), ["quon_pics.dll"])
        res = resources(self.pf.module("quon_pics.dll"))
        self.assertEqual(res, {(RT_STRING, 1, LANG): string_block(["one", "two"])})

    def test_script_without_resources_leaves_template_but_checksum(self):
        self.pf.write("Files\\vistel.rc", "// nothing here\n")
        rc, _, err = self.pf.run("b")
        self.assertEqual(rc, 0, err)
        data = self.pf.module("vistel.dll")
        tpl = template_bytes()
        self.assertEqual(resources(data), {})
        # The commit rewrites the section and the checksum; the headers before
        # the checksum stay the template's.
        self.assertEqual(data[:0x110], tpl[:0x110])

    def test_more_than_fifteen_strings_stay_in_one_block(self):
        texts = ["s%d" % i for i in range(1, 21)]
        script = "STRINGTABLE\nBEGIN\n" + "".join('%d "%s"\n' % (i, t) for i, t in enumerate(texts, 1)) + "END\n"
        self.pf.write("Files\\vistel.rc", script)
        self.pf.run("b")
        res = resources(self.pf.module("vistel.dll"))
        self.assertEqual(res[(RT_STRING, 1, LANG)], string_block(texts))

    def test_empty_data_file_and_unresolved_and_missing(self):
        self.pf.write("Files\\vistel.rc", "#define A 7\nA RCDATA empty.bin\nB RCDATA gone.bin\nC RCDATA d.bin\n")
        self.pf.write("Files\\empty.bin", b"")
        self.pf.write("Files\\d.bin", b"xyz")
        rc, out, err = self.pf.run("b")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out[:7], [SEPARATOR, "vistel.rc",
                                   'resource id "B" not found, write as string id !',
                                   'file "%s" not found' % self.pf.log_path("Files\\gone.bin"),
                                   'resource id "C" not found, write as string id !',
                                   "done!", SEPARATOR])
        self.assertEqual(resources(self.pf.module("vistel.dll")), {(RT_RCDATA, "C", LANG): b"xyz"})

    def test_identifier_out_of_range_is_skipped_with_a_line(self):
        self.pf.write("Files\\vistel.rc", "70000 RCDATA d.bin\n-3 RCDATA d.bin\n5 RCDATA d.bin\n")
        self.pf.write("Files\\d.bin", b"q")
        rc, out, err = self.pf.run("b")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out[2:5], ['resource id "70000" is out of range (70000), line skipped !',
                                    'resource id "-3" is out of range (-3), line skipped !', "done!"])
        self.assertEqual(resources(self.pf.module("vistel.dll")), {(RT_RCDATA, 5, LANG): b"q"})

    def test_overlong_string_is_cut_with_a_line(self):
        long_text = "x" * 70000
        self.pf.write("Files\\vistel.rc", 'STRINGTABLE\nBEGIN\n1 short\n2 %s\nEND\n' % long_text)
        rc, out, err = self.pf.run("b")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out[2:4], ["string 2 is longer than 65535 characters, cut !", "done!"])
        res = resources(self.pf.module("vistel.dll"))
        self.assertEqual(res[(RT_STRING, 1, LANG)], string_block(["short", "x" * 65535]))


class Repeated(CliCase):
    def test_build_twice_gives_identical_modules(self):
        shutil.copytree(EXAMPLE_FILES, self.pf.path("Files"))
        self.pf.run("b")
        first = {n: self.pf.module(n) for n in os.listdir(self.pf.path("_skin"))}
        rc, out, _ = self.pf.run("b")
        self.assertEqual(rc, 0)
        second = {n: self.pf.module(n) for n in os.listdir(self.pf.path("_skin"))}
        self.assertEqual(first, second)
        self.assertEqual(sorted(first), ["brel_pics.dll", "tavo_pics.dll", "vistel.dll"])


class ExampleSkin(CliCase):
    def expected_log(self):
        p = self.pf.log_path
        lines = [SEPARATOR, "vistel.rc",
                 'resource id "IDI_TRAY" not found, write as string id !',
                 'resource id "IDR_SOUND" not found, write as string id !',
                 'file "%s" not found' % p("Files\\data\\missing.wav"),
                 "done!", SEPARATOR, "tavo.rc", "done!", SEPARATOR, "brel.rc",
                 'resource id "IDR_COLORS" not found, write as string id !', "done!"]
        for script, _ in TARGETS[3:]:
            lines += [SEPARATOR, p("Files\\" + script) + " not found !"]
        return lines

    def test_example_log_and_modules(self):
        shutil.copytree(EXAMPLE_FILES, self.pf.path("Files"))
        rc, out, err = self.pf.run("build")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out, self.expected_log())
        f = lambda *p: os.path.join(EXAMPLE_FILES, *p)
        read = lambda *p: read_bytes(f(*p))

        res = resources(self.pf.module("vistel.dll"))
        self.assertEqual(res[(RT_STRING, 1, LANG)], string_block(
            ["Контакты", "В сети", "Нет на месте", 'Сообщение от "%s"', "Settings"]))
        next_id = self.check_icon(res, 101, f("icons", "online.ico"), 50)
        next_id = self.check_icon(res, 102, f("icons", "away.ico"), next_id)
        self.check_icon(res, "IDI_TRAY", f("icons", "tray.ico"), next_id)
        self.assertEqual(res[(RT_RCDATA, 0x200, LANG)], read("data", "colors.txt"))
        self.assertEqual(res[(RT_RCDATA, 0x201, LANG)], read("data", "layout.xml"))
        self.assertEqual(res[(RT_RCDATA, 300, LANG)], read("data", "background.bin"))
        self.assertEqual(len([k for k in res if k[0] == RT_RCDATA]), 3)

        res = resources(self.pf.module("tavo_pics.dll"))
        self.assertEqual(res[(RT_STRING, 1, LANG)], string_block(["Не в сети", "Невидимый"]))
        self.check_icon(res, 150, f("icons", "offline.ico"), 50)

        res = resources(self.pf.module("brel_pics.dll"))
        self.assertEqual(res, {(RT_RCDATA, "IDR_COLORS", LANG): read("data", "colors.txt")})


class UsedFiles(CliCase):
    def test_used_files_moves_exactly_the_referenced_files(self):
        shutil.copytree(EXAMPLE_FILES, self.pf.path("Files"))
        self.pf.write("Files\\unused.txt", "left behind")
        before = {}
        for d, _, files in os.walk(self.pf.path("Files")):
            for n in files:
                full = os.path.join(d, n)
                before[os.path.relpath(full, self.pf.path("Files"))] = read_bytes(full)
        # A read-only file already in UsedFiles\ stays, and its source stays in Files\.
        ro = self.pf.write("UsedFiles\\data\\layout.xml", "old")
        os.chmod(ro, 0o444)
        rc, out, err = self.pf.run("/used", "ignored")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out, ExampleSkin.expected_log(self) + [SEPARATOR, "UsedFiles.Count = 12"])
        tpl = template_bytes()
        for n in os.listdir(self.pf.path("_skin")):
            self.assertEqual(self.pf.module(n), tpl, n)
        moved = {"vistel.rc", "tavo.rc", "brel.rc", "icons/online.ico", "icons/away.ico",
                 "icons/tray.ico", "icons/offline.ico", "data/colors.txt", "data/background.bin"}
        for rel, data in before.items():
            in_files = os.path.join(self.pf.path("Files"), rel)
            in_used = os.path.join(self.pf.path("UsedFiles"), rel)
            if rel in moved:
                self.assertFalse(os.path.exists(in_files), rel)
                self.assertEqual(read_bytes(in_used), data, rel)
            else:
                self.assertEqual(read_bytes(in_files), data, rel)
        self.assertEqual(read_bytes(ro), b"old")
        # Nothing left to do on a second run; the non-empty UsedFiles\ is kept.
        rc, out, _ = self.pf.run("/used")
        self.assertEqual(out[-1], "UsedFiles.Count = 0")
        self.assertTrue(os.path.exists(self.pf.path("UsedFiles", "vistel.rc")))


class Failures(CliCase):
    def test_module_held_open_ends_the_run(self):
        if ARGS.wine:
            self.skipTest("a POSIX lock does not keep a Windows program out")
        self.pf.write("Files\\vistel.rc", "1 RCDATA a.bin\n")
        self.pf.write("Files\\tavo.rc", "1 RCDATA a.bin\n")
        held = self.pf.write("_skin\\vistel.dll", "held")
        with open(held, "rb+") as f:
            fcntl.flock(f, fcntl.LOCK_EX)
            rc, out, err = self.pf.run("b")
        self.assertEqual(rc, 1)
        self.assertEqual(out, [SEPARATOR, "vistel.rc"])
        self.assertTrue(err.startswith('Cannot create file "%s". ' % self.pf.log_path("_skin\\vistel.dll")), err)
        self.assertEqual(read_bytes(held), b"held")

    def test_killed_used_runs_never_lose_a_file(self):
        rnd = random.Random(1234)
        shutil.copytree(EXAMPLE_FILES, self.pf.path("Files"))
        # More and larger files, so that a kill often lands inside the moves.
        lines = []
        for i in range(40):
            name = "data\\blob%02d.bin" % i
            self.pf.write("Files\\" + name, os.urandom(rnd.randrange(1, 300000)))
            lines.append("%d RCDATA %s" % (1000 + i, name))
        with open(self.pf.path("Files", "polden.rc"), "w") as f:
            f.write("\n".join(lines) + "\n")
        originals = {}
        for d, _, files in os.walk(self.pf.path("Files")):
            for n in files:
                full = os.path.join(d, n)
                originals[os.path.relpath(full, self.pf.path("Files"))] = hashlib.sha256(read_bytes(full)).digest()
        cmd = programs.command(self.pf.exe, ARGS.wine, ["/used"])
        for _ in range(20):
            p = subprocess.Popen(cmd, cwd=self.pf.root, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rnd.uniform(0.0, 0.15))
            p.send_signal(signal.SIGKILL)
            p.wait()
            for rel, digest in originals.items():
                found = [os.path.join(self.pf.path(top), rel) for top in ("Files", "UsedFiles")]
                good = [x for x in found if os.path.exists(x) and hashlib.sha256(read_bytes(x)).digest() == digest]
                self.assertTrue(good, rel)
            # Put everything back for the next round.
            for d, _, files in os.walk(self.pf.path("UsedFiles")):
                for n in files:
                    src = os.path.join(d, n)
                    dst = os.path.join(self.pf.path("Files"), os.path.relpath(src, self.pf.path("UsedFiles")))
                    os.makedirs(os.path.dirname(dst), exist_ok=True)
                    if not os.path.exists(dst):
                        os.replace(src, dst)
            shutil.rmtree(self.pf.path("UsedFiles"), ignore_errors=True)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", default="")
    parser.add_argument("--template", default=os.path.join(SOURCE_DIR, "skin", "template_module.bin"))
    ARGS, rest = parser.parse_known_args()
    ARGS.exe = os.path.abspath(ARGS.exe)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
