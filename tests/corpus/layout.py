"""configparser's reading of a file, with the line each section header and each setting came from.

The reference reading is `configparser.RawConfigParser(strict=False, interpolation=None)` with
`optionxform = str` and the default delimiters and comment prefixes. [DEFAULT] is read as a section
like any other, so that each section holds only its own keys.

Text is read as UTF-8 with surrogate escapes: every byte of the file, valid UTF-8 or not, goes
through unchanged, and `as_bytes` gives back the exact bytes of a name or value.
"""

import bisect
import configparser
import io
import re
from dataclasses import dataclass, field

# A section name no file uses, so that [DEFAULT] is a section of its own and nothing propagates.
NO_DEFAULT = "\0no default section"
# Put before the file's first line when a file has settings before its first header: the reading
# goes on, and those settings are filed under this name.
PRELUDE = "\0before the first header"


def as_bytes(text: str) -> bytes:
    return text.encode("utf-8", "surrogateescape")


def as_text(data: bytes) -> str:
    return data.decode("utf-8", "surrogateescape")


def is_utf8(data: bytes) -> bool:
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def split_lines(data: bytes) -> list:
    """The file's lines with their line ends, cut where configparser cuts them (LF, CR LF, CR)."""
    return data.splitlines(keepends=True)


def line_end(data: bytes) -> bytes:
    """The file's first line end; LF for a file without one."""
    match = re.search(rb"\r\n|\r|\n", data)
    return match.group(0) if match else b"\n"


@dataclass
class Setting:
    section: str
    key: str
    line: int  # 0-based index of the line that names the key
    last: int  # index of its last continuation line (== line when there is none)


@dataclass
class Reading:
    """What configparser made of a file."""

    pairs: dict = field(default_factory=dict)  # (section, key) -> value, None for a bare name
    error: str = ""  # why configparser refused the file, or ""
    headers: list = field(default_factory=list)  # (line index, section name) of each header line
    settings: list = field(default_factory=list)  # every Setting, in the order of the file
    rejected: list = field(default_factory=list)  # indices of the lines configparser rejected

    def header_lines(self, section: str) -> list:
        return [i for i, name in self.headers if name == section]

    def setting_lines(self, section: str, key: str) -> list:
        return [s for s in self.settings if s.section == section and s.key == key]


class _Recorder:
    """Stands in for one of configparser's patterns and notes the line of every match."""

    def __init__(self, pattern, lines, on_match):
        self.pattern, self.lines, self.on_match = pattern, lines, on_match

    def match(self, text):
        found = self.pattern.match(text)
        if found:
            self.on_match(self.lines.current, found)
        return found


class _CountingLines:
    def __init__(self, text: str, offset: int):
        self.lines = io.StringIO(text, newline=None)
        self.current = -1 - offset

    def __iter__(self):
        for line in self.lines:
            self.current += 1
            yield line


def new_parser() -> configparser.RawConfigParser:
    parser = configparser.RawConfigParser(
        strict=False, interpolation=None, default_section=NO_DEFAULT)
    parser.optionxform = str
    return parser


def read(data: bytes, tolerant: bool = False) -> Reading:
    """configparser's reading of `data`. With `tolerant`, settings before the first header are filed
    under PRELUDE and lines configparser rejects are skipped, so that every line still gets its
    place; the reference reading is the one without."""
    result = Reading()
    text = as_text(data)
    if tolerant:
        text = "[" + PRELUDE + "]\n" + text
    lines = _CountingLines(text, 1 if tolerant else 0)
    parser = new_parser()
    section = [None]

    def on_header(index, found):
        section[0] = found.group("header")
        if index >= 0:
            result.headers.append((index, section[0]))

    def on_setting(index, found):
        key = parser.optionxform(found.group("option").rstrip())
        result.settings.append(Setting(section[0], key, index, index))

    def on_rejected(error, *args):
        result.rejected.append(lines.current)
        return handle_error(error, *args)

    handle_error = parser._handle_error
    parser._handle_error = on_rejected
    parser.SECTCRE = _Recorder(parser.SECTCRE, lines, on_header)
    parser._optcre = _Recorder(parser._optcre, lines, on_setting)
    try:
        parser.read_file(lines, source="file")
    except configparser.Error as error:
        result.error = _describe(error)
        if not tolerant or not isinstance(error, configparser.ParsingError):
            return result
    _mark_continuations(result, split_lines(data))
    for name, section_dict in parser._sections.items():
        for key, value in section_dict.items():
            result.pairs[(name, key)] = value
    return result


def _describe(error: configparser.Error) -> str:
    """The error with the first line it is about: configparser's messages name only the file."""
    if isinstance(error, configparser.MissingSectionHeaderError):
        return f"no header before line {error.lineno}: {error.line.rstrip()!r}"
    if isinstance(error, configparser.ParsingError) and error.errors:
        lineno, line = error.errors[0]
        more = f" (and {len(error.errors) - 1} more)" if len(error.errors) > 1 else ""
        return f"cannot read line {lineno}: {line}{more}"  # the line as repr() gives it
    return type(error).__name__ + ": " + str(error).splitlines()[0]


def _mark_continuations(result: Reading, lines: list) -> None:
    """A setting runs on to the last line before the next header, setting or rejected line that is
    neither blank nor a comment: configparser takes any other line as a continuation."""
    starts = sorted({i for i, _ in result.headers} | {s.line for s in result.settings}
                    | set(result.rejected))
    for setting in result.settings:
        after = bisect.bisect_right(starts, setting.line)
        end = starts[after] if after < len(starts) else len(lines)
        last = setting.line
        for i in range(setting.line + 1, end):
            stripped = lines[i].strip()
            if stripped and not stripped.startswith((b"#", b";")):
                last = i
        setting.last = last
