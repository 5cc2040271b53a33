"""The progress argument of tessel.smooth and tessel.smooth_frame turned
into the compiled core's callback: None, a tqdm bar per phase, or the
caller's own callable."""
from __future__ import annotations

from typing import Any, Callable, Optional, Union

Progress = Union[bool, Callable[[str, float], Any], None]


class _PhaseBars:
    """One tqdm bar per phase, filled in percent of the phase; a bar is
    closed when the next phase starts or the run ends."""

    def __init__(self, tqdm: Any) -> None:
        self._tqdm = tqdm
        self._bar: Any = None
        self._phase: Optional[str] = None

    def __call__(self, phase: str, share: float) -> None:
        if phase != self._phase:
            self.close()
            self._phase = phase
            self._bar = self._tqdm(total=100, desc=f"tessel: {phase}", unit="%",
                                   bar_format="{desc}: {percentage:3.0f}%|{bar}| "
                                              "[{elapsed}<{remaining}]")
        done = min(100, max(0, round(share * 100)))
        if done > self._bar.n:
            self._bar.update(done - self._bar.n)

    def close(self) -> None:
        if self._bar is not None:
            self._bar.close()
            self._bar = None


def callback(progress: Progress) -> Optional[Callable[[str, float], Any]]:
    """The core's callback for progress: None for False or None, tqdm bars
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
        return _PhaseBars(tqdm)
    if callable(progress):
        return progress
    raise TypeError("progress must be True, False or a callable(phase, share), not "
                    f"{type(progress).__name__}")
