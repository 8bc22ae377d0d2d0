#!/usr/bin/env python3
"""Compares `twini get` and the reader with configparser and crudini over a corpus of INI files,
checks twini's edits on scratch copies of each file, and times `twini get` against `crudini --get`.

Prints a Markdown table of the measures and writes it to --report; the examples behind each figure
go to --details. See README.md beside this script.
"""

import argparse
import os
import shlex
import sys
from dataclasses import dataclass, field

import causes
import edits
import ours
import report
import speed
import survey

HERE = os.path.dirname(os.path.abspath(__file__))
TREE = os.path.normpath(os.path.join(HERE, "..", ".."))


@dataclass
class Run:
    corpus: str
    twini_command: list
    reader_library: str
    reader_setup: list
    documented: list
    results: list = field(default_factory=list)
    tallies: dict = field(default_factory=dict)
    non_ascii: survey.NonAscii = None
    edit_counts: edits.EditTally = None
    timing: speed.Speed = None


def arguments() -> argparse.Namespace:
    build = os.path.join(TREE, "build", "release")
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", default=os.path.join(TREE, "build", "corpus", "files"),
                        help="the corpus (fetch.sh's CACHE/files; default: %(default)s)")
    parser.add_argument("--twini", default=os.path.join(build, "twini", "twini"))
    parser.add_argument("--twhost", default=os.path.join(build, "host", "twhost"))
    parser.add_argument("--reader", default=os.path.join(build, "ini", "libtw_ini.so"),
                        help="the reader's library, loaded by twhost")
    parser.add_argument("--twini-options", default="",
                        help='options given to every twini call, as one word: --twini-options="--exact"')
    parser.add_argument("--reader-setup", action="append", default=[], metavar="STATEMENT",
                        help='a script statement run after the reader is made ("r.LineEnds = 2")')
    parser.add_argument("--documented", default=",".join(causes.DOCUMENTED),
                        help="causes left out of the second agreement figures (default: %(default)s)")
    parser.add_argument("--non-ascii-value", default="ünïcødé ファイル")
    parser.add_argument("--report", default=os.path.join(TREE, "build", "corpus", "report.md"))
    parser.add_argument("--details", default=os.path.join(TREE, "build", "corpus", "details.md"))
    parser.add_argument("--only", default="", help="only the files whose path starts with this")
    parser.add_argument("--no-edits", action="store_true")
    parser.add_argument("--speed-pairs", type=int, default=1,
                        help="pairs per file timed (0: no timing; default %(default)s)")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--examples", type=int, default=3, help="examples kept per cause")
    parser.add_argument("--jobs", type=int, default=2, help="files read at once")
    args = parser.parse_args()
    unknown = set(filter(None, args.documented.split(","))) - set(causes.CAUSES)
    if unknown:
        parser.error(f"unknown causes in --documented: {', '.join(sorted(unknown))}; "
                     f"known: {', '.join(causes.CAUSES)}")
    for path in (args.twini, args.twhost, args.reader, args.corpus):
        if not os.path.exists(path):
            parser.error(f"not found: {path}")
    return args


def corpus_files(corpus: str, only: str) -> list:
    names = []
    for directory, _, files in os.walk(corpus):
        names += [os.path.relpath(os.path.join(directory, f), corpus) for f in files]
    return sorted(n for n in names if n.startswith(only))


def progress(text: str) -> None:
    print(text, file=sys.stderr, flush=True)


def main() -> int:
    args = arguments()
    twini = ours.Twini(os.path.abspath(args.twini), shlex.split(args.twini_options))
    reader = ours.Reader(os.path.abspath(args.twhost), os.path.abspath(args.reader),
                         args.reader_setup)
    names = corpus_files(args.corpus, args.only)
    run = Run(args.corpus, [twini.binary, *twini.options], reader.library, args.reader_setup,
              [c for c in args.documented.split(",") if c])

    progress(f"reading {len(names)} files with configparser, crudini, twini and the reader")
    run.results = survey.survey(args.corpus, names, twini, reader, args.jobs)
    for tool, peer in report.COMPARISONS:
        run.tallies[(tool, peer)] = survey.tally(run.results, tool, peer, args.examples)
    run.non_ascii = survey.non_ascii(run.results, "twini", args.examples)
    if not args.no_edits:
        progress("editing scratch copies")
        run.edit_counts = edits.run(args.corpus, names, twini, args.non_ascii_value, args.jobs,
                              args.examples)
    if args.speed_pairs > 0:
        pairs = speed.sample(run.results, args.speed_pairs)
        progress(f"timing {len(pairs)} pairs, {args.rounds} rounds")
        run.timing = speed.measure(pairs, twini, args.rounds)

    table = report.report(run)
    print(table)
    for path, text in ((args.report, table), (args.details, report.details(run))):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
    progress(f"written: {args.report}, {args.details}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
