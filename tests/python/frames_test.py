"""smooth_frame's rules: where the points come from (columns, points,
centroids, representative points), the CRS refusal, the index, missing rows
and refused columns, and the progress argument."""
import sys

import geopandas as gpd
import numpy as np
import pandas as pd
import pytest
import shapely.geometry as sg

import tessel

N = 40
RNG = np.random.default_rng(3)
XY = np.round(RNG.random((N, 2)) * 1000, 2)
RATE = np.round(RNG.gamma(2.0, 10.0, N), 2)
WEIGHT = RNG.integers(1, 100, N).astype(float)


def smoothed(x, y, rate=RATE, **options):
    return tessel.smooth(x, y, rate, WEIGHT, **options)


def c_shape(x, y):
    """A C-shaped polygon around (x, y): its centroid lies outside it."""
    return sg.Polygon([(x - 9, y - 9), (x + 9, y - 9), (x + 9, y - 6), (x - 6, y - 6),
                       (x - 6, y + 6), (x + 9, y + 6), (x + 9, y + 9), (x - 9, y + 9)])


def geo_frame(shapes, crs="EPSG:3857"):
    return gpd.GeoDataFrame({"r": RATE, "w": WEIGHT}, geometry=shapes, crs=crs,
                            index=np.arange(N) // 2)  # labels twice each


def test_data_frame_columns_on_a_shuffled_index():
    index = pd.Index(RNG.permutation(N) + 100, name="id")
    frame = pd.DataFrame({"east": XY[:, 0], "north": XY[:, 1], "r": RATE, "w": WEIGHT},
                         index=index).iloc[::-1]  # neither sorted nor the rows' order
    got = tessel.smooth_frame(frame, "r", "w", x="east", y="north", neighbors=6)
    assert got.name == "smoothed" and got.index.equals(frame.index)
    want = tessel.smooth(frame.east, frame.north, frame.r, frame.w, neighbors=6)
    np.testing.assert_array_equal(got.to_numpy(), want)


@pytest.mark.parametrize("points, locate", [
    ("centroid", lambda shape: shape.centroid),
    ("representative", lambda shape: shape.representative_point()),
])
def test_geometries_by_centroid_or_representative_point(points, locate):
    shapes = [sg.Point(x, y) if i % 3 == 0 else c_shape(x, y) if i % 3 == 1
              else sg.LineString([(x, y), (x + 5, y + 1)]) for i, (x, y) in enumerate(XY)]
    got = tessel.smooth_frame(geo_frame(shapes), "r", "w", points=points)
    located = [locate(shape) for shape in shapes]
    np.testing.assert_array_equal(got, smoothed([p.x for p in located], [p.y for p in located]))
    if points == "representative":  # inside the polygon, where the centroid is not
        assert all(shape.contains(p) for shape, p in zip(shapes[1::3], located[1::3]))
        assert not any(shape.contains(s.centroid) for shape, s in zip(shapes[1::3], shapes[1::3]))


@pytest.mark.parametrize("crs", ["EPSG:4326", "EPSG:4269", "EPSG:4978", None])
def test_degrees_are_refused_with_the_fix(crs):
    frame = geo_frame([sg.Point(x, y) for x, y in XY], crs=crs)
    if crs is None:  # taken as planar
        np.testing.assert_array_equal(tessel.smooth_frame(frame, "r", "w"), smoothed(*XY.T))
        return
    with pytest.raises(ValueError, match=r"frame\.to_crs\(frame\.estimate_utm_crs\(\)\)"):
        tessel.smooth_frame(frame, "r", "w")


def test_missing_geometries_are_missing_rows():
    shapes = [sg.Point(x, y) for x, y in XY]
    shapes[2], shapes[5], shapes[7] = None, sg.Polygon(), sg.Point()
    got = tessel.smooth_frame(geo_frame(shapes), "r", "w")
    x, y = XY[:, 0].copy(), XY[:, 1].copy()
    x[[2, 5, 7]] = np.nan
    np.testing.assert_array_equal(got, smoothed(x, y))
    assert np.isnan(got.iloc[[2, 5, 7]]).all()


def test_refusals_name_the_column():
    frame = pd.DataFrame({"x": XY[:, 0], "y": XY[:, 1], "r": RATE.astype(str), "w": WEIGHT})
    with pytest.raises(TypeError, match=r"^rate \(column 'r'\) holds strings"):
        tessel.smooth_frame(frame, "r", "w")
    with pytest.raises(KeyError, match="weight: the frame has no column 'pop'"):
        tessel.smooth_frame(frame, "w", "pop")


def test_progress_reports_every_phase_in_order(monkeypatch, capsys):
    frame = pd.DataFrame({"x": XY[:, 0], "y": XY[:, 1], "r": RATE, "w": WEIGHT})
    seen = []
    tessel.smooth_frame(frame, "r", "w", progress=lambda phase, share: seen.append((phase, share)))
    phases = list(dict.fromkeys(phase for phase, _ in seen))
    assert phases == ["k-d tree", "renumbering", "search and triples", "iterations",
                      "caller's order"]
    assert all((p, 0.0) in seen and (p, 1.0) in seen for p in phases)
    tessel.smooth_frame(frame, "r", "w", progress=True)  # tqdm draws on standard error
    err = capsys.readouterr().err
    assert all(f"tessel: {p}: 100%" in err for p in phases)
    monkeypatch.setitem(sys.modules, "tqdm", None)
    monkeypatch.setitem(sys.modules, "tqdm.auto", None)
    with pytest.raises(ImportError, match="python3-tqdm"):
        tessel.smooth_frame(frame, "r", "w", progress=True)
    with pytest.raises(ZeroDivisionError):  # the callable's exception stops the run
        tessel.smooth_frame(frame, "r", "w", progress=lambda phase, share: 1 / (share < 1))
