"""Runs the real program where its output cannot be written: a full disk (a
small tmpfs, where root may mount one), a file-size limit, a temporary folder
that does not exist, a folder in the way, killed runs. Each run either logs
"done!" with a module that pefile reads whole, or ends with one error line,
exit status 1 and no module file; the temporary folder is left empty.

Usage: test_failures.py --exe PATH [--wine WINE64] [unittest args]
Under --wine the small disks are reached through Z:, as any Linux folder.
"""

import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import test_cli
from test_cli import RT_RCDATA, LANG, SEPARATOR, resources

BIG = bytes(range(256)) * 4800  # 1.2 MB
SMALL = b"s" * 110


def module_error(pf, message):
    """The error line of a module that could not be written."""
    return 'Cannot write file "%s". %s' % (pf.log_path("_skin\\vistel.dll"), message)


def system_text(name):
    """The system's text for an error (the Linux program: Wine's cases that
    end in an error box are left to tests/wine_shell)."""
    return {"ENOSPC": "No space left on device.", "EFBIG": "File too large.",
            "ENOENT": "No such file or directory.", "EEXIST": "Not a directory."}[name]


class FailureCase(test_cli.CliCase):
    def setUp(self):
        super().setUp()
        self.mounts = []

    def tearDown(self):
        # Unmounted before the program folder goes, or its mount points stay.
        for at in self.mounts:
            subprocess.run(["umount", "-l", at], capture_output=True)
        super().tearDown()

    def mount_small_disk(self, relative, size="1m"):
        """A tmpfs of `size` at `relative` in the program folder, or a skip."""
        at = self.pf.path(*relative.split("\\"))
        os.makedirs(at, exist_ok=True)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", at],
                          capture_output=True).returncode != 0:
            self.skipTest("mounting a tmpfs is not permitted here (needs root)")
        self.mounts.append(at)
        return at

    def run_env(self, extra_env=None, preexec=None, *args):
        rc, out, err = self.pf.run(*(args or ["b"]), env=extra_env, preexec=preexec)
        return rc, out, err.strip()

    def skip_error_box(self):
        """The Windows program reports an error in its error box, which waits
        for a click; the wine_shell full-disk test reads and closes it."""
        if test_cli.ARGS.wine:
            self.skipTest("the Windows program shows this error in its error box")

    def assert_failed_row(self, rc, out, err, message=None, pattern=None):
        """One error line (`message`, or matching `pattern`), exit status 1, no module."""
        self.assertEqual(rc, 1, err)
        self.assertEqual(out, [SEPARATOR, "vistel.rc"])
        if pattern is None:
            self.assertEqual(err.splitlines(), [message])
        else:
            self.assertRegex(err, pattern)
        self.assertFalse(os.path.exists(self.pf.path("_skin", "vistel.dll")), "a module stayed")

    def write_skin(self):
        self.pf.write("Files\\vistel.rc", "1 RCDATA small.bin\n2 RCDATA big.bin\n")
        self.pf.write("Files\\small.bin", SMALL)
        self.pf.write("Files\\big.bin", BIG)


class FullDisk(FailureCase):
    def test_a_commit_that_does_not_fit_leaves_no_module(self):
        self.skip_error_box()
        self.write_skin()
        self.mount_small_disk("_skin")
        rc, out, err = self.pf.run("b")
        self.assert_failed_row(rc, out, err, module_error(self.pf, system_text("ENOSPC")))
        self.assertEqual(os.listdir(self.pf.path("_skin")), [])

    def test_a_commit_that_fits_is_whole(self):
        self.write_skin()
        self.mount_small_disk("_skin", "2m")
        rc, out, err = self.pf.run("b")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out[:3], [SEPARATOR, "vistel.rc", "done!"])
        self.assertEqual(resources(self.pf.module("vistel.dll")),
                         {(RT_RCDATA, 1, LANG): SMALL, (RT_RCDATA, 2, LANG): BIG})

    def test_a_template_copy_that_does_not_fit_is_removed(self):
        self.skip_error_box()
        self.pf.write("Files\\vistel.rc", "1 RCDATA small.bin\n")
        self.pf.write("Files\\small.bin", SMALL)
        disk = self.mount_small_disk("_skin", "64k")
        fd = os.open(os.path.join(disk, "filler"), os.O_WRONLY | os.O_CREAT)
        try:
            while os.write(fd, b"\0" * 4096):
                pass
        except OSError:
            pass
        finally:
            os.close(fd)
        rc, out, err = self.pf.run("b")
        self.assert_failed_row(rc, out, err, 'Cannot create file "%s". %s' % (
            self.pf.log_path("_skin\\vistel.dll"), system_text("ENOSPC")))

    def test_used_files_that_do_not_fit_stay_in_files_alone(self):
        self.write_skin()
        self.mount_small_disk("UsedFiles", "1m")
        rc, out, err = self.pf.run("/used")
        self.assertEqual(rc, 0, err)
        self.assertEqual(out[-1], "UsedFiles.Count = 3")
        # The script and the small file moved; the big one did not fit.
        self.assertEqual(test_cli.read_bytes(self.pf.path("UsedFiles", "small.bin")), SMALL)
        self.assertEqual(test_cli.read_bytes(self.pf.path("Files", "big.bin")), BIG)
        self.assertFalse(os.path.exists(self.pf.path("UsedFiles", "big.bin")), "a cut copy stayed")


class FileSizeLimit(FailureCase):
    """RLIMIT_FSIZE with SIGXFSZ ignored: writes past it fail with EFBIG. Runs everywhere."""

    @staticmethod
    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (1000000, 1000000))

    def test_a_module_past_the_limit_is_an_error_and_no_module(self):
        if test_cli.ARGS.wine:
            self.skipTest("Wine's own files are written under the same limit")
        # Each data file waits in a temporary file below the limit; the module would pass it.
        self.pf.write("Files\\vistel.rc", "1 RCDATA a.bin\n2 RCDATA b.bin\n")
        self.pf.write("Files\\a.bin", BIG[:600000])
        self.pf.write("Files\\b.bin", BIG[:600000])
        tmp = tempfile.mkdtemp(prefix="ksb-tmp-")
        self.addCleanup(shutil.rmtree, tmp, True)
        rc, out, err = self.run_env({"TMPDIR": tmp}, self.limited)
        self.assert_failed_row(rc, out, err, module_error(self.pf, system_text("EFBIG")))
        self.assertEqual(os.listdir(tmp), [])


class TemporaryFolder(FailureCase):
    def test_a_missing_temporary_folder_is_named_and_leaves_no_module(self):
        if test_cli.ARGS.wine:
            self.skipTest("Wine takes its temporary folder from the prefix, not from TMPDIR")
        self.pf.write("Files\\vistel.rc", "1 RCDATA small.bin\n2 RCDATA big.bin\n")
        self.pf.write("Files\\small.bin", SMALL)
        self.pf.write("Files\\big.bin", BIG[:200000])
        missing = self.pf.path("no-such-folder")
        rc, out, err = self.run_env({"TMPDIR": missing})
        self.assert_failed_row(rc, out, err, pattern=r'^Cannot create file "%s//\$kiv\$res\$[0-9a-f]{8}\$[0-9a-f]+\$"\. %s$' % (
            missing, system_text("ENOENT").replace(".", "\\.")))

    def test_killed_builds_leave_the_temporary_folder_empty(self):
        if test_cli.ARGS.wine:
            self.skipTest("Wine takes its temporary folder from the prefix, not from TMPDIR")
        rnd = random.Random(12)
        lines = []
        for i in range(40):
            self.pf.write("Files\\d%02d.bin" % i, os.urandom(300000))
            lines.append("%d RCDATA d%02d.bin" % (i + 1, i))
        self.pf.write("Files\\vistel.rc", "\n".join(lines) + "\n")
        tmp = tempfile.mkdtemp(prefix="ksb-tmp-")
        self.addCleanup(shutil.rmtree, tmp, True)
        env = dict(os.environ, TMPDIR=tmp)
        for _ in range(10):
            p = subprocess.Popen([self.pf.exe, "b"], cwd=self.pf.root, env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rnd.uniform(0.0, 0.08))
            p.send_signal(signal.SIGKILL)
            p.wait()
            self.assertEqual(os.listdir(tmp), [])


class Folders(FailureCase):
    def test_a_folder_that_cannot_be_made_is_named(self):
        self.skip_error_box()
        self.pf.write("Files\\vistel.rc", "1 RCDATA small.bin\n")
        self.pf.write("Files\\small.bin", SMALL)
        self.pf.write("_skin", "a file where the folder belongs")
        rc, out, err = self.pf.run("b")
        self.assert_failed_row(rc, out, err, 'Cannot create folder "%s". %s' % (
            self.pf.log_path("_skin"), system_text("EEXIST")))


def main():
    test_cli.main()


if __name__ == "__main__":
    main()
