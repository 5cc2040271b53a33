# Types of the compiled core.
from typing import Any, Callable, Dict, List, Optional, Tuple

import numpy as np
import numpy.typing as npt

DEFAULTS: Dict[str, Any]

class OptionError(ValueError):
    option: str

class ColumnError(ValueError):
    problem: str
    column: int
    row: int

def smooth(x: npt.NDArray[np.float64], y: npt.NDArray[np.float64],
           rate: npt.NDArray[np.float64], weight: npt.NDArray[np.float64],
           neighbors: int = ..., triples: int = ..., iterations: int = ...,
           theta: float = ...,
           progress: Optional[Callable[[str, float], Any]] = ...,
           diagnostics: bool = ...) -> Any: ...
def run_share(phase: str, share: float) -> float: ...

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

def split_by_tile(x: npt.NDArray[np.float64], y: npt.NDArray[np.float64],
                  rate: npt.NDArray[np.float64], weight: npt.NDArray[np.float64],
                  offset: int, cells: npt.NDArray[np.float64]
                  ) -> List[Tuple[npt.NDArray[np.int64], npt.NDArray[np.float64],
                                  npt.NDArray[np.float64], npt.NDArray[np.float64],
                                  npt.NDArray[np.float64]]]: ...
def grid_bounds(x: npt.NDArray[np.float64], y: npt.NDArray[np.float64], k: int,
                bin_points: float) -> npt.NDArray[np.float64]: ...

# The program's front end for the cluster command; `arguments` is the
# program's command line as bytes, argv[0] first.
EXIT_SUCCESS: int
EXIT_FAILURE: int
EXIT_USAGE: int
def reserve_standard_descriptors() -> bool: ...
def command_line(arguments: List[bytes]) -> Dict[str, Any]: ...
def usage(arguments: List[bytes]) -> bytes: ...
def regular_size(arguments: List[bytes]) -> Optional[int]: ...
def read_range(arguments: List[bytes], path: bytes, offset: int, length: int,
               rows_before: int) -> Dict[str, Any]: ...
def read_input(arguments: List[bytes]) -> Dict[str, Any]: ...
def conclude(arguments: List[bytes], rows_before: int, stopped: Optional[Dict[str, Any]]
             ) -> Tuple[bytes, bytes, bytes, int, bool]: ...
def result_prelude(arguments: List[bytes], points: int) -> Tuple[bytes, Optional[int]]: ...
def result_lines(values: npt.NDArray[np.float64], ignored: npt.NDArray[np.int64],
                 marker: bytes) -> bytes: ...
def smooth_points(x: npt.NDArray[np.float64], y: npt.NDArray[np.float64],
                  rate: npt.NDArray[np.float64], weight: npt.NDArray[np.float64],
                  neighbors: int, triples: int, iterations: int,
                  theta: float, diagnostics: bool = ...) -> Any: ...
def output_error(errno: int) -> bytes: ...
