#!/usr/bin/env python3
"""Python's configparser on the peer benchmark's files, timed by itself.

peer_bench runs this as a child process, on the files it made, and reads its figures: two lines per
entry, "<row>/<id> wall" and "<row>/<id> cpu", then the wall-clock or CPU time of one operation in
nanoseconds for each repetition. Lines that start with "#" are comments. The operations and the way each repetition is made match peer_bench's:

- a load is ConfigParser(), read() and letting the object go;
- a lookup is ConfigParser.get(section, option, fallback=None) on the loaded full file, timed over
  enough calls for a repetition to take about 0.2 s (the figure includes the loop's own cost);
- an edit restores the 50 MB file and flushes it (not timed), then reads it, sets the value and writes
  the file through open(path, "w"), as the configparser documentation shows; the "_fsync" entry also
  flushes it with os.fsync before the file is closed. After the timing the file is flushed in any case.
"""
import argparse
import configparser
import os
import shutil
import sys
import time

MIN_SAMPLE_NS = 200_000_000


def load(path):
    parser = configparser.ConfigParser()
    parser.read(path, encoding="utf-8")
    return parser


class Samples:
    """Wall-clock and CPU time of one operation, one figure per repetition."""

    def __init__(self):
        self.wall = []
        self.cpu = []

    def time(self, operation, calls=1):
        wall, cpu = time.perf_counter_ns(), time.thread_time_ns()
        for _ in range(calls):
            operation()
        self.cpu.append((time.thread_time_ns() - cpu) / calls)
        self.wall.append((time.perf_counter_ns() - wall) / calls)


def calls_per_sample(operation):
    start = time.perf_counter_ns()
    operation()
    return max(1, MIN_SAMPLE_NS // max(time.perf_counter_ns() - start, 1))


def repeat(operation, reps):
    """Times `reps` repetitions, each of enough calls to take about MIN_SAMPLE_NS."""
    calls = calls_per_sample(operation)
    samples = Samples()
    for _ in range(reps):
        samples.time(operation, calls)
    return samples


def lookups(parser, section, option, reps):
    """As repeat(), with the calls written out in the loop rather than through a function."""
    get = parser.get
    start = time.perf_counter_ns()
    for _ in range(1000):
        get(section, option, fallback=None)
    calls = max(1000, MIN_SAMPLE_NS * 1000 // max(time.perf_counter_ns() - start, 1))
    samples = Samples()
    for _ in range(reps):
        wall, cpu = time.perf_counter_ns(), time.thread_time_ns()
        for _ in range(calls):
            get(section, option, fallback=None)
        samples.cpu.append((time.thread_time_ns() - cpu) / calls)
        samples.wall.append((time.perf_counter_ns() - wall) / calls)
    return samples


def restore(pristine, work):
    shutil.copyfile(pristine, work)
    with open(work, "rb+") as f:
        os.fsync(f.fileno())
    directory = os.open(os.path.dirname(work), os.O_RDONLY | os.O_DIRECTORY)
    try:
        os.fsync(directory)
    finally:
        os.close(directory)


def edit(path, value, flush):
    parser = configparser.ConfigParser()
    parser.read(path, encoding="utf-8")
    parser.set("Last", "Target", value)
    with open(path, "w", encoding="utf-8") as f:
        parser.write(f)
        if flush:
            f.flush()
            os.fsync(f.fileno())


def edits(pristine, work, flush, reps):
    samples = Samples()
    for rep in range(reps):
        restore(pristine, work)
        value = f"changed {rep}"
        samples.time(lambda: edit(work, value, flush))
        with open(work, "rb+") as f:
            os.fsync(f.fileno())  # what the save left unwritten is not left to the next measurement
        if load(work).get("Last", "Target") != value:
            raise SystemExit(f"configparser: the saved file does not hold {value!r}")
    return samples


def report(name, samples):
    print(name, "wall", " ".join(f"{ns:.1f}" for ns in samples.wall), flush=True)
    print(name, "cpu", " ".join(f"{ns:.1f}" for ns in samples.cpu), flush=True)


def main():
    args = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    args.add_argument("--reps", type=int, default=7)
    args.add_argument("--full", required=True)
    args.add_argument("--small", required=True)
    args.add_argument("--big", required=True)
    args.add_argument("--work", required=True)
    a = args.parse_args()

    print(f"# configparser of Python {'.'.join(map(str, sys.version_info[:3]))}", flush=True)
    report("load_full/configparser", repeat(lambda: load(a.full), a.reps))
    report("load_small/configparser", repeat(lambda: load(a.small), a.reps))

    parser = load(a.full)
    if parser.get("section10000", "key0") != "value 10000.0 of one setting, padded":
        raise SystemExit("configparser: wrong value of section10000/key0")
    if parser.get("section10000", "key9", fallback=None) is not None:
        raise SystemExit("configparser: found section10000/key9")
    report("lookup_hit/configparser", lookups(parser, "section10000", "key0", a.reps))
    report("lookup_missing/configparser", lookups(parser, "section10000", "key9", a.reps))
    del parser

    report("edit_big/configparser", edits(a.big, a.work, False, a.reps))
    report("edit_big/configparser_fsync", edits(a.big, a.work, True, a.reps))


if __name__ == "__main__":
    main()
