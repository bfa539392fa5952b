"""How long headless Chromium takes to load skin.html pages and dump their
DOM, beyond an empty page: the medians of several runs, the pages taken in
turn so that a busy machine weighs on each alike.

    /usr/bin/python3 bench/sheet_load.py [--runs 5] PAGE.html [PAGE.html ...]

Each run starts Chromium with a fresh profile. Measured here on the sheet of
Wine's 32-bit shell32.dll (KestoSkinUnpack --out DIR shell32.dll), most of
the time is --dump-dom writing the DOM out, which grows with the page's
bytes; the same page loaded in a frame of an empty page costs far less.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]
EMPTY = '<!DOCTYPE html><html><head><meta charset="utf-8"><title>-</title></head><body></body></html>'


def load_seconds(browser, page):
    with tempfile.TemporaryDirectory() as profile:
        start = time.monotonic()
        out = subprocess.run([browser, *FLAGS, "--user-data-dir=" + profile, "--dump-dom",
                              "file://" + os.path.abspath(page)], capture_output=True, timeout=600)
        seconds = time.monotonic() - start
    if out.returncode != 0 or b"</html>" not in out.stdout:
        raise RuntimeError("chromium failed on %s: %s" % (page, out.stderr[-300:]))
    return seconds


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("pages", nargs="+")
    a = ap.parse_args()
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        print("chromium is not installed")
        return 1
    with tempfile.TemporaryDirectory() as folder:
        empty = os.path.join(folder, "empty.html")
        with open(empty, "w") as f:
            f.write(EMPTY)
        pages = [empty] + a.pages
        times = {page: [] for page in pages}
        for _ in range(a.runs):
            for page in pages:
                times[page].append(load_seconds(browser, page))
        base = statistics.median(times[empty])
        print("empty page: median %.2f s" % base)
        for page in a.pages:
            median = statistics.median(times[page])
            print("%s (%.1f MB): median %.2f s, %.2f s beyond the empty page (runs: %s)" %
                  (page, os.path.getsize(page) / 1e6, median, median - base,
                   " ".join("%.2f" % t for t in times[page])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
