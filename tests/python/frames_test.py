"""smooth_frame on GeoDataFrames: points, centroids or representative points, the index,
the CRS refusal; the columns' names in its errors, and the progress argument."""
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


@pytest.mark.parametrize("points, crs", [("centroid", "EPSG:3857"), ("representative", None)])
def test_geometries_by_centroid_or_representative_point(points, crs):
    frame = gpd.GeoDataFrame({"r": RATE, "w": WEIGHT}, geometry=SHAPES, crs=crs,
                             index=np.arange(N) // 2)  # labels twice each
    got = tessel.smooth_frame(frame, "r", "w", points=points)
    at = [None if s is None or s.is_empty else
          s.centroid if points == "centroid" else s.representative_point() for s in SHAPES]
    x, y = np.array([(np.nan, np.nan) if p is None else (p.x, p.y) for p in at]).T
    assert got.index.equals(frame.index) and np.isnan(got.iloc[[1, 5, 9]]).all()
    np.testing.assert_array_equal(got, tessel.smooth(x, y, RATE, WEIGHT))
    assert all(s.contains(p) == (points == "representative")  # they differ for the C shapes
               for s, p in zip(SHAPES[2::3], at[2::3]) if p is not None)


@pytest.mark.parametrize("crs", ["EPSG:4326", "EPSG:4978"])  # degrees, geocentric
def test_unprojected_crs_is_refused_with_the_fix(crs):
    with pytest.raises(ValueError, match=r"frame\.to_crs\(frame\.estimate_utm_crs\(\)\)"):
        tessel.smooth_frame(gpd.GeoDataFrame(FRAME, geometry=SHAPES, crs=crs), "r", "w")


def test_refusals_name_the_column():
    with pytest.raises(TypeError, match=r"^rate \(column 'r'\) holds strings"):
        tessel.smooth_frame(FRAME.astype({"r": str}), "r", "w")


def test_progress_reports_every_phase_from_0_to_1(capsys):
    seen = []
    tessel.smooth_frame(FRAME, "r", "w", progress=lambda *report: seen.append(report))
    phases = list(dict.fromkeys(phase for phase, _ in seen))
    assert len(phases) == 5 and all((p, 0.0) in seen and (p, 1.0) in seen for p in phases)
    tessel.smooth_frame(FRAME, "r", "w", progress=True)  # tqdm draws on standard error
    err = capsys.readouterr().err
    assert all(f"tessel: {p}: 100%" in err for p in phases)
    with pytest.raises(ZeroDivisionError):  # the callable's exception stops the run
        tessel.smooth_frame(FRAME, "r", "w", progress=lambda phase, share: 1 / (share < 1))
