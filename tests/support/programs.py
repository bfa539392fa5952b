"""The programs run as their users run them, for the Python tests: a copy of
the program in a scratch program folder, started there on Linux or under Wine
(through the runner the build names, which keeps the build's prefix), and the
readers of what they write: a module's resources through pefile, string
blocks, icon groups, .ico files and whole folders.

Run with /usr/bin/python3, which has Debian's python3-pefile.
"""

import os
import shutil
import struct
import subprocess
import tempfile

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXAMPLE_FILES = os.path.join(SOURCE_DIR, "examples", "Files")
RT_ICON, RT_STRING, RT_RCDATA, RT_GROUP_ICON = 3, 6, 10, 14
LANG = 1049


# ---------------------------------------------------------------- files

def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    """Writes bytes or text (as UTF-8), making the folders on the way."""
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)
    return path


def tree(folder):
    """Every file below `folder` as {relative path: bytes}."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            files[os.path.relpath(path, folder)] = read(path)
    return files


def first_difference(a, b):
    """The first offset at which two byte strings differ (the shorter length
    where one is the start of the other)."""
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def windows_path(path):
    """A Linux path as a program under Wine sees it (Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------- running

def environment(extra=None, display=False):
    """The environment of a run: Wine quiet, and no display unless asked for
    (a command-line run needs none)."""
    env = dict(os.environ, WINEDEBUG="-all")
    if not display:
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
    env.update(extra or {})
    return env


def output_lines(data):
    return data.decode("utf-8").replace("\r\n", "\n").splitlines()


def command(exe, wine, args):
    """The command line of `exe` with `args`, through the Wine runner when
    there is one."""
    return ([wine] if wine else []) + [exe] + list(args)


def run(exe, args, cwd, wine=None, env=None, timeout=300, preexec=None):
    """Runs `exe` with `args` in `cwd`, with no standard input; returns the
    subprocess.CompletedProcess with its output as bytes.

    The output goes to temporary files, not pipes: under Wine a process the
    program's start brings up (the desktop's explorer, a service) can keep
    the streams it inherited open long after the program ended, and a run
    that read pipes to their end would wait for it."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(command(exe, wine, args), cwd=cwd, env=env or environment(),
                              stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout,
                              preexec_fn=preexec)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode, out.read(), err.read())


def run_copy(exe, args, cwd, wine=None, timeout=300):
    """Runs a copy of `exe` placed in `cwd` for the run, from there, with
    `args` as they are: (exit status, standard output lines, standard error
    lines). The Wine runner's own notes (a locale it cannot set) are not the
    program's and are left out."""
    local = os.path.join(cwd, os.path.basename(exe))
    shutil.copy2(exe, local)
    try:
        p = run(local, args, cwd, wine, timeout=timeout)
    finally:
        os.remove(local)
    err = [line for line in output_lines(p.stderr)
           if not (wine and line.startswith(wine + ":"))]
    return p.returncode, output_lines(p.stdout), err


class ProgramFolder:
    """A scratch program folder holding a copy of the program (and, with
    `example`, a copy of the example skin's Files); remove it with cleanup()."""

    def __init__(self, exe, wine=None, example=False, prefix="ksb-"):
        self.wine = wine
        self.root = tempfile.mkdtemp(prefix=prefix)
        self.exe = os.path.join(self.root, os.path.basename(exe))
        shutil.copy2(exe, self.exe)
        if example:
            shutil.copytree(EXAMPLE_FILES, self.path("Files"))

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def log_path(self, relative):
        """A path below the folder as the program writes it in its log."""
        if self.wine:
            return "Z:" + self.root.replace("/", "\\") + "\\" + relative
        return self.root + "/" + relative.replace("\\", "/")

    def write(self, relative, data):
        """Writes a file at a path written with "\\"; returns its full path."""
        return write(self.path(*relative.split("\\")), data)

    def run(self, *args, timeout=120, env=None, preexec=None):
        """Runs the copy from its folder: (exit status, standard output lines,
        standard error text)."""
        p = run(self.exe, args, self.root, self.wine, environment(env), timeout, preexec)
        return p.returncode, output_lines(p.stdout), p.stderr.decode("utf-8", "replace")

    def module(self, name):
        return read(self.path("_skin", name))


# ---------------------------------------------------------------- modules

def resource_leaves(pe, problems=None):
    """Yields (type entry, name entry, language entry) for each leaf of a
    pefile resource tree, in file order. An entry without the level below it
    goes into `problems` as a line, or raises ValueError without a list."""
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return

    def bad(text, entry):
        line = "bad %s: %s" % (text, label(entry))
        if problems is None:
            raise ValueError(line)
        problems.append(line)

    for type_entry in root.entries:
        if not hasattr(type_entry, "directory"):
            bad("type entry without a directory", type_entry)
            continue
        for name_entry in type_entry.directory.entries:
            if not hasattr(name_entry, "directory"):
                bad("name entry without a directory", name_entry)
                continue
            for lang_entry in name_entry.directory.entries:
                if not hasattr(lang_entry, "data"):
                    bad("language entry without data", lang_entry)
                    continue
                yield type_entry, name_entry, lang_entry


def label(entry):
    """A resource directory entry's name in double quotes, or its number."""
    if entry.name is not None:
        # pefile hands names over as UTF-8 bytes.
        return '"' + entry.name.decode("utf-8") + '"'
    return str(entry.id)


def key(entry):
    """A resource directory entry as a map key: its name, or its number."""
    return str(entry.name) if entry.name is not None else entry.id


def resources(module, check=False):
    """{(type, name, language): bytes} of a module (its bytes or its path),
    read by pefile. With `check`, it must be a PE32 module whose stored
    CheckSum is pefile's own."""
    import pefile

    pe = pefile.PE(data=module) if isinstance(module, bytes) else pefile.PE(module)
    if check:
        assert pe.OPTIONAL_HEADER.Magic == 0x10B
        assert pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum(), "checksum"
    out = {}
    for t, n, lang in resource_leaves(pe):
        e = lang.data.struct
        out[(key(t), key(n), lang.id)] = pe.get_data(e.OffsetToData, e.Size)
    pe.close()
    return out


def string_block(texts):
    """The RT_STRING block as the build writes it: entry 0, the texts, completion."""
    out = struct.pack("<H", 0)
    for t in texts:
        units = t.encode("utf-16-le")
        out += struct.pack("<H", len(units) // 2) + units
    for _ in range(len(texts) + 1, 16):
        out += struct.pack("<H", 0)
    return out


def strings(block):
    """The texts of a string block, one for each of its entries."""
    out, pos = [], 0
    while pos + 2 <= len(block):
        n = int.from_bytes(block[pos:pos + 2], "little")
        out.append(block[pos + 2: pos + 2 + 2 * n].decode("utf-16-le"))
        pos += 2 + 2 * n
    return out


def icon_images(ico):
    """An .ico file's header (6 bytes) and its images, each as (the 12 entry
    bytes a group repeats, the image's bytes)."""
    count = struct.unpack_from("<H", ico, 4)[0]
    images = []
    for k in range(count):
        size, offset = struct.unpack_from("<II", ico, 6 + 16 * k + 8)
        images.append((ico[6 + 16 * k: 6 + 16 * k + 12], ico[offset: offset + size]))
    return ico[:6], images


def group_contents(res, name, language):
    """An icon group's header, then its entries without their IDs, each with
    its image's bytes."""
    group = res[(RT_GROUP_ICON, name, language)]
    count = int.from_bytes(group[4:6], "little")
    out = [group[:6]]
    for k in range(count):
        entry = group[6 + 14 * k: 20 + 14 * k]
        out.append((entry[:12], res[(RT_ICON, int.from_bytes(entry[12:], "little"), language)]))
    return out
