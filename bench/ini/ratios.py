#!/usr/bin/env python3
"""Medians and ratios of reader_bench, from its JSON output, in wall-clock and in CPU time.

    reader_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true \
        --benchmark_format=json > out.json
    python3 ratios.py out.json
"""
import json
import statistics
import sys

UNIT = {"ns": 1, "us": 1e3, "ms": 1e6}
runs = json.load(open(sys.argv[1]))["benchmarks"]
real, cpu = {}, {}
for b in runs:
    if b.get("run_type") == "iteration":
        real.setdefault(b["run_name"], []).append(b["real_time"] * UNIT[b["time_unit"]])
        cpu.setdefault(b["run_name"], []).append(b["cpu_time"] * UNIT[b["time_unit"]])
real = {name: statistics.median(times) for name, times in real.items()}
cpu = {name: statistics.median(times) for name, times in cpu.items()}


def show(ns):
    return f"{ns / 1e3:10.3f} us" if ns >= 1e3 else f"{ns:10.1f} ns"


print(f"{'median of the repetitions':40s} {'real':>13s} {'cpu':>13s}")
for name in sorted(real):
    print(f"{name:40s} {show(real[name])} {show(cpu[name])}")
print()
for target, floor, limit in [("BM_ReadFile_Full", "BM_Floor_CountLinesMemchr_Full", 4.0),
                             ("BM_ReadFile_Small", "BM_Floor_OpenReadClose_Small", 1.5),
                             ("BM_ReadFile_Small", "BM_Floor_StatOpenReadClose_Small", None)]:
    if target in real and floor in real:
        goal = f" (target within {limit}x)" if limit else ""
        print(f"{target} / {floor}: real {real[target] / real[floor]:.2f}, "
              f"cpu {cpu[target] / cpu[floor]:.2f}{goal}")
for b in runs:
    if b["name"].startswith("BM_Memory") and b.get("run_type") == "iteration":
        print("memory: " + ", ".join(f"{k} {v:.0f}" for k, v in b.items() if k.endswith("_B")))
        break
