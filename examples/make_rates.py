#!/usr/bin/env python3
"""Generates examples/rates.csv, the bundled example table.

About 2,000 regions on an irregular layout (a jittered grid, like the
centroids of districts), each with a rate per 1,000 drawn from a smooth
surface plus noise, a handful of outliers, a population-like weight, and a
few rows whose rate or weight is missing ("NA").

Run from the repository root:  python3 examples/make_rates.py
"""
import math
import random

random.seed(20261206)

COLUMNS, ROWS = 50, 41  # 2,050 cells
rows = []
for j in range(ROWS):
    for i in range(COLUMNS):
        x = (i + random.uniform(0.15, 0.85)) * 2.0   # kilometres
        y = (j + random.uniform(0.15, 0.85)) * 2.0
        surface = 20.0 + 6.0 * math.sin(x / 18.0) * math.cos(y / 14.0) + 0.08 * x
        population = int(random.lognormvariate(8.0, 0.9)) + 50
        # Small populations give noisier rates.
        noise = random.gauss(0.0, 40.0 / math.sqrt(population))
        rate = max(0.0, surface + noise)
        if random.random() < 0.01:
            rate *= random.choice([0.1, 3.0, 4.0])  # outliers
        rows.append([f"{x:.4f}", f"{y:.4f}", f"{rate:.3f}", str(population)])

for k in random.sample(range(len(rows)), 12):
    rows[k][random.choice([2, 3])] = "NA"

with open("examples/rates.csv", "w", newline="\n") as out:
    out.write("x_km,y_km,rate_per_1000,population\n")
    for row in rows:
        out.write(",".join(row) + "\n")
