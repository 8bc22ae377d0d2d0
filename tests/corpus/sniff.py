#!/usr/bin/env python3
"""Prints the INI-style files of an unpacked package, one path (relative to the root) a line.

A file is kept when its name has one of the patterns below and its text looks like an INI file: at
least one "[section]" line, and such lines together with "name=value", "name: value" and bare "name"
lines (and their continuations) making up two thirds or more of what is not blank, a comment or an
"!include" line. With --cap N, at most N files of a package are kept, spread evenly over the sorted
list, so that one large package does not make up the corpus.
"""

import argparse
import fnmatch
import os
import re
import sys

NAME_PATTERNS = [
    # desktop entries and themes
    "*.desktop", "*.directory", "*.theme", "*.colorscheme", "*.rule",
    # systemd units and networkd files
    "*.service", "*.socket", "*.timer", "*.path", "*.mount", "*.automount", "*.target",
    "*.slice", "*.swap", "*.network", "*.netdev", "*.link", "*.nspawn",
    # configuration files of every kind
    "*.ini", "*.ini-*", "*.ini.*", "*.cnf", "*.cnf.*", "*.conf", "*.conf.*", "*.cfg", "*rc", "*.rc",
    "*.pkla", "*.keymap",
    ".editorconfig", "*gitconfig", "*.flatpakrepo", "*.flatpakref", "filetypes.*",
]
SKIPPED_DIRS = ("usr/share/man/", "usr/share/locale/", "usr/share/info/")
MAX_SIZE = 1 << 20

HEADER = re.compile(rb"^\[[^\[\]]*\]\s*([;#].*)?$")
SETTING = re.compile(rb"^[^\s=:;#\[][^=]*=|^[\w.\-]+\s*:\s|^[\w.\-]+$")  # a bare name: a flag
COMMENT = re.compile(rb"^[;#]")
DIRECTIVE = re.compile(rb"^!include")  # option files name other files this way


def looks_like_ini(data: bytes) -> bool:
    if b"\0" in data:
        return False
    headers = settings = other = 0
    after_setting = False
    for raw in data.splitlines():
        line = raw.strip()
        if not line or COMMENT.match(line) or DIRECTIVE.match(line):
            continue
        if raw[:1] in (b" ", b"\t") and after_setting:
            continue  # a continuation of the setting above
        after_setting = False
        if HEADER.match(line):
            headers += 1
        elif SETTING.match(line):
            settings += 1
            after_setting = True
        else:
            other += 1
    return headers >= 1 and 2 * other <= headers + settings


def candidates(root: str):
    for directory, subdirs, files in os.walk(root):
        subdirs.sort()
        for name in sorted(files):
            path = os.path.join(directory, name)
            rel = os.path.relpath(path, root)
            if rel.startswith(SKIPPED_DIRS) or any(c in rel for c in "\t\n\r"):
                continue
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            if not any(fnmatch.fnmatchcase(name, p) for p in NAME_PATTERNS):
                continue
            if os.path.getsize(path) > MAX_SIZE:
                continue
            with open(path, "rb") as f:
                if looks_like_ini(f.read()):
                    yield rel


def spread(items: list, cap: int) -> list:
    if cap <= 0 or len(items) <= cap:
        return items
    return [items[i * len(items) // cap] for i in range(cap)]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cap", type=int, default=0, help="at most this many files (0: all)")
    parser.add_argument("root", help="the unpacked package")
    args = parser.parse_args()
    for rel in spread(sorted(candidates(args.root)), args.cap):
        print(rel)
    return 0


if __name__ == "__main__":
    sys.exit(main())
