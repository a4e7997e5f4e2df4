"""The set design: fixed, covering what the evaluation claims to cover, and
using only the allowed fonts with the held-out ones labelled as such."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import set_design as d  # noqa: E402

ALLOWED_FONT_DIRS = (
    "/usr/share/fonts/truetype/dejavu/", "/usr/share/fonts/truetype/liberation/",
    "/usr/share/fonts/truetype/liberation2/", "/usr/share/fonts/truetype/croscore/",
    "/usr/share/fonts/truetype/lato/", "/usr/share/fonts/opentype/cantarell/",
    "/usr/share/fonts/truetype/hack/", "/usr/share/fonts/opentype/league-spartan/",
)
HELD_OUT_DIRS = ("/lato/", "/cantarell/", "/hack/", "/league-spartan/")


def option(args, name):
    return args[args.index(name) + 1]


class SetDesignTest(unittest.TestCase):
    def setUp(self):
        self.items = d.build_set()

    def test_same_seed_same_set_and_another_seed_differs(self):
        self.assertEqual(d.build_set(), self.items)
        self.assertNotEqual([i["number"] for i in d.build_set(d.SET_SEED + 1)],
                            [i["number"] for i in self.items])
        self.assertEqual(len(set(i["name"] for i in self.items)), len(self.items))

    def test_coverage(self):
        pos = [i for i in self.items if i["negative"] == "none"]
        videos = [i for i in pos if i["kind"] == "video"]
        stills = [i for i in pos if i["kind"] == "still"]
        self.assertGreaterEqual(len(videos), 24)
        self.assertGreaterEqual(len(stills), 8)
        for g in d.GROUPS:
            self.assertGreaterEqual(sum(i["group"] == g for i in videos), 4, g)
            self.assertTrue(any(i["group"] == g for i in stills), g)
        self.assertEqual(set(i["scene"] for i in videos), set(d.SCENES))
        self.assertEqual(set(i["polarity"] for i in pos), set(d.POLARITIES))
        self.assertEqual(set(i["font"] for i in videos),
                         set(d.TRAINING_FONTS) | set(d.HELD_OUT_FONTS) | {"glyph", "stencil"})
        neg_videos = set(i["negative"] for i in self.items
                         if i["kind"] == "video" and i["negative"] != "none")
        self.assertEqual(neg_videos, set(d.NEGATIVE_KINDS))
        self.assertTrue(any(i["negative"] == "blank" and i["scene"] == "static"
                            for i in self.items))
        self.assertTrue(all(i["number"] is None for i in self.items if i["negative"] != "none"))

    def test_numbers_valid_and_some_start_or_end_with_1(self):
        numbers = [i["number"] for i in self.items if i["number"]]
        for n in numbers:
            self.assertRegex(n, r"^[0-9]{8}$")
            self.assertEqual(d.check_digit(n[:7]), n[7], n)
        self.assertGreaterEqual(sum(n[0] == "1" for n in numbers), 5)
        self.assertGreaterEqual(sum(n[-1] == "1" for n in numbers), 3)

    def test_check_digit_known_value(self):
        self.assertEqual(d.check_digit("5247306"), "3")   # 52473063 holds

    def test_fonts_allowed_and_held_out_labelled(self):
        for i in self.items:
            arg = d.font_argument(i["font"])
            if i["font"] in ("glyph", "stencil"):
                self.assertEqual(arg, i["font"])
                self.assertEqual(i["group"], i["font"])
                continue
            self.assertTrue(arg.startswith(ALLOWED_FONT_DIRS), arg)
            held_out = any(h in arg for h in HELD_OUT_DIRS)
            self.assertEqual(i["group"], "held-out" if held_out else "training", arg)

    def test_heights_and_sizes_fit_the_reader(self):
        lo, hi = d.READER_DIGIT_HEIGHT_RANGE
        for i in self.items:
            self.assertTrue(20 <= i["digit_height"] <= 48, i["name"])
            self.assertTrue(lo <= i["digit_height"] <= hi)
            if i["kind"] == "video":
                self.assertTrue(40 <= i["frames"] <= 60, i["name"])

    def test_quick_is_a_small_subset_of_every_group(self):
        q = d.quick_set(self.items)
        self.assertLessEqual(len(q), 8)
        for i in q:
            self.assertIn(i, self.items)
        self.assertEqual(set(i["group"] for i in q if i["negative"] == "none"), set(d.GROUPS))
        self.assertTrue(any(i["kind"] == "still" for i in q))
        self.assertTrue(any(i["negative"] != "none" for i in q))


class ArgumentsTest(unittest.TestCase):
    def setUp(self):
        items = d.build_set()
        self.video = next(i for i in items if i["kind"] == "video" and i["number"])
        self.still = next(i for i in items if i["kind"] == "still" and i["number"])
        self.negative = next(i for i in items if i["negative"] == "seven-digits")

    def test_generator_arguments(self):
        a = d.generator_args(self.video, "/o/v.avi", "/o/v.truth.json")
        self.assertEqual(a[0], "/o/v.avi")
        self.assertEqual(option(a, "--number"), self.video["number"])
        self.assertEqual(option(a, "--frames"), str(self.video["frames"]))
        self.assertEqual(option(a, "--digit-height"), str(self.video["digit_height"]))
        self.assertEqual(option(a, "--truth"), "/o/v.truth.json")
        self.assertEqual(option(a, "--font"), d.font_argument(self.video["font"]))
        self.assertIn("--varied", a)
        n = d.generator_args(self.negative, "/o/n.avi", "/o/n.json")
        self.assertNotIn("--number", n)
        self.assertEqual(option(n, "--negative"), "seven-digits")
        self.assertEqual(d.file_name(self.still)[-4:], ".png")
        self.assertEqual(d.file_name(self.video)[-4:], ".avi")

    def test_reader_arguments(self):
        v = d.reader_args(self.video, "/o/v.avi", "learned")
        self.assertEqual(v[:2], ["/o/v.avi", "--json"])
        self.assertEqual(option(v, "--engine"), "learned")
        self.assertEqual(option(v, "--zone"), "0,0,640,360")
        self.assertEqual(option(v, "--digit-height"), str(self.video["digit_height"]))
        self.assertNotIn("--threshold", v)
        s = d.reader_args(self.still, "/o/s.png", "glyph")
        self.assertEqual(option(s, "--threshold"), "1")
        self.assertNotIn("--engine", d.reader_args(self.video, "/o/v.avi", "glyph", False))


if __name__ == "__main__":
    unittest.main()
