#!/usr/bin/env python3
"""Writes n random segments: start points in [0, 1000]^2, lengths up to ~200.

usage: generate.py N [SEED] > test.txt
"""
import math
import random
import sys

n = int(sys.argv[1])
rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 12345)
lines = []
for _ in range(n):
    x, y = rng.uniform(0, 1000), rng.uniform(0, 1000)
    angle, length = rng.uniform(0, 2 * math.pi), rng.uniform(1, 200)
    lines.append(f"{x:.3f} {y:.3f} {x + length * math.cos(angle):.3f} {y + length * math.sin(angle):.3f}")
sys.stdout.write("\n".join(lines) + "\n")
