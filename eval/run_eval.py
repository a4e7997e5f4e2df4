"""scripts/eval: draws the labelled set, reads it with each engine, scores it.

Standard output gets the tables only; progress and build messages go to
standard error. Exit status: 0 after a complete run, 2 for bad arguments or
a missing font or program feature, 1 when the set cannot be drawn or a
program fails unexpectedly.
"""

import argparse
import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scoring  # noqa: E402
import set_design  # noqa: E402
import tesseract_peer  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
KNOWN_ENGINES = ("glyph", "learned", "tesseract")
READ_TIMEOUT_S = 600
MAKE_TIMEOUT_S = 300


class EvalError(Exception):
    def __init__(self, message, status=1):
        Exception.__init__(self, message)
        self.status = status


def log(msg):
    sys.stderr.write("eval: %s\n" % msg)
    sys.stderr.flush()


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="scripts/eval",
        description="Draws the labelled evaluation set with kalvero-make-sample, "
                    "reads it with kalvero-read for each engine and prints the scores.")
    p.add_argument("build", nargs="?",
                   default=os.environ.get("KALVERO_BUILD_DIR") or os.path.join(ROOT, "build"),
                   help="build folder (default: $KALVERO_BUILD_DIR or ./build); "
                        "kalvero-read and kalvero-make-sample are built there if needed")
    p.add_argument("--quick", action="store_true", help="a few items only")
    p.add_argument("--out", metavar="DIR",
                   help="keep the set, the raw JSON and results.csv in DIR "
                        "(default: a temporary folder removed at the end)")
    p.add_argument("--engines", default="glyph,learned", metavar="LIST",
                   help="comma-separated engines to score: glyph, learned, and "
                        "tesseract (Tesseract 5 as a peer, about 0.5 s a frame) "
                        "(default: glyph,learned)")
    p.add_argument("--no-build", action="store_true",
                   help="use the programs in the build folder as they are")
    args = p.parse_args(argv)
    engines = [e.strip() for e in args.engines.split(",") if e.strip()]
    if not engines:
        p.error("--engines needs at least one engine")
    for e in engines:
        if e not in KNOWN_ENGINES:
            p.error("unknown engine %r (known: %s)" % (e, ", ".join(KNOWN_ENGINES)))
    if len(set(engines)) != len(engines):
        p.error("an engine is named twice in --engines")
    args.engines = engines
    args.build = os.path.abspath(args.build)
    return args


def build_programs(build):
    """Configures (as scripts/run does) and builds the two programs."""
    if not os.path.isfile(os.path.join(build, "CMakeCache.txt")):
        log("configuring %s" % build)
        run_checked(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release"])
    log("building kalvero-read and kalvero-make-sample in %s" % build)
    run_checked(["cmake", "--build", build, "-j2",
                 "--target", "kalvero-read", "kalvero-make-sample"])


def run_checked(cmd):
    r = subprocess.run(cmd, stdout=sys.stderr, stderr=sys.stderr)
    if r.returncode != 0:
        raise EvalError("%s failed with status %d" % (" ".join(cmd[:3]), r.returncode))


def help_text(program):
    try:
        r = subprocess.run([program, "--help"], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, timeout=60)
    except OSError as e:
        raise EvalError("cannot run %s: %s" % (program, e), 2)
    return r.stdout.decode("utf-8", "replace")


def check_programs(build, engines):
    """Finds the programs and checks they have what the run needs.

    Returns whether the reader takes --engine; a reader without it has the
    glyph engine only and is run without the option.
    """
    make = os.path.join(build, "kalvero-make-sample")
    read = os.path.join(build, "kalvero-read")
    for prog in (make, read):
        if not os.access(prog, os.X_OK):
            raise EvalError("%s is missing; build it or drop --no-build" % prog, 2)
    if "--truth" not in help_text(make):
        raise EvalError("%s has no --truth option, so it cannot draw a labelled set" % make, 2)
    if "tesseract" in engines and not tesseract_peer.available():
        raise EvalError("the tesseract engine needs the tesseract program "
                        "(Debian package tesseract-ocr)", 2)
    engine_option = "--engine" in help_text(read)
    if not engine_option and [e for e in engines if e != "tesseract"] not in ([], ["glyph"]):
        raise EvalError("%s has no --engine option; only --engines glyph can be scored" % read, 2)
    return make, read, engine_option


def check_fonts(items):
    missing = sorted(set(set_design.font_argument(it["font"]) for it in items
                         if it["font"] not in ("glyph", "stencil")
                         and not os.path.isfile(set_design.font_argument(it["font"]))))
    if missing:
        raise EvalError("font files missing (install the fonts-* packages): %s"
                        % ", ".join(missing), 2)


def generate(make, items, set_dir):
    """Draws every item and loads its truth; raises EvalError on any failure."""
    os.makedirs(set_dir, exist_ok=True)

    def one(item):
        path = os.path.join(set_dir, set_design.file_name(item))
        truth_path = os.path.join(set_dir, item["name"] + ".truth.json")
        cmd = [make] + set_design.generator_args(item, path, truth_path)
        try:
            r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               timeout=MAKE_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            return item, None, "timed out"
        if r.returncode != 0:
            return item, None, "status %d: %s" % (
                r.returncode, r.stderr.decode("utf-8", "replace").strip()[-400:])
        try:
            with open(truth_path) as f:
                truth = json.load(f)
            scoring.validate_truth(truth)
        except (OSError, ValueError) as e:
            return item, None, "bad truth file %s: %s" % (truth_path, e)
        return item, (path, truth), None

    results = {}
    with ThreadPoolExecutor(max_workers=2) as pool:
        for n, (item, res, err) in enumerate(pool.map(one, items), 1):
            if err:
                raise EvalError("drawing %s failed: %s" % (item["name"], err))
            results[item["name"]] = res
            log("drew %d/%d %s" % (n, len(items), item["name"]))
    return results


def read_item(read, item, path, engine, engine_option, raw_dir):
    """Runs the reader on one item, keeps its raw output, returns
    (frames, status, problem)."""
    base = os.path.join(raw_dir, item["name"])
    if engine == "tesseract":
        return read_with_tesseract(item, path, base)
    cmd = [read] + set_design.reader_args(item, path, engine, engine_option)
    try:
        r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=READ_TIMEOUT_S)
        out, err, status = r.stdout, r.stderr, r.returncode
    except subprocess.TimeoutExpired as e:
        out, err, status = e.stdout or b"", e.stderr or b"", None
    with open(base + ".jsonl", "wb") as f:
        f.write(out)
    with open(base + ".stderr", "wb") as f:
        f.write(err)
    problem = None
    if status is None:
        problem = "timed out after %d s" % READ_TIMEOUT_S
    elif status != 0:
        lines = err.decode("utf-8", "replace").strip().splitlines()
        problem = "exit status %d" % status + (": " + lines[-1][:200] if lines else "")
    try:
        frames = scoring.parse_reader_output(out.decode("utf-8", "replace"))
    except ValueError as e:
        frames = []
        problem = (problem + "; " if problem else "") + str(e)
    return frames, status, problem


def read_with_tesseract(item, path, base):
    """The peer row: same items, same vote settings, kalvero-read's JSON."""
    try:
        frames = tesseract_peer.read_item(path, 1 if item["kind"] == "still" else 5)
    except (OSError, ValueError) as e:
        frames, status, problem = [], None, str(e)
    else:
        status, problem = 0, None
    with open(base + ".jsonl", "w") as f:
        for fr in frames:
            f.write(json.dumps(fr) + "\n")
    return frames, status, problem


CSV_FIELDS = ("engine", "item", "kind", "font", "group", "scene", "polarity", "negative",
              "digit_height", "numbers", "confirmed", "numbers_confirmed", "numbers_total",
              "wrong_confirmation", "top1_hits", "visible_frames", "false_frames",
              "frames_total", "frames_read", "detected", "visible_objects",
              "median_ms", "p90_ms", "status", "problem")


def csv_row(engine, item, truth, s, status, problem):
    return {
        "engine": engine, "item": item["name"], "kind": item["kind"], "font": item["font"],
        "group": item["group"], "scene": item["scene"], "polarity": item["polarity"],
        "negative": item["negative"], "digit_height": item["digit_height"],
        "numbers": " ".join(scoring.number_text(n) for n in truth["numbers"]),
        "confirmed": " ".join(s["confirmed"]),
        "numbers_confirmed": s["numbers_confirmed"], "numbers_total": s["numbers_total"],
        "wrong_confirmation": " ".join(s["wrong"]),
        "top1_hits": s["top1_hits"], "visible_frames": s["visible_frames"],
        "false_frames": s["false_frames"], "frames_total": s["frames_total"],
        "frames_read": s["frames_read"], "detected": s["detected"],
        "visible_objects": s["visible_objects"],
        "median_ms": scoring.fmt_ms(scoring.percentile(s["times_ms"], 50)),
        "p90_ms": scoring.fmt_ms(scoring.percentile(s["times_ms"], 90)),
        "status": "" if status is None else status, "problem": problem or "",
    }


def report(engines, items, scores, problems):
    """The text printed at the end: main table, breakdowns, negatives."""
    out = []
    rows = [(e, scoring.aggregate([scores[e][it["name"]] for it in items])) for e in engines]
    out.append("All %d items (videos: %d, stills: %d; negatives among them: %d), "
               "whole frame as zone, true digit height" % (
                   len(items), sum(it["kind"] == "video" for it in items),
                   sum(it["kind"] == "still" for it in items),
                   sum(it["negative"] != "none" for it in items)))
    out.append(scoring.format_table(rows))
    cols = scoring.TABLE_COLUMNS[:5]
    positives = [it for it in items if it["negative"] == "none"]
    group_rows = []
    labels = {"training": "training fonts", "held-out": "held-out fonts",
              "glyph": "glyph font", "stencil": "stencil font"}
    for g in set_design.GROUPS:
        its = [it for it in positives if it["group"] == g]
        for e in engines:
            if its:
                group_rows.append(("%s (%d) | %s" % (labels[g], len(its), e),
                                   scoring.aggregate([scores[e][it["name"]] for it in its])))
    for kind in ("video", "still"):
        its = [it for it in positives if it["kind"] == kind]
        for e in engines:
            if its:
                group_rows.append(("%ss (%d) | %s" % (kind, len(its), e),
                                   scoring.aggregate([scores[e][it["name"]] for it in its])))
    out.append("")
    out.append("By font group and by kind (items with a number)")
    out.append(scoring.format_table(group_rows, "items | engine", cols))
    negs = [it for it in items if it["negative"] != "none"]
    if negs:
        out.append("")
        out.append("Negatives: confirmed numbers; frames with an 8-digit reading")
        header = ["item"] + engines
        body = []
        for it in negs:
            row = [it["name"]]
            for e in engines:
                s = scores[e][it["name"]]
                row.append("%s; %d of %d" % (" ".join(s["confirmed"]) or "none",
                                            s["false_frames"], s["frames_total"]))
            body.append(row)
        widths = [max(len(r[i]) for r in [header] + body) for i in range(len(header))]
        for r in [header] + body:
            out.append("  ".join(c.ljust(widths[i]) for i, c in enumerate(r)).rstrip())
    for e, t in rows:
        tags = t["engine_tags"]
        others = sum(n for tag, n in tags.items() if tag != e)
        if others:
            out.append("")
            out.append("Note: %s of the %d readings in the %s row name another engine (%s)" % (
                others, sum(tags.values()), e,
                ", ".join("%s %d" % (tag, n) for tag, n in sorted(tags.items()) if tag != e)))
    if problems:
        out.append("")
        out.append("Reader problems (scored with the frames it printed):")
        grouped = {}
        for e, name, p in problems:
            grouped.setdefault((e, p), []).append(name)
        for (e, p), names in grouped.items():
            shown = ", ".join(names[:3]) + (" and %d more" % (len(names) - 3) if len(names) > 3 else "")
            out.append("  %s %s: %s" % (e, shown, p))
    return "\n".join(out)


def run(args):
    t0 = time.time()
    items = set_design.build_set()
    if args.quick:
        items = set_design.quick_set(items)
    check_fonts(items)
    if not args.no_build:
        build_programs(args.build)
    t_built = time.time()
    make, read, engine_option = check_programs(args.build, args.engines)

    if args.out:
        out_dir = os.path.abspath(args.out)
        os.makedirs(out_dir, exist_ok=True)
        keep = True
    else:
        out_dir = tempfile.mkdtemp(prefix="kalvero-eval-")
        keep = False
    try:
        log("drawing %d items into %s" % (len(items), out_dir))
        drawn = generate(make, items, os.path.join(out_dir, "set"))
        t_drawn = time.time()
        scores, problems, rows = {}, [], []
        for e in args.engines:
            raw_dir = os.path.join(out_dir, "raw", e)
            os.makedirs(raw_dir, exist_ok=True)
            scores[e] = {}
            for n, it in enumerate(items, 1):
                path, truth = drawn[it["name"]]
                frames, status, problem = read_item(read, it, path, e, engine_option, raw_dir)
                s = scoring.score_item(truth, frames)
                scores[e][it["name"]] = s
                if problem:
                    problems.append((e, it["name"], problem))
                rows.append(csv_row(e, it, truth, s, status, problem))
                log("%s %d/%d %s: confirmed %s" % (e, n, len(items), it["name"],
                                                  " ".join(s["confirmed"]) or "nothing"))
        with open(os.path.join(out_dir, "results.csv"), "w", newline="") as f:
            w = csv.DictWriter(f, fieldnames=CSV_FIELDS)
            w.writeheader()
            w.writerows(rows)
        text = report(args.engines, items, scores, problems)
        t_end = time.time()
        text += ("\n\nTime: %.0f s in all (building %.0f s, drawing the set %.0f s, "
                 "reading %.0f s)" % (t_end - t0, t_built - t0, t_drawn - t_built,
                                      t_end - t_drawn))
        if keep:
            with open(os.path.join(out_dir, "summary.txt"), "w") as f:
                f.write(text + "\n")
            text += "\nSet, raw JSON, results.csv and summary.txt kept in %s" % out_dir
        print(text)
    finally:
        if not keep:
            shutil.rmtree(out_dir, ignore_errors=True)
    return 0


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        return run(args)
    except EvalError as e:
        log(str(e))
        return e.status
    except KeyboardInterrupt:
        log("interrupted")
        return 130
    except BrokenPipeError:
        # the reader of our output went away (e.g. `| head`): stop quietly
        sys.stdout = open(os.devnull, "w")
        return 1


if __name__ == "__main__":
    sys.exit(main())
