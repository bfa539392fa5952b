"""The documents a release package holds, made when it is packed.

  package_docs.py readme --system windows|linux --version V TEMPLATE OUT
      The skin authors' README from docs/authors-readme.txt. A "{windows|linux}"
      pair in the template keeps its first half for Windows and its second for
      Linux; a line that such a pair leaves empty is dropped. Windows gets CR LF
      line ends, for Notepad. The text is ASCII, or UTF-8 with a byte-order mark.

  package_docs.py guide SOURCE OUT
      docs/writing-skins.md as one page that needs no network and runs no
      script, rendered with Python-Markdown (Debian's python3-markdown). Fails
      when a "#anchor" link of the page has no element of that id.

Runs with /usr/bin/python3, which imports Debian's modules.
"""

import argparse
import html
import html.parser
import re
import sys

# A "{windows|linux}" pair: neither half holds a brace or a bar.
PAIR = re.compile(r"\{([^{}|]*)\|([^{}|]*)\}")

# The unpacker's sheet's look (app/unpack/skin_sheet.cpp), with a column
# narrow enough to read prose in.
STYLE = """
body{font:14px/1.5 system-ui,sans-serif;margin:0 24px 24px;color:#1d1d1f;background:#fafafa}
main{max-width:60em}
h1{margin:16px 0 4px}h2{margin:28px 0 8px;padding-top:12px;border-top:2px solid #888}
h3{margin:16px 0 6px;font-size:15px}
code{font-family:ui-monospace,monospace;font-size:12px;overflow-wrap:anywhere}
pre{background:#fff;border:1px solid #ccc;border-radius:4px;padding:8px;overflow-x:auto}
pre code{overflow-wrap:normal}
table{border-collapse:collapse;background:#fff}
th,td{border:1px solid #ccc;padding:3px 8px;text-align:left;vertical-align:top}
nav.toc{background:#fff;border:1px solid #ccc;border-radius:4px;padding:4px 12px;margin:12px 0}
nav.toc ul{margin:4px 0;padding-left:20px}
"""

# Offline and inert: styles from the page itself, nothing else at all.
POLICY = "default-src 'none'; style-src 'unsafe-inline'"


def readme(template, system, version):
    windows = system == "windows"
    # An empty half leaves a NUL, so that a line holding nothing else goes.
    text = PAIR.sub(lambda m: m.group(1 if windows else 2) or "\0",
                    template.replace("@VERSION@", version))
    lines = [line.replace("\0", "").rstrip() for line in text.split("\n")
             if "\0" not in line or line.strip(" \0")]
    text = re.sub(r"\n{4,}", "\n\n\n", "\n".join(lines)).strip("\n") + "\n"
    if "{" in text or "}" in text or "|" in text:
        raise ValueError("a {windows|linux} pair is left unclosed")
    if windows:
        text = text.replace("\n", "\r\n")
    data = text.encode("utf-8")
    return data if text.isascii() else b"\xef\xbb\xbf" + data


class Targets(html.parser.HTMLParser):
    """The ids of a page and the fragments its links name."""

    def __init__(self):
        super().__init__()
        self.ids, self.fragments = set(), []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        href = attrs.get("href") or ""
        if tag == "a" and href.startswith("#"):
            self.fragments.append(href[1:])


def guide(source):
    import markdown  # python3-markdown

    md = markdown.Markdown(extensions=["tables", "fenced_code", "toc"],
                           extension_configs={"toc": {"toc_depth": "2-2"}})
    body = md.convert(source)
    title = re.search(r"^# (.+)$", source, re.M).group(1).strip()
    page = ('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">\n'
            '<meta http-equiv="Content-Security-Policy" content="%s">\n'
            '<title>%s</title>\n<style>%s</style></head>\n<body><main>\n%s\n'
            '<nav class="toc"><b>Contents</b>\n%s</nav>\n%s\n</main></body></html>\n'
            % (POLICY, html.escape(title), STYLE, body[:body.index("</h1>") + 5], md.toc,
               body[body.index("</h1>") + 5:]))
    targets = Targets()
    targets.feed(page)
    missing = sorted({f for f in targets.fragments if f not in targets.ids})
    if missing:
        raise ValueError("links to no element: " + ", ".join("#" + f for f in missing))
    return page.encode("utf-8")


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="what", required=True)
    r = sub.add_parser("readme")
    r.add_argument("--system", choices=("windows", "linux"), required=True)
    r.add_argument("--version", required=True)
    g = sub.add_parser("guide")
    for p in (r, g):
        p.add_argument("source")
        p.add_argument("out")
    args = parser.parse_args()
    with open(args.source, encoding="utf-8") as f:
        source = f.read()
    try:
        data = readme(source, args.system, args.version) if args.what == "readme" else guide(source)
    except ValueError as e:
        sys.exit("%s: %s" % (args.source, e))
    with open(args.out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
