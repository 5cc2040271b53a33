#!/usr/bin/env python3
"""Draws the bundled example's districts as polygons, observed and smoothed.

The example table (examples/rates.csv) holds one point per district; this
script makes each district's polygon the Voronoi cell of its point (shapely),
puts the cells in a GeoDataFrame, smooths it with tessel.smooth_frame (each
polygon is smoothed at its centroid) and writes a map of two panels, observed
and smoothed rates on one colour scale, districts with a missing value
hatched. --x, --y, --rate and --weight name the columns of another table
(--label one carried along); the axes show the coordinates' unit, taken from
the x column's name (x_km) or --unit. Its coordinates are lengths in a
plane, so the frame has no CRS; a frame in a geographic CRS would first need
frame.to_crs(tessel.suggest_crs(frame)).

With the package installed (pip) or built (make python):
    PYTHONPATH=build/python /usr/bin/python3 examples/districts.py --output districts.png
"""
import argparse
import os
import sys

import matplotlib

matplotlib.use("Agg")
import geopandas as gpd  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.colors import Normalize  # noqa: E402
from shapely.geometry import MultiPoint, Point  # noqa: E402
from shapely.ops import voronoi_diagram  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The package built by make python, when it is not installed.
sys.path.append(os.path.join(ROOT, "build", "python"))
import tessel  # noqa: E402
from table_options import add_table_options, axis_label, read_table, unit_of  # noqa: E402


def district_cells(x, y):
    """Each row's Voronoi cell, clipped to the points' box grown by 1.5 % of
    its wider side; None for a row without coordinates."""
    placed = np.isfinite(x) & np.isfinite(y)
    if not placed.any():
        sys.exit("districts.py: no row has both coordinates")
    points = [Point(a, b) for a, b in zip(x[placed], y[placed])]
    margin = 0.015 * max(np.ptp(x[placed]), np.ptp(y[placed]))
    box = MultiPoint(points).envelope.buffer(margin, join_style=2)
    cells = gpd.GeoSeries([cell.intersection(box)
                           for cell in voronoi_diagram(MultiPoint(points), box).geoms])
    shapes = [None] * len(x)
    for row, point in zip(np.flatnonzero(placed), points):
        shapes[row] = cells.iloc[cells.sindex.query(point, predicate="within")[0]]
    return shapes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_table_options(parser)
    parser.add_argument("--output", default="districts.png")
    parser.add_argument("--geopackage", metavar="PATH",
                        help="also write the districts to PATH as a GeoPackage in longitude "
                             "and latitude (EPSG:4326), their coordinates (km or m) taken as "
                             "UTM zone 33N's")
    args = parser.parse_args()

    table = read_table(args)
    unit = unit_of(args)
    rate = args.rate
    carried = [name for name in (rate, args.weight, args.label) if name is not None]
    districts = gpd.GeoDataFrame(
        table[carried],
        geometry=district_cells(table[args.x].to_numpy(dtype=float),
                                table[args.y].to_numpy(dtype=float)))
    if args.geopackage:
        metres = {"km": 1000, "m": 1}.get(unit)
        if metres is None:
            sys.exit(f"districts.py: --geopackage takes the coordinates as UTM zone 33N's in "
                     f"km or m, not in {unit or 'an unknown unit'} (--unit names it)")
        lonlat = districts.copy()
        lonlat.geometry = lonlat.geometry.scale(metres, metres, origin=(0, 0))
        lonlat.set_crs(32633).to_crs(4326).to_file(args.geopackage, driver="GPKG")
    districts["smoothed"] = tessel.smooth_frame(districts, rate, args.weight)
    if districts["smoothed"].isna().all():
        sys.exit(f"districts.py: no row of {args.input} has all of {args.x}, {args.y}, "
                 f"{rate} and {args.weight}: there is nothing to draw")

    observed = districts[rate].dropna()
    norm = Normalize(*np.percentile(observed, [1, 99]))
    figure, panels = plt.subplots(1, 2, figsize=(11, 5.6), sharey=True, layout="constrained")
    missing = {"color": "lightgrey", "hatch": "///", "edgecolor": "grey", "linewidth": 0.2}
    for axes, column, title in zip(panels, (rate, "smoothed"), ("Observed", "Smoothed")):
        districts.plot(column=column, ax=axes, cmap="viridis", norm=norm, edgecolor="white",
                       linewidth=0.15, missing_kwds=missing)
        axes.set_title(f"{title} {str(rate).replace('_', ' ')}")
        axes.set_xlabel(axis_label(args.x, unit))
        axes.set_aspect("equal")
    panels[0].set_ylabel(axis_label(args.y, unit))
    figure.colorbar(plt.cm.ScalarMappable(norm=norm, cmap="viridis"), ax=panels,
                    extend="both", shrink=0.8)
    figure.savefig(args.output, dpi=110)
    print(f"wrote {args.output}: {len(districts):,} districts, "
          f"{int(districts['smoothed'].isna().sum())} missing")


if __name__ == "__main__":
    main()
