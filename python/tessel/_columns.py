"""One argument of tessel.smooth turned into a 1-D float64 array.

Missing entries become NaN, as pandas and numpy mark them: NaN, None, pd.NA
(nullable columns such as Float64 and Int64) and the masked entries of a
numpy masked array. Only real numbers are taken: strings, bytes, complex
numbers, booleans, dates, times and time spans raise TypeError naming the
argument, whether they make up the whole column or hide in an object column,
so that nothing is ever parsed from text or silently truncated. A float64
array (or a strided view of one) without a mask is used as it is, not copied.
"""
from __future__ import annotations

import datetime
import decimal
import numbers
import sys
from typing import Any

import numpy as np

# What numpy's dtype kinds hold, for the kinds that are refused.
_REFUSED_KINDS = {
    "b": "booleans",
    "c": "complex numbers",
    "U": "strings",
    "S": "bytes",
    "M": "dates and times",
    "m": "time spans",
    "V": "structured records",
}


def _pandas() -> Any:
    """pandas when the caller has imported it (else none of its types can
    reach us), so that tessel itself needs numpy only."""
    return sys.modules.get("pandas")


def _refused(name: str, what: str) -> TypeError:
    return TypeError(f"{name} holds {what}; only real numbers are accepted "
                     "(NaN, None or pd.NA for a missing value)")


def _missing_type(kind: type) -> bool:
    pd = _pandas()
    return kind is type(None) or (pd is not None and kind is type(pd.NA))


def _type_refusal(kind: type) -> str | None:
    """Why a value of this Python type is refused, or None when it is a real
    number or a missing value."""
    if _missing_type(kind):
        return None
    if issubclass(kind, (bool, np.bool_)):
        return "booleans"
    if issubclass(kind, (str, np.str_)):
        return "strings"
    if issubclass(kind, (bytes, bytearray, np.bytes_)):
        return "bytes"
    if issubclass(kind, (datetime.date, datetime.time, np.datetime64)):
        return "dates and times"
    if issubclass(kind, (datetime.timedelta, np.timedelta64)):
        return "time spans"
    if issubclass(kind, (numbers.Real, decimal.Decimal)):
        return None
    if issubclass(kind, numbers.Complex):
        return "complex numbers"
    return f"values of type {kind.__name__}"


ONE_D = "x, y, rate and weight must be 1-D"


def _from_objects(name: str, values: np.ndarray) -> np.ndarray:
    """An object array: every element a real number or a missing value."""
    if values.ndim != 1:
        raise ValueError(ONE_D)
    for kind in set(map(type, values)):
        if issubclass(kind, (list, tuple, np.ndarray)):
            raise ValueError(ONE_D)
        why = _type_refusal(kind)
        if why is not None:
            row = next(i for i, v in enumerate(values) if type(v) is kind)
            raise _refused(name, f"{why} ({values[row]!r} at row {row})")
    missing = np.fromiter((v is None or _missing_type(type(v)) for v in values),
                          dtype=bool, count=len(values))
    out = np.full(len(values), np.nan)
    try:
        out[~missing] = [float(v) for v in values[~missing]]
    except OverflowError:
        raise ValueError(f"{name} holds a value too large for a float64") from None
    return out


def _from_numpy(name: str, values: np.ndarray) -> np.ndarray:
    kind = values.dtype.kind
    if kind in _REFUSED_KINDS:
        raise _refused(name, f"{_REFUSED_KINDS[kind]} (dtype {values.dtype})")
    if kind == "O":
        return _from_objects(name, values)
    return values.astype(np.float64, copy=False)


def _from_pandas(name: str, values: Any, pd: Any) -> np.ndarray | None:
    """A pandas Series, Index or extension array, or None when values is
    none of these."""
    if not isinstance(values, (pd.Series, pd.Index, pd.api.extensions.ExtensionArray)):
        return None
    dtype = values.dtype
    if isinstance(dtype, np.dtype):
        return _from_numpy(name, np.asarray(values))
    types = pd.api.types
    if types.is_bool_dtype(dtype):
        why = "booleans"
    elif types.is_complex_dtype(dtype):
        why = "complex numbers"
    elif types.is_numeric_dtype(dtype):
        return values.to_numpy(dtype=np.float64, na_value=np.nan)
    elif types.is_string_dtype(dtype):
        why = "strings"
    elif isinstance(dtype, (pd.DatetimeTZDtype, pd.PeriodDtype)):
        why = "dates and times"
    else:
        why = "values that are not plain numbers"
    raise _refused(name, f"{why} (dtype {dtype})")


def column(name: str, values: Any) -> np.ndarray:
    """values as a float64 array, missing entries NaN; name is the argument's
    name for the errors."""
    if isinstance(values, np.ma.MaskedArray):
        out = _from_numpy(name, np.ma.getdata(values))
        mask = np.ma.getmaskarray(values)
        if mask.any():
            out = np.where(mask, np.nan, out)
        return out
    pd = _pandas()
    if pd is not None:
        out = _from_pandas(name, values, pd)
        if out is not None:
            return out
    if isinstance(values, np.ndarray):
        return _from_numpy(name, values)
    if isinstance(values, (str, bytes)):
        raise _refused(name, f"{'a string' if isinstance(values, str) else 'bytes'} "
                       f"({values!r}), not a column")
    # Other array-likes by their own dtype; lists, tuples and other
    # sequences as objects, so that numpy neither parses strings nor turns
    # booleans into numbers.
    if hasattr(values, "__array__") or hasattr(values, "__array_interface__"):
        array = np.asarray(values)
        if array.dtype.kind != "O":
            return _from_numpy(name, array)
        return _from_objects(name, array)
    if isinstance(values, numbers.Number):
        raise ValueError(ONE_D)
    if not hasattr(values, "__len__"):
        try:
            values = list(values)
        except TypeError:
            raise TypeError(f"{name} must be a column of numbers, not "
                            f"{type(values).__name__}") from None
    array = np.empty(len(values), dtype=object)
    array[:] = values
    return _from_objects(name, array)
