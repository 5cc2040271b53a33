"""Shared fixtures of the Python package's tests: the program to compare
with, the bundled example, and a runner of the program on a table."""
import math
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLE = os.path.join(ROOT, "examples", "rates.csv")
FLAGS = {"neighbors": "-n", "triples": "-t", "iterations": "-i", "theta": "-a"}


def printed(values):
    """Values as the program prints its result table."""
    return "".join("NA\n" if math.isnan(v) else "%lf\n" % v for v in values)


def number_text(value):
    """A float as a plain decimal that reads back as the same double."""
    return "NA" if math.isnan(value) else np.format_float_positional(value, unique=True, trim="0")


@pytest.fixture(scope="session")
def program():
    path = os.environ.get("TESSEL_PROGRAM", os.path.join(ROOT, "build", "tessel"))
    path = os.path.abspath(path)
    if not os.access(path, os.X_OK):
        pytest.skip(f"the program {path} is not built")
    return path


@pytest.fixture(scope="session")
def example():
    return pd.read_csv(EXAMPLE)  # "NA" fields become NaN


@pytest.fixture
def run_program(program, tmp_path):
    """run_program(path or columns, **options): the program's result table."""
    def run(table, **options):
        if not isinstance(table, str):
            path = tmp_path / "table.csv"
            rows = zip(*(np.asarray(c, dtype=float) for c in table))
            path.write_text("x,y,rate,weight\n" + "".join(
                ",".join(number_text(v) for v in row) + "\n" for row in rows))
            table = str(path)
        flags = [str(a) for k, v in options.items() for a in (FLAGS[k], v)]
        done = subprocess.run([program, "-r", "-m", "NA", "-f", table] + flags,
                              capture_output=True, cwd=tmp_path, stdin=subprocess.DEVNULL,
                              text=True, timeout=120)
        assert done.returncode == 0, done.stderr
        return done.stdout[done.stdout.index("Smoothed Rate\n") + len("Smoothed Rate\n"):]
    return run
