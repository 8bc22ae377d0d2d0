#!/usr/bin/env python3
"""Medians and ratios of reader_bench, from its JSON output, in wall-clock and in CPU time.

    reader_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true \
        --benchmark_format=json > out.json
    python3 ratios.py out.json
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from medians import medians  # noqa: E402

runs, real, cpu, _ = medians(sys.argv[1])


def show(ns):
    return f"{ns / 1e3:10.3f} us" if ns >= 1e3 else f"{ns:10.1f} ns"


print(f"{'median of the repetitions':40s} {'real':>13s} {'cpu':>13s}")
for name in sorted(real):
    print(f"{name:40s} {show(real[name])} {show(cpu[name])}")
print()
for target, floor, limit in [("BM_ReadFile_Full", "BM_Floor_CountLinesMemchr_Full", 2.0),
                             ("BM_ReadFile_Small", "BM_Floor_OpenReadClose_Small", 1.3),
                             ("BM_ReadFile_Small", "BM_Floor_OpenFstatReadReadClose_Small", None),
                             ("BM_RCS/1", "BM_Floor_CopyValue", None)]:
    if target in real and floor in real:
        goal = f" (target within {limit}x)" if limit else ""
        print(f"{target} / {floor}: real {real[target] / real[floor]:.2f}, "
              f"cpu {cpu[target] / cpu[floor]:.2f}{goal}")
peer = "BM_Peer_InihParseIntoVector_Full"
if peer in real and "BM_ReadFile_Full" in real:
    print(f"{peer} / BM_ReadFile_Full: real {real[peer] / real['BM_ReadFile_Full']:.2f}, "
          f"cpu {cpu[peer] / cpu['BM_ReadFile_Full']:.2f} (target at least 8x)")
if "BM_RCS/1" in real:
    print(f"BM_RCS/1: real {show(real['BM_RCS/1'])}, cpu {show(cpu['BM_RCS/1'])} (target at most 20 ns)")
for b in runs:
    if b["name"].startswith("BM_Memory") and b.get("run_type") == "iteration":
        print("memory: " + ", ".join(f"{k} {v:.0f}" for k, v in b.items() if k.endswith("_B")))
        print(f"memory: loaded / file {b['loaded_B'] / b['file_B']:.2f} (target at most 1.5)")
        break
