"""tessel on a Dask cluster: tables bigger than one machine, smoothed to the
values the whole table gets on one machine, bit for bit.

smooth_frame(frame, rate, weight, ...) smooths a dask DataFrame into a dask
Series on the same partitions and index. `python3 -m tessel.dask` is the
program's command for a file that every worker can read (-h tells more).

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
from ._smooth import _angle, _count
from ._tiled import smooth_parts

__all__ = ["smooth_frame"]


def checked_options(neighbors: Any, triples: Any, iterations: Any, theta: Any) -> tuple:
    """The four options as tessel.smooth takes them, refused as it refuses
    them (before any work is sent to the cluster)."""
    options = (_count("neighbors", neighbors), _count("triples", triples),
               _count("iterations", iterations), _angle(theta))
    empty = np.empty(0)
    _core.smooth(empty, empty, empty, empty, *options)
    return options


def _frame_part(frame: Any, rate: Hashable, weight: Hashable, x: Hashable, y: Hashable,
                points: str) -> tuple:
    """A partition's good rows (four float64 arrays) and the mask of them."""
    names, columns = frame_columns(frame, rate, weight, x, y, points)
    arrays = [column(name, values) for name, values in zip(names, columns)]
    for name, values in zip(names, arrays):
        if np.isinf(values).any():
            row = frame.index[int(np.nonzero(np.isinf(values))[0][0])]
            raise ValueError(f"{name} holds an infinite value at row {row!r}")
    good = ~np.any([np.isnan(a) for a in arrays], axis=0)
    return tuple(a[good] for a in arrays), good


def _points(part: tuple) -> tuple:
    return part[0]


def _count_of(part: tuple) -> int:
    return len(part[0][0])


def _series(frame: Any, part: tuple, values: np.ndarray) -> Any:
    import pandas as pd

    out = np.full(len(frame), np.nan)
    out[part[1]] = values
    return pd.Series(out, index=frame.index, name="smoothed")


def smooth_frame(frame: Any, rate: Hashable, weight: Hashable, *, x: Hashable = "x",
                 y: Hashable = "y", points: str = "centroid", neighbors: int = 10,
                 triples: int = 7, iterations: int = 10, theta: float = 135.0,
                 tiles: int | None = None) -> Any:
    """Smooth a dask DataFrame's rates; return a dask Series named
    "smoothed" on the frame's partitions and index.

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
    options = checked_options(neighbors, triples, iterations, theta)
    partitions = frame.to_delayed()
    parts = dask.persist(*[delayed(_frame_part)(p, rate, weight, x, y, points)
                           for p in partitions])
    counts = dask.compute(*[delayed(_count_of)(p) for p in parts])
    values = smooth_parts([delayed(_points)(p) for p in parts], counts, options, tiles)
    pieces = [delayed(_series)(f, p, v) for f, p, v in zip(partitions, parts, values)]
    meta = pd.Series([], dtype="float64", name="smoothed", index=frame._meta.index)
    return dd.from_delayed(pieces, meta=meta, divisions=frame.divisions, verify_meta=False)


if __name__ == "__main__":
    import sys

    from ._dask_command import main

    sys.exit(main())
