"""The whole run against stand-in programs: a generator that writes truth
files (and, when told, fails on the hard part's options) and a reader whose
glyph engine reads every number when given the digit height and zone (and
nothing without them) and whose learned engine reads a number that is never
there."""

import contextlib
import csv
import glob
import io
import json
import os
import sys
import tempfile
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
if "@NEWFAIL@" and "--condition" in a:
    sys.stderr.write("kalvero-make-sample: unknown option --condition\nTry --help\n"); sys.exit(2)
if "@FIRSTFAIL@" and "01-" in a[0]:
    sys.stderr.write("kalvero-make-sample: cannot write\n"); sys.exit(1)
out, dh = a[0], int(opt("--digit-height"))
w, h = [int(v) for v in opt("--size").split("x")]
n = 1 if out.endswith((".png", ".jpg")) else int(opt("--frames", "60"))
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
    print("kalvero-read FILE --json --threshold K\n  --digit-height H  expected, 16..99 (29)\n"
          "  @ENGINE@")
    sys.exit(0)
opt = lambda n, d=None: a[a.index(n) + 1] if n in a else d
truth = json.load(open(a[0].rsplit(".", 1)[0] + ".truth.json"))
engine = opt("--engine", "@DEFAULT@")
sys.stderr.write(json.dumps(a) + "\n")
given = "--digit-height" in a
if "@NOMODEL@" and engine == "learned":
    sys.stderr.write("kalvero-read: model cannot be loaded\n"); sys.exit(3)
if "@FAIL@" and "stencil" in a[0] and engine == "glyph":
    print("not json"); sys.stderr.write("warming up\nread broke off\n"); sys.exit(1)
for ft in truth["frame_truth"]:
    rs = []
    for o in ft["objects"]:
        x, y, w, h = o["box"]
        if engine == "glyph" and not given:
            continue
        rs.append({"text": o["text"] if engine == "glyph" else "99999999", "x": x, "y": y,
                   "width": w, "height": h, "score": 1.0, "check_digit": True,
                   "engine": "glyph"})
    if not rs and engine == "learned":
        rs.append({"text": "99999999", "x": 0, "y": 0, "width": 10, "height": 10})
    conf = rs[0]["text"] if (engine == "glyph" and rs) else None
    print(json.dumps({"frame": ft["frame"], "time_ms": 10 if engine == "glyph" else 30,
                      "readings": rs, "confirmed": conf}))
'''


def write_fakes(build, engine_option=True, fail_stencil=False, no_model=False,
                fail_new=False, fail_first=False):
    os.makedirs(build, exist_ok=True)
    for name, text in (("kalvero-make-sample", FAKE_MAKE), ("kalvero-read", FAKE_READ)):
        text = text.replace("@ENGINE@", "--engine E  learned (default): reads; glyph"
                            if engine_option else "")
        text = text.replace("@DEFAULT@", "learned" if engine_option else "glyph")
        text = text.replace('"@FAIL@"', "True" if fail_stencil else "False")
        text = text.replace('"@NOMODEL@"', "True" if no_model else "False")
        text = text.replace('"@NEWFAIL@"', "True" if fail_new else "False")
        text = text.replace('"@FIRSTFAIL@"', "True" if fail_first else "False")
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

    def quick_run(self):
        """A --quick run on the fake engines that must end with status 0:
        its output folder, its standard output and the items of the set."""
        write_fakes(self.build)
        out_dir = os.path.join(self.tmp.name, "out")
        status, out, err = run_main([self.build, "--no-build", "--quick", "--out", out_dir])
        self.assertEqual(status, 0, err)
        return out_dir, out, set_design.quick_set(set_design.build_set())

    def test_quick_run_scores_each_engine_in_both_modes_and_keeps_output(self):
        out_dir, out, items = self.quick_run()
        positives = [i for i in items if i["negative"] == "none"]
        negatives = [i for i in items if i["negative"] != "none"]
        lines = out.splitlines()
        glyph = next(l for l in lines if l.startswith("glyph, given "))
        glyph_bare = next(l for l in lines if l.startswith("glyph, no options "))
        learned = next(l for l in lines if l.startswith("learned, given "))
        n = len(positives)
        self.assertIn("%d of %d (100.0%%)" % (n, n), glyph)
        self.assertIn("0 of %d " % len(items), glyph)            # no wrong confirmation
        self.assertIn("0 of %d (0.0%%)" % n, glyph_bare)          # reads nothing bare
        self.assertIn("0 of %d (0.0%%)" % n, learned)
        frames = sum(i["frames"] for i in positives)
        neg_frames = sum(i["frames"] for i in negatives)
        self.assertIn("%d of %d (100.0%%)" % (frames, frames), learned)   # every frame false
        self.assertIn("%d of %d (100.0%%)" % (neg_frames, neg_frames), learned)
        self.assertIn("10.0", glyph)
        self.assertIn("30.0", learned)
        for g, label in (("training", "training fonts"), ("held-out", "held-out fonts"),
                         ("glyph", "glyph font"), ("stencil", "stencil font")):
            k = sum(i["group"] == g for i in positives)
            row = next(l for l in lines
                       if l.startswith("%s [clean] (%d) | learned, given" % (label, k)))
            self.assertIn("0 of %d (0.0%%)" % k, row)
        hard = [i for i in positives if not i["clean"]]
        row = next(l for l in lines if l.startswith("hard groups (%d groups, %d items) | glyph, given"
                                                    % (len(set(i["group"] for i in hard)), len(hard))))
        self.assertIn("%d of %d (100.0%%)" % (len(hard), len(hard)), row)
        self.assertIn("Negatives one by one", out)
        with open(os.path.join(out_dir, "results.csv")) as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(len(rows), 4 * len(items))
        self.assertEqual(set((r["engine"], r["mode"]) for r in rows),
                         {("glyph", "given"), ("glyph", "no-options"),
                          ("learned", "given"), ("learned", "no-options")})
        for name in (i["name"] for i in items):
            self.assertTrue(os.path.isfile(os.path.join(out_dir, "raw", "learned-no-options",
                                                        name + ".jsonl")))
        for f in ("summary.txt", "table.md", "figures.json"):
            self.assertTrue(os.path.isfile(os.path.join(out_dir, f)), f)
        # the stand-in's learned engine tags its readings "glyph" (untagged
        # ones on the negatives count as "none")
        self.assertRegex(out, r"Note: \d+ of the \d+ readings in the learned, given row name "
                              r"another engine \(glyph \d+, none \d+\)")
        self.assertNotIn("in the glyph, given row", out)

    def test_no_options_run_passes_the_file_and_json_only(self):
        out_dir, out, items = self.quick_run()
        for it in items:
            path = os.path.join(out_dir, "set", set_design.file_name(it))
            for engine in ("glyph", "learned"):
                with open(os.path.join(out_dir, "raw", engine + "-no-options",
                                       it["name"] + ".stderr")) as f:
                    self.assertEqual(json.loads(f.readline()),
                                     [path, "--json", "--engine", engine])
                with open(os.path.join(out_dir, "raw", engine + "-given",
                                       it["name"] + ".stderr")) as f:
                    given = json.loads(f.readline())
                self.assertIn("--digit-height", given)
                self.assertEqual("--threshold" in given, it["kind"] == "still")
        # one mode only
        status, out, err = run_main([self.build, "--no-build", "--quick", "--modes",
                                     "no-options", "--out", os.path.join(self.tmp.name, "o2")])
        self.assertEqual(status, 0, err)
        self.assertNotIn("glyph, given", out)
        self.assertIn("glyph, no options", out)
        # the reader's default engine alone goes without --engine; another
        # engine alone keeps it
        it = items[0]
        path = os.path.join(self.tmp.name, "{}", "set", set_design.file_name(it))
        for engine, want in (("learned", []), ("glyph", ["--engine", "glyph"])):
            o = os.path.join(self.tmp.name, engine)
            status, out, err = run_main([self.build, "--no-build", "--quick", "--modes",
                                         "no-options", "--engines", engine, "--out", o])
            self.assertEqual(status, 0, err)
            with open(os.path.join(o, "raw", engine + "-no-options",
                                   it["name"] + ".stderr")) as f:
                self.assertEqual(json.loads(f.readline()),
                                 [path.format(engine), "--json"] + want)

    def test_figures_and_markdown(self):
        write_fakes(self.build)
        out_dir = os.path.join(self.tmp.name, "out")
        fig = os.path.join(self.tmp.name, "f.json")
        status, out, err = run_main([self.build, "--no-build", "--quick", "--out", out_dir,
                                     "--figures", fig])
        self.assertEqual(status, 0, err)
        with open(fig) as f:
            figures = json.load(f)
        items = set_design.quick_set(set_design.build_set())
        positives = [i for i in items if i["negative"] == "none"]
        self.assertEqual(figures["items"], len(items))
        self.assertEqual(figures["clean_groups"], list(set_design.CLEAN_GROUPS))
        self.assertEqual(sorted(figures["runs"]), ["glyph, given", "glyph, no options",
                                                   "learned, given", "learned, no options"])
        given = figures["runs"]["glyph, given"]
        self.assertEqual((given["all"]["numbers_confirmed"], given["all"]["numbers_total"]),
                         (len(positives), len(positives)))
        self.assertEqual(given["negatives"]["items"], len(items) - len(positives))
        self.assertEqual(given["hard"]["numbers_confirmed_pct"], 100.0)
        self.assertEqual(figures["runs"]["glyph, no options"]["clean"]["numbers_confirmed"], 0)
        self.assertEqual(given["group:training"]["median_ms"], 10)
        self.assertIn("reading_s", figures["time_s"])
        with open(os.path.join(out_dir, "table.md")) as f:
            md = f.read()
        self.assertIn("| glyph, given | %d of %d (100.0 %%) | 100.0 %% | 100.0 %% | 0 of %d |"
                      % (len(positives), len(positives), len(items)), md)
        self.assertIn("| training fonts [clean] | 2 | 2 of 2 | 0 of 2 | 0 of 2 | 0 of 2 |", md)
        self.assertIn(md.strip(), out)

    def test_hard_items_the_generator_cannot_draw_are_left_out(self):
        write_fakes(self.build, fail_new=True)
        status, out, err = run_main([self.build, "--no-build", "--quick", "--engines", "glyph",
                                     "--out", self.tmp.name + "/o"])
        self.assertEqual(status, 0, err)
        items = set_design.quick_set(set_design.build_set())
        failing = [i["name"] for i in items if i["conditions"]]
        self.assertTrue(failing)
        self.assertIn("Items the generator could not draw", out)
        self.assertIn("%s: status 2: kalvero-make-sample: unknown option --condition"
                      % failing[0], out)
        self.assertIn("All %d items" % (len(items) - len(failing)), out)
        write_fakes(self.build, fail_first=True)
        status, out, err = run_main([self.build, "--no-build", "--quick", "--engines", "glyph"])
        self.assertEqual(status, 1)
        self.assertIn("drawing 01-", err)

    def test_peer_that_cannot_be_installed_says_why_and_the_run_goes_on(self):
        write_fakes(self.build)
        fake_bin = os.path.join(self.tmp.name, "bin")
        os.makedirs(fake_bin)
        os.symlink(sys.executable, os.path.join(fake_bin, "python3"))
        for name, script in (("node", "exit 0"), ("ffmpeg", "exit 0"),
                             ("npm", 'echo "npm ERR! code ENOTFOUND" >&2; exit 1')):
            with open(os.path.join(fake_bin, name), "w") as f:
                f.write("#!/bin/sh\n%s\n" % script)
            os.chmod(os.path.join(fake_bin, name), 0o755)
        old = os.environ["PATH"]
        os.environ["PATH"] = fake_bin
        try:
            status, out, err = run_main([self.build, "--no-build", "--quick", "--engines",
                                         "glyph,ppocr", "--out", self.tmp.name + "/o"])
        finally:
            os.environ["PATH"] = old
        self.assertEqual(status, 0, err)
        self.assertIn("ppocr: npm install failed (status 1): npm ERR! code ENOTFOUND", out)
        self.assertIn("| ppocr | not run: npm install failed", out)
        self.assertTrue(any(l.startswith("glyph, given ") for l in out.splitlines()))

    def test_failing_reader_is_reported_and_scored_as_nothing_read(self):
        write_fakes(self.build, fail_stencil=True)
        status, out, err = run_main([self.build, "--no-build", "--quick",
                                     "--engines", "glyph", "--out", self.tmp.name + "/o"])
        self.assertEqual(status, 0, err)
        self.assertIn("Reader problems", out)
        self.assertRegex(out, r"glyph, given \S*stencil\S*: exit status 1: read broke off; line 1")
        self.assertTrue(any(l.startswith("stencil font [clean] (1) | glyph, given")
                            and "0 of 1 (0.0%)" in l for l in out.splitlines()))

    def test_same_failure_on_every_item_is_one_line(self):
        write_fakes(self.build, no_model=True)
        status, out, err = run_main([self.build, "--no-build", "--quick",
                                     "--out", self.tmp.name + "/o"])
        self.assertEqual(status, 0, err)
        n = len(set_design.quick_set(set_design.build_set()))
        problems = out.split("Reader problems")[1].splitlines()[1:]
        problems = [l for l in problems if l.startswith("  ")]
        self.assertEqual(len(problems), 2, out)      # one line for each mode
        self.assertIn("and %d more: exit status 3: kalvero-read: model cannot be loaded" % (n - 3),
                      problems[0])
        self.assertTrue(any(l.startswith("glyph, given ") and "(100.0%)" in l
                            for l in out.splitlines()))

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

    def test_a_set_drawn_before_is_read_again_only_when_asked_to_reuse_it(self):
        out_dir, _, items = self.quick_run()
        # A generator that now fails on the first item: a new run must draw
        # it, a run reusing the set does not.
        write_fakes(self.build, fail_first=True)
        damaged = glob.glob(os.path.join(out_dir, "set", "*.truth.json"))
        damaged = sorted(f for f in damaged if not os.path.basename(f).startswith("01-"))[0]
        with open(damaged, "w") as f:
            f.write("{")
        status, _, err = run_main([self.build, "--no-build", "--quick", "--out", out_dir, "--reuse-set"])
        self.assertEqual(status, 0, err)
        with open(damaged) as f:
            json.load(f)  # a truth that does not load is drawn again
        status, _, err = run_main([self.build, "--no-build", "--quick", "--out", out_dir])
        self.assertNotEqual(status, 0)
        self.assertIn("cannot write", err)

    def test_groups_and_the_tuning_set_choose_what_is_drawn(self):
        write_fakes(self.build)
        out_dir = os.path.join(self.tmp.name, "tuning")
        status, out, err = run_main([self.build, "--no-build", "--tuning", "--groups",
                                     "interlaced,negatives", "--engines", "learned",
                                     "--modes", "given", "--out", out_dir])
        self.assertEqual(status, 0, err)
        drawn = sorted(os.path.basename(f)[:-len(".truth.json")]
                       for f in glob.glob(os.path.join(out_dir, "set", "*.truth.json")))
        wanted = sorted(i["name"] for i in set_design.tuning_set()
                        if i["group"] in ("interlaced", "negatives"))
        self.assertEqual(drawn, wanted)
        self.assertFalse([n for n in drawn if any(f in n for f in set_design.HELD_OUT_FONTS)])

    def test_another_tuning_draw_and_a_seed_that_would_redraw_the_evaluation(self):
        write_fakes(self.build)
        out_dir = os.path.join(self.tmp.name, "tuning11")
        status, out, err = run_main([self.build, "--no-build", "--tuning", "--tuning-seed", "11",
                                     "--groups", "faded", "--engines", "learned",
                                     "--modes", "given", "--out", out_dir])
        self.assertEqual(status, 0, err)
        drawn = sorted(os.path.basename(f)[:-len(".truth.json")]
                       for f in glob.glob(os.path.join(out_dir, "set", "*.truth.json")))
        self.assertEqual(drawn, sorted(i["name"] for i in set_design.tuning_set(11)
                                       if i["group"] == "faded"))
        for bad, told in ((["--tuning", "--tuning-seed", str(set_design.SET_SEED)], "evaluation itself"),
                          (["--tuning-seed", "11"], "needs --tuning")):
            err = io.StringIO()
            with self.assertRaises(SystemExit) as cm, contextlib.redirect_stderr(err):
                run_eval.main([self.build, "--no-build"] + bad)
            self.assertEqual(cm.exception.code, 2)
            self.assertIn(told, err.getvalue())

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
        for bad in (["--engines", "ocr"], ["--engines", ","], ["--engines", "glyph,glyph"],
                    ["--modes", "given,given"], ["--modes", "zoomed"], ["--modes", ""],
                    ["--groups", "faded,sunny"], ["--groups", ","]):
            with self.assertRaises(SystemExit) as cm, \
                    contextlib.redirect_stderr(io.StringIO()):
                run_eval.main([self.build, "--no-build"] + bad)
            self.assertEqual(cm.exception.code, 2)


class PeerFailureTest(unittest.TestCase):
    def test_a_peer_that_dies_scores_the_item_as_nothing_read(self):
        import ppocr_peer

        class DeadPeer(object):
            def read_item(self, *args):
                raise ppocr_peer.PeerUnavailable("the PP-OCR process ended: status 1")

        item = set_design.build_set()[0]
        with tempfile.TemporaryDirectory() as tmp:
            base = os.path.join(tmp, item["name"])
            frames, status, problem = run_eval.read_with_peer(DeadPeer(), "ppocr", item,
                                                              "/x.avi", {"width": 640}, base)
            self.assertEqual((frames, status), ([], None))
            self.assertEqual(problem, "the PP-OCR process ended: status 1")
            with open(base + ".jsonl") as f:
                self.assertEqual(f.read(), "")


class ReaderFeaturesTest(unittest.TestCase):
    def test_one_range_for_every_engine(self):
        f = run_eval.ReaderFeatures(
            "  --digit-height H   expected digit height in scaled-frame pixels, 12..140 (29)\n"
            "  --zone X,Y,W,H     recognition zone, 1..99 (whole frame)\n"
            "  --threshold K      equal readings that confirm a number, 1 up to --depth (5)\n"
            "  --engine E         learned (default): reads the common painted fonts;\n")
        self.assertEqual((f.engine_option, f.threshold_option, f.default_engine),
                         (True, True, "learned"))
        self.assertEqual((f.height_range("learned"), f.height_range("glyph")),
                         ((12, 140), (12, 140)))

    def test_a_range_for_each_engine_over_several_lines(self):
        f = run_eval.ReaderFeatures(
            "Options:\n"
            "  --digit-height H   expected digit height in scaled-frame pixels: for the learned\n"
            "                     engine a hint, 10..250 (none: every height from 10 to 250\n"
            "                     is looked for); for the glyph engine and --sign, 16..99 (29)\n"
            "  --zone X,Y,W,H     recognition zone in scaled-frame pixels (whole frame)\n"
            "  --zoom Z           scale factor for every frame, 0.3..1.0 (1.0)\n")
        self.assertEqual((f.height_range("learned"), f.height_range("glyph")),
                         ((10, 250), (16, 99)))
        self.assertFalse(f.threshold_option)

    def test_no_range_given_takes_the_design_default(self):
        f = run_eval.ReaderFeatures("Usage: kalvero-read FILE [--json]\n")
        self.assertEqual((f.engine_option, f.threshold_option, f.height_range("learned")),
                         (False, False, set_design.READER_DIGIT_HEIGHT_RANGE))


if __name__ == "__main__":
    unittest.main()
