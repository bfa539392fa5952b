"""KestoSkinUnpack end to end: skins built, unpacked and built again (the
example, the benchmark skin), a module from llvm-rc and lld-link read back
with pefile, broken modules, and the Windows program under wine64 writing
the same files as the Linux one.

Usage: unpack_programs.py --unpack EXE --builder EXE [--wine WINE-RUN]
                          [--linux-unpack EXE]
With --wine both programs are Windows programs run through WINE-RUN; with
--linux-unpack as well, the Linux unpacker's output is compared with theirs.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import programs  # noqa: E402
from programs import (EXAMPLE_FILES, RT_RCDATA, RT_STRING,  # noqa: E402
                      SOURCE_DIR, group_contents, read, resources, strings, tree, windows_path,
                      write)

ARGS = None


def run(exe, wine, args, cwd, local=True, errors=None):
    """Runs a copy of `exe` placed in `cwd` (or `exe` itself); returns (status, lines), the
    lines of standard output; those of standard error go to `errors` when it is a list."""
    args = [windows_path(a) if wine and os.path.isabs(a) else a for a in args]
    if local:
        status, out, err = programs.run_copy(exe, args, cwd, wine, timeout=600)
    else:
        done = programs.run(exe, args, cwd, wine, timeout=600)
        status, out = done.returncode, programs.output_lines(done.stdout)
        err = programs.output_lines(done.stderr)
    if errors is not None:
        errors += err
    return status, out


def build(folder):
    status, lines = run(ARGS.builder, ARGS.wine, ["build"], folder)
    assert status == 0, lines


def unpack(args, cwd, exe=None, wine=None, errors=None):
    return run(exe or ARGS.unpack, ARGS.wine if wine is None else wine, args, cwd, local=False,
               errors=errors)


def findings(lines):
    """The finding lines as (severity, name)."""
    out = []
    for line in lines:
        for severity in ("warning", "note"):
            marker = ": %s: " % severity
            if marker in line and line.endswith("]"):
                out.append((severity, line[line.rindex("[") + 1:-1]))
    return out


LLVM_RC = r"""
LANGUAGE 0x19, 0x01
STRINGTABLE
BEGIN
    1 "First ""quoted"" \\ back"
    2 "Второй"
    4 "After a gap"
    20 "Past fifteen"
END
101 ICON "tray.ico"
IDI_NAMED ICON "online.ico"
5 RCDATA { "raw five" }
IDR_LAYOUT RCDATA "layout.xml"
9 RCDATA "background.bin"
200 DIALOG 0, 0, 100, 50
BEGIN
    LTEXT "Hello", 1, 5, 5, 80, 10
END
1 VERSIONINFO
FILEVERSION 1,0,0,0
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "041904E3"
        BEGIN
            VALUE "FileDescription", "skin"
        END
    END
END

LANGUAGE 0x09, 0x01
5 RCDATA { "english five" }
"""


# Strings in block 1 only: language 1 at entries 7-15 (after a gap), and in
# English at 1-3; two icon groups whose names llvm-rc does not take (ESC, a
# line feed), set in the module afterwards; two raw data in English; a menu
# in three languages.
STEERING_RC = r"""
LANGUAGE 1, 0
STRINGTABLE
BEGIN
    7 "seven"
    8 "eight"
    15 "fifteen"
END

LANGUAGE 9, 1
STRINGTABLE
BEGIN
    1 "seven"
    2 "eight"
    3 "fifteen"
END
EZ_31MX ICON "tray.ico"
NZL ICON "online.ico"
DATA_A RCDATA { "a" }
DATA_B RCDATA { "b" }
MENU_001 MENU
BEGIN
    MENUITEM "x", 1
END

LANGUAGE 0x19, 1
MENU_001 MENU
BEGIN
    MENUITEM "x", 1
END

LANGUAGE 7, 1
MENU_001 MENU
BEGIN
    MENUITEM "x", 1
END
"""
STEERING_NAMES = [("EZ_31MX", "E\x1b[31mX"), ("NZL", "N\nL")]


class UnpackPrograms(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="ksb_unpack_")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def round_trip(self, folder):
        """Builds `folder`, unpacks its _skin, builds the result: the same modules."""
        build(folder)
        status, lines = unpack([folder], self.tmp)
        self.assertEqual(status, 0, lines)
        self.assertEqual(findings(lines), [])
        unpacked = os.path.join(folder, "Unpacked")
        build(unpacked)
        before = tree(os.path.join(folder, "_skin"))
        self.assertTrue(before)
        self.assertEqual(before, tree(os.path.join(unpacked, "_skin")))
        return unpacked

    def test_example_skin_comes_back_byte_for_byte(self):
        shutil.copytree(EXAMPLE_FILES, os.path.join(self.tmp, "Files"))
        unpacked = self.round_trip(self.tmp)
        script = read(os.path.join(unpacked, "Files", "vistel.rc"))
        self.assertTrue(script.startswith(b"\xef\xbb\xbf"))
        self.assertNotIn(b"\n", script.replace(b"\r\n", b""))
        self.assertIn(b"IDI_TRAY ICON vistel\\icons\\IDI_TRAY.ico\r\n", script)
        self.assertTrue(os.path.isfile(os.path.join(unpacked, "skin.html")))

    def test_benchmark_skin_comes_back_byte_for_byte(self):
        subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "bench", "make_skin.py"),
                        self.tmp, "--seed", "11", "--icons", "12", "--rcdata", "12"],
                       check=True, capture_output=True)
        self.round_trip(self.tmp)

    def llvm_module(self, source=LLVM_RC, folder="llvm", names=()):
        """A module from llvm-rc and lld-link; each (written, wanted) of `names` is a resource
        name the .rc writes and the module then holds as `wanted` (the same length), for
        characters llvm-rc does not take in a name."""
        if not shutil.which("llvm-rc") or not shutil.which("lld-link"):
            self.skipTest("llvm-rc and lld-link are not installed")
        work = os.path.join(self.tmp, folder)
        os.makedirs(work)
        for name in ("tray.ico", "online.ico"):
            shutil.copy(os.path.join(EXAMPLE_FILES, "icons", name), work)
        for name in ("layout.xml", "background.bin"):
            shutil.copy(os.path.join(EXAMPLE_FILES, "data", name), work)
        write(os.path.join(work, "skin.rc"), source.encode("utf-8"))
        subprocess.run(["llvm-rc", "-no-preprocess", "/C", "65001", "/fo", "skin.res", "skin.rc"],
                       cwd=work, check=True, capture_output=True)
        subprocess.run(["lld-link", "/dll", "/noentry", "/machine:x86", "/Brepro",
                        "/out:vistel.dll", "skin.res"], cwd=work, check=True, capture_output=True)
        module = os.path.join(work, "vistel.dll")
        data = read(module)
        for written, wanted in names:
            old, new = written.encode("utf-16-le"), wanted.encode("utf-16-le")
            assert len(old) == len(new) and data.count(old) == 1, written
            data = data.replace(old, new)
        write(module, data)
        return module

    def test_module_from_llvm_gives_every_expressible_resource_back(self):
        module = self.llvm_module()
        status, lines = unpack([module], self.tmp)
        self.assertEqual(status, 1, lines)
        warnings = sorted(name for severity, name in findings(lines) if severity == "warning")
        self.assertEqual(warnings, sorted(["unexpressible-type", "unexpressible-type",
                                           "strings-past-15", "string-gap", "second-language"]),
                         lines)
        self.assertIn(("note", "icon-ids-renumbered"), findings(lines))
        unpacked = os.path.join(os.path.dirname(module), "Unpacked")
        build(unpacked)
        old = resources(module)
        new = resources(os.path.join(unpacked, "_skin", "vistel.dll"))
        for key in [(RT_RCDATA, 5, 1049), (RT_RCDATA, "IDR_LAYOUT", 1049), (RT_RCDATA, 9, 1049)]:
            self.assertEqual(old[key], new[key], key)
        for name in (101, "IDI_NAMED"):
            self.assertEqual(group_contents(old, name, 1049), group_contents(new, name, 1049))
        # The strings before the gap, with their numbers.
        self.assertEqual(strings(new[(RT_STRING, 1, 1049)])[:3],
                         strings(old[(RT_STRING, 1, 1049)])[:3])
        self.assertEqual(strings(new[(RT_STRING, 1, 1049)])[3:], [""] * 13)

    def test_names_cannot_steer_the_terminal_and_strings_come_in_english(self):
        module = self.llvm_module(STEERING_RC, "steering", STEERING_NAMES)
        done = programs.run(ARGS.unpack, [module], self.tmp, ARGS.wine, timeout=600)
        self.assertEqual(done.returncode, 1, done)
        report = done.stdout.decode("utf-8").replace("\r\n", "\n")
        # No control character reaches the terminal, and each finding is one line.
        self.assertEqual([c for c in report if ord(c) < 0x20 and c != "\n"
                          or 0x7F <= ord(c) <= 0x9F], [])
        lines = report.splitlines()
        self.assertEqual(len(findings(lines)), len(lines) - 1, lines)
        self.assertTrue(lines[-1].startswith("1 module unpacked"), lines)
        self.assertTrue(any('"E\\x1b[31mX"' in line for line in lines), lines)
        self.assertTrue(any('"N\\nL"' in line and "[unexpressible-name]" in line
                            for line in lines), lines)
        # One line for a resource in three languages, naming them.
        menus = [line[line.index(": warning: "):] for line in lines if "MENU_001" in line]
        self.assertEqual(menus, [': warning: RT_MENU "MENU_001" in 3 languages (1031, 1033, 1049) '
                                 'cannot be written in a skin script [unexpressible-type]'])
        # English over language 1, said in a note; no note for the group that
        # is not written.
        notes = [line for line in lines if line.endswith("[other-language]")]
        self.assertEqual(len(notes), 2, lines)
        self.assertIn("RT_STRING 1 (language 1033) is written", notes[0])
        self.assertIn("language 1 of it", notes[0])
        # The resources that are only in 1033 share one note.
        self.assertIn("3 resources in language 1033 (", notes[1])
        self.assertIn('RT_GROUP_ICON "E\\x1b[31mX"', notes[1])
        self.assertIn('RT_RCDATA "DATA_A", RT_RCDATA "DATA_B"', notes[1])
        self.assertIn(") are written; the build gives them language 1049", notes[1])
        unpacked = os.path.join(os.path.dirname(module), "Unpacked")
        build(unpacked)
        new = resources(os.path.join(unpacked, "_skin", "vistel.dll"))
        self.assertEqual(strings(new[(RT_STRING, 1, 1049)])[1:4], ["seven", "eight", "fifteen"])
        self.assertNotIn("N\nL", [name for _, name, _ in new])

        # Language 1 asked for: its strings all follow a gap, so nothing is
        # written and no note says it is.
        out = os.path.join(self.tmp, "language_1")
        status, lines = unpack(["--language", "1", "--out", out, module], self.tmp)
        self.assertEqual(status, 1, lines)
        self.assertEqual(sum(1 for _, name in findings(lines) if name == "string-gap"), 3, lines)
        self.assertFalse(any("RT_STRING 1 (language 1) is written" in line for line in lines))
        self.assertNotIn(b"STRINGTABLE", read(os.path.join(out, "Files", "vistel.rc")))
        errors = []
        status, lines = unpack(["--language", "x1", module], self.tmp, errors=errors)
        self.assertEqual((status, lines), (2, []))
        self.assertTrue(any("--language" in line for line in errors), errors)

    def test_temporary_folders_of_killed_unpacks_are_cleared(self):
        shutil.copytree(EXAMPLE_FILES, os.path.join(self.tmp, "Files"))
        build(self.tmp)
        ended = subprocess.Popen(["true"])
        ended.wait()
        left = ["Unpacked.unpacking-%d" % ended.pid, "Other.unpacking-%d" % ended.pid]
        kept = ["Unpacked.unpacking-0%d" % ended.pid, "Unpacked.unpacking-x",
                "Unpacked.unpacking-%d-2" % ended.pid]
        if not ARGS.wine:  # process numbers are Wine's own under Wine
            kept.append("Unpacked.unpacking-%d" % os.getpid())
        for name in left + kept:
            os.makedirs(os.path.join(self.tmp, name, "Files"))
            write(os.path.join(self.tmp, name, "Files", "vistel.rc"), b"x")
        # A folder that holds more than an unpack writes is not the unpacker's.
        kept.append("Mine.unpacking-%d" % ended.pid)
        os.makedirs(os.path.join(self.tmp, kept[-1], "Files"))
        write(os.path.join(self.tmp, kept[-1], "notes.txt"), b"mine")
        write(os.path.join(self.tmp, "File.unpacking-%d" % ended.pid), b"a file")
        status, lines = unpack([self.tmp], self.tmp)
        self.assertEqual(status, 0, lines)
        self.assertEqual(findings(lines), [("note", "stale-unpack-folder")] * 2, lines)
        self.assertEqual(sorted(os.listdir(self.tmp)),
                         sorted(kept + ["File.unpacking-%d" % ended.pid, "Files", "Unpacked",
                                        "_skin"]))

    def test_broken_modules_give_status_2_and_no_folder(self):
        shutil.copytree(EXAMPLE_FILES, os.path.join(self.tmp, "Files"))
        build(self.tmp)
        good = read(os.path.join(self.tmp, "_skin", "vistel.dll"))
        looped = bytearray(good)
        # The root's first entry made to point at the root itself: a loop.
        rsrc = good.index(b".rsrc")
        raw = int.from_bytes(good[rsrc + 20: rsrc + 24], "little")
        looped[raw + 20: raw + 24] = (0x80000000).to_bytes(4, "little")
        cases = {"cut.dll": good[:700], "text.dll": b"not a module at all",
                 "looped.dll": bytes(looped), "empty.dll": b""}
        for name, data in cases.items():
            folder = os.path.join(self.tmp, "case_" + name)
            os.makedirs(folder)
            path = os.path.join(folder, name)
            write(path, data)
            errors = []
            status, lines = unpack([path], self.tmp, errors=errors)
            self.assertEqual(status, 2, (name, lines))
            # The error on standard error alone, where a redirected report
            # does not hide it.
            self.assertEqual(lines, [])
            self.assertTrue(any(name in line and "error" in line for line in errors), errors)
            self.assertEqual(os.listdir(folder), [name])

    def test_a_folder_that_holds_anything_is_never_written_into(self):
        shutil.copytree(EXAMPLE_FILES, os.path.join(self.tmp, "Files"))
        build(self.tmp)
        out = os.path.join(self.tmp, "Files")
        before = tree(out)
        status, lines = unpack(["--out", out, self.tmp], self.tmp)
        self.assertEqual(status, 2, lines)
        self.assertEqual(tree(out), before)
        self.assertEqual(sorted(os.listdir(self.tmp)), ["Files", "_skin"])

    def test_windows_program_writes_what_the_linux_program_writes(self):
        if not (ARGS.wine and ARGS.linux_unpack):
            self.skipTest("needs the Windows program and a Linux one to compare")
        if not os.path.isfile(ARGS.linux_unpack):
            self.skipTest("no Linux build beside this one: " + ARGS.linux_unpack)
        shutil.copytree(EXAMPLE_FILES, os.path.join(self.tmp, "Files"))
        build(self.tmp)
        shutil.copy(self.llvm_module(), os.path.join(self.tmp, "_skin", "other.dll"))
        shutil.copy(self.llvm_module(STEERING_RC, "steering", STEERING_NAMES),
                    os.path.join(self.tmp, "_skin", "steering.dll"))
        outputs = []
        for exe, wine in ((ARGS.unpack, ARGS.wine), (ARGS.linux_unpack, "")):
            out = os.path.join(self.tmp, "out_%d" % len(outputs))
            status, lines = unpack(["--out", out, os.path.join(self.tmp, "_skin")], self.tmp,
                                   exe=exe, wine=wine)
            self.assertEqual(status, 1, lines)
            # The finding lines whole: they name the modules as "_skin\\x.dll" on both.
            outputs.append((tree(out), [line for line in lines if findings([line])]))
        self.assertEqual(outputs[0], outputs[1])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--unpack", required=True)
    parser.add_argument("--builder", required=True)
    parser.add_argument("--wine", default="")
    parser.add_argument("--linux-unpack", default="")
    ARGS, rest = parser.parse_known_args()
    for field in ("unpack", "builder", "wine", "linux_unpack"):
        if getattr(ARGS, field):
            setattr(ARGS, field, os.path.abspath(getattr(ARGS, field)))
    if ARGS.wine and "KSB_WINEPREFIX" not in os.environ:
        # The build's prefix, not one beside the program copies in the test folders.
        build_dir = os.path.dirname(ARGS.unpack)
        while build_dir != "/" and not os.path.isfile(os.path.join(build_dir, "CMakeCache.txt")):
            build_dir = os.path.dirname(build_dir)
        os.environ["KSB_WINEPREFIX"] = os.path.join(build_dir, "wine-prefix")
    unittest.main(argv=[sys.argv[0]] + rest)
