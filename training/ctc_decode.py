"""Greedy CTC decoding of the reader's output and the reading's score.

The C++ engine decodes the same way; training/README.md states the rule and
tests/test_ctc_decode.py pins it down.
"""
import numpy as np

BLANK = 0


def softmax(logits, axis=0):
    shifted = logits - np.max(logits, axis=axis, keepdims=True)
    e = np.exp(shifted)
    return e / np.sum(e, axis=axis, keepdims=True)


def greedy_decode(logits):
    """One line's logits, C x T (or the network's C x 1 x T) -> (text, score).

    Per column the most likely class; runs of the same class collapse to one;
    blanks are dropped. The score is the product over the digits read of the
    highest probability the digit has in the run of columns it came from.
    An empty reading scores 1.0 (the empty product): callers that want a
    number look at the text first.
    """
    logits = np.asarray(logits, dtype=np.float64)
    if logits.ndim == 3:
        logits = logits[:, 0, :]
    if logits.ndim != 2 or logits.shape[1] == 0:
        raise ValueError('expected C x T or C x 1 x T logits, got shape %s' % (logits.shape,))
    probs = softmax(logits, axis=0)
    best = np.argmax(probs, axis=0)
    text = []
    score = 1.0
    previous = BLANK
    peak = 0.0
    for t, cls in enumerate(best):
        cls = int(cls)
        p = float(probs[cls, t])
        if cls != previous:
            if previous != BLANK:
                score *= peak
            if cls != BLANK:
                text.append(str(cls - 1))
            peak = p
        else:
            peak = max(peak, p)
        previous = cls
    if previous != BLANK:
        score *= peak
    return ''.join(text), score


def decode_batch(logits):
    """N x C x 1 x T logits -> list of (text, score), one per line."""
    return [greedy_decode(line) for line in np.asarray(logits)]
