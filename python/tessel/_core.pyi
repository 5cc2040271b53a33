# Types of the compiled core.
from typing import Any, Callable, Optional, Tuple

import numpy as np
import numpy.typing as npt

def smooth(x: npt.NDArray[np.float64], y: npt.NDArray[np.float64],
           rate: npt.NDArray[np.float64], weight: npt.NDArray[np.float64],
           neighbors: int = ..., triples: int = ..., iterations: int = ...,
           theta: float = ...,
           progress: Optional[Callable[[str, float], Any]] = ...) -> npt.NDArray[np.float64]: ...

class PointIndex:
    """A tile's spatial index: distances measured as the neighbour search
    measures them. Pickles as its coordinates."""
    def __init__(self, x: npt.NDArray[np.float64], y: npt.NDArray[np.float64]) -> None: ...
    def nearest(self, qx: npt.NDArray[np.float64], qy: npt.NDArray[np.float64],
                excluded: npt.NDArray[np.int64], k: int,
                bound: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]: ...
    def ball(self, qx: npt.NDArray[np.float64], qy: npt.NDArray[np.float64],
             radius: npt.NDArray[np.float64]
             ) -> Tuple[npt.NDArray[np.int64], npt.NDArray[np.int64]]: ...
    def __len__(self) -> int: ...
    def __sizeof__(self) -> int: ...
