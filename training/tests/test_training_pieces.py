import io
import unittest

import numpy as np
import torch

from augment import augment_batch
from evaluate import calibration, tally
from dataset import CropSet
from train import batch_order, encode_targets, train


class Targets(unittest.TestCase):
    def test_digit_k_is_class_k_plus_1_and_empty_text_is_empty_target(self):
        ids, lengths = encode_targets(['90', '', '1'])
        self.assertEqual(ids.tolist(), [10, 1, 2])
        self.assertEqual(lengths.tolist(), [2, 0, 1])


class DataOrder(unittest.TestCase):
    def test_each_pass_visits_every_crop_once_and_repeats_with_the_seed(self):
        order = batch_order(10, 4, 5, seed=3)
        self.assertEqual(order.shape, (5, 4))
        flat = order.ravel()
        self.assertEqual(sorted(flat[:10]), list(range(10)))
        self.assertEqual(sorted(flat[10:20]), list(range(10)))
        np.testing.assert_array_equal(order, batch_order(10, 4, 5, seed=3))
        self.assertFalse(np.array_equal(order, batch_order(10, 4, 5, seed=4)))


class TrainingRun(unittest.TestCase):
    def test_same_seed_gives_the_same_weights_and_every_evaluation_is_logged(self):
        rng = np.random.default_rng(0)
        crops = CropSet(rng.integers(0, 256, (20, 32, 160), dtype=np.uint8),
                        ['%08d' % i for i in range(19)] + [''], ['glyph'] * 20)
        runs = []
        for _ in range(2):
            model, history = train(crops, crops, steps=7, batch_size=4, eval_every=3,
                                   channels=(2, 2, 2, 2, 2), log=io.StringIO())
            runs.append((model.state_dict(), history))
        (a, history), (b, _) = runs
        self.assertTrue(all(torch.equal(a[k], b[k]) for k in a))
        self.assertEqual(history['val_steps'], [3, 6, 7])
        self.assertEqual(len(history['val_accuracy']), 3)
        self.assertEqual(history['final_step'], 7)


class Augmentation(unittest.TestCase):
    def test_same_seed_same_batch_and_pixels_stay_in_range(self):
        x = torch.rand(6, 1, 32, 160)
        a = augment_batch(x.clone(), torch.Generator().manual_seed(5))
        b = augment_batch(x.clone(), torch.Generator().manual_seed(5))
        self.assertEqual(tuple(a.shape), (6, 1, 32, 160))
        self.assertTrue(torch.equal(a, b))
        self.assertGreaterEqual(float(a.min()), 0.0)
        self.assertLessEqual(float(a.max()), 1.0)
        self.assertFalse(torch.equal(a, x))


class Tallies(unittest.TestCase):
    def test_exact_match_on_8_digits_and_false_8_on_the_rest(self):
        texts = ['12345678', '12345678', '', '1234567', '123456789']
        readings = [('12345678', 0.9), ('12345670', 0.8), ('00000000', 0.4), ('1234567', 0.9),
                    ('23456789', 0.5)]
        t = tally(texts, readings)
        self.assertEqual((t['eight_digit'], t['correct'], t['other'], t['false_eight']), (2, 1, 3, 2))
        self.assertAlmostEqual(t['accuracy'], 0.5)
        self.assertAlmostEqual(t['false_eight_rate'], 2 / 3)

    def test_calibration_bins_only_8_digit_readings_and_keeps_score_one(self):
        texts = ['12345678', '12345678', '', '12345678']
        readings = [('12345678', 1.0), ('12345670', 0.2), ('00000000', 0.25), ('1234567', 0.99)]
        bins = calibration(texts, readings, edges=(0.5, 1.0))
        self.assertEqual([(b['count'], b['accuracy']) for b in bins], [(2, 0.0), (1, 1.0)])


if __name__ == '__main__':
    unittest.main()
