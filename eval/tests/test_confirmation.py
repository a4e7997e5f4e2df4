"""The peers' confirmation rule: three consecutive frames with the check
digit holding; one frame for a still."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import confirmation as c  # noqa: E402

GOOD = "52473063"       # check digit holds
GOOD2 = "10756138"      # check digit holds
BAD = "52473064"        # check digit fails


def feed(rule, frames):
    return [rule.add(texts) for texts in frames]


class CheckDigitTest(unittest.TestCase):
    def test_only_eight_digits_with_their_check_digit(self):
        self.assertTrue(c.check_digit_holds(GOOD))
        self.assertTrue(c.check_digit_holds(GOOD2))
        for text in (BAD, "5247306", "524730630", "5247306a", "", "５2473063", "52473063\n"):
            self.assertFalse(c.check_digit_holds(text), text)


class ConsecutiveConfirmationTest(unittest.TestCase):
    def test_third_consecutive_frame_confirms_and_it_holds_while_read(self):
        got = feed(c.ConsecutiveConfirmation(), [[GOOD], [GOOD], [GOOD], [GOOD], []])
        self.assertEqual(got, [None, None, GOOD, GOOD, None])

    def test_a_frame_without_it_starts_the_count_again(self):
        got = feed(c.ConsecutiveConfirmation(),
                   [[GOOD], [GOOD], [], [GOOD], [GOOD], [GOOD]])
        self.assertEqual(got, [None, None, None, None, None, GOOD])
        got = feed(c.ConsecutiveConfirmation(),
                   [[GOOD], [GOOD], [GOOD2], [GOOD], [GOOD]])
        self.assertEqual(got, [None, None, None, None, None])

    def test_any_place_among_the_readings_counts(self):
        got = feed(c.ConsecutiveConfirmation(),
                   [[GOOD2, GOOD], [GOOD, GOOD2], [BAD, GOOD2, GOOD]])
        self.assertEqual(got, [None, None, GOOD2])      # both reach 3: the first listed

    def test_longest_run_wins_over_the_frames_order(self):
        got = feed(c.ConsecutiveConfirmation(),
                   [[GOOD], [GOOD2, GOOD], [GOOD2, GOOD], [GOOD2, GOOD]])
        self.assertEqual(got, [None, None, GOOD, GOOD])

    def test_failing_check_digit_never_confirms(self):
        self.assertEqual(feed(c.ConsecutiveConfirmation(), [[BAD]] * 6), [None] * 6)
        self.assertEqual(c.ConsecutiveConfirmation(still=True).add([BAD]), None)

    def test_still_confirms_its_best_valid_reading_at_once(self):
        self.assertEqual(c.ConsecutiveConfirmation(still=True).add([BAD, GOOD2, GOOD]), GOOD2)
        self.assertIsNone(c.ConsecutiveConfirmation(still=True).add([]))

    def test_repeated_text_in_one_frame_counts_once(self):
        got = feed(c.ConsecutiveConfirmation(), [[GOOD, GOOD], [GOOD, GOOD]])
        self.assertEqual(got, [None, None])


if __name__ == "__main__":
    unittest.main()
