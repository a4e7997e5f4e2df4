"""The confirmation rule the peers use, the learned reader's own: a number
is confirmed when it is read, with its check digit holding, on 3 consecutive
frames of a video; a still confirms on its single frame a reading whose
check digit holds. Readings whose check digit fails never confirm."""

import re

import set_design

CONSECUTIVE_FRAMES = 3
EIGHT_DIGITS = re.compile(r"[0-9]{8}")


def check_digit_holds(text):
    """Eight ASCII digits whose last is the check digit of the first seven."""
    return bool(EIGHT_DIGITS.fullmatch(text)) and set_design.check_digit(text[:7]) == text[7]


class ConsecutiveConfirmation(object):
    """Fed the readings of each frame in turn (texts, best first); returns
    the number confirmed on that frame or None.

    A text's run grows on every frame that has it among its readings and
    ends on a frame without it. A text whose run has reached `frames` is
    confirmed; of several, the longest run, then the first in the frame's
    order. With still=True one frame is enough.
    """

    def __init__(self, still=False, frames=CONSECUTIVE_FRAMES):
        self.needed = 1 if still else frames
        self.runs = {}

    def add(self, texts):
        valid = []
        for t in texts:
            if check_digit_holds(t) and t not in valid:
                valid.append(t)
        self.runs = dict((t, self.runs.get(t, 0) + 1) for t in valid)
        ready = [t for t in valid if self.runs[t] >= self.needed]
        if not ready:
            return None
        return max(ready, key=lambda t: (self.runs[t], -valid.index(t)))
