"""The package against the program: the same values, as the program prints
them, through smooth (lists, strided views), smooth_frame on a DataFrame and
on a GeoDataFrame of polygons (their centroids)."""
import geopandas as gpd
import numpy as np
import pandas as pd
import pytest
import shapely.geometry as sg

import tessel
from conftest import EXAMPLE, printed

OPTION_SETS = [{}, dict(neighbors=2, triples=1, iterations=3), dict(neighbors=1, triples=0),
               dict(neighbors=100, triples=80, iterations=100, theta=99.5)]


@pytest.mark.parametrize("options", OPTION_SETS)
def test_example_as_the_program_prints_it(example, run_program, options):
    want = run_program(EXAMPLE, **options)
    table = example.to_numpy()
    as_lists = tessel.smooth(*(table[:, c].tolist() for c in range(4)), **options)
    as_views = tessel.smooth(*(table[:, c] for c in range(4)), **options)  # strided
    assert as_lists.dtype == np.float64 and printed(as_lists) == printed(as_views) == want
    frame = example.set_axis(["x", "y", "r", "w"], axis=1)
    assert printed(tessel.smooth_frame(frame, "r", "w", **options)) == want


def random_table(seed, n=400):
    """Points on a coarse grid (ties and duplicates), some rows missing."""
    rng = np.random.default_rng(seed)
    table = [rng.integers(0, 60, n) * 0.25, rng.integers(0, 60, n) * 0.5 - 7,
             np.round(rng.gamma(2.0, 10.0, n), 3), rng.integers(1, 5000, n).astype(float)]
    for column in table:
        column[rng.random(n) < 0.02] = np.nan
    return table


@pytest.mark.parametrize("seed", range(3))
def test_random_tables(run_program, seed):
    x, y, rate, weight = random_table(seed)
    options = dict(neighbors=int(3 + 4 * seed), triples=int(2 + 3 * seed))
    want = run_program((x, y, rate, weight), **options)
    assert printed(tessel.smooth(x, y, rate, weight, **options)) == want


def test_polygons_by_their_centroids(run_program):
    """Voronoi-like irregular polygons in a projected CRS: the values are the
    program's on the centroids, on the frame's own index."""
    rng = np.random.default_rng(7)
    n = 300
    cx, cy = rng.random(n) * 5000 + 4e5, rng.random(n) * 5000 + 5.5e6
    shapes = [sg.Polygon([(a + rng.random() * 40 * np.cos(t), b + rng.random() * 40 * np.sin(t))
                          for t in np.linspace(0, 2 * np.pi, 7)[:-1]]) for a, b in zip(cx, cy)]
    frame = gpd.GeoDataFrame({"r": rng.gamma(2.0, 10.0, n), "w": rng.integers(1, 900, n)},
                             geometry=shapes, crs="EPSG:32633",
                             index=pd.Index(rng.permutation(n) * 3, name="district"))
    got = tessel.smooth_frame(frame, "r", "w")
    centroids = frame.geometry.centroid
    want = run_program((centroids.x, centroids.y, frame.r, frame.w))
    assert printed(got) == want
    assert got.index.equals(frame.index) and got.name == "smoothed"

