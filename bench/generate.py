#!/usr/bin/env python3
"""Writes n random segments with start points in [0, 1000]^2.

usage: generate.py N [SEED] > test.txt          lengths up to ~200
       generate.py --sparse N [SEED] > test.txt  length 1.77 * sqrt(10^6 / N):
                                                 about one meeting pair per segment
"""
import math
import random
import sys

args = sys.argv[1:]
sparse = bool(args) and args[0] == "--sparse"
if sparse:
    args = args[1:]
n = int(args[0])
rng = random.Random(int(args[1]) if len(args) > 1 else 12345)
fixed = 1.77 * math.sqrt(1e6 / n)
out = sys.stdout
batch = []
for _ in range(n):
    x, y = rng.uniform(0, 1000), rng.uniform(0, 1000)
    angle = rng.uniform(0, 2 * math.pi)
    length = fixed if sparse else rng.uniform(1, 200)
    batch.append(f"{x:.3f} {y:.3f} {x + length * math.cos(angle):.3f} {y + length * math.sin(angle):.3f}")
    if len(batch) == 65536:
        out.write("\n".join(batch) + "\n")
        batch = []
if batch:
    out.write("\n".join(batch) + "\n")
