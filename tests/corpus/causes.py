"""Why one of our answers differs from a peer's: a small set of named causes, each found by looking
at the lines the pair comes from. The first cause that fits is taken, in the order of CAUSES."""

import re
from dataclasses import dataclass

import layout

CAUSES = {
    "refused": "refused by ours (an error, not an answer)",
    "lf-one-line": "lone LF ends no line: the file reads as one line",
    "before-header": "setting before the first header",
    "header-comment": "header line followed by a comment",
    "header-blanks": "blanks around the header line",
    "repeated-section": "key under a later repeat of the section's header",
    "section-cut": "section ended early by a line beginning with \"[\"",
    "colon": "\":\" as delimiter",
    "name-blanks": "blanks around the name (indented, or before the delimiter)",
    "no-delimiter": "name without a delimiter or value",
    "duplicate-last": "duplicate key, where the other takes the last",
    "continuation": "continuation lines",
    "value-comment": "comment after the value",
    "value-blanks": "blanks around the value",
    "non-ascii": "non-ASCII text decoded differently",
    "missing": "missing in ours, for no cause above",
    "other-value": "a different value, for no cause above",
}
# Differences that are documented and left out of the second agreement figure.
DOCUMENTED = ["duplicate-last", "colon"]


@dataclass
class FileFacts:
    """What the classification needs to know about a file, found once per file."""

    lines: list  # the file's lines, with their line ends
    reading: layout.Reading  # configparser's tolerant reading, with the lines of everything
    lone_lf: bool  # its lines end with a lone LF

    @staticmethod
    def of(data: bytes) -> "FileFacts":
        return FileFacts(layout.split_lines(data), layout.read(data, tolerant=True),
                         layout.line_end(data) == b"\n" and b"\n" in data)

    def text(self, index: int) -> bytes:
        return self.lines[index].rstrip(b"\r\n")


def read_as_one_line(facts: FileFacts, sections_seen) -> bool:
    """Whether a tool read the file as one line: its lines end with a lone LF, it holds a header
    line that is exactly "[name]", and the tool found no section at all."""
    exact = any(facts.text(i) == b"[" + layout.as_bytes(name) + b"]"
                for i, name in facts.reading.headers)
    return facts.lone_lf and exact and sections_seen == 0


def settings_of(facts: FileFacts, section: str, key: str) -> list:
    """The lines that define the key: configparser's, or for a key only a peer finds, the lines
    configparser rejected that name it."""
    found = facts.reading.setting_lines(section, key)
    if not found and section == "DEFAULT":  # where crudini files the settings before any header
        found = facts.reading.setting_lines(layout.PRELUDE, key)
    if not found:
        name = layout.as_bytes(key)
        found = [layout.Setting(section, key, i, i) for i in facts.reading.rejected
                 if re.split(rb"[=:]", facts.text(i))[0].strip() == name]
    return found


def header_before(facts: FileFacts, index: int):
    before = [i for i, _ in facts.reading.headers if i < index]
    return before[-1] if before else None


def _why_missing(facts: FileFacts, section: str, key: str, first: layout.Setting) -> str:
    header = header_before(facts, first.line)
    if header is not None:
        text = facts.text(header)
        wanted = b"[" + layout.as_bytes(section) + b"]"
        if text != wanted:
            after = text.strip()[len(wanted):].lstrip()
            return "header-comment" if after.startswith((b";", b"#")) else "header-blanks"
        if header != facts.reading.header_lines(section)[0]:
            return "repeated-section"
        if any(facts.lines[i].startswith(b"[") for i in range(header + 1, first.line)):
            return "section-cut"
    text = facts.text(first.line)
    delimiter = re.search(rb"[=:]", text)
    if delimiter is None:
        return "no-delimiter"
    if delimiter.group(0) == b":":
        return "colon"
    if text[:1].isspace() or text[:delimiter.start()] != text[:delimiter.start()].rstrip():
        return "name-blanks"
    if not (section + key).isascii():
        return "non-ascii"
    return "missing"


def _why_other_value(expected: bytes, got: bytes, settings: list) -> str:
    if b"\n" in expected or settings[0].last > settings[0].line:
        return "continuation"
    rest = got[len(expected):].lstrip()
    if got.startswith(expected) and rest.startswith((b";", b"#")):
        return "value-comment"
    if got.strip() == expected:
        return "value-blanks"
    if not expected.isascii():
        return "non-ascii"
    return "value-blanks" if got != got.strip() else "other-value"


def _value_of(facts: FileFacts, setting: layout.Setting) -> bytes:
    """The value of a setting's line as configparser takes it, without its continuations."""
    return re.split(rb"[=:]", facts.text(setting.line), maxsplit=1)[-1].strip()


def classify(facts: FileFacts, section: str, key: str, expected: str, answer,
             empty_is_missing: bool) -> str:
    """The cause of a disagreement: `expected` is the peer's value, `answer` ours. With
    `empty_is_missing` (a reader, which answers the empty string for a missing key), an empty
    answer counts as missing unless the key's first line has the empty value."""
    if answer.status == "error":
        return "refused"
    settings = settings_of(facts, section, key)
    got = answer.value
    missing = answer.status == "missing" or (
        empty_is_missing and not got and not (settings and not _value_of(facts, settings[0])))
    if not settings:
        return "missing" if missing else "other-value"
    if settings[0].section == layout.PRELUDE:
        return "before-header"
    if missing:
        return _why_missing(facts, section, key, settings[0])
    if len(settings) > 1 and got.strip() == _value_of(facts, settings[0]):
        return "duplicate-last"
    return _why_other_value(layout.as_bytes(expected or ""), got, settings)
