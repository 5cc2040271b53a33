"""What smooth takes: missing values of every kind make their row missing, every real
dtype gives the float64 column's values, and the refusals name the argument."""
import decimal
import re

import numpy as np
import pandas as pd
import pytest

import tessel

# Twelve points on a 4 x 3 grid; the rates are whole numbers, so every real
# dtype holds them exactly. Row GAP is the one made missing or replaced.
X, Y = [float(i % 4) for i in range(12)], [float(i // 4) for i in range(12)]
RATE = [float(v) for v in (5, 9, 2, 7, 7, 1, 8, 3, 6, 4, 9, 2)]
WEIGHT = [float(v) for v in (3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8)]
GAP, MASK = 5, [i == 5 for i in range(12)]


def gap(value):
    return RATE[:GAP] + [value] + RATE[GAP + 1:]


PACKED = np.zeros(12, dtype=[("pad", "i1"), ("rate", "f8")])  # rows 9 bytes apart, unaligned
PACKED["rate"] = RATE


SAME = [  # a rate column, and whether row GAP is missing in it
    (gap(None), True), (pd.Series(gap(pd.NA), dtype=object), True),
    (pd.array(gap(None), dtype="Float64"), True), (pd.Series(gap(None), dtype="Int64"), True),
    (np.ma.masked_array(RATE, MASK), True), (np.ma.masked_array(np.int16(RATE), MASK), True),
    (PACKED["rate"], False),
    *[(np.array(RATE, t), False) for t in (np.float16, np.float32, np.longdouble, np.uint64)],
    *[(pd.Series(RATE).astype(t), False) for t in ("Int32", "Float32", "UInt16", "Sparse[float]")],
    *[(gap(t(RATE[GAP])), False) for t in (int, np.int8, np.float32, decimal.Decimal)],
]


@pytest.mark.parametrize("rate, missing", SAME)
def test_missing_kinds_and_real_dtypes(rate, missing):
    want = np.where(np.arange(12) == GAP, np.nan, RATE) if missing else RATE
    np.testing.assert_array_equal(tessel.smooth(X, Y, rate, WEIGHT),
                                  tessel.smooth(X, Y, want, WEIGHT))


KINDS = [  # columns of what smooth refuses, and what the error says they hold
    (gap("5e0"), "strings"), (np.array(RATE).astype(str), "strings"), (gap(b"2"), "bytes"),
    (pd.Series(RATE).astype(str).astype("string"), "strings"), (gap(True), "booleans"),
    (np.array(RATE, bool), "booleans"), (pd.array([True] * 12, dtype="boolean"), "booleans"),
    (gap(1j), "complex"), (np.array(RATE, complex), "complex"), (gap(object()), "type object"),
    (gap(np.datetime64(0, "D")), "dates"), (np.arange(12).astype("datetime64[D]"), "dates"),
    (pd.Series(pd.date_range("2024", periods=12, tz="UTC")), "dates"),
    (pd.Series(pd.to_timedelta(RATE, unit="s")), "time spans"),
    (pd.Series(RATE, dtype="category"), "not plain numbers"),
]
REFUSED = [  # arguments replaced, and how the error starts
    *[({a: v}, f"TypeError: {a} holds .*{what}") for a in ("x", "rate") for v, what in KINDS],
    (dict(weight=WEIGHT[:11]), "ValueError: x, y, rate and weight differ in length: .*, 11"),
    (dict(y=np.ones((12, 1))), "ValueError: x, y, rate and weight must be 1-D"),
    (dict(weight=gap(-np.inf)), "ValueError: weight holds an infinite value at row 5"),
    (dict.fromkeys(("x", "y", "rate", "weight"), np.broadcast_to(0.0, 2**31)),
     "ValueError: 2147483648 rows are more than"),
    (dict(neighbors=2.5), "TypeError: neighbors must be an integer, not float"),
    (dict(triples=True), "TypeError: triples must be an integer, not a boolean"),
    (dict(theta="135"), "TypeError: theta must be a real number, not str"),
]


@pytest.mark.parametrize("replaced, error", REFUSED)
def test_refusals(replaced, error):
    with pytest.raises(Exception) as raised:
        tessel.smooth(**{**dict(x=X, y=Y, rate=RATE, weight=WEIGHT), **replaced})
    assert re.match(error, f"{raised.type.__name__}: {raised.value}")
