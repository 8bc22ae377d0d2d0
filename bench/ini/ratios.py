#!/usr/bin/env python3
"""Medians and ratios of reader_bench, from its JSON output.

    reader_bench --benchmark_repetitions=7 --benchmark_format=json > out.json
    python3 ratios.py out.json
"""
import json
import statistics
import sys

runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("run_type") == "iteration":
        runs.setdefault(b["run_name"], []).append(b["real_time"] * {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]])
median = {name: statistics.median(times) for name, times in runs.items()}

for name, ns in median.items():
    print(f"{name:40s} {ns / 1e3:12.3f} us" if ns >= 1e3 else f"{name:40s} {ns:12.1f} ns")
print()
for target, floor, limit in [("BM_ReadFile_Full", "BM_Floor_CountLinesMemchr_Full", 4.0),
                             ("BM_ReadFile_Small", "BM_Floor_OpenReadClose_Small", 1.5),
                             ("BM_ReadFile_Small", "BM_Floor_StatOpenReadClose_Small", None)]:
    if target in median and floor in median:
        ratio = median[target] / median[floor]
        goal = f" (target within {limit}x)" if limit else ""
        print(f"{target} / {floor} = {ratio:.2f}{goal}")
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b["name"].startswith("BM_Memory") and b.get("run_type") == "iteration":
        counters = {k: v for k, v in b.items() if k.endswith("_B")}
        print("memory: " + ", ".join(f"{k} {v:.0f}" for k, v in counters.items()))
        break
