"""Exact smoothing of a table split into spatial tiles, as dask tasks.

The table comes as parts (the partitions of a frame, the blocks of a file),
each a tuple of four float64 arrays of its points in table order. Every
point gets a global index (its place in the table); the points are sent to
tiles of similar point counts, rectangles cut from a sample; and each tile
is smoothed by the core on its own points and a halo, then the values
(and, on request, the diagnostics) go back to the parts. doc/dask.md says
why the values are the whole table's, bit for bit. The client holds only
counts, a sample of coordinates and the sizes of the messages between
tiles; the points stay on the workers.
"""
from __future__ import annotations

import math
import threading
from typing import Any, Sequence

import dask
import numpy as np
from dask import delayed

from . import _core

SAMPLE = 100_000          # coordinates drawn to cut the tiles
POINTS_PER_TILE = 1_000_000  # the tile size chosen when the caller does not


# A ball of measured radius r around a point reaches at most this far in
# each coordinate: the measure rounds, and squares below the smallest
# double vanish.
def _reach(r: np.ndarray) -> np.ndarray:
    return r * (1 + 1e-9) + 1e-150


def cut_tiles(xs: np.ndarray, ys: np.ndarray, count: int) -> np.ndarray:
    """count rectangles (xlo, xhi, ylo, yhi) that cover the plane, each
    holding a similar share of the sample: the wider side halved at the
    sample's quantile, over and over. A point belongs to the rectangle with
    xlo <= x < xhi and ylo <= y < yhi."""
    cells: list[list[float]] = []

    def cut(index: np.ndarray, box: list[float], k: int) -> None:
        if k == 1 or len(index) == 0:
            cells.append(box)
            return
        x, y = xs[index], ys[index]
        axis = 0 if np.ptp(x) >= np.ptp(y) else 1
        c = x if axis == 0 else y
        k1 = k // 2
        at = float(np.sort(c)[len(c) * k1 // k])
        low, high = list(box), list(box)
        low[2 * axis + 1] = high[2 * axis] = at
        cut(index[c < at], low, k1)
        cut(index[c >= at], high, k - k1)

    cut(np.arange(len(xs)), [-math.inf, math.inf, -math.inf, math.inf], max(1, count))
    return np.array(cells, dtype=np.float64)


def _inside(x: np.ndarray, y: np.ndarray, r: np.ndarray, cell: np.ndarray) -> np.ndarray:
    """Whether every point the ball of radius r reaches lies in the cell."""
    reach = _reach(r)
    x0, x1, y0, y1 = cell
    return (x - reach > x0) & (x + reach < x1) & (y - reach > y0) & (y + reach < y1)


def _reached(x: np.ndarray, y: np.ndarray, r: np.ndarray, cells: np.ndarray) -> list[np.ndarray]:
    """Per cell, the balls (by position) whose box meets it."""
    reach = _reach(r)
    return [np.nonzero((x + reach >= x0) & (x - reach < x1) & (y + reach >= y0)
                       & (y - reach < y1))[0] for x0, x1, y0, y1 in cells]


# ---- tasks ------------------------------------------------------------------

def _sample(part: tuple, step: int) -> np.ndarray:
    return np.stack([part[0][::step], part[1][::step]])


def _split_part(part: tuple, offset: int, cells: np.ndarray) -> list[tuple]:
    return _core.split_by_tile(*part, offset, cells)


def _make_tile(cell: np.ndarray, hops: int, k: int, *pieces: tuple) -> dict:
    """A tile's points, as the pieces come; positions are positions in the
    tile's arrays. With hops (the radii and halos are asked), the bounds of
    its points' k-th neighbour distances and the index of its strip."""
    index, x, y, rate, weight = (np.concatenate([p[c] for p in pieces]) for c in range(5))
    tile = dict(index=index, x=x, y=y, rate=rate, weight=weight, cell=cell)
    if hops >= 1 and k >= 1:
        tile.update(_strip(x, y, cell, hops, k))
    return tile


BIN_POINTS = 4.0  # points per bin, on average, of the grid that bounds the radii
# The strip's width in grid bounds (their median) per hop and one more.
STRIP_BOUNDS = 1.0
_LAZY = threading.Lock()


def _strip(x: np.ndarray, y: np.ndarray, cell: np.ndarray, hops: int, k: int) -> dict:
    """The queries of the radii and halos stay near the tile's border, a
    few neighbour distances per hop deep: they are answered from an index
    of the points within that width of the border (the strip), which costs
    a fraction of the whole tile's. A query whose answer may hold a point
    inside (_covered says) goes to the whole tile's index, built when first
    needed. "inner" bounds the points outside the strip; None when there
    are none, or too few for a strip to save anything."""
    bound = _core.grid_bounds(x, y, k, BIN_POINTS)
    finite = bound[np.isfinite(bound)]
    width = (hops + 1) * STRIP_BOUNDS * float(np.median(finite)) if len(finite) else math.inf
    # Which points the strip leaves out needs no care, as the box that
    # bounds them is what answers stand on: compared with scalars, without
    # _inside's tile-long temporaries.
    x0, x1, y0, y1 = cell
    reach = _reach(width)
    inner = (x > x0 + reach) & (x < x1 - reach) & (y > y0 + reach) & (y < y1 - reach)
    kept = int(inner.sum())
    if kept < max(1, len(x) // 2) or kept == len(x):
        return dict(bound=bound, strip=None, inner=None, index_tree=_core.PointIndex(x, y))
    strip = np.nonzero(~inner)[0]
    box = (np.min(x, where=inner, initial=math.inf), np.max(x, where=inner, initial=-math.inf),
           np.min(y, where=inner, initial=math.inf), np.max(y, where=inner, initial=-math.inf))
    return dict(bound=bound, strip=strip, inner=box,
                strip_tree=_core.PointIndex(x[strip], y[strip]))


def _whole_index(tile: dict) -> Any:
    """The whole tile's index: _strip's, or built on the first query past
    the strip."""
    with _LAZY:
        if "index_tree" not in tile:
            tile["index_tree"] = _core.PointIndex(tile["x"], tile["y"])
    return tile["index_tree"]


def _covered(tile: dict, qx: np.ndarray, qy: np.ndarray, r: np.ndarray) -> np.ndarray:
    """Per query, whether no point outside the strip lies within measured
    distance r of it: the box the ball reaches misses the box that bounds
    those points (rounded sums compare as the exact ones do against a
    double, so no margin is needed beyond _reach's)."""
    x0, x1, y0, y1 = tile["inner"]
    reach = _reach(r)
    return (qx + reach < x0) | (qx - reach > x1) | (qy + reach < y0) | (qy - reach > y1)


def _nearest(tile: dict, qx: np.ndarray, qy: np.ndarray, self: np.ndarray | None, k: int,
             bound: np.ndarray) -> np.ndarray:
    """Per query, its k smallest distances to the tile's points (but the
    query's own position self[q] when given) that are at most its bound."""
    if self is None:
        self = np.full(len(qx), -1, dtype=np.int64)
    strip = tile["strip"]
    if strip is None:
        return _whole_index(tile).nearest(qx, qy, self, k, bound)
    # The strip's positions of the queries' own points (-1 for none there).
    at = np.minimum(np.searchsorted(strip, self), len(strip) - 1)
    found = tile["strip_tree"].nearest(qx, qy, np.where(strip[at] == self, at, -1), k, bound)
    # Fewer than k found leave inf, and the bound is the answer's reach.
    missing = ~_covered(tile, qx, qy, np.minimum(found[:, k - 1], bound))
    if missing.any():
        found[missing] = _whole_index(tile).nearest(qx[missing], qy[missing], self[missing], k,
                                                    bound[missing])
    return found


def _ball(tile: dict, qx: np.ndarray, qy: np.ndarray, r: np.ndarray) -> tuple:
    strip = tile["strip"]
    if strip is None or not _covered(tile, qx, qy, r).all():
        return _whole_index(tile).ball(qx, qy, r)
    offsets, found = tile["strip_tree"].ball(qx, qy, r)
    return offsets, strip[found]


def _own_distances(tile: dict, cells: np.ndarray, t: int, k: int) -> dict:
    """The k nearest distances within the tile of its band: the points whose
    ball of the bound (_core.grid_bounds) may leave the tile; every other
    point's ball lies in the tile, which then holds its k nearest. And the
    queries to other tiles for the band's points whose ball leaves the
    tile."""
    x, y = tile["x"], tile["y"]
    bound = tile["bound"]
    band = np.nonzero(~_inside(x, y, bound, tile["cell"]))[0]
    own = _nearest(tile, x[band], y[band], band, k, np.full(len(band), np.inf))
    r = own[:, k - 1] if len(band) else np.empty(0)
    out = np.nonzero(~_inside(x[band], y[band], r, tile["cell"]))[0]
    leaving = band[out]
    queries = {}
    for u, hit in enumerate(_reached(x[leaving], y[leaving], r[out], cells)):
        if u != t and len(hit):
            queries[u] = (leaving[hit], x[leaving[hit]], y[leaving[hit]], r[out[hit]])
    return dict(size=len(x), band=band, own=own, leaving=leaving, rows=out, queries=queries)


def _answer(tile: dict, asked: dict, u: int, k: int) -> tuple:
    points, qx, qy, bound = asked["queries"][u]
    return points, _nearest(tile, qx, qy, None, k, bound)


def _radius(asked: dict, k: int, *answers: tuple) -> np.ndarray:
    """The distance to the k-th nearest neighbour in the table of every
    point of the tile's band; NaN for the others, whose k nearest are in the
    tile (_own_radius finds it when needed)."""
    radius = np.full(asked["size"], np.nan)
    own, band = asked["own"], asked["band"]
    if len(band):
        radius[band] = own[:, k - 1]
    if not answers:
        return radius
    # The k-th smallest of each leaving point's own distances and those the
    # other tiles gave.
    leaving = asked["leaving"]
    rows = np.concatenate([own[asked["rows"]]] + [d for _, d in answers])
    owner = np.repeat(np.concatenate([leaving] + [p for p, _ in answers]), k)
    values = rows.ravel()
    order = np.lexsort((values, owner))
    first = np.searchsorted(owner[order], leaving)
    radius[leaving] = values[order][first + k - 1]
    return radius


def _own_radius(tile: dict, radius: np.ndarray, at: np.ndarray, k: int) -> np.ndarray:
    """The radii of the tile's points at positions `at`: those _radius left
    NaN are the k-th nearest distances within the tile."""
    r = radius[at]
    missing = np.isnan(r)
    if missing.any():
        m = at[missing]
        r[missing] = _nearest(tile, tile["x"][m], tile["y"][m], m, k,
                              np.full(len(m), np.inf))[:, k - 1]
    return r


def _group(x: np.ndarray, y: np.ndarray, r: np.ndarray, budget: np.ndarray,
           cells: np.ndarray, skip: Sequence[int]) -> dict:
    queries = {}
    for v, hit in enumerate(_reached(x, y, r, cells)):
        if v not in skip and len(hit):
            queries[v] = (x[hit], y[hit], r[hit], budget[hit])
    return queries


def _first_queries(tile: dict, radius: np.ndarray, cells: np.ndarray, t: int,
                   hops: int) -> dict:
    """Balls of the tile's points that leave it: their points are a hop from
    the tile, reached with hops - 1 hops left."""
    x, y = tile["x"], tile["y"]
    # NaN radii (balls inside the tile) compare false, so not inside: skip them.
    leaving = ~np.isnan(radius) & ~_inside(x, y, radius, tile["cell"])
    return _group(x[leaving], y[leaving], radius[leaving],
                  np.full(int(leaving.sum()), hops - 1, dtype=np.int64), cells, (t,))


def _visit(tile: dict, radius: np.ndarray, state: Any, cells: np.ndarray, t: int, u: int,
           k: int, *query_sets: dict) -> tuple:
    """Tile u's points within the halo of tile t: the queries' balls reach
    them with a number of hops left; a point with hops left reaches the
    points of its own ball with one fewer, here or, through queries to
    other tiles, there. state holds what earlier visits found (position,
    hops left); returns the new state and the queries for other tiles."""
    n = len(tile["x"])
    # Hops left fit a byte (iterations are at most 100), and the passes over
    # the whole tile below then read an eighth of the memory.
    before = np.full(n, -1, dtype=np.int8)
    if state is not None:
        before[state[0]] = state[1]
    best = before.copy()
    parts = [q[u] for q in query_sets if u in q]
    qx, qy, qr, qb = (np.concatenate([p[c] for p in parts]) for c in range(4))
    offsets, found = _ball(tile, qx, qy, qr)
    np.maximum.at(best, found, np.repeat(qb.astype(np.int8), np.diff(offsets)))
    expanded = before.copy()
    x, y = tile["x"], tile["y"]
    emitted = []
    for hops in range(int(best.max(initial=0)), 0, -1):
        grow = np.nonzero((best == hops) & (expanded < hops))[0]
        if not len(grow):
            continue
        expanded[grow] = hops
        r = _own_radius(tile, radius, grow, k)
        offsets, found = _ball(tile, x[grow], y[grow], r)
        # One value for all: repeated points write the same maximum, and
        # the plain assignment is far cheaper than np.maximum.at.
        best[found] = np.maximum(best[found], hops - 1)
        out = ~_inside(x[grow], y[grow], r, tile["cell"])
        emitted.append((grow[out], r[out], hops - 1))
    reached = np.nonzero(best >= 0)[0]
    queries: dict = {}
    if emitted:
        points = np.concatenate([p for p, _, _ in emitted])
        r = np.concatenate([r for _, r, _ in emitted])
        budget = np.concatenate([np.full(len(p), h, dtype=np.int64) for p, _, h in emitted])
        queries = _group(x[points], y[points], r, budget, cells, (t, u))
    return (reached, best[reached]), queries


def _halo_points(tile: dict, state: tuple) -> tuple:
    at = state[0]
    return tuple(tile[c][at] for c in ("index", "x", "y", "rate", "weight"))


def _smooth_tile(tile: dict, options: tuple, diagnostics: bool, *halo: tuple) -> tuple:
    """The tile's points smoothed among themselves and their halo by the
    program's engine, in table order: the global indices of the tile's own
    points and their columns (the values as "smoothed" and, with
    diagnostics, the diagnostic columns, exact too: the halo holds every
    point that a point's search, triples and iterations reach)."""
    own = len(tile["index"])
    columns = [np.concatenate([tile[c]] + [h[k] for h in halo])
               for k, c in enumerate(("index", "x", "y", "rate", "weight"))]
    order = np.argsort(columns[0], kind="stable")
    index, x, y, rate, weight = (c[order] for c in columns)
    if not len(index):
        found = no_points(diagnostics)
    else:
        result = _core.smooth_points(x, y, rate, weight, *options, diagnostics)
        found = {"smoothed": result[0], **result[1]} if diagnostics else result
    if not diagnostics:
        found = {"smoothed": found}
    mine = order < own
    return index[mine], {k: v[mine] for k, v in found.items()}


def _split_values(result: tuple, offsets: np.ndarray) -> list[tuple]:
    index, columns = result
    at = np.searchsorted(index, offsets)
    return [(index[a:b], {k: v[a:b] for k, v in columns.items()})
            for a, b in zip(at[:-1], at[1:])]


def _part_values(offset: int, count: int, diagnostics: bool, *pieces: tuple) -> Any:
    """The part's values, or with diagnostics its columns (a dict), in the
    part's order; every tile sends every part a piece, maybe empty."""
    columns: dict = {}
    for index, found in pieces:
        for k, v in found.items():
            columns.setdefault(k, np.zeros(count, dtype=v.dtype))[index - offset] = v
    return columns if diagnostics else columns["smoothed"]


def no_points(diagnostics: bool) -> Any:
    """What _part_values gives a part of a table without points."""
    empty = np.empty(0)
    result = _core.smooth(empty, empty, empty, empty, 0, 0, 0, 0.0, None, diagnostics)
    return {"smoothed": result[0], **result[1]} if diagnostics else result


# ---- the plan, run from the client -----------------------------------------

def _sizes(mapping: dict) -> list[int]:
    """The tiles a set of queries goes to."""
    return sorted(mapping)


def smooth_parts(parts: Sequence[Any], counts: Sequence[int], options: tuple,
                 tiles: int | None, diagnostics: bool = False) -> list[Any]:
    """Delayed values of every part (its points in order) as the core gives
    them for the whole table, or with diagnostics delayed dicts of the
    values ("smoothed") and the diagnostic columns. parts: delayed tuples
    (x, y, rate, weight) of complete points, already computed or persisted;
    counts: their lengths. options: (neighbors, triples, iterations, theta),
    checked by the caller."""
    total = int(sum(counts))
    offsets = np.concatenate([[0], np.cumsum(counts)]).astype(np.int64)
    neighbors, _, iterations, _ = options
    k = min(neighbors, total - 1)
    if tiles is None:
        tiles = -(-total // POINTS_PER_TILE)
    tiles = max(1, min(int(tiles), total))
    if total == 0:
        return [delayed(no_points)(diagnostics) for _ in parts]
    step = max(1, total // SAMPLE)
    sample = np.concatenate(dask.compute(*[delayed(_sample)(p, step) for p in parts]), axis=1)
    cells = cut_tiles(sample[0], sample[1], tiles)
    K = len(cells)
    pieces = [delayed(_split_part, nout=K)(p, int(offsets[i]), cells)
              for i, p in enumerate(parts)]
    # A point's value depends on the points up to `iterations` balls away;
    # its neighbours and triples, which diagnostics give, on its own ball.
    hops = max(iterations, 1) if diagnostics else iterations
    tile = dask.persist(*[delayed(_make_tile)(cells[t], hops, k, *[pc[t] for pc in pieces])
                          for t in range(K)])
    halo: list[list[Any]] = [[] for _ in range(K)]
    if k >= 1 and hops >= 1:
        radius = _radii(tile, cells, k)
        states = _halos(tile, radius, cells, hops, k)
        for (t, u), state in states.items():
            halo[t].append(delayed(_halo_points)(tile[u], state))
    results = [delayed(_smooth_tile)(tile[t], options, diagnostics, *halo[t])
               for t in range(K)]
    split = [delayed(_split_values, nout=len(parts))(r, offsets) for r in results]
    return [delayed(_part_values)(int(offsets[i]), int(counts[i]), diagnostics,
                                  *[s[i] for s in split])
            for i in range(len(parts))]


def _radii(tile: Sequence[Any], cells: np.ndarray, k: int) -> list[Any]:
    K = len(cells)
    asked = dask.persist(*[delayed(_own_distances)(tile[t], cells, t, k) for t in range(K)])
    targets = dask.compute(*[delayed(_sizes)(a["queries"]) for a in asked])
    return list(dask.persist(*[
        delayed(_radius)(asked[t], k, *[delayed(_answer)(tile[u], asked[t], u, k)
                                        for u in targets[t]])
        for t in range(K)]))


def _halos(tile: Sequence[Any], radius: Sequence[Any], cells: np.ndarray,
           hops: int, k: int) -> dict:
    """Per (t, u): the points of tile u in tile t's halo, as a delayed
    (positions, hops left)."""
    K = len(cells)
    pending: dict = {}  # (t, u) -> delayed query sets for tile u on t's behalf
    first = dask.persist(*[delayed(_first_queries)(tile[t], radius[t], cells, t, hops)
                           for t in range(K)])
    for t, targets in enumerate(dask.compute(*[delayed(_sizes)(q) for q in first])):
        for u in targets:
            pending.setdefault((t, u), []).append(first[t])
    states: dict = {}
    while pending:
        visits = {}
        for (t, u), sets in pending.items():
            visits[(t, u)] = delayed(_visit, nout=2)(tile[u], radius[u], states.get((t, u)),
                                                     cells, t, u, k, *sets)
        keys = list(visits)
        done = dask.persist(*[visits[key] for key in keys])
        targets = dask.compute(*[delayed(_sizes)(d[1]) for d in done])
        pending = {}
        for (t, u), d, out in zip(keys, done, targets):
            states[(t, u)] = d[0]
            for v in out:
                pending.setdefault((t, v), []).append(d[1])
    return states
