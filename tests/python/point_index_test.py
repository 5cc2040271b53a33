"""tessel._core.PointIndex (tessel.dask's tiles' index): Dask counts its size; its refusals,
and those of the split of a block into tiles, are ValueErrors. (Pickled, as Dask moves it between workers, it must answer as the original:
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
    # A point in no cell (a NaN coordinate) is refused, not sent to any tile.
    lambda i: _core.split_by_tile(np.array([0.0, np.nan]), *[np.zeros(2)] * 3, 0,
                                  np.array([[-np.inf, np.inf, -np.inf, np.inf]])),
])
def test_refuses_what_it_cannot_answer(call):
    with pytest.raises(ValueError):
        call(_core.PointIndex(np.zeros(2), np.ones(2)))

