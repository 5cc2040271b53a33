"""The package's values as the program prints them, through smooth (lists, strided views)
and smooth_frame (named columns, a shuffled index), on the example and random tables; with
diagnostics=True, the core's columns of the example, bit for bit."""
import numpy as np
import pandas as pd
import pytest

import tessel
from conftest import EXAMPLE, assert_same_diagnostics, example_diagnostics, printed


def random_table(seed, n=400):  # points on a coarse grid (ties, duplicates), 2 % missing
    rng = np.random.default_rng(seed)
    table = np.column_stack([rng.integers(0, 60, (n, 2)) * 0.25 - 7,
                             np.round(rng.gamma(2.0, 10.0, n), 3), rng.integers(1, 5000, n)])
    table[rng.random(table.shape) < 0.02] = np.nan
    return table


@pytest.mark.parametrize("seed, options", [
    (None, {}), (None, dict(neighbors=2, triples=1, iterations=3)), (0, dict(neighbors=3)),
    (1, dict(neighbors=1, triples=0)),
    (None, dict(neighbors=100, triples=80, iterations=100, theta=99.5))])
def test_values_as_the_program_prints_them(run_program, seed, options):
    table = pd.read_csv(EXAMPLE).to_numpy() if seed is None else random_table(seed)
    want = run_program(EXAMPLE if seed is None else table.T, **options)
    as_lists = tessel.smooth(*(c.tolist() for c in table.T), **options)
    as_views = tessel.smooth(*table.T, **options)  # strided
    assert as_lists.dtype == np.float64 and printed(as_lists) == printed(as_views) == want
    frame = pd.DataFrame(table, columns=["east", "north", "r", "w"],
                         index=np.random.default_rng(9).permutation(len(table)) + 100)
    got = tessel.smooth_frame(frame, "r", "w", x="east", y="north", **options)
    assert printed(got) == want and got.index.equals(frame.index) and got.name == "smoothed"


def test_the_examples_diagnostics_are_the_cores():
    table = pd.read_csv(EXAMPLE)  # "NA" fields become NaN
    want = example_diagnostics()
    values, found = tessel.smooth(table.x_km, table.y_km, table.rate_per_1000,
                                  table.population, diagnostics=True)
    assert values.tobytes() == tessel.smooth(*table.to_numpy().T).tobytes()
    assert found.index.equals(pd.RangeIndex(len(table))) and found["held"].dtype == bool
    assert_same_diagnostics(found, want)
    shuffled = table.set_axis(np.random.default_rng(4).permutation(len(table)) + 7)
    frame = tessel.smooth_frame(shuffled, "rate_per_1000", "population", x="x_km", y="y_km",
                                diagnostics=True)
    assert frame.index.equals(shuffled.index) and list(frame.columns)[0] == "smoothed"
    assert frame["smoothed"].to_numpy().tobytes() == values.tobytes()
    assert_same_diagnostics(frame, want)
