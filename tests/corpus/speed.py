"""The time of `twini get` against `crudini --get` over the same pairs: each round runs every pair
through twini, one process after the other, then every pair through crudini; the figures are the
medians of the rounds."""

import statistics
import subprocess
import time
from dataclasses import dataclass

import peers
from layout import as_bytes


@dataclass
class Speed:
    pairs: int
    files: int
    rounds: int
    twini: float  # seconds, median of the rounds
    crudini: float


def sample(corpus_results: list, per_file: int) -> list:
    """The first `per_file` pairs of each file (configparser's, then crudini's): (path, section, key)."""
    chosen = []
    for result in corpus_results:
        chosen += [(result.path, *pair) for pair in result.pairs()[:per_file]]
    return chosen


def _total(commands: list, env=None) -> float:
    start = time.perf_counter()
    for command in commands:
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                       check=False)
    return time.perf_counter() - start


def measure(pairs: list, twini, rounds: int) -> Speed:
    ours = [twini.command("get", path, section, key) for path, section, key in pairs]
    theirs = [["crudini", "--get", path, as_bytes(section), as_bytes(key)]
              for path, section, key in pairs]
    times = [(_total(ours), _total(theirs, peers.ENV)) for _ in range(rounds)]
    return Speed(len(pairs), len({p for p, _, _ in pairs}), rounds,
                 statistics.median(t for t, _ in times), statistics.median(c for _, c in times))
