"""The Markdown of a run: the table of measures, the causes, the edits (report), and the examples
behind each figure (details)."""

import causes
import edits

COMPARISONS = [("twini", "configparser"), ("twini", "crudini"), ("reader", "configparser"),
               ("reader", "crudini")]
TOOL_NAMES = {"twini": "`twini get`", "reader": "the reader (`RCS`)"}


def _share(part: int, whole: int) -> str:
    return f"{part} / {whole} ({100 * part / whole:.1f} %)" if whole else f"{part} / 0"


def _show(value) -> str:
    """A value or line for a Markdown code span, every byte visible."""
    if isinstance(value, bytes):
        value = value.decode("utf-8", "backslashreplace")
    text = repr(value)
    return "`" + (text if len(text) <= 140 else text[:137] + "...") + "`"


def measures(run) -> list:
    """(measure, value) rows."""
    results = run.results
    rows = [
        ("files in the corpus (packages)",
         f"{len(results)} ({len({r.name.split('/')[0] for r in results})})"),
        ("(section, key) pairs configparser finds; files it cannot parse",
         f"{sum(len(r.configparser.pairs) for r in results)}; "
         f"{sum(bool(r.configparser.error) for r in results)}"),
        ("(section, key) pairs crudini finds; files it cannot parse",
         f"{sum(len(r.crudini.pairs) for r in results)}; "
         f"{sum(bool(r.crudini.error) for r in results)}"),
    ]
    documented = ", ".join(run.documented) or "none"
    for tool, peer in COMPARISONS:
        tally = run.tallies[(tool, peer)]
        rows.append((f"{TOOL_NAMES[tool]} agrees with {peer}", _share(*tally.agreement())))
        rows.append((f"{TOOL_NAMES[tool]} agrees with {peer}, documented differences "
                     f"({documented}) left out", _share(*tally.agreement(run.documented))))
        if (tool, peer) == ("twini", "crudini"):
            exact = run.non_ascii
            rows.append(("non-ASCII values `twini get` prints as their exact bytes in the file",
                         f"{_share(exact.exact, exact.values)} values; "
                         f"{_share(exact.exact_files, exact.files)} files"))
    if run.edit_counts:
        tried = max(run.edit_counts.files.values(), default=0)
        rows.append(("files edited (each edit kind); files with no setting to edit",
                     f"{tried}; {len(results) - tried}"))
        for kind in edits.KINDS:
            statuses, failed = run.edit_counts.statuses[kind], run.edit_counts.failures[kind]
            refused = sum(n for status, n in statuses.items() if status.startswith("refused"))
            rows.append((f"edit `{kind}`: done; refused; failed checks a, b, c, d",
                         f"{statuses['done']}; {refused}; "
                         + ", ".join(str(failed[c]) for c in edits.CHECKS)))
    if run.timing:
        speed = run.timing
        rows += [
            (f"`twini get`, total time of {speed.pairs} pairs from {speed.files} files "
             f"(median of {speed.rounds} rounds)", f"{speed.twini:.2f} s"),
            ("`crudini --get`, the same pairs", f"{speed.crudini:.2f} s"),
            ("crudini / twini", f"{speed.crudini / speed.twini:.1f}"),
        ]
    return rows


def report(run) -> str:
    out = ["# Our tools against configparser and crudini on real INI files", "",
           f"twini: `{' '.join(run.twini_command)}`; reader: `{run.reader_library}`"
           + (f" with `{'; '.join(run.reader_setup)}`" if run.reader_setup else "")
           + f"; corpus: `{run.corpus}`", "",
           "| measure | value |", "| --- | --- |"]
    out += [f"| {m} | {v} |" for m, v in measures(run)]
    out += ["", "## Causes of disagreement (pairs, in files)", "",
            "| cause | " + " | ".join(f"{t} vs {p}" for t, p in COMPARISONS) + " |",
            "| --- |" + " ---: |" * len(COMPARISONS)]
    for cause, title in causes.CAUSES.items():
        cells = [run.tallies[c].causes[cause] for c in COMPARISONS]
        if any(cells):
            cells = [f"{n} ({len(run.tallies[c].files[cause])})" if n else "0"
                     for n, c in zip(cells, COMPARISONS)]
            out.append(f"| `{cause}`: {title} | " + " | ".join(cells) + " |")
    if run.edit_counts:
        out += ["", "## Why edit checks failed (files)", "", "| edit | check | reason | files |",
                "| --- | --- | --- | ---: |"]
        for (kind, check), reasons in run.edit_counts.reasons.items():
            out += [f"| `{kind}` | {check} | {reason} | {n} |" for reason, n in reasons.most_common()]
    out.append("")
    return "\n".join(out)


def details(run) -> str:
    out = ["# Examples behind each figure", ""]
    for cause, title in causes.CAUSES.items():
        examples = [(c, e) for c in COMPARISONS for e in run.tallies[c].examples[cause]]
        if not examples:
            continue
        out += [f"## `{cause}`: {title}", ""]
        for (tool, peer), e in examples:
            answer = e.answer.status if e.answer.status != "value" else _show(e.answer.value)
            if e.answer.message and e.answer.status != "value":
                answer += " " + _show(e.answer.message)
            out.append(f"- {tool} vs {peer}: `{e.file}` [{e.section}] {e.key}: {peer} "
                       f"{_show(e.expected)}, {tool} {answer}")
            out += [f"  - line {n}: {_show(text)}" for n, text in e.lines]
        out.append("")
    for peer in ("configparser", "crudini"):
        refused = [(r.name, getattr(r, peer).error) for r in run.results if getattr(r, peer).error]
        out += [f"## Files {peer} cannot parse ({len(refused)})", ""]
        out += [f"- `{name}`: {_show(error)}" for name, error in refused] + [""]
    if run.non_ascii.examples:
        out += ["## Non-ASCII values not printed as their bytes", ""]
        for name, (section, key), wanted, answer in run.non_ascii.examples:
            out.append(f"- `{name}` [{section}] {key}: the file {_show(wanted)}, twini "
                       f"{_show(answer.value) if answer.status == 'value' else answer.status}")
        out.append("")
    if run.edit_counts:
        out += ["## Edits", ""]
        for (kind, what), examples in sorted(run.edit_counts.examples.items()):
            out += [f"### `{kind}`: {what}", ""]
            out += [f"- `{name}`: {_show(detail)}" for name, detail in examples] + [""]
    return "\n".join(out)
