"""KestoSkinCheck end to end: the example skin, a skin with one of each
finding, a script copied whole from a small program's resource file, and a
folder without Files, through the Linux program and the Windows program
under wine64. Both give the same findings and exit statuses.

Usage: check_programs.py [--linux EXE] [--windows EXE.exe --wine WINE-RUN]
"""

import argparse
import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import programs  # noqa: E402
from programs import EXAMPLE_FILES, SOURCE_DIR, write  # noqa: E402

ARGS = None

FINDING = re.compile(r"^(?P<file>[^:]+)(?::(?P<line>\d+):(?P<column>\d+))?: "
                     r"(?P<severity>warning|note|error): .* \[(?P<name>[a-z0-9-]+)\]$")
SUMMARY = re.compile(r"^\d+ scripts? checked: \d+ warnings?, \d+ notes?, \d+ errors?$")

# vistel.rc of the skin with one of each finding: each line and the names it
# must give.
ONE_OF_EACH = [
    ("// one of each finding", []),
    ("#define IDI_A 101", []),
    ("#define IDR_B 0x200", []),
    ("#define IDR_B 7", ["define-again"]),
    ("#define IDC_X ten", ["define-not-number"]),
    ("#defne IDI_C 103", ["define-carried"]),
    ("#define IDI_D", ["missing-value"]),
    ("STRINGTABLE", []),
    ("# define IDI_F 5", ["define-near-miss"]),
    ("IDI_A ICN icons\\a.ico", ["unknown-line"]),
    ("IDI_A ICON icons\\a.ico", []),
    ("IDI_E ICN icons\\a.ico", ["no-kind-keyword"]),
    ("102 ICON DISCARDABLE \"icons\\\\a.ico\"", ["option-word"]),
    ("103 ICON icons\\A.ico", ["file-case"]),
    ("104 ICON icons", ["file-is-folder"]),
    ("105 ICON bad.ico", ["bad-icon"]),
    ("IDI_GONE ICON icons\\a.ico", ["id-not-found"]),
    ("70000 ICON icons\\a.ico", ["id-out-of-range"]),
    ("IDR_B RCDATA data\\a.bin data\\b.bin", ["extra-words"]),
    ("IDR_B RCDATA data\\a.bin", ["written-twice"]),
    ("201 RCDATA data\\empty.bin", ["empty-data"]),
    ("202 RCDATA data\\none.bin", ["file-not-found"]),
    ("203 RCDATA \"data\\a.bin", ["unclosed-quote"]),
    ("STRINGTABLE", []),
    ("BEGIN", []),
    ("IDS_A,\"Hello\"", ["lone-token"]),
    ("1 \"See http://example.org\"", ["comment-in-quotes"]),
    ("3 Hello world", ["string-number", "extra-words"]),
    ("3 \"\"", ["empty-string"]),
] + [("%d \"s\"" % n, []) for n in range(3, 16)] + [
    ("16 \"s\"", ["unreachable-strings"]),  # entries 16-17, one finding
    ("17 " + "x" * 65536, ["string-cut"]),
    ("#define IDS_B 5", ["define-in-strings"]),
    ("END", []),
# Lines enough that a finding on nearly every line stays within the limit of
# one finding per eight lines, past which the checker folds them by name.
] + [("// (no finding)", [])] * 180

# The other scripts, each with its encoding findings on line 1 (the bytes of a
# comment alone are never read).
ENCODINGS = {
    "tavo.rc": ("#define Контакты 1 // Контакты\n".encode("utf-8"), ["utf8-no-marker"]),
    "brel.rc": ("#define Контакты 1\n".encode("cp1251"), ["ansi-text"]),
    # read as the one character "/", which starts no statement
    "quon.rc": ("// x\n".encode("utf-16-le"), ["utf16-no-marker", "unknown-line"]),
    "zelma.rc": (b"\xef\xbb\xbf// ok \xff\n", ["broken-utf8"]),
}


def make_one_of_each(root):
    files = os.path.join(root, "Files")
    os.makedirs(os.path.join(files, "icons"))
    os.makedirs(os.path.join(files, "data"))
    os.makedirs(os.path.join(root, "_skin"))
    shutil.copy2(os.path.join(EXAMPLE_FILES, "icons", "online.ico"),
                 os.path.join(files, "icons", "a.ico"))
    for name, data in [("data/a.bin", b"abc"), ("data/empty.bin", b""),
                       ("bad.ico", b"\0\0\1\0\0\0"), ("extra.txt", b"left behind"),
                       ("../_skin/polden_pics.dll", b"MZ")]:
        write(os.path.join(files, name), data)
    text = "\r\n".join(line for line, _ in ONE_OF_EACH) + "\r\n"
    write(os.path.join(files, "vistel.rc"), b"\xef\xbb\xbf" + text.encode("utf-8"))
    for name, (data, _) in ENCODINGS.items():
        write(os.path.join(files, name), data)


def run_raw(program, root, arguments):
    """Runs a copy of the program placed in `root`, from there, with `arguments`
    as they are; returns (status, standard output lines, standard error lines)."""
    return programs.run_copy(program["exe"], arguments, root, program["wine"])


def run(program, root, argument):
    """The same with a folder (a POSIX path) or nothing; returns (status, lines)."""
    arguments = []
    if argument is not None:
        arguments.append(programs.windows_path(argument) if program["wine"] else argument)
    status, out, _ = run_raw(program, root, arguments)
    return status, out


def counts_by_name(findings):
    """The line that counts findings by name: most first, ties by name."""
    counts = {}
    for finding in findings:
        counts[finding[4]] = counts.get(finding[4], 0) + 1
    ranked = sorted(counts.items(), key=lambda item: (-item[1], item[0]))
    return "by name: " + ", ".join("%d %s" % (n, name) for name, n in ranked)


def parse(lines):
    """The findings as (file with "/", line, column, severity, name), and the
    summary. The line that counts them by name must be there exactly when
    there are more than ten, and must count them."""
    body = lines[:-1]
    by_name = None
    if body and body[-1].startswith("by name:"):
        by_name = body.pop()
    findings = []
    for text in body:
        m = FINDING.match(text)
        assert m, "not a finding line: %r" % text
        findings.append((m["file"].replace("\\", "/"), int(m["line"] or 0),
                         int(m["column"] or 0), m["severity"], m["name"]))
    if len(findings) > 10:
        assert by_name == counts_by_name(findings), (by_name, counts_by_name(findings))
    else:
        assert by_name is None, "a count by name for %d findings" % len(findings)
    return findings, lines[-1] if lines else ""


class CheckPrograms(unittest.TestCase):
    def programs(self):
        found = []
        if ARGS.linux:
            found.append({"exe": ARGS.linux, "wine": None})
        if ARGS.windows:
            found.append({"exe": ARGS.windows, "wine": ARGS.wine})
        return found

    def each(self, make, argument):
        """Runs every program on the skin `make` builds; same output from all."""
        results = []
        for program in self.programs():
            root = tempfile.mkdtemp(prefix="ksb-check-skin-")
            try:
                make(root)
                status, lines = run(program, root, argument(root) if argument else None)
            finally:
                shutil.rmtree(root, ignore_errors=True)
            findings, summary = parse(lines)
            self.assertRegex(summary, SUMMARY)
            results.append((status, findings, summary))
        for other in results[1:]:
            self.assertEqual(other, results[0], "Linux and Windows programs disagree")
        return results[0]

    def test_example_skin(self):
        def make(root):
            shutil.copytree(EXAMPLE_FILES, os.path.join(root, "Files"))
        status, findings, summary = self.each(make, lambda root: root)
        # The keys that no #define names, and the file the example lacks.
        self.assertEqual([(f[0], f[1], f[2], f[4]) for f in findings], [
            ("Files/vistel.rc", 18, 1, "id-not-found"),
            ("Files/vistel.rc", 22, 1, "id-not-found"),
            ("Files/vistel.rc", 22, 20, "file-not-found"),
            ("Files/brel.rc", 2, 1, "id-not-found")])
        self.assertEqual(summary, "3 scripts checked: 4 warnings, 0 notes, 0 errors")
        self.assertEqual(status, 1)

    def test_one_of_each(self):
        status, findings, _ = self.each(make_one_of_each,
                                        lambda root: os.path.join(root, "Files"))
        got = {}
        for file, line, _, _, name in findings:
            got.setdefault((file, line), set()).add(name)
        expected = {}
        for number, (_, names) in enumerate(ONE_OF_EACH, 1):
            if names:
                expected[("Files/vistel.rc", number)] = set(names)
        for script, (_, names) in ENCODINGS.items():
            expected[("Files/" + script, 1)] = set(names)
        expected[("Files/extra.txt", 0)] = {"unused-file"}
        expected[("_skin/polden_pics.dll", 0)] = {"stale-module"}
        self.maxDiff = None
        self.assertEqual(got, expected)
        self.assertEqual(status, 1)
        # Every name the author reads has its section in the guide.
        with open(os.path.join(SOURCE_DIR, "docs", "writing-skins.md"), encoding="utf-8") as f:
            sections = set(re.findall(r"^### ([a-z0-9-]+)", f.read(), re.M))
        self.assertEqual({f[4] for f in findings} - sections, set())

    def test_copied_resource_file(self):
        """A whole small application's resource file (a dialog, a menu, a
        version block, #ifdef, a licence comment, a string table of 20
        entries) as a skin script: one finding per cause, at its first line."""
        def make(root):
            os.makedirs(os.path.join(root, "Files"))
            shutil.copy2(os.path.join(SOURCE_DIR, "tests", "skin", "check", "rc", "tally.rc"),
                         os.path.join(root, "Files", "vistel.rc"))
        status, findings, _ = self.each(make, None)
        got = [(f[1], f[4]) for f in findings if f[0] == "Files/vistel.rc"]
        self.assertEqual(got, [
            (1, "block-comment"),             # the licence, lines 1-9
            (13, "preprocessor-line"),        # #include "resource.h", "winres.h", #undef
            (15, "missing-value"),            # #define APSTUDIO_READONLY_SYMBOLS
            (19, "unsupported-statement"),    # LANGUAGE
            (20, "preprocessor-line"),        # #pragma
            (23, "id-not-found"), (23, "file-not-found"),
            (24, "id-not-found"), (24, "file-not-found"),
            # each statement with its block
            (27, "unsupported-statement"),    # MENU
            (42, "unsupported-statement"),    # ACCELERATORS
            (48, "unsupported-statement"),    # DIALOGEX
            (59, "preprocessor-line"),        # #ifdef
            (60, "unsupported-statement"),    # TEXTINCLUDE
            (64, "preprocessor-line"),        # #endif
            (67, "unsupported-statement"),    # VERSIONINFO
            (94, "unreachable-strings"),      # the whole string table, entries 18-38
            (98, "literal-escape"),           # "Tally\nLeft click to count"
            (104, "preprocessor-line"),       # #ifdef _DEBUG ... #endif in the table
        ])
        # At most one finding per cause: no name twice at one line.
        self.assertEqual(len(set(got)), len(got))
        self.assertEqual(status, 1)

    def test_without_files_folder(self):
        status, findings, _ = self.each(lambda root: None, lambda root: root)
        self.assertEqual(status, 2)
        self.assertEqual([f[4] for f in findings], ["no-files-folder"])

    def test_flags(self):
        """Help flags, unknown options, and a folder that only looks like one."""
        for program in self.programs():
            windows = bool(program["wine"])
            root = tempfile.mkdtemp(prefix="ksb-check-flags-")
            try:
                os.makedirs(os.path.join(root, "-name", "Files"))
                with open(os.path.join(root, "-name", "Files", "brel.rc"), "wb") as f:
                    f.write(b"BEGIN\r\n1 \"Hello\"\r\nEND\r\n")
                for flag in ["--help", "-h", "/?"]:
                    status, out, err = run_raw(program, root, [flag])
                    self.assertEqual((status, err), (0, []), flag)
                    self.assertTrue(out and out[0].startswith("Usage: KestoSkinCheck"), out)
                usage = out
                unknown = ["--bogus", "-H", "-name"] + (["/bogus"] if windows else [])
                for flag in unknown:
                    status, out, err = run_raw(program, root, [flag])
                    self.assertEqual((status, out), (2, []), flag)
                    self.assertEqual(err, ['KestoSkinCheck: unknown option "%s"' % flag] + usage)
                status, out, err = run_raw(program, root, ["a", "b"])
                self.assertEqual((status, err[:1]), (2, ['KestoSkinCheck: unexpected argument "b"']))
                # A folder whose name starts with "-", given as a path.
                name = ".\\-name" if windows else "./-name"
                for arguments in [[name], ["--", "-name"]]:
                    status, out, err = run_raw(program, root, arguments)
                    self.assertEqual((status, out, err),
                                     (0, ["1 script checked: 0 warnings, 0 notes, 0 errors"], []),
                                     arguments)
                if not windows:
                    # "/" and letters is a path on Linux: no Files folder there.
                    status, out, err = run_raw(program, root, ["/bogus"])
                    self.assertEqual((status, err), (2, []))
                    self.assertEqual(parse(out)[0][0][4], "no-files-folder")
            finally:
                shutil.rmtree(root, ignore_errors=True)

    def test_clean_skin(self):
        def make(root):
            os.makedirs(os.path.join(root, "Files"))
            with open(os.path.join(root, "Files", "brel.rc"), "wb") as f:
                f.write(b"BEGIN\r\n1 \"Hello\"\r\nEND\r\n")
        status, findings, summary = self.each(make, None)
        self.assertEqual((status, findings), (0, []))
        self.assertEqual(summary, "1 script checked: 0 warnings, 0 notes, 0 errors")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux")
    parser.add_argument("--windows")
    parser.add_argument("--wine")
    ARGS, rest = parser.parse_known_args()
    if ARGS.linux and not os.path.exists(ARGS.linux):
        ARGS.linux = None  # the other system's build is not there: one program only
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == "__main__":
    main()
