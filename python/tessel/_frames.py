"""tessel.smooth_frame: the points, rates and weights of a pandas DataFrame,
or of a GeoDataFrame's active geometry, smoothed into a Series on the
frame's index."""
from __future__ import annotations

import sys
import warnings
from typing import TYPE_CHECKING, Any, Hashable

import numpy as np

from ._progress import Progress
from ._smooth import DEFAULTS, options_of, pandas_for_diagnostics, smooth_columns

if TYPE_CHECKING:
    import pandas as pd

POINTS = ("centroid", "representative")


def _column(frame: Any, argument: str, name: Hashable) -> Any:
    try:
        values = frame[name]
    except KeyError:
        raise KeyError(f"{argument}: the frame has no column {name!r}") from None
    if values.ndim != 1:
        raise ValueError(f"{argument}: the frame has more than one column named {name!r}")
    return values


def _check_planar(crs: Any) -> None:
    """Refuses a CRS whose coordinates are not lengths in a plane."""
    if crs is None or not (crs.is_geographic or crs.is_geocentric):
        return
    kind = "geographic (degrees of longitude and latitude)" if crs.is_geographic \
        else "geocentric (3-D)"
    raise ValueError(
        f"the frame's CRS, {crs.name}, is {kind}: its coordinates are not distances in a "
        "plane (a degree of longitude is half a degree of latitude's length at 60 degrees "
        "north), so the nearest neighbours would be wrong. Project it first: "
        "frame.to_crs(tessel.suggest_crs(frame))")


def _active_geometry(frame: Any) -> Any:
    """The frame's active geometry, or None when it is not a GeoDataFrame or
    has none."""
    geopandas = sys.modules.get("geopandas")
    if geopandas is None or not isinstance(frame, geopandas.GeoDataFrame):
        return None
    try:
        return frame.geometry
    except AttributeError:  # a GeoDataFrame without an active geometry
        return None


def _geometry_points(geometry: Any, points: str, stacklevel: int) -> tuple[np.ndarray, np.ndarray]:
    """x and y of every row's point: a point as it is, any other geometry by
    its centroid or representative point; NaN for a missing one. An empty
    geometry or a point with an infinite (or NaN) coordinate, what a
    projection makes of places it cannot map, is NaN too, with one warning
    that counts them."""
    _check_planar(geometry.crs)
    x = np.full(len(geometry), np.nan)
    y = np.full(len(geometry), np.nan)
    given = ~geometry.isna().to_numpy()
    present = given & ~geometry.is_empty.to_numpy()
    if present.any():
        _locate(geometry, present, points, x, y)
    lost = int(np.count_nonzero(given & ~(np.isfinite(x) & np.isfinite(y))))
    if lost:
        x[~np.isfinite(x)] = np.nan
        y[~np.isfinite(y)] = np.nan
        warnings.warn(f"{lost} rows have empty or infinite coordinates after projection; "
                      "they are returned as missing", UserWarning, stacklevel=stacklevel + 1)
    return x, y


def _locate(geometry: Any, present: np.ndarray, points: str, x: np.ndarray,
            y: np.ndarray) -> None:
    """Writes the point of every present row into x and y."""
    shapes = geometry[present].reset_index(drop=True)  # positions, not labels
    is_point = (shapes.geom_type == "Point").to_numpy()
    located = shapes.copy()
    if not is_point.all():
        others = shapes[~is_point]
        located[~is_point] = others.centroid if points == "centroid" \
            else others.representative_point()
    x[present] = located.x.to_numpy(dtype=np.float64)
    y[present] = located.y.to_numpy(dtype=np.float64)


def smooth_frame(frame: pd.DataFrame, rate: Hashable, weight: Hashable, *, x: Hashable = "x",
                 y: Hashable = "y", points: str = "centroid",
                 neighbors: int = DEFAULTS["neighbors"], triples: int = DEFAULTS["triples"],
                 iterations: int = DEFAULTS["iterations"], theta: float = DEFAULTS["theta"],
                 progress: Progress = False, diagnostics: bool = False) -> Any:
    """Smooth a table's rates; return a pandas Series named "smoothed" on the
    frame's index, or with diagnostics=True a DataFrame on the frame's index
    of the column "smoothed" and the diagnostic columns (see tessel.smooth).

    frame: a pandas DataFrame, whose columns x and y hold the points, or a
        GeoDataFrame, whose active geometry does (x and y are then not used):
        a point as it is, any other geometry by its centroid, or with
        points="representative" by its representative point (always inside
        a polygon). A missing geometry is a missing row. A geographic (or
        geocentric) CRS raises ValueError: project the frame first,
        frame.to_crs(tessel.suggest_crs(frame)); a frame without a CRS is
        taken as planar. Rows whose geometry is empty or whose point has an
        infinite coordinate (what a projection makes of places it cannot
        map) are missing rows too, and one UserWarning counts them.
    rate, weight: the names of the columns of rates and weights.
    neighbors, triples, iterations, theta, progress, diagnostics: as for
        tessel.smooth.

    Missing values (NaN, None, pd.NA) make a row missing, NaN in the result;
    columns that hold anything but real numbers raise TypeError naming the
    column, and an infinite value ValueError naming the column and the row's
    label. The values are tessel.smooth's on the same columns.
    """
    import pandas as pd

    if not isinstance(frame, pd.DataFrame):
        raise TypeError(f"frame must be a pandas DataFrame, not {type(frame).__name__}")
    if diagnostics is True:
        pandas_for_diagnostics()
    options = options_of(neighbors, triples, iterations, theta)
    names, columns = frame_columns(frame, rate, weight, x, y, points, stacklevel=3)
    result = smooth_columns(names, columns, options, progress, diagnostics, labels=frame.index)
    if not diagnostics:
        return pd.Series(result, index=frame.index, name="smoothed")
    values, found = result
    return pd.DataFrame({"smoothed": values, **found}, index=frame.index)


def frame_columns(frame: Any, rate: Hashable, weight: Hashable, x: Hashable, y: Hashable,
                  points: str, stacklevel: int = 2) -> tuple[tuple[str, ...], tuple[Any, ...]]:
    """The names the errors give the four columns, and the columns: x and y
    from the active geometry of a GeoDataFrame, else from the columns.
    stacklevel places the warning about lost rows as warnings.warn would
    place its own, were this function warning."""
    if points not in POINTS:
        raise ValueError(f"points must be 'centroid' or 'representative', not {points!r}")
    geometry = _active_geometry(frame)
    if geometry is not None:
        names = ("x (geometry)", "y (geometry)")
        coordinates = _geometry_points(geometry, points, stacklevel + 1)
    else:
        names = (f"x (column {x!r})", f"y (column {y!r})")
        coordinates = (_column(frame, "x", x), _column(frame, "y", y))
    return (names + (f"rate (column {rate!r})", f"weight (column {weight!r})"),
            coordinates + (_column(frame, "rate", rate), _column(frame, "weight", weight)))
