"""tessel on a Dask cluster: tables bigger than one machine, smoothed to the
values the whole table gets on one machine, bit for bit.

smooth_frame(frame, rate, weight, ...) smooths a dask DataFrame into a dask
Series on the same partitions and index (with diagnostics=True a dask
DataFrame of the values and the diagnostic columns). `python3 -m
tessel.dask` is the program's command for a file that every worker can
read (-h tells more).

The points are split into spatial tiles of similar point counts; each tile
is smoothed with a halo of the points its values depend on, found exactly
(doc/dask.md in the source tree says how and why). Nothing gathers the
table on the client or on one worker. A Dask scheduler runs whatever its
clients send: never let one be reached from an untrusted network.
"""
from __future__ import annotations

from typing import Any, Hashable

import numpy as np

from . import _core
from ._columns import column
from ._frames import frame_columns
from ._smooth import DEFAULTS, _count, options_of, refused
from ._tiled import no_points, smooth_parts

__all__ = ["smooth_frame"]


def checked_options(neighbors: Any, triples: Any, iterations: Any, theta: Any) -> tuple:
    """The four options as tessel.smooth takes them, refused as the core
    refuses them (before any work is sent to the cluster)."""
    options = options_of(neighbors, triples, iterations, theta)
    empty = np.empty(0)
    try:
        _core.smooth(empty, empty, empty, empty, *options)
    except _core.OptionError as error:
        raise refused(error) from None
    return options


def _frame_part(frame: Any, rate: Hashable, weight: Hashable, x: Hashable, y: Hashable,
                points: str, diagnostics: bool) -> tuple:
    """A partition's complete rows (four float64 arrays for the tiles), the
    positions of the others and what the core gives those: their values and,
    with diagnostics, their diagnostic columns. The core's column entry
    decides, on the rows that hold a value that is not finite, which are
    missing and which it refuses (an infinite value: ValueError naming the
    column and the row's label)."""
    names, columns = frame_columns(frame, rate, weight, x, y, points)
    arrays = [column(name, values) for name, values in zip(names, columns)]
    odd = np.flatnonzero(~np.logical_and.reduce([np.isfinite(a) for a in arrays]))
    try:
        verdict = _core.smooth(*(a[odd] for a in arrays), 0, 0, 0, 0.0, None, diagnostics)
    except _core.ColumnError as error:
        raise refused(error, names, frame.index, odd) from None
    values, found = verdict if diagnostics else (verdict, {})
    missing = np.isnan(values)
    complete = np.ones(len(frame), dtype=bool)
    complete[odd[missing]] = False
    others = {k: v[missing] for k, v in {"smoothed": values, **found}.items()}
    return tuple(a[complete] for a in arrays), complete, others


def _release(persisted: tuple) -> None:
    """Frees the cluster's copies of persisted collections now. A refused or
    interrupted call raises with a traceback that holds them (and Dask's
    frames hold it in cycles), so without this the workers would keep every
    partition's part, and the scheduler the refused task, for as long as the
    traceback lives."""
    try:
        from distributed import futures_of
    except ImportError:  # no cluster: nothing is held outside this process
        return
    # Released, not cancelled: nothing waits on the scheduler (which may be
    # the trouble), and a part that someone else also holds stays.
    for future in futures_of(persisted):
        future.release()


def _points(part: tuple) -> tuple:
    return part[0]


def _count_of(part: tuple) -> int:
    return len(part[0][0])


def _result(frame: Any, part: tuple, smoothed: Any) -> Any:
    """The partition's Series of values, or DataFrame of them and the
    diagnostic columns: the tiles' for its complete rows, the core's own for
    the others."""
    import pandas as pd

    complete, others = part[1], part[2]
    found = smoothed if isinstance(smoothed, dict) else {"smoothed": smoothed}
    columns = {}
    for k, v in found.items():
        columns[k] = np.empty(len(frame), dtype=v.dtype)
        columns[k][complete] = v
        columns[k][~complete] = others[k]
    if not isinstance(smoothed, dict):
        return pd.Series(columns["smoothed"], index=frame.index, name="smoothed")
    return pd.DataFrame(columns, index=frame.index)


def smooth_frame(frame: Any, rate: Hashable, weight: Hashable, *, x: Hashable = "x",
                 y: Hashable = "y", points: str = "centroid",
                 neighbors: int = DEFAULTS["neighbors"], triples: int = DEFAULTS["triples"],
                 iterations: int = DEFAULTS["iterations"], theta: float = DEFAULTS["theta"],
                 tiles: int | None = None, diagnostics: bool = False) -> Any:
    """Smooth a dask DataFrame's rates; return a dask Series named
    "smoothed" on the frame's partitions and index, or with diagnostics=True
    a dask DataFrame of the column "smoothed" and the diagnostic columns of
    tessel.smooth, the whole table's too.

    The values are those of tessel.smooth (and of the program) on the whole
    table, bit for bit, whatever the partitions, the tile count and the
    workers. Columns, missing values and refusals are as for
    tessel.smooth_frame, partition by partition (a partition that is a
    GeoDataFrame gives its points by its active geometry).

    tiles: the number of spatial tiles (default: one per million points).
    Each tile is smoothed on one worker with the points around it that its
    values depend on, so a worker needs memory for about a tile at a time.

    The call reads the frame and finds the tiles and their halos at once on
    the current Dask scheduler (a distributed Client when there is one);
    computing the Series runs the smoother on the tiles.
    """
    import dask
    import dask.dataframe as dd
    import pandas as pd
    from dask import delayed

    if not isinstance(frame, dd.DataFrame):
        raise TypeError(f"frame must be a dask DataFrame, not {type(frame).__name__}")
    if tiles is not None and _count("tiles", tiles) < 1:
        raise ValueError(f"tiles must be at least 1, got {tiles}")
    if not isinstance(diagnostics, (bool, np.bool_)):
        raise TypeError(f"diagnostics must be True or False, not {type(diagnostics).__name__}")
    diagnostics = bool(diagnostics)
    options = checked_options(neighbors, triples, iterations, theta)
    partitions = frame.to_delayed()
    parts = dask.persist(*[delayed(_frame_part)(p, rate, weight, x, y, points, diagnostics)
                           for p in partitions])
    try:
        counts = dask.compute(*[delayed(_count_of)(p) for p in parts])
        values = smooth_parts([delayed(_points)(p) for p in parts], counts, options, tiles,
                              diagnostics)
    except BaseException:
        _release(parts)
        raise
    pieces = [delayed(_result)(f, p, v) for f, p, v in zip(partitions, parts, values)]
    nothing = no_points(diagnostics)
    meta = _result(frame._meta, ((), np.empty(0, dtype=bool),
                                 nothing if diagnostics else {"smoothed": nothing}), nothing)
    return dd.from_delayed(pieces, meta=meta, divisions=frame.divisions, verify_meta=False)


if __name__ == "__main__":
    import sys

    from ._dask_command import main

    sys.exit(main())
