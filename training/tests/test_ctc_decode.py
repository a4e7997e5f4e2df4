import math
import unittest

import numpy as np

from ctc_decode import decode_batch, greedy_decode


def logits_for(columns, confidence=4.0):
    """C x T logits whose argmax per column is the given class."""
    logits = np.zeros((11, len(columns)))
    for t, cls in enumerate(columns):
        logits[cls, t] = confidence
    return logits


def logits_from_probs(probs):
    return np.log(np.asarray(probs, dtype=np.float64))


class GreedyDecodeText(unittest.TestCase):
    def test_repeats_collapse_and_blanks_drop(self):
        # digit k is class k + 1
        self.assertEqual(greedy_decode(logits_for([0, 6, 6, 0, 0, 3, 3, 3]))[0], '52')

    def test_blank_between_repeats_keeps_both(self):
        self.assertEqual(greedy_decode(logits_for([2, 2, 0, 2, 0, 0, 2]))[0], '111')

    def test_adjacent_different_digits_need_no_blank(self):
        self.assertEqual(greedy_decode(logits_for([1, 2, 3, 10]))[0], '0129')

    def test_all_blank_reads_nothing_with_score_one(self):
        self.assertEqual(greedy_decode(logits_for([0] * 40)), ('', 1.0))

    def test_network_layout_c_by_1_by_t_is_accepted(self):
        logits = logits_for([0, 9, 0, 1])
        self.assertEqual(greedy_decode(logits[:, None, :]), greedy_decode(logits))

    def test_batch_decodes_each_line(self):
        batch = np.stack([logits_for([3, 0, 3])[:, None, :], logits_for([0, 0, 0])[:, None, :]])
        self.assertEqual([t for t, _ in decode_batch(batch)], ['22', ''])

    def test_bad_shapes_raise(self):
        for shape in [(11,), (11, 0), (2, 11, 1, 4)]:
            with self.assertRaises(ValueError):
                greedy_decode(np.zeros(shape))


class GreedyDecodeScore(unittest.TestCase):
    def test_score_is_product_of_each_digits_peak_probability(self):
        # Columns: digit 4 (p 0.6), digit 4 (p 0.9), blank, digit 7 (p 0.7).
        rest = lambda p: (1.0 - p) / 10.0  # noqa: E731
        probs = np.full((11, 4), 0.0)
        for t, (cls, p) in enumerate([(5, 0.6), (5, 0.9), (0, 0.8), (8, 0.7)]):
            probs[:, t] = rest(p)
            probs[cls, t] = p
        text, score = greedy_decode(logits_from_probs(probs))
        self.assertEqual(text, '47')
        self.assertAlmostEqual(score, 0.9 * 0.7, places=9)

    def test_blank_confidence_does_not_enter_the_score(self):
        probs = np.full((11, 3), 0.01)
        probs[0, 0], probs[2, 1], probs[0, 2] = 0.9, 0.5, 0.55
        probs /= probs.sum(axis=0, keepdims=True)
        text, score = greedy_decode(logits_from_probs(probs))
        self.assertEqual(text, '1')
        self.assertAlmostEqual(score, probs[2, 1], places=9)

    def test_repeated_digit_split_by_blank_scores_twice(self):
        probs = np.full((11, 3), 0.05)
        probs[4, 0], probs[0, 1], probs[4, 2] = 0.5, 0.5, 0.5
        text, score = greedy_decode(logits_from_probs(probs))
        self.assertEqual(text, '33')
        self.assertAlmostEqual(score, 0.5 * 0.5, places=9)

    def test_score_uses_softmax_of_raw_logits(self):
        logits = np.zeros((11, 1))
        logits[3, 0] = 2.0
        expected = math.exp(2.0) / (math.exp(2.0) + 10.0)
        self.assertAlmostEqual(greedy_decode(logits)[1], expected, places=9)

    def test_large_logits_do_not_overflow(self):
        text, score = greedy_decode(logits_for([0, 8, 0], confidence=1000.0))
        self.assertEqual(text, '7')
        self.assertAlmostEqual(score, 1.0)


if __name__ == '__main__':
    unittest.main()
