"""diagnostics=True: smooth and smooth_frame give the core's columns of the example, bit for bit."""
import numpy as np
import pandas as pd

import tessel
from conftest import EXAMPLE, assert_same_diagnostics, example_diagnostics, printed


def test_the_examples_diagnostics_are_the_cores(run_program):
    table = pd.read_csv(EXAMPLE)  # "NA" fields become NaN
    want = example_diagnostics()
    values, found = tessel.smooth(table.x_km, table.y_km, table.rate_per_1000,
                                  table.population, diagnostics=True)
    assert printed(values) == run_program(EXAMPLE)
    assert found.index.equals(pd.RangeIndex(len(table))) and found["held"].dtype == bool
    assert_same_diagnostics(found, want)

    shuffled = table.set_axis(np.random.default_rng(4).permutation(len(table)) + 7)
    frame = tessel.smooth_frame(shuffled, "rate_per_1000", "population", x="x_km", y="y_km",
                                diagnostics=True)
    assert frame.index.equals(shuffled.index) and list(frame.columns)[0] == "smoothed"
    assert frame["smoothed"].to_numpy().tobytes() == values.tobytes()
    assert_same_diagnostics(frame, want)
