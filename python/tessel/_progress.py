"""The progress argument of tessel.smooth and tessel.smooth_frame turned
into the compiled core's callback: None, one tqdm bar over the whole call,
or the caller's own callable."""
from __future__ import annotations

from typing import Any, Callable, Optional, Union

from . import _core

Progress = Union[bool, Callable[[str, float], Any]]

STEPS = 1000  # the bar counts the run in thousandths


class RunBar:
    """One tqdm bar over a whole call, its description the phase running.
    The bar's value is the core's share of the whole run (_core.run_share),
    which only grows from phase to phase, so the bar's time left is the
    whole call's."""

    def __init__(self, tqdm: Any) -> None:
        self._bar = tqdm(total=STEPS, desc="tessel",
                         bar_format="{desc}: {percentage:3.0f}%|{bar}| [{elapsed}<{remaining}]")
        self._phase: Optional[str] = None

    def __call__(self, phase: str, share: float) -> None:
        if phase != self._phase:
            self._phase = phase
            self._bar.set_description_str(f"tessel: {phase}")
        done = round(_core.run_share(phase, share) * STEPS)
        if done != self._bar.n:
            self._bar.update(done - self._bar.n)

    def close(self) -> None:
        self._bar.close()


def callback(progress: Progress) -> Optional[Callable[[str, float], Any]]:
    """The core's callback for progress: None for False or None, a RunBar
    for True, a callable as it is."""
    if progress is None or progress is False:
        return None
    if progress is True:
        try:
            from tqdm.auto import tqdm
        except ImportError as error:
            raise ImportError(
                "progress=True draws its progress bar with tqdm, which is not "
                "installed (Debian: apt-get install python3-tqdm)") from error
        return RunBar(tqdm)
    if callable(progress):
        return progress
    raise TypeError("progress must be True, False or a callable(phase, share), not "
                    f"{type(progress).__name__}")
