#!/usr/bin/env python3
"""Draws the bundled example's observed and smoothed rates side by side.

Reads examples/rates.csv ("NA" marks a missing value), smooths it with the
tessel Python module at the program's default settings, and writes
doc/example-map.png: one panel of observed rates, one of smoothed rates, both
on one colour scale, each point's area following its weight (population),
rows with a missing value marked with a cross. --input, --x, --y, --rate and
--weight name another table and its columns; with --label COLUMN the rows
whose values the smoothing moved most are named on the smoothed panel. The
axes show the coordinates' unit, taken from the x column's name (x_km) or
--unit.

Run from the repository root after make python (make map does both):
    PYTHONPATH=build/python /usr/bin/python3 examples/map.py
"""
import argparse
import io
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.colors import Normalize  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from PIL import Image  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The module built by make python, when PYTHONPATH does not name it already.
sys.path.append(os.path.join(ROOT, "build", "python"))
import tessel  # noqa: E402
from table_options import add_table_options, axis_label, read_table, unit_of  # noqa: E402

SETTINGS = dict(neighbors=10, triples=7, iterations=10, theta=135.0)
# Marker area in points² per unit of weight, and its bounds, so that the
# median district (about 3,000 people) is a small dot and the largest ones
# do not cover their neighbours.
AREA_PER_WEIGHT = 1.0 / 400.0
AREA_MIN, AREA_MAX = 1.5, 40.0
LEGEND_WEIGHTS = (1000, 4000, 16000)
DPI = 120
NAMED = 5  # rows named with --label: those the smoothing moved most
MARGIN = 0.015  # room around the points, a share of the wider side


def numbers(table, name):
    """A column as float64, missing values NaN; exits when it holds text."""
    try:
        return table[name].to_numpy(dtype=np.float64)
    except (TypeError, ValueError):
        sys.exit(f"map.py: the column {name!r} holds values that are not numbers")


def marker_area(weight):
    return np.clip(weight * AREA_PER_WEIGHT, AREA_MIN, AREA_MAX)


def draw_panel(axes, x, y, values, weight, missing, norm, title, xlabel):
    shown = ~missing
    # Heavy points first, so that light ones stay visible on top of them.
    order = np.argsort(-weight[shown], kind="stable")
    xs, ys = x[shown][order], y[shown][order]
    image = axes.scatter(xs, ys, c=values[shown][order],
                         s=marker_area(weight[shown][order]),
                         cmap="viridis", norm=norm, linewidths=0)
    placed = missing & np.isfinite(x) & np.isfinite(y)
    axes.scatter(x[placed], y[placed], marker="x", s=40, c="red", linewidths=1.5)
    axes.set_title(title, fontsize=11)
    axes.set_xlabel(xlabel)
    axes.set_aspect("equal")
    margin = MARGIN * max(np.nanmax(x) - np.nanmin(x), np.nanmax(y) - np.nanmin(y))
    axes.set_xlim(np.nanmin(x) - margin, np.nanmax(x) + margin)
    axes.set_ylim(np.nanmin(y) - margin, np.nanmax(y) + margin)
    return image


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_table_options(parser)
    parser.add_argument("--output", default=os.path.join(ROOT, "doc", "example-map.png"))
    args = parser.parse_args()

    table = read_table(args)
    names = [args.x, args.y, args.rate, args.weight]
    x, y, rate, weight = (numbers(table, name) for name in names)
    unit = unit_of(args)
    smoothed = np.asarray(tessel.smooth(x, y, rate, weight, **SETTINGS),
                          dtype=np.float64)
    if smoothed.shape != rate.shape:
        sys.exit(f"map.py: tessel.smooth returned {smoothed.shape[0]} values "
                 f"for {rate.shape[0]} rows")
    missing = np.isnan(x) | np.isnan(y) | np.isnan(rate) | np.isnan(weight)
    if not np.array_equal(np.isnan(smoothed), missing):
        sys.exit("map.py: tessel.smooth returned NaN for other rows than the "
                 "rows with a missing value")
    if missing.all():
        sys.exit(f"map.py: no row of {args.input} has all of {', '.join(map(str, names))}: "
                 "there is nothing to draw")

    # One scale for both panels, from the observed rates' 1st to 99th
    # percentile: outliers show at the ends of the scale instead of
    # squeezing every other colour together.
    low, high = np.percentile(rate[~missing], [1, 99])
    norm = Normalize(vmin=low, vmax=high)

    # Fixed layout in inches: two panels whose boxes match the data's aspect,
    # the colour bar at their right, the legend below them.
    panel_width = 4.6
    margin = 2 * MARGIN * max(np.nanmax(x) - np.nanmin(x), np.nanmax(y) - np.nanmin(y))
    span_x = np.nanmax(x) - np.nanmin(x) + margin
    span_y = np.nanmax(y) - np.nanmin(y) + margin
    panel_height = panel_width * span_y / span_x
    left_margin, gap, bar_gap, bar_width, right_margin = 0.7, 0.55, 0.2, 0.15, 0.8
    bottom_margin, top_margin = 0.85, 0.9
    width = left_margin + 2 * panel_width + gap + bar_gap + bar_width + right_margin
    height = bottom_margin + panel_height + top_margin
    figure = plt.figure(figsize=(width, height))

    def box(left, w):
        return [left / width, bottom_margin / height, w / width, panel_height / height]

    left = figure.add_axes(box(left_margin, panel_width))
    right = figure.add_axes(box(left_margin + panel_width + gap, panel_width))
    bar_axes = figure.add_axes(box(left_margin + 2 * panel_width + gap + bar_gap, bar_width))

    xlabel = axis_label(args.x, unit)
    draw_panel(left, x, y, rate, weight, missing, norm, "Observed rate", xlabel)
    image = draw_panel(right, x, y, smoothed, weight, missing, norm, "Smoothed rate", xlabel)
    left.set_ylabel(axis_label(args.y, unit))
    if args.label is not None:
        moved = np.where(missing, -1.0, np.abs(smoothed - rate))
        for row in np.argsort(-moved, kind="stable")[:NAMED]:
            right.annotate(str(table[args.label].iloc[row]), (x[row], y[row]), fontsize=7,
                           xytext=(3, 3), textcoords="offset points")
    bar = figure.colorbar(image, cax=bar_axes, extend="both")
    bar.set_label(names[2].replace("_", " "))

    handles = [Line2D([], [], linestyle="", marker="o", color="grey",
                      markersize=math.sqrt(marker_area(w)), label=f"weight {w:,}")
               for w in LEGEND_WEIGHTS]
    handles.append(Line2D([], [], linestyle="", marker="x", color="red",
                          markersize=6, markeredgewidth=1.5,
                          label=f"value missing ({int(missing.sum())} rows)"))
    figure.legend(handles=handles, loc="lower center",
                  bbox_to_anchor=((left_margin + panel_width + gap / 2) / width, 0.0),
                  ncol=len(handles), frameon=False)
    figure.suptitle(f"{os.path.basename(args.input)}: {len(rate):,} rows, "
                    f"{names[2]} at ({names[0]}, {names[1]}), area by {names[3]}\n"
                    "smoothed with neighbors={neighbors}, triples={triples}, "
                    "iterations={iterations}, theta={theta:g}".format(**SETTINGS),
                    y=1.0 - 0.08 / height, va="top")

    # A 256-colour palette keeps the file small; the map has few colours.
    buffer = io.BytesIO()
    figure.savefig(buffer, format="png", dpi=DPI)
    buffer.seek(0)
    Image.open(buffer).convert("RGB").quantize(colors=256).save(args.output, optimize=True)
    print(f"wrote {args.output}")


if __name__ == "__main__":
    main()
