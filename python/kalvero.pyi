"""Type stubs of the kalvero module (libkalvero's Python interface)."""
from typing import Iterator, List, Optional, Tuple

import numpy
import numpy.typing

__version__: str

Box = Tuple[int, int, int, int]

class Reading:
    text: str
    box: Box
    score: float
    digit_scores: List[float]
    check_digit: bool

class Pass:
    number: str
    check_digit: bool
    first_frame: int
    last_frame: int
    start_time: float
    end_time: float
    best_score: float
    best_box: Box
    direction: str

class FrameResult:
    frame_number: int
    timestamp: float
    readings: List[Reading]
    confirmed: Optional[str]
    passes: List[Pass]

class Reader:
    def __init__(
        self,
        engine: str = "learned",
        zone: Optional[Box] = None,
        digit_height: Optional[int] = None,
        vote_depth: int = 30,
        vote_threshold: int = 5,
        confirm_frames: int = 3,
        check_digit: bool = True,
    ) -> None: ...
    def read(self, frame: numpy.typing.NDArray[numpy.uint8], timestamp: Optional[float] = None) -> FrameResult: ...
    def finish(self) -> FrameResult: ...

def read_file(
    path: str,
    engine: str = "learned",
    zone: Optional[Box] = None,
    digit_height: Optional[int] = None,
    vote_depth: int = 30,
    vote_threshold: int = 5,
    check_digit: bool = True,
) -> Iterator[Pass]: ...
