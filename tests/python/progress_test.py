"""progress: a callable hears each phase grow from 0 to 1, in order, and can stop the run;
True draws one tqdm bar over the whole call, only growing, the phase in its description."""
import io
import itertools

import numpy as np
import pytest
import tqdm.auto

import tessel

PHASES = ["loading", "k-d tree", "renumbering", "search and triples", "iterations",
          "caller's order"]
# Enough points that the longer phases also report between their start and end.
RNG = np.random.default_rng(5)
N = 60_000
TABLE = (*RNG.random((2, N)), RNG.gamma(2.0, 10.0, N), RNG.integers(1, 100, N).astype(float))


def test_a_callable_hears_each_phase_grow_from_0_to_1():
    seen = []
    tessel.smooth(*TABLE, progress=lambda phase, share: seen.append((phase, share)))
    runs = [(phase, [s for _, s in group])
            for phase, group in itertools.groupby(seen, key=lambda report: report[0])]
    assert [phase for phase, _ in runs] == PHASES
    assert all(s[0] == 0 and s[-1] == 1 and s == sorted(s) for _, s in runs), runs
    assert len(seen) > 2 * len(PHASES)  # reports between the starts and ends too
    with pytest.raises(ZeroDivisionError):  # the callable's exception stops the run
        tessel.smooth(*TABLE, progress=lambda phase, share: 1 / (share < 1))


@pytest.mark.parametrize("rows", [N, 0])
def test_true_draws_one_bar_that_only_grows(monkeypatch, rows):
    bars = []

    class Recorded(tqdm.auto.tqdm):  # keeps its own values as it shows them
        def __init__(self, *args, **kwargs):
            super().__init__(*args, file=io.StringIO(), **kwargs)
            self.values = [(self.desc, self.n)]
            bars.append(self)

        def update(self, n=1):
            super().update(n)
            self.values.append((self.desc, self.n))

    monkeypatch.setattr(tqdm.auto, "tqdm", Recorded)
    tessel.smooth(*(c[:rows] for c in TABLE), progress=True)
    [bar] = bars
    shown = [n / bar.total for _, n in bar.values]
    assert shown[0] == 0 and shown[-1] == 1 and shown == sorted(shown), bar.values
    phases = dict.fromkeys(desc for desc, _ in bar.values[1:])
    assert list(phases) == [f"tessel: {p}" for p in PHASES]
    assert "tessel: caller's order: 100%" in bar.fp.getvalue()
