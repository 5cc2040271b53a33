#!/usr/bin/env python3
"""Draws the bundled example's districts as polygons, observed and smoothed.

The example table (examples/rates.csv) holds one point per district; this
script makes each district's polygon the Voronoi cell of its point (shapely),
puts the cells in a GeoDataFrame, smooths it with tessel.smooth_frame (each
polygon is smoothed at its centroid) and writes a map of two panels, observed
and smoothed rates on one colour scale, districts with a missing value
hatched. Its coordinates are kilometres in a plane, so the frame has no CRS;
a frame in a geographic CRS would first need
frame.to_crs(frame.estimate_utm_crs()).

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
import pandas as pd  # noqa: E402
from matplotlib.colors import Normalize  # noqa: E402
from shapely.geometry import MultiPoint, Point  # noqa: E402
from shapely.ops import voronoi_diagram  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The package built by make python, when it is not installed.
sys.path.append(os.path.join(ROOT, "build", "python"))
import tessel  # noqa: E402


def district_cells(x, y):
    """Each row's Voronoi cell, clipped to the points' box grown by 1.5 km;
    None for a row without coordinates."""
    placed = np.isfinite(x) & np.isfinite(y)
    points = [Point(a, b) for a, b in zip(x[placed], y[placed])]
    box = MultiPoint(points).envelope.buffer(1.5, join_style=2)
    cells = gpd.GeoSeries([cell.intersection(box)
                           for cell in voronoi_diagram(MultiPoint(points), box).geoms])
    shapes = [None] * len(x)
    for row, point in zip(np.flatnonzero(placed), points):
        shapes[row] = cells.iloc[cells.sindex.query(point, predicate="within")[0]]
    return shapes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--input", default=os.path.join(ROOT, "examples", "rates.csv"))
    parser.add_argument("--output", default="districts.png")
    parser.add_argument("--geopackage", metavar="PATH",
                        help="also write the districts to PATH as a GeoPackage in longitude "
                             "and latitude (EPSG:4326), their kilometres taken as a UTM zone's")
    args = parser.parse_args()

    table = pd.read_csv(args.input)  # "NA" fields become NaN
    x_name, y_name, rate, weight = table.columns[:4]
    districts = gpd.GeoDataFrame(
        table[[rate, weight]],
        geometry=district_cells(table[x_name].to_numpy(), table[y_name].to_numpy()))
    if args.geopackage:
        # Kilometres east and north in UTM zone 33N, then longitude and latitude.
        lonlat = districts.copy()
        lonlat.geometry = lonlat.geometry.scale(1000, 1000, origin=(0, 0))
        lonlat.set_crs(32633).to_crs(4326).to_file(args.geopackage, driver="GPKG")
    districts["smoothed"] = tessel.smooth_frame(districts, rate, weight)

    observed = districts[rate].dropna()
    norm = Normalize(*np.percentile(observed, [1, 99]))
    figure, panels = plt.subplots(1, 2, figsize=(11, 5.6), sharey=True, layout="constrained")
    missing = {"color": "lightgrey", "hatch": "///", "edgecolor": "grey", "linewidth": 0.2}
    for axes, column, title in zip(panels, (rate, "smoothed"), ("Observed", "Smoothed")):
        districts.plot(column=column, ax=axes, cmap="viridis", norm=norm, edgecolor="white",
                       linewidth=0.15, missing_kwds=missing)
        axes.set_title(f"{title} {rate.replace('_', ' ')}")
        axes.set_xlabel(f"{x_name} (km)")
        axes.set_aspect("equal")
    panels[0].set_ylabel(f"{y_name} (km)")
    figure.colorbar(plt.cm.ScalarMappable(norm=norm, cmap="viridis"), ax=panels,
                    extend="both", shrink=0.8)
    figure.savefig(args.output, dpi=110)
    print(f"wrote {args.output}: {len(districts):,} districts, "
          f"{int(districts['smoothed'].isna().sum())} missing")


if __name__ == "__main__":
    main()
