#!/usr/bin/env python3
"""Medians and ratios of settings_bench, from its JSON output:

    settings_bench --benchmark_repetitions=9 --benchmark_format=json > s.json
    python3 settings_ratios.py s.json
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from medians import medians  # noqa: E402

runs, real, cpu, _ = medians(sys.argv[1])
ours = "BM_Snapshot_FiftyGetOr"
print(f"{'median of the repetitions':34s} {'real':>11s} {'cpu':>11s} {'real / snapshot':>16s}")
for name in sorted(real, key=real.get):
    ratio = real[name] / real[ours] if ours in real else float("nan")
    print(f"{name:34s} {real[name] / 1e3:8.2f} us {cpu[name] / 1e3:8.2f} us {ratio:15.2f}x")
peer = "BM_GKeyFile_LoadFiftyLookups"
if ours in real and peer in real:
    print(f"\n{peer} / {ours}: real {real[peer] / real[ours]:.2f}, cpu {cpu[peer] / cpu[ours]:.2f} "
          "(target at least 1.0: the snapshot no slower)")
