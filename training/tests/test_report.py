import unittest

from report import conditioned_section


def tally(eight, correct, other, false_eight):
    return {'eight_digit': eight, 'correct': correct, 'other': other, 'false_eight': false_eight,
            'accuracy': correct / eight if eight else None,
            'false_eight_rate': false_eight / other if other else None}


class ConditionedRows(unittest.TestCase):
    def evaluation(self):
        return {'sets': {'Lato': {'by_family': {'Lato': tally(10, 9, 5, 0), 'hand': tally(4, 2, 2, 1)}}},
                'all': tally(14, 11, 7, 1)}

    def test_rows_per_family_with_the_hand_digits_apart_and_the_total(self):
        lines = conditioned_section(self.evaluation(), None, {'conditioned_test_seed': '211-214',
                                                              'conditioned_test_count': 1000})
        text = '\n'.join(lines)
        self.assertIn('## Under conditions (held-out fonts)', text)
        self.assertIn('seed 211-214', text)
        self.assertIn('| Lato | 10 | 90.0 % | 5 | 0.0 % |', text)
        self.assertIn('| hand | 4 | 50.0 % | 2 | 50.0 % |', text)
        self.assertIn('| **all** | 14 | 78.6 % | 7 | 14.3 % |', text)
        self.assertNotIn('Training fonts under conditions', text)

    def test_training_rows_follow_when_measured(self):
        training = {'sets': {'conditioned': {'by_family': {'glyph': tally(3, 3, 1, 0)}}}, 'all': tally(3, 3, 1, 0)}
        text = '\n'.join(conditioned_section(self.evaluation(), training, {}))
        self.assertIn('### Training fonts under conditions', text)
        self.assertIn('| glyph | 3 | 100.0 % | 1 | 0.0 % |', text)

    def test_a_run_without_conditioned_crops_adds_nothing(self):
        self.assertEqual(conditioned_section(None, None, {}), [])


if __name__ == '__main__':
    unittest.main()
