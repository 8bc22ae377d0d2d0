"""Every file of the corpus read by the peers (configparser, crudini) and asked of our tools (twini
get, the reader), and the answers tallied: agreement, and the causes of each disagreement."""

import collections
import os
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field

import causes
import layout
import peers
from ours import Answer


@dataclass
class FileResult:
    name: str  # the file's path inside the corpus
    path: str  # and where it is
    utf8: bool
    configparser: layout.Reading
    crudini: peers.CrudiniReading
    facts: causes.FileFacts
    answers: dict  # tool -> {(section, key): Answer}
    sections_seen: dict  # tool -> how many sections it finds (None: it failed to say)

    def pairs(self) -> list:
        """Every pair either peer finds, configparser's first."""
        found = dict.fromkeys(self.configparser.pairs)
        found.update(dict.fromkeys(self.crudini.pairs))
        return list(found)


def survey_file(corpus: str, name: str, twini, reader) -> FileResult:
    path = os.path.join(corpus, name)
    with open(path, "rb") as f:
        data = f.read()
    result = FileResult(name, path, layout.is_utf8(data), layout.read(data), peers.read(path),
                        causes.FileFacts.of(data), {}, {})
    pairs = result.pairs()
    result.answers["twini"] = {pair: twini.get(path, *pair) for pair in pairs}
    result.sections_seen["twini"] = twini.sections(path)
    result.answers["reader"], result.sections_seen["reader"] = reader.answers(path, pairs)
    return result


def survey(corpus: str, names: list, twini, reader, jobs: int) -> list:
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(lambda name: survey_file(corpus, name, twini, reader), names))


@dataclass
class Example:
    file: str
    section: str
    key: str
    expected: str
    answer: Answer
    lines: list  # (line number from 1, the line's bytes) of the header and the setting


@dataclass
class Tally:
    """One of our tools against one peer, over every pair the peer finds."""

    pairs: int = 0
    agree: int = 0
    causes: collections.Counter = field(default_factory=collections.Counter)
    files: dict = field(default_factory=lambda: collections.defaultdict(set))
    examples: dict = field(default_factory=lambda: collections.defaultdict(list))

    def agreement(self, left_out=()) -> tuple:
        """(agreeing pairs, pairs), leaving out the disagreements of the causes `left_out`."""
        return self.agree, self.pairs - sum(self.causes[c] for c in left_out)


def _context(facts: causes.FileFacts, section: str, key: str) -> list:
    lines = []
    for setting in causes.settings_of(facts, section, key)[:2]:
        header = causes.header_before(facts, setting.line)
        for i in ([header] if header is not None else []) + list(range(setting.line, setting.last + 1)):
            if (i + 1, facts.text(i)) not in lines:
                lines.append((i + 1, facts.text(i)))
    return lines


def tally(results: list, tool: str, peer: str, examples_per_cause: int) -> Tally:
    counts = Tally()
    for result in results:
        values = result.configparser.pairs if peer == "configparser" else result.crudini.pairs
        answers = result.answers[tool]
        missed = {}
        for (section, key), expected in values.items():
            answer = answers[(section, key)]
            counts.pairs += 1
            if answer.status == "value" and answer.value == layout.as_bytes(expected or ""):
                counts.agree += 1
            else:
                missed[(section, key)] = causes.classify(result.facts, section, key, expected,
                                                         answer, tool == "reader")
        if causes.read_as_one_line(result.facts, result.sections_seen[tool]):
            missed = dict.fromkeys(missed, "lf-one-line")
        for (section, key), cause in missed.items():
            expected, answer = values[(section, key)], answers[(section, key)]
            counts.causes[cause] += 1
            counts.files[cause].add(result.name)
            if len(counts.examples[cause]) < examples_per_cause and all(
                    e.file != result.name for e in counts.examples[cause]):
                counts.examples[cause].append(Example(result.name, section, key, expected, answer,
                                                      _context(result.facts, section, key)))
    return counts


@dataclass
class NonAscii:
    values: int = 0
    exact: int = 0
    files: int = 0
    exact_files: int = 0
    examples: list = field(default_factory=list)


def non_ascii(results: list, tool: str, examples: int) -> NonAscii:
    """Values holding a byte outside ASCII (as configparser reads them, or crudini where
    configparser refuses the file), and whether the tool printed exactly the file's bytes."""
    counts = NonAscii()
    for result in results:
        values = result.configparser.pairs or result.crudini.pairs
        wanted = {pair: layout.as_bytes(v) for pair, v in values.items()
                  if v and not layout.as_bytes(v).isascii()}
        if not wanted:
            continue
        exact = {pair for pair, v in wanted.items()
                 if result.answers[tool][pair].status == "value"
                 and result.answers[tool][pair].value == v}
        counts.values += len(wanted)
        counts.exact += len(exact)
        counts.files += 1
        counts.exact_files += len(exact) == len(wanted)
        for pair in wanted.keys() - exact:
            if len(counts.examples) < examples:
                counts.examples.append((result.name, pair, wanted[pair], result.answers[tool][pair]))
    return counts
