#!/usr/bin/python3
"""Independent check of a module written by the resource updater, with pefile.

For each file: parses it, reports every pefile warning except the two that a
module without an entry point always gets (and the byte statistic), prints the resource walk in the
file's order and compares the stored CheckSum with pefile's own computation.

Output, one line each:
  file PATH
  warning TEXT                                  (unexpected warnings only)
  res TYPE NAME LANG SIZE [CODEPAGE] [SHA256]   (numbers in decimal, names in double quotes)
  checksum stored=0x... computed=0x... ok|BAD

Exit status 0 when every file parsed without unexpected warnings, its
resource directory walked to leaves only at the third level, and its
checksum matched; 1 otherwise.
"""

import argparse
import hashlib
import os
import re
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from programs import label, resource_leaves  # noqa: E402

# A module with no code has its entry point at 0; pefile always says so.
EXPECTED_WARNINGS = (
    "SizeOfHeaders is smaller than AddressOfEntryPoint",
    "AddressOfEntryPoint lies outside the sections' boundaries",
)
# pefile also counts the bytes of the whole file and remarks when one value
# makes up much of it (zeros over half, any other byte over 15%): a statistic
# of the content (a small module padded to its file alignment, a large item of
# repeated bytes), not a finding about the structure.
BYTE_STATISTIC = re.compile(r"Byte 0x[0-9a-f]{2} makes up ")


def walk(pe, args, out):
    """Prints the resource leaves; returns False for a tree not of three levels
    or an item outside the image (each a "bad" line)."""
    problems = []
    for type_entry, name_entry, lang_entry in resource_leaves(pe, problems):
        out.extend(problems)
        problems.clear()
        data = lang_entry.data.struct
        fields = ["res", label(type_entry), label(name_entry), str(lang_entry.id), str(data.Size)]
        if args.codepage:
            fields.append(str(data.CodePage))
        if args.sha:
            blob = pe.get_data(data.OffsetToData, data.Size)
            if len(blob) != data.Size:
                out.append("bad data outside the image: " + " ".join(fields))
            fields.append(hashlib.sha256(blob).hexdigest())
        out.append(" ".join(fields))
    out.extend(problems)
    return not any(line.startswith("bad ") for line in out)


def check(path, args):
    out = ["file " + path]
    ok = True
    try:
        pe = pefile.PE(path, fast_load=False)
    except pefile.PEFormatError as error:
        out.append("error " + str(error))
        return False, out
    for warning in pe.get_warnings():
        if not warning.startswith(EXPECTED_WARNINGS) and not BYTE_STATISTIC.match(warning):
            out.append("warning " + warning)
            ok = False
    ok = walk(pe, args, out) and ok
    stored = pe.OPTIONAL_HEADER.CheckSum
    computed = pe.generate_checksum()
    good = stored == computed
    out.append(
        "checksum stored=0x%08x computed=0x%08x %s" % (stored, computed, "ok" if good else "BAD")
    )
    return ok and (good or args.allow_bad_checksum), out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="+")
    parser.add_argument("--sha", action="store_true", help="add the SHA-256 of each item")
    parser.add_argument("--codepage", action="store_true", help="add each item's code page")
    parser.add_argument(
        "--allow-bad-checksum",
        action="store_true",
        help="accept a stored checksum that differs (modules not written by the updater)",
    )
    args = parser.parse_args()
    sys.stdout.reconfigure(encoding="utf-8")
    all_ok = True
    for path in args.files:
        ok, lines = check(path, args)
        print("\n".join(lines))
        all_ok = all_ok and ok
    return 0 if all_ok else 1


if __name__ == "__main__":
    sys.exit(main())
