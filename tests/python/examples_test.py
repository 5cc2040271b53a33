"""The example scripts on a labelled table in metres, its columns named by options: every
district drawn, the axes in the data's unit."""
import os
import runpy
import sys

import geopandas as gpd
import matplotlib
import pandas as pd
import pytest

from conftest import EXAMPLE, ROOT

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


@pytest.fixture(scope="module")
def labelled(tmp_path_factory):
    table = pd.read_csv(EXAMPLE)
    table = pd.DataFrame({"name": [f"D{i:04d}" for i in range(len(table))],
                          "pop": table["population"], "north_m": table["y_km"] * 1000,
                          "east_m": table["x_km"] * 1000, "rate": table["rate_per_1000"]})
    path = tmp_path_factory.mktemp("table") / "labelled.csv"
    table.to_csv(path, index=False, na_rep="NA")
    return str(path)


def run(script, *arguments, monkeypatch, capsys):
    """Runs an example as its command line would: what it printed, its axes' labels."""
    monkeypatch.setattr(sys, "argv", [script, *arguments])
    monkeypatch.syspath_prepend(os.path.join(ROOT, "examples"))
    plt.close("all")
    runpy.run_path(os.path.join(ROOT, "examples", script), run_name="__main__")
    axes = plt.gcf().axes
    return capsys.readouterr().out, (axes[0].get_xlabel(), axes[0].get_ylabel())


COLUMNS = ["--x", "east_m", "--y", "north_m", "--rate", "rate", "--weight", "pop"]


def test_districts_of_a_labelled_table(labelled, tmp_path, monkeypatch, capsys):
    png, gpkg = tmp_path / "d.png", tmp_path / "d.gpkg"
    out, axes = run("districts.py", "--input", labelled, *COLUMNS, "--label", "name",
                    "--output", str(png), "--geopackage", str(gpkg),
                    monkeypatch=monkeypatch, capsys=capsys)
    assert out == f"wrote {png}: 2,050 districts, 12 missing\n"
    assert axes == ("east (m)", "north (m)")  # the unit the columns' names give
    written = gpd.read_file(gpkg)
    assert list(written.columns) == ["rate", "pop", "name", "geometry"]
    assert written.crs.to_epsg() == 4326 and written.geometry.notna().sum() == 2050


def test_map_of_a_labelled_table(labelled, tmp_path, monkeypatch, capsys):
    png = tmp_path / "m.png"
    out, axes = run("map.py", "--input", labelled, *COLUMNS, "--label", "name", "--unit", "",
                    "--output", str(png), monkeypatch=monkeypatch, capsys=capsys)
    assert out == f"wrote {png}\n" and axes == ("east_m", "north_m")
    named = [t.get_text() for t in plt.gcf().axes[1].texts]
    assert len(named) == 5 and all(n.startswith("D") for n in named)
    with pytest.raises(SystemExit, match=r"has no column 'x_km' \(--x\); its columns: name, "):
        run("map.py", "--input", labelled, monkeypatch=monkeypatch, capsys=capsys)
