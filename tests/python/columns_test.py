"""What smooth takes: every missing-value kind makes its row missing, every
real dtype gives the float64 column's values, every refused kind raises
TypeError naming the argument, and the argument errors keep their texts."""
import datetime
import decimal
import fractions
import math

import numpy as np
import pandas as pd
import pytest

import tessel

# Twelve points on a 4 x 3 grid; the rates are whole numbers, so every real
# dtype holds them exactly.
X = [float(i % 4) for i in range(12)]
Y = [float(i // 4) for i in range(12)]
RATE = [float(v) for v in (5, 9, 2, 7, 7, 1, 8, 3, 6, 4, 9, 2)]
WEIGHT = [float(v) for v in (3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8)]
GAP = 5  # the row made missing


def reference(missing_row=None):
    rate = np.array(RATE)
    if missing_row is not None:
        rate[missing_row] = np.nan
    return tessel.smooth(X, Y, rate, WEIGHT)


def with_gap(values, gap):
    return values[:GAP] + [gap] + values[GAP + 1:]


MISSING = {
    "nan": lambda: with_gap(RATE, math.nan),
    "None": lambda: with_gap(RATE, None),
    "pd.NA": lambda: with_gap(RATE, pd.NA),
    "Float64 NA": lambda: pd.array(with_gap(RATE, None), dtype="Float64"),
    "Int64 NA": lambda: pd.Series(with_gap([int(v) for v in RATE], None), dtype="Int64"),
    "object None": lambda: pd.Series(with_gap(RATE, None), dtype=object),
    "masked": lambda: np.ma.masked_array(RATE, mask=[i == GAP for i in range(12)]),
    "masked int": lambda: np.ma.masked_array(np.array(RATE, dtype=np.int16),
                                             mask=[i == GAP for i in range(12)]),
}


@pytest.mark.parametrize("kind", MISSING)
def test_missing_values_make_the_row_missing(kind):
    got = tessel.smooth(X, Y, MISSING[kind](), WEIGHT)
    np.testing.assert_array_equal(got, reference(GAP))
    assert np.isnan(got[GAP])


REAL = [np.float16, np.float32, np.longdouble, np.int8, np.uint64, "Int32", "Float32",
        "UInt16", "Sparse[float]", 7, np.int32(7), np.float32(7), decimal.Decimal(7),
        fractions.Fraction(7)]


@pytest.mark.parametrize("real", REAL, ids=repr)
def test_every_real_dtype_and_number(real):
    """A dtype for the whole column, a number (in an object column) for row 3."""
    if isinstance(real, (str, type)):
        rate = pd.Series(RATE).astype(real) if isinstance(real, str) else np.array(RATE, real)
    else:
        rate = pd.Series(RATE[:3] + [real] + RATE[4:], dtype=object)
    np.testing.assert_array_equal(tessel.smooth(X, Y, rate, WEIGHT), reference())


REFUSED = {
    "numeric text": (with_gap(RATE, "5e0"), "strings"),
    "str array": (np.array(RATE).astype(str), "strings"),
    "string dtype": (pd.Series(RATE).astype(str).astype("string"), "strings"),
    "bytes": (with_gap(RATE, b"2"), "bytes"),
    "complex": (with_gap(RATE, 1 + 2j), "complex"),
    "complex array": (np.array(RATE, dtype=complex), "complex"),
    "bool": (with_gap(RATE, True), "booleans"),
    "bool array": (np.array(RATE, dtype=bool), "booleans"),
    "boolean dtype": (pd.array([True] * 12, dtype="boolean"), "booleans"),
    "date": (with_gap(RATE, datetime.date(2024, 1, 1)), "dates"),
    "datetime64": (np.arange(12).astype("datetime64[D]"), "dates"),
    "tz dates": (pd.Series(pd.date_range("2024", periods=12, tz="UTC")), "dates"),
    "NaT": (with_gap(RATE, pd.NaT), "dates"),
    "timedelta": (pd.Series(pd.to_timedelta(RATE, unit="s")), "time spans"),
    "other object": (with_gap(RATE, object()), "type object"),
    "categories": (pd.Series(RATE, dtype="category"), "not plain numbers"),
}


@pytest.mark.parametrize("kind", REFUSED)
@pytest.mark.parametrize("argument", ["x", "rate"])
def test_refused_kinds_name_the_argument(kind, argument):
    values, what = REFUSED[kind]
    columns = dict(x=X, y=Y, rate=RATE, weight=WEIGHT)
    columns[argument] = values
    with pytest.raises(TypeError, match=f"^{argument} holds .*{what}"):
        tessel.smooth(**columns)


OK = ([0.0, 1.0, 2.0],) * 4


@pytest.mark.parametrize("columns, options, error", [
    (OK[:3] + ([0.0, 1.0],), {}, "ValueError: x, y, rate and weight differ in length: 3, 3, 3, 2"),
    (([[0.0]],) * 4, {}, "ValueError: x, y, rate and weight must be 1-D"),
    (OK[:3] + ([1.0, -math.inf, 0.0],), {}, "ValueError: weight holds an infinite value at row 1"),
    ((np.broadcast_to(0.0, 2**31),) * 4, {}, "ValueError: 2147483648 rows are more than"),
    (OK, dict(neighbors=2.5), "TypeError: neighbors must be an integer, not float"),
    (OK, dict(triples=True), "TypeError: triples must be an integer, not a boolean"),
    (OK, dict(theta="135"), "TypeError: theta must be a real number, not str"),
])
def test_argument_errors(columns, options, error):
    with pytest.raises(Exception) as raised:
        tessel.smooth(*columns, **options)
    assert f"{raised.type.__name__}: {raised.value}".startswith(error)
