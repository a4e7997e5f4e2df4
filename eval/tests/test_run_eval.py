"""The whole run against stand-in programs: a generator that writes truth
files and a reader whose glyph engine reads every number and whose learned
engine reads a number that is never there."""

import contextlib
import csv
import glob
import io
import os
import sys
import tempfile
import textwrap
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import run_eval  # noqa: E402
import set_design  # noqa: E402

FAKE_MAKE = r'''#!/usr/bin/env python3
import json, sys
a = sys.argv[1:]
if a == ["--help"]:
    print("kalvero-make-sample OUT [--truth FILE.json]"); sys.exit(0)
opt = lambda n, d=None: a[a.index(n) + 1] if n in a else d
out, dh = a[0], int(opt("--digit-height"))
w, h = [int(v) for v in opt("--size").split("x")]
n = 1 if out.endswith(".png") else int(opt("--frames", "60"))
num = opt("--number")
objs = [{"text": num, "kind": "number", "box": [50, 60, 5 * dh, dh], "fully_visible": True}] if num else []
open(out, "wb").close()
json.dump({"file": out, "width": w, "height": h, "frames": n, "fps": 25, "font": opt("--font"),
           "seed": int(opt("--seed")), "numbers": [num] if num else [],
           "frame_truth": [{"frame": i, "objects": objs} for i in range(1, n + 1)]},
          open(opt("--truth"), "w"))
'''

FAKE_READ = r'''#!/usr/bin/env python3
import json, sys
a = sys.argv[1:]
if a == ["--help"]:
    print("kalvero-read FILE --json @ENGINE@"); sys.exit(0)
opt = lambda n, d=None: a[a.index(n) + 1] if n in a else d
truth = json.load(open(a[0].rsplit(".", 1)[0] + ".truth.json"))
engine = opt("--engine", "glyph")
if "@NOMODEL@" and engine == "learned":
    sys.stderr.write("kalvero-read: model cannot be loaded\n"); sys.exit(3)
if "@FAIL@" and "stencil" in a[0] and engine == "glyph":
    print("not json"); sys.stderr.write("warming up\nread broke off\n"); sys.exit(1)
for ft in truth["frame_truth"]:
    rs = []
    for o in ft["objects"]:
        x, y, w, h = o["box"]
        rs.append({"text": o["text"] if engine == "glyph" else "99999999", "x": x, "y": y,
                   "width": w, "height": h, "score": 1.0, "check_digit": True,
                   "engine": "glyph"})
    if not rs and engine == "learned":
        rs.append({"text": "99999999", "x": 0, "y": 0, "width": 10, "height": 10})
    conf = rs[0]["text"] if (engine == "glyph" and rs) else None
    print(json.dumps({"frame": ft["frame"], "time_ms": 10 if engine == "glyph" else 30,
                      "readings": rs, "confirmed": conf}))
'''


def write_fakes(build, engine_option=True, fail_stencil=False, no_model=False):
    os.makedirs(build, exist_ok=True)
    for name, text in (("kalvero-make-sample", FAKE_MAKE), ("kalvero-read", FAKE_READ)):
        text = text.replace("@ENGINE@", "--engine learned|glyph" if engine_option else "")
        text = text.replace('"@FAIL@"', "True" if fail_stencil else "False")
        text = text.replace('"@NOMODEL@"', "True" if no_model else "False")
        path = os.path.join(build, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o755)


def run_main(argv):
    out, err = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        status = run_eval.main(argv)
    return status, out.getvalue(), err.getvalue()


class RunEvalTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.build = os.path.join(self.tmp.name, "build")

    def tearDown(self):
        self.tmp.cleanup()

    def test_quick_run_scores_both_engines_and_keeps_output(self):
        write_fakes(self.build)
        out_dir = os.path.join(self.tmp.name, "out")
        status, out, err = run_main([self.build, "--no-build", "--quick", "--out", out_dir])
        self.assertEqual(status, 0, err)
        items = set_design.quick_set(set_design.build_set())
        positives = [i for i in items if i["negative"] == "none"]
        lines = out.splitlines()
        glyph = next(l for l in lines if l.startswith("glyph "))
        learned = next(l for l in lines if l.startswith("learned "))
        n = len(positives)
        self.assertIn("%d of %d (100.0%%)" % (n, n), glyph)
        self.assertIn("0 of %d " % len(items), glyph)            # no wrong confirmation
        self.assertIn("0 of %d (0.0%%)" % n, learned)
        frames = sum(i["frames"] for i in items)
        self.assertIn("%d of %d (100.0%%)" % (frames, frames), learned)   # every frame false
        self.assertIn("10.0", glyph)
        self.assertIn("30.0", learned)
        for g, label in (("training", "training fonts"), ("held-out", "held-out fonts"),
                         ("glyph", "glyph font"), ("stencil", "stencil font")):
            k = sum(i["group"] == g for i in positives)
            row = next(l for l in lines if l.startswith("%s (%d) | learned" % (label, k)))
            self.assertIn("0 of %d (0.0%%)" % k, row)
        self.assertIn("Negatives", out)
        with open(os.path.join(out_dir, "results.csv")) as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(len(rows), 2 * len(items))
        self.assertEqual(set(r["engine"] for r in rows), {"glyph", "learned"})
        for name in (i["name"] for i in items):
            self.assertTrue(os.path.isfile(os.path.join(out_dir, "raw", "learned", name + ".jsonl")))
        self.assertTrue(os.path.isfile(os.path.join(out_dir, "summary.txt")))
        # the stand-in's learned engine tags its readings "glyph" (untagged
        # ones on the negatives count as "none")
        self.assertRegex(out, r"Note: \d+ of the \d+ readings in the learned row name another "
                              r"engine \(glyph \d+, none \d+\)")
        self.assertNotIn("in the glyph row", out)

    def test_failing_reader_is_reported_and_scored_as_nothing_read(self):
        write_fakes(self.build, fail_stencil=True)
        status, out, err = run_main([self.build, "--no-build", "--quick",
                                     "--engines", "glyph", "--out", self.tmp.name + "/o"])
        self.assertEqual(status, 0, err)
        self.assertIn("Reader problems", out)
        self.assertRegex(out, r"glyph \S*stencil\S*: exit status 1: read broke off; line 1")
        self.assertTrue(any(l.startswith("stencil font (1) | glyph") and "0 of 1 (0.0%)" in l
                            for l in out.splitlines()))

    def test_same_failure_on_every_item_is_one_line(self):
        write_fakes(self.build, no_model=True)
        status, out, err = run_main([self.build, "--no-build", "--quick",
                                     "--out", self.tmp.name + "/o"])
        self.assertEqual(status, 0, err)
        n = len(set_design.quick_set(set_design.build_set()))
        problems = out.split("Reader problems")[1].splitlines()[1:]
        problems = [l for l in problems if l.startswith("  ")]
        self.assertEqual(len(problems), 1, out)
        self.assertIn("and %d more: exit status 3: kalvero-read: model cannot be loaded" % (n - 3),
                      problems[0])
        self.assertTrue(any(l.startswith("glyph ") and "(100.0%)" in l for l in out.splitlines()))

    def test_temporary_folder_is_removed(self):
        write_fakes(self.build)
        old = tempfile.tempdir
        tempfile.tempdir = os.path.join(self.tmp.name, "t")
        os.makedirs(tempfile.tempdir)
        try:
            status, out, err = run_main([self.build, "--no-build", "--quick", "--engines", "glyph"])
        finally:
            tempfile.tempdir = old
        self.assertEqual(status, 0, err)
        self.assertEqual(glob.glob(os.path.join(self.tmp.name, "t", "*")), [])

    def test_missing_features_and_bad_arguments(self):
        write_fakes(self.build, engine_option=False)
        status, out, err = run_main([self.build, "--no-build", "--quick"])
        self.assertEqual(status, 2)
        self.assertIn("no --engine option", err)
        # the glyph engine alone works with such a reader
        status, out, err = run_main([self.build, "--no-build", "--quick", "--engines", "glyph",
                                     "--out", self.tmp.name + "/o"])
        self.assertEqual(status, 0, err)
        status, out, err = run_main([os.path.join(self.tmp.name, "none"), "--no-build"])
        self.assertEqual(status, 2)
        self.assertIn("missing", err)
        for bad in (["--engines", "ocr"], ["--engines", ","], ["--engines", "glyph,glyph"]):
            with self.assertRaises(SystemExit) as cm, \
                    contextlib.redirect_stderr(io.StringIO()):
                run_eval.main([self.build, "--no-build"] + bad)
            self.assertEqual(cm.exception.code, 2)


if __name__ == "__main__":
    unittest.main()
