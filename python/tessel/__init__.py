"""Smoothing of rates observed at points in the plane.

For every point the smoother takes its nearest neighbours, picks triples
(the point and two neighbours nearly on one straight line with it), and over
a number of iterations clamps the point's value between weighted-median low
and high screens built from those triples; points at the edge of the data
use values extrapolated along the line. The values are those of the tessel
program, bit for bit.

smooth(x, y, rate, weight, ...) smooths four columns into a numpy array;
smooth_frame(frame, rate, weight, ...) smooths a pandas DataFrame or a
GeoDataFrame into a Series on the frame's index; with diagnostics=True both
also give what the run found at each point (its neighbours, triples,
screens, whether its weight held its value, when it last changed).
suggest_crs(frame) names a projected CRS for a GeoDataFrame in longitude
and latitude.
"""
from ._crs import suggest_crs
from ._frames import smooth_frame
from ._smooth import smooth
from ._version import __version__  # written from the file VERSION by the build

__all__ = ["smooth", "smooth_frame", "suggest_crs"]
