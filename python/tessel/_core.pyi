# Types of the compiled core.
from typing import Any, Callable, Optional

import numpy as np
import numpy.typing as npt

def smooth(x: npt.NDArray[np.float64], y: npt.NDArray[np.float64],
           rate: npt.NDArray[np.float64], weight: npt.NDArray[np.float64],
           neighbors: int = ..., triples: int = ..., iterations: int = ...,
           theta: float = ...,
           progress: Optional[Callable[[str, float], Any]] = ...) -> npt.NDArray[np.float64]: ...
