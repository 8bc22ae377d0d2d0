"""crudini's reading of a file: its sections, their keys and the keys' values.

Two crudini runs read a whole file: `crudini --get FILE` names the sections, and
`crudini --get --format=lines FILE` prints every key as "[ section ] key = value". That form writes
a line break of a value as backslash-n, so a value printed with a backslash in it is asked for once
more by itself, as `crudini --get FILE SECTION KEY`.
"""

import os
import subprocess
from dataclasses import dataclass, field

from layout import as_text

ENV = dict(os.environ, LC_ALL="C.UTF-8")


@dataclass
class CrudiniReading:
    pairs: dict = field(default_factory=dict)  # (section, key) -> value
    error: str = ""  # why crudini refused the file, or ""


def run_crudini(*args) -> subprocess.CompletedProcess:
    return subprocess.run(["crudini", *args], capture_output=True, env=ENV, check=False)


def _failure(done: subprocess.CompletedProcess) -> str:
    lines = as_text(done.stderr).strip().splitlines()
    return lines[0] if lines else f"exit status {done.returncode}"


def crudini_value(path: str, section: str, key: str):
    """The value as `crudini --get` prints it, or None when crudini fails."""
    done = run_crudini("--get", path, section, key)
    if done.returncode != 0:
        return None
    return as_text(done.stdout.removesuffix(b"\n"))


def read(path: str) -> CrudiniReading:
    result = CrudiniReading()
    listing = run_crudini("--get", path)
    if listing.returncode != 0:
        result.error = _failure(listing)
        return result
    sections = as_text(listing.stdout).split("\n")[:-1]
    dump = run_crudini("--get", "--format=lines", path)
    if dump.returncode != 0:
        result.error = _failure(dump)
        return result
    # The longest name first, so that a section whose name begins with another's is not taken for it.
    prefixes = sorted((("[ %s ]" % s, s) for s in sections), key=lambda p: -len(p[0]))
    for line in as_text(dump.stdout).split("\n")[:-1]:
        section = next((s for p, s in prefixes if line == p or line.startswith(p + " ")), None)
        if section is None:
            result.error = "unreadable line of --format=lines: " + line
            return result
        rest = line[len("[ %s ]" % section) + 1:]
        if not rest:
            continue  # a section without keys
        key, _, value = rest.partition(" = ")
        if "\\" in value:
            value = crudini_value(path, section, key)
            if value is None:
                result.error = f"--get of [{section}] {key} failed"
                return result
        result.pairs[(section, key)] = value
    return result
