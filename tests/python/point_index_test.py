"""tessel._core.PointIndex (tessel.dask's tiles' index): pickled, as Dask moves it, it answers
as the original; Dask counts its size; its refusals are ValueErrors."""
import pickle
import sys

import numpy as np
import pytest

from tessel import _core

rng = np.random.default_rng(3)
X = rng.integers(-20, 20, 3000).astype(np.float64)  # many coincident points
Y = rng.integers(-20, 20, 3000).astype(np.float64)


def test_a_pickled_index_answers_as_the_original():
    qx, qy = X[:500] + 0.5, Y[:500]
    bound = np.full(500, 3.0)
    index = _core.PointIndex(X, Y)
    copy = pickle.loads(pickle.dumps(index))
    assert len(copy) == len(X) and sys.getsizeof(index) >= 16 * len(X)
    for q in (index, copy):
        assert q.nearest(qx, qy, np.arange(500), 12, bound).tobytes() == \
            index.nearest(qx, qy, np.arange(500), 12, bound).tobytes()
        assert all(a.tobytes() == b.tobytes()
                   for a, b in zip(q.ball(qx, qy, bound), index.ball(qx, qy, bound)))


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
