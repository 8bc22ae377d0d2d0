"""What our tools answer for a (section, key) pair: `twini get`, and the reader through twhost.

Answers are bytes, as printed (without the final line break), or a status: an Answer is "value",
"missing" (twini's exit status 1) or "error" (anything else: a refusal, a crash, a name that
cannot be put into a script).
"""

import secrets
import subprocess
from dataclasses import dataclass

from layout import as_bytes


@dataclass
class Answer:
    status: str  # "value", "missing" or "error"
    value: bytes = b""
    message: str = ""


class Twini:
    def __init__(self, binary: str, options: list):
        self.binary, self.options = binary, options

    def command(self, verb: str, path: str, *operands: str) -> list:
        return [self.binary, *self.options, verb, "--", path, *(as_bytes(o) for o in operands)]

    def sections(self, path: str):
        """How many sections `twini list` finds, or None when it fails."""
        done = subprocess.run(self.command("list", path), capture_output=True, check=False)
        return done.stdout.count(b"\n") if done.returncode == 0 else None

    def get(self, path: str, section: str, key: str) -> Answer:
        done = subprocess.run(self.command("get", path, section, key), capture_output=True,
                              check=False)
        message = done.stderr.decode("utf-8", "replace").strip()
        if done.returncode == 0:
            return Answer("value", done.stdout.removesuffix(b"\n"), message)
        if done.returncode == 1:
            return Answer("missing", b"", message)
        return Answer("error", b"", message or f"exit status {done.returncode}")


def script_string(text: str):
    """`text` as a string of twhost's script language, or None where no such string can hold it."""
    if any(c in text for c in "\r\n") or as_bytes(text) != text.encode("utf-8", "replace"):
        return None
    return '"' + text.replace('"', '""') + '"'


class Reader:
    """Asks the reader for every pair of one file in a single twhost run: ReadFile, the number of
    headers, then one RCS per pair, each answer printed between two marker lines so that any value
    can be told apart."""

    def __init__(self, twhost: str, library: str, setup: list):
        self.twhost, self.library, self.setup = twhost, library, setup

    def answers(self, path: str, pairs: list) -> tuple:
        """({pair: Answer}, the number of headers the reader holds or None where ReadFile failed)."""
        marker = "@" + secrets.token_hex(8)
        lines = [f"Set r = CreateObject({script_string(self.library)})", *self.setup,
                 f'Print "{marker} read": Print r.ReadFile({script_string(path)})',
                 f'Print "{marker} ."',
                 f'Print "{marker} headers": Print r.GetNumberOfHeaders()',
                 f'Print "{marker} ."']
        asked = {}
        for n, (section, key) in enumerate(pairs):
            names = script_string(section), script_string(key)
            if None in names:
                continue
            asked[n] = (section, key)
            lines += [f'Print "{marker} {n}"', f"Print r.RCS({names[0]}, {names[1]})",
                      f'Print "{marker} ."']
        done = subprocess.run([self.twhost, "--events=none", "--keep-going", "-"],
                              input=("\n".join(lines) + "\n").encode(), capture_output=True,
                              check=False)
        printed = self._between_markers(done.stdout, marker.encode())
        errors = done.stderr.decode("utf-8", "replace").strip().splitlines()
        read = printed.get(b"read")
        if read != b"True":
            message = "ReadFile gave " + (read or b"no value").decode() + "; " + " ".join(errors[:1])
            return {pair: Answer("error", b"", message) for pair in pairs}, None
        result = {pair: Answer("error", b"", "no string of the script language holds the name")
                  for pair in pairs}
        for n, pair in asked.items():
            value = printed.get(str(n).encode())
            result[pair] = (Answer("value", value) if value is not None
                            else Answer("error", b"", " ".join(errors[:1]) or "nothing printed"))
        headers = printed.get(b"headers")
        # The reader gives the highest position of a header, -1 for none.
        return result, int(headers) + 1 if headers and headers.lstrip(b"-").isdigit() else None

    @staticmethod
    def _between_markers(output: bytes, marker: bytes) -> dict:
        """label -> what was printed between "marker label" and "marker ." (None: nothing was)."""
        printed = {}
        for part in output.split(marker + b" ")[1:]:
            label, _, rest = part.partition(b"\n")
            if label == b".":
                continue
            printed[label] = rest.removesuffix(b"\n") if rest else None
        return printed
