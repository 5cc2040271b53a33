"""smooth_frame on GeoDataFrames (where shapes are placed, the index, CRS refusals, rows lost
to a projection), suggest_crs, and the columns' names in smooth_frame's errors."""
import re
import warnings

import geopandas as gpd
import numpy as np
import pandas as pd
import pytest
import shapely.geometry as sg

import tessel

N = 40
RNG = np.random.default_rng(3)
XY = np.round(RNG.random((N, 2)) * 1000, 2)
RATE, WEIGHT = np.round(RNG.gamma(2.0, 10.0, N), 2), RNG.integers(1, 100, N).astype(float)
FRAME = pd.DataFrame({"x": XY[:, 0], "y": XY[:, 1], "r": RATE, "w": WEIGHT})


# Points, C-shaped polygons around the points (their centroids lie outside
# them) and lines; one missing and two empty geometries.
SHAPES = [sg.Point(x, y) if i % 3 == 0 else sg.LineString([(x, y), (x + 5, y + 1)]) if i % 3 == 1
          else sg.box(x - 9, y - 9, x + 9, y + 9).difference(sg.box(x - 6, y - 6, x + 9, y + 6))
          for i, (x, y) in enumerate(XY)]
SHAPES[1], SHAPES[5], SHAPES[9] = None, sg.Polygon(), sg.Point()


@pytest.mark.parametrize("chosen, points, crs", [({}, "centroid", "EPSG:3857"),
                                                 ({"points": "representative"}, "representative",
                                                  None)])
def test_geometries_by_centroid_or_representative_point(chosen, points, crs):
    frame = gpd.GeoDataFrame({"r": RATE, "w": WEIGHT}, geometry=SHAPES, crs=crs,
                             index=np.arange(N) // 2)  # labels twice each
    with pytest.warns(UserWarning, match="^2 rows have empty or infinite coordinates"):
        got = tessel.smooth_frame(frame, "r", "w", **chosen)
    at = [None if s is None or s.is_empty else
          s.centroid if points == "centroid" else s.representative_point() for s in SHAPES]
    x, y = np.array([(np.nan, np.nan) if p is None else (p.x, p.y) for p in at]).T
    assert got.index.equals(frame.index) and np.isnan(got.iloc[[1, 5, 9]]).all()
    np.testing.assert_array_equal(got, tessel.smooth(x, y, RATE, WEIGHT))
    assert all(s.contains(p) == (points == "representative")  # they differ for the C shapes
               for s, p in zip(SHAPES[2::3], at[2::3]) if p is not None)


@pytest.mark.parametrize("crs", ["EPSG:4326", "EPSG:4978"])  # degrees, geocentric
def test_unprojected_crs_is_refused_with_the_fix(crs):
    with pytest.raises(ValueError, match=r"frame\.to_crs\(tessel\.suggest_crs\(frame\)\)$"):
        tessel.smooth_frame(gpd.GeoDataFrame(FRAME, geometry=SHAPES, crs=crs), "r", "w")


def towns(n, lon, lat, seed=2):  # n random towns in longitude and latitude
    rng = np.random.default_rng(seed)
    places = gpd.points_from_xy((rng.uniform(*lon, n) + 180) % 360 - 180, rng.uniform(*lat, n))
    return gpd.GeoDataFrame({"r": rng.gamma(2.0, 10.0, n), "w": rng.integers(1, 100, n)},
                            geometry=places, crs="EPSG:4326")


@pytest.mark.parametrize("lon, lat, chosen", [
    ((12.2, 17.8), (40, 50), "UTM zone 33N"), ((-71.5, -66.5), (-50, -40), "UTM zone 19S"),
    ((14, 19.5), (40, 50), r"Lambert azimuthal equal-area centred at 4\d.* 1\d.* E"),  # 18 E
    ((170, 190), (-20, 0), "Lambert azimuthal equal-area centred at .* S 1(79|80).*"),
    ((-180, 180), (-80, 80), "Equal Earth")])
def test_suggest_crs_keeps_every_row_finite(lon, lat, chosen):
    frame = towns(300, lon, lat)
    crs = tessel.suggest_crs(frame)
    assert re.search(chosen, crs.name), crs.name
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert np.isfinite(tessel.smooth_frame(frame.to_crs(crs), "r", "w")).all()


def test_rows_a_projection_cannot_place_are_missing_with_one_warning():
    world = towns(400, (-180, 180), (-80, 80)).to_crs("EPSG:32630")  # one UTM zone
    x, y = world.geometry.x.to_numpy(), world.geometry.y.to_numpy()
    lost = ~np.isfinite(x)
    assert lost.any()
    with pytest.warns(UserWarning) as caught:
        got = tessel.smooth_frame(world, "r", "w")
    assert [str(w.message) for w in caught] == [f"{lost.sum()} rows have empty or infinite "
                                                "coordinates after projection; they are "
                                                "returned as missing"]
    x[lost] = y[lost] = np.nan
    np.testing.assert_array_equal(got, tessel.smooth(x, y, world["r"], world["w"]))


@pytest.mark.parametrize("call, error", [
    (lambda: tessel.smooth_frame(FRAME.astype({"r": str}), "r", "w"),
     r"TypeError: rate \(column 'r'\) holds strings"),
    (lambda: tessel.smooth_frame(FRAME.assign(x=np.where(FRAME.index == 3, np.inf, XY[:, 0]))
                                 .set_axis([f"d{i}" for i in range(N)]), "r", "w"),
     r"ValueError: x \(column 'x'\) holds an infinite value at row 'd3'$"),
    (lambda: tessel.suggest_crs(gpd.GeoDataFrame(geometry=SHAPES)),
     r"ValueError: the frame has no CRS"),
    (lambda: tessel.suggest_crs(FRAME), r"TypeError: frame must be a GeoDataFrame")])
def test_refusals(call, error):
    with pytest.raises(Exception) as raised:
        call()
    assert re.match(error, f"{raised.type.__name__}: {raised.value}")
