"""Shared: the bundled example, the program's results, the core's diagnostics of the example."""
import csv
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLE = os.path.join(ROOT, "examples", "rates.csv")
FLAGS = {"neighbors": "-n", "triples": "-t", "iterations": "-i", "theta": "-a"}
# The C++ core's diagnostics of the example at the default options, one row per input row.
DIAGNOSTICS = os.path.join(ROOT, "tests", "diagnostics", "example.csv")


def example_diagnostics():
    """The columns of tests/diagnostics/example.csv, each parsed back to float64 exactly."""
    with open(DIAGNOSTICS, newline="") as table:
        header, *rows = list(csv.reader(table))
    return {name: np.array([float(row[i]) for row in rows]) for i, name in enumerate(header)}


def assert_same_diagnostics(got, want):
    """The DataFrame's diagnostic columns are want's, in its order, bit for bit."""
    assert [c for c in got.columns if c != "smoothed"] == list(want)
    for name, values in want.items():
        as_float = got[name].to_numpy().astype(np.float64)
        assert as_float.tobytes() == values.tobytes(), name


def printed(values):  # as the program prints its result table
    return "".join("NA\n" if np.isnan(v) else "%lf\n" % v for v in values)


@pytest.fixture
def run_program(tmp_path):
    """run_program(path or columns, **options): the program's result table."""
    program = os.path.abspath(os.environ.get("TESSEL_PROGRAM", f"{ROOT}/build/tessel"))
    if not os.access(program, os.X_OK):
        pytest.skip(f"the program {program} is not built")

    def run(table, **options):
        if not isinstance(table, str):  # each value a decimal that reads back the same
            path = tmp_path / "table.csv"
            pd.DataFrame(np.column_stack(table), columns=["x", "y", "rate", "weight"]).to_csv(
                path, index=False, na_rep="NA",
                float_format=lambda v: np.format_float_positional(v, unique=True, trim="0"))
            table = str(path)
        flags = [str(a) for k, v in options.items() for a in (FLAGS[k], v)]
        done = subprocess.run([program, "-r", "-m", "NA", "-f", table] + flags,
                              capture_output=True, cwd=tmp_path, stdin=subprocess.DEVNULL,
                              text=True, timeout=120)
        assert done.returncode == 0, done.stderr
        return done.stdout.split("Smoothed Rate\n", 1)[1]
    return run
