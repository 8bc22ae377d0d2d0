#!/usr/bin/env python3
"""twini under the name crudini against crudini itself over the corpus: for each file crudini reads, a
get, a set, a del and a merge of three settings of its first key's section, each run by both programs
on a fresh scratch copy of the file. Prints, per operation, the total time of each program over the
files (the median of the rounds), their ratio, and on how many files the two left the same bytes and
printed the same output with the same exit status. The time of starting `true` as many times the same
way is measured too, and a second ratio takes it off both programs' times.

    tests/corpus/compat_speed.py [--corpus DIR] [--crudini-link PATH] [--rounds N] [--only PREFIX]

The link defaults to the release build's (build/release/twini/compat/crudini). Each round runs every
file's operation through one program, then through the other, in turns that alternate which goes first.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from peers import ENV

HERE = os.path.dirname(os.path.abspath(__file__))
TREE = os.path.normpath(os.path.join(HERE, "..", ".."))
OPERATIONS = ("get", "set", "del", "merge of three")


def arguments() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", default=os.path.join(TREE, "build", "corpus", "files"))
    parser.add_argument("--crudini-link",
                        default=os.path.join(TREE, "build", "release", "twini", "compat", "crudini"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--only", default="", help="only the files whose path starts with this")
    parser.add_argument("--differences", action="store_true",
                        help="name, on standard error, each file and operation where the two differ")
    return parser.parse_args()


def first_pair(path: str):
    """The first section crudini lists that has a key, and that key; None where crudini fails."""
    sections = subprocess.run(["crudini", "--get", path], capture_output=True, env=ENV, check=False)
    if sections.returncode != 0:
        return None
    for section in sections.stdout.decode("utf-8", "surrogateescape").splitlines():
        keys = subprocess.run(["crudini", "--get", path, section], capture_output=True, env=ENV, check=False)
        names = keys.stdout.decode("utf-8", "surrogateescape").splitlines()
        if keys.returncode == 0 and names:
            return section, names[0]
    return None


def argv_of(operation: str, path: str, section: str, key: str):
    """crudini's arguments after the program and the standard input of the operation."""
    if operation == "get":
        return ["--get", path, section, key], b""
    if operation == "set":
        return ["--set", path, section, key, "changed by the benchmark"], b""
    if operation == "del":
        return ["--del", path, section, key], b""
    fragment = f"[{section}]\n{key} = merged\nbench_one = 1\nbench_two = 2\n"
    return ["--merge", path], fragment.encode("utf-8", "surrogateescape")


def fresh_copy(source: str, scratch: str) -> None:
    """The file copied and put on the disk, with its directory, so that a run never pays for the copy."""
    shutil.copyfile(source, scratch)
    for path, flags in ((scratch, os.O_RDONLY), (os.path.dirname(scratch), os.O_RDONLY | os.O_DIRECTORY)):
        fd = os.open(path, flags)
        try:
            os.fsync(fd)
        finally:
            os.close(fd)


def run(program: str, source: str, scratch: str, operation: str, pair) -> tuple:
    """One run on a fresh copy: (seconds, exit status, output, the file's bytes after)."""
    fresh_copy(source, scratch)
    args, stdin = argv_of(operation, scratch, *pair)
    args = [a.encode("utf-8", "surrogateescape") for a in args]
    start = time.perf_counter()
    done = subprocess.run([program, *args], input=stdin, capture_output=True, env=ENV, check=False)
    seconds = time.perf_counter() - start
    with open(scratch, "rb") as f:
        return seconds, done.returncode, done.stdout, f.read()


def main() -> int:
    args = arguments()
    link = os.path.abspath(args.crudini_link)
    if not os.path.exists(link) or shutil.which("crudini") is None:
        sys.exit(f"compat_speed: needs {link} and crudini on PATH")
    files = []
    for directory, _, names in os.walk(args.corpus):
        for name in names:
            path = os.path.join(directory, name)
            if os.path.relpath(path, args.corpus).startswith(args.only):
                files.append(path)
    files.sort()
    chosen = [(path, pair) for path in files if (pair := first_pair(path)) is not None]
    print(f"compat_speed: {len(chosen)} of {len(files)} files crudini reads with a key", file=sys.stderr)

    totals = {(op, who): [] for op in OPERATIONS for who in ("twini", "crudini")}
    same = {op: 0 for op in OPERATIONS}
    with tempfile.TemporaryDirectory() as scratch_dir:
        scratch = os.path.join(scratch_dir, "file.ini")
        for round_number in range(args.rounds):
            spent = {key: 0.0 for key in totals}
            for index, (path, pair) in enumerate(chosen):
                for op in OPERATIONS:
                    order = [("twini", link), ("crudini", "crudini")]
                    if (index + round_number) % 2:
                        order.reverse()
                    results = {}
                    for who, program in order:
                        seconds, *result = run(program, path, scratch, op, pair)
                        spent[(op, who)] += seconds
                        results[who] = result
                    if round_number == 0 and results["twini"] == results["crudini"]:
                        same[op] += 1
                    elif round_number == 0 and args.differences:
                        ours, theirs = results["twini"], results["crudini"]
                        what = [name for name, a, b in zip(("status", "output", "file"), ours, theirs) if a != b]
                        print(f"{op}: {os.path.relpath(path, args.corpus)} {pair}: {', '.join(what)} "
                              f"(status {ours[0]} / {theirs[0]})", file=sys.stderr)
            for key, seconds in spent.items():
                totals[key].append(seconds)

    # What starting a process from here costs by itself (`true`, as each run is started), taken off both
    # for the second ratio.
    starts = []
    for _ in range(5):
        start = time.perf_counter()
        for _ in range(len(chosen)):
            subprocess.run(["true"], input=b"", capture_output=True, env=ENV, check=False)
        starts.append(time.perf_counter() - start)
    harness = statistics.median(starts)

    print(f"| operation ({len(chosen)} files, median of {args.rounds} rounds) | twini as crudini | crudini "
          "| crudini time / twini's | the same, each less `true`'s | same bytes, output and status |")
    print("|---|---:|---:|---:|---:|---:|")
    for op in OPERATIONS:
        ours = statistics.median(totals[(op, "twini")])
        theirs = statistics.median(totals[(op, "crudini")])
        print(f"| {op} | {ours:.2f} s | {theirs:.2f} s | {theirs / ours:.1f} | "
              f"{(theirs - harness) / (ours - harness):.1f} | {same[op]} / {len(chosen)} |")
    print(f"\n`true`, started {len(chosen)} times the same way: {harness:.2f} s.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
