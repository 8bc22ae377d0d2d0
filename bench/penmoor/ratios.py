#!/usr/bin/env python3
"""Medians and ratios of writer_bench, from its JSON output.

    writer_bench --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true \
        --benchmark_format=json > out.json
    python3 ratios.py out.json
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from medians import medians  # noqa: E402

_, real, _, share = medians(sys.argv[1], "fsync_share")


def show(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:10.2f} ms"
    return f"{ns / 1e3:10.1f} us"


print(f"{'median of the repetitions':36s} {'real':>13s}  fsync share")
for name in sorted(real):
    extra = f"  {share[name]:.2f}" if name in share else ""
    print(f"{name:36s} {show(real[name])}{extra}")
print()
rows = [("BM_IsHeader_LastLine_50MB", "BM_ReadFloor_50MB", None)]
for size, limit in [("50MB", 1.10), ("1KB", None)]:
    for op in ("UpdateSetting", "AddSetting", "DeleteSetting"):
        rows.append((f"BM_{op}_{size}", f"BM_EditFloor_{size}", limit))
for n in (10, 100, 1000, 2000):
    rows.append((f"BM_DeleteHeader_5MB/{n}", "BM_UpdateSetting_5MB", 2.0))
for target, floor, limit in rows:
    if target in real and floor in real:
        goal = f" (target at most {limit}x)" if limit else ""
        print(f"{target:28s} / {floor:22s} {real[target] / real[floor]:6.2f}{goal}")
