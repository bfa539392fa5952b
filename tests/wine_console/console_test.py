"""The Windows program run from Wine's console on a pseudo-terminal: the log
of a command-line run is shown there as it is written to a pipe, with the same
exit status. "cmd /c start /wait" starts it as cmd starts a window program on
Windows, with no standard handles, so it must attach to its parent's console;
"cmd /c" hands it Wine's console handles.

Usage: console_test.py --exe KestoSkinBuilder.exe --wine RUNNER [unittest args]
"""

import argparse
import os
import re
import shlex
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402

ESCAPES = re.compile(r"\x1b(\[[0-9;?]*[ -/]*[@-~]|\][^\x07]*\x07|[()][0-9A-Za-z])")
ARGS = None


class ConsoleRun(unittest.TestCase):
    def setUp(self):
        self.pf = programs.ProgramFolder(ARGS.exe, ARGS.wine, example=True, prefix="ksb-console-")
        self.root = self.pf.root

    def tearDown(self):
        self.pf.cleanup()

    def run_program(self, *cmd, console=True):
        """(exit status, lines); on a terminal wide and tall enough that nothing wraps or scrolls."""
        cmd = programs.command(cmd[0], ARGS.wine, cmd[1:])
        if console:
            cmd = ["script", "-qec", "stty cols 500 rows 1000; exec " + shlex.join(cmd), "/dev/null"]
        p = programs.run(cmd[0], cmd[1:], self.root, timeout=300)
        text = ESCAPES.sub("", p.stdout.decode("utf-8", "replace"))
        return p.returncode, [line.strip("\r") for line in text.split("\n")]

    def assertShows(self, shown, lines):
        n = len(lines)
        self.assertTrue(any(shown[i:i + n] == lines for i in range(len(shown) - n + 1)), "\n".join(shown))

    def test_build_shows_in_the_console_it_attaches_to_what_it_writes_to_a_pipe(self):
        exe = os.path.basename(ARGS.exe)
        code, piped = self.run_program(os.path.join(self.root, exe), "build", console=False)
        self.assertEqual((code, piped.count("done!")), (0, 3), piped)
        code, shown = self.run_program("cmd", "/c", "start", "/wait", exe, "build")
        self.assertEqual(code, 0, shown)
        self.assertShows(shown, [line for line in piped if line])

    def test_used_files_shows_in_a_console_handed_down(self):
        code, shown = self.run_program("cmd", "/c", os.path.basename(ARGS.exe), "/used")
        self.assertEqual((code, shown.count("done!")), (0, 3), shown)
        self.assertTrue(any(line.startswith("UsedFiles.Count = ") for line in shown), shown)
        self.assertTrue(os.path.exists(os.path.join(self.root, "UsedFiles", "vistel.rc")))

    def test_a_missing_file_is_shown_and_the_status_stays_0(self):
        os.remove(os.path.join(self.root, "Files", "data", "colors.txt"))
        code, shown = self.run_program("cmd", "/c", "start", "/wait", os.path.basename(ARGS.exe), "x")
        self.assertEqual(code, 0, shown)
        self.assertTrue(any(line.endswith('colors.txt" not found') for line in shown), shown)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
