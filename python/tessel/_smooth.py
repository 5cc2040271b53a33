"""tessel.smooth: the options checked, the columns converted, the compiled
core run."""
from __future__ import annotations

import numbers
import operator
from typing import Any

import numpy as np

from . import _core
from ._columns import column
from ._progress import Progress, RunBar, callback


def _count(name: str, value: Any) -> int:
    if isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be an integer, not a boolean")
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None


def _angle(value: Any) -> float:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"theta must be a real number, not {type(value).__name__}")
    return float(value)


def smooth_columns(names: tuple[str, str, str, str], columns: tuple[Any, Any, Any, Any],
                   neighbors: Any, triples: Any, iterations: Any, theta: Any,
                   progress: Progress) -> np.ndarray:
    """smooth() with the names the errors give each column."""
    counts = (_count("neighbors", neighbors), _count("triples", triples),
              _count("iterations", iterations), _angle(theta))
    arrays = [column(name, values) for name, values in zip(names, columns)]
    report = callback(progress)
    try:
        return _core.smooth(*arrays, *counts, report)
    finally:
        if isinstance(report, RunBar):
            report.close()


def smooth(x: Any, y: Any, rate: Any, weight: Any, neighbors: int = 10, triples: int = 7,
           iterations: int = 10, theta: float = 135.0, *,
           progress: Progress = False) -> np.ndarray:
    """Smooth rates observed at points; return one value per row.

    x, y, rate, weight: 1-D columns of equal length (lists, numpy arrays or
        masked arrays of any real dtype, pandas Series including the nullable
        Int64 and Float64), one point per row: its coordinates, observed rate
        and weight (a population, say).
    neighbors: nearest neighbours per point, 0 to 100 (fewer when there are
        fewer other points).
    triples: maximum number of triples per point, 0 to 80.
    iterations: number of iterations, 0 to 100; 0 returns the rates unchanged.
    theta: threshold angle in degrees: two neighbours form a triple with the
        point when the angle at the point exceeds it.
    progress: True draws one tqdm progress bar over the whole call on
        standard error, the phase running in its description and the time
        left at its end; a callable(phase, share) is called instead with
        each phase's name and the share of that phase done (0 to 1), at the
        start and end of every phase and about every 20 ms between.

    Returns a float64 numpy array in input order, the tessel program's
    values bit for bit. A row with a missing value among its four (NaN, None,
    pd.NA, a masked entry) takes no part and comes back as NaN.

    Raises TypeError, naming the argument, for strings, bytes, complex
    numbers, booleans, dates, times and time spans (also inside object
    columns); ValueError for columns that are not 1-D or differ in length,
    more than 2**31 - 1 rows, an infinite value, or a count out of range;
    MemoryError when memory runs out. Ctrl-C (KeyboardInterrupt) or another
    signal handler's exception stops a call within a fraction of a second.
    The GIL is released while the smoother runs on all cores.
    """
    return smooth_columns(("x", "y", "rate", "weight"), (x, y, rate, weight), neighbors,
                          triples, iterations, theta, progress)
