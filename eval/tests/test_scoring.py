"""Scorer tests: box overlap, matching and the metrics on hand-made fixtures."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import scoring  # noqa: E402

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures")


def load(name):
    with open(os.path.join(FIXTURES, name + ".truth.json")) as f:
        truth = json.load(f)
    with open(os.path.join(FIXTURES, name + ".glyph.jsonl")) as f:
        frames = scoring.parse_reader_output(f.read())
    return truth, frames


class IouTest(unittest.TestCase):
    def test_known_overlaps(self):
        self.assertAlmostEqual(scoring.iou([0, 0, 10, 10], [0, 0, 10, 10]), 1.0)
        # half shifted: 50 shared of 150
        self.assertAlmostEqual(scoring.iou([0, 0, 10, 10], [5, 0, 10, 10]), 1 / 3.0)
        # inside a box four times its size
        self.assertAlmostEqual(scoring.iou([0, 0, 20, 20], [5, 5, 10, 10]), 0.25)
        # symmetric
        self.assertAlmostEqual(scoring.iou([3, 4, 17, 9], [8, 1, 12, 20]),
                               scoring.iou([8, 1, 12, 20], [3, 4, 17, 9]))

    def test_touching_disjoint_and_empty_boxes_are_zero(self):
        self.assertEqual(scoring.iou([0, 0, 10, 10], [10, 0, 10, 10]), 0.0)
        self.assertEqual(scoring.iou([0, 0, 10, 10], [0, 10, 10, 10]), 0.0)
        self.assertEqual(scoring.iou([0, 0, 10, 10], [50, 50, 5, 5]), 0.0)
        self.assertEqual(scoring.iou([0, 0, 0, 10], [0, 0, 0, 10]), 0.0)
        self.assertEqual(scoring.iou([0, 0, 10, 10], [2, 2, -3, 4]), 0.0)


class MatchTest(unittest.TestCase):
    def test_threshold_is_inclusive(self):
        self.assertEqual(scoring.match_boxes([[0, 0, 10, 10]], [[0, 0, 20, 10]]), [(0, 0)])
        self.assertEqual(scoring.match_boxes([[0, 0, 10, 10]], [[0, 0, 21, 10]]), [])

    def test_one_to_one(self):
        # two readings on one number count once
        self.assertEqual(len(scoring.match_boxes([[0, 0, 10, 10]],
                                                 [[0, 0, 10, 10], [1, 0, 10, 10]])), 1)
        # one reading between two overlapping numbers counts once
        self.assertEqual(len(scoring.match_boxes([[0, 0, 10, 10], [1, 0, 10, 10]],
                                                 [[0, 0, 10, 10]])), 1)

    def test_best_overlap_is_matched_first(self):
        # Taking readings in order would give X to A and leave B unmatched;
        # the best pairs are A-Y (IoU 1) and B-X (IoU 0.82).
        truth = [[0, 0, 10, 10], [4, 0, 10, 10]]
        found = [[3, 0, 10, 10], [0, 0, 10, 10]]
        self.assertEqual(scoring.match_boxes(truth, found), [(0, 1), (1, 0)])


class ScoreItemTest(unittest.TestCase):
    def test_two_carriages_fixture(self):
        s = scoring.score_item(*load("two_carriages"))
        self.assertEqual(s["numbers_total"], 2)
        self.assertEqual(s["numbers_confirmed"], 1)
        self.assertEqual(s["confirmed"], ["52473063", "52478063"])
        self.assertEqual(s["wrong"], ["52478063"])
        # frame 6 is not printed by the reader but still counts
        self.assertEqual(s["frames_total"], 6)
        self.assertEqual(s["frames_read"], 5)
        # frame 1 shows the number only partly: not a visible frame, and its
        # reading of that number is not false
        self.assertEqual(s["visible_frames"], 5)
        # frame 2 right; frame 3 best reading wrong; frame 4 either of the
        # two visible numbers counts; frame 5 no reading; frame 6 missing
        self.assertEqual(s["top1_hits"], 2)
        # only frame 3 has a reading of a number not in the frame
        self.assertEqual(s["false_frames"], 1)
        # boxes: frame 2 close, frame 3 exact although its text is wrong,
        # frame 4's wide box matches neither, frames 5 and 6 nothing
        self.assertEqual(s["visible_objects"], 6)
        self.assertEqual(s["detected"], 2)
        self.assertEqual(s["times_ms"], [10.0, 20.0, 30.0, 40.5, 50.0])
        self.assertEqual(s["engine_tags"], {"glyph": 5})

    def test_negative_still(self):
        s = scoring.score_item(*load("blank"))
        self.assertEqual((s["numbers_total"], s["numbers_confirmed"]), (0, 0))
        self.assertEqual(s["wrong"], ["12345612"])
        self.assertEqual(s["false_frames"], 1)
        self.assertEqual((s["visible_frames"], s["visible_objects"]), (0, 0))

    def test_reading_of_a_number_from_another_frame_is_false(self):
        truth, frames = load("two_carriages")
        frames[1]["readings"][0]["text"] = "10756138"  # frame 2 shows only 52473063
        s = scoring.score_item(truth, frames)
        self.assertEqual(s["false_frames"], 2)
        self.assertEqual(s["top1_hits"], 1)

    def test_integer_numbers_in_truth_keep_leading_zeros(self):
        truth = {"frames": 1, "numbers": [1234567],
                 "frame_truth": [{"frame": 1, "objects": [
                     {"text": "01234567", "kind": "number", "box": [0, 0, 80, 10],
                      "fully_visible": True}]}]}
        frames = [{"frame": 1, "time_ms": 1,
                   "readings": [{"text": "01234567", "x": 0, "y": 0, "width": 80, "height": 10}],
                   "confirmed": "01234567"}]
        s = scoring.score_item(truth, frames)
        self.assertEqual((s["numbers_confirmed"], s["wrong"], s["false_frames"], s["top1_hits"]),
                         (1, [], 0, 1))

    def test_no_output_scores_as_nothing_read(self):
        truth, _ = load("two_carriages")
        s = scoring.score_item(truth, [])
        self.assertEqual((s["frames_total"], s["visible_frames"], s["top1_hits"],
                          s["detected"], s["false_frames"], s["numbers_confirmed"]),
                         (6, 5, 0, 0, 0, 0))

    def test_bad_truth_is_refused(self):
        for bad in ([], {"numbers": []}, {"numbers": [], "frame_truth": [{"objects": []}]},
                    {"numbers": [], "frame_truth": [{"frame": 1, "objects": [{"box": [1, 2]}]}]}):
            with self.assertRaises(ValueError):
                scoring.score_item(bad, [])


class ParseTest(unittest.TestCase):
    def test_lines_and_blank_lines(self):
        frames = scoring.parse_reader_output(
            '{"frame": 1, "time_ms": 2, "readings": [], "confirmed": null}\n\n'
            '{"frame": 2, "time_ms": 3, "readings": [], "confirmed": null}\n')
        self.assertEqual([f["frame"] for f in frames], [1, 2])

    def test_closing_summary_line_is_left_out(self):
        frames = scoring.parse_reader_output(
            '{"frame": 1, "time_ms": 2, "readings": [], "confirmed": null}\n'
            '{"summary": {"frames_read": 1, "numbers_confirmed": 0}}\n')
        self.assertEqual(len(frames), 1)
        with self.assertRaisesRegex(ValueError, "line 1"):
            scoring.parse_reader_output('{"summary": 1, "frame": "x"}\n')

    def test_garbage_names_the_line(self):
        for text in ('{"frame": 1}\nFrame 2: confirmed\n', '{"frame": 1}\n[1, 2]\n',
                     '{"frame": 1}\n{"frame": 2, "readings": 5}\n'):
            with self.assertRaisesRegex(ValueError, "line 2"):
                scoring.parse_reader_output(text)


class AggregateTest(unittest.TestCase):
    def test_percentiles(self):
        self.assertIsNone(scoring.percentile([], 50))
        self.assertEqual(scoring.percentile([5.0], 90), 5.0)
        self.assertEqual(scoring.percentile([4, 1, 3, 2], 50), 2.5)
        self.assertEqual(scoring.percentile([3, 1, 2], 50), 2)
        self.assertEqual(scoring.percentile(list(range(1, 11)), 90), 9)
        self.assertEqual(scoring.percentile(list(range(1, 12)), 90), 10)

    def test_sums_over_items(self):
        a = scoring.score_item(*load("two_carriages"))
        b = scoring.score_item(*load("blank"))
        t = scoring.aggregate([a, b])
        self.assertEqual((t["items"], t["wrong_items"]), (2, 2))
        self.assertEqual((t["numbers_confirmed"], t["numbers_total"]), (1, 2))
        self.assertEqual((t["false_frames"], t["frames_total"]), (2, 7))
        self.assertEqual(t["median_ms"], 25.0)
        self.assertEqual(t["p90_ms"], 50.0)
        self.assertEqual(t["engine_tags"], {"glyph": 6})

    def test_table_shows_shares_and_empty_denominators(self):
        t = scoring.aggregate([scoring.score_item(*load("two_carriages"))])
        e = scoring.aggregate([])
        text = scoring.format_table([("glyph", t), ("learned", e)])
        lines = text.splitlines()
        self.assertEqual(len(lines), 4)
        self.assertIn("1 of 2 (50.0%)", lines[2])
        self.assertIn("40.0%", lines[2])       # top-1: 2 of 5
        self.assertIn("1 of 6 (16.7%)", lines[2])
        self.assertIn("33.3%", lines[2])       # detection: 2 of 6
        self.assertIn("n/a", lines[3])
        # columns line up
        self.assertEqual(lines[0].index("wrong conf."), lines[2].index("1 of 1"))


def frame(n, readings, confirmed=None, ms=5):
    return {"frame": n, "time_ms": ms, "confirmed": confirmed,
            "readings": [{"text": t, "x": b[0], "y": b[1], "width": b[2], "height": b[3]}
                         for t, b in readings]}


def truth_of(numbers, frames_objects):
    return {"frames": len(frames_objects), "numbers": numbers,
            "frame_truth": [{"frame": i + 1, "objects": objs}
                            for i, objs in enumerate(frames_objects)]}


def number_object(text, box, visible=True, kind="number"):
    return {"text": text, "kind": kind, "box": box, "fully_visible": visible}


class PaintedTwiceTest(unittest.TestCase):
    """The same number at both ends of a side: two objects, one number."""

    N = "52473063"
    LEFT, RIGHT = [10, 50, 80, 12], [400, 50, 80, 12]

    def score(self, numbers):
        objs = [number_object(self.N, self.LEFT), number_object(self.N, self.RIGHT)]
        truth = truth_of(numbers, [objs, objs, objs])
        frames = [frame(1, [(self.N, self.LEFT)]),
                  frame(2, [(self.N, self.RIGHT), (self.N, self.LEFT)], confirmed=self.N),
                  frame(3, [])]
        return scoring.score_item(truth, frames)

    def test_counts_once_whether_the_truth_lists_it_once_or_twice(self):
        for numbers in ([self.N], [self.N, self.N]):
            s = self.score(numbers)
            self.assertEqual((s["numbers_total"], s["numbers_confirmed"], s["wrong"]),
                             (1, 1, []), numbers)
            self.assertEqual((s["visible_frames"], s["top1_hits"], s["false_frames"]),
                             (3, 2, 0))
            # both paintings are to be found: 2 a frame, found 1 + 2 + 0
            self.assertEqual((s["visible_objects"], s["detected"]), (6, 3))

    def test_one_box_over_both_paintings_finds_neither(self):
        objs = [number_object(self.N, self.LEFT), number_object(self.N, self.RIGHT)]
        s = scoring.score_item(truth_of([self.N], [objs]),
                               [frame(1, [(self.N, [10, 50, 470, 12])])])
        self.assertEqual((s["detected"], s["top1_hits"]), (0, 1))


class NegativesApartTest(unittest.TestCase):
    def test_false_frames_of_negatives_are_counted_apart(self):
        seven = number_object("1234567", [10, 10, 70, 12], kind="distractor")
        neg = scoring.score_item(truth_of([], [[seven], [seven], [seven], [seven]]),
                                 [frame(1, [("12345674", [10, 10, 70, 12])], "12345674"),
                                  frame(2, []), frame(3, [("12345674", [10, 10, 70, 12])])])
        n = "52473063"
        obj = number_object(n, [0, 0, 80, 12])
        pos = scoring.score_item(truth_of([n], [[obj], [obj]]),
                                 [frame(1, [("99999999", [0, 0, 80, 12])]), frame(2, [(n, [0, 0, 80, 12])])])
        self.assertTrue(neg["negative"])
        self.assertFalse(pos["negative"])
        self.assertEqual(neg["wrong"], ["12345674"])
        t = scoring.aggregate([neg, pos])
        self.assertEqual((t["negative_false_frames"], t["negative_frames"]), (2, 4))
        self.assertEqual((t["number_false_frames"], t["number_frames"]), (1, 2))
        self.assertEqual((t["false_frames"], t["frames_total"]), (3, 6))
        self.assertEqual(t["wrong_items"], 1)
        f = scoring.figures(t)
        self.assertEqual(f["negative_false_frames_pct"], 50.0)
        self.assertEqual(f["false_frames_pct"], 50.0)
        self.assertEqual(f["items_wrong_confirmation"], 1)
        self.assertEqual((f["numbers_confirmed"], f["numbers_total"]), (0, 1))
        self.assertEqual(f["top1_pct"], 50.0)
        self.assertEqual(f["detection_recall_pct"], 100.0)
        self.assertEqual(f["median_ms"], 5)
        line = scoring.format_table([("x", t)]).splitlines()[2]
        self.assertIn("1 of 2 (50.0%)", line)
        self.assertIn("2 of 4 (50.0%)", line)

    def test_figures_without_items_have_no_shares(self):
        f = scoring.figures(scoring.aggregate([]))
        for key in ("numbers_confirmed_pct", "top1_pct", "false_frames_pct",
                    "negative_false_frames_pct", "detection_recall_pct", "median_ms"):
            self.assertIsNone(f[key], key)


if __name__ == "__main__":
    unittest.main()
