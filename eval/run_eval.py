"""scripts/eval: draws the labelled set, reads it with each engine, scores it.

Each reader engine reads every item twice: "given" (the true digit height,
the whole frame as zone) and "no options" (the file and --json alone). The
peers (PP-OCRv4, Tesseract) read every item once, the whole frame, no
options. Standard output gets the tables only; progress and build messages
go to standard error. Exit status: 0 after a complete run, 2 for bad
arguments or a missing font or program feature, 1 when the first part of the
set (the clean groups and first negatives) cannot be drawn or a program fails
unexpectedly. An item of the hard part that the generator cannot draw (an
older generator without the option) is left out and named in the report.
"""

import argparse
import csv
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ppocr_peer  # noqa: E402
import report  # noqa: E402
import scoring  # noqa: E402
import set_design  # noqa: E402
import tesseract_peer  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
READER_ENGINES = ("glyph", "learned")
PEERS = ("ppocr", "tesseract")
KNOWN_ENGINES = READER_ENGINES + PEERS
DEFAULT_ENGINES = "glyph,learned,ppocr"
QUICK_ENGINES = "glyph,learned"
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
                    "reads it with kalvero-read for each engine (given the digit height "
                    "and zone, and with no options) and with the peers, and prints the "
                    "scores.")
    p.add_argument("build", nargs="?",
                   default=os.environ.get("KALVERO_BUILD_DIR") or os.path.join(ROOT, "build"),
                   help="build folder (default: $KALVERO_BUILD_DIR or ./build); "
                        "kalvero-read and kalvero-make-sample are built there if needed, "
                        "the peers' npm packages installed under BUILD/eval-peers")
    p.add_argument("--quick", action="store_true", help="a few items only")
    p.add_argument("--tuning", action="store_true",
                   help="the tuning set instead: the same design from another seed, held-out "
                        "fonts replaced by training fonts (for trying changes; the evaluation "
                        "itself is never tuned on)")
    p.add_argument("--tuning-seed", type=int, default=None, metavar="N",
                   help="with --tuning: another draw of the tuning set, from seed N (more "
                        "items of a weak group to try a change on); refused when any of its "
                        "draws would be one of the evaluation's")
    p.add_argument("--out", metavar="DIR",
                   help="keep the set, the raw JSON, results.csv, figures.json and "
                        "table.md in DIR (default: a temporary folder removed at the end)")
    p.add_argument("--engines", default=None, metavar="LIST",
                   help="comma-separated engines: glyph, learned, and the peers ppocr "
                        "(PaddleOCR PP-OCRv4 on one thread) and tesseract (Tesseract 5, "
                        "about 0.5 s a frame) (default: %s; with --quick: %s)"
                        % (DEFAULT_ENGINES, QUICK_ENGINES))
    p.add_argument("--modes", default="given,no-options", metavar="LIST",
                   help="how the reader engines are run: given (true digit height, whole "
                        "frame as zone) and no-options (the file and --json only) "
                        "(default: both)")
    p.add_argument("--reuse-set", action="store_true",
                   help="with --out: items already drawn in DIR/set (the file and its truth) are "
                        "not drawn again; only for comparing builds whose generator is the same")
    p.add_argument("--figures", metavar="FILE",
                   help="write every figure as JSON to FILE (default: DIR/figures.json "
                        "with --out)")
    p.add_argument("--no-build", action="store_true",
                   help="use the programs in the build folder as they are")
    p.add_argument("--groups", default=None, metavar="LIST",
                   help="only the items of these groups (comma-separated: training, held-out, "
                        "glyph, stencil, negatives, or a hard group's name)")
    args = p.parse_args(argv)
    if args.tuning_seed is not None:
        if not args.tuning:
            p.error("--tuning-seed needs --tuning")
        if set_design.shares_draws(set_design.tuning_set(args.tuning_seed), set_design.build_set()):
            p.error("--tuning-seed %d draws items of the evaluation itself; choose another"
                    % args.tuning_seed)
    if args.engines is None:
        args.engines = QUICK_ENGINES if args.quick else DEFAULT_ENGINES
    engines = [e.strip() for e in args.engines.split(",") if e.strip()]
    if not engines:
        p.error("--engines needs at least one engine")
    for e in engines:
        if e not in KNOWN_ENGINES:
            p.error("unknown engine %r (known: %s)" % (e, ", ".join(KNOWN_ENGINES)))
    if len(set(engines)) != len(engines):
        p.error("an engine is named twice in --engines")
    modes = [m.strip() for m in args.modes.split(",") if m.strip()]
    if not modes or any(m not in set_design.MODES for m in modes) or len(set(modes)) != len(modes):
        p.error("--modes takes given and/or no-options, each once")
    args.engines = engines
    args.modes = [m for m in set_design.MODES if m in modes]
    args.build = os.path.abspath(args.build)
    if args.groups is not None:
        known = set(set_design.CLEAN_GROUPS) | set(set_design.HARD_GROUP_NAMES) | {"negatives"}
        args.groups = [g.strip() for g in args.groups.split(",") if g.strip()]
        unknown = [g for g in args.groups if g not in known]
        if not args.groups or unknown:
            p.error("--groups takes group names (known: %s)" % ", ".join(sorted(known)))
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


class ReaderFeatures(object):
    """What the reader's --help offers: --engine, --threshold, and the range
    of --digit-height, which may differ by engine ("...: for the learned
    engine ..., 10..250 (...); for the glyph engine ..., 16..99 (29)")."""

    def __init__(self, text):
        self.engine_option = "--engine" in text
        m = re.search(r"--engine E\s+(\w+) \(default\)", text)
        self.default_engine = m.group(1) if m else None
        self.threshold_option = "--threshold" in text
        self.height_ranges = {}
        m = re.search(r"^\s*--digit-height\b(.*?)(?=^\s*--|\Z)", text, re.M | re.S)
        if m:
            for part in " ".join(m.group(1).split()).split(";"):
                r = re.search(r"(\d+)\.\.(\d+)", part)
                if r:
                    for e in [e for e in READER_ENGINES if e in part] or ["*"]:
                        self.height_ranges.setdefault(e, (int(r.group(1)), int(r.group(2))))

    def height_range(self, engine):
        return (self.height_ranges.get(engine) or self.height_ranges.get("*")
                or set_design.READER_DIGIT_HEIGHT_RANGE)


def check_programs(build, engines):
    """Finds the programs and checks they have what the run needs.

    Returns (make, read, ReaderFeatures); a reader without --engine has the
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
    features = ReaderFeatures(help_text(read))
    readers = [e for e in engines if e in READER_ENGINES]
    if not features.engine_option and readers not in ([], ["glyph"]):
        raise EvalError("%s has no --engine option; only --engines glyph can be scored" % read, 2)
    return make, read, features


def check_fonts(items):
    missing = sorted(set(set_design.font_argument(it["font"]) for it in items
                         if it["font"] not in set_design.DRAWN_FONTS
                         and not os.path.isfile(set_design.font_argument(it["font"]))))
    if missing:
        raise EvalError("font files missing (install the fonts-* packages): %s"
                        % ", ".join(missing), 2)


def generate(make, items, set_dir, reuse=False):
    """Draws every item and loads its truth.

    Returns ({name: (path, truth)}, [(item, reason)] for the hard part's items
    that could not be drawn). Raises EvalError when an item of the first
    part fails.
    """
    os.makedirs(set_dir, exist_ok=True)

    def one(item):
        path = os.path.join(set_dir, set_design.file_name(item))
        truth_path = os.path.join(set_dir, item["name"] + ".truth.json")
        if reuse and os.path.exists(path) and os.path.exists(truth_path):
            try:
                with open(truth_path) as f:
                    truth = json.load(f)
                scoring.validate_truth(truth)
                return item, (path, truth), None
            except (OSError, ValueError):
                pass  # drawn again below
        cmd = [make] + set_design.generator_args(item, path, truth_path)
        try:
            r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               timeout=MAKE_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            return item, None, "timed out"
        if r.returncode != 0:
            lines = [l for l in r.stderr.decode("utf-8", "replace").splitlines() if l.strip()]
            return item, None, "status %d%s" % (r.returncode,
                                                ": " + lines[0][:300] if lines else "")
        try:
            with open(truth_path) as f:
                truth = json.load(f)
            scoring.validate_truth(truth)
        except (OSError, ValueError) as e:
            return item, None, "bad truth file %s: %s" % (truth_path, e)
        return item, (path, truth), None

    results, not_drawn = {}, []
    with ThreadPoolExecutor(max_workers=2) as pool:
        for n, (item, res, err) in enumerate(pool.map(one, items), 1):
            if err:
                if item["part"] == "first":
                    raise EvalError("drawing %s failed: %s" % (item["name"], err))
                not_drawn.append((item, err))
                log("could not draw %s: %s" % (item["name"], err))
                continue
            results[item["name"]] = res
            log("drew %d/%d %s" % (n, len(items), item["name"]))
    return results, not_drawn


def read_with_reader(read, item, path, engine, features, mode, base, alone=False):
    """Runs kalvero-read on one item, keeps its raw output, returns
    (frames, status, problem). `alone`: the only reader engine of the run,
    which then goes without --engine when it is the reader's default."""
    engine_option = features.engine_option and not (alone and engine == features.default_engine)
    cmd = [read] + set_design.reader_args(item, path, engine, engine_option, mode,
                                          features.height_range(engine),
                                          features.threshold_option)
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


def read_with_peer(peer, engine, item, path, truth, base):
    """A peer's frames for one item, kept as kalvero-read's JSON lines."""
    still = item["kind"] == "still"
    problem = None
    try:
        if engine == "tesseract":
            frames = tesseract_peer.read_item(path, still)
        else:
            frames, problem = peer.read_item(path, truth.get("width") or item["width"],
                                             truth.get("height") or item["height"], still)
    except (OSError, ValueError, ppocr_peer.PeerUnavailable) as e:
        frames, problem = [], str(e)
    with open(base + ".jsonl", "w") as f:
        for fr in frames:
            f.write(json.dumps(fr) + "\n")
    return frames, (None if problem else 0), problem


CSV_FIELDS = ("engine", "mode", "item", "kind", "group", "clean", "conditions", "font",
              "scene", "polarity", "negative", "digit_height", "width", "height", "numbers",
              "confirmed", "numbers_confirmed", "numbers_total", "wrong_confirmation",
              "top1_hits", "visible_frames", "false_frames", "frames_total", "frames_read",
              "detected", "visible_objects", "median_ms", "p90_ms", "status", "problem")


def csv_row(run_key, item, truth, s, status, problem):
    engine, mode = run_key
    return {
        "engine": engine, "mode": mode, "item": item["name"], "kind": item["kind"],
        "group": item["group"], "clean": int(item["clean"]),
        "conditions": " ".join(item["conditions"]), "font": item["font"],
        "scene": item["scene"], "polarity": item["polarity"],
        "negative": item["negative"], "digit_height": item["digit_height"],
        "width": item["width"], "height": item["height"],
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


def run_keys(engines, modes):
    """(engine, mode) of every run in report order; a peer runs once, with
    mode "peer"."""
    keys = []
    for e in engines:
        if e in READER_ENGINES:
            keys += [(e, m) for m in modes]
        else:
            keys.append((e, "peer"))
    return keys


def start_peer(engine, build):
    """The peer's process (ppocr) or None (tesseract needs none); raises
    PeerUnavailable with the reason."""
    if engine != "ppocr":
        return None
    ppocr_peer.install(build, log)
    return ppocr_peer.Peer(build)


def run(args):
    t0 = time.time()
    if args.tuning:
        items = set_design.tuning_set(args.tuning_seed if args.tuning_seed is not None
                                      else set_design.TUNING_SEED)
    else:
        items = set_design.build_set()
    if args.quick:
        items = set_design.quick_set(items)
    if args.groups:
        items = [it for it in items if it["group"] in args.groups]
    check_fonts(items)
    if not args.no_build:
        build_programs(args.build)
    make, read, features = check_programs(args.build, args.engines)
    unavailable = {}
    peers = {}
    for e in args.engines:
        if e in PEERS:
            try:
                peers[e] = start_peer(e, args.build)
            except ppocr_peer.PeerUnavailable as err:
                unavailable[e] = str(err)
                log("%s will not run: %s" % (e, err))
    t_ready = time.time()

    if args.out:
        out_dir = os.path.abspath(args.out)
        os.makedirs(out_dir, exist_ok=True)
        keep = True
    else:
        out_dir = tempfile.mkdtemp(prefix="kalvero-eval-")
        keep = False
    try:
        log("drawing %d items into %s" % (len(items), out_dir))
        drawn, not_drawn = generate(make, items, os.path.join(out_dir, "set"), reuse=args.reuse_set and keep)
        items = [it for it in items if it["name"] in drawn]
        t_drawn = time.time()
        keys = [k for k in run_keys(args.engines, args.modes) if k[0] not in unavailable]
        scores, problems, rows, run_seconds = {}, [], [], {}
        for key in keys:
            engine, mode = key
            raw_dir = os.path.join(out_dir, "raw", engine if mode == "peer"
                                   else "%s-%s" % (engine, mode))
            os.makedirs(raw_dir, exist_ok=True)
            scores[key] = {}
            t_run = time.time()
            for n, it in enumerate(items, 1):
                path, truth = drawn[it["name"]]
                base = os.path.join(raw_dir, it["name"])
                if mode == "peer":
                    frames, status, problem = read_with_peer(peers.get(engine), engine, it,
                                                             path, truth, base)
                else:
                    frames, status, problem = read_with_reader(
                        read, it, path, engine, features, mode, base,
                        alone=[e for e in args.engines if e in READER_ENGINES] == [engine])
                s = scoring.score_item(truth, frames)
                scores[key][it["name"]] = s
                if problem:
                    problems.append((report.run_label(key), it["name"], problem))
                rows.append(csv_row(key, it, truth, s, status, problem))
                log("%s %d/%d %s: confirmed %s" % (report.run_label(key), n, len(items),
                                                  it["name"],
                                                  " ".join(s["confirmed"]) or "nothing"))
            run_seconds[report.run_label(key)] = time.time() - t_run
        with open(os.path.join(out_dir, "results.csv"), "w", newline="") as f:
            w = csv.DictWriter(f, fieldnames=CSV_FIELDS)
            w.writeheader()
            w.writerows(rows)
        t_end = time.time()
        times = {"total_s": t_end - t0, "build_and_peer_setup_s": t_ready - t0,
                 "drawing_s": t_drawn - t_ready, "reading_s": t_end - t_drawn,
                 "runs_s": run_seconds}
        text = report.text_report(keys, items, scores, problems, unavailable, not_drawn)
        markdown = report.markdown_tables(keys, items, scores, unavailable)
        text += ("\n\nTime: %.0f s in all (building and peer set-up %.0f s, drawing the set "
                 "%.0f s, reading %.0f s: %s)" % (
                     times["total_s"], times["build_and_peer_setup_s"], times["drawing_s"],
                     times["reading_s"],
                     ", ".join("%s %.0f s" % (k, v) for k, v in run_seconds.items())))
        figures = report.figures_json(keys, items, scores, unavailable, not_drawn, times)
        figures_path = args.figures or (os.path.join(out_dir, "figures.json") if keep else None)
        if figures_path:
            with open(figures_path, "w") as f:
                json.dump(figures, f, indent=1, sort_keys=True)
                f.write("\n")
        if keep:
            with open(os.path.join(out_dir, "summary.txt"), "w") as f:
                f.write(text + "\n")
            with open(os.path.join(out_dir, "table.md"), "w") as f:
                f.write(markdown + "\n")
            text += ("\nSet, raw JSON, results.csv, figures.json, table.md and summary.txt "
                     "kept in %s" % out_dir)
        elif figures_path:
            text += "\nFigures written to %s" % figures_path
        print(text)
        print("")
        print("Markdown (README):")
        print("")
        print(markdown)
    finally:
        for peer in peers.values():
            if peer is not None:
                peer.close()
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
