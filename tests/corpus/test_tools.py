#!/usr/bin/env python3
"""Checks of the comparison's own reasoning, on small made-up files: python3 -m unittest test_tools
(in this directory). Not part of the project's test suite."""

import os
import shutil
import tempfile
import unittest

import causes
import layout
import peers
from edits import outside_unchanged
from ours import Answer, Reader

SAMPLE = (b"top=1\n[a]\nx = 1\n  more\n\n# note\n  last\ny=2\nflag\n[a] ; again\ny=3\n"
          b"[DEFAULT]\nd:4\n")


class Layout(unittest.TestCase):
    def test_lines_of_headers_settings_and_continuations(self):
        reading = layout.read(SAMPLE, tolerant=True)
        self.assertEqual(reading.headers, [(1, "a"), (9, "a"), (11, "DEFAULT")])
        x = reading.setting_lines("a", "x")[0]
        self.assertEqual((x.line, x.last), (2, 6))  # the comment inside does not end the value
        self.assertEqual([s.line for s in reading.setting_lines("a", "y")], [7, 10])
        self.assertEqual(reading.rejected, [8])
        self.assertEqual(reading.pairs[(layout.PRELUDE, "top")], "1")
        self.assertEqual(reading.pairs[("DEFAULT", "d")], "4")  # a section, not defaults

    def test_reference_reading_refuses_what_the_tolerant_one_reads_past(self):
        self.assertEqual(layout.read(SAMPLE).error, "no header before line 1: 'top=1'")
        self.assertEqual(layout.read(b"[s]\nk = \xe9\n").pairs[("s", "k")],
                         layout.as_text(b"\xe9"))  # a byte that is not UTF-8 survives


class Causes(unittest.TestCase):
    facts = causes.FileFacts.of(SAMPLE)

    def cause(self, section, key, expected, answer, reader=False):
        return causes.classify(self.facts, section, key, expected, answer, reader)

    def test_each_cause_from_the_lines(self):
        missing = Answer("missing")
        self.assertEqual(self.cause("DEFAULT", "top", "1", missing), "before-header")
        self.assertEqual(self.cause("a", "x", "1\nmore\nlast", missing), "name-blanks")
        self.assertEqual(self.cause("a", "x", "1\nmore\nlast", Answer("value", b"1")),
                         "continuation")
        self.assertEqual(self.cause("a", "y", "3", Answer("value", b"2")), "duplicate-last")
        self.assertEqual(self.cause("a", "flag", "", missing), "no-delimiter")
        self.assertEqual(self.cause("DEFAULT", "d", "4", missing), "colon")

    def test_a_reader_empty_answer_is_missing_unless_the_first_line_is_empty(self):
        facts = causes.FileFacts.of(b"[s]\nk=\nk=v\n[t] ;c\nj=1\n")
        self.assertEqual(causes.classify(facts, "s", "k", "v", Answer("value", b""), True),
                         "duplicate-last")
        self.assertEqual(causes.classify(facts, "t", "j", "1", Answer("value", b""), True),
                         "header-comment")


class Bytes(unittest.TestCase):
    before = [b"[a]\n", b"x=1\n", b"y=2\n", b"[b]\n", b"z=3\n"]

    def test_changes_only_where_allowed(self):
        ok = outside_unchanged
        self.assertTrue(ok(self.before, [b"[a]\n", b"x=9\n"] + self.before[2:], {1}, set()))
        self.assertFalse(ok(self.before, [b"[a]\n", b"x=9\n", b"y=3\n"] + self.before[3:],
                            {1}, set()))
        inserted = self.before[:1] + [b"n=1\n"] + self.before[1:]
        self.assertTrue(ok(self.before, inserted, set(), {1, 2, 3}))
        self.assertFalse(ok(self.before, self.before + [b"n=1\n"], set(), {1, 2, 3}))
        self.assertTrue(ok(self.before, [b"\n"] + self.before[3:], {0, 1, 2}, set()))
        self.assertFalse(ok(self.before, [b"\n", b"\n"] + self.before[3:], {3, 4}, set()))


class Answers(unittest.TestCase):
    def test_markers_tell_an_empty_value_from_a_failed_statement(self):
        printed = Reader._between_markers(b"@m read\nTrue\n@m .\n@m 0\n\n@m .\n@m 1\n@m .\n", b"@m")
        self.assertEqual(printed, {b"read": b"True", b"0": b"", b"1": None})

    @unittest.skipUnless(shutil.which("crudini"), "crudini is not installed")
    def test_crudini_values_with_backslashes_and_line_breaks_are_exact(self):
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "t.ini")
            with open(path, "wb") as f:
                f.write(b"[s]\nliteral = a\\nb\nlines = a\n  b\nempty =\n")
            self.assertEqual(peers.read(path).pairs, {("s", "literal"): "a\\nb",
                                                      ("s", "lines"): "a\nb", ("s", "empty"): ""})


if __name__ == "__main__":
    unittest.main()
