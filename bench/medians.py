"""Medians of the repetitions of a Google Benchmark run, from its JSON output
(--benchmark_repetitions=N --benchmark_format=json)."""
import json
import statistics

UNIT = {"ns": 1, "us": 1e3, "ms": 1e6}


def medians(path, counter=None):
    """The runs, and medians by benchmark name of the wall-clock time, the CPU time (both in ns) and
    the named counter. A name loses its "/real_time" suffix."""
    runs = json.load(open(path))["benchmarks"]
    real, cpu, extra = {}, {}, {}
    for b in runs:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"].removesuffix("/real_time")
        real.setdefault(name, []).append(b["real_time"] * UNIT[b["time_unit"]])
        cpu.setdefault(name, []).append(b["cpu_time"] * UNIT[b["time_unit"]])
        if counter in b:
            extra.setdefault(name, []).append(b[counter])
    med = lambda d: {name: statistics.median(values) for name, values in d.items()}
    return runs, med(real), med(cpu), med(extra)
