"""twini's edits on scratch copies of the corpus, checked byte for byte and by configparser.

For each file, six edits of its first section that has a setting and of that setting's key: set it
to an ASCII value and to a non-ASCII one, set a new key in the section, set a new key in a new
section, delete the key, delete the section. After each:

(a) status: the edit is done (exit status 0, the file changed) or refused with a clear status (a
    non-zero exit status, a message, the file as it was); anything else is unclear;
(b) bytes: the file is byte for byte as before outside the lines the edit means to change (the
    key's lines, or the section's; new lines may go only inside the section, or at the end of the
    file or before a header for a new section), except a final line end added where there was none;
(c) meaning: configparser still reads the file, every other (section, key) as before and the
    edited one as intended (checked where configparser read the file before the edit);
(d) text: a file that was valid UTF-8 still is.
"""

import collections
import difflib
import os
import shutil
import subprocess
import tempfile
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field

import layout

NEW_KEY, NEW_SECTION, NEW_VALUE = "corpus_new_key", "corpus-new-section", "corpus-value"
KINDS = ["set (ASCII)", "set (non-ASCII)", "set new key", "set new section", "del key",
         "del section"]
CHECKS = ["a: status", "b: bytes", "c: meaning", "d: UTF-8"]


@dataclass
class Edit:
    kind: str
    command: tuple  # (verb, section, [key, [value]])
    target: tuple  # the (section, key) it edits; (section, None) for a whole section
    may_change: set  # indices of the lines the edit means to change
    may_insert: set  # positions (before line n; len: at the end) where new lines may go
    expected: dict  # configparser's pairs after the edit


def is_blank(line: bytes) -> bool:
    return not line.strip()


def is_comment(line: bytes) -> bool:
    return line.lstrip()[:1] in (b";", b"#")


def set_off(lines: list, header: int) -> set:
    """What belongs to the header at line `header` above it, and goes with its section when it is
    deleted: the comment lines directly above it, and one blank line before them."""
    above, at = set(), header
    while at > 0 and is_comment(lines[at - 1]):
        at -= 1
        above.add(at)
    if at > 0 and is_blank(lines[at - 1]):
        above.add(at - 1)
    return above


def plan(data: bytes, reading: layout.Reading, values: dict, non_ascii: str) -> list:
    """The six edits of a file: `reading` locates the lines (configparser's tolerant reading),
    `values` are the pairs configparser reads before the edit."""
    first = next((s for s in reading.settings if s.section != layout.PRELUDE), None)
    if first is None:
        return []
    section, key = first.section, first.key
    lines = layout.split_lines(data)
    key_lines = {i for s in reading.setting_lines(section, key) for i in range(s.line, s.last + 1)}
    starts = sorted(i for i, _ in reading.headers) + [len(lines)]
    section_lines, inside = set(), set()
    for n, header in enumerate(reading.header_lines(section)):
        end = next(i for i in starts if i > header)
        section_lines |= set(range(header, end)) | set_off(lines, header)
        if n == 0:
            inside = set(range(header + 1, end + 1))
        if not "".join(x.decode("utf-8", "replace") for x in lines[:header]).strip() and end < len(lines):
            # Nothing above the section: the blank line that sets off the next one goes too.
            section_lines |= {i for i in set_off(lines, end) if is_blank(lines[i])}
    between = {i for i, _ in reading.headers} | {len(lines)}

    def expect(change):
        after = dict(values)
        change(after)
        return after

    def setting(value):
        return lambda after: after.__setitem__((section, key), value)

    return [
        Edit(KINDS[0], ("set", section, key, "corpus-edit"), (section, key), key_lines, set(),
             expect(setting("corpus-edit"))),
        Edit(KINDS[1], ("set", section, key, non_ascii), (section, key), key_lines, set(),
             expect(setting(non_ascii))),
        Edit(KINDS[2], ("set", section, NEW_KEY, NEW_VALUE), (section, NEW_KEY), set(), inside,
             expect(lambda after: after.__setitem__((section, NEW_KEY), NEW_VALUE))),
        Edit(KINDS[3], ("set", NEW_SECTION, NEW_KEY, NEW_VALUE), (NEW_SECTION, NEW_KEY), set(),
             between,
             expect(lambda after: after.__setitem__((NEW_SECTION, NEW_KEY), NEW_VALUE))),
        Edit(KINDS[4], ("del", section, key), (section, key), key_lines, set(),
             expect(lambda after: after.pop((section, key), None))),
        Edit(KINDS[5], ("del", section), (section, None), section_lines, set(),
             expect(lambda after: [after.pop(p) for p in list(after) if p[0] == section])),
    ]


def outside_unchanged(before: list, after: list, may_change: set, may_insert: set) -> bool:
    """Whether `after` is `before` with only the lines of `may_change` changed or removed and new
    lines only in their place or at the positions of `may_insert`.

    The other lines form blocks, cut at each position of `may_insert`. Each block must stand whole
    in `after`, in order; other lines may come before a block only where it does not begin the file
    (then lines of `may_change` or an insertion point precede it), and after the last block only
    where lines of `may_change` or an insertion point follow it."""
    blocks, start = [], None
    for i in range(len(before) + 1):
        fixed = i < len(before) and i not in may_change
        if start is not None and (not fixed or i in may_insert):
            blocks.append((start, i))
            start = None
        if fixed and start is None:
            start = i
    j = 0
    for start, end in blocks:
        block = before[start:end]
        if start == 0 and 0 not in may_insert:
            found = 0 if after[:len(block)] == block else -1
        else:
            found = next((k for k in range(j, len(after) - len(block) + 1)
                          if after[k:k + len(block)] == block), -1)
        if found < 0:
            return False
        j = found + len(block)
    open_end = not blocks or blocks[-1][1] < len(before) or len(before) in may_insert
    return open_end or j == len(after)


@dataclass
class Outcome:
    kind: str
    failed: list = field(default_factory=list)  # the failed checks: (check, reason, detail)
    status: str = ""  # "done", "refused (exit N)" or "unclear: ..."
    message: str = ""


def check(edit: Edit, twini, data: bytes, values_before, path: str) -> Outcome:
    outcome = Outcome(edit.kind)
    done = subprocess.run(twini.command(*edit.command[:1], path, *edit.command[1:]),
                          capture_output=True, check=False)
    with open(path, "rb") as f:
        after = f.read()
    outcome.message = done.stderr.decode("utf-8", "replace").strip()
    changed = after != data
    if done.returncode == 0 and changed:
        outcome.status = "done"
    elif done.returncode in (1, 3) and outcome.message and not changed:
        outcome.status = f"refused (exit {done.returncode})"
    else:
        outcome.status = (f"unclear: exit {done.returncode}, "
                          f"{'changed' if changed else 'unchanged'}, "
                          f"{'a message' if outcome.message else 'no message'}")
        outcome.failed.append(("a: status", outcome.status, outcome.message))
    if not changed:
        return outcome
    before_lines, after_lines = layout.split_lines(data), layout.split_lines(after)
    ended = before_lines[:-1] + [before_lines[-1] + layout.line_end(data)] if before_lines and \
        not before_lines[-1].endswith((b"\n", b"\r")) else before_lines
    if not any(outside_unchanged(b, after_lines, edit.may_change, edit.may_insert)
               for b in (before_lines, ended)):
        outcome.failed.append(("b: bytes", _why_bytes(ended, after_lines, edit),
                               _first_difference(before_lines, after_lines)))
    if values_before is not None:
        reading = layout.read(after)
        if reading.error:
            outcome.failed.append(("c: meaning", "configparser no longer reads the file",
                                   reading.error))
        elif reading.pairs != edit.expected:
            outcome.failed.append(("c: meaning",
                                   *_why_meaning(edit, values_before, reading.pairs)))
    if layout.is_utf8(data) and not layout.is_utf8(after):
        outcome.failed.append(("d: UTF-8", "no longer valid UTF-8", ""))
    return outcome


def _first_difference(before: list, after: list) -> str:
    n = next((i for i, (x, y) in enumerate(zip(before, after)) if x != y),
             min(len(before), len(after)))
    return (f"line {n + 1}: {before[n] if n < len(before) else b'(end)'!r} became "
            f"{after[n] if n < len(after) else b'(end)'!r}")


def _why_bytes(before: list, after: list, edit: Edit) -> str:
    def leading_blank(lines):
        return next((i for i, line in enumerate(lines) if line.strip(b"\r\n")), len(lines))

    def ends(lines):
        return {line[len(line.rstrip(b"\r\n")):] for line in lines} - {b""}

    added = leading_blank(after) - leading_blank(before)
    if added > 0 and outside_unchanged(before, after[added:], edit.may_change, edit.may_insert):
        return "empty lines put at the top"
    if ends(after) - ends(before):
        return "line ends changed"
    matcher = difflib.SequenceMatcher(None, before, after, autojunk=False)
    for tag, i1, i2, _, _ in matcher.get_opcodes():
        if tag == "insert" and i1 not in edit.may_insert and i1 - 1 not in edit.may_change:
            return "lines added outside the edit's place"
        if tag != "equal" and any(i not in edit.may_change for i in range(i1, i2)):
            return "lines removed outside the edit's place" if tag == "delete" else \
                "lines changed outside the edit's place"
    return "lines moved"


def _why_meaning(edit: Edit, before: dict, got: dict) -> tuple:
    """(reason, detail) of the first pair that configparser reads otherwise than intended."""
    expected = edit.expected
    for pair in list(expected) + [p for p in got if p not in expected]:
        if expected.get(pair) == got.get(pair):
            continue
        detail = f"[{pair[0]}] {pair[1]}: expected {expected.get(pair)!r}, read {got.get(pair)!r}"
        if pair[0] != edit.target[0] or edit.target[1] not in (None, pair[1]):
            return "another key reads otherwise", detail
        if got.get(pair) == before.get(pair):
            return "the edited key reads as before", detail
        return "the edited key reads another value", detail
    return "the same pairs in another order", ""


def check_file(corpus: str, name: str, twini, non_ascii: str, scratch: str) -> list:
    with open(os.path.join(corpus, name), "rb") as f:
        data = f.read()
    reference = layout.read(data)
    values = None if reference.error else reference.pairs
    outcomes = []
    for edit in plan(data, layout.read(data, tolerant=True), values or {}, non_ascii):
        with tempfile.TemporaryDirectory(dir=scratch) as directory:
            path = os.path.join(directory, os.path.basename(name))
            shutil.copyfile(os.path.join(corpus, name), path)
            outcomes.append(check(edit, twini, data, values, path))
    return outcomes


@dataclass
class EditTally:
    files: collections.Counter = field(default_factory=collections.Counter)  # kind -> files
    statuses: dict = field(default_factory=lambda: collections.defaultdict(collections.Counter))
    failures: dict = field(default_factory=lambda: collections.defaultdict(collections.Counter))
    reasons: dict = field(default_factory=lambda: collections.defaultdict(collections.Counter))
    examples: dict = field(default_factory=lambda: collections.defaultdict(list))


def run(corpus: str, names: list, twini, non_ascii: str, jobs: int, examples: int) -> EditTally:
    counts = EditTally()
    with tempfile.TemporaryDirectory() as scratch, ThreadPoolExecutor(max_workers=jobs) as pool:
        results = pool.map(lambda n: (n, check_file(corpus, n, twini, non_ascii, scratch)), names)
        for name, outcomes in results:
            for outcome in outcomes:
                counts.files[outcome.kind] += 1
                counts.statuses[outcome.kind][outcome.status.split(":")[0]] += 1
                if outcome.status.startswith("refused") and \
                        len(counts.examples[(outcome.kind, "refused")]) < examples:
                    counts.examples[(outcome.kind, "refused")].append((name, outcome.message))
                for check_name, reason, detail in outcome.failed:
                    counts.failures[outcome.kind][check_name] += 1
                    counts.reasons[(outcome.kind, check_name)][reason] += 1
                    kept = counts.examples[(outcome.kind, check_name + ": " + reason)]
                    if len(kept) < examples:
                        kept.append((name, detail))
    return counts
