"""tessel._core.PointIndex, the spatial index of tessel.dask's tiles, against
brute force on integer coordinates and half-integer queries, where every
squared distance is exact and numpy measures as the core does: before and
after a pickle round trip (Dask moves tiles between processes so), through
the tile helpers, and its refusals."""
import pickle
import sys

import numpy as np
import pytest

from tessel import _core

rng = np.random.default_rng(3)
X = rng.integers(-20, 20, 3000).astype(np.float64)  # many coincident points
Y = rng.integers(-20, 20, 3000).astype(np.float64)


def distances(qx, qy):
    return np.sqrt((qx[:, None] - X[None, :]) ** 2 + (qy[:, None] - Y[None, :]) ** 2)


def test_answers_as_brute_force_before_and_after_a_pickle():
    own = 500
    qx = np.concatenate([X[:own], rng.integers(-25, 25, 200) + 0.5])
    qy = np.concatenate([Y[:own], rng.integers(-25, 25, 200) - 0.5])
    excluded = np.concatenate([np.arange(own), np.full(200, -1)])
    d = distances(qx, qy)
    others = d.copy()
    others[np.arange(own), np.arange(own)] = np.inf
    bound = np.sort(others, axis=1)[:, 7]  # each exactly a distance, most of them tied
    k = 12
    want = np.sort(np.where(others <= bound[:, None], others, np.inf), axis=1)[:, :k]
    index = _core.PointIndex(X, Y)
    for copy in (index, pickle.loads(pickle.dumps(index))):
        assert len(copy) == len(X)
        assert copy.nearest(qx, qy, excluded, k, bound).tobytes() == want.tobytes()
        offsets, points = copy.ball(qx, qy, bound)
        assert offsets[0] == 0 and offsets[-1] == len(points)
        for q in range(len(qx)):
            found = np.sort(points[offsets[q]:offsets[q + 1]])
            assert np.array_equal(found, np.nonzero(d[q] <= bound[q])[0]), q
    assert sys.getsizeof(index) >= 16 * len(X)  # what Dask counts it as
    empty = pickle.loads(pickle.dumps(_core.PointIndex(np.empty(0), np.empty(0))))
    assert np.all(empty.nearest(qx, qy, np.full(len(qx), -1), 2, bound) == np.inf)
    assert [len(a) for a in empty.ball(qx, qy, bound)] == [len(qx) + 1, 0]


def test_a_tiles_own_distances_leave_each_point_out():
    _tiled = pytest.importorskip("tessel._tiled", reason="dask not installed")
    pieces = [(np.arange(a, b), X[a:b], Y[a:b], X[a:b], Y[a:b])
              for a, b in ((0, 1000), (1000, 3000))]
    tile = _tiled._make_tile(np.array([-np.inf, np.inf, -np.inf, np.inf]), *pieces)
    got = _tiled._nearest(tile, tile["x"], tile["y"], True, 10, np.full(len(X), np.inf))
    d = distances(X, Y)
    np.fill_diagonal(d, np.inf)
    assert got.tobytes() == np.sort(d, axis=1)[:, :10].tobytes()


@pytest.mark.parametrize("call", [
    lambda i: _core.PointIndex(np.array([0.0, np.nan]), np.zeros(2)),
    lambda i: _core.PointIndex(np.zeros(3), np.zeros(2)),
    lambda i: i.nearest(np.zeros(2), np.zeros(1), np.full(2, -1), 1, np.ones(2)),
    lambda i: i.nearest(np.zeros(1), np.zeros(1), np.array([2]), 1, np.ones(1)),
    lambda i: i.nearest(np.zeros(1), np.zeros(1), np.array([-1]), -1, np.ones(1)),
    lambda i: i.ball(np.array([np.inf]), np.zeros(1), np.ones(1)),
])
def test_refuses_what_it_cannot_answer(call):
    with pytest.raises(ValueError):
        call(_core.PointIndex(np.zeros(2), np.ones(2)))
