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
# dtype holds them exactly. Row GAP is the one made missing or replaced.
X, Y = [float(i % 4) for i in range(12)], [float(i // 4) for i in range(12)]
RATE = [float(v) for v in (5, 9, 2, 7, 7, 1, 8, 3, 6, 4, 9, 2)]
WEIGHT = [float(v) for v in (3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8)]
GAP = 5
MASK = [i == GAP for i in range(12)]


def gap(value):
    return RATE[:GAP] + [value] + RATE[GAP + 1:]


SAME = [  # a rate column, and whether row GAP is missing in it
    (gap(None), True), (pd.Series(gap(pd.NA), dtype=object), True),
    (pd.array(gap(None), dtype="Float64"), True), (pd.Series(gap(None), dtype="Int64"), True),
    (np.ma.masked_array(RATE, MASK), True), (np.ma.masked_array(np.int16(RATE), MASK), True),
    *[(np.array(RATE, t), False) for t in (np.float16, np.float32, np.longdouble, np.uint64)],
    *[(pd.Series(RATE).astype(t), False) for t in ("Int32", "Float32", "UInt16", "Sparse[float]")],
    *[(gap(t(RATE[GAP])), False) for t in (int, np.int8, decimal.Decimal, fractions.Fraction)],
]


@pytest.mark.parametrize("rate, missing", SAME)
def test_missing_kinds_and_real_dtypes(rate, missing):
    want = np.array(RATE)
    want[GAP] = math.nan if missing else want[GAP]
    np.testing.assert_array_equal(tessel.smooth(X, Y, rate, WEIGHT),
                                  tessel.smooth(X, Y, want, WEIGHT))


REFUSED = [  # a column, and what the error says it holds
    (gap("5e0"), "strings"), (np.array(RATE).astype(str), "strings"),
    (pd.Series(RATE).astype(str).astype("string"), "strings"), (gap(b"2"), "bytes"),
    (gap(1 + 2j), "complex"), (np.array(RATE, dtype=complex), "complex"),
    (gap(True), "booleans"), (np.array(RATE, dtype=bool), "booleans"),
    (pd.array([True] * 12, dtype="boolean"), "booleans"),
    (gap(datetime.date(2024, 1, 1)), "dates"), (np.arange(12).astype("datetime64[D]"), "dates"),
    (pd.Series(pd.date_range("2024", periods=12, tz="UTC")), "dates"),
    (pd.Series(pd.to_timedelta(RATE, unit="s")), "time spans"), (gap(object()), "type object"),
    (pd.Series(RATE, dtype="category"), "not plain numbers"),
]


@pytest.mark.parametrize("values, what", REFUSED)
@pytest.mark.parametrize("argument", ["x", "rate"])
def test_refused_kinds_name_the_argument(values, what, argument):
    columns = {**dict(x=X, y=Y, rate=RATE, weight=WEIGHT), argument: values}
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
