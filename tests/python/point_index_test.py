"""tessel._core.PointIndex (tessel.dask's tiles' index): Dask counts its size; its refusals,
and those of the split of a block into tiles and of the grid's bounds, are ValueErrors; the
grid's bounds on the k-th neighbour distance hold. (Pickled, as Dask moves it between workers, it must answer as the original:
the cluster tests' byte-for-byte runs on worker processes show that.)"""
import sys

import numpy as np
import pytest

from tessel import _core


def test_dask_counts_its_size():
    x = np.arange(3000, dtype=np.float64)
    assert sys.getsizeof(_core.PointIndex(x, x)) >= 16 * len(x)


@pytest.mark.parametrize("call", [
    lambda i: _core.PointIndex(np.array([0.0, np.nan]), np.zeros(2)),
    lambda i: _core.PointIndex(np.zeros(3), np.zeros(2)),
    lambda i: i.nearest(np.zeros(2), np.zeros(1), np.full(2, -1), 1, np.ones(2)),
    lambda i: i.nearest(np.zeros(1), np.zeros(1), np.array([2]), 1, np.ones(1)),
    lambda i: i.nearest(np.zeros(1), np.zeros(1), np.array([-1]), -1, np.ones(1)),
    lambda i: i.ball(np.array([np.inf]), np.zeros(1), np.ones(1)),
    lambda i: _core.split_by_tile(*[np.zeros(2)] * 4, 0, np.zeros((1, 3))),
    lambda i: _core.grid_bounds(np.zeros(3), np.zeros(2), 1, 4.0),
    lambda i: _core.grid_bounds(np.zeros(0), np.zeros(0), -1, 4.0),
    # A point in no cell (a NaN coordinate) is refused, not sent to any tile.
    lambda i: _core.split_by_tile(np.array([0.0, np.nan]), *[np.zeros(2)] * 3, 0,
                                  np.array([[-np.inf, np.inf, -np.inf, np.inf]])),
])
def test_refuses_what_it_cannot_answer(call):
    with pytest.raises(ValueError):
        call(_core.PointIndex(np.zeros(2), np.ones(2)))


def _layout(name, rng, n):
    if name == "uniform":
        return rng.uniform(0, 100, n), rng.uniform(0, 100, n)
    if name == "clusters":  # tight clusters, and a few points far from everything
        centre = rng.uniform(0, 1000, (20, 2))[rng.integers(0, 20, n)]
        x, y = (centre + rng.normal(0, 1, (n, 2))).T
        x[:5] = 1e4 * np.arange(1, 6)
        return x, y
    if name == "lattice":  # distances tied everywhere
        g = np.arange(n)
        return (g % 50).astype(np.float64), (g // 50).astype(np.float64)
    return rng.uniform(0, 1000, n), rng.uniform(0, 1e-3, n)  # a thin strip: few bins hold any


@pytest.mark.parametrize("layout, proves_most", [
    ("uniform", True), ("clusters", True), ("lattice", True), ("strip", False)])
def test_grid_bounds_hold(layout, proves_most):
    rng = np.random.default_rng(7)
    n = 3000
    x, y = _layout(layout, rng, n)
    index = _core.PointIndex(x, y)
    for k in (1, 10):
        bound = _core.grid_bounds(x, y, k, 4.0)
        exact = index.nearest(x, y, np.arange(n), k, np.full(n, np.inf))[:, k - 1]
        proven = np.isfinite(bound)
        assert np.all(exact[proven] <= bound[proven]), (layout, k)
        assert proven.sum() > n // 2 or not proves_most, (layout, k)
