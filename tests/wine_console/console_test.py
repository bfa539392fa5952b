"""The Windows program run from a console under Wine: the log of a
command-line run reaches the console line by line, as it reaches a pipe, and
the exit status is the same.

The console is Wine's, on a pseudo-terminal. "cmd /c start /wait PROGRAM"
starts the program as cmd starts a window program on Windows, with no
standard handles, so that it must attach to its parent's console; "cmd /c
PROGRAM" hands it Wine's console handles directly.

Usage: console_test.py --exe KestoSkinBuilder.exe --wine RUNNER [unittest args]
"""

import argparse
import errno
import fcntl
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE_FILES = os.path.join(SOURCE_DIR, "examples", "Files")
# Cursor and mode sequences of Wine's console on a terminal.
ESCAPES = re.compile(rb"\x1b(\[[0-9;?]*[ -/]*[@-~]|\][^\x07]*\x07|[()][0-9A-Za-z])")
ARGS = None


def run_in_console(argv, cwd, timeout=300):
    """Runs argv on a fresh pseudo-terminal; returns (exit status, lines shown)."""
    pid, fd = pty.fork()
    if pid == 0:
        try:
            # Wide and tall, so that no line is wrapped and nothing scrolls away.
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 500, 1000, 0, 0))
            os.chdir(cwd)
            os.environ["WINEDEBUG"] = "-all"
            os.environ.pop("DISPLAY", None)
            os.execvp(argv[0], argv)
        finally:
            os._exit(127)
    shown = b""
    status = None
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.5)
            if ready:
                try:
                    data = os.read(fd, 65536)
                except OSError as e:
                    if e.errno != errno.EIO:
                        raise
                    data = b""
                if data:
                    shown += data
                    continue
                if status is not None:
                    break
            if status is None:
                done, code = os.waitpid(pid, os.WNOHANG)
                if done:
                    status = os.waitstatus_to_exitcode(code)
            elif not ready:
                break  # exited, and nothing more comes
    finally:
        os.close(fd)
        if status is None:
            os.kill(pid, 9)
            os.waitpid(pid, 0)
    text = ESCAPES.sub(b"", shown).decode("utf-8", "replace")
    return status, [line.strip("\r") for line in text.split("\n")]


def contains_run(lines, part):
    return any(lines[i:i + len(part)] == part for i in range(len(lines) - len(part) + 1))


class ConsoleRun(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="ksb-console-")
        shutil.copy2(ARGS.exe, self.root)
        shutil.copytree(EXAMPLE_FILES, os.path.join(self.root, "Files"))
        self.exe = os.path.basename(ARGS.exe)

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def redirected(self, argument):
        env = dict(os.environ, WINEDEBUG="-all")
        env.pop("DISPLAY", None)
        p = subprocess.run([ARGS.wine, os.path.join(self.root, self.exe), argument], cwd=self.root,
                           env=env, capture_output=True, timeout=300)
        return p.returncode, p.stdout.decode("utf-8").split("\r\n")[:-1], p.stderr

    def test_build_to_a_pipe_then_in_the_console_it_attaches_to(self):
        code, piped, err = self.redirected("build")
        self.assertEqual(code, 0, err)
        self.assertEqual(piped.count("done!"), 3, piped)
        shutil.rmtree(os.path.join(self.root, "_skin"))
        code, shown = run_in_console([ARGS.wine, "cmd", "/c", "start", "/wait", self.exe, "build"],
                                     self.root)
        self.assertEqual(code, 0, shown)
        self.assertTrue(contains_run(shown, piped), "\n".join(shown))
        self.assertEqual(len(os.listdir(os.path.join(self.root, "_skin"))), 3)

    def test_used_files_in_a_console_handed_down(self):
        code, shown = run_in_console([ARGS.wine, "cmd", "/c", self.exe, "/used"], self.root)
        self.assertEqual(code, 0, shown)
        self.assertEqual(shown.count("done!"), 3, shown)
        self.assertTrue(contains_run(shown, ["=" * 37, "vistel.rc"]), "\n".join(shown))
        self.assertTrue(os.path.exists(os.path.join(self.root, "UsedFiles", "vistel.rc")))
        self.assertFalse(os.path.exists(os.path.join(self.root, "Files", "vistel.rc")))

    def test_a_missing_file_is_logged_in_the_console_and_the_run_still_exits_0(self):
        os.remove(os.path.join(self.root, "Files", "data", "colors.txt"))
        code, shown = run_in_console([ARGS.wine, "cmd", "/c", "start", "/wait", self.exe, "x"],
                                     self.root)
        self.assertEqual(code, 0, shown)
        self.assertTrue(any(line.endswith('colors.txt" not found') for line in shown),
                        "\n".join(shown))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
