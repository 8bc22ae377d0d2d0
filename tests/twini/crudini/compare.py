#!/usr/bin/env python3
"""Compares two runs recorded by run_cases.sh, case by case.

    compare.py [--ignore-stderr-text] [--quiet] A_DIR B_DIR

For each case whose records differ, prints what differs: the exit status, standard output, standard
error, a file's bytes or mode, or a file that one run left and the other did not (a unified diff of
the escaped lines where there are lines to compare). Then a summary line. Exits 0 when every case
matches, 1 when some differ or are missing from one run, 2 on bad usage.

--ignore-stderr-text compares only whether standard error is empty, not its text (messages may name
the program or word things their own way); the exit status is still compared.
--quiet prints only the names of the differing cases and the summary.
"""

import argparse
import difflib
import os
import sys


def parse(path):
    """The record's parts, keyed by their title ("status", "stdout", "file f.ini", ...)."""
    parts = {}
    title = None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("|") and title is not None:
                parts[title][1].append(line)
                continue
            head, _, rest = line.partition(": ") if ": " in line else line.partition(":")
            key, meta = head, ""
            # "file f.ini (-rw-r--r--, 1 link)": the key is the name, the mode and links are compared too.
            if head.startswith(("file ", "directory ", "other ")) and head.endswith(")"):
                key, _, meta = head.partition(" (")
                meta = "(" + meta
            elif head.startswith("symlink "):
                key, _, meta = head.partition(" -> ")
            title = key
            parts[title] = [(meta + " " + rest).strip(), []]
    return parts


def describe(part):
    meta, lines = part
    return [meta] + lines if meta else lines


def main():
    ap = argparse.ArgumentParser(description="Compare two recorded runs of the cases.")
    ap.add_argument("--ignore-stderr-text", action="store_true")
    ap.add_argument("--quiet", action="store_true")
    ap.add_argument("a")
    ap.add_argument("b")
    args = ap.parse_args()
    for d in (args.a, args.b):
        if not os.path.isdir(d):
            ap.error("not a directory: " + d)

    names_a = {n[:-4] for n in os.listdir(args.a) if n.endswith(".txt")}
    names_b = {n[:-4] for n in os.listdir(args.b) if n.endswith(".txt")}
    differing = 0
    for name in sorted(names_a - names_b):
        print("%s: only in %s" % (name, args.a))
    for name in sorted(names_b - names_a):
        print("%s: only in %s" % (name, args.b))

    for name in sorted(names_a & names_b):
        a = parse(os.path.join(args.a, name + ".txt"))
        b = parse(os.path.join(args.b, name + ".txt"))
        if args.ignore_stderr_text:
            for parts in (a, b):
                if "stderr" in parts:
                    empty = parts["stderr"][0] == "(empty)"
                    parts["stderr"] = ["(empty)" if empty else "(not empty)", []]
        keys = [k for k in a if not k.startswith("case ")] + [k for k in b if k not in a and not k.startswith("case ")]
        report = []
        for key in keys:
            if key not in a:
                report.append("  %s: only in %s" % (key, args.b))
            elif key not in b:
                report.append("  %s: only in %s" % (key, args.a))
            elif a[key] != b[key]:
                if key == "command" or key.startswith("given"):
                    report.append("  %s: not the same case (stale record?)" % key)
                    continue
                report.append("  %s differs:" % key)
                if not a[key][1] and not b[key][1]:
                    report.append("    - " + a[key][0])
                    report.append("    + " + b[key][0])
                    continue
                diff = difflib.unified_diff(describe(a[key]), describe(b[key]), args.a, args.b,
                                            lineterm="", n=2)
                report += ["    " + line for line in list(diff)[2:]]
        if report:
            differing += 1
            print(name + (": " + a["command"][0] if "command" in a else ""))
            if not args.quiet:
                print("\n".join(report))

    missing = len(names_a ^ names_b)
    total = len(names_a | names_b)
    print("%d cases: %d the same, %d differ, %d in one run only"
          % (total, total - differing - missing, differing, missing))
    return 1 if differing or missing else 0


if __name__ == "__main__":
    sys.exit(main())
