"""tessel.smooth: the arguments turned into what the compiled core takes
(integers, a real number, float64 columns), the core's column entry run,
and its refusals and diagnostics given back in the caller's terms."""
from __future__ import annotations

import numbers
import operator
from typing import Any, Optional, Sequence

import numpy as np

from . import _core
from ._columns import column
from ._progress import Progress, RunBar, callback

DEFAULTS = _core.DEFAULTS  # the core's own defaults of the four options


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


def options_of(neighbors: Any, triples: Any, iterations: Any, theta: Any) -> tuple:
    """The four options as the core takes them; the core checks their
    ranges."""
    return (_count("neighbors", neighbors), _count("triples", triples),
            _count("iterations", iterations), _angle(theta))


def refused(error: Exception, names: Sequence[str] = (), labels: Optional[Any] = None,
            rows: Optional[np.ndarray] = None) -> ValueError:
    """The core's refusal (_core.OptionError or ColumnError) as the
    ValueError the package raises, in the core's words, but an infinite
    value's column by the caller's name for it and its row by the caller's
    label (rows: the positions of the rows the core was given)."""
    if isinstance(error, _core.ColumnError) and error.problem == "infinite value":
        row = error.row if rows is None else int(rows[error.row])
        where = row if labels is None else repr(labels[row])
        return ValueError(f"{names[error.column]} holds an infinite value at row {where}")
    return ValueError(str(error))


def pandas_for_diagnostics() -> Any:
    """pandas, which diagnostics=True needs for its table (asked before a
    run, not after)."""
    try:
        import pandas as pd
    except ImportError as error:
        raise ImportError("diagnostics=True returns a pandas DataFrame, and pandas is not "
                          "installed (Debian: apt-get install python3-pandas)") from error
    return pd


def smooth_columns(names: Sequence[str], columns: Sequence[Any], options: tuple,
                   progress: Progress, diagnostics: bool = False,
                   labels: Optional[Any] = None) -> Any:
    """The core's column entry on the columns: the values, or (values, dict
    of diagnostic arrays). names and labels say columns and rows in errors."""
    arrays = [column(name, values) for name, values in zip(names, columns)]
    if not isinstance(diagnostics, (bool, np.bool_)):
        raise TypeError(f"diagnostics must be True or False, not {type(diagnostics).__name__}")
    report = callback(progress)
    try:
        return _core.smooth(*arrays, *options, report, bool(diagnostics))
    except (_core.OptionError, _core.ColumnError) as error:
        raise refused(error, names, labels) from None
    finally:
        if isinstance(report, RunBar):
            report.close()


def smooth(x: Any, y: Any, rate: Any, weight: Any, neighbors: int = DEFAULTS["neighbors"],
           triples: int = DEFAULTS["triples"], iterations: int = DEFAULTS["iterations"],
           theta: float = DEFAULTS["theta"], *, progress: Progress = False,
           diagnostics: bool = False) -> Any:
    """Smooth rates observed at points; return one value per row.

    x, y, rate, weight: 1-D columns of equal length (lists, numpy arrays or
        masked arrays of any real dtype, pandas Series including the nullable
        Int64 and Float64), one point per row: its coordinates, observed rate
        and weight (a population, say). Any unit, as long as x and y share it.
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
    diagnostics: True returns (values, table): table is a pandas DataFrame,
        one row per input row, of what the run found at each point:
        neighbors (the neighbours found), radius (the distance to the
        farthest of them), interior_triples and end_triples (the triples it
        was given: interior ones or, failing those, end ones), low_screen
        and high_screen (the last iteration's screens), held (True where
        the last iteration kept the value by the point's own weight) and
        last_change (the last iteration that changed the value, 0 for
        none). A missing row has 0 neighbours and triples, NaN radius and
        screens, held False and last_change 0.

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
    pd = pandas_for_diagnostics() if diagnostics is True else None
    result = smooth_columns(("x", "y", "rate", "weight"), (x, y, rate, weight),
                            options_of(neighbors, triples, iterations, theta), progress,
                            diagnostics)
    if pd is None:
        return result
    values, columns = result
    return values, pd.DataFrame(columns)
